// Ground movement: tick counts, mid-samples, the straight rule, turn curves and rates, leaving a
// stand, the stand check, the drive onto a stand and the throttle per sample.
#include "live/ground_motion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/slots.h"
#include "live/air_motion.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion_legs.h"
#include "live/parking_slots.h"
#include "live/playback.h"
#include "stand_fixture.h"

namespace {

constexpr int32_t kNow = 100000;
constexpr int32_t kWeekTicks = 60480000;
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

// Ticks of a leg of metres at kt, as the tests expect them.
int32_t tst_ticks(double metres, double kt) {
    return static_cast<int32_t>(std::lround(metres / 1852 / kt * 360000));
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
    // An active B738 taxiing at p with its category's turn rate and slow taxi speed, no curve.
    static LiveAircraft taxiAc(LatLon p, double headingDeg, uint32_t standId = 0) {
        LiveAircraft ac = liveAc(0x4B1234, "SWR12A", "B738", standId, active, taxi);
        const CategoryMotion& m = gf_categoryMotion(ac.category);
        ac.turnRate = ac.currentTurnRate = gf_degToRad(m.turnRateDeg);
        ac.slowTaxiSpeed = m.slowTaxiSpeedKt;
        ac.previousFlightState = flying;
        ac.onGround = 1;
        ac.lat = p.lat;
        ac.lon = p.lon;
        ac.heading = ac.targetHeading = gf_degToRad(headingDeg);
        ac.dueBack = ac.dueAhead = 1000;
        lf_clearCurve(ac);
        return ac;
    }
    // Two samples: from the origin northwards over legM metres, due after legTicks.
    static void leg(LiveAircraft& ac, double frontKt, double nextKt, double legM, int32_t legTicks) {
        ac.stream = {tst_sample(tst_offsetM(0, 0), frontKt, kNow),
                     tst_sample(tst_offsetM(legM, 0), nextKt, kNow + legTicks)};
    }
};

TEST(GroundTicks, TickCountsAreClampedBeforeNarrowing) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(gf_clampTicks(kNan), 25);
    EXPECT_EQ(gf_clampTicks(-inf), 25);
    EXPECT_EQ(gf_clampTicks(100.5), 101);
    EXPECT_EQ(gf_clampTicks(inf), kWeekTicks);
    EXPECT_EQ(gf_clampTicks(3e9), kWeekTicks);
    struct Row {
        double nm, kt;
        int32_t expected;
    } rows[] = {{0.1, 10, 3600},         {0.1, 0, kWeekTicks},       {0.1, kNan, kWeekTicks},
                {0.1, -3, kWeekTicks},   {0.1, 0.001, 36000000},     {1, 0.001, kWeekTicks},
                {kNan, 10, kWeekTicks},  {0, 10, 25}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.nm << " nm at " << r.kt << " kt");
        EXPECT_EQ(gf_travelTicks(r.nm, r.kt), r.expected);
    }
}

TEST(GroundMidSample, MeansOfFrontAndNext) {
    struct Row {
        const char* name;
        LatLon front, next;
        double frontGs, nextGs, frontAlt, nextAlt;
        int32_t nextDue;
        bool frontStationary;
        LatLon mid;
        double gs, alt;
        int32_t due;
        uint8_t airborne, stationary;
    } rows[] = {
        {"plain", {47, 8}, {47.002, 8.004}, 10, 20, 40, 50, 1600, false, {47.001, 8.002}, 15, 45, 1300, 1, 0},
        {"odd due, below zero", {47, 8}, {47, 8.001}, 0, 5, -20, 10, 1001, false, {47, 8.0005}, 2.5, 0, 1001, 0, 0},
        {"180 E", {10, 179.9998}, {10, -179.9996}, 6, 6, 0, 0, 1100, false, {10, -179.9999}, 6, 0, 1050, 0, 0},
        {"out of a stop", {47, 8}, {47.001, 8}, 0, 8, 0, 0, 2000, true, {47.0005, 8}, 4, 0, 1500, 0, 0},
        {"stop held", {47, 8}, {47, 8}, 0, 8, 0, 0, 2000, true, {47, 8}, 4, 0, 1500, 0, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac;
        PosSample f = tst_sample(r.front, r.frontGs, 1000, r.frontStationary);
        f.alt = r.frontAlt;
        f.track = 33;
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
        EXPECT_EQ(m.stationary, r.stationary);
        EXPECT_EQ(m.track, 33);  // the other fields are the front's
        EXPECT_EQ(ac.stream[2].dueTick, r.nextDue);
    }
}

// A long slow leg before a sharp turn is split, a turn of 3..160 degrees becomes a curve,
// anything else goes straight.
TEST_F(GroundMotionTest, TaxiLegsByTurn) {
    struct Row { const char* name; double turnDeg, frontKt; int32_t legTicks; size_t size; bool curve; } rows[] = {
        {"sharp, long and slow: split", 90, 10, 700, 4, false},
        {"sharp but short in time: curve", 90, 10, 500, 2, true},
        {"sharp but fast: curve", 90, 44, 700, 2, true},
        {"gentle: curve", 30, 10, 700, 2, true},
        {"tiny: straight", 2, 10, 700, 3, false},
        {"reversal, short in time: straight", 170, 10, 500, 3, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const LatLon b = tst_offsetM(200, 0);
        const LatLon c = gf_destinationPoint(b, gf_degToRad(r.turnDeg), gf_nmToFeet(gf_metersToNm(60)));
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        leg(ac, r.frontKt, r.frontKt, 200, r.legTicks);
        ac.stream.push_back(tst_sample(c, r.frontKt, kNow + r.legTicks + 300));
        nextPosGround(ac);
        EXPECT_EQ(ac.stream.size(), r.size);
        EXPECT_EQ(gf_curveActive(ac), r.curve);
        EXPECT_NEAR(ac.turnAngle, r.curve ? r.turnDeg : 0, 1e-6);
    }
}

// The stand check of a parked aircraft: three steps of 3 m away from where it first stood, half a
// span in all, mean leaving; so does more than a span at once. A step back starts the count anew.
TEST_F(GroundMotionTest, StandCheckCountsStepsAway) {
    struct Row {
        const char* name;
        const char* type;
        std::vector<double> metres;  // distances from the stand of the feed samples
        int leavesAt;                // index of the first sample that leaves; -1: none
    } rows[] = {
        {"three steps, half a span", "B738", {0, 3.2, 6.4, 9.6, 12.8}, 3},
        {"two steps", "B738", {0, 5, 10}, -1},
        {"three steps, less than half a span", "B744", {0, 3.2, 6.4, 9.6}, -1},
        {"more than a span at once", "B738", {0, 18.5}, 1},
        {"a step back starts anew", "B738", {0, 3.2, 6.4, 2, 9.6, 12.8, 16}, 6},
        {"stands, then moves off", "B738", {1, 1, 1, 4.2, 7.4, 10.6}, 5},
        {"beyond 170 m", "B738", {0, 171}, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fresh();
        tst_addStands({{"A1", 0, 0, 40}});
        g_currentSlot = gf_packSlot(20, 3);
        LiveAircraft ac = liveAc(0x4B1234, "SWR12", r.type, 1);
        ac.previousFlightState = parking;
        int leftAt = -1;
        for (size_t i = 0; i < r.metres.size(); ++i) {
            PosSample s = tst_sample(tst_offsetM(r.metres[i], 0), 0, kNow);
            if (lf_parkedSample(ac, s) && leftAt < 0) leftAt = static_cast<int>(i);
        }
        EXPECT_EQ(leftAt, r.leavesAt);
        EXPECT_EQ(ac.leavingStand, r.leavesAt >= 0 ? 1 : 0);
        EXPECT_EQ(ac.flightState, parked);  // the pull-out or pushback moves it off
        EXPECT_EQ(g_stands[0].options.size(), r.leavesAt >= 0 ? 1u : 0u) << "the stay is booked on leaving";
    }
}

// An aircraft that stops 10 m south of stand A1 (radius 30 m) drives onto it: from the front (the
// stream cut back to it) at the slow taxi speed, standing still 50 ticks later; the stand is
// taken on arrival, not before.
TEST_F(GroundMotionTest, StopNearAStandDrivesOntoIt) {
    struct Row {
        const char* name;
        bool staticParking, userOnStand;
        uint32_t previous;
        uint8_t towed;
        uint32_t state;
    } rows[] = {
        {"came from the runway", true, false, flying, 0, parking},
        {"static parking off", false, false, flying, 0, taxi},
        {"the user's stand", true, true, flying, 0, taxi},
        {"just pushed back", true, false, pushed_back, 0, taxi},
        {"towed from a stand", true, false, pushed_back, 1, parking},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fresh();
        tst_addStands({{"A1", 0, 0, 30}, {"B2", 0, 200, 30}});
        g_staticParkingOn = r.staticParking;
        g_userOnGround = r.userOnStand;
        g_userPosition.lat = kStandOrigin.lat;
        g_userPosition.lon = kStandOrigin.lon;
        LiveAircraft ac = taxiAc(tst_offsetM(-30, 0), 0);
        ac.stream = {tst_sample(tst_offsetM(-30, 0), 8, kNow), tst_sample(tst_offsetM(-10, 0), 3, kNow + 600),
                     tst_sample(tst_offsetM(-10, 0), 0, kNow + 900, true)};
        ac.previousFlightState = r.previous;
        ac.towed = r.towed;
        nextPosGround(ac);
        EXPECT_EQ(ac.flightState, r.state);
        if (r.state != parking) {
            EXPECT_EQ(ac.standId, 0u);
            continue;
        }
        EXPECT_EQ(ac.standId, 1u);
        EXPECT_DOUBLE_EQ(ac.standLat, g_stands[0].latitude);
        ASSERT_EQ(ac.stream.size(), 3u);
        EXPECT_EQ(ac.stream[1].dueTick, kNow + tst_ticks(30, 4));
        EXPECT_EQ(ac.stream[2].dueTick, ac.stream[1].dueTick + 50);
        EXPECT_EQ(ac.stream[1].gs, 4);
        EXPECT_EQ(ac.stream[1].stationary, 0);
        EXPECT_EQ(ac.stream[2].gs, 0);
        EXPECT_EQ(ac.stream[2].stationary, 1);
        EXPECT_FALSE(g_stands[0].occupied);
    }
}

TEST_F(GroundMotionTest, ThrottleAndAttitudePerSample) {
    struct Row {
        const char* type;
        uint32_t state;
        uint8_t takeOffRoll;
        double frontKt, nextKt;
        uint32_t stateAfter, throttle;
        double airspeed;
    } rows[] = {
        {"B738", taxi, 1, 10, 10, taxi, 0, 10},  {"B738", taxi, 1, 15, 10, taxi, 1, 10},
        {"B738", taxi, 1, 10, 20, taxi, 1, 20},  {"B738", taxi, 1, 20, 10, taxi, 2, 10},
        {"B738", taxi, 1, 10, 25, taxi, 2, 25},  {"B738", taxi, 1, 25, 10, taxi, 4, 10},
        {"B738", taxi, 1, 10, 30, taxi, 4, 30},  {"EC35", taxi, 1, 0, 0, taxi, 4, 0},
        {"B738", taxi, 0, 10, 12, taxi, 0, 12},  {"EC35", taxi, 0, 10, 12, taxi, 4, 12},
        {"B738", pushing_back, 0, 10, 12, pushing_back, 0, -12},
        {"B738", parked, 0, 10, 12, taxi, 5, 12},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.type << " " << r.state << " " << r.frontKt << "/" << r.nextKt);
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        ac.category = static_cast<int32_t>(gf_aircraftCategory(r.type));
        ac.flightState = r.state;
        ac.takeOffRoll = r.takeOffRoll;
        ac.throttleIndex = 5;
        ac.staticPitch = 0.01;
        ac.pitch = 0.2;
        ac.bank = 0.1;
        ac.dueBack = kDueClampFloor + 50;
        ac.dueAhead = 3000;
        leg(ac, r.frontKt, r.nextKt, 100, 400);
        ac.curve[kCurveE1] = ac.curve[kCurveN1] = 1;
        lf_groundMotion(ac);
        EXPECT_EQ(ac.flightState, r.stateAfter);
        EXPECT_EQ(ac.throttleIndex, r.throttle);
        EXPECT_EQ(ac.pitch, 0.01);
        EXPECT_EQ(ac.bank, 0);
        EXPECT_EQ(ac.dueBack, r.takeOffRoll ? kDueClampFloor + 50 : kDueClampFloor);  // no shrinking on the roll
        EXPECT_EQ(ac.dueAhead, r.takeOffRoll ? 3000 : 2900);
        EXPECT_DOUBLE_EQ(ac.curveStep, 1.0 / 400);
        EXPECT_EQ(ac.nextAirspeed, r.airspeed);
    }
}

}  // namespace
