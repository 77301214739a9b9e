#include "airports/apf_read.h"

#include "airports/apf_fixture.h"
#include "airports/apf_lookup.h"
#include "core/errors.h"
#include "core/params.h"
#include "core/slots.h"
#include "live/ground_motion.h"
#include "platform/window_model.h"

namespace {

using ApfReadTest = ApfSiteTest;

constexpr const char* kHeader = R"(<parameter name="airport_name" value="Zurich"/>
<parameter name="publisher" value="stock"/><parameter name="altitude" value="1416"/>)";
// Two stands 40 m apart with radii 20 and 25 m (neighbours), one at 0/0 (skipped), one far off.
constexpr const char* kStands = R"(<parkpos id="A1" latitude="47.450000" longitude="8.550000" radius="20">
  <opt reg="HB-JLT" day="3" hh="14"/></parkpos>
<parkpos id="Z" latitude="0" longitude="0"/>
<parkpos id="A2" latitude="47.450360" longitude="8.550000" radius="25"/>
<parkpos id="B9" latitude="47.460000" longitude="8.550000" radius="25" cargo="true"/>
)";

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

TEST_F(ApfReadTest, ErrorTexts) {
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
        {"airports/missing.xml", "LSZH", "airports/missing.xml: could not load file: airports/missing.xml"},
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

TEST_F(ApfReadTest, StockFileWithoutLearnedFile) {
    parking_percentage.set(60);
    tst_writeFile("site/P3D/archive/stock/LSZH.xml", tst_apfXml(kHeader, kStands));
    ReadResult r = tst_read("archive/stock/LSZH.xml");
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(std::tie(r.header.airport_name, r.header.publisher, r.header.altitude),
              std::make_tuple("Zurich", "stock", 1416));
    EXPECT_EQ(std::tie(r.quality.Qf_real, r.quality.Qf_soft), std::make_tuple(-1, -1));
    ASSERT_EQ(g_stands.size(), 3u);
    EXPECT_EQ(std::tie(g_stands[0].neighbours, g_stands[1].neighbours, g_stands[2].neighbours),
              std::make_tuple(std::vector<uint32_t>{2}, std::vector<uint32_t>{1}, std::vector<uint32_t>{}));
    EXPECT_EQ(g_stands[0].options.at(0).origin, 1u);
    EXPECT_EQ(parking_percentage.value(), 30);
    EXPECT_EQ(gf_controlState(ctl::kParkingPercentage).enabled, false);
    EXPECT_EQ(gf_controlState(ctl::kParkingPercentage).selected, 6);  // 30 %
    EXPECT_TRUE(gf_controlState(ctl::kWeek).enabled);
    EXPECT_TRUE(g_staticParkingOn.load());
    WindowStats s = gf_windowStats();
    EXPECT_EQ(std::tie(s.publisher, s.quality, s.standCount, s.rtWeek), std::make_tuple("stock", "  ", 3, "0"));
    EXPECT_EQ(gf_capturedLog(), "          parking_percentage      : 30%\n"
                                "Airport file read from 'archive/stock/LSZH.xml' for Zurich\n"
                                "          publisher               : stock\n"
                                "          altitude                : 1416 ft\n"
                                "          num_parkpos             : 3\n"
                                "          quality factor          :   \n"
                                "          RT traffic week         : 0\n");
}

TEST_F(ApfReadTest, LearnedFileOfTheSamePublisherIsMergedAndRescored) {
    std::string header = R"(<parameter name="airport_name" value="Zurich"/><parameter name="altitude" value="1416"/>
        <parameter name="Qf_real" value="90"/>
        <parameter name="RT_traffic_week" value="33"/>)";
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
}

TEST_F(ApfReadTest, DemoSiteServesZurich) {
    std::filesystem::copy(tst_sourceDir() / "data/demo/site", "site",
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    std::string location = gf_findApf("LSZH");
    ReadResult r = tst_read(location);
    EXPECT_EQ(location + r.error, "archive/stock/LSZH.xml");
    EXPECT_EQ(g_stands.size(), 29u);
    size_t options = 0;
    for (const Stand& s : g_stands) options += s.options.size();
    EXPECT_EQ(options, 9u);
    EXPECT_EQ(server_.requestCount("/P3D/archive/stock/LSZH.xml"), 1);  // found and read on one transfer
}

TEST_F(ApfReadTest, QualityFactorsAndLabels) {
    EXPECT_EQ(gf_qualityFactors().Qf_real, -1);
    tst_writeFile("airports/x.xml", tst_apfXml(kHeader, kStands));
    tst_read("airports/x.xml");
    g_stands.erase(g_stands.begin() + 1, g_stands.end());
    EXPECT_EQ(gf_qualityFactors().Qf_real, 63);  // one real option on one day in one half-hour
    g_stands[0].options.emplace_back("", "", "A", "B", "R", (1ull << 48) - 1, 2, 5, 1, 0);
    EXPECT_EQ(gf_qualityFactors().Qf_soft, 64);
    const std::pair<QualityPair, const char*> rows[] = {
        {{80, 20}, "80"}, {{44, 20}, "44/20"}, {{-1, -1}, "  "}, {{-1, 5}, "-1/ 5"}, {{45, -1}, "45"}, {{0, -1}, " 0/-1"}};
    for (const auto& [q, label] : rows) EXPECT_EQ(gf_qualityLabel(q), label);
}

}  // namespace
