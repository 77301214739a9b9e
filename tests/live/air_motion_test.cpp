#include "live/air_motion.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "core/log.h"
#include "live/air_motion_legs.h"
#include "live/ground_motion_legs.h"
#include "live/sim_events.h"
#include "live_fixture.h"
#include "sim/flight_plan.h"
#include "sim/sim_fixture.h"
#include "support/sim_commands.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kObj = 7;
constexpr int32_t kNow = 100000;
constexpr double kParkElevFt = 1416;
constexpr int32_t kLight = 0, kLarge = 2, kHeavy = 3, kRotor = 5;

double tst_deg(double d) {
    return gf_degToRad(d);
}

using Cmds = std::vector<std::string>;

// The seven light events of object 7, then the others.
Cmds tst_lightsThen(std::string_view onOff, Cmds then) {
    return tst_lightEvents(kObj, onOff, std::move(then));
}

PosSample tst_sample(double lat, double lon, double alt, bool airborne, int32_t dueIn, double vrate = 0,
                     double gs = 140) {
    PosSample s;
    s.lat = lat;
    s.lon = lon;
    s.alt = alt;
    s.airborne = airborne ? 1 : 0;
    s.dueTick = kNow + dueIn;
    s.vrate = vrate;
    s.gs = gs;
    s.airspeed = gs + 5;
    return s;
}

// An active aircraft of the category flying north at 47 N 8 E, its stream front here and the
// next sample 1 nm north, due in 200 ticks. Climb step 0.6 ft, rotation -6 and climb -16 degrees.
LiveAircraft tst_aircraft(int32_t category = kLarge, double altitude = 3000, double agl = 3000) {
    LiveAircraft ac;
    ac.category = category;
    ac.callsign = "SWR12";
    ac.origin = "LSZH";
    ac.destination = "EGLL";
    ac.airline = "SWR";
    ac.type = "A320";
    ac.regcode = "HB-JLT";
    ac.hexid = 0x4B1234;
    ac.objectId = kObj;
    ac.lifeState = active;
    ac.flightState = flying;
    ac.previousFlightState = taxi;
    ac.lat = 47.0;
    ac.lon = 8.0;
    ac.altitude = altitude;
    ac.agl = agl;
    ac.maxClimbStep = 0.6;
    ac.staticCgHeight = 10;
    ac.staticPitch = 0.01;
    ac.rotationPitch = tst_deg(-6);
    ac.climbPitch = tst_deg(-16);
    const CategoryMotion& m = gf_categoryMotion(category);
    ac.flareTicks = m.flareTicks;
    ac.touchdownTicks = m.touchdownTicks;
    ac.rotationTicks = m.rotationTicks;
    ac.climbTicks = m.climbTicks;
    ac.throttleIndex = 2;
    ac.flapsIndex = 0;
    ac.lightsLow = 1;  // configured for below 10000 ft already
    ac.stream.push_back(tst_sample(47.0, 8.0, altitude, true, 0));
    ac.stream.push_back(tst_sample(47.0 + 1 / 60.0, 8.0, altitude, true, 200));
    return ac;
}

class AirMotionTest : public LiveTest {
  protected:
    void SetUp() override {
        LiveTest::SetUp();
        g_tickCounter = kNow;
        g_qnh = 1013;
        gf_setLogCapture(true);
    }
    static void setPark(bool near, std::optional<double> elevation = kParkElevFt) {
        gf_setParkAirportSet(true);
        gf_setParkAirportElevation(elevation);
        // Near: 5 nm south of 47 N 8 E; far: 30 nm south.
        const double lat = 47.0 - (near ? 5.0 : 30.0) / 60.0;
        gf_setParkAirportPositionSource([lat] { return std::optional<LatLon>(LatLon{lat, 8.0}); });
    }
};

// The limits themselves show in the cases below (pitch step, bank, rotation speed).
TEST_F(AirMotionTest, LimitsOfAMissingCategoryRaiseTheMapKeyError) {
    for (int32_t bad : {-1, 6}) {
        try {
            gf_airLimits(bad);
            ADD_FAILURE() << bad;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "invalid unordered_map<K, T> key");
        }
    }
}

TEST_F(AirMotionTest, VerticalProfileByTheAirborneFlags) {
    struct Row {
        const char* what;
        bool frontAir, nextAir, approach;
        double agl, nextAlt;
        double dAltitude;
        Cmds cmds;
    };
    // Altitude 3000, next sample due in 200 ticks, climb step 0.6.
    const Row rows[] = {
        {"lift-off leg climbs", false, true, false, 50, 3100, 0.5, {}},
        {"lift-off leg at most the climb step", false, true, false, 50, 3500, 0.6, {}},
        {"lift-off leg never sinks", false, true, false, 50, 2900, 0, {}},
        {"airborne high up descends", true, true, false, 1500, 2900, -0.5, {}},
        {"airborne high up descends at most the climb step", true, true, false, 1500, 2000, -0.6, {}},
        {"airborne high up climbs at most the climb step", true, true, false, 1500, 4000, 0.6, {}},
        {"airborne low down descends with the feed", true, true, false, 1000, 2000, -0.6, {}},
        {"airborne at 200 ft holds its height", true, true, false, 200, 2000, 0, {}},
        {"airborne at 200 ft climbs slowly", true, true, false, 200, 3060, 0.3, {}},
        {"approach follows the feed", true, true, true, 1500, 2950, -0.25, {}},
        {"approach descends at most the climb step", true, true, true, 1500, 2000, -0.6, {}},
        {"approach climbs at most the climb step", true, true, true, 1500, 3400, 0.6, {}},
        {"touchdown leg", true, false, false, 1500, 2000, -601.0 / 6000, {"7 GEAR_SET 1"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LiveAircraft ac = tst_aircraft(kLarge, 3000, row.agl);
        ac.stream[0].alt = 3000;
        ac.stream[0].airborne = row.frontAir;
        ac.stream[1].airborne = row.nextAir;
        ac.stream[1].alt = row.nextAlt;
        ac.approachFlag = row.approach;
        ac.lightsLow = 0;
        ac.stream[0].alt = 12000;  // lights and configuration of the high branch, done once
        ac.lightsHigh = 1;
        lf_airMotion(ac);
        EXPECT_DOUBLE_EQ(ac.dAltitude, row.dAltitude);
        EXPECT_EQ(tst_queuedCommands(), row.cmds);
    }
}

TEST_F(AirMotionTest, TouchdownLegByQnhAndParkAirport) {
    struct Row {
        const char* what;
        double qnh;
        int park;  // 0 none, 1 near, 2 far, 3 near without elevation, 4 set without position
        double agl;
        double dAltitude, nextVrate;
    };
    // Altitude 2000, next sample due in 200 ticks, feed rates -800 and -700.
    const double touchdown1020 = -750 - (1020 - 1013.25) * 6;
    const double touchdown10132 = -750 - (1013.2 - 1013.25) * 6;
    const Row rows[] = {
        {"1013 without a park airport", 1013, 0, 500, -601.0 / 6000, -601},
        {"1020 without a park airport", 1020, 0, 500, touchdown1020 / 6000, touchdown1020},
        {"1013.2 without a park airport", 1013.2, 0, 500, touchdown10132 / 6000, touchdown10132},
        {"1020 below 100 ft", 1020, 0, 100, -600.0 / 6000, -600},
        {"1013 near the park airport", 1013, 1, 500, std::max((kParkElevFt - 2000) / 200, -0.6), -700},
        {"1013.2 near the park airport", 1013.2, 1, 500, std::max((kParkElevFt - 2000) / 200, -0.6), -700},
        {"1014 near the park airport", 1014, 1, 500, (-750 - (1014 - 1013.25) * 6) / 6000,
         -750 - (1014 - 1013.25) * 6},
        {"1020 near the park airport", 1020, 1, 500, touchdown1020 / 6000, touchdown1020},
        {"1013.2 far from the park airport", 1013.2, 2, 500, -601.0 / 6000, -601},
        {"1013 near a park airport without elevation", 1013, 3, 500, -601.0 / 6000, -601},
        {"1013 with the park airport's position unknown", 1013, 4, 500, -601.0 / 6000, -601},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        gf_resetAirMotionProcess();
        gf_clearParkAirport();
        if (row.park == 1) setPark(true);
        if (row.park == 2) setPark(false);
        if (row.park == 3) setPark(true, std::nullopt);
        if (row.park == 4) {
            gf_setParkAirportSet(true);
            gf_setParkAirportElevation(kParkElevFt);
        }
        g_qnh = row.qnh;
        LiveAircraft ac = tst_aircraft(kLarge, 2000, row.agl);
        ac.stream[0].vrate = -800;
        ac.stream[1].vrate = -700;
        ac.stream[1].airborne = 0;
        ac.approachFlag = 1;  // configured for the landing already
        lf_airMotion(ac);
        EXPECT_NEAR(ac.dAltitude, row.dAltitude, 1e-12);
        EXPECT_NEAR(ac.nextVrate, row.nextVrate, 1e-9);
        EXPECT_NEAR(ac.stream[1].vrate, row.nextVrate, 1e-9);
        const Cmds cmds = tst_queuedCommands();
        EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "7 GEAR_SET 1"), 1);
    }
}

TEST_F(AirMotionTest, LevelShortFinalTakesTheTouchdownRateWithoutGear) {
    // Front and next at the same altitude (above 10000 ft: lights done), rates summing to 100 or
    // just above (the feed's own profile).
    for (double nextVrate : {150.0, 151.0}) {
        SCOPED_TRACE(nextVrate);
        LiveAircraft ac = tst_aircraft(kLarge, 1500, 900);
        ac.approachFlag = 1;
        ac.stream[0].vrate = -50;
        ac.stream[1].vrate = nextVrate;
        ac.stream[0].alt = ac.stream[1].alt = 12000;
        ac.lightsHigh = 1;
        lf_airMotion(ac);
        EXPECT_DOUBLE_EQ(ac.dAltitude, nextVrate == 150 ? -601.0 / 6000 : 0.6);
        if (nextVrate == 150) EXPECT_EQ(ac.nextVrate, -601);
        EXPECT_EQ(tst_queuedCommands(), Cmds{});
    }
}

TEST_F(AirMotionTest, GroundSamplesInTheAir) {
    // Stream: front and next on the ground 1 nm apart in 200 ticks, then the feed climbs again.
    auto build = [](std::vector<bool> airborne, double vrate) {
        LiveAircraft ac = tst_aircraft(kLarge, 1600, 150);
        ac.stream.clear();
        for (size_t i = 0; i < airborne.size(); ++i)
            ac.stream.push_back(tst_sample(47.0 + double(i) / 60.0, 8.0,
                                           airborne[i] ? 1700 + 100.0 * i : 1416, airborne[i],
                                           static_cast<int32_t>(200 * i), vrate, i == 3 ? 120 : 100));
        ac.stream[0].alt = 12000;  // lights of the high branch, done once
        ac.lightsHigh = 1;
        ac.dueAhead = 3000;
        return ac;
    };
    {
        SCOPED_TRACE("skips to the first airborne sample among 3..10");
        LiveAircraft ac = build({false, false, false, true, true}, 200);
        lf_airMotion(ac);
        ASSERT_EQ(ac.stream.size(), 3u);
        EXPECT_EQ(ac.stream[1].lat, 47.0 + 3 / 60.0);
        // 3 nm at the mean of 100 and 120 kt, within 3000 ticks of the old due tick (600).
        EXPECT_EQ(ac.stream[1].dueTick, kNow + 600 + 3000);
        EXPECT_DOUBLE_EQ(ac.dAltitude, std::min((2000 - 1600) / 3600.0, 0.6));
        EXPECT_EQ(tst_queuedCommands(), Cmds{"7 GEAR_SET 1"});
    }
    struct Row {
        const char* what;
        std::vector<bool> airborne;
        double vrate;
        bool approach;
        double dAltitude;
    };
    const Row rows[] = {
        {"no airborne sample: climbs at least 601 ft/min",
         {false, false, false, false},
         200,
         false,
         601.0 / 6000},
        {"feed not climbing: landing", {false, false, false, true}, 25, false, -601.0 / 6000},
        {"approaching: landing", {false, false, false, true}, 200, true, -601.0 / 6000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LiveAircraft ac = build(row.airborne, row.vrate);
        ac.approachFlag = row.approach;
        lf_airMotion(ac);
        EXPECT_EQ(ac.stream.size(), 4u);
        EXPECT_DOUBLE_EQ(ac.dAltitude, row.dAltitude);
        if (row.dAltitude > 0) EXPECT_EQ(ac.stream[1].vrate, 601);
        if (row.dAltitude > 0) EXPECT_EQ(ac.nextVrate, 601);
        EXPECT_EQ(tst_queuedCommands(), Cmds{"7 GEAR_SET 1"});
    }
}

TEST_F(AirMotionTest, PitchTargetAndClamp) {
    struct Row {
        double vrate;
        int32_t dueIn;
        double targetDeg;  // unclamped target
        bool clamped;
    };
    const Row rows[] = {
        {0, 10000, -3, false},       {1200, 10000, -7.4, false}, {3000, 10000, -11.8, false},
        {-1200, 10000, -0.8, false}, {-8000, 10000, 2.5, false}, {1200, 25, -7.4, true},
        {-8000, 10, 2.5, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(fmt::format("vrate {} in {} ticks", row.vrate, row.dueIn));
        LiveAircraft ac = tst_aircraft(kLarge, 3000, 3000);
        ac.stream[1].vrate = row.vrate;
        ac.stream[1].dueTick = kNow + row.dueIn;
        lf_airMotion(ac);
        const double step = tst_deg(0.0075);
        const double expected =
            row.clamped ? std::copysign(step, row.targetDeg) : tst_deg(row.targetDeg) / row.dueIn;
        EXPECT_NEAR(ac.dPitch, expected, 1e-15);
    }
    LiveAircraft rotating = tst_aircraft();
    rotating.flightState = take_off;
    rotating.dPitch = 0.123;
    lf_airMotion(rotating);
    EXPECT_EQ(rotating.dPitch, 0.123);
    EXPECT_EQ(rotating.flightState, take_off);

    LiveAircraft flaring = tst_aircraft();
    flaring.flareStage = 1;
    flaring.dPitch = 0.123;
    flaring.dAltitude = -0.1;
    lf_airMotion(flaring);
    EXPECT_EQ(flaring.dPitch, 0.123);
    EXPECT_EQ(flaring.dAltitude, -0.1);
}

TEST_F(AirMotionTest, HeadingAndBank) {
    struct Row {
        const char* what;
        bool approach, attitude, roll;
        double agl, heading, trueHeading, bank;
        double dHeading, dBank;
    };
    // Next due in 200 ticks; the sample after it lies due east of the next (turn ahead ~ pi/2 - heading).
    const double large = tst_deg(0.02);
    const Row rows[] = {
        {"feed attitude low down", false, true, true, 800, 0.5, 1.0, 0.05, 0.5 / 200, (0.1 - 0.05) / 200},
        {"feed heading across north", false, true, true, 800, 2 * kPi - 0.1, 0.1, 0, 0.2 / 200, 0.1 / 200},
        {"feed attitude on approach", true, true, true, 1500, 0.5, 1.0, 0, 0.5 / 200, 0.1 / 200},
        {"no attitude flag: the turn ahead", false, false, true, 800, 0.5, 1.0, 0, 0, 0.1 / 200},
        {"too high for the feed's heading", false, true, true, 1500, 0.5, 1.0, 0, 0, 0.1 / 200},
        {"no roll: bank toward the turn ahead", false, true, false, 800, 0.5, 1.0, 0, 0, -large},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LiveAircraft ac = tst_aircraft(kLarge, 3000, row.agl);
        ac.approachFlag = row.approach;
        ac.heading = row.heading;
        ac.bank = row.bank;
        ac.stream[0].alt = 12000;
        ac.lightsHigh = 1;
        PosSample after = ac.stream[1];
        after.lon += 0.05;
        after.dueTick += 200;
        ac.stream.push_back(after);
        PosSample& n = ac.stream[1];
        n.attitudeFlag = row.attitude;
        n.trueHeading = row.trueHeading;
        if (row.roll) n.roll = 0.1;
        lf_airMotion(ac);
        const bool turnAhead = !(row.attitude && row.roll && row.agl < (row.approach ? 2000 : 1000));
        const double ahead =
            gf_normalizePi(gf_bearingRad({n.lat, n.lon}, {after.lat, after.lon}) - row.heading);
        EXPECT_NEAR(ac.dHeading, turnAhead ? ahead / 200 : row.dHeading, 1e-17);
        EXPECT_DOUBLE_EQ(ac.dBank, row.dBank);
    }
    {
        SCOPED_TRACE("two samples: no turn, the bank levels out within the step");
        LiveAircraft ac = tst_aircraft();
        ac.bank = 0.01;
        lf_airMotion(ac);
        EXPECT_EQ(ac.dHeading, 0);
        EXPECT_DOUBLE_EQ(ac.dBank, -0.01 / 200);
        ac.bank = 0.5;
        lf_airMotion(ac);
        EXPECT_DOUBLE_EQ(ac.dBank, -tst_deg(0.02));
    }
    {
        SCOPED_TRACE("a Heavy banks at most 20 degrees");
        LiveAircraft ac = tst_aircraft(kHeavy);
        ac.stream[1].dueTick = kNow + 100000;
        PosSample after = ac.stream[1];
        after.lon += 0.05;
        ac.stream.push_back(after);
        lf_airMotion(ac);
        EXPECT_DOUBLE_EQ(ac.dBank, -tst_deg(20) / 100000);
    }
}

TEST_F(AirMotionTest, AnyGroundStateBecomesFlying) {
    for (uint32_t state : {taxi, parked, birth, take_off, flying}) {
        SCOPED_TRACE(state);
        LiveAircraft ac = tst_aircraft();
        ac.flightState = state;
        ac.previousFlightState = pushed_back;
        lf_airMotion(ac);
        const bool keeps = state == take_off || state == flying;
        EXPECT_EQ(ac.flightState, keeps ? state : flying);
        EXPECT_EQ(ac.previousFlightState, keeps ? pushed_back : state);
        EXPECT_EQ(ac.nextAirspeed, 145);
    }
}

TEST_F(AirMotionTest, LightsAndConfigurationAboveAndBelow10000Feet) {
    struct Row {
        const char* what;
        int32_t category;
        double frontAlt, agl;
        Cmds cmds;
    };
    const Row rows[] = {
        {"climbing through 10000 ft", kLarge, 10000, 9000,
         tst_lightsThen("1100001", {"7 THROTTLE_SET 11468", "7 GEAR_SET 0", "7 FLAPS_SET 0"})},
        {"rotorcraft above 10000 ft", kRotor, 10000, 9000,
         tst_lightsThen("1100001", {"7 THROTTLE_SET 16383"})},
        {"descending below 10000 ft", kLarge, 9999, 3000,
         tst_lightsThen("1111111", {"7 CABIN_LIGHTS_SET 1", "7 GEAR_SET 0", "7 FLAPS_SET 0"})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LiveAircraft ac = tst_aircraft(row.category, row.frontAlt, row.agl);
        ac.lightsHigh = ac.lightsLow = 0;
        ac.flapsIndex = 4;
        ac.stream[0].alt = row.frontAlt;
        lf_airMotion(ac);
        EXPECT_EQ(tst_queuedCommands(), row.cmds);
        EXPECT_EQ(ac.lightsHigh, row.frontAlt >= 10000);
        EXPECT_EQ(ac.lightsLow, row.frontAlt < 10000);
        if (row.frontAlt < 10000) continue;
        lf_airMotion(ac);
        EXPECT_EQ(tst_queuedCommands(), Cmds{}) << "once";
    }
}

TEST_F(AirMotionTest, CruiseConfiguration) {
    struct Row {
        const char* what;
        int32_t category;
        double agl, vrate;
        uint32_t throttle, flaps;
        Cmds cmds;
        uint32_t flapsAfter;
    };
    const Row rows[] = {
        {"descent takes power off", kLarge, 3000, -250, 3, 0, {"7 THROTTLE_SET 8191", "7 GEAR_SET 0"}, 0},
        {"climb: less than full power", kLarge, 3000, 401, 4, 0, {"7 THROTTLE_SET 11468", "7 GEAR_SET 0"}, 0},
        {"climb at 400 ft/min keeps full power", kLarge, 3000, 400, 4, 0, {"7 GEAR_SET 0"}, 0},
        {"rotorcraft keeps full power", kRotor, 3000, -300, 3, 0, {"7 THROTTLE_SET 16383"}, 0},
        {"high: gear up, flaps 0", kLarge, 2400, 0, 2, 2, {"7 GEAR_SET 0", "7 FLAPS_SET 0"}, 0},
        {"2000..2400 ft: flaps 1", kLarge, 2100, 100, 2, 0, {"7 FLAPS_SET 3072"}, 1},
        {"2000..2400 ft: flaps 1 stays", kLarge, 2100, 0, 2, 1, {}, 1},
        {"climbing keeps the flaps", kLight, 1500, 101, 2, 0, {}, 0},
        {"below 2000 ft: flaps 0 to 1", kLight, 1500, 0, 2, 0, {"7 FLAPS_SET 3072"}, 1},
        {"below 2000 ft: flaps 1 to 2", kLight, 1500, 0, 2, 1, {"7 FLAPS_SET 10240"}, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LiveAircraft ac = tst_aircraft(row.category, 5000, row.agl);
        ac.throttleIndex = row.throttle;
        ac.flapsIndex = row.flaps;
        ac.stream[0].vrate = row.vrate;
        ac.approachFlag = 1;
        ac.takeOffRoll = 1;
        ac.dueBack = kDueClampFloor + 50;
        ac.dueAhead = 3000;
        lf_airMotion(ac);
        Cmds expected = {"7 CABIN_LIGHTS_SET 1"};
        expected.insert(expected.end(), row.cmds.begin(), row.cmds.end());
        EXPECT_EQ(tst_queuedCommands(), expected);
        EXPECT_EQ(ac.flapsIndex, row.flapsAfter);
        EXPECT_EQ(ac.approachFlag, 0);
        EXPECT_EQ(ac.takeOffRoll, 0);
        EXPECT_EQ(ac.dueBack, kDueClampFloor);
        EXPECT_EQ(ac.dueAhead, 2900);
    }
}

TEST_F(AirMotionTest, ApproachNearTheParkAirportConfiguresForLanding) {
    setPark(true);
    LiveAircraft ac = tst_aircraft(kLarge, 3000, 2000);
    ac.stream[0].vrate = -250;
    ac.standId = 4;
    ac.standLat = 47.1;
    ac.standLon = 8.1;
    ac.cargoStand = 1;
    ac.climbConfigured = 1;
    ac.takeOffCounter = 7;
    ac.dueAhead = ac.dueBack = 1000;
    lf_airMotion(ac);
    EXPECT_EQ(tst_queuedCommands(),
              (Cmds{"7 CABIN_LIGHTS_SET 0", "7 THROTTLE_SET 4914", "7 FLAPS_SET 16383", "7 GEAR_SET 1"}));
    EXPECT_EQ(ac.approachFlag, 1);
    EXPECT_EQ(ac.climbConfigured, 0);
    EXPECT_EQ(ac.standId, 0u);
    EXPECT_EQ(ac.standLat, 0);
    EXPECT_EQ(ac.standLon, 0);
    EXPECT_EQ(ac.cargoStand, 0);
    EXPECT_EQ(ac.dueAhead, 3000);
    EXPECT_EQ(ac.dueBack, 3000);
    EXPECT_EQ(ac.takeOffCounter, 1);
    EXPECT_EQ(g_perSecondList, std::deque<uint32_t>{0x4B1234});

    lf_airMotion(ac);  // on the approach: only the cabin
    EXPECT_EQ(tst_queuedCommands(), Cmds{"7 CABIN_LIGHTS_SET 0"});

    LiveAircraft rolling = tst_aircraft(kRotor, 3000, 500);
    rolling.stream[0].vrate = -300;
    rolling.takeOffRoll = 1;
    lf_airMotion(rolling);
    EXPECT_EQ(tst_queuedCommands(), (Cmds{"7 CABIN_LIGHTS_SET 0", "7 THROTTLE_SET 16383"}));
    EXPECT_EQ(rolling.dueAhead, 5000);
}

TEST_F(AirMotionTest, DescentAwayFromTheParkAirportIsNoApproach) {
    setPark(false);
    LiveAircraft ac = tst_aircraft(kLarge, 3000, 2000);
    ac.stream[0].vrate = -1000;
    lf_airMotion(ac);
    EXPECT_EQ(tst_queuedCommands(), Cmds{"7 CABIN_LIGHTS_SET 0"});
    EXPECT_EQ(ac.approachFlag, 0);
    EXPECT_TRUE(g_perSecondList.empty());
}

TEST_F(AirMotionTest, GoAround) {
    struct Row {
        const char* what;
        bool approach, near;
        double vrate;
        bool goesAround;
    };
    const Row rows[] = {
        {"climb above 600 ft/min", true, true, 601, true},
        {"climb at 600 ft/min on the approach", true, true, 600, false},
        {"approach away from the park airport", true, false, 0, true},
        {"level without an approach", false, false, 0, false},
        {"fast climb without an approach", false, false, 900, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        gf_resetAirMotionProcess();
        setPark(row.near);
        LiveAircraft ac = tst_aircraft(kLarge, 2000, 1500);
        ac.approachFlag = row.approach;
        ac.flareStage = 0;
        ac.stream[0].vrate = row.vrate;
        ac.dueAhead = 3000;
        lf_airMotion(ac);
        const Cmds goAround = {"7 CABIN_LIGHTS_SET 0", "7 THROTTLE_SET 16383", "7 GEAR_SET 0"};
        EXPECT_EQ(tst_queuedCommands(), row.goesAround ? goAround : Cmds{"7 CABIN_LIGHTS_SET 0"});
        EXPECT_EQ(ac.climbConfigured, row.goesAround);
        EXPECT_EQ(ac.approachFlag, row.goesAround ? 0 : row.approach);
        EXPECT_EQ(ac.dueAhead, row.goesAround ? 2900 : 3000);
        if (!row.goesAround) continue;
        lf_airMotion(ac);
        EXPECT_EQ(tst_queuedCommands(), Cmds{"7 CABIN_LIGHTS_SET 0"}) << "configured once";
    }
}

TEST_F(AirMotionTest, FlareStagesAtTheirHeights) {
    struct Row {
        double agl;
        uint32_t stage;
        double dAltitude, frontVrate;
        Cmds cmds;
    };
    // Static CG height 10 ft: the stages begin at 40, 30, 20 and 13 ft.
    const Row rows[] = {
        {41, 0, -1, 0, {}},        {40, 1, -0.1, -601, {}},   {31, 1, -0.1, -601, {}},
        {30, 2, -0.075, -450, {}}, {21, 2, -0.075, -450, {}}, {20, 3, -0.05, -300, {"7 THROTTLE_SET 0"}},
        {19, 3, -0.05, -300, {}},  {13, 4, -0.025, -150, {}}, {0, 4, -0.025, -150, {}},
    };
    LiveAircraft ac = tst_aircraft(kLarge, 1500, 100);
    ac.approachFlag = 1;
    ac.throttleIndex = 1;
    ac.pitch = tst_deg(-2);
    ac.dAltitude = -1;
    ac.stream[0].vrate = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.agl);
        ac.agl = row.agl;
        lf_flareTick(ac);
        EXPECT_EQ(ac.flareStage, row.stage);
        EXPECT_EQ(ac.dAltitude, row.dAltitude);
        EXPECT_EQ(ac.stream[0].vrate, row.frontVrate);
        EXPECT_EQ(ac.groundElevationValid, 0);
        EXPECT_EQ(g_fastObjectScan, row.stage > 0);
        EXPECT_EQ(tst_queuedCommands(), row.cmds);
    }
    EXPECT_DOUBLE_EQ(ac.dPitch, (kFlarePitchRad - tst_deg(-2)) / 400);
    EXPECT_EQ(ac.throttleIndex, 0u);

    LiveAircraft idle = tst_aircraft(kLarge, 1500, 20);
    idle.flareStage = 2;
    idle.throttleIndex = 0;
    lf_flareTick(idle);
    EXPECT_EQ(idle.flareStage, 3u);
    EXPECT_EQ(tst_queuedCommands(), Cmds{}) << "already idle";
}

TEST_F(AirMotionTest, FlareHeightFromTheParkAirportsElevation) {
    setPark(true);
    LiveAircraft ac = tst_aircraft(kLarge, kParkElevFt + 41, 100);
    lf_flareTick(ac);
    EXPECT_EQ(ac.flareStage, 0u);
    EXPECT_EQ(ac.groundElevationValid, 1);
    EXPECT_EQ(ac.groundElevation, kParkElevFt);
    EXPECT_EQ(ac.aglEstimate, 41);
    ac.altitude = kParkElevFt + 40;
    lf_flareTick(ac);
    EXPECT_EQ(ac.flareStage, 1u);
    EXPECT_EQ(ac.aglEstimate, 40);

    // The scans' ground elevation wins over the park airport's; a lower agl wins over both.
    LiveAircraft scanned = tst_aircraft(kLarge, 1000, 35);
    scanned.groundElevation = 500;
    scanned.groundElevationValid = 1;
    lf_flareTick(scanned);
    EXPECT_EQ(scanned.aglEstimate, 500);
    EXPECT_EQ(scanned.flareStage, 1u);
}

TEST_F(AirMotionTest, TouchdownConfigurationAndAttitude) {
    struct Row {
        const char* what;
        int32_t category;
        bool sign;
        Cmds cmds;
    };
    const Row rows[] = {
        {"large", kLarge, false, {"7 SPOILERS_SET 16383", "7 DATA401 100 100 100"}},
        {"FSLTL model", kHeavy, true, {"7 SPOILERS_SET 16383", "7 DATA401 100 -100 -100"}},
        {"light aircraft", kLight, true, {"7 SPOILERS_SET 16383"}},
        {"rotorcraft", kRotor, false, {"7 DATA401 100 100 100"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        g_perSecondList.clear();
        g_fastObjectScan = true;
        LiveAircraft ac = tst_aircraft(row.category, 1420, 10);
        ac.touchdownSign = row.sign;
        ac.approachFlag = 1;
        ac.heading = 1.25;
        ac.pitch = -0.06;
        ac.bank = 0.02;
        lf_onGroundSlots(ac);
        EXPECT_EQ(tst_queuedCommands(), row.cmds);
        EXPECT_EQ(ac.touchdownRunning, 1);
        EXPECT_EQ(ac.landingRoll, 1);
        EXPECT_EQ(ac.landed, 1);
        EXPECT_EQ(ac.approachFlag, 0);
        EXPECT_FALSE(g_fastObjectScan);
        EXPECT_EQ(ac.touchdownHeading, 1.25);
        EXPECT_DOUBLE_EQ(ac.dPitch, (0.01 + 0.06) / ac.touchdownTicks);
        EXPECT_DOUBLE_EQ(ac.dBank, -0.02 / ac.touchdownTicks);
        EXPECT_EQ(g_perSecondList, std::deque<uint32_t>{0x4B1234});
    }
    LiveAircraft none = tst_aircraft();
    none.touchdownTicks = 0;
    none.bank = 0.3;
    lf_onGroundSlots(none);
    EXPECT_EQ(gf_capturedLog(), "SWR12 ! onGround slots 0.0\n");
    EXPECT_EQ(none.dPitch, 0.01);
    EXPECT_EQ(none.dBank, 0);
}

TEST_F(AirMotionTest, RollOutEndsOnATurnEitherWay) {
    struct Row {
        double turnDeg, gs;
        bool ends;
        Cmds cmds;
    };
    const Cmds slow = {"7 SPOILERS_SET 0", "7 DATA401 0 0 0", "7 FLAPS_SET 3072"};
    Cmds end = {"7 FLAPS_SET 0", "7 THROTTLE_SET 0", "7 SPOILERS_SET 0", "7 DATA401 0 0 0"};
    const Cmds taxiLights = tst_lightsThen("1101011", {});
    end.insert(end.end(), taxiLights.begin(), taxiLights.end());
    const Row rows[] = {
        {0, 91, false, {}},      {10, 90, false, slow}, {-14.99, 60, false, slow}, {15.01, 91, true, end},
        {-15.01, 91, true, end}, {-40, 20, true, end},  {-170, 20, true, end},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.turnDeg);
        LiveAircraft ac = tst_aircraft(kLarge, 1420, 0);
        ac.onGround = 1;
        ac.landingRoll = 1;
        ac.flapsIndex = 3;
        ac.throttleIndex = 4;
        ac.touchdownHeading = 0.1;
        ac.heading = 0.1 + tst_deg(row.turnDeg);
        ac.stream[0].gs = row.gs;
        lf_landingRollOut(ac);
        EXPECT_EQ(tst_queuedCommands(), row.cmds);
        EXPECT_EQ(ac.landingRoll, !row.ends);
        EXPECT_EQ(ac.touchdownHeading, row.ends ? 0 : 0.1);
    }
}

TEST_F(AirMotionTest, TakeOffRoll) {
    LiveAircraft ac = tst_aircraft(kLarge, 1420, 0);
    ac.flightState = taxi;
    ac.towed = 1;
    ac.approachFlag = ac.landed = ac.climbConfigured = 1;
    ac.throttleIndex = 2;
    lf_towedTakeOff(ac);
    const Cmds lights = tst_lightsThen("1111110", {});
    Cmds expected = {"7 THROTTLE_SET 0", "7 SPOILERS_SET 0", "7 FLAPS_SET 3072"};
    expected.insert(expected.end(), lights.begin(), lights.end());
    EXPECT_EQ(tst_queuedCommands(), expected);
    EXPECT_EQ(gf_capturedLog(), fmt::format("towed aircraft takes-off? {}\n", gf_acLabel(ac)));
    EXPECT_EQ(ac.takeOffRoll, 1);
    EXPECT_EQ(ac.approachFlag + ac.landed + ac.climbConfigured, 0);
    EXPECT_EQ(ac.dueAhead, 5000);
    EXPECT_EQ(ac.dueBack, 3000);
}

// Runs take-off ticks until the state leaves take_off or the limit; returns the ticks run and the
// tick (1-based) of every GEAR_SET.
struct ClimbOut {
    int ticks = 0;
    std::vector<int> gearAt;
    Cmds other;
};
ClimbOut tst_climbOut(LiveAircraft& ac, int limit) {
    ClimbOut out;
    while (ac.flightState == take_off && out.ticks < limit) {
        lf_takeOffTick(ac);
        ++out.ticks;
        for (const std::string& c : tst_queuedCommands()) {
            if (c.find("GEAR_SET") != std::string::npos)
                out.gearAt.push_back(out.ticks);
            else
                out.other.push_back(c);
        }
    }
    return out;
}

TEST_F(AirMotionTest, RotationAndStagedClimb) {
    LiveAircraft ac = tst_aircraft(kLarge, 1420, 0);
    ac.flightState = taxi;
    ac.onGround = 1;
    ac.takeOffRoll = 1;
    ac.throttleIndex = 4;
    ac.flapsIndex = 1;
    ac.rotationTicks = 200;
    ac.climbTicks = 50;
    ac.pitch = 0.01;
    ac.bank = 0.05;
    ac.dBank = 0.01;
    ac.dHeading = 0.2;
    ac.curve[6] = ac.curve[7] = 1;
    ac.curveProgress = 0.5;
    ac.dAltitude = 0.6;
    lf_startTakeOff(ac);
    EXPECT_EQ(tst_queuedCommands(), Cmds{});
    EXPECT_EQ(ac.flightState, take_off);
    EXPECT_EQ(ac.previousFlightState, taxi);
    EXPECT_EQ(ac.takeOffCounter, 200);
    EXPECT_EQ(ac.bank, 0);
    EXPECT_EQ(ac.dBank, 0);
    EXPECT_EQ(ac.dHeading, 0);
    EXPECT_DOUBLE_EQ(ac.dPitch, (tst_deg(-6) - 0.01) / 200);
    EXPECT_TRUE(std::isnan(ac.curve[6]) && std::isnan(ac.curve[7]));
    EXPECT_EQ(ac.curveProgress, 0);

    // Rotating on the runway: the altitude stays where the ground put it.
    ClimbOut rotation = tst_climbOut(ac, 199);
    EXPECT_EQ(ac.takeOffCounter, 1);
    EXPECT_EQ(ac.altitude, 1420);
    EXPECT_EQ(ac.onGround, 0);
    EXPECT_NEAR(ac.pitch, tst_deg(-6) + (0.01 - tst_deg(-6)) / 200, 1e-12);
    tst_climbOut(ac, 1);
    EXPECT_EQ(ac.altitude, 1420) << "counter 0: no climb yet";

    // A tenth, a fifth and half of the step for 100 ticks each, then the gear and the full step.
    ac.agl = 700;
    ClimbOut climb = tst_climbOut(ac, 300);
    EXPECT_NEAR(ac.altitude, 1420 + 99 * 0.06 + 100 * 0.12 + 100 * 0.3 + 0.6, 1e-9);
    EXPECT_EQ(climb.gearAt, std::vector<int>{300});
    EXPECT_EQ(ac.takeOffCounter, -300);
    EXPECT_LE(ac.pitch, tst_deg(-16));

    // Below 800 ft above ground it stays in take_off; the counter stops at -1000.
    ClimbOut low = tst_climbOut(ac, 2000);
    EXPECT_EQ(low.ticks, 2000);
    EXPECT_TRUE(low.gearAt.empty());
    EXPECT_EQ(ac.flightState, take_off);
    EXPECT_EQ(ac.takeOffCounter, -1000);
    EXPECT_EQ(ac.dPitch, 0);
    ac.agl = 800;
    ClimbOut up = tst_climbOut(ac, 5);
    EXPECT_EQ(up.ticks, 1);
    EXPECT_EQ(up.other, Cmds{"7 THROTTLE_SET 11468"});
    EXPECT_EQ(ac.flightState, flying);
    EXPECT_EQ(ac.previousFlightState, take_off);
    EXPECT_EQ(ac.takeOffCounter, 1);
    EXPECT_TRUE(rotation.gearAt.empty());
}

TEST_F(AirMotionTest, FlyingOnlyWithTheClimbPitchReached) {
    LiveAircraft ac = tst_aircraft(kHeavy, 1420, 900);
    ac.flightState = taxi;
    ac.takeOffRoll = 1;
    ac.throttleIndex = 4;
    ac.flapsIndex = 1;
    ac.rotationTicks = 10;
    ac.climbTicks = 1000;  // the climb pitch comes late
    ac.dAltitude = 0.5;
    lf_startTakeOff(ac);
    ClimbOut out = tst_climbOut(ac, 5000);
    EXPECT_EQ(ac.flightState, flying);
    EXPECT_LE(ac.pitch, tst_deg(-16));
    EXPECT_GT(ac.pitch - (tst_deg(-16) - tst_deg(-6)) / 1000, tst_deg(-16)) << "flying at the first tick";
    EXPECT_GT(out.ticks, 311);
    EXPECT_EQ(out.gearAt, std::vector<int>{310});
    EXPECT_EQ(out.other, Cmds{"7 THROTTLE_SET 11468"});
}

TEST_F(AirMotionTest, TouchAndGoAndRotorcraftTakeOff) {
    LiveAircraft ac = tst_aircraft(kLarge, 1420, 0);
    ac.flightState = taxi;
    ac.landingRoll = ac.approachFlag = ac.landed = 1;
    ac.throttleIndex = 1;
    ac.flapsIndex = 2;
    lf_startTakeOff(ac);
    Cmds expected = {"7 THROTTLE_SET 0", "7 SPOILERS_SET 0", "7 FLAPS_SET 3072"};
    const Cmds lights = tst_lightsThen("1111110", {"7 THROTTLE_SET 16383", "7 SPOILERS_SET 16383"});
    expected.insert(expected.end(), lights.begin(), lights.end());
    EXPECT_EQ(tst_queuedCommands(), expected);
    EXPECT_EQ(ac.landingRoll + ac.approachFlag + ac.landed, 0);
    EXPECT_EQ(ac.takeOffRoll, 1);

    LiveAircraft heli = tst_aircraft(kRotor, 1420, 900);
    heli.flightState = taxi;
    heli.takeOffRoll = 1;
    heli.landingRoll = 1;
    heli.rotationTicks = 100;
    heli.climbTicks = 100;
    heli.rotationPitch = tst_deg(-20);
    heli.climbPitch = tst_deg(-30);
    heli.dAltitude = 0.75;
    lf_startTakeOff(heli);
    EXPECT_EQ(tst_queuedCommands(), Cmds{"7 THROTTLE_SET 16383"});
    ClimbOut out = tst_climbOut(heli, 1000);
    EXPECT_EQ(heli.flightState, flying);
    EXPECT_TRUE(out.gearAt.empty());
    EXPECT_EQ(out.other, Cmds{});  // full power already
}

TEST_F(AirMotionTest, CategorySpeedReached) {
    struct Row {
        int32_t category;
        std::vector<double> speeds;  // front first
        bool reached;
    };
    const Row rows[] = {
        {kLarge, {50}, true},    {kLarge, {50, 140, 150}, true}, {kLarge, {200, 139.9, 150}, false},
        {kLight, {0, 90}, true}, {kHeavy, {160, 149}, false},    {kRotor, {0, 0, 0}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.speeds));
        LiveAircraft ac = tst_aircraft(row.category);
        ac.stream.clear();
        for (double gs : row.speeds) ac.stream.push_back(tst_sample(47, 8, 0, false, 0, 0, gs));
        EXPECT_EQ(lf_catSpeedReached(ac), row.reached);
    }
    LiveAircraft empty = tst_aircraft();
    empty.stream.clear();
    EXPECT_TRUE(lf_catSpeedReached(empty));
}

TEST_F(AirMotionTest, CommandGate) {
    struct Row {
        int32_t category;
        SimClientEvent event;
        bool allowed;
    };
    const Row rows[] = {
        {kRotor, SimClientEvent::GearSet, false},     {kRotor, SimClientEvent::SpoilersSet, false},
        {kRotor, SimClientEvent::FlapsSet, false},    {kRotor, SimClientEvent::ThrottleSet, true},
        {kRotor, SimClientEvent::NavLightsSet, true}, {kLight, SimClientEvent::GearSet, true},
        {kLight, SimClientEvent::SpoilersSet, true},  {kHeavy, SimClientEvent::FlapsSet, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(fmt::format("{} {}", row.category, gf_clientEventName(row.event)));
        LiveAircraft ac = tst_aircraft(row.category);
        EXPECT_EQ(gf_airCommandAllowed(ac, row.event), row.allowed);
        gf_airCommand(ac, row.event, 1);
        EXPECT_EQ(tst_queuedCommands().size(), row.allowed ? 1u : 0u);
    }
    for (int32_t category = 0; category < 6; ++category) {
        LiveAircraft ac = tst_aircraft(category);
        EXPECT_EQ(gf_airData401Allowed(ac), category != kLight) << category;
        gf_setFlaps(ac, 3);
        gf_airData401(ac, 1, 2);
        gf_airThrottle(ac, 1);
        Cmds expected;
        if (category != kRotor) expected.push_back("7 FLAPS_SET 16383");
        if (category != kLight) expected.push_back("7 DATA401 1 2 2");
        expected.push_back(category == kRotor ? "7 THROTTLE_SET 16383" : "7 THROTTLE_SET 4914");
        EXPECT_EQ(tst_queuedCommands(), expected) << category;
    }
}

// A whole landing and departure of a rotorcraft and of a light aircraft: the one never gets gear,
// spoilers or flaps, the other never the lever block.
TEST_F(AirMotionTest, GatesHoldOverALandingAndATakeOff) {
    setPark(true);
    for (int32_t category : {kRotor, kLight}) {
        SCOPED_TRACE(category);
        LiveAircraft ac = tst_aircraft(category, 2500, 600);
        ac.flapsIndex = 4;
        ac.lightsLow = 0;
        ac.stream[0].vrate = -600;
        lf_airMotion(ac);  // approach configuration
        ac.stream[1].airborne = 0;
        lf_airMotion(ac);  // touchdown leg
        for (double agl : {40.0, 30.0, 20.0, 13.0}) {
            ac.agl = agl;
            lf_flareTick(ac);
        }
        lf_onGroundSlots(ac);
        ac.stream[0].gs = 50;
        lf_landingRollOut(ac);
        ac.heading += tst_deg(30);
        lf_landingRollOut(ac);
        ac.flightState = taxi;
        lf_towedTakeOff(ac);
        lf_startTakeOff(ac);
        ac.agl = 900;
        Cmds all = tst_queuedCommands();
        const ClimbOut climb = tst_climbOut(ac, 2000);
        all.insert(all.end(), climb.other.begin(), climb.other.end());
        EXPECT_EQ(climb.gearAt.size(), category == kRotor ? 0u : 1u);
        ac.stream[1].airborne = 1;
        lf_airMotion(ac);  // on in the air
        const Cmds after = tst_queuedCommands();
        all.insert(all.end(), after.begin(), after.end());
        for (const std::string& c : all) {
            if (category == kRotor) {
                EXPECT_EQ(c.find("GEAR_SET"), std::string::npos) << c;
                EXPECT_EQ(c.find("SPOILERS_SET"), std::string::npos) << c;
                EXPECT_EQ(c.find("FLAPS_SET"), std::string::npos) << c;
            } else {
                EXPECT_EQ(c.find("DATA401"), std::string::npos) << c;
            }
        }
        EXPECT_EQ(ac.flightState, flying);
        EXPECT_GT(all.size(), 20u);
    }
}

TEST_F(AirMotionTest, LegHelpers) {
    LiveAircraft ac = tst_aircraft();
    ac.stream[0].gs = ac.stream[1].gs = 0;
    ac.stream[1].dueTick = kNow + 3600;
    EXPECT_NEAR(lf_legSpeed(ac), 100, 1e-9);  // 1 nm in 36 s
    ac.stream[1].lat = ac.stream[0].lat;
    EXPECT_EQ(lf_legSpeed(ac), 1);
    ac.stream[0].gs = 100;
    EXPECT_EQ(lf_legSpeed(ac), 50);

    struct Row {
        int32_t nextDueIn, ticks, extension;
        int32_t dueIn;
    };
    const Row rows[] = {
        {1000, 500, 0, 500}, {1000, 5000, 0, 4000}, {6000, 25, 0, 3000},
        {6000, 25, 1, 25},   {-5000, 25, 0, 0},     {1000, 3000, 0, 3000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(fmt::format("{} {} {}", row.nextDueIn, row.ticks, row.extension));
        ac.dueBack = ac.dueAhead = 3000;
        ac.extension = row.extension;
        ac.stream[1].dueTick = kNow + row.nextDueIn;
        lf_setNextDue(ac, row.ticks);
        EXPECT_EQ(ac.stream[1].dueTick, kNow + row.dueIn);
    }
    ac.stream[1].dueTick = kNow - 10;
    EXPECT_EQ(lf_ticksTo(ac.stream[1]), 25);
    ac.stream[1].dueTick = kNow + 26;
    EXPECT_EQ(lf_ticksTo(ac.stream[1]), 26);
    EXPECT_EQ(gf_clampTicks(3e9), kMaxLegTicks) << "clamped, not thrown";
    EXPECT_EQ(gf_clampTicks(std::nan("")), kMinLegTicks);
    EXPECT_EQ(gf_clampTicks(2500.5), 2501);
    EXPECT_DOUBLE_EQ(gf_normalizePi(3 * kPi / 2), -kPi / 2);
    EXPECT_DOUBLE_EQ(gf_normalizePi(-kPi), kPi);
}

class FlightPlanSendTest : public SimLinkTest {
  protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        gf_setLogCapture(true);
        start();
        createAndAppear("SWR12", kA320, 0x4B1234, 2000, false);
    }
    static LiveAircraft aircraft(uint32_t objectId, std::string origin, std::string destination) {
        LiveAircraft ac = tst_aircraft();
        ac.objectId = objectId;
        ac.origin = std::move(origin);
        ac.destination = std::move(destination);
        return ac;
    }
};

TEST_F(FlightPlanSendTest, WrittenAndSent) {
    LiveAircraft ac = aircraft(3, "LSZH", "EGLL");
    lf_createFlightPlan(ac);
    EXPECT_EQ(ac.flightPlanSent, 1);
    EXPECT_TRUE(fs::exists("flightplans/3.pln"));
    const StandinObject obj = *gf_standinObject(3);
    EXPECT_EQ(obj.planDeparture, "LSZH");
    EXPECT_EQ(obj.planDestination, "EGLL");
    EXPECT_EQ(gf_capturedLog(), "");
}

TEST_F(FlightPlanSendTest, FailuresLeaveNoFile) {
    struct Row {
        const char* what;
        uint32_t objectId;
        std::string origin, destination;
        bool logged;
    };
    const Row rows[] = {
        {"no such object", 99, "LSZH", "EGLL", true},
        {"bad airport code", 3, "LS ZH", "EGLL", true},
        {"no destination", 3, "LSZH", "", false},
        {"no origin", 3, "", "EGLL", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        LiveAircraft ac = aircraft(row.objectId, row.origin, row.destination);
        lf_createFlightPlan(ac);
        EXPECT_EQ(ac.flightPlanSent, 0);
        EXPECT_FALSE(fs::exists(gf_flightPlanFileName(row.objectId)));
        EXPECT_EQ(gf_capturedLog(),
                  row.logged ? fmt::format("{} creating a flight plan failed\n", gf_acLabel(ac)) : "");
    }
    EXPECT_EQ(gf_standinObject(3)->planDeparture, "");
}

TEST_F(FlightPlanSendTest, TouchdownCommandsReachTheSimulatorInOrder) {
    LiveAircraft ac = aircraft(3, "LSZH", "EGLL");
    ac.touchdownSign = 1;
    gf_queueClientEvent(3, SimClientEvent::GearSet, 1);
    ac.stream[0].gs = 60;
    lf_onGroundSlots(ac);
    lf_landingRollOut(ac);  // slow enough: levers back at once
    ASSERT_TRUE(gf_simFrame());
    const std::vector<std::string> journal = gf_standinJournal();
    const std::vector<std::string> tail(journal.end() - 6, journal.end());
    EXPECT_EQ(tail,
              (std::vector<std::string>{"3 GEAR_SET 1", "3 SPOILERS_SET 16383", "3 DATA401 100 -100 -100",
                                        "3 SPOILERS_SET 0", "3 DATA401 0 0 0", "3 FLAPS_SET 3072"}));
    const StandinObject obj = *gf_standinObject(3);
    EXPECT_EQ(obj.levers.spoilersPct, 0);
    EXPECT_EQ(obj.flaps, 3072u);
}

}  // namespace
