#include "live/ground_motion.h"

#include <cmath>
#include <limits>
#include <tuple>

#include "airports/park_airports.h"
#include "airports/stand_options.h"
#include "core/slots.h"
#include "live/air_motion.h"
#include "live/ground_motion_legs.h"
#include "live/parking_conflicts.h"
#include "live/parking_slots.h"
#include "live/playback.h"
#include "stand_fixture.h"
#include "support/sim_commands.h"

namespace {

constexpr int32_t kNow = 100000;
constexpr int32_t kWeekTicks = 60480000;
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

PosSample tst_sample(LatLon p, double gs, int32_t due, bool stationary = false) {
    return {.lat = p.lat, .lon = p.lon, .gs = gs, .dueTick = due, .stationary = uint8_t{stationary}};
}

int32_t tst_ticks(double metres, double kt) {
    return static_cast<int32_t>(std::lround(metres / 1852 / kt * 360000));
}

class GroundMotionTest : public StandTest {
  protected:
    // An active B738 taxiing at p with its category's turn rate and slow taxi speed, no curve; now
    // is tick kNow.
    static LiveAircraft taxiAc(LatLon p, double headingDeg, uint32_t standId = 0) {
        g_tickCounter = kNow;
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
    // Parked on A1 (the case's only stand) and about to leave it, standing on its first sample
    // while the feed's next one lies legM metres ahead (behind when negative).
    LiveAircraft leavingStandA1(double legM) {
        freshCase();
        tst_addStands({{"A1", 0, 0, 30}});
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0, 1);
        ac.flightState = parked;
        ac.leavingStand = 1;
        leg(ac, 0, 3, legM, 1500);
        ac.stream[0].stationary = 1;
        return ac;
    }
};

// Tick counts are held between 25 and one week (NaN the least, a speed of 0 or NaN the most).
TEST(GroundTicks, TickCountsAreClampedBeforeNarrowing) {
    const double inf = std::numeric_limits<double>::infinity();
    for (const double v : {kNan, -inf}) EXPECT_EQ(gf_clampTicks(v), 25);
    for (const double v : {inf, 3e9}) EXPECT_EQ(gf_clampTicks(v), kWeekTicks);
    EXPECT_EQ(gf_clampTicks(100.5), 101);
    EXPECT_EQ(gf_travelTicks(0.1, 10), 3600);
    EXPECT_EQ(gf_travelTicks(0.1, 0.001), 36000000);
    EXPECT_EQ(gf_travelTicks(0, 10), 25);
    for (const double kt : {0.0, kNan, -3.0, 0.001}) EXPECT_EQ(gf_travelTicks(1, kt), kWeekTicks) << kt;
    EXPECT_EQ(gf_travelTicks(kNan, 10), kWeekTicks);
}

// Headings differ the short way round; a degree of longitude keeps a length near the poles.
TEST(GroundTicks, HeadingErrorAndLongitudeMetresStayInRange) {
    EXPECT_NEAR(gf_headingErrorDeg(gf_degToRad(359), gf_degToRad(1)), 2, 1e-9);
    EXPECT_NEAR(gf_headingErrorDeg(gf_degToRad(1), gf_degToRad(359)), 2, 1e-9);
    EXPECT_NEAR(gf_shortLonDiff(179.5, -179.5), 1, 1e-9);
    EXPECT_NEAR(gf_shortLonDiff(-179.5, 179.5), -1, 1e-9);
    EXPECT_NEAR(gf_metersPerDegreeLon(60), kMetersPerDegree / 2, 1e-6);
    for (const double lat : {90.0, -90.0, 450.0})
        EXPECT_GE(gf_metersPerDegreeLon(lat), kMetersPerDegree * 1e-6) << lat;
}

// Half way round the globe counts as east; positions are the same within 1e-8 degrees; a leg's
// due gap is at least 25 ticks, also across the counter's wrap.
TEST(GroundTicks, LongitudeHalfWaySamePositionAndDueGaps) {
    EXPECT_NEAR(gf_shortLonDiff(10, -170), 180, 1e-9);
    EXPECT_NEAR(gf_shortLonDiff(-170, 10), 180, 1e-9);
    struct Same {
        double dLat, dLon;
        bool same;
    } sames[] = {{0, 0, true}, {0.5e-8, -0.5e-8, true}, {2e-8, 0, false}, {0, -2e-8, false}};
    for (const Same& r : sames) {
        SCOPED_TRACE(::testing::Message() << r.dLat << " " << r.dLon);
        EXPECT_EQ(gf_samePosition(47, 8, 47 + r.dLat, 8 + r.dLon), r.same);
    }
    struct Gap {
        int32_t from, to, gap;
    } gaps[] = {{1000, 2000, 1000}, {1000, 1010, 25}, {1000, 900, 25}, {2147483000, -2147483296, 1000}};
    for (const Gap& r : gaps) {
        SCOPED_TRACE(::testing::Message() << r.from << " -> " << r.to);
        PosSample a, b;
        a.dueTick = r.from;
        b.dueTick = r.to;
        EXPECT_EQ(gf_dueGap(a, b), r.gap);
        EXPECT_EQ(gf_dueAfter(r.from, r.gap), r.gap == 25 ? r.from + 25 : r.to);
    }
}

// A turn curve from its start through the control point's pull to its end: positions and the
// tangent's heading along it, parameters outside its span refused, no curve without a control
// point or a span.
TEST(GroundTicks, CurvePointsAndHeadings) {
    std::array<double, 8> c{};
    c[kCurveStartLat] = 47, c[kCurveStartLon] = 8, c[kCurveStartParam] = 2, c[kCurveEndParam] = 4;
    c[kCurveN1] = 100, c[kCurveE1] = 0, c[kCurveN2] = 100, c[kCurveE2] = 100;
    const double eastDeg = 1 / gf_metersPerDegreeLon(47);
    struct Row {
        double t;
        bool ok;
        double northM, eastM, headingDeg;
    } rows[] = {{2, true, 0, 0, 0},      {3, true, 75, 25, 45},
                {4, true, 100, 100, 90}, {3.5, true, 93.75, 56.25, 71.565},
                {1.99, false, 0, 0, 0},  {4.01, false, 0, 0, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.t);
        LatLon p{0, 0};
        double h = -1;
        ASSERT_EQ(gf_sampleCurve(c, r.t, p, h), r.ok);
        if (!r.ok) continue;
        EXPECT_NEAR(p.lat, 47 + r.northM / kMetersPerDegree, 1e-9);
        EXPECT_NEAR(p.lon, 8 + r.eastM * eastDeg, 1e-9);
        EXPECT_NEAR(gf_radToDeg(h), r.headingDeg, 1e-3);
    }
    // Pulled west, the heading wraps into 0..2 pi.
    std::array<double, 8> west = c;
    west[kCurveN1] = 0, west[kCurveE1] = -100;
    LatLon p{0, 0};
    double h = 0;
    ASSERT_TRUE(gf_sampleCurve(west, 2, p, h));
    EXPECT_NEAR(gf_radToDeg(h), 270, 1e-9);
    for (const int index : {kCurveE1, kCurveN1}) {
        std::array<double, 8> none = c;
        none[index] = std::numeric_limits<double>::quiet_NaN();
        EXPECT_FALSE(gf_sampleCurve(none, 3, p, h)) << index;
    }
    std::array<double, 8> flat = c;
    flat[kCurveEndParam] = 2;
    EXPECT_FALSE(gf_sampleCurve(flat, 2, p, h));
}

// A straight leg of 100 m or more between speeds more than 5 kt apart gets a sample in its middle.
TEST_F(GroundMotionTest, StraightLegSplitBetweenSpeedsFarApart) {
    struct Row {
        double frontKt, nextKt, legM;
        size_t size;
    } rows[] = {{10, 20, 150, 3}, {20, 10, 150, 3}, {10, 15, 150, 2}, {0, 6, 120, 3},    {6, 0, 120, 3},
                {5, 0, 120, 2},   {0, 0, 500, 2},   {10, 20, 99, 2},  {kNan, 20, 150, 2}};
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.frontKt << " -> " << r.nextKt << " kt, " << r.legM << " m");
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        leg(ac, r.frontKt, r.nextKt, r.legM, 3000);
        lf_straightStep(ac);
        EXPECT_EQ(ac.stream.size(), r.size);
    }
}

// Outside the rolls a leg's reported speed is held between the speed its positions show over
// the due ticks and a taxi pace (15 kt): a speed derived from barely moving positions is not
// flown slower, one that froze is not flown faster.
TEST_F(GroundMotionTest, LegSpeedKeepsToThePositions) {
    struct Row {
        const char* name;
        double reportedKt, metres;  // over 1000 ticks
        uint8_t takeOffRoll;
        int32_t ticks;
    } rows[] = {
        {"0.5 kt at 5.8 kt: the positions' pace", 0.5, 30, 0, 1000},
        {"a frozen 468 kt at 20 kt: the positions' pace", 468, 103, 0, 1000},
        {"a frozen 468 kt where they barely move: a taxi pace", 468, 10.3, 0, tst_ticks(10.3, 15)},
        {"16 kt at 18 kt: the reported speed", 16, 92.6, 0, tst_ticks(92.6, 16)},
        {"the take-off roll: the reported speed", 100, 257, 1, tst_ticks(257, 100)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        ac.takeOffRoll = r.takeOffRoll;
        leg(ac, r.reportedKt, r.reportedKt, r.metres, 1000);
        lf_groundDueTick(ac);
        EXPECT_NEAR(ac.stream[1].dueTick - kNow, r.ticks, 1);
    }
}

// A parked B738 on stand A1 (radius 30 m, heading north) whose feed goes 40 m south pushes back:
// 2.5 radii straight back, then straight on when the side is unknown, else along a curve to one
// half span on the side the feed showed; then pushed back, engines started, idle, flaps 1.
TEST_F(GroundMotionTest, PushbackStraightBackThenToTheSide) {
    const double span = 17.9;
    for (const double side : {0.0, -span, span}) {
        SCOPED_TRACE(side);
        LiveAircraft ac = leavingStandA1(-40);
        nextPosGround(ac);
        ASSERT_EQ(ac.flightState, pushing_back);
        ASSERT_EQ(ac.stream.size(), 4u);  // front, moving mid-sample, 75 m back, one side point
        EXPECT_NEAR(ac.stream[2].lat, tst_offsetM(-75, 0).lat, 1e-9);
        EXPECT_EQ(ac.stream[2].dueTick, kNow + tst_ticks(75, 4));
        EXPECT_EQ(ac.stream[1].dueTick, kNow + tst_ticks(37.5, 4));
        ac.pushbackSideKnown = side != 0;
        ac.pushbackTurnSide = side < 0;
        const auto nextFallsDue = [&ac] {
            ac.stream.pop_front();
            ac.lat = ac.stream[0].lat;
            ac.lon = ac.stream[0].lon;
            g_tickCounter = ac.stream[0].dueTick;
            nextPosGround(ac);
        };
        nextFallsDue();  // the mid-sample: the straight part is done
        ASSERT_EQ(ac.stream.size(), 2u);
        EXPECT_EQ(gf_curveActive(ac), side != 0);
        EXPECT_NEAR(ac.stream[1].lon, tst_offsetM(-75, side).lon, 1e-8);
        ac.stream.push_back(tst_sample(gf_posOf(ac.stream[1]), 0, ac.stream[1].dueTick + 300, true));
        ac.extension = 2;  // the stream ran dry during the pushback
        nextFallsDue();
        EXPECT_EQ(ac.flightState, pushed_back);
        EXPECT_EQ(std::make_pair(ac.extension, ac.leavingStand), std::make_pair(0, uint8_t{0}));
        EXPECT_EQ(ac.throttleIndex, 0u);
        EXPECT_EQ(ac.flapsIndex, 1u);
    }
}

// The stand check of a parked aircraft: three steps of 3 m away from where it first stood, half a
// span in all, mean leaving; a step back starts the count anew. Positions that scatter far and come
// back, even beyond the stand's 170 m, do not.
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
        {"scatter of a parked aircraft", "B738", {0, 38, 25, 61, 62, 71, 16, 18.5}, -1},
        {"a step back starts anew", "B738", {0, 3.2, 6.4, 2, 9.6, 12.8, 16}, 6},
        {"stands, then moves off", "B738", {1, 1, 1, 4.2, 7.4, 10.6}, 5},
        {"beyond 170 m, then on away", "B738", {0, 171, 175, 179}, 3},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        freshCase();
        tst_addStands({{"A1", 0, 0, 40}});
        g_currentSlot = gf_packSlot(20, 3);
        LiveAircraft ac = liveAc(0x4B1234, "SWR12", r.type, 1);
        ac.previousFlightState = parking;
        int leftAt = -1;
        for (size_t i = 0; i < r.metres.size(); ++i) {
            // Reports 20 s apart: none moves faster than an aircraft leaving its stand can.
            PosSample s = tst_sample(tst_offsetM(r.metres[i], 0), 0, kNow + static_cast<int32_t>(i) * 2000);
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
        int32_t extension;
        double nextKt = 3;  // of the sample before the stop
    } rows[] = {
        {"came from the runway", true, false, flying, 0, parking, 0},
        {"the stream's extension ran out by the stand", true, false, flying, 0, parking, 2},
        {"static parking off", false, false, flying, 0, taxi, 0},
        {"the user's stand", true, true, flying, 0, taxi, 0},
        {"just pushed back", true, false, pushed_back, 0, taxi, 0},
        {"just pulled out", true, false, parked, 0, taxi, 0},
        {"towed from a stand", true, false, pushed_back, 1, parking, 0},
        {"rolling at 5 kt before the stop", true, false, flying, 0, parking, 0, 5},
        {"still rolling at 6 kt before the stop", true, false, flying, 0, taxi, 0, 6},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        freshCase();
        tst_addStands({{"A1", 0, 0, 30}, {"B2", 0, 200, 30}});
        g_staticParkingOn = r.staticParking;
        g_userOnGround = r.userOnStand;
        g_userPosition.lat = kStandOrigin.lat;
        g_userPosition.lon = kStandOrigin.lon;
        LiveAircraft ac = taxiAc(tst_offsetM(-30, 0), 0);
        ac.stream = {tst_sample(tst_offsetM(-30, 0), 8, kNow),
                     tst_sample(tst_offsetM(-10, 0), r.nextKt, kNow + 600),
                     tst_sample(tst_offsetM(-10, 0), 0, kNow + 900, true)};
        ac.previousFlightState = r.previous;
        ac.towed = r.towed;
        ac.extension = r.extension;
        nextPosGround(ac);
        EXPECT_EQ(ac.flightState, r.state);
        if (r.state != parking) {
            EXPECT_EQ(ac.standId, 0u);
            continue;
        }
        EXPECT_EQ(ac.standId, 1u);
        ASSERT_EQ(ac.stream.size(), 3u);
        const PosSample &onStand = ac.stream[1], &still = ac.stream[2];
        EXPECT_EQ(std::make_tuple(onStand.dueTick, onStand.gs, onStand.stationary),
                  std::make_tuple(kNow + tst_ticks(30, 4), 4.0, uint8_t{0}));
        EXPECT_EQ(std::make_tuple(still.dueTick, still.gs, still.stationary),
                  std::make_tuple(onStand.dueTick + 50, 0.0, uint8_t{1}));
        EXPECT_FALSE(g_stands[0].occupied);
        EXPECT_EQ(ac.extension, 0);
        EXPECT_EQ(ac.dueAhead, r.extension ? 3000 : 1000) << "an ended extension's clamps are reset";
        // On the stand with its stream run dry, it arrives, takes the stand and adds the half-hour
        // to the stay learned there earlier today.
        g_currentSlot = gf_packSlot(20, 3);
        const uint64_t before = uint64_t{1} << 10;
        g_stands[0].options = {StandOption("SWR12A", "", "SWR", "B738", ac.regcode, before, 1, 3, 0, 1)};
        ac.lat = g_stands[0].latitude, ac.lon = g_stands[0].longitude;
        ac.stream.resize(1);
        lf_extendStream(ac);
        EXPECT_EQ(ac.flightState, parked);
        EXPECT_TRUE(g_stands[0].occupied);
        ASSERT_EQ(g_stands[0].options.size(), 1u);
        EXPECT_EQ(g_stands[0].options[0].hh, before | uint64_t{1} << 20);
        const HexidSlot* kept = gf_findHexidSlot(ac.hexid);
        EXPECT_EQ(kept ? kept->slot : -1, 20);
    }
}

// A parked aircraft whose feed goes on ahead pulls out and lets go of its stand at once (the mark
// and its stand id), so that the stand's next occupant is seen; one pushed back keeps both until
// it taxis away.
TEST_F(GroundMotionTest, PullOutLetsGoOfTheStandPushbackKeepsIt) {
    for (const double feedM : {40.0, -40.0}) {
        SCOPED_TRACE(feedM);
        LiveAircraft ac = leavingStandA1(feedM);
        ac.cargoStand = 1;
        ASSERT_TRUE(gf_takeStand(ac));
        ac.extension = 1;  // its parked extension ran
        nextPosGround(ac);
        const bool pulledOut = feedM > 0;
        if (pulledOut) EXPECT_EQ(ac.extension, 0) << "the pull-out follows the feed again";
        EXPECT_EQ(std::make_pair(ac.dueBack, ac.dueAhead), std::make_pair(3000, 3000))
            << "the clamps of a taxiing aircraft";
        EXPECT_EQ(ac.flightState, pulledOut ? taxi : pushing_back);
        EXPECT_EQ(ac.standId, pulledOut ? 0u : 1u);
        EXPECT_EQ(ac.cargoStand, pulledOut ? 0u : 1u);
        EXPECT_EQ(g_stands[0].occupied, !pulledOut);
        // Pulling out it is ready to taxi at once: engines started, idle, flaps 1.
        const std::vector<std::string> sent = tst_queuedCommands();
        const auto has = [&](const std::string& what) {
            return std::any_of(sent.begin(), sent.end(),
                               [&](const std::string& c) { return c.ends_with(what); });
        };
        EXPECT_EQ(has("ENGINE_AUTO_START 0") && has("FLAPS_SET 3072"), pulledOut);
        // Either way it moves off with nav, beacon, taxi and logo lights.
        const std::vector<std::string> lights = tst_lightEvents(ac.objectId, "1101010");
        EXPECT_NE(std::search(sent.begin(), sent.end(), lights.begin(), lights.end()), sent.end());
    }
}

// A turn curve runs from where the aircraft is through the next sample's pull to the one after,
// which it takes over as the next sample; a stop there is reached at the mean of the two speeds
// before it, a moving sample keeps its own.
TEST_F(GroundMotionTest, TurnCurveFromTheAircraftThroughTheNextSample) {
    struct Row {
        double endKt, endKtAfter;
    } rows[] = {{0, 15}, {7, 7}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.endKt);
        LiveAircraft ac = taxiAc(tst_offsetM(-10, 5), 0);
        ac.stream = {tst_sample(tst_offsetM(0, 0), 10, kNow), tst_sample(tst_offsetM(50, 0), 20, kNow + 600),
                     tst_sample(tst_offsetM(50, 50), r.endKt, kNow + 1200)};
        lf_buildTurnCurve(ac);
        ASSERT_EQ(ac.stream.size(), 2u);
        EXPECT_EQ(ac.stream[1].gs, r.endKtAfter);
        EXPECT_EQ(ac.stream[1].dueTick, kNow + 1200);
        EXPECT_EQ(ac.curveProgress, 0);
        const LatLon from = tst_offsetM(-10, 5);
        EXPECT_EQ(std::make_pair(ac.curve[kCurveStartLat], ac.curve[kCurveStartLon]),
                  std::make_pair(from.lat, from.lon));
        EXPECT_EQ(std::make_pair(ac.curve[kCurveStartParam], ac.curve[kCurveEndParam]),
                  std::make_pair(0.0, 1.0));
        EXPECT_NEAR(ac.curve[kCurveN1], 60, 0.01);
        EXPECT_NEAR(ac.curve[kCurveE1], -5, 0.01);
        EXPECT_NEAR(ac.curve[kCurveN2], 60, 0.01);
        EXPECT_NEAR(ac.curve[kCurveE2], 45, 0.01);
    }
}

// Arriving on its stand the aircraft parks: the stand is taken, the engines go off, and a cargo
// aircraft that was not given a cargo stand but stands on one clears the stand's cargo mark for
// the learned file.
TEST_F(GroundMotionTest, ArrivalParksAndACargoAircraftClearsTheCargoMark) {
    struct Row {
        uint8_t isCargo, cargoStand;
        bool standCargo, cleared;
    };
    const Row rows[] = {{1, 0, true, true}, {1, 1, true, false}, {0, 0, true, false}, {1, 0, false, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << int{r.isCargo} << int{r.cargoStand} << r.standCargo);
        freshCase();
        gf_setParkSite(site_);
        tst_addStands({{"A1", 0, 0, 30, r.standCargo}});
        LiveAircraft ac = liveAc(0x4B1234, "SWR12A", "B738", 1, active, parking);
        ac.isCargo = r.isCargo, ac.cargoStand = r.cargoStand;
        ac.stream = {tst_sample(tst_offsetM(0, 0), 0, kNow)};
        const int32_t updates = g_parkFileUpdates;
        lf_extendStream(ac);
        EXPECT_EQ(ac.flightState, parked);
        EXPECT_TRUE(g_stands[0].occupied);
        EXPECT_EQ(g_stands[0].cargo, r.standCargo && !r.cleared);
        EXPECT_EQ(g_stands[0].cargo_change, r.cleared);
        if (r.cleared) EXPECT_GT(g_parkFileUpdates, updates);
        EXPECT_EQ(gf_capturedLog().find("cargo attribute set to false") != std::string::npos, r.cleared)
            << gf_capturedLog();
        const std::vector<std::string> sent = tst_queuedCommands();
        EXPECT_NE(std::find_if(sent.begin(), sent.end(),
                               [](const std::string& c) { return c.ends_with("ENGINE_AUTO_SHUTDOWN 0"); }),
                  sent.end());
    }
}

// A straight leg of 100 m or more whose speed changes by more than 5 kt gets a sample half way;
// not while an extension runs on the last two samples.
TEST_F(GroundMotionTest, AStraightLegWhoseSpeedChangesGetsAMidSample) {
    const struct Row {
        double frontKt, nextKt, legM;
        int32_t extension;
        bool midSample;
    } rows[] = {{10, 30, 400, 0, true}, {10, 30, 400, 2, false}, {10, 15, 400, 0, false},
                {10, 16, 400, 0, true}, {16, 10, 400, 0, true},  {0, 6, 400, 0, true},
                {10, 30, 101, 0, true}, {10, 30, 99, 0, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.frontKt << " " << r.nextKt << " " << r.legM << " " << r.extension);
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        leg(ac, r.frontKt, r.nextKt, r.legM, 1500);
        ac.extension = r.extension;
        nextPosGround(ac);
        ASSERT_EQ(ac.stream.size(), r.midSample ? 3u : 2u);
        if (r.midSample) EXPECT_NEAR(ac.stream[1].lat, tst_offsetM(r.legM / 2, 0).lat, 1e-6);
    }
}

// Down at an elevated park airport's height near it, a mid-sample is on the ground; farther away
// (30 nm) the height above sea level decides.
TEST_F(GroundMotionTest, MidSampleOnTheGroundAtAnElevatedField) {
    for (auto [awayNm, alt, airborne] : {std::tuple{0.0, 1416.0, 0}, {0.0, 1600.0, 1}, {30.0, 1416.0, 1}}) {
        SCOPED_TRACE(testing::Message() << awayNm << " " << alt);
        gf_clearParkAirport();
        gf_setParkAirportSet(true);
        gf_setParkAirportElevation(1416);
        const LatLon park = tst_offsetM(awayNm * 1852, 0);
        gf_setParkAirportPositionSource([park] { return std::optional<LatLon>(park); });
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        leg(ac, 10, 30, 400, 1500);
        for (PosSample& s : ac.stream) s.alt = alt;
        lf_insertMidSample(ac);
        ASSERT_EQ(ac.stream.size(), 3u);
        EXPECT_EQ(ac.stream[1].airborne, airborne);
    }
}

// Once the feed climbs away the take-off roll rotates. The climb step is the feed's, bounded by
// the category's step even when the rotation comes late; with a sample still level the rotation
// waits for the rotation speed, or for the feed to leave the ground.
TEST_F(GroundMotionTest, TakeOffRotatesWithABoundedClimbStep) {
    struct Row {
        const char* what;
        double gsKt, nextAltFt, nextVrateFpm;
        bool nextAirborne;
        double dAltitude;  // feet per tick; -1: no rotation yet
    } rows[] = {
        {"late rotation: 3500 ft in 14 s", 160, 3500, 3000, true, 2},
        {"climbing 700 ft in 14 s", 160, 700, 3000, true, 0.5},
        {"level, at rotation speed, airborne", 200, 0, 0, true, 2},
        {"level, below rotation speed", 100, 0, 0, true, -1},
        {"level, still on the ground", 200, 0, 0, false, -1},
        {"climbing, still on the ground", 160, 300, 3000, false, 2},
        {"below 43 kt", 42, 700, 3000, true, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        ac.takeOffRoll = 1;
        ac.maxClimbStep = 2;
        ac.dAltitude = -1;
        leg(ac, r.gsKt, r.gsKt, 700, 1400);
        PosSample& next = ac.stream[1];
        next.alt = r.nextAltFt, next.vrate = r.nextVrateFpm, next.airborne = r.nextAirborne ? 1 : 0;
        lf_groundMotion(ac);
        EXPECT_EQ(ac.flightState, r.dAltitude < 0 ? taxi : take_off);
        EXPECT_DOUBLE_EQ(ac.dAltitude, r.dAltitude);
    }
}

// The take-off roll's throttle steps by the front's and next sample's speeds; taxiing idles (a
// rotorcraft at step 4); the attitude levels and the clamps shrink except on the roll.
TEST_F(GroundMotionTest, ThrottleAndAttitudePerSample) {
    struct Row {
        const char* type;
        uint32_t state, takeOffRoll;
        double frontKt, nextKt;
        uint32_t throttle;
    } rows[] = {
        {"B738", taxi, 1, 10, 10, 0}, {"B738", taxi, 1, 15, 10, 1},         {"B738", taxi, 1, 10, 20, 1},
        {"B738", taxi, 1, 20, 10, 2}, {"B738", taxi, 1, 10, 25, 2},         {"B738", taxi, 1, 25, 10, 4},
        {"B738", taxi, 1, 10, 30, 4}, {"EC35", taxi, 1, 0, 0, 4},           {"B738", taxi, 0, 10, 12, 0},
        {"EC35", taxi, 0, 10, 12, 4}, {"B738", pushing_back, 0, 10, 12, 0}, {"B738", parked, 0, 10, 12, 5},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.type << " " << r.state << " " << r.frontKt << "/" << r.nextKt);
        LiveAircraft ac = taxiAc(tst_offsetM(0, 0), 0);
        ac.category = static_cast<int32_t>(gf_aircraftCategory(r.type));
        ac.flightState = r.state;
        ac.takeOffRoll = static_cast<uint8_t>(r.takeOffRoll);
        ac.throttleIndex = 5;
        ac.staticPitch = 0.01;
        ac.pitch = 0.2;
        ac.bank = 0.1;
        ac.dueBack = kDueClampFloor + 50;
        ac.dueAhead = 3000;
        leg(ac, r.frontKt, r.nextKt, 100, 400);
        ac.curve[kCurveE1] = ac.curve[kCurveN1] = 1;
        lf_groundMotion(ac);
        EXPECT_EQ(ac.flightState, r.state == parked ? taxi : r.state);
        EXPECT_EQ(ac.throttleIndex, r.throttle);
        EXPECT_EQ(ac.pitch, 0.01);
        EXPECT_EQ(ac.bank, 0);
        EXPECT_EQ(ac.dueBack, r.takeOffRoll ? kDueClampFloor + 50 : kDueClampFloor);  // kept on the roll
        EXPECT_EQ(ac.dueAhead, r.takeOffRoll ? 3000 : 2900);
        EXPECT_DOUBLE_EQ(ac.curveStep, 1.0 / 400);
        EXPECT_EQ(ac.nextAirspeed, r.state == pushing_back ? -r.nextKt : r.nextKt);
    }
}

}  // namespace
