#include "airports/apf_read.h"

#include <random>

#include "airports/apf_fixture.h"
#include "airports/apf_lookup.h"
#include "airports/learned.h"
#include "airports/made_up_traffic.h"
#include "core/errors.h"
#include "core/params.h"
#include "core/random.h"
#include "core/slots.h"
#include "live/ground_motion.h"
#include "platform/window_model.h"
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

struct ReadResult {
    std::string error;
    ParkFileHeader header;
    QualityPair quality{7, 7};
};

ReadResult tst_read(const std::string& location, const char* icao = "LSZH") {
    ReadResult r;
    gf_readApf(icao, location, r.error, r.header, r.quality);
    return r;
}

TEST_F(ApfTest, ReadErrorTexts) {
    tst_writeFile("airports/bad.xml", "<meta>");
    tst_writeFile("airports/nometa.xml", tst_apfXml(kHeader, kStands, R"(<info name="author" value="a"/>)"));
    tst_writeFile("airports/empty.xml", tst_apfXml(kHeader, ""));
    tst_writeFile("airports/noalt.xml", tst_apfXml(R"(<parameter name="publisher" value="stock"/>)", kStands));
    tst_writeFile("airports/twice.xml", tst_apfXml(kHeader, std::string(kStands) + R"(<parkpos id="Z"/>)"));
    const std::tuple<const char*, const char*, std::string> rows[] = {
        {"", "LSZH", "gf_readApf: xml is empty"},
        {"airports/empty.xml", "", "gf_readApf: no park airport set"},
        {"archive/stock/EDDF.xml", "LSZH", "failed to download: '" + url("/P3D/archive/stock/EDDF.xml") + "'"},
        {"airports/bad.xml", "LSZH", "airports/bad.xml: could not load file: airports/bad.xml"},
        {"airports/nometa.xml", "LSZH", "airports/nometa.xml: refused to load (copyright)"},
        {"airports/empty.xml", "LSZH", "no stands found"},
        {"airports/noalt.xml", "LSZH", "65: Parameter altitude not found"},
        // The first Z was skipped for its position and still counts.
        {"airports/twice.xml", "LSZH", "94: Parking position Z appears more than once?"},
    };
    for (const auto& [location, icao, error] : rows) {
        SCOPED_TRACE(location);
        g_staticParkingOn = false;
        try {
            EXPECT_EQ(tst_read(location, icao).error, error);
        } catch (const qtk::UserErrorException& e) {
            EXPECT_EQ(e.what(), error);
        }
        EXPECT_EQ(g_staticParkingOn.load(), error == "no stands found");
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
    EXPECT_EQ(std::tie(g_stands[0].neighbours, g_stands[1].neighbours, g_stands[2].neighbours),
              std::make_tuple(std::vector<uint32_t>{2}, std::vector<uint32_t>{1}, std::vector<uint32_t>{}));
    EXPECT_EQ(g_stands[0].options.at(0).origin, 1u);
    EXPECT_EQ(parking_percentage.value(), 30);
    EXPECT_EQ(gf_controlState(ctl::kParkingPercentage).enabled, false);
    EXPECT_EQ(gf_controlState(ctl::kParkingPercentage).selected, 6);  // 30 %
    EXPECT_TRUE(gf_controlState(ctl::kWeek).enabled && g_staticParkingOn.load());
    WindowStats s = gf_windowStats();
    EXPECT_EQ(std::tie(s.publisher, s.quality, s.standCount, s.rtWeek), std::make_tuple("stock", "  ", 3, "0"));
    EXPECT_EQ(gf_capturedLog(), "          parking_percentage      : 30%\n"
                                "Airport file read from 'archive/stock/LSZH.xml' for Zurich\n"
                                "          publisher               : stock\n          altitude                : 1416 ft\n"
                                "          num_parkpos             : 3\n          quality factor          :   \n"
                                "          RT traffic week         : 0\n");
    g_stands.erase(g_stands.begin() + 1, g_stands.end());
    EXPECT_EQ(gf_qualityFactors().Qf_real, 63);  // one real option on one day in one half-hour
    g_stands[0].options.emplace_back("", "", "A", "B", "R", (1ull << 48) - 1, 2, 5, 1, 0);
    EXPECT_EQ(gf_qualityFactors().Qf_soft, 64);
    const std::pair<QualityPair, const char*> rows[] = {
        {{80, 20}, "80"}, {{44, 20}, "44/20"}, {{-1, -1}, "  "}, {{-1, 5}, "-1/ 5"}, {{45, -1}, "45"}, {{0, -1}, " 0/-1"}};
    for (const auto& [q, label] : rows) EXPECT_EQ(gf_qualityLabel(q), label);
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
    EXPECT_EQ(g_rtTrafficWeek, 33);
    EXPECT_EQ(g_stands[1].options.at(0).origin, 0u);
    EXPECT_TRUE(gf_controlState(ctl::kParkingPercentage).enabled);
    // The demo site's Zurich: found and read on one transfer.
    std::filesystem::remove_all("airports");
    PARK_FAKE.set(false);
    std::filesystem::copy(tst_sourceDir() / "data/demo/site", "site",
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    g_stands.clear();
    const std::string location = gf_findApf("LSZH");
    EXPECT_EQ(location + tst_read(location).error, "archive/stock/LSZH.xml");
    size_t options = 0;
    for (const Stand& s : g_stands) options += s.options.size();
    EXPECT_EQ(std::make_tuple(g_stands.size(), options), std::make_tuple(29u, 9u));
    EXPECT_EQ(server_.requestCount("/P3D/archive/stock/LSZH.xml"), 1);
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
    merge("", "");  // no MAX_LIVE: the user's choice stands
    EXPECT_EQ(std::make_tuple(MAX_LIVE_SEL.value(), gf_capturedLog()), std::make_tuple(500, read_));
    gf_setEnabled(ctl::kRange, false);
    merge(R"(<parameter name="parking_percentage" value="42"/><parameter name="WEEK" value="yes"/>
             <parameter name="LATERAL_RANGE" value="41"/><parameter name="MAX_FIT" value="12"/>)", "");
    EXPECT_EQ(gf_controlState(ctl::kParkingPercentage).selected, 8);  // 40 %
    EXPECT_EQ(gf_capturedLog(), read_ + "          LATERAL_RANGE           : 40\n"
                                        "          WEEK                    : true\n          parking_percentage      : 42\n"
                                        "          MAX_FIT                 : 12 (max number of half hours, is 7 hrs decimal)\n");
    EXPECT_TRUE(gf_controlState(ctl::kWeek).checked && gf_controlState(ctl::kRange).enabled);
    EXPECT_EQ(std::make_tuple(RANGE.value(), MAX_FIT_FL.value()), std::make_tuple(40, 7.0));
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
    // Known: HB-JLT on day 3 in 1,2. 3,4 is new; 2,9 shares 2; the second 7 repeats the first.
    std::vector<std::tuple<uint64_t, uint32_t, uint32_t, uint32_t>> options;
    for (const StandOption& o : a.options) options.emplace_back(o.hh, o.index, o.origin, o.real);
    EXPECT_EQ(options, (decltype(options){{0b110, 1, 1, 1}, {0b11000, 2, 0, 1}, {1 << 7, 3, 0, 1}, {0b100, 4, 0, 0}}));
    EXPECT_FALSE(g_stands[2].radius_change || g_stands[2].cargo_change);
    ASSERT_EQ(g_stands.size(), 4u);
    EXPECT_TRUE(g_stands[3].manual && g_stands[3].options.at(0).origin == 0);
    EXPECT_EQ(gf_capturedLog(), read_ + "learned stand NOPE in " + kLearned + " not found?\n"
                                "===> manually created standid A2 already exists in " + kLearned + "\n"
                                "===> manually created standid M1 misses correct attributes in " + kLearned + "\n"
                                "===> manually created standid M2 misses correct attributes in " + kLearned + "\n");
    EXPECT_FALSE(g_apfHandmade);
}

TEST_F(LearnedTest, HandmadeFilesReplaceEveryStandAndBrokenOnesAreKeptAsACopy) {
    merge(R"(<parameter name="handmade" value="false"/>)", R"(<parkpos id="H1" latitude="1" longitude="2">
  <opt reg="Q" day="1" hh="1"/></parkpos>
<parkpos id="H1" latitude="3" longitude="4"/>
<parkpos id="H2" latitude="5" longitude="6"/>)");
    EXPECT_TRUE(g_apfHandmade);
    ASSERT_EQ(g_stands.size(), 2u);
    EXPECT_EQ(g_stands[0].name + g_stands[1].name, "H1H2");
    EXPECT_EQ(g_stands[0].options.at(0).origin, 1u);
    const char* kCopy = "airports/learned/stock/LSZH0.xml";
    EXPECT_EQ(tst_readFile(kCopy), tst_readFile(kLearned));
    EXPECT_EQ(gf_capturedLog(), read_ + "===> Parking position H1 appears more than once in " + kLearned +
                                    " line 8, kept a copy as " + kCopy + "\n          handmade                : false\n");
    restartLog();
    tst_writeFile(kLearned, "<meta>");
    lf_readLearned(kLearned, "Zurich");
    EXPECT_EQ(tst_readFile(kCopy), "<meta>");
    tst_writeFile(kLearned, tst_apfXml(R"(<parameter name="airport_name" value="Zürich"/>)",
                                       R"(<parkpos id="H2" cargo_change="1" cargo="1"/>)", ""));
    lf_readLearned(kLearned, "Zurich");
    EXPECT_EQ(tst_readFile(kCopy), tst_readFile(kLearned));
    EXPECT_TRUE(g_stands[1].cargo);  // merged all the same
    const std::string differs =
        "Warning: learned file airport name: 'Zürich' differs from archived file airport name: 'Zurich'";
    EXPECT_EQ(gf_messageText(), differs);
    EXPECT_EQ(gf_capturedLog(), std::string(kLearned) + " found, but could not be loaded, saved as *.0.xml: Start-end "
                                "tags mismatch\n" + read_ + "===> " + kLearned + " misses its meta entries, kept a copy as " +
                                kCopy + "\n" + differs + "\n");
}

TEST_F(ApfTest, MadeUpTrafficOneSoftOptionPerStandThatSomethingFits) {
    // Half spans: C172 5.5 m (step 14 m), B77W 32.4 m (step 21 m).
    const std::tuple<const char*, double, bool> sizes[] = {
        {"C172", 3.8, true},  {"C172", 3.6, false},  {"C172", 12.0, true}, {"C172", 13.0, false},
        {"B77W", 42.4, true}, {"B77W", 43.4, false}, {"B77W", 30.7, true}, {"B77W", 30.5, false}};
    for (const auto& [type, radiusM, fits] : sizes)
        EXPECT_EQ(gf_typeFitsStandSize(Stand("S", {}, 1, 1, 0, radiusM, false, false, false), gf_halfWingspan(type)),
                  fits) << type << " " << radiusM;
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733752800)); });  // Monday 14:00
    gf_seedRandom(1);
    tst_addStands({{"H", 0, 0, 3, false, false, true},  // helipad: any size
                   {"C", 100, 0, 3, true},              // cargo, too small for every freighter
                   {"E", 200, 0, 20.9},                 // A320 or B738 of the European row
                   {"G", 300, 0, 6, false, true},       // ramp: private aircraft
                   {"K", 400, 0, 35.4}},                // B77W alone of the European row
                  false);
    g_stands[0].options.emplace_back("", "", "X", "Y", "Z", 1, 4, 1, 1, 1);
    lf_addFakeParkedTraffic("EDDF", g_stands);
    std::string got;
    for (const Stand& s : g_stands)
        for (const StandOption& o : s.options)
            if (o.invented)
                got += fmt::format("{} {} {} {} {} {} {} {} {} {}|", s.name, o.airline, o.type, o.callsign, o.reg,
                                   o.hh == 1ull << 28, o.day, o.index, o.origin, o.real);
    const std::string e = g_stands[2].options.at(0).airline + " " + g_stands[2].options.at(0).type;
    EXPECT_TRUE(e == "SAS A320" || e == "EZY A320" || e == "RYR B738" || e == "DLH A320" || e == "KLM B738") << e;
    EXPECT_EQ(got, "H PVT EC35 FAKE1 REGFAKE1 true 1 5 1 0|E " + e + " FAKE2 REGFAKE2 true 1 1 1 0|G PVT " +
                       g_stands[3].options.at(0).type + " FAKE3 REGFAKE3 true 1 1 1 0|K KLM B77W FAKE4 REGFAKE4 true 1 1 1 0|");
    lf_addFakeParkedTraffic("LSZH", g_stands);  // no row for L: (ZZZ, B738) on any ordinary stand
    EXPECT_EQ(g_stands[2].options.back().airline + g_stands[2].options.back().type, "ZZZB738");
    g_stands.erase(g_stands.begin() + 1, g_stands.end());
    gf_seedRandom(1);
    lf_addFakeParkedTraffic("EDDF", g_stands);
    EXPECT_EQ(gf_nextRandom(), std::mt19937(1)());  // a single candidate takes no draw
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(-10)); });
    EXPECT_THROW(lf_addFakeParkedTraffic("KJFK", g_stands), std::out_of_range);
}

}  // namespace
