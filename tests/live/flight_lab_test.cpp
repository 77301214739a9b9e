#include "support/flight_lab.h"

#include <cmath>
#include <filesystem>

#include "core/files.h"
#include "core/geo.h"
#include "core/params.h"
#include "live/ground_motion_legs.h"
#include "live/live_set.h"
#include "platform/scenario_tools.h"

namespace {

constexpr uint32_t kHexA = 0x3c6601;
constexpr uint32_t kHexB = 0x3c6602;
// Air extensions: 8 samples of 8 s, the due-tick clamp's lag of up to 50 s, and a few seconds for
// the removal to be sent and answered.
constexpr double kAirBudgetSec = 8 * 8 + 50 + 6;
// Longest part of a real track the lab replays, seconds of the track.
constexpr double kRealTrackSeconds = 900;

// Creates are paced, so the second of two aircraft becomes active later and flies the same legs
// that many ticks later.
int32_t lab_activationLag(const std::map<int32_t, LatLon>& a, const std::map<int32_t, LatLon>& b) {
    if (a.empty() || b.empty()) return 0;
    return b.begin()->first - a.begin()->first;
}

class FlightLabTest : public FlightLab {
  protected:
    void fly(const Truth& t, uint32_t hexid = kHexA, const std::string& callsign = "DLH4AB") {
        addStream(hexid, callsign, "DLH", "B738", t);
    }
    void runToEnd(const Truth& t, double budget = kAirBudgetSec) {
        run(t.back().t + 30);
        EXPECT_TRUE(goneWithin(kHexA, budget));
    }
};

Truth lab_cruise(double lat, double lon, double trackDeg) {
    Truth t = lab_start(lat, lon, 12000, 280, trackDeg);
    lab_straight(t, 120);
    lab_turn(t, 90);
    lab_straight(t, 60, 2, -1500);
    lab_turn(t, -45, 2);
    lab_straight(t, 60, 2, 1200);
    return t;
}

TEST_F(FlightLabTest, CruiseWithTurnsClimbsAndDescentsEndsWithinTheExtensionBudget) {
    const Truth t = lab_cruise(47.2, 8.5, 20);
    fly(t);
    startWorld(47.2, 8.5);
    run(t.back().t + 30);
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(live(kHexA)->lifeState, active);
    // The reports are played back 30 s late: at the last report's due tick the aircraft is there.
    const LatLon end{t.back().lat, t.back().lon};
    EXPECT_LT(gf_haversineNm(end, {live(kHexA)->lat, live(kHexA)->lon}), 0.3);
    EXPECT_TRUE(goneWithin(kHexA, kAirBudgetSec));
    EXPECT_GT(path(kHexA).size(), 20000u);
}

TEST_F(FlightLabTest, FeedFaultsAreFlownAsReported) {
    struct Row {
        const char* name;
        Truth truth;
    };
    Truth base = lab_start(47.0, 8.2, 9000, 250, 60);
    lab_straight(base, 240, 2);
    const Row rows[] = {
        {"gap shorter than the extensions", lab_gap(base, 60, 100)},
        {"jitter", lab_jitter(base, 0.002, 11)},
        {"duplicates", lab_duplicates(base)},
        {"sudden jump", lab_jump(base, 120, 0.3, -0.2)},
    };
    uint32_t hexid = kHexA;
    for (const Row& row : rows)
        addStream(hexid++, "DLH" + std::to_string(hexid % 100), "DLH", "B738", row.truth);
    startWorld(47.0, 8.2);
    run(base.back().t + 30);
    for (uint32_t h = kHexA; h < hexid; ++h) {
        SCOPED_TRACE(rows[h - kHexA].name);
        ASSERT_NE(live(h), nullptr) << "every aircraft still flies when its last report is due";
        EXPECT_EQ(live(h)->lifeState, active);
    }
}

TEST_F(FlightLabTest, GapLongerThanTheExtensionsRemovesTheAircraft) {
    Truth t = lab_start(47.0, 8.2, 9000, 250, 60);
    lab_straight(t, 300, 2);
    fly(lab_gap(t, 60, 300));
    startWorld(47.0, 8.2);
    run(60 + 30 + kAirBudgetSec);
    EXPECT_EQ(live(kHexA), nullptr);
}

TEST_F(FlightLabTest, ApproachAndRollOutKeepTheInvariants) {
    Truth t = lab_start(kHarnessLat - 0.25, kHarnessLon, 3000, 150, 0);
    lab_approach(t, kHarnessElevFt);
    lab_stop(t, 20);
    fly(t);
    startWorld(kHarnessLat - 0.15, kHarnessLon);
    run(t.back().t + 30);
    EXPECT_NE(live(kHexA), nullptr);
}

TEST_F(FlightLabTest, AntimeridianLegTakesTheShortWayRound) {
    Truth t = lab_start(50.0, 179.7, 11000, 300, 90);
    lab_straight(t, 200, 2);
    fly(t);
    startWorld(50.0, 179.8);
    run(t.back().t + 30);
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_LT(live(kHexA)->lon, -179.0) << "crossed the antimeridian eastbound";
    std::optional<LatLon> last;
    for (const auto& [tick, p] : path(kHexA)) {
        if (last) ASSERT_LT(std::fabs(gf_shortLonDiff(last->lon, p.lon)), 0.01) << tick;
        last = p;
    }
}

TEST_F(FlightLabTest, HighLatitudeLegStaysFinite) {
    Truth t = lab_start(89.75, 10, 35000, 480, 0);
    lab_straight(t, 120, 2);
    fly(t);
    startWorld(89.7, 10);
    runToEnd(t);
}

TEST_F(FlightLabTest, MirroredScenarioFliesTheMirroredPath) {
    const double about = 8.6;
    const Truth t = lab_cruise(47.2, 8.4, 20);
    fly(t, kHexA, "DLH4AB");
    fly(lab_mirror(t, about), kHexB, "DLH5CD");
    startWorld(47.2, 8.6);
    run(t.back().t + 30);
    size_t compared = 0;
    const int32_t lag = lab_activationLag(path(kHexA), path(kHexB));
    for (const auto& [tick, p] : path(kHexA)) {
        const auto it = path(kHexB).find(tick + lag);
        if (it == path(kHexB).end()) continue;
        ++compared;
        ASSERT_NEAR(p.lat, it->second.lat, 1e-7) << tick;
        ASSERT_NEAR(p.lon - about, about - it->second.lon, 1e-7) << tick;
    }
    EXPECT_GT(compared, 20000u);
}

TEST_F(FlightLabTest, ScenarioShiftedAcrossTheAntimeridianFliesTheSamePath) {
    const double shift = 0.9;
    const Truth t = lab_cruise(50.0, 179.0, 75);
    fly(t, kHexA, "DLH4AB");
    fly(lab_shift(t, shift), kHexB, "DLH5CD");
    startWorld(50.1, 179.6);
    run(t.back().t + 30);
    size_t compared = 0;
    bool crossed = false;
    const int32_t lag = lab_activationLag(path(kHexA), path(kHexB));
    for (const auto& [tick, p] : path(kHexA)) {
        const auto it = path(kHexB).find(tick + lag);
        if (it == path(kHexB).end()) continue;
        ++compared;
        crossed = crossed || it->second.lon < 0;
        ASSERT_NEAR(p.lat, it->second.lat, 1e-7) << tick;
        ASSERT_NEAR(gf_shortLonDiff(p.lon, it->second.lon), shift, 1e-7) << tick;
    }
    EXPECT_GT(compared, 20000u);
    EXPECT_TRUE(crossed);
}

// Every real track through the real intake and playback, its first kRealTrackSeconds.
class RealTrackLab : public FlightLab, public ::testing::WithParamInterface<const char*> {};

TEST_P(RealTrackLab, InvariantsHoldOnTheRealTrack) {
    const std::filesystem::path dir = tst_sourceDir() / "tests/data/realdata";
    const RealTrack real = gf_parseRealTrackCsv(tst_readFile(dir / GetParam()), GetParam());
    ASSERT_FALSE(real.rows.empty());
    const auto airports = gf_parseAirportsCsv(tst_readFile(dir / "airports.csv"), "airports.csv");
    const auto touched = gf_airportsTouched(real, airports);
    ConversionCounts counts;
    const ScenarioTrack track =
        gf_convertRealTrack(real, {real.hexid, "B738", "", "DLH"}, 0, touched, counts);
    Truth truth;
    for (const ScenarioRow& r : track.rows) {
        if (r.t > kRealTrackSeconds) break;
        truth.push_back({r.t, r.lat, r.lon, r.altFt, r.gsKt, r.trackDeg, r.vrateFpm, !r.airborne});
    }
    ASSERT_GT(truth.size(), 10u);
    std::string callsign = real.callsign.empty() ? "DLH9ZZ" : real.callsign;
    addStream(real.hexid, callsign, "DLH", "B738", truth);
    startWorld(truth.front().lat, truth.front().lon, touched);
    run(truth.back().t + 30);
    const double budget = truth.back().onGround ? (MAX_HOLDING_MINUTES.value() + 2) * 60.0 : kAirBudgetSec;
    EXPECT_TRUE(goneWithin(real.hexid, budget));
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, RealTrackLab,
    ::testing::Values("approach_LSZH_DLH4TR_3c664e_noisy.csv", "arrival_KMSP_DAL1812_ac671b.csv",
                      "cruise_gnss_spoofing_THY9BP_4baac6_noisy.csv", "cruise_time_issue_4b1815_noisy.csv",
                      "departure_KMSP_DAL2418_ac671b.csv", "flight_KMSP_KDEN_DAL2927_ac671b.csv",
                      "helicopter_REGA1_4b43ac.csv", "landing_taxi_LSZH_CAI3208_0083c3.csv",
                      "parked_jitter_LSZH_SWISS_4b17e5_noisy.csv",
                      "taxi_takeoff_LSZH_AFR181L_3946e4_noisy.csv"));

}  // namespace
