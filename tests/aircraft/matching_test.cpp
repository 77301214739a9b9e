#include "aircraft/matching.h"

#include <set>

#include "aircraft/livery_tables.h"
#include "aircraft/regcode_files.h"
#include "aircraft/regcodes.h"
#include "aircraft/livery_fixture.h"
#include "airports/stand.h"
#include "core/crypto.h"
#include "core/display.h"
#include "core/params.h"
#include "live/record_matching.h"
#include "platform/window_model.h"

namespace {

namespace fs = std::filesystem;

// An installed fleet that exercises every step: own airline, similar types, generic "ZZZ",
// any airline, similar and random class types, cargo, registrations, FSLTL.
const std::vector<Liv> kFleet = {
    {"SWR", "A320", "A320 Swiss HB-IJA", false, "HB-IJA"}, {"SWR", "A321", "A321 Swiss"},
    {"EDW", "A320", "FSLTL_A320_EDW"}, {"DLH", "A320", "A320 Lufthansa"}, {"DLH", "B744", "B744 Lufthansa Cargo", true},
    {"FDX", "B77W", "B77W FedEx", true}, {"BAW", "B77W", "B77W British Airways"}, {"ZZZ", "A320", "A320 House"},
    {"ZZZ", "B738", "B738 House Cargo", true}, {"ZZZ", "PA28", "PA28 House"}, {"FCL", "PA28", "PA28 Flying Club"},
    {"FCL", "DA42", "DA42 Flying Club"}, {"NJE", "CL60", "CL60 NetJets"}, {"REG", "EC35", "EC35 Rega"},
    {"PVT", "A320", "A320 Private"}, {"PVT", "B738", "B738 Private"},
};

class MatchingTest : public LiveryTest {
  protected:
    void SetUp() override {
        LiveryTest::SetUp();
        build(kFleet);
        newLog();
    }
};

struct LadderRow {
    const char *what;
    int depth;
    const char *airline, *type, *reg;
    bool cargo;
    int step;                      // 0: no title
    std::set<std::string> titles;  // the titles the step may give
};

TEST_F(MatchingTest, LiveLadderStepsAtEveryDepth) {
    const LadderRow rows[] = {
        {"registration", 1, "DLH", "B77W", "HB-IJA", false, 1, {"A320 Swiss HB-IJA"}},
        {"depth 1 without registration", 1, "SWR", "A321", "", false, 0, {}},
        {"own airline and type", 2, "SWR", "A321", "", false, 2, {"A321 Swiss"}},
        {"airline of the registration's record", 2, "XYZ", "A320", "HB-JVA", false, 2, {"FSLTL_A320_EDW"}},
        {"record without operator is not asked", 2, "XYZ", "A321", "HB-JXB", false, 0, {}},
        {"cargo aircraft takes passenger livery", 2, "DLH", "A320", "", true, 2, {"A320 Lufthansa"}},
        {"cargo aircraft prefers cargo", 2, "DLH", "B744", "", true, 2, {"B744 Lufthansa Cargo"}},
        {"passenger aircraft never cargo", 2, "DLH", "B744", "", false, 0, {}},
        {"PVT tries ZZZ first", 2, "PVT", "A320", "", false, 4, {"A320 House"}},
        {"PVT without a generic livery takes its own", 2, "PVT", "B738", "", false, 2, {"B738 Private"}},
        {"similar type needs depth 3", 2, "DLH", "A321", "", false, 0, {}},
        {"similar type of the airline", 3, "DLH", "A321", "", false, 3, {"A320 Lufthansa"}},
        {"similar type of the record's airline", 3, "XYZ", "A20N", "HB-JVA", false, 3, {"FSLTL_A320_EDW"}},
        {"heavy gets no generic at depth 3", 3, "UAE", "B77W", "", false, 0, {}},
        {"heavy gets ZZZ only at depth 4", 4, "UAE", "A320", "", false, 4, {"A320 House"}},
        {"heavy never any airline", 4, "UAE", "B77W", "", false, 0, {}},
        {"ZZZ cargo for a cargo aircraft", 4, "ABX", "B738", "", true, 4, {"B738 House Cargo"}},
        {"light ZZZ at depth 3", 3, "ABC", "PA28", "", false, 4, {"PA28 House"}},
        {"light any airline", 3, "ABC", "DA42", "", false, 5, {"DA42 Flying Club"}},
        {"light similar installed type", 3, "ABC", "C172", "", false, 6, {"PA28 House", "PA28 Flying Club"}},
        {"light without similar entry draws a class type", 3, "ABC", "C208", "", false, 6,
         {"PA28 House", "PA28 Flying Club", "DA42 Flying Club"}},
        {"cargo at any airline takes only cargo", 3, "ABC", "DA42", "", true, 0, {}},
        {"empty airline goes generic", 3, "", "DA42", "", false, 5, {"DA42 Flying Club"}},
        {"bizjet class type", 3, "XJT", "C56X", "", false, 6, {"CL60 NetJets"}},
        {"helicopter any airline", 3, "", "EC35", "", false, 5, {"EC35 Rega"}},
        {"high performance stops", 4, "USAF", "F16", "", false, 0, {}},
    };
    for (const LadderRow& row : rows) {
        SCOPED_TRACE(row.what);
        MATCHING_DEPTH.set(row.depth);
        g_matchCounters.fill(0);
        AircraftRec ac = aircraft(row.airline, row.type, row.reg, row.cargo);
        gf_matchLiveAc(ac);
        std::array<uint32_t, 6> counters{};
        if (row.step > 0) counters[row.step - 1] = 1;
        EXPECT_EQ(g_matchCounters, counters);
        EXPECT_TRUE(row.step == 0 ? ac.liveryTitle.empty() : row.titles.contains(std::string(ac.liveryTitle)))
            << ac.liveryTitle;
    }
}

// A light aircraft with no livery of its own type tries the installed types similar to it in
// turn, whatever order they come in, until one has a livery of its kind (here only a freighter
// has a DA42, only a passenger aircraft a PA28).
TEST_F(LiveryTest, SimilarClassTypesAreTriedUntilOneHasALiveryOfItsKind) {
    std::string dbase = kTestDbase;
    dbase.replace(dbase.find("C172,PA28"), 9, "C172,PA28,DA42");
    gf_loadTypeDatabaseText(dbase, "dbase.xml");
    build({{"FCL", "PA28", "PA28 Flying Club"}, {"FCL", "DA42", "DA42 Freighter", true}});
    MATCHING_DEPTH.set(3);
    for (int i = 0; i < 16; ++i) {
        for (const auto& [cargo, title] :
             {std::pair(true, "DA42 Freighter"), std::pair(false, "PA28 Flying Club")}) {
            SCOPED_TRACE(title);
            g_matchCounters.fill(0);
            AircraftRec ac = aircraft("ABC", "C172", "", cargo);
            gf_matchLiveAc(ac);
            EXPECT_EQ(ac.liveryTitle, title);
            EXPECT_EQ(g_matchCounters, (std::array<uint32_t, 6>{0, 0, 0, 0, 0, 1}));
        }
    }
}

TEST_F(MatchingTest, RecordedMatchIsLoggedWithStepAndFsltlFlag) {
    LOG.set(true);
    AircraftRec ac = aircraft("EDW", "A320");
    ac.origin = "LSZH", ac.destination = "LEPA";
    gf_matchLiveAc(ac);
    EXPECT_EQ(ac.touchdownSign, 1);
    EXPECT_EQ(newLog(), "          LSZH->LEPA TST123    EDW A320 =2= FSLTL_A320_EDW\n");
    AircraftRec other = aircraft("SWR", "A321");
    other.touchdownSign = 1;
    LOG.set(false);
    gf_matchLiveAc(other);
    EXPECT_EQ(other.touchdownSign, 0);
    EXPECT_EQ(newLog(), "");
}

// A title the simulator refused is never handed out again, live or parked; the summary counts
// the live matches per step and names what could not be created, and is silent without matches.
TEST_F(MatchingTest, RefusedTitlesAreNotGivenAndTheSummaryCountsPerStep) {
    gf_logMatchingSummary();
    EXPECT_EQ(newLog(), "") << "nothing matched yet";
    g_refusedTitles = {"A321 Swiss"};
    g_uncreatableTitles = {"A321 SWR", "B738 ABC"};
    AircraftRec refused = aircraft("SWR", "A321");
    gf_matchLiveAc(refused);
    EXPECT_EQ(refused.liveryTitle, "");
    AircraftRec parked = aircraft("SWR", "A321");
    EXPECT_FALSE(gf_matchParkedAc(parked, false, "A12"));
    EXPECT_EQ(parked.liveryTitle, "");
    EXPECT_EQ(g_matchCounters, (std::array<uint32_t, 6>{}));
    for (const char* reg : {"HB-IJA", "HB-IJA"}) {
        AircraftRec byReg = aircraft("SWR", "A320", reg);
        gf_matchLiveAc(byReg);
    }
    AircraftRec light = aircraft("ABC", "DA42");
    gf_matchLiveAc(light);
    // A parked aircraft that has its title keeps it; a fresh one takes the stand's cargo flag.
    EXPECT_TRUE(gf_matchParkedAc(light, true, "B8"));
    EXPECT_EQ(light.liveryTitle, "DA42 Flying Club");
    AircraftRec freighter = aircraft("DLH", "B744");
    EXPECT_TRUE(gf_matchParkedAc(freighter, Stand("B7", {}, 47.45, 8.56, 0, 30, true, false, false)));
    EXPECT_EQ(freighter.liveryTitle, "B744 Lufthansa Cargo");
    EXPECT_EQ(g_matchCounters, (std::array<uint32_t, 6>{2, 0, 0, 0, 1, 0}));
    newLog();
    gf_logMatchingSummary();
    const std::string stars(31, '*');  // the banner is as wide as the closing line
    EXPECT_EQ(newLog(),
              "\n" + stars + " live traffic livery matching summary " + stars +
                  "\nMatches at step: \n  1: 2\n  2: 0\n  3: 0\n"
                  "  4: 0\n  5: 1\n  6: 0\n\nCould not be created by P3D:\n  A321 SWR\n  B738 ABC\n" +
                  std::string(100, '*') + "\n\n");
}

TEST_F(MatchingTest, SpecialTitlesAreNeverDrawnBesideOrdinaryOnes) {
    g_specialTitleList.clear();
    lf_mergeRegcodes({{"A320 Swiss HB-IJA", {}, true}});
    std::set<std::string_view> seen, generic;
    for (int i = 0; i < 200; ++i) {
        AircraftRec own = aircraft("SWR", "A320");
        gf_matchLiveAc(own);
        seen.insert(own.liveryTitle);
    }
    EXPECT_EQ(seen, (std::set<std::string_view>{"A320 Swiss HB-IJA"}));  // the airline's only title
    // The passenger type list of A320 holds the special title beside four ordinary ones.
    MATCHING_DEPTH.set(3);
    for (int i = 0; i < 300; ++i) {
        AircraftRec ac = aircraft("", "C172");
        ac.type = "A320";
        ac.category = 0;  // a light aircraft's record with an A320 type reaches "any airline"
        g_airlineTables[0].erase("ZZZ");
        gf_matchLiveAc(ac);
        generic.insert(ac.liveryTitle);
    }
    EXPECT_EQ(generic, (std::set<std::string_view>{"FSLTL_A320_EDW", "A320 Lufthansa", "A320 House", "A320 Private"}));
    lf_mergeRegcodes({{"A320 Swiss HB-IJA", {"HB-IJA"}, true}});  // the registration step ignores the rule
    AircraftRec byReg = aircraft("SWR", "A320", "HB-IJA");
    gf_matchLiveAc(byReg);
    EXPECT_EQ(byReg.liveryTitle, "A320 Swiss HB-IJA");
}

TEST_F(MatchingTest, ParkedLadderLogsEachStepAndCountsNothing) {
    const LadderRow rows[] = {
        {"registration", 1, "DLH", "B77W", "HB-IJA", false, 1, {"A320 Swiss HB-IJA"}},
        {"depth 1", 1, "SWR", "A321", "", false, 0, {}},
        {"own airline", 2, "SWR", "A321", "", false, 2, {"A321 Swiss"}},
        {"empty airline looked up as it is", 2, "", "A320", "", false, 0, {}},
        {"stand makes it cargo", 2, "DLH", "B744", "", true, 2, {"B744 Lufthansa Cargo"}},
        {"PVT", 2, "PVT", "A320", "", false, 4, {"A320 House"}},
        {"record's airline", 2, "XYZ", "A320", "HB-JVA", false, 2, {"FSLTL_A320_EDW"}},
        {"similar", 3, "DLH", "A20N", "", false, 3, {"A320 Lufthansa"}},
        // The second pass draws the similar types of the aircraft's own airline, which has none here.
        {"second similar pass uses the own airline's types", 3, "XYZ", "A321", "HB-JVA", false, 0, {}},
        {"generic", 3, "ABC", "DA42", "", false, 5, {"DA42 Flying Club"}},
        {"heavy", 3, "UAE", "B744", "", false, 0, {}},
    };
    LOG.set(true);
    for (const LadderRow& row : rows) {
        SCOPED_TRACE(row.what);
        MATCHING_DEPTH.set(row.depth);
        AircraftRec ac = aircraft(row.airline, row.type, row.reg, !row.cargo);
        EXPECT_EQ(gf_matchParkedAc(ac, row.cargo, "A12"), row.step != 0);
        EXPECT_EQ(ac.isCargo, row.cargo ? 1 : 0);
        EXPECT_TRUE(row.step == 0 || row.titles.contains(std::string(ac.liveryTitle))) << ac.liveryTitle;
        const std::string id = fmt::format("TST123   {} {:3} {:4}", row.reg, row.airline, row.type);
        EXPECT_EQ(newLog(), row.step == 0 ? "A12     : " + id + " no livery match ...\n"
                                          : fmt::format("                   {} ={}= {}\n", id, row.step, ac.liveryTitle));
    }
    EXPECT_EQ(g_matchCounters, (std::array<uint32_t, 6>{}));
}

class RegcodesTest : public LiveryTest {
  protected:
    void writeAig(std::string_view xml) { tst_writeFile(g_aigRegcodesEnc, gf_encryptBytes(xml)); }
};

TEST_F(RegcodesTest, LinesAndDocumentsWithErrorsKeepTheGoodEntries) {
    std::vector<RegcodeEntry> entries;
    EXPECT_FALSE(gf_parseRegcodeLines({"A320 Swiss A", "", "  A320 Swiss B ; HB-IJB, HB-IJC ", "A321 Swiss Special;HB-JMA;#",
                                       ";HB-X", "T;A,,B", "T;A;B", "Dont use;#"}, "my.txt", entries));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_TRUE(entries[0].title == "A320 Swiss A" && entries[0].registrations.empty());
    EXPECT_EQ(entries[1].title, "A320 Swiss B");
    EXPECT_EQ(entries[1].registrations, (std::vector<std::string>{"HB-IJB", "HB-IJC"}));
    EXPECT_TRUE(entries[2].special);
    EXPECT_EQ(entries[2].registrations, (std::vector<std::string>{"HB-JMA"}));
    EXPECT_TRUE(entries[3].special && entries[3].registrations.empty());
    entries.clear();
    EXPECT_FALSE(gf_parseAigRegcodes("<AIG-regcodes>\n<livery title=\"A\" reg=\"X1\" special=\"yes\"/>\n"
                                     "<livery reg=\"X2\"/>\n<livery title=\"B\"/>\n</AIG-regcodes>", "aig.xml", entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[0].special);
    EXPECT_TRUE(entries[1].registrations.empty());
    EXPECT_FALSE(gf_parseAigRegcodes("<other/>", "aig.xml", entries));
    EXPECT_FALSE(gf_parseAigRegcodes("<AIG-regcodes>\n<livery title=\"C\"", "aig.xml", entries));
    EXPECT_EQ(entries.size(), 2u) << "a document that does not parse adds nothing";
    EXPECT_EQ(newLog(),
              "===> my.txt(5): line without a title\n===> my.txt(6): bad registration list\n"
              "===> my.txt(7): bad registration list\n===> aig.xml(3): livery without a title\n"
              "===> aig.xml(1): no <AIG-regcodes> element\n"
              "===> aig.xml(2): Error parsing start element tag\n");
    // The user's files are read in name order, whatever order the folder lists them in.
    entries.clear();
    for (const char* name : {"e.txt", "d.txt", "c.TXT", "b.txt", "a.txt"})
        tst_writeFile(fs::path("input/my_regcodes") / name, fmt::format("{};HB-X\n", name[0]));
    tst_writeFile("input/my_regcodes/0.xml", "Not a regcode file;HB-X\n");
    EXPECT_TRUE(gf_readRegcodeFiles("input/my_regcodes", entries));
    std::string titles;
    for (const RegcodeEntry& entry : entries) titles += entry.title;
    EXPECT_EQ(titles, "abcde");
    entries = {{"kept", {}, false}, {"kept", {}, false}};
    // Without the decrypted file nothing is read, and the failure is told to the caller.
    EXPECT_FALSE(gf_loadAigRegcodes(entries));
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(newLog(), "===> input/AIG-regcodes.xml(0): cannot be read\n");
}

TEST_F(RegcodesTest, SourcesOverrideInlineAndResultsAreWritten) {
    writeAig("<AIG-regcodes><livery title=\"A320 Swiss B\" reg=\"HB-IJA,HB-IJZ\"/>"
             "<livery title=\"Not installed\" reg=\"HB-XXX\" special=\"true\"/>"
             "<livery title=\"A321 Swiss Special\" special=\"true\"/></AIG-regcodes>");
    tst_writeFile("input/my_regcodes/mine.TXT", "A320 Lufthansa;HB-IJZ\nA320 Swiss A;D-AIZA\n");
    build({{"SWR", "A320", "A320 Swiss A", false, "HB-IJA"}, {"SWR", "A320", "A320 Swiss B", false, "HB-IJA"},
           {"SWR", "A321", "A321 Swiss Special"}, {"DLH", "A320", "A320 Lufthansa", false, "D-AIZA"}});
    EXPECT_EQ(std::tuple(g_regToLivery.at("HB-IJA"), g_regToLivery.at("HB-IJZ"), g_regToLivery.at("D-AIZA")),
              std::tuple("A320 Swiss B", "A320 Lufthansa", "A320 Swiss A"));
    EXPECT_FALSE(g_regToLivery.contains("HB-XXX"));
    EXPECT_EQ(g_specialTitleList, (std::vector<std::string_view>{"A321 Swiss Special"}));
    EXPECT_EQ(tst_readFile(g_inlineRegcodesFile), "HB-IJA 'A320 Swiss B' => already in use by 'A320 Swiss A'\n");
    EXPECT_EQ(tst_readFile(g_offlineRegcodesFile),
              "Processing file input/AIG-regcodes.xml\n"
              "   regcode HB-IJA for 'A320 Swiss B', instead of the same for 'A320 Swiss A'\n"
              "1 new regcode added, 1 regcode replaced, 1 regcode defined as special\n"
              "Processing files in input/my_regcodes\n"
              "   regcode HB-IJZ for 'A320 Lufthansa', instead of the same for 'A320 Swiss B'\n"
              "   regcode D-AIZA for 'A320 Swiss A', instead of the same for 'A320 Lufthansa'\n"
              "0 new regcodes added, 2 regcodes replaced\n");
    const std::string log = newLog();
    EXPECT_NE(log.find("1 in-line regcode clashes, see 'output/errors/InlineRegcodes.txt'\n"
                       "Offline regcode files processed, results can be found in 'output/info/OfflineRegcodes.txt'\n"
                       "1 special liveries\n3 registration codes\n"),
              std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(g_aigRegcodesXml));
}

// Sources with bad entries say so (the AIG file in the results, the user's folder on the message
// line) and still give their good entries.
TEST_F(RegcodesTest, SourcesWithErrorsSaySoAndKeepTheirGoodEntries) {
    writeAig(
        "<AIG-regcodes><livery reg=\"HB-XXX\"/><livery title=\"A320 Swiss B\" "
        "reg=\"HB-IJA\"/></AIG-regcodes>");
    tst_writeFile("input/my_regcodes/mine.txt", "A320 Lufthansa;D-AIZA\n;HB-IJZ\n");
    build({{"SWR", "A320", "A320 Swiss B"}, {"DLH", "A320", "A320 Lufthansa"}});
    EXPECT_EQ(std::tuple(g_regToLivery.at("HB-IJA"), g_regToLivery.at("D-AIZA")),
              std::tuple("A320 Swiss B", "A320 Lufthansa"));
    EXPECT_EQ(tst_readFile(g_offlineRegcodesFile),
              "Processing file input/AIG-regcodes.xml\n"
              "There were errors processing the AIG-regcode file 'input/AIG-regcodes.xml', see Log.txt\n"
              "1 new regcode added\nProcessing files in input/my_regcodes\n1 new regcode added\n");
    EXPECT_EQ(gf_messageText(),
              "There were errors processing the regcode files in folder 'input/my_regcodes', see Log.txt");
}

// A result file that cannot be written (a folder stands in its way) is reported, not pointed to.
TEST_F(RegcodesTest, ResultFilesThatCannotBeWrittenAreNotPointedTo) {
    writeAig("<AIG-regcodes><livery title=\"A320 Swiss B\" reg=\"HB-IJA\"/></AIG-regcodes>");
    tst_writeFile(g_offlineRegcodesFile + std::string("/keep"), "");
    tst_writeFile(g_inlineRegcodesFile + std::string("/keep"), "");
    build(
        {{"SWR", "A320", "A320 Swiss A", false, "HB-IJA"}, {"SWR", "A320", "A320 Swiss B", false, "HB-IJA"}});
    EXPECT_EQ(g_regToLivery.at("HB-IJA"), "A320 Swiss B");
    const std::string log = newLog();
    EXPECT_EQ(log.find("results can be found"), std::string::npos) << log;
    EXPECT_EQ(log.find(", see '"), std::string::npos) << log;
    for (const char* warning :
         {"===> 1 in-line regcode clashes could not be written to 'output/errors/InlineRegcodes.txt'\n",
          "===> Offline regcode results could not be written to 'output/info/OfflineRegcodes.txt'\n"})
        EXPECT_NE(log.find(warning), std::string::npos) << log;
}

TEST_F(RegcodesTest, DontUseTitlesBeforeAScan) {
    writeAig("<AIG-regcodes><livery title=\"Skip me\"/><livery title=\"Keep\" reg=\"A\"/></AIG-regcodes>");
    tst_writeFile("input/my_regcodes/a.txt", "Skip too\nSkip me\n");
    lf_processRegcodeSources();
    EXPECT_EQ(g_dontUseTitles, (std::vector<std::string>{"Skip me", "Skip too", "Skip me"}));
    EXPECT_TRUE(lf_isDontUseTitle("Skip too") && !lf_isDontUseTitle("Keep"));
    EXPECT_EQ(newLog(), "1 don't use title read\n2 don't use titles read from files in input/my_regcodes\n");
    EXPECT_FALSE(std::filesystem::exists(g_aigRegcodesXml));
}

}  // namespace
