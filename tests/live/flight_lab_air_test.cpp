#include "support/flight_lab_air.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "aircraft/liveries_scanned.h"
#include "aircraft/type_database.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "feed/feed_state.h"
#include "live/air_motion.h"
#include "live/air_motion_legs.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "platform/sim_standin.h"
#include "sim/flight_plan.h"

namespace {

using Cmds = std::vector<std::string>;
constexpr uint32_t kHex = 0x3c6601;
constexpr double kFieldFt = kHarnessElevFt;
constexpr const char* kTitleEc35 = "Eurocopter EC135 Private";
constexpr const char* kTitleFsltl = "FSLTL_B738_BAW";

// The lab with light aircraft, helicopters and an FSLTL livery, and the flight-state detail lines
// in the log.
class AirLab : public FlightLab {
  protected:
    void SetUp() override {
        FlightLab::SetUp();
        LOG.set(true);
        LIGHT_AIRCRAFT.set(true);
        HELICOPTERS.set(true);
        gf_resetLiveryState();
        gf_resetTypeDatabase();
        gf_loadTypeDatabaseText(R"(<dbase><types><type icao="C172" cat="Light" span="11"/>
<type icao="B738" cat="Large" span="35.8"/><type icao="EC35" cat="Rotorcraft" span="10.2"/></types></dbase>)",
                                "air lab dbase.xml");
        tst_writeFile(g_liveriesScannedFile,
                      fmt::format(R"(<?xml version="1.0"?><liveries><liv airl="DLH" type="B738" title="{}"/>
<liv airl="BAW" type="B738" title="{}"/><liv airl="PVT" type="C172" title="{}"/>
<liv airl="PVT" type="EC35" title="{}"/></liveries>)",
                                  kTitleDlh738, kTitleFsltl, kTitlePvt172, kTitleEc35));
        lf_processScannedLiveries();
        gf_standinSetCategoryOf([](std::string_view title) {
            return title == kTitlePvt172 ? 0 : title == kTitleEc35 ? 5 : 2;
        });
        invariants.push_back(lab_airRecorder(kHex, trace));
    }
    void shapeWorld(Scenario& s) override {
        s.installedTitles.push_back(kTitleEc35);
        s.installedTitles.push_back(kTitleFsltl);
    }
    void fly(const Truth& t, const std::string& type = "B738", const std::string& airline = "DLH",
             double afterSec = 40) {
        addStream(kHex, "DLH4AB", airline, type, t);
        startWorld(t.front().lat, t.front().lon);
        run(t.back().t + afterSec);
        ASSERT_FALSE(trace.empty());
        cmds = lab_commandsOf(trace.back().objectId);
        states = lab_stateChanges(gf_capturedLog(), "DLH4AB");
    }
    // The first tick of the trace from `from` on for which the test holds; trace.size() when none.
    size_t first(const std::function<bool(const LabAirTick&)>& test, size_t from = 0) const {
        for (size_t i = from; i < trace.size(); ++i)
            if (test(trace[i])) return i;
        return trace.size();
    }
    // The commands in this order among those received, others between them allowed.
    bool inOrder(const Cmds& wanted) const {
        size_t at = 0;
        for (const std::string& line : cmds) at += at < wanted.size() && line == wanted[at];
        return at == wanted.size();
    }
    int count(const std::string& prefix) const {
        return static_cast<int>(
            std::count_if(cmds.begin(), cmds.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
    }

    std::vector<LabAirTick> trace;
    Cmds cmds, states;
};

const Cmds kLanded = {"birth -> flying", "flying -> taxi"};
const Cmds kDeparted = {"birth -> taxi", "taxi -> take_off", "take_off -> flying"};

// From startAltFt down the 3-degree slope to the airport, the roll-out to 20 kt and a turn off.
Truth lab_landing(double turnDeg, double startAltFt = 3000, double gsKt = 150) {
    const double nm = (startAltFt - kFieldFt) / std::tan(gf_degToRad(3.0)) / gf_nmToFeet(1);
    Truth t = lab_start(kHarnessLat - nm / 60, kHarnessLon, startAltFt, gsKt, 0);
    lab_approach(t, kFieldFt);
    lab_turn(t, turnDeg);
    lab_straight(t, 30);
    lab_stop(t, 10);
    return t;
}

// On the runway at 20 kt, up to liftOffKt at 3 kt/s, airborne and climbing for 150 s.
Truth lab_departure(double liftOffKt, double climbFpm) {
    Truth t = lab_start(kHarnessLat, kHarnessLon, kFieldFt, 20, 0, true);
    lab_straight(t, 10);
    lab_takeOff(t, liftOffKt, climbFpm, 150);
    return t;
}

struct LandingRow {
    const char* what;
    double turnDeg;
    const char* airline;
    const char* touchdownLevers;
};
class LandingLab : public AirLab, public ::testing::WithParamInterface<LandingRow> {};

TEST_P(LandingLab, ApproachFlareTouchdownAndRollOut) {
    const LandingRow& row = GetParam();
    lab_setParkAirport("EDDF", kHarnessLat, kHarnessLon, kFieldFt);
    fly(lab_landing(row.turnDeg), "B738", row.airline);
    EXPECT_EQ(states, kLanded);

    // The flare: each stage once, in order, entered at its height over the centre of gravity.
    struct Stage {
        double aboveCgFt, dAltitude, vrate;
    };
    const Stage stages[] = {{30, -0.1, -601}, {20, -0.075, -450}, {10, -0.05, -300}, {3, -0.025, -150}};
    size_t stageAt[4];
    for (size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(k + 1);
        stageAt[k] = first([&](const LabAirTick& x) { return x.flareStage == k + 1; }, k ? stageAt[k - 1] : 0);
        ASSERT_LT(stageAt[k], trace.size());
        const LabAirTick& in = trace[stageAt[k]];
        const LabAirTick& before = trace[stageAt[k] - 1];
        const auto height = [&](const LabAirTick& x) { return k == 0 ? std::min(x.agl, x.aglEstimate) : x.agl; };
        EXPECT_LE(height(in), in.staticCgHeight + stages[k].aboveCgFt);
        EXPECT_GT(height(before), in.staticCgHeight + stages[k].aboveCgFt);
        EXPECT_EQ(before.flareStage, k);
        EXPECT_DOUBLE_EQ(in.dAltitude, stages[k].dAltitude);
        EXPECT_DOUBLE_EQ(in.frontVrate, stages[k].vrate);
    }
    EXPECT_NEAR(trace[stageAt[0]].aglEstimate, trace[stageAt[0]].altitude - kFieldFt, 0.2)
        << "the first stage's estimate comes from the park airport's elevation";

    // Touchdown: the fast scan ran from the flare on and stops; the attitude ramps to the ground's.
    const size_t touchdown = first([](const LabAirTick& x) { return x.onGround; });
    ASSERT_LT(touchdown, trace.size());
    for (size_t i = 0; i < touchdown; ++i) ASSERT_EQ(trace[i].fastScan, i >= stageAt[0]) << trace[i].tick;
    const LabAirTick& td = trace[touchdown];
    EXPECT_FALSE(td.fastScan);
    EXPECT_TRUE(td.landingRoll && td.touchdownRunning && td.landed);
    EXPECT_FALSE(td.approachFlag);
    EXPECT_DOUBLE_EQ(td.altitude, gf_standinGroundFt(kHarnessLat, kHarnessLon) + td.staticCgHeight);
    const size_t settled = first([](const LabAirTick& x) { return !x.touchdownRunning; }, touchdown);
    ASSERT_LT(settled, trace.size());
    EXPECT_DOUBLE_EQ(trace[settled].pitch, td.staticPitch);
    EXPECT_EQ(trace[settled].bank, 0);
    EXPECT_EQ(trace[settled].flareStage, 0u);

    // Roll-out: off the runway once turned 15 degrees either way.
    const size_t end = first([](const LabAirTick& x) { return !x.landingRoll; }, touchdown);
    ASSERT_LT(end, trace.size());
    const auto turned = [&](size_t i) { return gf_radToDeg(gf_normalizePi(trace[i].heading - td.touchdownHeading)); };
    EXPECT_GE(std::fabs(turned(end)), 15);
    EXPECT_LT(std::fabs(turned(end - 1)), 15 + 3) << "not more than one tick's turn late";
    EXPECT_EQ(turned(end) > 0, row.turnDeg > 0);
    EXPECT_EQ(trace[end].touchdownHeading, 0);

    EXPECT_EQ(count("THROTTLE_SET 0"), 1) << "idle once, in the flare";
    EXPECT_EQ(count("SPOILERS_SET 16383"), 1);
    EXPECT_EQ(count(row.touchdownLevers), 1);
    EXPECT_TRUE(inOrder({"THROTTLE_SET 4914", "FLAPS_SET 16383", "GEAR_SET 1", "THROTTLE_SET 0", "SPOILERS_SET 16383",
                         row.touchdownLevers, "SPOILERS_SET 0", "DATA401 0 0 0", "FLAPS_SET 3072", "FLAPS_SET 0",
                         "SPOILERS_SET 0", "DATA401 0 0 0", "NAV_LIGHTS_SET 1", "BEACON_LIGHTS_SET 1",
                         "LANDING_LIGHTS_SET 0", "TAXI_LIGHTS_SET 1", "STROBES_SET 0", "LOGO_LIGHTS_SET 1",
                         "CABIN_LIGHTS_SET 1"}))
        << fmt::format("{}", fmt::join(cmds, "\n"));
    const auto object = gf_standinObject(td.objectId);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->lights, (std::array<bool, 7>{true, true, false, true, false, true, true}));
    EXPECT_EQ(object->flaps + object->spoilers + object->throttle, 0u);
    EXPECT_EQ(object->gear, 1u);
    EXPECT_EQ(object->levers.spoilersPct + object->levers.throttle1Pct, 0);

    // The flight plan of the created object, written and given to the simulator.
    EXPECT_EQ(object->planDeparture, "EGLL");
    EXPECT_EQ(object->planDestination, "EDDF");
    EXPECT_TRUE(std::filesystem::exists(gf_flightPlanFileName(td.objectId)));
    ASSERT_NE(live(kHex), nullptr);
    EXPECT_EQ(live(kHex)->flightPlanSent, 1);
}

INSTANTIATE_TEST_SUITE_P(TurnOffs, LandingLab,
                         ::testing::Values(LandingRow{"right", 90, "DLH", "DATA401 100 100 100"},
                                           LandingRow{"left_fsltl", -90, "BAW", "DATA401 100 -100 -100"}),
                         [](const auto& info) { return std::string(info.param.what); });

struct QnhRow {
    const char* what;
    double qnh;
    bool park;
    double rateFpm;  // 0: aims straight at the field
};
class QnhLab : public AirLab, public ::testing::WithParamInterface<QnhRow> {};

// Down at 1500 ft/min from 3000 ft without reports from 400 ft above the field to the ground, then
// the roll-out: the last airborne sample says -1500 ft/min, the first ground sample 0.
TEST_P(QnhLab, TouchdownLeg) {
    const QnhRow& row = GetParam();
    gf_setQnh(row.qnh);
    if (row.park) lab_setParkAirport("EDDF", kHarnessLat, kHarnessLon, kFieldFt);
    Truth t = lab_start(kHarnessLat - 4.4 / 60, kHarnessLon, 3000, 150, 0);
    while (t.back().altFt > kFieldFt + 400) lab_straight(t, 2, 2, -1500);
    const double gapFrom = t.back().t + 1;
    while (t.back().altFt > kFieldFt + 25) lab_straight(t, 2, 2, -1500);
    const size_t firstGround = t.size();
    lab_groundSpeed(t, 20, 4);
    for (size_t i = firstGround; i < t.size(); ++i) t[i].altFt = kFieldFt;
    fly(lab_gap(t, gapFrom, t[firstGround].t - 1), "B738", "DLH", 120);
    const size_t leg = first([](const LabAirTick& x) { return !x.frontAirborne && x.flightState == flying; });
    ASSERT_LT(leg + 100, trace.size());
    ASSERT_TRUE(trace[leg - 1].frontAirborne);
    const LabAirTick& x = trace[leg];
    EXPECT_EQ(x.approachFlag, row.park);
    if (row.rateFpm == 0) {
        EXPECT_NEAR(x.altitude + x.dAltitude * (x.frontDue - x.tick), kFieldFt, 1e-6);
        EXPECT_EQ(x.nextVrate, 0) << "the ground sample keeps its own rate";
    } else {
        EXPECT_DOUBLE_EQ(x.nextVrate, row.rateFpm);
        EXPECT_DOUBLE_EQ(x.frontVrate, row.rateFpm);
        EXPECT_NEAR(trace[leg + 100].altitude - x.altitude, 100 * row.rateFpm / 6000, 1e-6);
    }
    const size_t touchdown = first([](const LabAirTick& t) { return t.onGround; }, leg);
    ASSERT_LT(touchdown, trace.size());
    EXPECT_EQ(trace[touchdown].landed, row.park) << "a landing without approach is no touchdown";
}

INSTANTIATE_TEST_SUITE_P(Matrix, QnhLab,
                         ::testing::Values(QnhRow{"q1020_no_park", 1020, false, -790.5},
                                           QnhRow{"q1013_no_park", 1013, false, -601},
                                           QnhRow{"q1013_2_near_park", 1013.2, true, 0}),
                         [](const auto& info) { return std::string(info.param.what); });

// The climb-out's share of the altitude step at counter c.
double lab_climbShare(int32_t c) {
    return c == 0 ? 0 : c > -100 ? 0.1 : c > -200 ? 0.2 : c > -300 ? 0.5 : 1;
}

TEST_F(AirLab, TakeOffRotationStagedClimbGearUpAndFlying) {
    fly(lab_departure(160, 2000));
    EXPECT_EQ(states, kDeparted);
    const size_t rotation = first([](const LabAirTick& x) { return x.flightState == take_off; });
    ASSERT_LT(rotation, trace.size());
    EXPECT_TRUE(trace[rotation].takeOffRoll);
    EXPECT_EQ(trace[rotation].takeOffCounter, gf_categoryMotion(2).rotationTicks - 1);
    const double pinned = kFieldFt + trace[rotation].staticCgHeight;
    size_t gearUp = trace.size();
    int32_t gearUpCounterTick = 0;
    for (size_t i = rotation; i < trace.size() && trace[i].flightState == take_off; ++i) {
        const LabAirTick& x = trace[i];
        SCOPED_TRACE(fmt::format("tick {} counter {}", x.tick, x.takeOffCounter));
        if (x.takeOffCounter > 0) {
            ASSERT_DOUBLE_EQ(x.altitude, pinned) << "rotating on the runway";
            continue;
        }
        ASSERT_NEAR(x.altitude - trace[i - 1].altitude, lab_climbShare(x.takeOffCounter) * x.dAltitude, 1e-9);
        if (x.takeOffCounter == -300) gearUpCounterTick = x.tick;
        if (!x.gearDown && trace[i - 1].gearDown && gearUp == trace.size()) gearUp = i;
    }
    ASSERT_LT(gearUp, trace.size());
    // Sent in that tick, received with the next simulator frame.
    EXPECT_GE(trace[gearUp].tick, gearUpCounterTick);
    EXPECT_LE(trace[gearUp].tick, gearUpCounterTick + 4);

    const size_t up = first([](const LabAirTick& x) { return x.flightState == flying; }, rotation);
    ASSERT_LT(up, trace.size());
    const LabAirTick& before = trace[up - 1];
    EXPECT_LE(trace[up].pitch, trace[up].climbPitch);
    EXPECT_GE(trace[up].agl, 800);
    EXPECT_LT(before.takeOffCounter, -300);
    EXPECT_TRUE(before.agl < 800 || before.pitch > before.climbPitch) << "flying at the first tick it may";
    EXPECT_EQ(trace[up].takeOffCounter, 1);
    // One gear-up until the cruise configuration takes over; the take-off flaps stay out until then.
    const size_t cruise = first([](const LabAirTick& x) { return x.agl >= 2400; }, up);
    int gearUps = 0;
    for (size_t i = rotation + 1; i < cruise; ++i) gearUps += trace[i - 1].gearDown && !trace[i].gearDown;
    EXPECT_EQ(gearUps, 1);
    EXPECT_TRUE(inOrder({"THROTTLE_SET 0", "FLAPS_SET 3072", "GEAR_SET 0", "THROTTLE_SET 11468"}))
        << fmt::format("{}", fmt::join(cmds, "\n"));
    const auto at = [&](const char* c) { return std::find(cmds.begin(), cmds.end(), c) - cmds.begin(); };
    EXPECT_LT(at("GEAR_SET 0"), at("FLAPS_SET 0")) << "no go-around configuration at the lift-off";
}

// Down the slope near the park airport to 300 ft above the field, then climbing away.
TEST_F(AirLab, GoAroundUndoesTheApproachOnce) {
    const double nm = (3000 - kFieldFt) / std::tan(gf_degToRad(3.0)) / gf_nmToFeet(1);
    Truth t = lab_start(kHarnessLat - nm / 60, kHarnessLon, 3000, 150, 0);
    while (t.back().altFt > kFieldFt + 300) lab_straight(t, 2, 2, -796);
    lab_straight(t, 90, 2, 1500);
    lab_setParkAirport("EDDF", kHarnessLat, kHarnessLon, kFieldFt);
    fly(t);
    const size_t approach = first([](const LabAirTick& x) { return x.approachFlag; });
    const size_t undone = first([](const LabAirTick& x) { return !x.approachFlag; }, approach);
    ASSERT_LT(undone, trace.size());
    EXPECT_TRUE(trace[undone].climbConfigured);
    EXPECT_EQ(first([](const LabAirTick& x) { return x.onGround || x.flareStage > 0; }), trace.size());
    EXPECT_EQ(states, Cmds{"birth -> flying"});
    EXPECT_EQ(count("THROTTLE_SET 16383"), 1);
    EXPECT_TRUE(inOrder({"THROTTLE_SET 4914", "FLAPS_SET 16383", "GEAR_SET 1", "THROTTLE_SET 16383", "GEAR_SET 0",
                         "FLAPS_SET 0"}))
        << fmt::format("{}", fmt::join(cmds, "\n"));
}

struct CategoryRow {
    const char* what;
    const char* type;
    bool landing;
};
class CategoryLab : public AirLab, public ::testing::WithParamInterface<CategoryRow> {};

// A helicopter never gets gear, spoilers or flaps; a light aircraft never the levers of data
// definition 401; both land, roll out and take off all the same.
TEST_P(CategoryLab, CommandsTheCategoryNeverGets) {
    const CategoryRow& row = GetParam();
    const bool rotor = std::string(row.type) == "EC35";
    if (row.landing) lab_setParkAirport("EDDF", kHarnessLat, kHarnessLon, kFieldFt);
    fly(row.landing ? lab_landing(90, 2000, 90) : lab_departure(100, 1000), row.type, "PVT");
    EXPECT_EQ(states, row.landing ? kLanded : kDeparted);
    EXPECT_GT(cmds.size(), 10u);
    for (const char* c : {"GEAR_SET", "SPOILERS_SET", "FLAPS_SET"}) EXPECT_EQ(count(c) == 0, rotor) << c;
    if (!rotor) EXPECT_EQ(count("DATA401"), 0);
    if (row.landing) EXPECT_LT(first([](const LabAirTick& x) { return x.landed; }), trace.size());
}

INSTANTIATE_TEST_SUITE_P(Rules, CategoryLab,
                         ::testing::Values(CategoryRow{"rotorcraft_landing", "EC35", true},
                                           CategoryRow{"rotorcraft_take_off", "EC35", false},
                                           CategoryRow{"light_landing", "C172", true},
                                           CategoryRow{"light_take_off", "C172", false}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
