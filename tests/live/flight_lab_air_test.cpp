#include "support/flight_lab.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <fmt/format.h>

#include "core/params.h"
#include "live/air_motion.h"
#include "live/air_motion_legs.h"
#include "live/aircraft_rec.h"
#include "sim/flight_plan.h"

namespace {

using Cmds = std::vector<std::string>;
constexpr uint32_t kHex = 0x3c6601;

// One flight of a B738, a helicopter or a light aircraft: what the category never
// gets (a helicopter no gear, spoilers, flaps or idle-power step, a light aircraft no lever block).
struct LabRow {
    const char* what;
    const char* type;
    const char* airline;
    int32_t category;
    double turnDeg;
    const char* levers;  // at touchdown
};

class LandingLab : public FlightLab, public ::testing::WithParamInterface<LabRow> {
  protected:
    void SetUp() override {
        FlightLab::SetUp();
        LIGHT_AIRCRAFT.set(true);
        HELICOPTERS.set(true);
        gf_standinSetCategoryOf([](std::string_view title) {
            return title == kTitlePvt172 ? 0 : title == kTitleSazEc45 ? 5 : 2;
        });
        invariants.push_back(lab_airRecorder(kHex, trace));
    }
    void shapeWorld(Scenario& s) override { s.installedTitles.push_back(kTitleSazEc45); }
    void fly(const Truth& t, const LabRow& row) {
        addStream(kHex, "DLH4AB", row.airline, row.type, t);
        startWorld(t.front().lat, t.front().lon);
        run(t.back().t + 40);
        ASSERT_FALSE(trace.empty());
        cmds = lab_commandsOf(trace.back().ac.objectId);
        for (size_t i = 1; i < trace.size(); ++i)
            if (trace[i].ac.flightState != trace[i - 1].ac.flightState)
                states.push_back(fmt::format("{} -> {}", gf_flightStateName(trace[i - 1].ac.flightState),
                                             gf_flightStateName(trace[i].ac.flightState)));
        never = row.category == 5   ? Cmds{"GEAR_SET",          "SPOILERS_SET",      "FLAPS_SET",
                                         "THROTTLE_SET 4914", "THROTTLE_SET 8191", "THROTTLE_SET 11468"}
                : row.category == 0 ? Cmds{"DATA401"}
                                    : Cmds{};
        for (const std::string& c : never) EXPECT_EQ(count(c), 0) << c;
    }
    // The first tick of the trace from `from` on for which the test holds; trace.size() when none.
    size_t first(const std::function<bool(const LabAirTick&)>& test, size_t from = 0) const {
        for (size_t i = from; i < trace.size(); ++i)
            if (test(trace[i])) return i;
        return trace.size();
    }
    int count(const std::string& prefix) const {
        return static_cast<int>(std::count_if(cmds.begin(), cmds.end(),
                                              [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
    }
    // The commands the category gets among those wanted, in this order among those received.
    void expectInOrder(const Cmds& wanted) const {
        size_t at = 0;
        std::vector<std::string> mine;
        for (const std::string& w : wanted)
            if (std::none_of(never.begin(), never.end(),
                             [&](const std::string& n) { return w.rfind(n, 0) == 0; }))
                mine.push_back(w);
        for (const std::string& line : cmds) at += at < mine.size() && line == mine[at];
        EXPECT_EQ(at, mine.size()) << fmt::format("{}", fmt::join(cmds, "\n"));
    }

    std::vector<LabAirTick> trace;
    Cmds cmds, states, never;
};

TEST_P(LandingLab, ApproachFlareTouchdownAndRollOut) {
    const LabRow& row = GetParam();
    lab_setParkAirport("EDDF", kHarnessLat, kHarnessLon, kHarnessElevFt);
    // Down the 3-degree slope to the airport, the roll-out to 20 kt and a turn off the runway.
    const double startFt = row.category == 2 ? 3000 : 2000;
    const double nm = (startFt - kHarnessElevFt) / std::tan(gf_degToRad(3.0)) / gf_nmToFeet(1);
    Truth t = lab_start(kHarnessLat - nm / 60, kHarnessLon, startFt, row.category == 2 ? 150 : 90, 0);
    lab_approach(t, kHarnessElevFt);
    lab_turn(t, row.turnDeg);
    lab_straight(t, 30);
    lab_stop(t, 10);
    fly(t, row);
    EXPECT_EQ(states, Cmds{"flying -> taxi"});

    // The flare: each stage once, in order, entered at its height over the centre of gravity.
    struct Stage {
        double aboveCgFt, dAltitude, vrate;
    };
    const Stage stages[] = {{30, -0.1, -601}, {20, -0.075, -450}, {10, -0.05, -300}, {3, -0.025, -150}};
    size_t stageAt[4];
    for (size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(k + 1);
        stageAt[k] =
            first([&](const LabAirTick& x) { return x.ac.flareStage == k + 1; }, k ? stageAt[k - 1] : 0);
        ASSERT_LT(stageAt[k], trace.size());
        const LiveAircraft& in = trace[stageAt[k]].ac;
        const LiveAircraft& before = trace[stageAt[k] - 1].ac;
        const auto height = [&](const LiveAircraft& x) {
            return k == 0 ? std::min(x.agl, x.aglEstimate) : x.agl;
        };
        EXPECT_LE(height(in), in.staticCgHeight + stages[k].aboveCgFt);
        EXPECT_GT(height(before), in.staticCgHeight + stages[k].aboveCgFt);
        EXPECT_EQ(before.flareStage, k);
        EXPECT_DOUBLE_EQ(in.dAltitude, stages[k].dAltitude);
        EXPECT_DOUBLE_EQ(trace[stageAt[k]].front.vrate, stages[k].vrate);
    }
    EXPECT_NEAR(trace[stageAt[0]].ac.aglEstimate, trace[stageAt[0]].ac.altitude - kHarnessElevFt, 0.2)
        << "the first stage's estimate comes from the park airport's elevation";

    // Touchdown: the fast scan ran from the flare on and stops; the attitude ramps to the ground's.
    const size_t touchdown = first([](const LabAirTick& x) { return x.ac.onGround; });
    ASSERT_LT(touchdown, trace.size());
    for (size_t i = 0; i < touchdown; ++i) {
        ASSERT_EQ(trace[i].fastScan, i >= stageAt[0]) << trace[i].tick;
        ASSERT_GE(trace[i].ac.pitch, trace[i].ac.flareStage ? kFlarePitchRad : -0.3)
            << "nose up at most 4 deg";
    }
    const LiveAircraft& td = trace[touchdown].ac;
    EXPECT_FALSE(trace[touchdown].fastScan);
    EXPECT_TRUE(td.landingRoll && td.touchdownRunning && td.landed);
    EXPECT_FALSE(td.approachFlag);
    EXPECT_DOUBLE_EQ(td.altitude, gf_standinGroundFt(kHarnessLat, kHarnessLon) + td.staticCgHeight);
    // The nose comes down and the wings level over the touchdown ticks, and stay so.
    const size_t settled = first([](const LabAirTick& x) { return !x.ac.touchdownRunning; }, touchdown);
    ASSERT_LE(settled, touchdown + static_cast<size_t>(td.touchdownTicks) + 2);
    for (size_t i = touchdown + 1; i <= settled; ++i)
        ASSERT_LE(std::fabs(trace[i].ac.bank), std::fabs(trace[i - 1].ac.bank) + 1e-12) << trace[i].tick;
    EXPECT_DOUBLE_EQ(trace[settled].ac.pitch, td.staticPitch);
    EXPECT_EQ(trace[settled].ac.bank, 0);

    // Roll-out: off the runway once turned 15 degrees either way.
    const size_t end = first([](const LabAirTick& x) { return !x.ac.landingRoll; }, touchdown);
    ASSERT_LT(end, trace.size());
    const auto turned = [&](size_t i) {
        return gf_radToDeg(gf_normalizePi(trace[i].ac.heading - td.touchdownHeading));
    };
    EXPECT_GE(std::fabs(turned(end)), 15);
    if (row.category != 5) EXPECT_LT(std::fabs(turned(end - 1)), 15 + 3) << "one tick's turn late at most";
    EXPECT_EQ(turned(end) > 0, row.turnDeg > 0);
    EXPECT_EQ(trace[end].ac.touchdownHeading, 0);

    EXPECT_EQ(count("THROTTLE_SET 0"), 1) << "idle once, in the flare";
    EXPECT_EQ(count("SPOILERS_SET 16383"), row.category == 5 ? 0 : 1);
    expectInOrder({"THROTTLE_SET 4914", "FLAPS_SET 16383", "GEAR_SET 1", "THROTTLE_SET 0",
                   "SPOILERS_SET 16383", row.levers, "SPOILERS_SET 0", "DATA401 0 0 0", "FLAPS_SET 3072",
                   "FLAPS_SET 0", "SPOILERS_SET 0", "DATA401 0 0 0", "NAV_LIGHTS_SET 1",
                   "BEACON_LIGHTS_SET 1", "LANDING_LIGHTS_SET 0", "TAXI_LIGHTS_SET 1", "STROBES_SET 0",
                   "LOGO_LIGHTS_SET 1", "CABIN_LIGHTS_SET 1"});
    EXPECT_EQ(gf_standinObject(td.objectId)->planDestination, "EDDF");
    EXPECT_TRUE(std::filesystem::exists(gf_flightPlanFileName(td.objectId)));
    EXPECT_EQ(td.flightPlanSent, 1);
}

INSTANTIATE_TEST_SUITE_P(Flights, LandingLab,
                         ::testing::Values(LabRow{"right", "B738", "DLH", 2, 90, "DATA401 100 100 100"},
                                           LabRow{"left", "B738", "DLH", 2, -90, "DATA401 100 100 100"},
                                           LabRow{"rotorcraft", "EC45", "SAZ", 5, 90, "DATA401 100 100 100"},
                                           LabRow{"light", "C172", "PVT", 0, 90, "DATA401"}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
