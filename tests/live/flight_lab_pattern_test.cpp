// Flight-lab cases built from patterns seen on real tracks: stale climb rates on the ground, a
// helicopter hovering near a field.
#include "support/flight_lab.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "core/params.h"

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
