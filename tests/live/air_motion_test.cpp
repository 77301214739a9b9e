#include "live/air_motion.h"

#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "core/errors.h"
#include "core/log.h"
#include "live/air_motion_legs.h"
#include "live_fixture.h"
#include "support/sim_commands.h"
#include "support/slot_builders.h"

namespace {

using Cmds = std::vector<std::string>;
constexpr int32_t kNow = 100000;

// An active large aircraft (object 7) flying north at 47 N 8 E; its front sample here, the next
// 1 nm north due in 200 ticks, both airborne at 12000 ft with their lights done; climb step 0.6 ft.
LiveAircraft tst_aircraft(double altitude = 3000, double agl = 3000) {
    LiveAircraft ac;
    ac.category = 2;
    ac.callsign = "SWR12";
    ac.hexid = 0x4B1234;
    ac.objectId = 7;
    ac.lifeState = active;
    ac.flightState = flying;
    ac.lat = 47;
    ac.lon = 8;
    ac.altitude = altitude;
    ac.agl = agl;
    ac.maxClimbStep = 0.6;
    ac.throttleIndex = 2;
    ac.lightsHigh = 1;
    for (int i = 0; i < 2; ++i)
        ac.stream.push_back({.lat = 47 + i / 60.0,
                             .lon = 8,
                             .alt = 12000,
                             .gs = 140,
                             .dueTick = kNow + 200 * i,
                             .airborne = 1});
    return ac;
}

using AircraftRecTest = LiveTest;

class AirMotionTest : public LiveTest {
  protected:
    void SetUp() override {
        LiveTest::SetUp();
        g_tickCounter = kNow;
        g_qnh = 1013;
        gf_setLogCapture(true);
    }
    // The park airport at 1416 ft: 0 none, 1 near (5 nm south), 2 far (30 nm), 3 near without elevation.
    static void setPark(int park) {
        gf_resetAirMotionProcess();
        gf_clearParkAirport();
        if (park == 0) return;
        gf_setParkAirportSet(true);
        gf_setParkAirportElevation(park == 3 ? std::nullopt : std::optional<double>(1416));
        const double lat = 47.0 - (park == 2 ? 30.0 : 5.0) / 60.0;
        gf_setParkAirportPositionSource([lat] { return std::optional<LatLon>(LatLon{lat, 8.0}); });
    }
};

TEST_F(AirMotionTest, TouchdownLegByQnhAndParkAirport) {
    struct Row {
        double qnh;
        int park;
        double agl, dAltitude, nextVrate;
    };
    // Altitude 2000, the next sample on the ground due in 200 ticks; feed rates -800 and -700.
    const Row rows[] = {
        {1013, 0, 500, -601.0 / 6000, -601},
        {1020, 0, 101, -790.5 / 6000, -790.5},
        {1020, 0, 100, -600.0 / 6000, -600},
        {1013.2, 0, 500, -749.7 / 6000, -749.7},
        {1013, 1, 500, -0.6, -700},
        {1013.2, 1, 500, -0.6, -700},
        {1014, 1, 500, -754.5 / 6000, -754.5},
        {1013.2, 2, 500, -601.0 / 6000, -601},
        {1013, 3, 500, -601.0 / 6000, -601},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(fmt::format("qnh {} park {} agl {}", row.qnh, row.park, row.agl));
        setPark(row.park);
        g_qnh = row.qnh;
        LiveAircraft ac = tst_aircraft(2000, row.agl);
        ac.stream[0].vrate = -800;
        ac.stream[1].vrate = -700;
        ac.stream[1].airborne = 0;
        ac.approachFlag = 1;
        lf_airMotion(ac);
        EXPECT_NEAR(ac.dAltitude, row.dAltitude, 1e-12);
        EXPECT_NEAR(ac.nextVrate, row.nextVrate, 1e-9);
        EXPECT_NEAR(ac.stream[1].vrate, row.nextVrate, 1e-9);
    }
}

TEST_F(AirMotionTest, PitchAndBankSteps) {
    struct Row {
        double vrate;
        int32_t dueIn;
        double dPitchDeg;
    };
    // 3 degrees nose up, 2.2 more per 600 ft/min up to 2400, descents half, at most 0.0075 a tick.
    for (const Row& row : {Row{0, 10000, -3e-4}, Row{3000, 10000, -11.8e-4}, Row{-8000, 10000, 2.5e-4},
                           Row{1200, 25, -0.0075}}) {
        SCOPED_TRACE(row.vrate);
        LiveAircraft ac = tst_aircraft();
        ac.stream[1].vrate = row.vrate;
        ac.stream[1].dueTick = kNow + row.dueIn;
        lf_airMotion(ac);
        EXPECT_NEAR(ac.dPitch, gf_degToRad(row.dPitchDeg), 1e-15);
    }
    struct BankRow {
        const char* what;
        bool attitude, roll;
        double agl, heading, dHeading, dBank;
        uint8_t approach = 0;
    };
    // Feed heading 0.1 rad, roll 0.1; the sample after the next lies east of it.
    const BankRow banks[] = {
        {"feed attitude low down", true, true, 800, 2 * kPi - 0.1, 0.2 / 200, 0.05 / 200},
        {"too high for the feed's attitude", true, true, 1500, 0.5, NAN, 0.05 / 200},
        {"no roll: toward the turn ahead", true, false, 800, 0.5, NAN, -gf_degToRad(0.02)},
        {"just below 1000 ft", true, true, 999.5, 2 * kPi - 0.1, 0.2 / 200, 0.05 / 200},
        {"at 1000 ft", true, true, 1000, 0.5, NAN, 0.05 / 200},
        {"on the approach just below 2000 ft", true, true, 1999.5, 2 * kPi - 0.1, 0.2 / 200, 0.05 / 200, 1},
        {"on the approach at 2000 ft", true, true, 2000, 0.5, NAN, 0.05 / 200, 1},
    };
    for (const BankRow& row : banks) {
        SCOPED_TRACE(row.what);
        LiveAircraft ac = tst_aircraft(3000, row.agl);
        ac.heading = row.heading;
        ac.bank = 0.05;
        ac.approachFlag = row.approach;
        PosSample after = ac.stream[1];
        after.lon += 0.05;
        ac.stream.push_back(after);
        PosSample& n = ac.stream[1];
        n.attitudeFlag = row.attitude;
        n.trueHeading = 0.1;
        if (row.roll) n.roll = 0.1;
        lf_airMotion(ac);
        const double ahead =
            gf_normalizePi(gf_bearingRad({n.lat, n.lon}, {after.lat, after.lon}) - row.heading);
        EXPECT_NEAR(ac.dHeading, std::isnan(row.dHeading) ? ahead / 200 : row.dHeading, 1e-17);
        EXPECT_DOUBLE_EQ(ac.dBank, row.dBank);
    }
}

// Lights and configuration by height, climb and the park airport (5 nm away when near).
TEST_F(AirMotionTest, LightsAndConfiguration) {
    const Cmds cabin1 = {"7 CABIN_LIGHTS_SET 1"}, cabin0 = {"7 CABIN_LIGHTS_SET 0"};
    const auto with = [](Cmds a, const Cmds& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Cmds goAround = with(cabin0, {"7 THROTTLE_SET 16383", "7 GEAR_SET 0"});
    struct Row {
        const char* what;
        double frontAlt, agl, vrate;
        bool approach;
        int park;
        uint32_t throttle, flaps;
        Cmds cmds;
        bool approachAfter;
        int32_t dueAhead;  // steady flight and a go-around shrink the clamps, a landing resets them
    };
    const Row rows[] = {
        {"climbing through 10000 ft", 10000, 9000, 0, false, 0, 2, 4,
         tst_lightEvents(7, "1100001", {"7 THROTTLE_SET 11468", "7 GEAR_SET 0", "7 FLAPS_SET 0"}), false,
         2900},
        {"descending below 10000 ft", 9999, 3000, 0, false, 0, 2, 4,
         tst_lightEvents(7, "1111111", with(cabin1, {"7 GEAR_SET 0", "7 FLAPS_SET 0"})), false, 2900},
        {"descent takes power off", 5000, 3000, -250, true, 0, 3, 0,
         with(cabin1, {"7 THROTTLE_SET 8191", "7 GEAR_SET 0"}), false, 2900},
        {"a slower descent keeps the power", 5000, 3000, -249, false, 0, 3, 0, with(cabin1, {"7 GEAR_SET 0"}),
         false, 2900},
        {"a descent at full power keeps it", 5000, 3000, -250, false, 0, 4, 0, with(cabin1, {"7 GEAR_SET 0"}),
         false, 2900},
        {"climb takes full power back", 5000, 3000, 401, false, 0, 4, 0,
         with(cabin1, {"7 THROTTLE_SET 11468", "7 GEAR_SET 0"}), false, 2900},
        {"below 2400 ft: flaps 1", 5000, 2100, 100, false, 0, 2, 0, with(cabin1, {"7 FLAPS_SET 3072"}), false,
         2900},
        {"descent near the park airport", 5000, 2000, -250, false, 1, 2, 0,
         with(cabin0, {"7 THROTTLE_SET 4914", "7 FLAPS_SET 16383", "7 GEAR_SET 1"}), true, 3000},
        {"descent near the park airport at 2050 ft", 5000, 2050, -250, false, 1, 2, 0,
         with(cabin0, {"7 THROTTLE_SET 4914", "7 FLAPS_SET 16383", "7 GEAR_SET 1"}), true, 3000},
        {"descent near the park airport at 2051 ft", 5000, 2051, -250, false, 1, 2, 0,
         with(cabin1, {"7 FLAPS_SET 3072"}), false, 2900},
        {"climb above 600 ft/min", 5000, 1500, 601, true, 1, 2, 0, goAround, false, 2900},
        {"climb at 600 ft/min", 5000, 1500, 600, true, 1, 2, 0, cabin0, true, 3000},
        {"approach away from the park airport", 5000, 1500, 0, true, 2, 2, 0, goAround, false, 2900},
        {"level without an approach", 5000, 1500, 0, false, 2, 2, 0, cabin0, false, 3000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        setPark(row.park);
        LiveAircraft ac = tst_aircraft(5000, row.agl);
        ac.stream[0].alt = row.frontAlt;
        ac.stream[0].vrate = row.vrate;
        ac.lightsHigh = 0;
        ac.lightsLow = row.frontAlt == 5000;
        ac.approachFlag = row.approach;
        ac.throttleIndex = row.throttle;
        ac.flapsIndex = row.flaps;
        ac.dueAhead = 3000;
        lf_airMotion(ac);
        EXPECT_EQ(tst_queuedCommands(), row.cmds);
        EXPECT_EQ(ac.approachFlag, row.approachAfter);
        EXPECT_EQ(g_perSecondList.size(), row.approachAfter && !row.approach ? 1u : 0u);
        EXPECT_EQ(ac.dueAhead, row.dueAhead);
        if (row.frontAlt < 10000) continue;
        lf_airMotion(ac);
        EXPECT_EQ(tst_queuedCommands(), Cmds{}) << "configured once up high";
    }
}

// Above the approach height of a light aircraft the cruise steps its flaps by height: up with the gear
// from 2400 ft, 1 below it, 2 below 2000 ft, nothing while climbing faster than 100 ft/min.
TEST_F(AirMotionTest, CruiseFlapsStepByHeight) {
    const Cmds cabin1 = {"7 CABIN_LIGHTS_SET 1"};
    const struct Row {
        double agl, vrate;
        uint32_t flaps;
        const char* cmd;  // besides the cabin lights; empty: none
    } rows[] = {
        {2400, 0, 2, "7 GEAR_SET 0|7 FLAPS_SET 0"},
        {2399, 0, 0, "7 FLAPS_SET 3072"},
        {2399, 101, 0, ""},
        {1999, 0, 1, "7 FLAPS_SET 10240"},
        {2000, 0, 1, ""},
        {1999, 0, 2, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.agl << " ft, flaps " << row.flaps);
        LiveAircraft ac = tst_aircraft(5000, row.agl);
        ac.category = static_cast<int32_t>(AircraftCategory::Light);
        ac.stream[0].alt = 5000;
        ac.stream[0].vrate = row.vrate;
        ac.lightsHigh = 0;
        ac.lightsLow = 1;
        ac.flapsIndex = row.flaps;
        lf_airMotion(ac);
        Cmds expected = cabin1;
        for (std::string_view rest = row.cmd; !rest.empty();) {
            const size_t bar = rest.find('|');
            expected.emplace_back(rest.substr(0, bar));
            rest = bar == std::string_view::npos ? std::string_view{} : rest.substr(bar + 1);
        }
        EXPECT_EQ(tst_queuedCommands(), expected);
    }
}

// After the gear is up a climb-out at the climb pitch ends at 800 ft above the ground: climb
// power, flying; lower down it climbs on by the whole step.
TEST_F(AirMotionTest, ClimbOutEndsAt800FtWithClimbPower) {
    // The climb out ends past the gear-up, 300 ticks after the rotation, once the nose is at the
    // climb pitch (-0.2) and the aircraft 800 ft above the ground.
    const struct Row {
        const char* name;
        int32_t counter;  // before the tick
        double pitch, agl;
        bool out;
    } rows[] = {
        {"at 800 ft", -400, -0.2, 800, true},
        {"at 799 ft", -400, -0.2, 799, false},
        {"at the gear-up", -299, -0.2, 800, false},
        {"a tick past the gear-up", -300, -0.2, 800, true},
        {"before the gear-up", -100, -0.2, 800, false},
        {"the nose short of the climb pitch", -400, -0.05, 800, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac = tst_aircraft(2000, r.agl);
        ac.flightState = take_off;
        ac.takeOffCounter = r.counter;
        ac.rotationPitch = -0.1;
        ac.climbPitch = -0.2;
        ac.pitch = r.pitch;
        ac.dAltitude = 0.5;
        ac.throttleIndex = 4;
        lf_takeOffTick(ac);
        EXPECT_EQ(ac.flightState, r.out ? flying : take_off);
        const Cmds sent = tst_queuedCommands();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "7 THROTTLE_SET 11468"), r.out ? 1 : 0);
        EXPECT_EQ(ac.takeOffCounter, r.out ? 1 : r.counter - 1);
    }
    LiveAircraft ac = tst_aircraft(2000, 800);
    ac.takeOffCounter = -400;
    ac.rotationPitch = -0.1;
    ac.pitch = ac.climbPitch = -0.2;
    ac.dAltitude = 0.5;
    lf_takeOffTick(ac);
    EXPECT_DOUBLE_EQ(ac.altitude, 2000.5) << "the whole climb step past the gear-up";
}

// A take-off raises the nose to the rotation pitch over the rotation ticks, then on to the climb
// pitch over the climb ticks, and holds it there. Off the ground the climb step comes in phases:
// a tenth for 100 ticks, a fifth, then half, and from the gear-up (300 ticks after the rotation)
// the whole step.
TEST_F(AirMotionTest, TakeOffPitchesUpAndClimbsAtTheCategorysPace) {
    LiveAircraft ac = tst_aircraft(1000, 100);
    ac.takeOffRoll = 1;
    ac.pitch = 0;
    ac.rotationTicks = 50;
    ac.climbTicks = 200;
    ac.rotationPitch = gf_degToRad(-6);
    ac.climbPitch = gf_degToRad(-16.5);
    const double climbStep = (ac.climbPitch - ac.rotationPitch) / ac.climbTicks;
    lf_startTakeOff(ac);
    EXPECT_EQ(ac.flightState, take_off);
    ac.dAltitude = 1;
    int climbPitchTick = -1;
    double previous = ac.pitch;
    std::vector<double> altitudes = {ac.altitude};
    for (int tick = 1; tick <= 500; ++tick) {
        lf_takeOffTick(ac);
        ASSERT_LE(ac.pitch, previous + 1e-12) << tick << ": the nose only comes up";
        ASSERT_GE(ac.pitch, ac.climbPitch + climbStep - 1e-12)
            << tick << ": at most one step past the climb pitch";
        if (tick == 49)
            EXPECT_NEAR(ac.pitch, ac.rotationPitch, std::fabs(ac.rotationPitch) / 40) << "rotated";
        if (climbPitchTick < 0 && ac.pitch <= ac.climbPitch) climbPitchTick = tick;
        previous = ac.pitch;
        altitudes.push_back(ac.altitude);
    }
    EXPECT_GE(climbPitchTick, 49 + 190);
    EXPECT_LE(climbPitchTick, 49 + 210);
    const auto gained = [&](int from, int to) {
        return altitudes[static_cast<size_t>(to)] - altitudes[static_cast<size_t>(from)];
    };
    EXPECT_DOUBLE_EQ(gained(0, 50), 0) << "no climb while rotating";
    EXPECT_NEAR(gained(50, 149), 99 * 0.1, 1e-9);
    EXPECT_NEAR(gained(149, 249), 100 * 0.2, 1e-9);
    EXPECT_NEAR(gained(249, 349), 100 * 0.5, 1e-9);
    EXPECT_NEAR(gained(349, 449), 100 * 1.0, 1e-9);
    const Cmds commands = tst_queuedCommands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "7 GEAR_SET 0"), 1);
}

// Moving through the air makes a flying aircraft of one that was on the ground; a take-off stays
// one until it climbed out.
TEST_F(AirMotionTest, AirMotionFliesButKeepsATakeOff) {
    for (const auto& [before, after] : {std::pair{uint32_t{taxi}, uint32_t{flying}},
                                        {uint32_t{take_off}, uint32_t{take_off}},
                                        {uint32_t{flying}, uint32_t{flying}}}) {
        SCOPED_TRACE(before);
        LiveAircraft ac = tst_aircraft();
        ac.flightState = before;
        lf_airMotion(ac);
        EXPECT_EQ(ac.flightState, after);
        tst_queuedCommands();
    }
}

// A take-off that comes without a take-off roll before it (straight from the taxi) sets the roll
// up first: idle, spoilers in, flaps 1, the take-off lights and the roll's clamps; one that rolled
// already only rotates. Either way it stops turning by the increment.
TEST_F(AirMotionTest, TakeOffWithoutARollSetsTheRollUp) {
    for (const uint8_t rolled : {0, 1}) {
        SCOPED_TRACE(rolled);
        LiveAircraft ac = tst_aircraft(1000, 0);
        ac.flightState = taxi;
        ac.onGround = 1;
        ac.airline.clear();
        ac.takeOffRoll = rolled;
        ac.dHeading = 0.01;
        ac.dueAhead = ac.dueBack = 1000;
        tst_queuedCommands();
        lf_startTakeOff(ac);
        EXPECT_EQ(ac.flightState, take_off);
        EXPECT_EQ(ac.takeOffRoll, 1);
        EXPECT_EQ(ac.dHeading, 0);
        Cmds expected;
        if (!rolled) expected = tst_lightEvents(7, "1111110");
        if (!rolled)
            expected.insert(expected.begin(), {"7 THROTTLE_SET 0", "7 SPOILERS_SET 0", "7 FLAPS_SET 3072"});
        EXPECT_EQ(tst_queuedCommands(), expected);
        EXPECT_EQ(std::make_pair(ac.dueAhead, ac.dueBack),
                  rolled ? std::make_pair(1000, 1000) : std::make_pair(5000, 3000));
    }
}

// The feed has the aircraft on the ground while it flies: samples further on that are in the air
// and climb make it a go-around or a low pass, and the aircraft goes straight on to the first of
// them (the front stays) and climbs towards it at the feed's pace; without them it goes down.
TEST_F(AirMotionTest, GroundRowsInTheAirAreAGoAroundOnlyWhenTheFeedClimbsAgain) {
    struct Row {
        const char* name;
        double laterVrateFpm;  // of the samples after the ground rows; NaN: none in the air
        int later;             // samples after the ground rows
        size_t streamSize;
        double dAltitude;
    };
    const double none = std::numeric_limits<double>::quiet_NaN();
    // A climb seen only in the last sample climbs gently (601 ft/min) with the gear down.
    const Row rows[] = {{"climbing again", 1500, 2, 3, 500.0 / 3400},
                        {"in the air, level", 0, 2, 4, -601.0 / 6000},
                        {"nothing in the air", none, 2, 4, -601.0 / 6000},
                        {"climbing only in the last sample", 1500, 1, 3, 601.0 / 6000}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac = tst_aircraft(2000, 600);
        ac.dueAhead = ac.dueBack = 3000;
        for (PosSample& s : ac.stream) s.airborne = 0, s.alt = 1416, s.vrate = 0;
        for (int i = 2; i <= r.later + 1; ++i)
            ac.stream.push_back({.lat = 47 + i / 60.0,
                                 .lon = 8,
                                 .alt = 2000.0 + 500 * (i - 1),
                                 .gs = 140,
                                 .vrate = std::isnan(r.laterVrateFpm) ? 0 : r.laterVrateFpm,
                                 .dueTick = kNow + 200 * i,
                                 .airborne = uint8_t(!std::isnan(r.laterVrateFpm))});
        const int32_t frontDue = ac.stream[0].dueTick;
        lf_airMotion(ac);
        ASSERT_EQ(ac.stream.size(), r.streamSize);
        EXPECT_EQ(ac.stream[0].dueTick, frontDue) << "the front stays";
        if (r.streamSize == 3 && r.later == 2) {
            EXPECT_EQ(ac.stream[1].alt, 2500) << "straight on to the first sample in the air";
            EXPECT_EQ(ac.stream[1].dueTick, kNow + 400 + 3000);
        }
        EXPECT_NEAR(ac.dAltitude, r.dAltitude, 1e-12);
        const Cmds sent = tst_queuedCommands();
        EXPECT_NE(std::find(sent.begin(), sent.end(), "7 GEAR_SET 1"), sent.end());
    }
}

// Only a front and next sample both on the ground are ground rows: a next sample in the air is
// climbed to, a next one on the ground after an airborne front is the touchdown even when the
// feed climbs again later.
TEST_F(AirMotionTest, OneSampleOnTheGroundIsATakeOffOrATouchdown) {
    const struct Row {
        const char* name;
        bool frontAirborne, nextAirborne;
        size_t streamSize;
        double dAltitude;
    } rows[] = {{"lifting off", false, true, 4, 0.6}, {"touching down", true, false, 4, -601.0 / 6000}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac = tst_aircraft(2000, 600);
        ac.dueAhead = ac.dueBack = 3000;
        ac.stream[0].airborne = r.frontAirborne;
        ac.stream[1].airborne = r.nextAirborne;
        ac.stream[1].alt = r.nextAirborne ? 2500 : 1416;
        for (PosSample& s : ac.stream) s.vrate = 0;
        for (int i = 2; i <= 3; ++i)
            ac.stream.push_back({.lat = 47 + i / 60.0,
                                 .lon = 8,
                                 .alt = 2000.0 + 500 * (i - 1),
                                 .gs = 140,
                                 .vrate = 1500,
                                 .dueTick = kNow + 200 * i,
                                 .airborne = 1});
        lf_airMotion(ac);
        ASSERT_EQ(ac.stream.size(), r.streamSize);
        EXPECT_NEAR(ac.dAltitude, r.dAltitude, 1e-12);
    }
}

// A leg is flown at the mean of the two reported speeds, also when one of them is 0; only when
// both are 0 do the positions and due ticks give the speed, at least 1 kt.
TEST_F(AirMotionTest, LegSpeedIsTheMeanOfTheReports) {
    struct Row {
        double frontKt, nextKt, nm;
        int32_t ticks;
        double legKt;
    };
    const Row rows[] = {{140, 160, 1, 200, 150}, {200, 0, 1, 200, 100}, {0, 90, 1, 200, 45},
                        {0, 0, 1, 1000, 360},    {0, 0, 0, 1000, 1},    {0, 0, 1, -5, 1.0 / 25 * 360000}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.frontKt << " " << r.nextKt << " " << r.nm << " " << r.ticks);
        LiveAircraft ac = tst_aircraft();
        ac.stream[0].gs = r.frontKt, ac.stream[1].gs = r.nextKt;
        ac.stream[1].lat = 47 + r.nm / 60;
        ac.stream[1].dueTick = ac.stream[0].dueTick + r.ticks;
        EXPECT_NEAR(lf_legSpeed(ac), r.legKt, 1e-6);
    }
}

// Down through 10000 ft and up again: each crossing sets the lights of its side once more.
TEST_F(AirMotionTest, LightsFollowTheAircraftDownAndUpThrough10000Ft) {
    LiveAircraft ac = tst_aircraft(12000, 9000);  // configured up high
    ac.throttleIndex = 3;
    const auto lightsOf = [](const Cmds& sent) {
        Cmds out;
        for (const std::string& c : sent)
            if ((c.find("LIGHTS_SET") != std::string::npos || c.find("STROBES_SET") != std::string::npos) &&
                c.find("CABIN") == std::string::npos)  // the cabin's follow the height above ground too
                out.push_back(c);
        return out;
    };
    for (const auto& [alt, lights] : {std::pair{9000.0, "1111111"},
                                      {11000.0, "1100001"},
                                      {11000.0, ""},
                                      {9500.0, "1111111"},
                                      {10500.0, "1100001"}}) {
        SCOPED_TRACE(alt);
        ac.stream[0].alt = alt;
        lf_airMotion(ac);
        EXPECT_EQ(lightsOf(tst_queuedCommands()), *lights ? lightsOf(tst_lightEvents(7, lights)) : Cmds{});
    }
}

// A level leg on an approach up to 1000 ft above the ground, with the feed's rates adding up to
// at most 100 ft/min, is an aeroplane's short final: it goes down at the touchdown rate. Higher,
// climbing, or a helicopter, it follows the feed (here level).
TEST_F(AirMotionTest, ALevelLegLowOnTheApproachIsTheShortFinal) {
    struct Row {
        double agl, frontVrate, nextVrate;
        int32_t category;
        bool shortFinal;
    };
    const Row rows[] = {{1000, 50, 50, 2, true},
                        {1001, 0, 0, 2, false},
                        {500, 50, 51, 2, false},
                        {500, -300, 0, 2, true},
                        {500, 0, 0, 5, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.agl << " " << r.frontVrate + r.nextVrate << " " << r.category);
        setPark(0);
        LiveAircraft ac = tst_aircraft(2000, r.agl);
        ac.category = r.category;
        ac.approachFlag = 1;
        for (PosSample& s : ac.stream) s.alt = 2000;
        ac.stream[0].vrate = r.frontVrate, ac.stream[1].vrate = r.nextVrate;
        lf_airMotion(ac);
        EXPECT_NEAR(ac.dAltitude, r.shortFinal ? -601.0 / 6000 : 0, 1e-12);
    }
}

// The due-time clamps of steady flight shrink by a second a step down to 3 seconds.
TEST_F(AirMotionTest, DueClampsShrinkToThreeSeconds) {
    LiveAircraft ac = tst_aircraft();
    ac.dueBack = 450, ac.dueAhead = 350;
    for (const int32_t back : {350, 300, 300}) {
        lf_shrinkDueClamps(ac);
        EXPECT_EQ(std::make_pair(ac.dueBack, ac.dueAhead), std::make_pair(back, 300));
    }
}

// A callsign names its airline by three ASCII letters and a digit, in either case.
TEST_F(AircraftRecTest, AirlineOfACallsign) {
    const std::pair<const char*, const char*> rows[] = {
        {"AZA1", "AZA"}, {"zaz9", "ZAZ"}, {"SWR0", "SWR"}, {"@BC1", ""}, {"A[C1", ""}, {"AB`1", ""},
        {"{BC1", ""},    {"ABC/", ""},    {"ABC:", ""},    {"ABC", ""},  {"ABCD", ""},
    };
    for (auto [callsign, airline] : rows)
        EXPECT_EQ(gf_airlineOfCallsign(callsign).value_or(""), airline) << callsign;
}

// The flight limits of every category as documented; a new record takes its category's row, its
// pitches varied by 2.5 % and 5 % either way.
TEST_F(AircraftRecTest, EveryCategoryTakesItsDocumentedFlightLimits) {
    struct Row {
        const char* type;
        CategoryMotion m;
        double rotationKt, bankDeg, bankStepDeg, pitchStepDeg;  // the air limits
    };
    const Row rows[] = {
        {"C172", {-9, -15, 0.15, 0.5, 5, 250, 250, 100, 200}, 90, 40, 0.035, 0.01},
        {"C56X", {-8, -18, 0.1, 0.75, 4.5, 300, 300, 200, 250}, 110, 35, 0.0275, 0.0085},
        {"B738", {-6, -16.5, 0.07, 0.6, 4, 400, 350, 200, 300}, 140, 30, 0.02, 0.0075},
        {"B744", {-5, -12.5, 0.05, 0.5, 3, 450, 450, 250, 400}, 150, 20, 0.015, 0.005},
        {"F16", {-6, -20, 0.1, 1.0, 4.5, 150, 150, 100, 200}, 220, 90, 0.1, 0.03},
        {"EC35", {-20, -30, 0.2, 0.75, 5, 100, 100, 100, 100}, 0, 75, 0.06, 0.03},
    };
    for (int32_t category = 0; category < 6; ++category) {
        const Row& row = rows[category];
        SCOPED_TRACE(row.type);
        const CategoryMotion& m = gf_categoryMotion(category);
        EXPECT_EQ(std::make_tuple(m.rotationPitchDeg, m.climbPitchDeg, m.turnRateDeg, m.maxClimbStepFt,
                                  m.slowTaxiSpeedKt),
                  std::make_tuple(row.m.rotationPitchDeg, row.m.climbPitchDeg, row.m.turnRateDeg,
                                  row.m.maxClimbStepFt, row.m.slowTaxiSpeedKt));
        EXPECT_EQ(
            std::make_tuple(m.flareTicks, m.touchdownTicks, m.rotationTicks, m.climbTicks),
            std::make_tuple(row.m.flareTicks, row.m.touchdownTicks, row.m.rotationTicks, row.m.climbTicks));
        const AircraftRec rec = gf_makeAircraftRec(tst_record(20001, 100, 50, 8, "DLH4AB", row.type));
        EXPECT_EQ(rec.category, category);
        EXPECT_EQ(std::make_tuple(rec.flareTicks, rec.touchdownTicks, rec.rotationTicks, rec.climbTicks),
                  std::make_tuple(m.flareTicks, m.touchdownTicks, m.rotationTicks, m.climbTicks));
        EXPECT_NEAR(gf_radToDeg(rec.turnRate), row.m.turnRateDeg, 1e-12);
        EXPECT_NEAR(std::fabs(gf_radToDeg(rec.rotationPitch) - row.m.rotationPitchDeg),
                    std::fabs(row.m.rotationPitchDeg) * 0.025, 1e-9);
        EXPECT_NEAR(std::fabs(gf_radToDeg(rec.climbPitch) - row.m.climbPitchDeg),
                    std::fabs(row.m.climbPitchDeg) * 0.05, 1e-9);
        const AirLimits& a = gf_airLimits(category);
        EXPECT_EQ(a.rotationSpeedKt, row.rotationKt);
        EXPECT_NEAR(gf_radToDeg(a.maxBank), row.bankDeg, 1e-12);
        EXPECT_NEAR(gf_radToDeg(a.maxBankStep), row.bankStepDeg, 1e-12);
        EXPECT_NEAR(gf_radToDeg(a.maxPitchStep), row.pitchStepDeg, 1e-12);
    }
    // Out of the tables: the text the log lines of a failed update quote.
    for (int32_t missing : {-1, 6}) {
        SCOPED_TRACE(missing);
        EXPECT_EQ(tst_rangeError([=] { gf_categoryMotion(missing); }), kMapKeyError);
        EXPECT_EQ(tst_rangeError([=] { gf_airLimits(missing); }), kMapKeyError);
    }
    EXPECT_EQ(tst_rangeError([] { gf_flightStateName(8); }), kMapKeyError);
    EXPECT_EQ(tst_rangeError([] { gf_lifeStateName(5); }), kMapKeyError);
    EXPECT_EQ(gf_flightStateName(7), "birth");
    EXPECT_EQ(gf_lifeStateName(4), "removingfromsim");
}

}  // namespace
