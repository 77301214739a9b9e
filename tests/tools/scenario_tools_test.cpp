#include "platform/scenario_tools.h"

#include <gtest/gtest.h>

#include "core/geo.h"
#include "core/log.h"
#include "support/work_folder.h"

namespace {

class ScenarioToolsTest : public WorkFolderTest {};

Scenario lf_generated(uint32_t seed) {
    Scenario s;
    GeneratorOptions options;
    options.seed = seed;
    gf_addSyntheticTraffic(s, options);
    return s;
}

TEST_F(ScenarioToolsTest, SameSeedGivesTheSameBytesAndReadsBack) {
    const std::string a = gf_scenarioToJson(lf_generated(7));
    EXPECT_EQ(a, gf_scenarioToJson(lf_generated(7)));
    EXPECT_NE(a, gf_scenarioToJson(lf_generated(8)));
    EXPECT_EQ(gf_parseScenario(a, "gen.json"), lf_generated(7));
}

// A landing at LSZH: two airborne rows, then ground rows at pressure altitudes 1375, 1400 and
// 1390 (median 1390, so +26 ft), one ground row without altitude and one without speed, track
// and vertical rate; a bad line is dropped and reported.
TEST_F(ScenarioToolsTest, RealTrackIsShiftedToTheFieldWithSpeedsFromPositions) {
    gf_setLogCapture(true);
    const RealTrack track = gf_parseRealTrackCsv(
        "t,icao24,callsign,lat,lon,alt_ft,gs_kt,track_deg,vrate_fpm,on_ground\r\n"
        "0.0,4b1805,SWR287,47.4900,8.5200,3000,140,137.7,-704,0\r\n"
        "1.0,4b1805,SWR287,47.4890,8.5210,2000,139,137.7,-704,\r\n"
        "1.5,4b1805,SWR287,north,8.5,1400,0,0,0,1\r\n"
        "2.0,4b1805,SWR287,47.4780,8.5420,1375,120,137.7,-128,1\r\n"
        "3.0,4b1805,SWR287,47.4770,8.5430,1400,90,137.7,-128,1\r\n"
        "3.0,4b1805,SWR287,47.4770,8.5430,,90,137.7,-128,1\r\n"
        "9.5,4b1805,SWR287,47.4760,8.5440,1390,,,,1\r\n",
        "landing.csv");
    EXPECT_EQ(gf_capturedLog(), "===> landing.csv: dropped 1 line (first at line 4): fields missing, not finite "
                                "or out of range\n");
    ASSERT_EQ(track.rows.size(), 6u);
    EXPECT_EQ(track.hexid, 0x4b1805u);
    const std::vector<ScenarioAirport> airports = {{"LSZH", 47.4647, 8.54917, 1416}, {"LSMD", 47.3986, 8.64823, 1470}};
    const auto touched = gf_airportsTouched(track, airports);
    ASSERT_EQ(touched.size(), 1u);
    EXPECT_EQ(touched[0].icao, "LSZH");
    EXPECT_DOUBLE_EQ(gf_groundAltitudeOffset(track, touched), 26);
    ConversionCounts counts;
    const ScenarioTrack out = gf_convertRealTrack(track, {0x4b1805, "A320", "HB-IJD", ""}, -100, touched, counts);
    EXPECT_EQ(std::tie(out.airline, out.type, out.registration), std::make_tuple("SWR", "A320", "HB-IJD"));
    EXPECT_EQ(counts.speedsFromPositions, 1);
    const LatLon before{47.4770, 8.5430}, last{47.4760, 8.5440};
    const double lastKt = gf_haversineNm(before, last) * 3600 / 6.5, lastTrack = gf_radToDeg(gf_bearingRad(before, last));
    // The missing air/ground state holds the one before, the duplicated time stays, the ground
    // rows are at altitude 0 as the traffic service has them.
    const struct { double t, alt, gs, track, vrate; bool airborne; } expected[] = {
        {-100, 3026, 140, 137.7, -704, true}, {-99, 2026, 139, 137.7, -704, true},
        {-98, 0, 120, 137.7, -128, false},    {-97, 0, 90, 137.7, -128, false},
        {-97, 0, 90, 137.7, -128, false},     {-90.5, 0, lastKt, lastTrack, -128, false}};
    ASSERT_EQ(out.rows.size(), std::size(expected));
    for (size_t i = 0; i < out.rows.size(); ++i) {
        SCOPED_TRACE(i);
        const ScenarioRow& r = out.rows[i];
        EXPECT_EQ(std::tie(r.t, r.altFt, r.vrateFpm, r.airborne),
                  std::tie(expected[i].t, expected[i].alt, expected[i].vrate, expected[i].airborne));
        EXPECT_DOUBLE_EQ(r.gsKt, expected[i].gs);
        EXPECT_DOUBLE_EQ(r.trackDeg, expected[i].track);
    }
}

}  // namespace
