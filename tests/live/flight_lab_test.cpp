#include "support/flight_lab.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>

#include "core/files.h"
#include "core/geo.h"
#include "core/params.h"
#include "live/ground_motion_legs.h"
#include "live/live_set.h"
#include "live/ground_motion.h"
#include "live/stand_choice.h"
#include "airports/stand.h"
#include "platform/scenario_tools.h"
#include "support/flight_lab_air.h"
#include "support/flight_lab_real.h"

namespace {

constexpr uint32_t kHexA = 0x3c6601;
constexpr uint32_t kHexB = 0x3c6602;
// Air extensions: 8 samples of 8 s, the due-tick clamp's lag of up to 50 s, and a few seconds for
// the removal to be sent and answered.
constexpr double kAirBudgetSec = 8 * 8 + 50 + 6;
// Less than two ticks' way at 280 kt.
constexpr double kSamePathDeg = 3e-5;
constexpr int32_t kPathWindowTicks = 600;

// Creates are paced, so the second of two aircraft becomes active later and flies the same legs
// later; the due-tick clamps then pull it toward the feed's times. So the paths are compared as
// paths: every point of b, brought back onto a's ground by `back`, lies within kSamePathDeg of a
// point a held near that time. The number of points compared, or a failure.
size_t lab_samePath(const std::map<int32_t, LatLon>& a, const std::map<int32_t, LatLon>& b,
                    const std::function<LatLon(LatLon)>& back) {
    if (a.empty() || b.empty()) return 0;
    const int32_t lag = b.begin()->first - a.begin()->first;
    size_t compared = 0;
    for (const auto& [tick, q] : b) {
        const LatLon p = back(q);
        double nearest = 1e9;
        for (auto it = a.lower_bound(tick - lag - kPathWindowTicks);
             it != a.end() && it->first <= tick - lag + kPathWindowTicks; ++it)
            nearest = std::min(nearest, std::hypot(it->second.lat - p.lat, gf_shortLonDiff(it->second.lon, p.lon)));
        if (nearest > kSamePathDeg) {
            ADD_FAILURE() << "tick " << tick << ": " << nearest << " degrees off the other path";
            return compared;
        }
        ++compared;
    }
    return compared;
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
    const size_t compared = lab_samePath(path(kHexA), path(kHexB), [&](LatLon q) {
        return LatLon{q.lat, gf_wrapLonDeg(2 * about - q.lon)};
    });
    EXPECT_GT(compared, 20000u);
}

TEST_F(FlightLabTest, ScenarioShiftedAcrossTheAntimeridianFliesTheSamePath) {
    const double shift = 0.9;
    const Truth t = lab_cruise(50.0, 179.0, 75);
    fly(t, kHexA, "DLH4AB");
    fly(lab_shift(t, shift), kHexB, "DLH5CD");
    startWorld(50.1, 179.6);
    run(t.back().t + 30);
    bool crossed = false;
    const size_t compared = lab_samePath(path(kHexA), path(kHexB), [&](LatLon q) {
        crossed = crossed || q.lon < 0;
        return LatLon{q.lat, gf_wrapLonDeg(q.lon - shift)};
    });
    EXPECT_GT(compared, 20000u);
    EXPECT_TRUE(crossed);
}

// Every real track whole through the real intake and playback, with the demo's type of its
// aircraft, without a park airport and with the one it touches last. The per-track table goes
// to the test output.
struct RealCase {
    const char* file;
    bool park;
};

// The airline whose livery of the type the lab has installed.
std::string lab_installedAirline(const std::string& type) {
    const std::map<std::string, std::string> airlines = {
        {"A320", "BAW"}, {"B738", "DLH"}, {"B739", "DAL"}, {"B38M", "THY"}, {"EC45", "SAZ"}};
    return airlines.at(type);
}

void PrintTo(const RealCase& c, std::ostream* os) {
    *os << c.file << (c.park ? " with its park airport" : " without a park airport");
}

class RealTrackLab : public FlightLab, public ::testing::WithParamInterface<RealCase> {
  protected:
    void shapeWorld(Scenario& s) override {
        for (const char* title : {kTitleDal739, kTitleThy38m, kTitleSazEc45}) s.installedTitles.push_back(title);
    }
};

TEST_P(RealTrackLab, ReplaysTheWholeTrack) {
    const RealCase c = GetParam();
    const LabRealTrack real = lab_loadRealTrack(c.file);
    ASSERT_GT(real.truth.size(), 10u);
    HELICOPTERS.set(true);
    if (c.park) {
        ASSERT_FALSE(real.touched.empty());
        const ScenarioAirport& a = real.touched.back();
        lab_setParkAirport(a.icao, a.lat, a.lon, a.elevationFt);
        // An arrival taxis to a stand where its reports end.
        g_staticParkingOn = true;
        const TruthPoint& end = real.truth.back();
        if (!real.truth.front().onGround && end.onGround && gf_haversineNm({end.lat, end.lon}, {a.lat, a.lon}) < 3)
            g_stands.emplace_back("S1", std::vector<StandOption>{}, end.lat, end.lon, gf_degToRad(end.trackDeg),
                                  gf_metersToNm(30), false, false, false);
        gf_numberStands();
    }
    std::vector<LabSecond> seen;
    invariants.push_back({"recorder", [&](const auto&, const LiveAircraft& ac) -> std::optional<std::string> {
                              if (ac.hexid == real.hexid && ac.lifeState == active && ticksRun % 100 == 0)
                                  seen.push_back({ticksRun / 100.0, true, ac.onGround != 0, ac.lat, ac.lon,
                                                  ac.altitude - ac.staticCgHeight});
                              return std::nullopt;
                          }});
    addStream(real.hexid, real.callsign, lab_installedAirline(real.type), real.type, real.truth);
    startWorld(real.truth.front().lat, real.truth.front().lon, real.touched);
    for (int s = 0; s < static_cast<int>(real.truth.back().t + kLabDelaySec) && !HasFailure(); ++s) {
        run(1);
        if (seen.empty() || seen.back().labSec < ticksRun / 100.0) seen.push_back({ticksRun / 100.0});
    }
    // An aircraft parked on its stand stays; any other goes when its reports end, an arrival
    // perhaps touching down on the way.
    const LiveAircraft* last = live(real.hexid);
    if (!last || last->flightState != parked) {
        const double budget =
            real.truth.back().onGround ? (MAX_HOLDING_MINUTES.value() + 2) * 60.0 : kAirBudgetSec;
        EXPECT_TRUE(goneWithin(real.hexid, budget));
    }
    const LabFigures f = lab_figures(real.truth, seen);
    std::cout << lab_tableHeader() << '\n' << lab_tableRow(real.name, c.park, f) << std::endl;
    EXPECT_EQ(lab_replayFaults(real.truth, seen), std::vector<std::string>{});
}

std::string lab_caseName(const ::testing::TestParamInfo<RealCase>& info) {
    std::string name = info.param.file;
    name = name.substr(0, name.find('_', name.find('_') + 1));
    return name + (info.param.park ? "_park" : "_nopark");
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, RealTrackLab,
    ::testing::Values(RealCase{"approach_LSZH_DLH4TR_3c664e_noisy.csv", false},
                      RealCase{"approach_LSZH_DLH4TR_3c664e_noisy.csv", true},
                      RealCase{"arrival_KMSP_DAL1812_ac671b.csv", false},
                      RealCase{"arrival_KMSP_DAL1812_ac671b.csv", true},
                      RealCase{"cruise_gnss_spoofing_THY9BP_4baac6_noisy.csv", false},
                      RealCase{"cruise_time_issue_4b1815_noisy.csv", false},
                      RealCase{"departure_KMSP_DAL2418_ac671b.csv", false},
                      RealCase{"departure_KMSP_DAL2418_ac671b.csv", true},
                      RealCase{"flight_KMSP_KDEN_DAL2927_ac671b.csv", false},
                      RealCase{"flight_KMSP_KDEN_DAL2927_ac671b.csv", true},
                      RealCase{"helicopter_REGA1_4b43ac.csv", false},
                      RealCase{"helicopter_REGA1_4b43ac.csv", true},
                      RealCase{"landing_taxi_LSZH_CAI3208_0083c3.csv", false},
                      RealCase{"landing_taxi_LSZH_CAI3208_0083c3.csv", true},
                      RealCase{"parked_jitter_LSZH_SWISS_4b17e5_noisy.csv", false},
                      RealCase{"parked_jitter_LSZH_SWISS_4b17e5_noisy.csv", true},
                      RealCase{"taxi_takeoff_LSZH_AFR181L_3946e4_noisy.csv", false},
                      RealCase{"taxi_takeoff_LSZH_AFR181L_3946e4_noisy.csv", true}),
    lab_caseName);

}  // namespace
