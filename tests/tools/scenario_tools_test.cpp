#include "platform/scenario_tools.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "core/log.h"
#include "support/work_folder.h"

namespace {

class RealTracksTest : public WorkFolderTest {};

const std::vector<ScenarioAirport> kAirports = {
    {"LSZH", 47.4647, 8.54917, 1416},
    {"LSMD", 47.3986, 8.64823, 1470},
    {"KDEN", 39.8617, -104.673, 5433.8},
};

std::filesystem::path realFile(std::string_view name) {
    return tst_sourceDir() / "tests/data/realdata" / name;
}

RealTrack readReal(std::string_view name) {
    return gf_parseRealTrackCsv(gf_readTextFile(realFile(name)), name);
}

std::vector<std::string> icaos(const std::vector<ScenarioAirport>& airports) {
    std::vector<std::string> out;
    for (const ScenarioAirport& a : airports) out.push_back(a.icao);
    return out;
}

// A landing at LSZH: two airborne rows, then ground rows at pressure altitudes 1375, 1400 and
// 1390 (median 1390, so +26 ft), one ground row without altitude and one without speed, track
// and vertical rate.
constexpr std::string_view kLanding =
    "t,icao24,callsign,lat,lon,alt_ft,gs_kt,track_deg,vrate_fpm,on_ground\r\n"
    "0.0,4b1805,SWR287,47.4900,8.5200,3000,140,137.7,-704,0\r\n"
    "1.0,4b1805,SWR287,47.4890,8.5210,2000,139,137.7,-704,\r\n"
    "2.0,4b1805,SWR287,47.4780,8.5420,1375,120,137.7,-128,1\r\n"
    "3.0,4b1805,SWR287,47.4770,8.5430,1400,90,137.7,-128,1\r\n"
    "3.0,4b1805,SWR287,47.4770,8.5430,,90,137.7,-128,1\r\n"
    "9.5,4b1805,SWR287,47.4760,8.5440,1390,,,,1\r\n";

TEST_F(RealTracksTest, AirborneRowsAreShiftedToTheFieldGroundRowsAreAtZeroAndSpeedsComeFromPositions) {
    const RealTrack track = gf_parseRealTrackCsv(kLanding, "landing.csv");
    ASSERT_EQ(track.rows.size(), 6u);
    EXPECT_EQ(track.hexid, 0x4b1805u);
    EXPECT_EQ(track.callsign, "SWR287");
    const auto touched = gf_airportsTouched(track, kAirports);
    EXPECT_EQ(icaos(touched), std::vector<std::string>{"LSZH"});
    EXPECT_DOUBLE_EQ(gf_groundAltitudeOffset(track, touched), 26);

    ConversionCounts counts;
    const ScenarioTrack out =
        gf_convertRealTrack(track, {0x4b1805, "A320", "HB-IJD", ""}, -100, touched, counts);
    EXPECT_EQ(out.airline, "SWR");
    EXPECT_EQ(out.type, "A320");
    EXPECT_EQ(out.registration, "HB-IJD");
    EXPECT_EQ(counts.speedsFromPositions, 1);
    EXPECT_EQ(counts.droppedRows, 0);
    // The row without velocity: from the position before (t 3.0) over 6.5 s.
    const LatLon before{47.4770, 8.5430}, last{47.4760, 8.5440};
    const double lastKt = gf_haversineNm(before, last) * 3600 / 6.5;
    const double lastTrack = gf_radToDeg(gf_bearingRad(before, last));
    // t, alt, gs, track, vrate, airborne: the missing air/ground state holds the one before, the
    // duplicated time stays, the ground rows are at altitude 0 as the traffic service has them.
    const struct {
        double t, alt, gs, track, vrate;
        bool airborne;
    } expected[] = {{-100, 3026, 140, 137.7, -704, true}, {-99, 2026, 139, 137.7, -704, true},
                    {-98, 0, 120, 137.7, -128, false},    {-97, 0, 90, 137.7, -128, false},
                    {-97, 0, 90, 137.7, -128, false},     {-90.5, 0, lastKt, lastTrack, -128, false}};
    ASSERT_EQ(out.rows.size(), std::size(expected));
    for (size_t i = 0; i < out.rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(out.rows[i].t, expected[i].t);
        EXPECT_DOUBLE_EQ(out.rows[i].altFt, expected[i].alt);
        EXPECT_DOUBLE_EQ(out.rows[i].gsKt, expected[i].gs);
        EXPECT_DOUBLE_EQ(out.rows[i].vrateFpm, expected[i].vrate);
        EXPECT_DOUBLE_EQ(out.rows[i].trackDeg, expected[i].track);
        EXPECT_EQ(out.rows[i].airborne, expected[i].airborne);
        EXPECT_DOUBLE_EQ(out.rows[i].lat, track.rows[i].lat);
    }
}

TEST_F(RealTracksTest, OffsetIsTheMedianOfTheGroundAltitudes) {
    const struct {
        const char* name;
        std::vector<std::optional<double>> groundAltitudes;
        double offset;
    } cases[] = {
        {"odd count", {1125, 1130, 1125}, 291},
        {"even count", {1375, 1400}, 28.5},
        {"spikes outvoted", {1550, 36150, 1525, 1550, 37000}, -134},
        {"no ground altitude", {std::nullopt, std::nullopt}, 0},
        {"no ground row", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RealTrack track;
        track.rows.push_back({0, 47.47, 8.55, 2500, 150, 140, -700, false});
        for (size_t i = 0; i < c.groundAltitudes.size(); ++i)
            track.rows.push_back({1.0 + i, 47.465, 8.55, c.groundAltitudes[i], 10, 140, 0, true});
        EXPECT_DOUBLE_EQ(gf_groundAltitudeOffset(track, kAirports), c.offset);
    }
}

TEST_F(RealTracksTest, AirportsAreNamedByGroundRowsAndLowRowsNearThem) {
    const struct {
        const char* name;
        std::vector<RealTrackRow> rows;
        std::vector<std::string> airports;
    } cases[] = {
        {"ground at LSZH", {{0, 47.46, 8.55, 1400, 10, 0, 0, true}}, {"LSZH"}},
        {"cruise over LSZH", {{0, 47.46, 8.55, 37000, 450, 0, 0, false}}, {}},
        {"low near LSMD", {{0, 47.40, 8.64, 2200, 40, 0, 0, std::nullopt}}, {"LSMD"}},
        {"ground without altitude near LSMD", {{0, 47.40, 8.64, std::nullopt, 0, 0, 0, true}}, {"LSMD"}},
        {"high near LSMD", {{0, 47.40, 8.64, 3500, 40, 0, 0, false}}, {}},
        {"last ground row first-met order",
         {{0, 47.40, 8.64, 1500, 40, 0, 0, false},
          {1, 47.46, 8.55, 1400, 0, 0, 0, true},
          {9, 39.86, -104.67, std::nullopt, 60, 0, 0, true}},
         {"LSZH", "KDEN", "LSMD"}},
        {"ground row far from any airport", {{0, 50.0, 5.0, 1000, 0, 0, 0, true}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RealTrack track;
        track.rows = c.rows;
        EXPECT_EQ(icaos(gf_airportsTouched(track, kAirports)), c.airports);
    }
}

TEST_F(RealTracksTest, RealTracksKeepTheirRowsRepeatsAndGaps) {
    const auto airports = gf_parseAirportsCsv(gf_readTextFile(realFile("airports.csv")), "airports.csv");
    const struct {
        const char* file;
        size_t rows;
        std::vector<std::string> airports;
        double offset;
    } cases[] = {
        {"approach_LSZH_DLH4TR_3c664e_noisy.csv", 848, {"LSZH"}, 0},
        {"landing_taxi_LSZH_CAI3208_0083c3.csv", 904, {"LSZH"}, 16},
        {"taxi_takeoff_LSZH_AFR181L_3946e4_noisy.csv", 730, {"LSZH"}, -134},
        {"parked_jitter_LSZH_SWISS_4b17e5_noisy.csv", 2947, {"LSZH"}, 291},
        {"helicopter_REGA1_4b43ac.csv", 1080, {"LSZT", "LSZK", "LSMD"}, 0},
        {"arrival_KMSP_DAL1812_ac671b.csv", 770, {"KMSP"}, 0},
        {"departure_KMSP_DAL2418_ac671b.csv", 562, {"KMSP", "KSGS"}, 0},
        {"flight_KMSP_KDEN_DAL2927_ac671b.csv", 694, {"KMSP", "KDEN", "CO41"}, 0},
        {"cruise_time_issue_4b1815_noisy.csv", 3000, {}, 0},
        {"cruise_gnss_spoofing_THY9BP_4baac6_noisy.csv", 3000, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const RealTrack track = readReal(c.file);
        EXPECT_EQ(track.droppedLines, 0);
        const auto touched = gf_airportsTouched(track, airports);
        EXPECT_EQ(icaos(touched), c.airports);
        EXPECT_NEAR(gf_groundAltitudeOffset(track, touched), c.offset, 0.51);
        ConversionCounts counts;
        const ScenarioTrack out = gf_convertRealTrack(track, {}, 1000, touched, counts);
        EXPECT_EQ(out.rows.size() + counts.droppedRows, c.rows);
        // Every kept row is the file's row at the shifted time, repeated positions included.
        size_t j = 0;
        for (const ScenarioRow& r : out.rows) {
            while (j < track.rows.size() && track.rows[j].t + 1000 != r.t) ++j;
            ASSERT_LT(j, track.rows.size());
            EXPECT_EQ(r.lat, track.rows[j].lat);
            EXPECT_EQ(r.lon, track.rows[j].lon);
            ++j;
        }
    }
}

TEST_F(RealTracksTest, FaultsOfTheRealTracksSurviveTheConversion) {
    ConversionCounts counts;
    // The 116-s gap of the time-issue file and its held positions.
    const ScenarioTrack cruise =
        gf_convertRealTrack(readReal("cruise_time_issue_4b1815_noisy.csv"), {}, 0, {}, counts);
    const auto gap =
        std::adjacent_find(cruise.rows.begin(), cruise.rows.end(),
                           [](const ScenarioRow& a, const ScenarioRow& b) { return b.t - a.t > 100; });
    ASSERT_NE(gap, cruise.rows.end());
    EXPECT_DOUBLE_EQ(gap->t, 718);
    EXPECT_DOUBLE_EQ((gap + 1)->t, 834);
    // The duplicated time stamp of the Delta arrival stays, with both positions.
    const ScenarioTrack dal =
        gf_convertRealTrack(readReal("arrival_KMSP_DAL1812_ac671b.csv"), {}, 0, {}, counts);
    const auto dup =
        std::adjacent_find(dal.rows.begin(), dal.rows.end(),
                           [](const ScenarioRow& a, const ScenarioRow& b) { return a.t == b.t; });
    ASSERT_NE(dup, dal.rows.end());
    EXPECT_DOUBLE_EQ(dup->t, 5365.05);
    EXPECT_NE(dup->lat, (dup + 1)->lat);
    // The stale ground speed of the Zurich landing stays frozen on the ground.
    const RealTrack landing = readReal("landing_taxi_LSZH_CAI3208_0083c3.csv");
    const ScenarioTrack cai = gf_convertRealTrack(landing, {}, 0, {kAirports[0]}, counts);
    EXPECT_DOUBLE_EQ(cai.rows.back().gsKt, 104.0623913284);
    EXPECT_FALSE(cai.rows.back().airborne);
    EXPECT_EQ(cai.airline, "CAI");
}

TEST_F(RealTracksTest, BadLinesAreCountedDroppedAndReportedOnce) {
    gf_setLogCapture(true);
    const RealTrack track = gf_parseRealTrackCsv(
        "t,icao24,callsign,lat,lon,alt_ft,gs_kt,track_deg,vrate_fpm,on_ground\n"
        "0,4b1805,SWR1,47.4,8.5,1400,0,0,0,1\n"
        "1,4b18zz,SWR1,47.4,8.5,1400,0,0,0,1\n"
        "2,4b1805,SWR1,north,8.5,1400,0,0,0,1\n"
        "3,4b1805,SWR1,95.0,8.5,1400,0,0,0,1\n"
        "4,4b1805,SWR1,47.4,8.5,1400,0,0,0,2\n"
        "5,4b1805,SWR1,47.4,8.5\n"
        "6,4b1805,SWR1,47.4,8.5,nan,0,0,0,1\n"
        "7,4b1805,SWR1,47.5,8.6,,,,,\n",
        "bad.csv");
    EXPECT_EQ(track.droppedLines, 6);
    ASSERT_EQ(track.rows.size(), 2u);
    EXPECT_EQ(track.rows[1].t, 7);
    EXPECT_FALSE(track.rows[1].onGround.has_value());
    EXPECT_NE(
        gf_capturedLog().find(
            "===> bad.csv: dropped 6 lines (first at line 3): fields missing, not finite or out of range\n"),
        std::string::npos)
        << gf_capturedLog();
}

TEST_F(RealTracksTest, AirportListReadsQuotedNamesAndDropsBadLines) {
    const auto airports = gf_parseAirportsCsv(
        "icao,iata,name,lat,lon,elevation_ft,type\n"
        "LSZH,ZRH,Zurich Airport,47.4647,8.54917,1416,large_airport\n"
        "EGLC,LCY,\"London City Airport, \"\"LCY\"\"\",51.5053,0.055278,19,medium_airport\n"
        "XX,,Too short,1,1,1,\n"
        "LSMD,,Dubendorf Airport,47.3986,8.64823,,medium_airport\n",
        "airports.csv");
    ASSERT_EQ(airports.size(), 2u);
    EXPECT_EQ(airports[1], (ScenarioAirport{"EGLC", 51.5053, 0.055278, 19}));
}

TEST_F(RealTracksTest, AirlineComesFromCallsignsThatStartWithAnAirlineCode) {
    const struct {
        const char* callsign;
        const char* airline;
    } cases[] = {{"SWR2021", "SWR"}, {"AFR181L", "AFR"}, {"SWISS", ""}, {"REGA1", ""},
                 {"N899DN", ""},     {"HBZJA", ""},      {"", ""},      {"swr12", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.callsign);
        EXPECT_EQ(gf_airlineFromCallsign(c.callsign), c.airline);
    }
}

}  // namespace
