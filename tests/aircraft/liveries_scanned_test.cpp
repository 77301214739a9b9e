#include "aircraft/liveries_scanned.h"

#include <algorithm>
#include <tuple>

#include "aircraft/livery_fixture.h"
#include "aircraft/livery_tables.h"
#include "aircraft/matching.h"
#include "aircraft/regcodes.h"
#include "core/display.h"
#include "core/errors.h"
#include "core/params.h"
#include "live/record_matching.h"
#include "platform/window_model.h"

namespace {

using LiveriesScannedTest = LiveryTest;

TEST_F(LiveriesScannedTest, ReaderErrorsLeaveTheTablesUnbuilt) {
    const struct { const char* xml; int code; const char* text; } rows[] = {  // xml nullptr: no file
    {nullptr, 51, "51: File output/LiveriesScanned.xml not found"},
    // A file that is there but broken says why: the parser's description and offset.
    {"<liveries><liv airl=\"SWR\"</liveries>", 51,
     "51: File output/LiveriesScanned.xml cannot be read: Error parsing start element tag at offset 25"},
    {"<meta/><other/>", 52, "52: output/LiveriesScanned.xml does not contain a <liveries> section"},
    {"<liveries><liv airl=\"SWR\" type=\"A320\"/></liveries>", 999, "999: Missing required attribute 'title' in <liv>"},
    {"<liveries><livery airl=\"SWR\" type=\"A320\" title=\"T\"/></liveries>", 533,
     "533: output/LiveriesScanned.xml does not contain liveries"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::filesystem::remove(g_liveriesScannedFile);
        if (row.xml) tst_writeFile(g_liveriesScannedFile, row.xml);
        try {
            lf_processScannedLiveries();
            ADD_FAILURE() << "no error";
        } catch (const qtk::UserErrorException& e) {
            EXPECT_EQ(e.code(), row.code);
            EXPECT_STREQ(e.what(), row.text);
        }
        EXPECT_TRUE(!g_liveryTablesBuilt && g_rawAirlineTable.empty());
    }
}

TEST_F(LiveriesScannedTest, BuildLogsInOrderAndSecondBuildIsSkipped) {
    HIGH_PERF_AIRCRAFT.set(false);  // already off: only its check box is disabled
    build({{"SWR", "A320", "A320 Swiss", false, "HB-IJB"}, {"FDX", "B77W", "B77W FedEx", true}});
    EXPECT_EQ(newLog(),
              "2 liveries read from output/LiveriesScanned.xml\n"
              "gf_streamDecrypt exception: input/AIG-regcodes.enc: cannot be read: No such file or directory\n"
              "1 registration codes\n"
              "2 airlines, 1 pax aircraft models and 1 cargo aircraft models\n2 similar model definitions\n"
              "Category Light: No livery found\nLIGHT_AIRCRAFT=false\n"
              "LIGHT_AIRCRAFT temporarily switched off because you do not have light aircraft installed\n"
              "Category Buzjets: No livery found\nCategory Large: 1 pax liverie\n  A320\n"
              "Category Heavy: 0 pax liveries and 1 cargo liverie\n  B77W\nCategory HighPerf: No livery found\n"
              "Category Rotorcraft: No livery found\nHELICOPTERS=false\n"
              "HELICOPTERS temporarily switched off because you do not have Helicopters installed\n");
    EXPECT_TRUE(g_liveryTablesBuilt && g_scannedLiveries.empty());
    EXPECT_EQ(gf_windowStats().liveryCount, 2);
    for (int control : {ctl::kLightAircraft, ctl::kHighPerfAircraft, ctl::kHelicopters})
        EXPECT_FALSE(gf_controlState(control).enabled) << control;
    EXPECT_FALSE(LIGHT_AIRCRAFT.value());
    EXPECT_NE(tst_readFile("parameters.xml").find("LIGHT_AIRCRAFT"), std::string::npos);
    const std::string_view title = g_regToLivery.at("HB-IJB");
    build({{"DLH", "A320", "Other"}});
    EXPECT_EQ(newLog(), "Processing scanned liveries skipped; already done in previous start-up\n");
    EXPECT_EQ(g_regToLivery.at("HB-IJB").data(), title.data());
    EXPECT_FALSE(g_rawAirlineTable.contains("DLH"));
}

// A similar model definition is an airline and a type similar to one the airline has liveries
// of, each counted once; airlines count by their first three letters, once each.
TEST_F(LiveriesScannedTest, SimilarModelDefinitionsAreCountedOncePerAirlineAndType) {
    const std::pair<std::vector<Liv>, int> rows[] = {
        {{{"SWR", "A320", "a"}}, 2},                              // A321, A20N
        {{{"SWR", "A320", "a"}, {"SWR", "A321", "b"}}, 3},        // A321, A20N, A320
        {{{"SWR", "A320", "a"}, {"DLH", "C172", "c", true}}, 3},  // and DLH's PA28
        {{{"SWR", "A320", "a"}, {"SWRX", "A321", "b"}}, 2},       // SWRX counts as SWR, counted already
        {{{"ABCD", "A320", "a"}}, 0},                             // ABC has no liveries
        {{{"SWR", "B77W", "a"}, {"SWR", "F16", "b"}}, 0},         // no similar types
    };
    for (const auto& [fleet, definitions] : rows) {
        SCOPED_TRACE(definitions);
        gf_clearLiveryTablesForRescan();
        newLog();
        build(fleet);
        EXPECT_NE(newLog().find(fmt::format("\n{} similar model definitions\n", definitions)),
                  std::string::npos);
    }
}

// The reader's order against a plain stable sort of the same rows: short codes take the radix
// path, a single code longer than seven bytes the comparison path, and so do only long codes.
TEST_F(LiveriesScannedTest, ReadOrderEqualsStableSortOfTheFile) {
    const std::vector<Liv> shortCodes = {
        {"SWR", "A320", "b", false, "first"}, {"SW", "A320", "b"},  {"SWR", "A32", "a"}, {"swr", "A320", "a"},
        {"SWR", "A320", "b", false, "second"}, {"SWR", "A320", "ba"}, {"SWRX", "B738", "z"}, {"ABC", "A320", "b"},
        {"SWR", "A320", "B"}, {"SWR", "A320", "b", false, "third"}, {"", "A320", "t"}, {"SWR", "", "t"},
        {"SWR7654", "A320", "t"}, {"SWR", "A338", "x"}, {"SWR", "A330", "y"},
    };
    std::vector<Liv> longCode = shortCodes;
    longCode.push_back({"SWR76543", "A320", "t"});
    longCode.push_back({"SWR", "A320NEO-LONG", "t"});
    const auto key = [](const Liv& l) { return std::tuple(std::string_view(l.airline), std::string_view(l.type),
                                                          std::string_view(l.title)); };
    const std::vector<Liv> allLong = {{"AIRLINE_B", "TYPE_LONG_1", "a"}, {"AIRLINE_A", "TYPE_LONG_1", "b"}};
    for (const auto& rows : {shortCodes, longCode, allLong}) {
        SCOPED_TRACE(rows.size());
        std::vector<Liv> expected = rows;
        std::stable_sort(expected.begin(), expected.end(), [&](const Liv& a, const Liv& b) { return key(a) < key(b); });
        gf_parseLiveriesScanned(tst_liveriesXml(rows), "in.xml");
        std::vector<std::string> read, wanted;
        for (const LiveryData& l : g_scannedLiveries)
            read.push_back(l.airline + "/" + l.type + "/" + l.title + "/" + l.registration);
        for (const Liv& l : expected)
            wanted.push_back(std::string(l.airline) + "/" + l.type + "/" + l.title + "/" + l.atcid);
        EXPECT_EQ(read, wanted);
        EXPECT_EQ(newLog(), fmt::format("{} liveries read from in.xml\n", rows.size()));
    }
    EXPECT_EQ(author.value(), "Trelvo");
}

// Attributes the reader does not know are passed over, also those that begin like known ones;
// a document that does not parse is refused.
TEST_F(LiveriesScannedTest, UnknownAttributesArePassedOver) {
    gf_parseLiveriesScanned(
        "<liveries><liv note=\"x\" airline=\"DLH\" airl=\"SWR\" typo=\"B\" type=\"A320\" "
        "tail=\"T0\" title=\"T1\" cat=\"1\" cargo=\"true\" atc=\"HB-X\" atcid=\"HB-A\"/>"
        "<liv airl=\"EDW\" type=\"A321\" title=\"T2\"/></liveries>",
        "in.xml");
    ASSERT_EQ(g_scannedLiveries.size(), 2u);
    const LiveryData& l = g_scannedLiveries.back();
    EXPECT_EQ(l.airline + "/" + l.type + "/" + l.title + "/" + l.registration, "SWR/A320/T1/HB-A");
    EXPECT_TRUE(l.cargo);
    EXPECT_FALSE(g_scannedLiveries.front().cargo);
    try {
        gf_parseLiveriesScanned("<liveries><liv", "in.xml");
        ADD_FAILURE() << "no error";
    } catch (const qtk::UserErrorException& e) {  // the text is there: it does not parse
        EXPECT_STREQ(e.what(), "51: File in.xml cannot be read: Error parsing start element tag at offset 13");
    }
    EXPECT_TRUE(g_scannedLiveries.empty());
}

// A rebuild after the clear draws everything from fresh memory: every title, registration and
// list of the second build is its own (the sanitizer build catches a view left behind), and no
// special title of the old tables is found for the title asked for again.
TEST_F(LiveriesScannedTest, RebuildAfterClearFindsOnlyTheNewFleet) {
    std::vector<std::string> titles;
    std::vector<Liv> rows;
    for (int i = 0; i < 300; ++i) titles.push_back(fmt::format("Livery title number {} on the heap", i));
    for (int i = 0; i < 300; ++i) rows.push_back({i % 2 ? "SWR" : "DLH", i % 3 ? "A320" : "B744", titles[i].c_str()});
    build({{"OLD", "A320", "Old title on the heap, long enough", false, "HB-OLD"}});
    lf_mergeRegcodes({{"Old title on the heap, long enough", {}, true}});
    ASSERT_TRUE(gf_isSpecialTitle("Old title on the heap, long enough"));
    AircraftRec ac = aircraft("OLD", "A320");
    gf_matchLiveAc(ac);
    g_titleByHexid[0x4b1234] = ac.liveryTitle;
    g_refusedTitles.push_back(std::string(ac.liveryTitle));
    gf_clearLiveryTablesForRescan();
    EXPECT_TRUE(g_titleByHexid.empty() && g_regToLivery.empty());
    EXPECT_FALSE(g_liveryTablesBuilt);
    rows[7].atcid = "HB-NEW";
    rows.push_back({"SWR", "A320", "Old title on the heap, long enough"});
    build(rows);
    EXPECT_TRUE(g_liveryTablesBuilt && g_specialTitleList.empty());
    EXPECT_FALSE(gf_isSpecialTitle("Old title on the heap, long enough"));
    EXPECT_FALSE(g_regToLivery.contains("HB-OLD"));
    EXPECT_EQ(g_regToLivery.at("HB-NEW"), titles[7]);
    for (const std::string& title : titles) EXPECT_EQ(lf_findInstalledTitle(title), title);
    EXPECT_EQ(g_typeTables[0].at("A320").size() + g_typeTables[0].at("B744").size(), 301u);
    EXPECT_EQ(g_airlineTables[0].at("SWR").at("A320").size(), 101u);
    // The refused title owns its text: it still keeps the title from being given out.
    for (int i = 0; i < 30; ++i) {
        AircraftRec again = aircraft("SWR", "A320");
        gf_matchLiveAc(again);
        EXPECT_NE(again.liveryTitle, "Old title on the heap, long enough");
    }
}

using LiveryTablesTest = LiveryTest;

// Pick lists of the classes hold only installed types; light types are logged twenty a line and
// their check box is enabled again.
TEST_F(LiveryTablesTest, PickListsDrawOnlyWhatIsInstalled) {
    gf_setEnabled(ctl::kLightAircraft, false);
    std::vector<Liv> rows = {{"REG", "EC35", "EC35 Rega"}, {"NJE", "CL60", "CL60 NetJets"},
                             {"NJE", "C56X", "C56X NetJets"}, {"SWR", "A320", "A320 Swiss"}};
    std::vector<std::string> names;
    for (int i = 0; i < 45; ++i) names.push_back(fmt::format("L{:03}", i));  // unknown types count as Light
    for (const std::string& name : names) rows.push_back({"ZZZ", name.c_str(), name.c_str()});
    build(rows);
    std::string lines = "Category Light: 45 pax liveries\n";
    for (int first : {0, 20, 40}) {
        std::string line = "  ";
        for (int i = first; i < std::min(first + 20, 45); ++i) line += names[i] + ",";
        line.back() = '\n';
        lines += line;
    }
    const std::string log = newLog();
    EXPECT_NE(log.find(lines), std::string::npos) << log;
    EXPECT_EQ(g_lightTypes, names);
    EXPECT_TRUE(gf_controlState(ctl::kLightAircraft).enabled && LIGHT_AIRCRAFT.value());
    EXPECT_EQ(lf_randomHeliType(), "EC35");
    EXPECT_EQ(g_heliTypes, (ClassPickList{"EC35"}));
    EXPECT_EQ(g_bizjetTypes, (ClassPickList{"C56X", "CL60"}));
    std::set<std::string> drawn;
    for (int i = 0; i < 50; ++i) drawn.insert(lf_randomBizjetType());
    EXPECT_EQ(drawn, (std::set<std::string>{"C56X", "CL60"}));
}

// Reserved once; codes that differ only in their last byte (A330, A338) keep one run each, titles
// in order; a clear empties every table.
TEST_F(LiveryTablesTest, ReserveOnceKeepCodesDifferingInTheLastByteApartAndClearAll) {
    gf_reserveLiveryTables();
    EXPECT_GE(g_lightTypes.capacity(), 64u);
    g_lightTypes.shrink_to_fit();
    gf_reserveLiveryTables();
    EXPECT_EQ(g_lightTypes.capacity(), 0u);
    build({{"SWR", "A338", "t1"},
           {"SWR", "A330", "t2"},
           {"SWR", "A338", "t0"},
           {"SWR", "A330", "t3"},
           {"TWR", "A330", "t4"}});
    ASSERT_EQ(g_rawAirlineTable.at("SWR").size(), 2u);
    EXPECT_EQ(g_airlineTables[0].at("TWR").at("A330"), (TitleList{"t4"}))
        << "airlines differing in the first byte";
    EXPECT_EQ(g_airlineTables[0].at("SWR").at("A330"), (TitleList{"t2", "t3"}));
    EXPECT_EQ(g_airlineTables[0].at("SWR").at("A338"), (TitleList{"t0", "t1"}));
    gf_clearLiveryTables();
    // Codes of eight bytes, too long for the packed keys, also stay apart by their last byte.
    g_liveryTablesBuilt = false;
    build({{"SWR", "B737-8MA", "t0"}, {"SWR", "B737-8MB", "t1"}, {"SWR", "B737-8MA", "t2"}});
    const auto titles = [](std::string_view type) {
        std::vector<std::string_view> out;
        for (const RawTitleEntry& e : g_rawAirlineTable.at("SWR").at(type)) out.push_back(e.title);
        return out;
    };
    EXPECT_EQ(titles("B737-8MA"), (std::vector<std::string_view>{"t0", "t2"}));
    EXPECT_EQ(titles("B737-8MB"), (std::vector<std::string_view>{"t1"}));
    gf_clearLiveryTables();
    EXPECT_TRUE(g_rawAirlineTable.empty() && g_typeTables[0].empty() && g_airlineTables[0].empty());
}

}  // namespace
