// Ground movement: tick counts, heading error, mid-samples, the straight rule, turn curves,
// pushback, pull-out, the stand chosen on the way, the drive onto it and the arrival.
#include "live/ground_motion.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "core/slots.h"
#include "live/air_motion.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion_legs.h"
#include "live/parking_slots.h"
#include "sim/sim_link.h"
#include "stand_fixture.h"
#include "support/sim_commands.h"

namespace {

constexpr int32_t kNow = 100000;
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

PosSample tst_sample(LatLon p, double gs, int32_t due, bool stationary = false) {
    PosSample s;
    s.lat = p.lat;
    s.lon = p.lon;
    s.gs = gs;
    s.dueTick = due;
    s.stationary = stationary ? 1 : 0;
    return s;
}

double tst_meters(LatLon a, LatLon b) {
    return gf_nmToMeters(gf_haversineNm(a, b));
}

class GroundMotionTest : public StandTest {
  protected:
    void SetUp() override {
        StandTest::SetUp();
        g_tickCounter = kNow;
    }
    void fresh() {
        freshCase();
        g_tickCounter = kNow;
    }
    // An active B738 taxiing on the ground at p, heading in degrees, with no curve and the
    // category's turn rate and slow taxi speed.
    static LiveAircraft taxiAc(LatLon p, double headingDeg, uint32_t standId = 0) {
        LiveAircraft ac = liveAc(0x4B1234, "SWR12A", "B738", standId, active, taxi);
        const CategoryMotion& m = gf_categoryMotion(ac.category);
        ac.turnRate = ac.currentTurnRate = gf_degToRad(m.turnRateDeg);
        ac.slowTaxiSpeed = m.slowTaxiSpeedKt;
        ac.previousFlightState = flying;
        ac.onGround = 1;
        ac.lat = p.lat;
        ac.lon = p.lon;
        ac.heading = gf_degToRad(headingDeg);
        ac.dueBack = ac.dueAhead = 1000;
        lf_clearCurve(ac);
        return ac;
    }
};

// ---- tick counts --------------------------------------------------------------------------

TEST(GroundTicks, ClampedBeforeNarrowing) {
    struct Row {
        double value;
        int32_t expected;
    } rows[] = {
        {kNan, 25},
        {-std::numeric_limits<double>::infinity(), 25},
        {std::numeric_limits<double>::infinity(), kMaxLegTicks},
        {24.4, 25},
        {100.5, 101},
        {3e9, kMaxLegTicks},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(gf_clampTicks(r.value), r.expected);
    }
}

TEST(GroundTicks, TravelTicksOfOddSpeeds) {
    struct Row {
        double nm, kt;
        int32_t expected;
    } rows[] = {
        {0.1, 10, 3600},  // 0.01 h
        {0.1, 0, kMaxLegTicks}, {0.1, kNan, kMaxLegTicks}, {0.1, -3, kMaxLegTicks},
        {0.1, 0.001, 36000000}, {1, 0.001, kMaxLegTicks},  // 360 million ticks: held at one week
        {0.001, 0.001, 360000}, {kNan, 10, kMaxLegTicks},  {0, 10, 25},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.nm << " nm at " << r.kt << " kt");
        EXPECT_EQ(gf_travelTicks(r.nm, r.kt), r.expected);
    }
}

// A leg whose speeds are 0, NaN or next to nothing neither throws nor freezes the aircraft: the
// next sample falls due at the latest the clamps allow.
TEST_F(GroundMotionTest, DueTickOfLegsWithOddSpeeds) {
    struct Row {
        double frontKt, nextKt;
        int32_t expectedDue;
    } rows[] = {
        {0, 0, kNow + 1000},               // both 0: the speed from the due ticks
        {kNan, kNan, kNow + 1000 + 1000},  // unknown speed: held at next due + dueAhead
        {0.001, 0.001, kNow + 1000 + 1000},
        {10, 10, kNow + 1944},  // 100 m at 10 kt
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.frontKt << " kt");
        const LatLon a = tst_offsetM(0, 0);
        LiveAircraft ac = taxiAc(a, 0);
        ac.stream = {tst_sample(a, r.frontKt, kNow), tst_sample(tst_offsetM(100, 0), r.nextKt, kNow + 1000)};
        ac.targetHeading = ac.heading;
        ASSERT_NO_THROW(nextPosGround(ac));
        EXPECT_EQ(ac.stream[1].dueTick, r.expectedDue);
    }
}

// ---- heading error --------------------------------------------------------------------------

TEST(GroundHeading, ErrorIsTheShortDifference) {
    struct Row {
        double targetDeg, headingDeg, expected;
    } rows[] = {
        {1, 359, 2}, {359, 1, 2}, {180, 0, 180}, {0, 180, 180}, {90, 45, 45}, {350, 10, 20}, {720, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.targetDeg << " against " << r.headingDeg);
        EXPECT_NEAR(gf_headingErrorDeg(gf_degToRad(r.targetDeg), gf_degToRad(r.headingDeg)), r.expected,
                    1e-9);
    }
}

// Steering across north: a target 2 degrees off is not steered to; 10 degrees is.
TEST_F(GroundMotionTest, SteeringAcrossNorth) {
    struct Row {
        double headingDeg, targetDeg;
        double error;
        uint8_t steer;
    } rows[] = {{359, 1, 2, 0}, {355, 5, 10, 1}, {1, 359, 2, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.headingDeg);
        const LatLon a = tst_offsetM(0, 0);
        LiveAircraft ac = taxiAc(a, r.headingDeg);
        ac.targetHeading = gf_degToRad(r.targetDeg);
        ac.stream = {tst_sample(a, 10, kNow), tst_sample(tst_offsetM(50, 0), 10, kNow + 200)};
        nextPosGround(ac);
        EXPECT_NEAR(ac.headingError, r.error, 1e-9);
        EXPECT_EQ(ac.steerToTarget, r.steer);
    }
}

// ---- mid-samples and the straight rule ------------------------------------------------------

TEST(GroundMidSample, MeansOfFrontAndNext) {
    struct Row {
        const char* name;
        LatLon front, next;
        double frontGs, nextGs, frontAlt, nextAlt;
        int32_t frontDue, nextDue;
        LatLon mid;
        double gs, alt;
        int32_t due;
        uint8_t airborne;
    } rows[] = {
        {"plain", {47, 8}, {47.002, 8.004}, 10, 20, 40, 50, 1000, 1600, {47.001, 8.002}, 15, 45, 1300, 1},
        {"odd due", {47.0, 8.0}, {47.0, 8.001}, 0, 5, 0, 0, 1000, 1001, {47.0, 8.0005}, 2.5, 0, 1001, 0},
        {"below zero", {47.0, 8.0}, {47.0, 8.001}, 4, 4, -20, 10, 0, 100, {47.0, 8.0005}, 4, 0, 50, 0},
        {"180 E", {10.0, 179.9998}, {10.0, -179.9996}, 6, 6, 0, 0, 0, 100, {10.0, -179.9999}, 6, 0, 50, 0},
        {"180 W", {10.0, -179.9998}, {10.0, 179.9996}, 6, 6, 0, 0, 0, 100, {10.0, 179.9999}, 6, 0, 50, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac;
        PosSample f = tst_sample(r.front, r.frontGs, r.frontDue);
        f.alt = r.frontAlt;
        f.track = 33;
        f.attitudeFlag = 1;
        PosSample n = tst_sample(r.next, r.nextGs, r.nextDue);
        n.alt = r.nextAlt;
        ac.stream = {f, n};
        lf_insertMidSample(ac);
        ASSERT_EQ(ac.stream.size(), 3u);
        const PosSample& m = ac.stream[1];
        EXPECT_NEAR(m.lat, r.mid.lat, 1e-9);
        EXPECT_NEAR(m.lon, r.mid.lon, 1e-9);
        EXPECT_DOUBLE_EQ(m.gs, r.gs);
        EXPECT_DOUBLE_EQ(m.alt, r.alt);
        EXPECT_EQ(m.dueTick, r.due);
        EXPECT_EQ(m.airborne, r.airborne);
        EXPECT_EQ(m.track, 33);  // the other fields are the front's
        EXPECT_EQ(m.attitudeFlag, 1);
        EXPECT_EQ(ac.stream[2].dueTick, r.nextDue);
    }
}

TEST(GroundMidSample, OutOfAStopTheMidSampleMoves) {
    struct Row {
        const char* name;
        LatLon next;
        uint8_t stationary;
    } rows[] = {
        {"leg out of the stop", {47.001, 8.0}, 0},
        {"next on the stop itself", {47.0, 8.0}, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac;
        PosSample f = tst_sample({47.0, 8.0}, 0, 1000);
        f.stationary = 1;
        ac.stream = {f, tst_sample(r.next, 8, 2000)};
        lf_insertMidSample(ac);
        ASSERT_EQ(ac.stream.size(), 3u);
        EXPECT_EQ(ac.stream[1].stationary, r.stationary);
        EXPECT_EQ(ac.stream[0].stationary, 1);
    }
}

TEST_F(GroundMotionTest, StraightRule) {
    struct Row {
        double frontKt, nextKt, legM;
        bool split;
    } rows[] = {
        {10, 20, 150, true}, {20, 10, 150, true}, {10, 15, 150, false},   {0, 6, 120, true},
        {0, 0, 500, false},  {10, 20, 80, false}, {kNan, 20, 150, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.frontKt << " -> " << r.nextKt << " over " << r.legM << " m");
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        ac.stream = {tst_sample(tst_offsetM(0, 0), r.frontKt, kNow),
                     tst_sample(tst_offsetM(r.legM, 0), r.nextKt, kNow + 3000)};
        lf_straightStep(ac);
        EXPECT_EQ(ac.stream.size(), r.split ? 3u : 2u);
    }
}

// ---- turn curves ----------------------------------------------------------------------------

TEST(GroundCurve, CoefficientsAndEnds) {
    struct Row {
        const char* name;
        LatLon start, control, end;
        double n1, e1, n2, e2;  // metres
    };
    const double m = 111.13295;  // metres in a thousandth of a degree of latitude
    const double c47 = std::cos(gf_degToRad(47.0)), c10 = std::cos(gf_degToRad(10.0));
    const Row rows[] = {
        {"right turn", {47.0, 8.0}, {47.001, 8.0}, {47.001, 8.001}, m, 0, m, m * c47},
        {"left turn", {47.0, 8.0}, {47.0, 7.999}, {46.999, 7.999}, 0, -m * c47, -m, -m * c47},
        {"180", {10.0, 179.9995}, {10.0005, 179.9999}, {10.001, -179.9995}, m / 2, 0.4 * m * c10, m, m * c10},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac;
        ac.lat = r.start.lat;
        ac.lon = r.start.lon;
        ac.stream = {tst_sample(r.start, 10, 0), tst_sample(r.control, 8, 500), tst_sample(r.end, 0, 1000)};
        lf_buildTurnCurve(ac);
        ASSERT_EQ(ac.stream.size(), 2u);  // the control sample is gone; the end is the next sample
        EXPECT_NEAR(ac.stream[1].lat, r.end.lat, 1e-12);
        EXPECT_DOUBLE_EQ(ac.stream[1].gs, 9);  // speed 0 takes the mean of front and next
        EXPECT_EQ(ac.curve[kCurveStartParam], 0);
        EXPECT_EQ(ac.curve[kCurveEndParam], 1.0);
        EXPECT_NEAR(ac.curve[kCurveN1], r.n1, 1e-6);
        EXPECT_NEAR(ac.curve[kCurveE1], r.e1, 1e-6);
        EXPECT_NEAR(ac.curve[kCurveN2], r.n2, 1e-6);
        EXPECT_NEAR(ac.curve[kCurveE2], r.e2, 1e-6);
        LatLon p;
        double h = 0;
        ASSERT_TRUE(gf_sampleCurve(ac.curve, 1.0, p, h));
        EXPECT_NEAR(p.lat, r.end.lat, 1e-9);
        EXPECT_NEAR(p.lon, r.end.lon, 1e-9);
        ASSERT_TRUE(gf_sampleCurve(ac.curve, 0.0, p, h));
        EXPECT_NEAR(p.lat, r.start.lat, 1e-12);
        EXPECT_NEAR(p.lon, r.start.lon, 1e-12);
        EXPECT_FALSE(gf_sampleCurve(ac.curve, 1.01, p, h));
    }
}

// Taxi legs by the turn at the next sample: a long slow leg before a sharp turn is split, a turn
// of 3..160 degrees becomes a curve, anything else goes straight.
TEST_F(GroundMotionTest, TaxiLegsByTurn) {
    struct Row {
        const char* name;
        double turnDeg;  // the leg after the next, relative to north
        double frontKt;
        int32_t legTicks;  // front -> next
        size_t size;       // stream length afterwards
        bool curve;
        double turnAngle;
    } rows[] = {
        {"sharp, long and slow: split", 90, 10, 700, 4, false, 0},
        {"sharp but short in time: curve", 90, 10, 500, 2, true, 90},
        {"sharp but fast: curve", 90, 44, 700, 2, true, 90},
        {"gentle: curve", 30, 10, 700, 2, true, 30},
        {"tiny: straight", 2, 10, 700, 3, false, 0},
        {"reversal, sharp and long: split", 170, 10, 700, 4, false, 0},
        {"reversal, short in time: straight", 170, 10, 500, 3, false, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const LatLon a = tst_offsetM(0, 0);
        const LatLon b = tst_offsetM(200, 0);
        const LatLon c = gf_destinationPoint(b, gf_degToRad(r.turnDeg), gf_nmToFeet(gf_metersToNm(60)));
        LiveAircraft ac = taxiAc(a, 0);
        ac.targetHeading = 0;
        ac.stream = {tst_sample(a, r.frontKt, kNow), tst_sample(b, r.frontKt, kNow + r.legTicks),
                     tst_sample(c, r.frontKt, kNow + r.legTicks + 300)};
        nextPosGround(ac);
        EXPECT_EQ(ac.stream.size(), r.size);
        EXPECT_EQ(gf_curveActive(ac), r.curve);
        EXPECT_NEAR(ac.turnAngle, r.turnAngle, 1e-6);
        if (r.curve) EXPECT_EQ(ac.steerToTarget, 0);
    }
}

// The turn rate is fitted to the leg: a 90-degree curve at most three times faster, with the
// clamps widened to 2000; a gentle turn over a long leg slower.
TEST_F(GroundMotionTest, TurnRateFittedToTheLeg) {
    const LatLon a = tst_offsetM(0, 0);
    LiveAircraft ac = taxiAc(a, 0);
    ac.stream = {tst_sample(a, 10, kNow), tst_sample(tst_offsetM(300, 0), 10, kNow + 4000)};
    ac.turnAngle = 90;
    ac.curve[kCurveE1] = ac.curve[kCurveN1] = 0;  // a curve is active
    lf_groundDueTick(ac);
    // leg 5832 ticks (300 m at 10 kt); n = round(90 / turnRate / 100) = 737; r = min(7.9, 3)
    EXPECT_DOUBLE_EQ(ac.currentTurnRate, ac.turnRate * 3);
    EXPECT_EQ(ac.dueBack, 2000);
    EXPECT_EQ(ac.dueAhead, 2000);
    EXPECT_EQ(ac.stream[1].dueTick, kNow + 5832);

    // Steering 10 degrees over the same leg: n = 82, r = 71.1, then min(r, r x 10 / 10, r x 30 m
    // / 300 m) = 7.11: the turn goes 7.11 times slower.
    LiveAircraft b = taxiAc(a, 0);
    b.stream = {tst_sample(a, 10, kNow), tst_sample(tst_offsetM(300, 0), 10, kNow + 4000)};
    b.steerToTarget = 1;
    b.headingError = 10;
    lf_groundDueTick(b);
    const double r = 5832.0 / 82 * 0.1;
    EXPECT_NEAR(b.currentTurnRate, b.turnRate / r, 1e-12);
    EXPECT_EQ(b.dueAhead, 1000);
}

// ---- leaving a stand ------------------------------------------------------------------------

// A parked aircraft on stand A1 (heading north, radius 30 m) whose feed leaves it.
class LeavingTest : public GroundMotionTest {
  protected:
    LiveAircraft parkedLeaving(double feedBearingDeg) {
        addStands({{"A1", 0, 0, 30}});
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0, 1);
        ac.flightState = parked;
        ac.previousFlightState = parking;
        ac.leavingStand = 1;
        ac.throttleIndex = 5;
        ac.flapsIndex = 0;
        const LatLon feed = gf_destinationPoint(tst_offsetM(0, 0), gf_degToRad(feedBearingDeg),
                                                gf_nmToFeet(gf_metersToNm(40)));
        ac.stream = {tst_sample(tst_offsetM(0, 0), 0, kNow, true), tst_sample(feed, 3, kNow + 1500)};
        return ac;
    }
};

TEST_F(LeavingTest, PullOutBelowNinetyDegreesPushbackFromNinety) {
    struct Row {
        double bearingDeg;
        uint32_t state;
    } rows[] = {{0, taxi},          {89, taxi},          {-89, taxi},
                {90, pushing_back}, {-90, pushing_back}, {180, pushing_back}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bearingDeg);
        fresh();
        LiveAircraft ac = parkedLeaving(r.bearingDeg);
        nextPosGround(ac);
        EXPECT_EQ(ac.flightState, r.state);
        EXPECT_EQ(ac.previousFlightState, parked);
    }
}

TEST_F(LeavingTest, PullOutTwoHalfSpansAheadOfTheStand) {
    LiveAircraft ac = parkedLeaving(10);
    g_stands[0].occupied = true;
    g_stands[0].occupantHexid = ac.hexid;
    nextPosGround(ac);
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_NEAR(tst_meters(tst_offsetM(0, 0), gf_posOf(ac.stream[1])), 2 * gf_nmToMeters(ac.halfWingSpan),
                1e-6);
    EXPECT_NEAR(gf_radToDeg(gf_bearingRad(tst_offsetM(0, 0), gf_posOf(ac.stream[1]))), 0, 1e-6);
    EXPECT_EQ(ac.stream[0].gs, 4);  // slow taxi speed of a Large aircraft
    // 35.8 m at 4 kt
    EXPECT_EQ(ac.stream[1].dueTick, kNow + gf_clampTicks(35.8 / 1852 / 4 * 360000));
    EXPECT_EQ(ac.leavingStand, 0);
    EXPECT_FALSE(g_stands[0].occupied);
    const std::string obj = std::to_string(ac.objectId);
    EXPECT_EQ(tst_queuedCommands(), tst_lightEvents(ac.objectId, "1101010",
                                                    {obj + " ENGINE_AUTO_START 0", obj + " THROTTLE_SET 0",
                                                     obj + " FLAPS_SET 3072"}));
    EXPECT_NE(logged().find("A1      : SWR12A   pulling out\n"), std::string::npos) << logged();
}

// Pushback: 2.5 stand radii straight back, then straight on (side unknown) or one half span to
// the side the feed showed; the aircraft never ends farther than that from the stand.
TEST_F(LeavingTest, PushbackStraightAndTurning) {
    struct Row {
        const char* name;
        uint8_t sideKnown, turnSide;
        double eastM;  // of the end point, relative to P
    } rows[] = {{"straight", 0, 0, 0}, {"turn side set: west", 1, 1, 0}, {"turn side clear: east", 1, 0, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fresh();
        LiveAircraft ac = parkedLeaving(180);
        const double span = gf_nmToMeters(ac.halfWingSpan);
        nextPosGround(ac);
        ASSERT_EQ(ac.flightState, pushing_back);
        EXPECT_EQ(ac.pushbackSide, 2);
        ASSERT_EQ(ac.stream.size(), 4u);  // front, mid, P, second side point
        const LatLon p = gf_posOf(ac.stream[2]);
        EXPECT_NEAR(tst_meters(tst_offsetM(0, 0), p), 75, 1e-6);
        EXPECT_NEAR(p.lat, tst_offsetM(-75, 0).lat, 1e-9);
        const int32_t t1 = gf_clampTicks(75.0 / 1852 / 4 * 360000);
        EXPECT_EQ(ac.stream[2].dueTick, kNow + t1);
        // The mid-sample moves: its due comes from the leg rule, 37.5 m at the slow taxi speed.
        EXPECT_EQ(ac.stream[1].dueTick, kNow + gf_clampTicks(37.5 / 1852 / 4 * 360000));
        EXPECT_EQ(ac.stream[1].stationary, 0);
        EXPECT_NEAR(ac.stream[1].lat, tst_offsetM(-37.5, 0).lat, 1e-9);
        // reverse is south: reverse + 90 degrees is west (kept aside), reverse - 90 east (appended)
        EXPECT_NEAR(ac.insertedSample.lon, tst_offsetM(-75, -span).lon, 1e-8);
        EXPECT_NEAR(ac.stream[3].lon, tst_offsetM(-75, span).lon, 1e-8);
        EXPECT_EQ(ac.insertedSample.dueTick, ac.stream[3].dueTick);

        // The mid-sample falls due: the straight part is done.
        ac.pushbackSideKnown = r.sideKnown;
        ac.pushbackTurnSide = r.turnSide;
        ac.stream.pop_front();
        ac.lat = ac.stream[0].lat;
        ac.lon = ac.stream[0].lon;
        g_tickCounter = ac.stream[0].dueTick;
        nextPosGround(ac);
        EXPECT_EQ(ac.pushbackSide, 1);
        ASSERT_EQ(ac.stream.size(), 2u);
        const LatLon end = gf_posOf(ac.stream[1]);
        const double expectedEnd = r.sideKnown ? std::hypot(75.0, span) : 75.0;
        EXPECT_NEAR(tst_meters(tst_offsetM(0, 0), end), expectedEnd, 0.01);
        if (r.sideKnown) {
            EXPECT_TRUE(gf_curveActive(ac));
            EXPECT_EQ(ac.turnAngle, 90);
            EXPECT_NEAR(end.lon, tst_offsetM(-75, r.turnSide ? -span : span).lon, 1e-8);
        } else {
            EXPECT_FALSE(gf_curveActive(ac));
            EXPECT_NEAR(end.lat, p.lat, 1e-12);
        }

        // The end point falls due: pushed back, engines started, idle, flaps 1.
        ac.stream.pop_front();
        ac.stream.push_back(tst_sample(gf_posOf(ac.stream[0]), 0, ac.stream[0].dueTick + 300, true));
        g_tickCounter = ac.stream[0].dueTick;
        nextPosGround(ac);
        EXPECT_EQ(ac.flightState, pushed_back);
        EXPECT_EQ(ac.previousFlightState, pushing_back);
        EXPECT_EQ(ac.pushbackSide, 1);
        EXPECT_EQ(ac.pushedBackMaxDist, 900);
        EXPECT_EQ(ac.throttleIndex, 0u);
        EXPECT_EQ(ac.flapsIndex, 1u);
        const auto commands = tst_queuedCommands();
        ASSERT_GE(commands.size(), 3u);
        EXPECT_EQ(commands[commands.size() - 3], std::to_string(ac.objectId) + " ENGINE_AUTO_START 0");
    }
}

TEST_F(LeavingTest, PushbackFromAStandNoStandHasDoesNothing) {
    LiveAircraft ac = parkedLeaving(180);
    ac.standId = 7;
    nextPosGround(ac);
    EXPECT_EQ(ac.flightState, parked);
    EXPECT_EQ(ac.leavingStand, 1);
    EXPECT_EQ(ac.stream.size(), 2u);
}

// ---- parking ----------------------------------------------------------------------------------

// A B738 that lands its last feed sample 10 m south of stand A1 (radius 30 m) and stops there.
class ParkingTest : public GroundMotionTest {
  protected:
    void SetUp() override {
        GroundMotionTest::SetUp();
        prepare();
    }
    void prepare() {
        addStands({{"A1", 0, 0, 30}, {"B2", 0, 200, 30}});
        g_staticParkingOn = true;
        g_currentSlot = gf_packSlot(20, 3);
    }
    LiveAircraft arriving() {
        LiveAircraft ac = taxiAc(tst_offsetM(-30, 0), 0);
        ac.stream = {tst_sample(tst_offsetM(-30, 0), 8, kNow), tst_sample(tst_offsetM(-10, 0), 3, kNow + 600),
                     tst_sample(tst_offsetM(-10, 0), 0, kNow + 900, true)};
        ac.targetHeading = 0;
        return ac;
    }
    // The stream has played out: the aircraft stands where the drive onto the stand ended.
    static void standAt(LiveAircraft& ac, LatLon p) {
        ac.lat = p.lat;
        ac.lon = p.lon;
        ac.stream.resize(1);
    }
};

TEST_F(ParkingTest, StopNearAStandDrivesOntoIt) {
    LiveAircraft ac = arriving();
    nextPosGround(ac);
    EXPECT_EQ(ac.flightState, parking);
    EXPECT_EQ(ac.previousFlightState, taxi);
    EXPECT_EQ(ac.standId, 1u);
    EXPECT_DOUBLE_EQ(ac.standLat, g_stands[0].latitude);
    ASSERT_EQ(ac.stream.size(), 3u);
    const PosSample& onStand = ac.stream[1];
    const PosSample& still = ac.stream[2];
    // 30 m from the front (the back sample after the cut) at 4 kt: 1458 ticks
    EXPECT_EQ(onStand.dueTick, gf_dueAfter(kNow, gf_clampTicks(30.0 / 1852 / 4 * 360000)));
    EXPECT_EQ(still.dueTick, onStand.dueTick + 50);
    EXPECT_EQ(onStand.gs, 4);
    EXPECT_EQ(onStand.stationary, 0);
    EXPECT_EQ(onStand.track, 0);
    ASSERT_TRUE(onStand.roll.has_value());
    EXPECT_EQ(still.gs, 0);
    EXPECT_EQ(still.stationary, 1);
    EXPECT_EQ(ac.stream[0].gs, 4);
    EXPECT_FALSE(g_stands[0].occupied);  // booked on arrival, not before
}

TEST_F(ParkingTest, NoParkingWithoutStaticParkingOrAfterLeavingAStand) {
    struct Row {
        const char* name;
        bool staticParking;
        uint32_t previous;
        uint8_t towed;
        uint32_t state;
    } rows[] = {
        {"static parking off", false, flying, 0, taxi},
        {"just pushed back", true, pushed_back, 0, taxi},
        {"towed from a stand", true, pushed_back, 1, parking},
        {"came from the runway", true, flying, 0, parking},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fresh();
        prepare();
        g_staticParkingOn = r.staticParking;
        LiveAircraft ac = arriving();
        ac.previousFlightState = r.previous;
        ac.towed = r.towed;
        nextPosGround(ac);
        EXPECT_EQ(ac.flightState, r.state);
    }
}

TEST_F(ParkingTest, DriveOntoTheStandTakesAtLeastHundredTicks) {
    LiveAircraft ac = arriving();
    ac.stream.resize(1);
    ac.stream[0].lat = g_stands[0].latitude;
    ac.stream[0].lon = g_stands[0].longitude;
    ac.extension = 3;
    ac.dueAhead = ac.dueBack = 1000;
    drive2Stand(ac, g_stands[0].position());
    ASSERT_EQ(ac.stream.size(), 3u);
    EXPECT_EQ(ac.stream[1].dueTick, kNow + 100);
    EXPECT_EQ(ac.stream[1].stationary, 1);  // already on the stand
    EXPECT_EQ(ac.stream[2].dueTick, kNow + 150);
    EXPECT_EQ(ac.extension, 0);
    EXPECT_EQ(ac.dueAhead, 3000);

    LiveAircraft empty = arriving();
    empty.stream.clear();
    drive2Stand(empty, g_stands[0].position());
    try2Park(empty, false);
    EXPECT_NE(logged().find("drive2Stand empty sz?\ntry2Park empty sz?\n"), std::string::npos) << logged();
}

TEST_F(ParkingTest, ArrivalParksShutsDownAndBooksTheStandOnce) {
    LiveAircraft ac = arriving();
    nextPosGround(ac);
    standAt(ac, tst_offsetM(1.5, 0));
    g_liveRecords.push_back(ac);
    LiveAircraft& parkedAc = g_liveRecords.back();
    lf_arriveAtStand(parkedAc);
    EXPECT_EQ(parkedAc.flightState, parked);
    EXPECT_EQ(parkedAc.previousFlightState, parking);
    EXPECT_EQ(parkedAc.parkSlot, gf_packSlot(20, 3));
    EXPECT_EQ(parkedAc.stream[0].stationary, 1);
    EXPECT_TRUE(g_stands[0].occupied);
    EXPECT_EQ(g_stands[0].occupantHexid, parkedAc.hexid);
    EXPECT_EQ(parkedAc.throttleIndex, 0u);
    const auto commands = tst_queuedCommands();
    EXPECT_NE(std::find(commands.begin(), commands.end(),
                        std::to_string(parkedAc.objectId) + " ENGINE_AUTO_SHUTDOWN 0"),
              commands.end());
    EXPECT_EQ(g_perSecondList, std::deque<uint32_t>{parkedAc.hexid});
    ASSERT_EQ(g_stands[0].options.size(), 1u);  // the stay is booked once
    EXPECT_EQ(g_stands[0].options[0].hh, uint64_t{1} << 20);
    ASSERT_NE(gf_findHexidSlot(parkedAc.hexid), nullptr);
    EXPECT_EQ(gf_findHexidSlot(parkedAc.hexid)->slot, 20);
    EXPECT_NE(logged().find("A1      : SWR12A   arrived at stand\n"), std::string::npos) << logged();

    // A newcomer arriving at the occupied stand is removed; the occupant keeps its mark.
    LiveAircraft other = arriving();
    other.hexid = 0x4B9999;
    other.callsign = "EZY11";
    other.objectId = 77;
    nextPosGround(other);
    other.standId = 1;  // claimed the stand before the occupant arrived
    other.standLat = g_stands[0].latitude;
    other.standLon = g_stands[0].longitude;
    standAt(other, tst_offsetM(0.5, 0));
    lf_arriveAtStand(other);
    EXPECT_EQ(other.lifeState, removingfromsim);
    EXPECT_EQ(other.extension, 1);
    EXPECT_EQ(other.standId, 0u);
    EXPECT_TRUE(g_stands[0].occupied);
    EXPECT_EQ(g_stands[0].occupantHexid, parkedAc.hexid);

    // The occupant leaves the simulator: the mark goes with it.
    removeAircraftFromSim(parkedAc);
    EXPECT_FALSE(g_stands[0].occupied);
}

TEST_F(ParkingTest, ArrivalFartherThanTwoMetresTaxisOn) {
    LiveAircraft ac = arriving();
    nextPosGround(ac);
    standAt(ac, tst_offsetM(-2.5, 0));
    lf_arriveAtStand(ac);
    EXPECT_EQ(ac.flightState, taxi);
    EXPECT_FALSE(g_stands[0].occupied);
    EXPECT_TRUE(g_perSecondList.empty());
}

// The stand nearest the user aircraft on the ground is never taken.
TEST_F(ParkingTest, UsersStandIsNotTaken) {
    g_userOnGround = true;
    g_userPosition.lat = g_stands[0].latitude;
    g_userPosition.lon = g_stands[0].longitude;
    LiveAircraft ac = arriving();
    nextPosGround(ac);
    EXPECT_EQ(ac.flightState, taxi);
    EXPECT_EQ(ac.standId, 0u);
    EXPECT_DOUBLE_EQ(ac.lastTryLat, tst_offsetM(-10, 0).lat);  // not tried again from there
}

// ---- throttle and attitude per sample --------------------------------------------------------

TEST_F(GroundMotionTest, TakeOffRollThrottle) {
    struct Row {
        const char* type;
        double frontKt, nextKt;
        uint32_t step;
    } rows[] = {
        {"B738", 10, 10, 0}, {"B738", 15, 10, 1}, {"B738", 10, 20, 1}, {"B738", 20, 10, 2},
        {"B738", 10, 25, 2}, {"B738", 25, 10, 4}, {"B738", 10, 30, 4}, {"EC35", 0, 0, 4},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.type << " " << r.frontKt << "/" << r.nextKt);
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        ac.category = static_cast<int32_t>(gf_aircraftCategory(r.type));
        ac.takeOffRoll = 1;
        ac.dueAhead = 5000;
        ac.stream = {tst_sample(tst_offsetM(0, 0), r.frontKt, kNow),
                     tst_sample(tst_offsetM(100, 0), r.nextKt, kNow + 500)};
        lf_groundMotion(ac);
        EXPECT_EQ(ac.throttleIndex, r.step);
        EXPECT_EQ(ac.dueAhead, 5000);  // no shrinking during the roll
    }
}

TEST_F(GroundMotionTest, TaxiSampleIdlesLevelsAndShowsSpeed) {
    struct Row {
        const char* name;
        uint32_t state;
        const char* type;
        uint32_t stateAfter, throttle;
        double airspeed;
    } rows[] = {
        {"taxi", taxi, "B738", taxi, 0, 12},
        {"rotorcraft taxi", taxi, "EC35", taxi, 4, 12},
        {"pushing back", pushing_back, "B738", pushing_back, 0, -12},
        {"parked starts taxiing", parked, "B738", taxi, 5, 12},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        ac.category = static_cast<int32_t>(gf_aircraftCategory(r.type));
        ac.flightState = r.state;
        ac.staticPitch = 0.01;
        ac.pitch = 0.2;
        ac.bank = 0.1;
        ac.dueBack = kDueClampFloor + 50;
        ac.dueAhead = 3000;
        ac.stream = {tst_sample(tst_offsetM(0, 0), 10, kNow),
                     tst_sample(tst_offsetM(100, 0), 12, kNow + 400)};
        ac.curve[kCurveE1] = ac.curve[kCurveN1] = 1;
        lf_groundMotion(ac);
        EXPECT_EQ(ac.flightState, r.stateAfter);
        EXPECT_EQ(ac.throttleIndex, r.throttle);
        EXPECT_EQ(ac.pitch, 0.01);
        EXPECT_EQ(ac.bank, 0);
        EXPECT_EQ(ac.dueBack, kDueClampFloor);
        EXPECT_EQ(ac.dueAhead, 2900);
        EXPECT_DOUBLE_EQ(ac.curveStep, 1.0 / 400);
        EXPECT_EQ(ac.nextAirspeed, r.airspeed);
    }
}

// The take-off test: from 43 kt on the roll, the rotation starts once the feed is airborne.
TEST_F(GroundMotionTest, TakeOffTestStartsTheRotation) {
    struct Row {
        const char* name;
        double frontKt, nextKt, nextVrate, nextAlt;
        uint8_t nextAirborne;
        bool rotates;
        double dAltitude;
    } rows[] = {
        {"climbing and airborne", 120, 150, 1200, 560, 1, true, (560.0 - 500) / 300},
        {"climbing, not yet airborne", 120, 150, 1200, 500, 0, true, 0.6},
        {"level, airborne, rotation speed reached", 120, 150, 0, 520, 1, true, 0.6},
        {"level, airborne, too slow", 120, 130, 0, 520, 1, false, 0},
        {"level, on the ground", 120, 150, 0, 500, 0, false, 0},
        {"below 43 kt", 42, 150, 1200, 560, 1, false, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        ac.takeOffRoll = 1;
        ac.altitude = 500;
        ac.maxClimbStep = 0.6;
        ac.rotationTicks = 200;
        PosSample next = tst_sample(tst_offsetM(300, 0), r.nextKt, kNow + 300);
        next.vrate = r.nextVrate;
        next.alt = r.nextAlt;
        next.airborne = r.nextAirborne;
        ac.stream = {tst_sample(tst_offsetM(0, 0), r.frontKt, kNow), next};
        lf_groundMotion(ac);
        EXPECT_EQ(ac.flightState, r.rotates ? take_off : taxi);
        EXPECT_EQ(ac.takeOffCounter, r.rotates ? 200 : 1);
        EXPECT_DOUBLE_EQ(ac.dAltitude, r.dAltitude);
    }
}

}  // namespace
