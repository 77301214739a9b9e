// Flight-lab cases built from patterns seen on real tracks: stale climb rates on the ground, a
// turn onto the runway without speeds, a frozen speed on scattered parked positions, a
// touch-and-go then a taxi to the gate, sparse gate reports, a helicopter hovering near a field.
#include "support/flight_lab.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <fmt/format.h>

#include "airports/park_airports.h"
#include "airports/stand.h"
#include "core/params.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion.h"
#include "live/ground_motion_legs.h"

namespace {

constexpr uint32_t kHex = 0x3c6602;
constexpr double kDelaySec = 30;

// What one tick showed of the aircraft.
struct PatternTick {
    double labSec = 0;
    bool active = false, onGround = false, takeOffRoll = false, landingRoll = false;
    uint32_t flightState = 0;
    double lat = 0, lon = 0, altFt = 0;
};

// The truth row at time t (the last one not after it).
const TruthPoint& lab_rowAt(const Truth& t, double sec) {
    auto it =
        std::upper_bound(t.begin(), t.end(), sec, [](double v, const TruthPoint& p) { return v < p.t; });
    return it == t.begin() ? t.front() : *std::prev(it);
}

double lab_metres(double lat1, double lon1, double lat2, double lon2) {
    return gf_nmToMeters(gf_haversineNm({lat1, lon1}, {lat2, lon2}));
}

class PatternLab : public FlightLab {
  protected:
    void SetUp() override {
        FlightLab::SetUp();
        HELICOPTERS.set(true);
        gf_standinSetCategoryOf([](std::string_view title) { return title == kTitleSazEc45 ? 5 : 2; });
        invariants.push_back(
            {"recorder", [this](const auto&, const LiveAircraft& ac) -> std::optional<std::string> {
                 if (ac.hexid != kHex || ac.lifeState != active || ac.stream.empty()) return std::nullopt;
                 trace.back() = {ticksRun / 100.0,
                                 true,
                                 ac.onGround != 0,
                                 ac.takeOffRoll != 0,
                                 ac.landingRoll != 0,
                                 ac.flightState,
                                 ac.lat,
                                 ac.lon,
                                 ac.altitude - ac.staticCgHeight};
                 return std::nullopt;
             }});
    }
    void shapeWorld(Scenario& s) override { s.installedTitles.push_back(kTitleSazEc45); }
    // Plays the truth as a B738 (an EC45 when rotorcraft) and keeps one entry per tick.
    void fly(const Truth& t, double extraSec = 40, bool rotorcraft = false) {
        addStream(kHex, rotorcraft ? "REGA9" : "DLH4AB", rotorcraft ? "SAZ" : "DLH",
                  rotorcraft ? "EC45" : "B738", t);
        startWorld(t.front().lat, t.front().lon);
        const int ticks = static_cast<int>(std::lround((t.back().t + kDelaySec + extraSec) * 100));
        for (int i = 0; i < ticks && !HasFailure(); ++i) {
            trace.push_back({(ticksRun + 1) / 100.0});
            run(0.01);
        }
    }
    // The lab second of the first tick from `from` on for which the test holds; -1 when none.
    double firstSec(const std::function<bool(const PatternTick&)>& test, double from = 0) const {
        for (const PatternTick& x : trace)
            if (x.labSec >= from && test(x)) return x.labSec;
        return -1;
    }
    std::vector<PatternTick> trace;
};

// An arrival without a park airport whose ground rows keep a stale +64 ft/min: the climb rates
// of ground rows are no go-around. The lab's "ground feed" invariant holds the altitude.
TEST_F(PatternLab, StaleClimbRatesOnTheGroundMakeNoGoAround) {
    const double nm = (2000 - kHarnessElevFt) / std::tan(gf_degToRad(3.0)) / gf_nmToFeet(1);
    Truth t = lab_start(kHarnessLat - nm / 60, kHarnessLon, 2000, 140, 0);
    lab_approach(t, kHarnessElevFt);
    lab_turn(t, 90);
    lab_straight(t, 240);
    for (TruthPoint& p : t)
        if (p.onGround) p.vrateFpm = 64;
    fly(t);
    const double down =
        t[std::find_if(t.begin(), t.end(), [](const TruthPoint& p) { return p.onGround; }) - t.begin()].t;
    // Down within a minute of the feed, and it stays down.
    const double touchdown = firstSec([](const PatternTick& x) { return x.onGround; });
    ASSERT_GE(touchdown, 0) << "never on the ground";
    EXPECT_LT(touchdown, down + kDelaySec + 60);
    EXPECT_EQ(firstSec([](const PatternTick& x) { return x.active && !x.onGround; }, touchdown), -1);
}

// A turn onto the runway whose rows carry next to no speed (0.5 kt) while the positions move at a
// taxi pace, then the take-off roll: the roll starts within 5 s of the time it is due.
TEST_F(PatternLab, TakeOffRollAfterASlowTurnWithoutSpeedsStartsOnTime) {
    Truth t = lab_start(kHarnessLat, kHarnessLon, 0, 15, 0, true);
    lab_straight(t, 60);
    t.back().gsKt = 6;
    lab_turn(t, 90, 1.5);
    for (size_t i = t.size() - 30; i < t.size(); ++i)
        t[i].gsKt = 0.5;  // derived from barely moving positions
    t.back().gsKt = 6;
    // The roll: 3 kt/s from 6 kt, airborne from 150 kt and climbing.
    double rollDue = -1;
    while (t.back().altFt < 1500) {
        TruthPoint q = t.back();
        const double kt = q.gsKt + 3 * 2;
        const LatLon to = gf_destinationPoint({q.lat, q.lon}, gf_degToRad(q.trackDeg),
                                              gf_nmToFeet((q.gsKt + kt) / 2 * 2 / 3600));
        q = {q.t + 2, to.lat, to.lon, q.altFt, kt, q.trackDeg, 0, true};
        if (kt >= 150)
            q.onGround = false, q.vrateFpm = 2000,
            q.altFt = (t.back().onGround ? kHarnessElevFt : t.back().altFt) + 66.7;
        t.push_back(q);
        if (rollDue < 0 && kt >= 43) rollDue = q.t + kDelaySec;
    }
    lab_straight(t, 30, 2, 2000);
    fly(t);
    // The roll, as the aircraft flies it: the first tick of a take-off roll at 43 kt or more.
    double rollStart = -1;
    for (size_t i = 100; i < trace.size() && rollStart < 0; ++i)
        if (trace[i].active && trace[i - 100].active && trace[i].takeOffRoll &&
            lab_metres(trace[i - 100].lat, trace[i - 100].lon, trace[i].lat, trace[i].lon) * 3600 / 1852 >=
                43)
            rollStart = trace[i].labSec;
    EXPECT_NEAR(rollStart, rollDue, 5);
    // Nor is the flag raised before it is due.
    EXPECT_NEAR(firstSec([](const PatternTick& x) { return x.takeOffRoll; }), rollDue, 5);
}

// A parked aircraft without a park airport whose reports carry a frozen 468 kt while its
// positions scatter: it is never flown faster than the positions move (60 kt at the most here),
// and where it has stood since it appeared it holds on the scatter. One that taxied in at 10 kt
// with the same frozen speed moves about the scatter at its pace.
class ScatterLab : public PatternLab, public ::testing::WithParamInterface<bool> {};

TEST_P(ScatterLab, FrozenSpeedOnScatteredParkedPositions) {
    const bool taxisIn = GetParam();
    Truth t = lab_start(kHarnessLat - (taxisIn ? 0.3 / 60 : 0), kHarnessLon, 0, 10, 0, true);
    if (taxisIn) lab_straight(t, 108);
    for (TruthPoint& p : t) p.gsKt = 468;
    std::mt19937 draws(5);
    std::uniform_real_distribution<double> metres(0, 40), bearing(0, 360), gap(4, 16);
    double nextJump = 0;
    while (t.back().t < 600) {
        TruthPoint q = t.back();
        q.t += 2;
        if (q.t >= nextJump) {
            const LatLon p = gf_destinationPoint({kHarnessLat, kHarnessLon}, gf_degToRad(bearing(draws)),
                                                 gf_nmToFeet(gf_metersToNm(metres(draws))));
            q.lat = p.lat, q.lon = p.lon;
            nextJump = q.t + gap(draws);
        }
        t.push_back(q);
    }
    fly(t, 0);
    const PatternTick* first = nullptr;
    for (size_t i = 1; i < trace.size(); ++i) {
        const PatternTick& a = trace[i - 1];
        const PatternTick& b = trace[i];
        if (!a.active || !b.active) continue;
        if (!first) first = &a;
        const double kt = lab_metres(a.lat, a.lon, b.lat, b.lon) * 100 * 3600 / 1852;
        ASSERT_LE(kt, 60) << fmt::format("at {:.2f} s, {}", b.labSec, gf_flightStateName(b.flightState));
    }
    ASSERT_NE(first, nullptr) << "never shown";
    if (taxisIn) return;
    double farthest = 0;
    for (const PatternTick& x : trace)
        if (x.active) farthest = std::max(farthest, lab_metres(first->lat, first->lon, x.lat, x.lon));
    EXPECT_LT(farthest, 20) << "held where it first stood";
}

INSTANTIATE_TEST_SUITE_P(Parked, ScatterLab, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "TaxiedIn" : "StoodSinceItAppeared"; });

// An arrival whose pressure altitude brings it down half a minute early, while the feed still
// has it in the air: the touch-and-go that follows leaves no roll behind once the aircraft
// rolls out, and it holds at the gate, where reports come every 40 s.
TEST_F(PatternLab, TouchAndGoThenTaxiToTheGateHoldsThere) {
    lab_setParkAirport("EDDF", kHarnessLat, kHarnessLon, kHarnessElevFt);
    const double nm = (2500 - kHarnessElevFt) / std::tan(gf_degToRad(3.0)) / gf_nmToFeet(1);
    Truth t = lab_start(kHarnessLat - nm / 60, kHarnessLon, 2500, 130, 0);
    lab_approach(t, kHarnessElevFt);
    // On a low-pressure day the airborne rows read 500 ft low (never below 0).
    for (TruthPoint& p : t)
        if (!p.onGround) p.altFt = std::max(p.altFt - 500, 0.0);
    lab_turn(t, 90);
    lab_straight(t, 60);
    lab_stop(t, 2);
    const TruthPoint gate = t.back();
    for (int i = 0; i < 8; ++i) lab_stop(t, 40, 40);
    fly(t, 0);
    const double atGate = gate.t + kDelaySec;
    ASSERT_GE(firstSec([](const PatternTick& x) { return x.onGround && x.landingRoll; }), 0)
        << "never landed";
    for (const PatternTick& x : trace) {
        if (x.labSec < atGate) continue;
        SCOPED_TRACE(fmt::format("{:.2f} s", x.labSec));
        ASSERT_TRUE(x.active) << "gone while reports still come";
        ASSERT_FALSE(x.takeOffRoll || x.landingRoll) << "a roll flag is still set";
        ASSERT_LT(lab_metres(gate.lat, gate.lon, x.lat, x.lon), 20) << "not holding at the gate";
    }
}

// A parked aircraft whose gate reports come 40 to 80 s apart: each record holds one stationary
// sample when it falls due, and is shown there within 40 s of the first report, on a stand or
// without one.
class SparseGateLab : public PatternLab, public ::testing::WithParamInterface<bool> {};

TEST_P(SparseGateLab, ReportsAreShown) {
    const bool stand = GetParam();
    if (stand) {
        lab_setParkAirport("EDDF", kHarnessLat, kHarnessLon, kHarnessElevFt);
        g_staticParkingOn = true;
        g_stands.emplace_back("A1", std::vector<StandOption>{}, kHarnessLat, kHarnessLon, gf_degToRad(90),
                              gf_metersToNm(30), false, false, false);
        gf_numberStands();
    }
    Truth t = lab_start(kHarnessLat, kHarnessLon, 0, 0, 90, true);
    for (const double gap : {40, 80, 60, 40, 70, 50, 80}) lab_stop(t, gap, gap);
    fly(t, 0);
    const double shown = firstSec([](const PatternTick& x) { return x.active; });
    ASSERT_GE(shown, 0) << "never shown";
    EXPECT_LE(shown, 40);
    EXPECT_EQ(firstSec([](const PatternTick& x) { return !x.active; }, shown), -1)
        << "gone while reports come";
    const uint32_t state = stand ? parked : taxi;
    EXPECT_EQ(firstSec([&](const PatternTick& x) { return x.flightState != state; }, shown), -1);
}

INSTANTIATE_TEST_SUITE_P(Gate, SparseGateLab, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "OnAStand" : "NoParkAirport"; });

// A helicopter that comes down to hover 450 ft above a park airport 3.5 km away follows the
// feed's altitude: no level short final aims it at the field.
TEST_F(PatternLab, RotorcraftHoveringNearTheParkAirportFollowsTheFeed) {
    lab_setParkAirport("EDDF", kHarnessLat, kHarnessLon, kHarnessElevFt);
    Truth t = lab_start(kHarnessLat - 6.7 / 111.12, kHarnessLon, kHarnessElevFt + 1490, 60, 0);
    lab_straight(t, 104, 2, -600);
    t.back().gsKt = 2;
    lab_straight(t, 180);
    fly(t, 0, true);
    int shown = 0;
    for (const PatternTick& x : trace) {
        if (!x.active || x.labSec < kDelaySec) continue;
        ++shown;
        const double feedFt = lab_rowAt(t, x.labSec - kDelaySec).altFt;
        ASSERT_NEAR(x.altFt, feedFt, 100) << fmt::format("at {:.2f} s", x.labSec);
    }
    EXPECT_GT(shown, 100 * 200);
}

}  // namespace
