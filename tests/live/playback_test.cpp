#include "live/playback.h"

#include "core/geo.h"
#include "live/removal.h"
#include "live_fixture.h"

namespace {

using PlaybackTest = LiveTest;

PosSample tst_sample(double lat, double lon, double gs, bool airborne, int32_t due) {
    PosSample s;
    s.lat = lat;
    s.lon = lon;
    s.gs = gs;
    s.airborne = airborne ? 1 : 0;
    s.alt = airborne ? 3000 : 0;
    s.track = 45;
    s.dueTick = due;
    return s;
}

LiveAircraft tst_aircraft(PosSample first, int32_t category = 2) {
    LiveAircraft ac;
    ac.category = category;
    ac.stream.push_back(first);
    return ac;
}

TEST_F(PlaybackTest, StationaryTestOfAnUnspawnedAircraft) {
    struct Row {
        const char* name;
        PosSample back;
        PosSample next;
        int32_t category;
        uint8_t takeOffRoll;
        bool accepted;
        uint8_t stationary;
        double gs;
    };
    const PosSample ground = tst_sample(50.0, 8.0, 12, false, 1000);
    const PosSample air = tst_sample(50.0, 8.0, 140, true, 1000);
    const Row rows[] = {
        {"same position on the ground", ground, tst_sample(50.0, 8.0, 3, false, 1600), 2, 0, true, 1, 0},
        {"same position in the air", air, tst_sample(50.0, 8.0, 140, true, 1600), 2, 0, false, 0, 0},
        {"same position, rotorcraft", air, tst_sample(50.0, 8.0, 0, true, 1600), 5, 0, true, 1, 0},
        {"same position, fast take-off roll", tst_sample(50.0, 8.0, 30, false, 1000),
         tst_sample(50.0, 8.0, 5, false, 1600), 2, 1, false, 0, 0},
        {"same position, slow take-off roll", tst_sample(50.0, 8.0, 29, false, 1000),
         tst_sample(50.0, 8.0, 5, false, 1600), 2, 1, true, 1, 0},
        {"near miss on the ground snaps", ground, tst_sample(50.0001, 8.0001, 4, false, 1600), 2, 0, true, 1,
         0},
        {"near miss in the air", air, tst_sample(50.0001, 8.0001, 140, true, 1600), 2, 0, false, 0, 0},
        {"near miss, take-off roll at 50 kt", tst_sample(50.0, 8.0, 50, false, 1000),
         tst_sample(50.0001, 8.0, 60, false, 1600), 2, 1, false, 0, 0},
        {"moving", ground, tst_sample(50.001, 8.0, 15, false, 1600), 2, 0, true, 0, 15},
        {"zero speed in the air after a slow sample", tst_sample(50.0, 8.0, 49, true, 1000),
         tst_sample(50.01, 8.0, 0, true, 1600), 2, 0, true, 0, 0},
        {"zero speed in the air after a fast sample", air, tst_sample(50.01, 8.0, 0, true, 1600), 2, 0, false,
         0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_aircraft(row.back, row.category);
        ac.takeOffRoll = row.takeOffRoll;
        decodeExisting(ac, row.next);
        ASSERT_EQ(ac.stream.size(), row.accepted ? 2u : 1u);
        if (!row.accepted) continue;
        const PosSample& s = ac.stream.back();
        EXPECT_EQ(s.stationary, row.stationary);
        EXPECT_EQ(s.gs, row.gs);
        EXPECT_EQ(s.dueTick, 1600) << "a sample keeps its own due tick";
    }
}

TEST_F(PlaybackTest, SnappedSampleTakesTheBackPosition) {
    LiveAircraft ac = tst_aircraft(tst_sample(50.0, 8.0, 12, false, 1000));
    decodeExisting(ac, tst_sample(50.0001, 8.0001, 4, false, 1600));
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream[1].lat, 50.0);
    EXPECT_EQ(ac.stream[1].lon, 8.0);
}

TEST_F(PlaybackTest, DueTicksStayStrictlyIncreasingAcrossTheWrap) {
    LiveAircraft ac = tst_aircraft(tst_sample(50.0, 8.0, 200, true, INT32_MAX - 10));
    decodeExisting(ac, tst_sample(50.01, 8.0, 200, true, INT32_MAX - 20));
    decodeExisting(ac, tst_sample(50.02, 8.0, 200, true, INT32_MIN + 5));
    decodeExisting(ac, tst_sample(50.03, 8.0, 200, true, INT32_MIN + 5));
    ASSERT_EQ(ac.stream.size(), 4u);
    EXPECT_EQ(ac.stream[1].dueTick, INT32_MAX - 9);
    EXPECT_EQ(ac.stream[2].dueTick, INT32_MIN + 5) << "past the wrap is later, not earlier";
    EXPECT_EQ(ac.stream[3].dueTick, INT32_MIN + 6);
}

TEST_F(PlaybackTest, OverlongStreamRemovesTheAircraft) {
    LiveAircraft ac = tst_aircraft(tst_sample(50.0, 8.0, 200, true, 0));
    for (int i = 1; i <= 200; ++i) decodeExisting(ac, tst_sample(50.0 + 0.01 * i, 8.0, 200, true, i * 100));
    ASSERT_EQ(ac.stream.size(), 201u);
    EXPECT_EQ(ac.eraseFlag, 0);
    decodeExisting(ac, tst_sample(60.0, 8.0, 200, true, 30000));
    EXPECT_EQ(ac.stream.size(), 201u);
    EXPECT_EQ(ac.eraseFlag, 1) << "a buffered aircraft is removed by its erase flag";
}

TEST_F(PlaybackTest, EmptyStreamDropsTheSample) {
    LiveAircraft ac;
    decodeExisting(ac, tst_sample(50.0, 8.0, 200, true, 0));
    EXPECT_TRUE(ac.stream.empty());
}

// An active aircraft at 47N 8E heading north, a sample 0.0001 degrees of latitude (11 m) per step
// away in the direction given.
PosSample tst_away(double meters, double bearingDeg, bool airborne, int32_t due) {
    const LatLon p =
        gf_destinationPoint({47.0, 8.0}, gf_degToRad(bearingDeg), gf_nmToFeet(gf_metersToNm(meters)));
    PosSample s = tst_sample(p.lat, p.lon, airborne ? 250 : 10, airborne, due);
    s.track = bearingDeg;
    return s;
}

TEST_F(PlaybackTest, ActiveAircraftTakesSamplesByFlightState) {
    constexpr int32_t kNow = 50000;
    struct Row {
        const char* name;
        uint32_t flightState;
        uint32_t lifeState;
        int32_t extension;
        double meters, bearingDeg;
        bool airborne;
        bool accepted;
        uint32_t flightStateAfter;
        uint32_t lifeStateAfter;
    };
    const Row rows[] = {
        {"parked, create on its way", parked, adding2sim, 0, 300, 0, false, false, parked, adding2sim},
        {"parked, first sample at the stand", parked, active, 0, 10, 0, false, false, parked, active},
        {"parked, 150 m away: leaving", parked, active, 0, 150, 0, false, true, parked, active},
        {"parked, 300 m away: removed", parked, active, 0, 300, 0, false, false, parked, removingfromsim},
        {"parking, beyond the limit: taxis on", parking, active, 0, 150, 0, false, true, taxi, active},
        {"pushing back", pushing_back, active, 0, 40, 90, false, false, pushing_back, active},
        {"pushed back, still near", pushed_back, active, 0, 30, 0, false, false, pushed_back, active},
        {"pushed back, far away", pushed_back, active, 0, 150, 0, false, true, taxi, active},
        {"extension, turn of 120 degrees in the air", flying, active, 3, 2000, 120, true, false, flying,
         active},
        {"extension, turn of 10 degrees in the air", flying, active, 3, 2000, 10, true, true, flying, active},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_tickCounter = kNow;
        LiveAircraft ac = tst_aircraft(tst_sample(47.0, 8.0, 0, row.airborne, kNow - 100));
        ac.hexid = 0x3c6601;
        ac.objectId = row.lifeState == active ? 5 : 0;
        ac.halfWingSpan = gf_metersToNm(17.9);
        ac.lifeState = row.lifeState;
        ac.flightState = row.flightState;
        ac.onGround = row.airborne ? 0 : 1;
        ac.lat = 47.0;
        ac.lon = 8.0;
        ac.standLat = 47.0;
        ac.standLon = 8.0;
        ac.standId = 3;
        ac.extension = row.extension;
        ac.pushbackSide = 2;
        decodeExisting(ac, tst_away(row.meters, row.bearingDeg, row.airborne, kNow + 3000));
        EXPECT_EQ(ac.stream.size(), row.accepted ? 2u : 1u);
        EXPECT_EQ(ac.flightState, row.flightStateAfter);
        EXPECT_EQ(ac.lifeState, row.lifeStateAfter);
        if (row.accepted) EXPECT_EQ(ac.stream.back().stationary, 0);
        if (row.accepted && row.extension > 0) {
            EXPECT_EQ(ac.extension, 0);
            EXPECT_EQ(ac.stream.front().dueTick, kNow + 1) << "the extension ends at once";
        }
        if (row.flightState == pushing_back) {
            EXPECT_EQ(ac.pushbackSideKnown, 1);
            EXPECT_EQ(ac.pushbackTurnSide, 1) << "the sample lies to the right";
        }
        if (row.flightState == pushed_back && !row.accepted) EXPECT_EQ(ac.holding, 1);
        if (row.flightState == pushed_back && row.accepted) EXPECT_EQ(ac.standId, 0u);
        if (row.flightState == parked && row.accepted) EXPECT_EQ(ac.leavingStand, 1);
    }
}

// The reported position of a parked aircraft may jump by hundreds of metres and back: such jumps
// neither pull it out nor remove it, while a pull-out at a few knots still leaves.
TEST_F(PlaybackTest, ParkedAircraftIgnoresJumpsOfItsPosition) {
    struct Step {
        double meters, bearingDeg;
        int32_t due;
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
        uint8_t leavingStand;
    };
    const Row rows[] = {
        {"jumps of 155 and 300 m, repeated, and back",
         {{2, 0, 1000}, {155, 0, 1100}, {155, 0, 1500}, {300, 90, 2500}, {4, 180, 2600}, {5, 180, 3600}},
         0},
        {"pull-out at 4 kt", {{0, 0, 1000}, {4, 0, 1200}, {8, 0, 1400}, {12, 0, 1600}}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_tickCounter = 900;
        LiveAircraft ac = tst_aircraft(tst_sample(47.0, 8.0, 0, false, 800));
        ac.lifeState = active;
        ac.objectId = 5;
        ac.flightState = parked;
        ac.onGround = 1;
        ac.halfWingSpan = gf_metersToNm(17.9);
        ac.standLat = 47.0;
        ac.standLon = 8.0;
        for (const Step& step : row.steps)
            decodeExisting(ac, tst_away(step.meters, step.bearingDeg, false, step.due));
        EXPECT_EQ(ac.lifeState, active);
        EXPECT_EQ(ac.leavingStand, row.leavingStand);
    }
}

// A pushed-back aircraft that waits for the feed taxis on when it moves away.
TEST_F(PlaybackTest, HoldingAircraftIsRemovedBySampleBeyondTheThreshold) {
    struct Row {
        uint32_t flightState;
        double meters;
        uint32_t flightStateAfter, lifeStateAfter;
        uint8_t holdingAfter;
    };
    const Row rows[] = {{taxi, 240, taxi, active, 1},
                        {taxi, 260, taxi, removingfromsim, 0},
                        {pushed_back, 400, taxi, active, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.flightState << " " << row.meters);
        LiveAircraft ac = tst_aircraft(tst_sample(47.0, 8.0, 0, false, 100));
        ac.lifeState = active;
        ac.objectId = 5;
        ac.flightState = row.flightState;
        ac.halfWingSpan = gf_metersToNm(17.9);
        ac.lat = 47.0;
        ac.lon = 8.0;
        ac.onGround = 1;
        ac.holding = 1;
        ac.holdStartTick = 50;
        decodeExisting(ac, tst_away(row.meters, 0, false, 3000));
        EXPECT_EQ(ac.flightState, row.flightStateAfter);
        EXPECT_EQ(ac.lifeState, row.lifeStateAfter);
        EXPECT_EQ(ac.holding, row.holdingAfter);
    }
}

TEST_F(PlaybackTest, ApproachDropsSamplesBehindAndCapsTheSpeed) {
    g_tickCounter = 1000;
    LiveAircraft ac = tst_aircraft(tst_sample(47.0, 8.0, 140, true, 1200));
    ac.lifeState = active;
    ac.flightState = flying;
    ac.approachFlag = 1;
    ac.lat = 46.99;
    ac.lon = 8.0;
    PosSample behind = tst_away(1000, 180, true, 1800);
    decodeExisting(ac, behind);
    EXPECT_EQ(ac.stream.size(), 1u) << "a turn of 90 degrees or more on the approach";
    PosSample ahead = tst_away(1000, 0, true, 1800);
    ahead.gs = 160;
    decodeExisting(ac, ahead);
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream.back().gs, 140) << "faster than the back and than 40 kt: cut to the back's";
}

// An active aircraft taxiing at 47 N 8 E at the tick 1000, its front sample due at 1200.
LiveAircraft tst_taxiing(double gsKt) {
    g_tickCounter = 1000;
    LiveAircraft ac = tst_aircraft(tst_sample(47.0, 8.0, gsKt, false, 1200));
    ac.lifeState = active;
    ac.flightState = taxi;
    ac.onGround = 1;
    return ac;
}

// A taxiing aircraft starts its take-off roll only when its positions roll straight on at about
// the reported take-off speed: not on a speed frozen after a landing, nor on a parked aircraft's
// jitter.
TEST_F(PlaybackTest, StaleGroundSpeedStartsNoTakeOff) {
    struct Row {
        const char* name;
        double legM, bearingDeg;  // the new sample from the newest one, 2 s later
        bool takeOff;
    };
    // Reports 5 s apart; 104 kt is 267 m in 5 s.
    const Row rows[] = {{"rolling straight at the reported speed", 267, 90, true},
                        {"frozen speed, taxiing at 10 kt", 26, 90, false},
                        {"jitter off to the side", 267, 160, false},
                        {"slowing down by the positions", 160, 90, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_taxiing(104);
        const LatLon back = gf_destinationPoint({47.0, 8.0}, gf_degToRad(90), gf_nmToFeet(gf_metersToNm(267)));
        ac.stream.push_back(tst_sample(back.lat, back.lon, 104, false, 1700));
        const LatLon next = gf_destinationPoint(back, gf_degToRad(row.bearingDeg), gf_nmToFeet(gf_metersToNm(row.legM)));
        decodeExisting(ac, tst_sample(next.lat, next.lon, 104, false, 2200));
        EXPECT_EQ(ac.takeOffRoll, row.takeOff ? 1 : 0);
    }
}

// On the roll-out the feed turns off the runway while the aircraft still points down it: a sample
// that goes on along the feed's turn is kept, one that goes back against it is dropped.
TEST_F(PlaybackTest, RollOutFollowsTheFeedOffTheRunway) {
    struct Row {
        const char* name;
        double bearingDeg;  // from the newest sample; the feed went east (90) to it
        size_t streamSize;
    };
    const Row rows[] = {{"turning on, 150 degrees off the heading", 150, 4},
                        {"straight back against the feed: the newest sample goes", 270, 3}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_taxiing(30);
        ac.landingRoll = 1;
        ac.heading = 0;  // still down the runway, north
        const LatLon turnOff = gf_destinationPoint({47.0, 8.0}, gf_degToRad(90), 600);
        ac.stream.push_back(tst_sample(turnOff.lat, turnOff.lon, 20, false, 1400));
        ac.stream.push_back(tst_sample(turnOff.lat, turnOff.lon + 0.002, 20, false, 1600));
        const LatLon next = gf_destinationPoint({turnOff.lat, turnOff.lon + 0.002}, gf_degToRad(row.bearingDeg), 300);
        decodeExisting(ac, tst_sample(next.lat, next.lon, 15, false, 1800));
        EXPECT_EQ(ac.stream.size(), row.streamSize);
    }
}

}  // namespace
