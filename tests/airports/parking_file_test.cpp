#include "airports/apf_read.h"

#include <numbers>

#include "airports/apf_fixture.h"
#include "airports/apf_lookup.h"
#include "airports/apf_save.h"
#include "airports/learned.h"
#include "airports/park_airports.h"
#include "airports/stand.h"
#include "airports/stand_options.h"
#include "airports/stock.h"
#include "core/display.h"
#include "core/errors.h"
#include "core/params.h"
#include "core/text.h"
#include "feed/feed_state.h"
#include "live/ground_motion.h"
#include "platform/window_model.h"
#include "support/slot_builders.h"
#include "support/stand_builders.h"

namespace {

constexpr const char* kHeader = R"(<parameter name="airport_name" value="Zurich"/>
<parameter name="publisher" value="stock"/><parameter name="altitude" value="1416"/>)";
// Two stands 40 m apart with radii 20 and 25 m (neighbours), one at 0/0 (skipped), one far off.
constexpr const char* kStands = R"(<parkpos id="A1" latitude="47.450000" longitude="8.550000" radius="20">
  <opt reg="HB-JLT" day="3" hh="14"/></parkpos>
<parkpos id="Z" latitude="0" longitude="0"/>
<parkpos id="A2" latitude="47.450360" longitude="8.550000" radius="25"/>
<parkpos id="B9" latitude="47.460000" longitude="8.550000" radius="25" cargo="true"/>
)";
constexpr const char* kLearned = "airports/learned/stock/LSZH.xml";

struct ReadResult { std::string error; ParkFileHeader header; QualityPair quality{7, 7}; };

ReadResult tst_read(const std::string& location, const char* icao = "LSZH") {
    ReadResult r;
    const uint64_t waits = gf_siteWaits();
    gf_readApf(icao, location, r.error, r.header, r.quality);
    if (gf_siteWaits() == waits) return r;
    tst_awaitSite();  // a file of the site: read once it came
    gf_readApf(icao, location, r.error, r.header, r.quality);
    return r;
}

// Every error of the park airport's reader, with the file it names; static parking stays off
// but for a file without stands.
TEST_F(ApfTest, ReadErrorTexts) {
    tst_writeFile("airports/bad.xml", "<meta>");
    tst_writeFile("airports/nometa.xml", tst_apfXml(kHeader, kStands, R"(<info name="author" value="a"/>)"));
    tst_writeFile("airports/empty.xml", tst_apfXml(kHeader, ""));
    tst_writeFile("airports/noalt.xml",
                  tst_apfXml(R"(<parameter name="publisher" value="stock"/>)", kStands));
    tst_writeFile("airports/twice.xml", tst_apfXml(kHeader, std::string(kStands) + R"(<parkpos id="Z"/>)"));
    for (const char* altitude : {"-1501", "30001", "-1500", "30000"})
        tst_writeFile(
            fmt::format("airports/alt{}.xml", altitude),
            tst_apfXml(fmt::format(R"(<parameter name="altitude" value="{}"/>)", altitude), kStands));
    std::filesystem::create_directories("airports/folder.xml");
    tst_writeFile("airports/huge.xml", tst_apfXml(kHeader, kStands));
    std::filesystem::resize_file("airports/huge.xml", kMaxApfFileBytes + 1);
    const std::tuple<const char*, const char*, std::string, std::string> rows[] = {
        // location, icao, error, warning
        {"", "LSZH", "gf_readApf: xml is empty", ""},
        {"airports/alt0.xml", "", "gf_readApf: no park airport set", ""},
        {"archive/stock/EDDF.xml", "LSZH",
         "failed to download: '" + server_.baseUrl() +
             "P3D/archive/stock/EDDF.xml': the site answered HTTP 404",
         ""},
        {"airports/bad.xml", "LSZH", "airports/bad.xml: could not load file: airports/bad.xml",
         "===> airports/bad.xml: Start-end tags mismatch\n"},
        {"airports/folder.xml", "LSZH", "airports/folder.xml: could not load file: airports/folder.xml",
         "===> airports/folder.xml: not a regular file\n"},
        {"airports/huge.xml", "LSZH", "airports/huge.xml: could not load file: airports/huge.xml",
         "===> airports/huge.xml: 33554433 bytes, more than the 33554432 a parking file may have\n"},
        {"airports/nometa.xml", "LSZH", "airports/nometa.xml: refused to load (copyright)", ""},
        {"airports/empty.xml", "LSZH", "no stands found", ""},
        {"airports/noalt.xml", "LSZH", "65: Parameter altitude not found", ""},
        // The first Z was skipped for its position and still counts.
        {"airports/twice.xml", "LSZH", "94: Parking position Z appears more than once?", ""},
        // The field elevation the feed's on-ground rule uses.
        {"airports/alt-1501.xml", "LSZH",
         "airports/alt-1501.xml line 4: altitude '-1501' refused, outside -1500 to 30000 ft", ""},
        {"airports/alt30001.xml", "LSZH",
         "airports/alt30001.xml line 4: altitude '30001' refused, outside -1500 to 30000 ft", ""},
        {"airports/alt-1500.xml", "LSZH", "", ""},
        {"airports/alt30000.xml", "LSZH", "", ""},
    };
    for (const auto& [location, icao, error, log] : rows) {
        SCOPED_TRACE(location);
        g_staticParkingOn = false;
        gf_clearStands();
        restartLog();
        try {
            EXPECT_EQ(tst_read(location, icao).error, error);
        } catch (const qtk::UserErrorException& e) {
            EXPECT_EQ(e.what(), error);
        }
        EXPECT_EQ(g_staticParkingOn.load(), error.empty() || error == "no stands found");
        std::string warnings;
        for (const std::string& line : gf_split(gf_capturedLog(), '\n'))
            if (line.starts_with("===> ")) warnings += line + "\n";
        EXPECT_EQ(warnings, log);
    }
}

TEST_F(ApfTest, StockFileWithoutLearnedFileThenQualityFactors) {
    parking_percentage.set(60);
    tst_writeFile("site/P3D/archive/stock/LSZH.xml", tst_apfXml(kHeader, kStands));
    ReadResult r = tst_read("archive/stock/LSZH.xml");
    EXPECT_EQ(std::tie(r.error, r.header.airport_name, r.header.publisher, r.header.altitude, r.quality.Qf_real,
                       r.quality.Qf_soft),
              std::make_tuple("", "Zurich", "stock", 1416, -1, -1));
    ASSERT_EQ(g_stands.size(), 3u);
    EXPECT_EQ(std::make_tuple(gf_parkAirportSet(), gf_parkAirportElevationFt()), std::make_tuple(true, std::optional(1416.0)));
    EXPECT_EQ(std::tie(g_stands[0].neighbours, g_stands[1].neighbours, g_stands[2].neighbours),
              std::make_tuple(std::vector<uint32_t>{2}, std::vector<uint32_t>{1}, std::vector<uint32_t>{}));
    EXPECT_EQ(g_stands[0].options.at(0).origin, 1u);
    const ControlState percentage = gf_controlState(ctl::kParkingPercentage);
    EXPECT_EQ(std::make_tuple(parking_percentage.value(), percentage.enabled, percentage.selected),
              std::make_tuple(30, false, 6));  // no learned file: 30 %, the 7th entry
    WindowStats s = gf_windowStats();
    EXPECT_EQ(std::tie(s.publisher, s.quality, s.standCount, s.rtWeek), std::make_tuple("stock", "  ", 3, "0"));
    g_stands.erase(g_stands.begin() + 1, g_stands.end());
    g_stands[0].options[0].hh = (1ull << 19) - 1;  // one real option, one day, 19 half-hours: 10158 x 0.00625
    EXPECT_EQ(gf_qualityFactors().Qf_real, 63);       // 63.49; a score of 2 more would round up
    g_stands[0].options.emplace_back("", "", "A", "B", "R", (1ull << 48) - 1, 2, 5, 1, 0);
    EXPECT_EQ(gf_qualityFactors().Qf_soft, 64);
    EXPECT_EQ(gf_qualityLabel({80, 20}) + gf_qualityLabel({44, 20}) + gf_qualityLabel({-1, 5}) + gf_qualityLabel({45, -1}),
              "8044/20-1/ 545");
}

TEST_F(ApfTest, LearnedFileOfTheSamePublisherIsMergedAndRescored) {
    std::string header = R"(<parameter name="airport_name" value="Zurich"/><parameter name="altitude" value="1416"/>
        <parameter name="Qf_real" value="90"/><parameter name="RT_traffic_week" value="33"/>)";
    tst_writeFile("airports/my_ORBX/LSZH.xml", tst_apfXml(header, kStands));
    // An ORBX file without its own publisher is a "simaddon" file, and its learned file is there.
    tst_writeFile("airports/learned/simaddon/LSZH.xml",
                  tst_apfXml(R"(<parameter name="airport_name" value="Zurich"/>)",
                             R"(<parkpos id="A2"><opt reg="X" airl="A" type="B" day="1" hh="0"/></parkpos>)"));
    PARK_FAKE.set(true);
    ReadResult r = tst_read("airports/my_ORBX/LSZH.xml");
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(std::tie(r.quality.Qf_real, r.quality.Qf_soft), std::make_tuple(42, 0));  // made-up traffic not counted
    EXPECT_EQ(g_stands[1].options.back().callsign, "FAKE2");
    EXPECT_TRUE(g_stands[2].options.empty());  // no freighter fits B9
    EXPECT_EQ(std::make_tuple(g_rtTrafficWeek, g_stands[1].options.at(0).origin, gf_controlState(ctl::kParkingPercentage).enabled),
              std::make_tuple(33, 0u, true));
}

class LearnedTest : public ApfTest {
protected:
    void SetUp() override {
        ApfTest::SetUp();
        tst_addStands({{"A1", 0, 0, 20}, {"A2", 100, 0, 20}, {"A1", 200, 0, 20}}, false);
        g_stands[0].options.emplace_back("", "", "SWR", "A320", "HB-JLT", 0b0110, 1, 3, 1, 1);
    }
    void merge(const std::string& parameters, const std::string& parkpositions) {
        tst_writeFile(kLearned, tst_apfXml(R"(<parameter name="airport_name" value="Zurich"/>)" + parameters, parkpositions));
        restartLog();
        lf_readLearned(kLearned, "Zurich");
    }
    const std::string read_ = std::string("Read from learned airport file: '") + kLearned + "'\n";
};

TEST_F(LearnedTest, SettingsComeBackFromTheFile) {
    const std::pair<int, int> maxLive[] = {{-1, 500}, {0, 0},    {17, 10},  {18, 25},   {37, 25},   {38, 50},
                                           {62, 50},  {63, 75},  {87, 75},  {88, 100},  {299, 100}, {300, 500}};
    for (const auto& [written, chosen] : maxLive) {
        MAX_LIVE_SEL.set(75);
        merge(fmt::format(R"(<parameter name="MAX_LIVE" value="{}"/>)", written), "");
        EXPECT_EQ(MAX_LIVE_SEL.value(), chosen) << written;
        EXPECT_EQ(gf_capturedLog(), read_ + fmt::format("          MAX_LIVE                : {}\n", chosen));
    }
    merge("", "");  // no MAX_LIVE: the user's choice stands; no percentage: 30
    EXPECT_EQ(std::make_tuple(MAX_LIVE_SEL.value(), parking_percentage.value(), gf_capturedLog()),
              std::make_tuple(500, 30, read_));
    for (const auto& [written, applied] : {std::pair{37, 35}, {41, 40}, {42, 40}, {105, 100}}) {
        merge(fmt::format(R"(<parameter name="parking_percentage" value="{}"/>)", written), "");
        EXPECT_EQ(parking_percentage.value(), applied) << written;
    }
}

TEST_F(LearnedTest, ChangesAndNewOptionsGoToTheFirstStandOfThatName) {
    merge("", R"(<parkpos id="A1" radius_change="true" cargo_change="true" cargo="t">
  <opt reg="HB-JLT" day="3" hh="3,4" cs="SWR1"/><opt reg="HB-JLT" day="3" hh="2,9"/>
  <opt reg="HB-JLT" day="3" hh="7"/><opt reg="HB-JLT" day="3" hh="7" cs="other"/>
  <opt reg="HB-JLT" day="3" hh="2" soft="1"/></parkpos>
<parkpos id="NOPE"/>
<parkpos id="A2" manual="true" latitude="1" longitude="1" radius="9"/>
<parkpos id="M1" manual="true" latitude="0.00001" longitude="0" radius="9"/>
<parkpos id="M2" manual="true" latitude="1" longitude="1"/>
<parkpos id="M3" manual="true" latitude="47.1" longitude="8.2" radius="30"><opt reg="Q" day="1" hh="1"/></parkpos>)");
    const Stand& a = g_stands[0];
    EXPECT_EQ(a.radius, 0.0);  // radius_change without a radius
    EXPECT_TRUE(a.radius_change && a.cargo_change && a.cargo);
    // Known: HB-JLT on day 3 in 1,2. 3,4 is new; 2,9 adds 9; the second 7 repeats the first.
    std::vector<std::tuple<uint64_t, uint32_t, uint32_t, uint32_t>> options;
    for (const StandOption& o : a.options) options.emplace_back(o.hh, o.index, o.origin, o.real);
    EXPECT_EQ(options, (decltype(options){{0b110, 1, 1, 1},
                                          {0b11000, 2, 0, 1},
                                          {0b1000000100, 3, 0, 1},
                                          {1 << 7, 4, 0, 1},
                                          {0b100, 5, 0, 0}}));
    EXPECT_FALSE(g_stands[2].radius_change || g_stands[2].cargo_change);
    ASSERT_EQ(g_stands.size(), 4u);
    EXPECT_TRUE(g_stands[3].manual && g_stands[3].options.at(0).origin == 0);
    EXPECT_EQ(gf_capturedLog(), read_ + "learned stand NOPE in " + kLearned + " not found?\n"
                                "===> manually created standid A2 already exists in " + kLearned + "\n"
                                "===> manually created standid M1 misses correct attributes in " + kLearned + "\n"
                                "===> manually created standid M2 misses correct attributes in " + kLearned + "\n");
    EXPECT_FALSE(g_apfHandmade);
}

// Manual stands whose ids differ only in their first letter are all new ones, however many.
TEST_F(LearnedTest, ManyManualStandsWithIdsAlikeButTheFirstLetter) {
    std::string manual;
    for (char d = '2'; d <= '9'; ++d)
        for (char c = 'A'; c <= 'Z'; ++c)
            manual += fmt::format(R"(<parkpos id="{}{}" manual="true" latitude="1" longitude="2" radius="9"/>)", c, d);
    // Learned options for the first of them, once the index of the names has grown.
    merge("", manual + R"(<parkpos id="B2"><opt reg="X" day="1" hh="1"/></parkpos>)");
    ASSERT_EQ(g_stands.size(), 3u + 8 * 26 - 1);
    EXPECT_EQ(g_stands[3].name + g_stands.back().name, "B2Z9");
    EXPECT_EQ(g_stands[3].options.size(), 1u);
    EXPECT_EQ(gf_capturedLog(), read_ + "===> manually created standid A2 already exists in " + kLearned + "\n");
}

// Every branch of the writer: full geometry, a helipad, a heading just short of north, learned changes, a manual
// stand, options soft and real, from the database and not, either callsign, one made up, one taking no part.
ApfContent tst_content() {
    ApfContent c{"LSZH", "Zurich", "Scenery/LSZH.bgl", "unknown", 63, 20, 1416, {}};
    Stand a("A1", {}, 47.4521, 8.5582, 359.96 * std::numbers::pi / 180, 25, true, false, false);
    a.radius_change = true;
    a.options = {StandOption("SWR12", "SWR13", "XXX", "XXXX", "HB-JLT", 0b11ull << 14, 1, 3, 0, 1),
                 StandOption("", "EZY9", "EZY", "A320", "G-EZAA", 1ull << 47, 2, 7, 0, 0),
                 StandOption::madeUp("ZZZ", "B738", "REGFAKE1", "FAKE1", 1, 3, 1, 1, 0),
                 StandOption("DLH1", "", "DLH", "A320", "D-AIAA", 1, 0, 1, 0, 1)};
    Stand h("H1", {}, 47.4530, 8.5601, std::numbers::pi / 2, 18.52, true, false, true);
    h.cargo_change = true;
    Stand m("M1", {}, -33.9, 151.2, 0, 40, false, true, false);
    m.manual = true;
    m.options = {StandOption("", "", "PVT", "C172", "", 1ull << 20, 1, 2, 0, 1)};
    c.stands = {a, h, m, Stand("B2", {}, 47.4540, 8.5610, 0, 30, false, false, false)};
    return c;
}

TEST_F(ApfTest, WriterInBothModesAndTheHandmadeRoundTrip) {
    const auto golden = [](const char* name) { return tst_readFile(tst_sourceDir() / "tests/data/apf" / name); };
    ASSERT_TRUE(gf_writeApf(tst_content(), "out/LSZH.xml", kApfModeFull));
    EXPECT_EQ(tst_readFile("out/LSZH.xml"), golden("full.xml"));
    RANGE.set(40), AUTO_RANGE.set(true), PARK_FAKE.set(true), parking_percentage.set(45), MAX_FIT.set(12);
    MAX_LIVE_SEL.set(75);
    ApfContent c = tst_content();
    c.publisher = "stock";
    ASSERT_TRUE(gf_writeApf(c, "LSZH.xml", kApfModeLearned));
    EXPECT_EQ(tst_readFile("LSZH.xml"), golden("learned.xml"));
    // Handmade: written in full, read back and written again gives the same bytes; the airline
    // and type that differ from the database's record of HB-JLT are written and win on reading.
    g_apfHandmade = true;
    ASSERT_TRUE(gf_writeApf(c, "first.xml", kApfModeLearned));
    ApfSource src;
    pugi::xml_document doc;
    std::string reason;
    ASSERT_TRUE(gf_loadApfDocument("first.xml", src, doc, reason)) << reason;
    EXPECT_EQ(std::make_tuple(lf_apfParameterBool(doc, "handmade"), lf_apfParameterInt(doc, "Qf_soft")),
              std::make_tuple(std::optional(true), std::optional(20)));
    for (pugi::xml_node p : doc.child("parkpositions").children("parkpos"))
        lf_readParkpos(p, p.attribute("id").value(), 1, src);
    c.stands = g_stands;
    c.stands[2].manual = true;  // the merge of learned files reads it, not the stand reader
    ASSERT_TRUE(gf_writeApf(c, "second.xml", kApfModeLearned));
    EXPECT_EQ(tst_readFile("second.xml"), tst_readFile("first.xml"));
    const StandOption& o = g_stands[0].options.at(0);
    EXPECT_EQ(std::tie(o.callsign, o.callsign2, o.airline, o.type, o.origin),
              std::make_tuple("SWR12", "SWR13", "XXX", "XXXX", 1u));
}

// "cs|cs2|index" of every option read, or the warning naming file and line.
TEST_F(ApfTest, ParkposReaderTakesOptionsAsWrittenAndDropsBadNumbers) {
    const std::pair<const char*, const char*> rows[] = {
        {R"(latitude="1.0000000000" longitude="2"><opt cs="A:B"/><opt cs="A"/>)", "A|B|1 A||2 "},
        {R"(latitude="-90" longitude="180" radius="1"><opt cs=":B"/><opt cs="A:B:C"/>)", "|B|1 A|B:C|2 "},
        // The dropped option still counts for the numbering.
        {R"(latitude="1" longitude="2"><opt day="8"/><opt cs="X"/>)",
         "X||2 ===> f.xml line 3: option of stand 'Q' dropped, bad day '8'\n"},
        {R"(latitude="0" longitude="0">)", ""},
        {R"(latitude="47" longitude="180.5">)", "bad longitude '180.5'"},
        {R"(latitude="90.5" longitude="8">)", "bad latitude '90.5'"},
        {R"(latitude="-90.5" longitude="8">)", "bad latitude '-90.5'"},
        {R"(latitude="nan" longitude="8">)", "bad latitude 'nan'"},
        {R"(latitude="47" longitude="8" radius="-1">)", "bad radius '-1'"},
        {R"(latitude="47" longitude="8" radius="1e9">)", "bad radius '1e9'"},
        {R"(latitude="47" longitude="8" heading="inf">)", "bad heading 'inf'"},
        {R"(latitude="47" longitude="8" heading="400">)", "bad heading '400'"},
    };
    for (const auto& [attrs, expected] : rows) {
        SCOPED_TRACE(attrs);
        restartLog();
        g_stands.clear();
        const std::string text = std::string("<parkpositions>\n\n<parkpos id=\"Q\" ") + attrs + "</parkpos></parkpositions>";
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(text.c_str()));
        const bool read = lf_readParkpos(doc.first_child().first_child(), "Q", 0, ApfSource{"f.xml", text});
        std::string got;
        for (const Stand& s : g_stands)
            for (const StandOption& o : s.options) got += fmt::format("{}|{}|{} ", o.callsign, o.callsign2, o.index);
        if (read) EXPECT_FALSE(g_stands[0].cargo || g_stands[0].ramp || g_stands[0].heli);
        const bool bad = std::string_view(expected).starts_with("bad");
        EXPECT_EQ(read, !bad && *expected);
        EXPECT_EQ(got + gf_capturedLog(), bad ? fmt::format("===> f.xml line 3: stand 'Q' dropped, {}\n", expected)
                                              : std::string(expected));
    }
}

TEST_F(ApfSiteTest, LookupOrder) {
    const std::tuple<const char*, const char*, const char*> files[] = {  // file, content, LSZH found then
        {"", "", "archive/stock/LSZH.xml"},
        {"airports/my_ORBX/LSZH.xml", "x", "airports/my_ORBX/LSZH.xml"},
        {"airports/my_ORBX/LSZH.txt", "archive/simaddon/LSZH.xml  \r\n", "archive/simaddon/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.xml", "x", "airports/my_thirdparty/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.txt", "archive/thirdparty/A%20B/LSZH.xml.old tail",
         "archive/thirdparty/A%20B/LSZH.xml"},
    };
    // The site's answers come from its worker: asked here, taken in by the lookups below.
    EXPECT_EQ(gf_probeStockApf("LSZH").state, SiteState::Pending);
    EXPECT_EQ(gf_probeStockApf("EDDF").state, SiteState::Pending);
    tst_awaitSite();
    // A probe answers present or absent; the file it found stays on the site.
    const SiteAnswer probed = gf_probeStockApf("LSZH");
    EXPECT_EQ(probed.state, SiteState::Present);
    EXPECT_EQ(probed.body, "");
    for (const auto& [file, content, found] : files) {
        SCOPED_TRACE(file);
        if (*file) tst_writeFile(file, content);
        EXPECT_EQ(gf_findApf("LSZH") + (gf_apfExists("LSZH") ? "" : " absent"), found);
    }
    EXPECT_EQ(gf_findApf("EDDF") + (gf_apfExists("EDDF") ? "exists" : ""), "");
    // The site said so: not asked again this run.
    EXPECT_EQ(gf_probeStockApf("EDDF").state, SiteState::Absent);
    EXPECT_EQ(gf_siteTransferCount(), 2);
    tst_writeFile("airports/my_ORBX/EDDF.txt", "");
    EXPECT_EQ(gf_findApf("EDDF") + (gf_apfExists("EDDF") ? "exists" : ""), "exists");  // the link is not read
}

TEST_F(ApfSiteTest, HostileLinkTargetsCountAsAbsent) {
    const char* targets[] = {"/etc/LSZH.xml",         "C:\\P3D\\LSZH.xml",       "archive/../../LSZH.xml",
                             "archive\\..\\LSZH.xml", "archive/%2E%2e/LSZH.xml", "../.xml"};
    gf_probeStockApf("LSZH");
    tst_awaitSite();
    for (const char* target : targets) {
        SCOPED_TRACE(target);
        restartLog();
        tst_writeFile("airports/my_thirdparty/LSZH.txt", target);
        EXPECT_EQ(gf_findApf("LSZH"), "archive/stock/LSZH.xml");
        EXPECT_EQ(gf_capturedLog(),
                  fmt::format("===> airports/my_thirdparty/LSZH.txt: link target '{}' refused, it "
                              "would leave the airports folder\n",
                              target));
    }
}

TEST_F(ApfTest, ReaderAndSaverAgreeOnTheLearnedFile) {
    const std::tuple<const char*, const char*, const char*> rows[] = {
        // location, publisher, learned file
        {"archive/stock/LSZH.xml", "", "airports/learned/stock/LSZH.xml"},
        {"archive/stock/LSZH.xml", "stock", "airports/learned/stock/LSZH.xml"},
        {"archive/simaddon/LSZH.xml", "", "airports/learned/simaddon/LSZH.xml"},
        {"airports/my_ORBX/LSZH.xml", "", "airports/learned/simaddon/LSZH.xml"},
        {"archive/thirdparty/Some%20Pub/LSZH.xml", "", "airports/learned/thirdparty/Some Pub/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.xml", "Some Pub", "airports/learned/thirdparty/Some Pub/LSZH.xml"},
        // A file the user put there without naming its publisher.
        {"airports/my_thirdparty/LSZH.xml", "", "airports/learned/thirdparty/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.xml", "../../x", ""},
        {"airports/my_thirdparty/LSZH.xml", "C:x", ""},
        {"", "stock", ""},
    };
    for (const auto& [location, publisher, learned] : rows) {
        SCOPED_TRACE(std::string(location) + " " + publisher);
        EXPECT_EQ(lf_migrateArchivePath(location, publisher).generic_string(), learned);
        g_parkAirport.code = "LSZH";
        g_parkFileHeader.publisher = *publisher ? publisher : gf_publisherOfLocation(location);
        if (*location) EXPECT_EQ(gf_parkLearnedPath().generic_string(), learned);
    }
    EXPECT_EQ(gf_learnedApfPath("../LSZH", "stock"), "");
    EXPECT_EQ(gf_learnedApfPath("", "stock"), "") << "no file named .xml";
}

TEST_F(ApfTest, ParameterReadersTellMissingFromEmpty) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<parameters><parameter name="a"/><parameter name="b" value="Yes"/>
        <parameter name="c" value="12abc"/><parameter name="c" value="7"/></parameters>)"));
    EXPECT_EQ(std::make_tuple(lf_apfParameterBool(doc, "a"), lf_apfParameterInt(doc, "a"),
                              lf_apfParameterString(doc, "a")),
              std::make_tuple(std::optional(false), std::optional(0), std::optional<std::string>("")));
    EXPECT_EQ(std::make_tuple(lf_apfParameterBool(doc, "b"), lf_apfParameterInt(doc, "c")),
              std::make_tuple(std::optional(true), std::optional(12)));
    EXPECT_EQ(std::make_tuple(lf_apfParameterInt(doc, "z"), lf_apfParameterBool(doc, "z")),
              std::make_tuple(std::optional<int>(), std::optional<bool>()));
}

TEST_F(ApfTest, FailedWriteSaysWhyAndLeavesWhatWasThere) {
    tst_writeFile("LSZH.xml/keep", "old");
    std::string reason;
    EXPECT_FALSE(gf_writeApf(tst_content(), "LSZH.xml", kApfModeFull, &reason));
    EXPECT_EQ(tst_readFile("LSZH.xml/keep"), "old");
    EXPECT_EQ(reason, "Is a directory");
    EXPECT_EQ(gf_capturedLog(), "===> gf_writeApf: could not write LSZH.xml: Is a directory\n");
}

using StandTest = WorkFolderTest;

// Numbers the stands (lat, lon, radius m); every neighbour list is the rule applied to every pair
// (1.1 x distance < sum of radii).
TEST_F(StandTest, NeighboursAreThePairsTheRuleFinds) {
    constexpr double kDegPerM = 1.0 / 1852.0 / 60.0;
    const std::tuple<const char*, std::vector<std::array<double, 3>>, size_t> rows[] = {
        {"20 m and 25 m, 40 m apart north (44 < 45)", {{0, 8, 20}, {40 * kDegPerM, 8, 25}}, 1},
        {"41 m apart north (45.1 > 45)", {{0, 8, 20}, {41 * kDegPerM, 8, 25}}, 0},
        {"40 m apart at 80 north", {{80, 8, 20}, {80, 8 + 40 * kDegPerM / std::cos(gf_degToRad(80)), 25}}, 1},
        {"either side of the date line", {{10, 179.99995, 20}, {10, -179.99995, 20}}, 1},
        {"same position, radius 1 m", {{1, 1, 1}, {1, 1, 0}}, 1},
        {"across a band's edge, 5 m west", {{30 * kDegPerM, 8, 20}, {40 * kDegPerM, 8 - 5 * kDegPerM, 20}}, 1},
    };
    for (const auto& [name, places, neighbours] : rows) {
        SCOPED_TRACE(name);
        gf_clearStands();
        for (const auto& [lat, lon, radiusM] : places)
            g_stands.emplace_back("S", std::vector<StandOption>{}, lat, lon, 0.0, radiusM, false, false,
                                  false);
        gf_numberStands();
        gf_numberStands();  // numbering again does not duplicate the lists
        for (size_t i = 0; i < g_stands.size(); ++i) {
            std::vector<uint32_t> expected;
            for (size_t j = 0; j < g_stands.size(); ++j)
                if (i != j && 1.1 * gf_haversineNm(g_stands[i].position(), g_stands[j].position()) <
                                  g_stands[i].radius + g_stands[j].radius)
                    expected.push_back(static_cast<uint32_t>(j + 1));
            EXPECT_EQ(std::make_tuple(g_stands[i].standId, gf_publishedStands()->at(i).position.lat),
                      std::make_tuple(i + 1, g_stands[i].latitude));  // the simulator thread's copy too
            EXPECT_EQ(g_stands[i].neighbours, expected) << "stand " << i + 1;
        }
        EXPECT_EQ(g_stands[0].neighbours.size(), neighbours);
    }
    EXPECT_DOUBLE_EQ(Stand("A", {}, 1, 1, 0, 18.52, true, false, true).radius, 0.01);  // metres to nm
}

using StandOptionsTest = ApfTest;

// A real option of this run.
StandOption tst_option(uint32_t index, uint32_t day = 3, std::string reg = "D-AIXX", uint64_t hh = 0,
                       std::string callsign = "DLH4AB", std::string callsign2 = "", uint32_t real = 1) {
    return StandOption(std::move(callsign), std::move(callsign2), "DLH", "B738", std::move(reg), hh, index, day, 0, real);
}

AircraftRec tst_aircraft(std::string airline = "DLH", std::string type = "B738") {
    AircraftRec ac;
    ac.airline = std::move(airline);
    ac.type = std::move(type);
    return ac;
}

TEST_F(StandOptionsTest, WhichOptionsFitAnAircraftOrHoldASlotNearby) {
    const std::tuple<StandOption, const char*, const char*, const char*, bool> fits[] = {
        {tst_option(1), "DLH4AB", "AFR", "A320", true},
        {tst_option(1, 3, "R", 0, "DLH4AB", "DLH4AC"), "DLH4AC", "AFR", "A320", true},
        {tst_option(1), "DLH9", "DLH", "B738", true},
        {tst_option(1), "DLH9", "DLH", "A320", false},
        {tst_option(0), "DLH4AB", "DLH", "B738", false},
        {tst_option(1, 3, "R", 0, "DLH4AB", "", 0), "DLH4AB", "DLH", "B738", false},
        {tst_option(1, 3, "R", 0, ""), "", "AFR", "A320", true},
    };
    for (const auto& [option, callsign, airline, type, fit] : fits)
        EXPECT_EQ(gf_optionFitsAircraft(callsign, tst_aircraft(airline, type), option), fit)
            << callsign << " " << airline << " " << type << " on " << option.callsign << " " << option.index;
    const std::tuple<StandOption, int, int, bool> near[] = {  // option, weekday, slot, near
        {tst_option(1, 3, "D-AIXX", tst_bits({20})), 3, 20, true},  {tst_option(1, 3, "D-AIXX", tst_bits({21})), 3, 20, true},
        {tst_option(1, 3, "D-AIXX", tst_bits({19})), 3, 20, true},  {tst_option(1, 3, "D-AIXX", tst_bits({18, 22})), 3, 20, false},
        {tst_option(1, 3, "D-AIXX", tst_bits({47})), 3, 0, true},   {tst_option(1, 3, "D-AIXX", tst_bits({46})), 3, 0, false},
        {tst_option(1, 3, "D-AIXX", tst_bits({0})), 3, 47, true},   {tst_option(1, 3, "D-AIXX", tst_bits({1})), 3, 47, false},
        {tst_option(1, 4, "D-AIXX", tst_bits({20})), 3, 20, false}, {tst_option(1, 3, "D-AIXY", tst_bits({20})), 3, 20, false},
        {tst_option(0, 3, "D-AIXX", tst_bits({20})), 3, 20, false},
    };
    for (const auto& [option, weekday, slot, isNear] : near)
        EXPECT_EQ(gf_optionHasSlotNear(weekday, slot, "D-AIXX", option), isNear)
            << option.day << " " << option.reg << " " << option.hh << " " << weekday << " " << slot;
    for (int slot : {48, -1, 1000})
        EXPECT_EQ(tst_rangeError([&] { gf_optionHasSlotNear(3, slot, "D-AIXX", tst_option(1)); }), kBitsetPositionError);
}

TEST_F(StandOptionsTest, NewOptionFieldsIndexesAndRepeats) {
    std::vector<StandOption> made;  // the database's record of HB-JLT stands in for the aircraft's airline and type
    ASSERT_EQ(gf_newOption(made, tst_aircraft(), 0, gf_packSlot(44, 7), "SWR1__", "HB-JLT"), 1u);
    EXPECT_EQ(std::tie(made[0].airline, made[0].type, made[0].reg, made[0].callsign, made[0].hh, made[0].day, made[0].real),
              std::make_tuple("SWR", "A320", "HB-JLT", "SWR1_", tst_bits({44}), 7u, 0u));
    struct Call {
        int weekday, slot;
        const char *callsign, *reg;
        std::optional<uint32_t> index;
    };
    const std::pair<std::vector<uint32_t>, std::vector<Call>> rows[] = {  // indexes there, calls
        {{1, 2, 5}, {{3, 20, "DLH4AB", "D-AIXX", 6u}}},
        {{1, 2, 0}, {{3, 20, "DLH4AB", "D-AIXX", 3u}}},
        {{}, {{3, 20, "ABC_", "D-AIXX", 1u}, {3, 20, "ABC", "D-AIXX", std::nullopt}}},
        {{}, {{3, 20, "DLH4AB", "D-AIXX", 1u}, {3, 21, "DLH4AB", "D-AIXX", 2u}}},
        {{}, {{3, 20, "DLH4AB", "D-AIXX", 1u}, {3, 20, "DLH4AC", "D-AIXX", 2u}}},
        {{}, {{3, 20, "DLH4AB", "", std::nullopt}}},
    };
    for (const auto& [indexes, calls] : rows) {
        std::vector<StandOption> options;
        for (uint32_t index : indexes) options.push_back(tst_option(index, 1, "X-OTHER"));
        for (const Call& c : calls) {
            SCOPED_TRACE(fmt::format("{} options, {} {} {} {}", options.size(), c.weekday, c.slot, c.callsign, c.reg));
            const size_t size = options.size();
            EXPECT_EQ(gf_newOption(options, tst_aircraft(), 1, gf_packSlot(c.slot, c.weekday), c.callsign, c.reg), c.index);
            EXPECT_EQ(options.size(), size + (c.index ? 1 : 0));
        }
    }
    std::vector<StandOption> named{tst_option(1, 3, "D-AIXX", 0, "")};  // a second callsign replaces an older second
    std::string seen;
    for (const char* callsign : {"DLH4AB", "DLH4AB", "DLH4AC", "DLH4AB", "DLH4AD", ""}) {
        gf_addCallsignToOption(named, 1, callsign);
        seen += named[0].callsign + "/" + named[0].callsign2 + " ";
    }
    EXPECT_EQ(seen, "DLH4AB/ DLH4AB/ DLH4AB/DLH4AC DLH4AB/DLH4AC DLH4AB/DLH4AD DLH4AB/DLH4AD ");
}

TEST_F(StandOptionsTest, BookingAStayAcrossMidnight) {
    const std::string kWrapErr = "===> updateOptionsWrapped exception:invalid bitset position\n";
    const std::tuple<uint32_t, uint32_t, SlotList, bool, uint64_t, uint64_t, SlotList, std::string> wrapped[] = {
        // previous and current index, slots, result, half-hours of both options, slots left, log
        {1, 2, {1, 0, 47, 46}, true, tst_bits({40, 46, 47}), tst_bits({1, 0}), {1}, ""},
        {1, 2, {2, 1, 0}, true, tst_bits({40}), tst_bits({0, 1}), {2}, ""},  // back slot 0: none before
        {1, 2, {1}, true, tst_bits({40}), tst_bits({1}), {1}, ""},  // the current slot never goes back a day
        {5, 2, {1, 0, 47}, false, tst_bits({40}), tst_bits({1}), {1, 0, 47}, ""},
        {1, 5, {1, 0, 47}, false, tst_bits({40, 47}), tst_bits({1}), {1, 0}, ""},
        {1, 2, {1, 0, 60, 46}, false, tst_bits({40, 46}), tst_bits({1}), {1, 0, 60}, kWrapErr},
        {1, 2, {1, -3, 47}, false, tst_bits({40, 47}), tst_bits({1}), {1, -3}, kWrapErr},
    };
    for (const auto& [previous, current, given, result, hhPrevious, hhCurrent, left, log] : wrapped) {
        SCOPED_TRACE(testing::PrintToString(given) + " " + std::to_string(previous) + " " + std::to_string(current));
        restartLog();
        std::vector<StandOption> options{tst_option(1, 7, "D-AIXX", tst_bits({40})), tst_option(2, 1, "D-AIXX", tst_bits({1}))};
        SlotList slots = given;
        EXPECT_EQ(updateOptionsWrapped(options, slots, previous, current), result);
        EXPECT_EQ(std::make_tuple(options[0].hh, options[1].hh, slots, gf_capturedLog()),
                  std::make_tuple(hhPrevious, hhCurrent, left, log));
    }
}

}  // namespace
