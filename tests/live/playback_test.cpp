#include "live/playback.h"

#include "core/geo.h"
#include "live/ground_motion_legs.h"
#include "live/removal.h"
#include "live_fixture.h"
#include "support/sim_commands.h"

namespace {

using PlaybackTest = LiveTest;
constexpr int32_t kNow = 50000;

PosSample tst_sample(double lat, double lon, double gs, bool airborne, int32_t due) {
    return {.lat = lat, .lon = lon, .alt = airborne ? 3000.0 : 0.0, .gs = gs, .track = 45, .dueTick = due,
            .airborne = airborne};
}

// A sample the distance away from 47 N 8 E in the direction given.
PosSample tst_away(double meters, double bearingDeg, double gs, bool airborne, int32_t due = kNow + 3000) {
    const LatLon p = gf_destinationPoint({47.0, 8.0}, gf_degToRad(bearingDeg), gf_nmToFeet(gf_metersToNm(meters)));
    return tst_sample(p.lat, p.lon, gs, airborne, due);
}

// An active B738 (object 5) at 47 N 8 E heading north in the flight state, on its stand there,
// its front sample here due 100 ticks ago.
LiveAircraft tst_active(uint32_t flightState, bool airborne, double gs = 0) {
    g_tickCounter = kNow;
    LiveAircraft ac;
    ac.category = 2;
    ac.hexid = 0x3c6601;
    ac.objectId = 5;
    ac.halfWingSpan = gf_metersToNm(17.9);
    ac.lifeState = active;
    ac.flightState = flightState;
    ac.onGround = !airborne;
    ac.lat = ac.standLat = 47.0;
    ac.lon = ac.standLon = 8.0;
    ac.standId = 3;
    ac.stream.push_back(tst_sample(47.0, 8.0, gs, airborne, kNow - 100));
    return ac;
}

TEST_F(PlaybackTest, StationaryTestOfAnUnspawnedAircraft) {
    struct Row {
        const char* name;
        double backGs;
        bool air;
        double dLat, gs;
        int32_t category;
        uint8_t takeOffRoll;
        bool accepted;
        uint8_t stationary;
    };
    const Row rows[] = {
        {"same position on the ground", 12, false, 0, 3, 2, 0, true, 1},
        {"same position in the air", 140, true, 0, 140, 2, 0, false, 0},
        {"same position, rotorcraft", 140, true, 0, 0, 5, 0, true, 1},
        {"same position, fast take-off roll", 30, false, 0, 5, 2, 1, false, 0},
        {"same position, slow take-off roll", 29, false, 0, 5, 2, 1, true, 1},
        {"near miss on the ground snaps", 12, false, 0.0001, 4, 2, 0, true, 1},
        {"near miss in the air", 140, true, 0.0001, 140, 2, 0, false, 0},
        {"near miss, take-off roll at 50 kt", 50, false, 0.0001, 60, 2, 1, false, 0},
        {"moving", 12, false, 0.001, 15, 2, 0, true, 0},
        {"no speed in the air after a slow sample", 49, true, 0.01, 0, 2, 0, true, 0},
        {"no speed in the air after a fast sample", 140, true, 0.01, 0, 2, 0, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac;
        ac.category = row.category;
        ac.takeOffRoll = row.takeOffRoll;
        ac.stream.push_back(tst_sample(50.0, 8.0, row.backGs, row.air, 1000));
        decodeExisting(ac, tst_sample(50.0 + row.dLat, 8.0 + row.dLat, row.gs, row.air, 1600));
        ASSERT_EQ(ac.stream.size(), row.accepted ? 2u : 1u);
        if (!row.accepted) continue;
        const PosSample& s = ac.stream.back();
        EXPECT_EQ(s.stationary, row.stationary);
        EXPECT_EQ(s.gs, row.stationary ? 0 : row.gs);
        EXPECT_EQ(s.lat, row.stationary ? 50.0 : 50.0 + row.dLat) << "a near miss takes the back position";
        EXPECT_EQ(s.dueTick, 1600) << "a sample keeps its own due tick";
    }
    LiveAircraft ac;
    decodeExisting(ac, tst_sample(50.0, 8.0, 200, true, 0));
    EXPECT_TRUE(ac.stream.empty());
}

TEST_F(PlaybackTest, DueTicksStayStrictlyIncreasingAcrossTheWrap) {
    LiveAircraft ac;
    ac.stream.push_back(tst_sample(50.0, 8.0, 200, true, INT32_MAX - 10));
    for (int32_t due : {INT32_MAX - 20, INT32_MIN + 5, INT32_MIN + 5})
        decodeExisting(ac, tst_sample(50.0 + 0.01 * ac.stream.size(), 8.0, 200, true, due));
    ASSERT_EQ(ac.stream.size(), 4u);
    EXPECT_EQ(ac.stream[1].dueTick, INT32_MAX - 9);
    EXPECT_EQ(ac.stream[2].dueTick, INT32_MIN + 5) << "past the wrap is later, not earlier";
    EXPECT_EQ(ac.stream[3].dueTick, INT32_MIN + 6);
    while (ac.stream.size() <= kMaxStreamSamples) ac.stream.push_back(ac.stream.back());
    decodeExisting(ac, tst_sample(60.0, 8.0, 200, true, 0));
    EXPECT_EQ(ac.stream.size(), 201u);
    EXPECT_EQ(ac.eraseFlag, 1) << "an overlong stream removes the aircraft";
}

TEST_F(PlaybackTest, ActiveAircraftTakesSamplesByFlightState) {
    struct Row {
        const char* name;
        uint32_t flightState, lifeState;
        int32_t extension;
        double meters, bearingDeg;
        bool airborne, accepted;
        uint32_t flightStateAfter, lifeStateAfter;
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
        {"extension, turn of 120 degrees in the air", flying, active, 3, 2000, 120, true, false, flying, active},
        {"extension, turn of 10 degrees in the air", flying, active, 3, 2000, 10, true, true, flying, active},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_active(row.flightState, row.airborne);
        ac.lifeState = row.lifeState;
        ac.extension = row.extension;
        ac.pushbackSide = 2;
        decodeExisting(ac, tst_away(row.meters, row.bearingDeg, row.airborne ? 250 : 10, row.airborne));
        EXPECT_EQ(ac.stream.size(), row.accepted ? 2u : 1u);
        EXPECT_EQ(ac.flightState, row.flightStateAfter);
        EXPECT_EQ(ac.lifeState, row.lifeStateAfter);
        if (row.accepted) EXPECT_EQ(ac.stream.back().stationary, 0);
        EXPECT_EQ(ac.extension, row.accepted ? 0 : row.extension);
        if (row.accepted && row.extension > 0) EXPECT_EQ(ac.stream.front().dueTick, kNow + 1) << "at once";
        EXPECT_EQ(ac.pushbackSideKnown, row.flightState == pushing_back) << "the sample lies to the right";
        EXPECT_EQ(ac.pushbackTurnSide, row.flightState == pushing_back);
        EXPECT_EQ(ac.holding, row.flightState == pushed_back && !row.accepted);
        EXPECT_EQ(ac.standId, row.flightState == pushed_back && row.accepted ? 0u : 3u);
        EXPECT_EQ(ac.leavingStand, row.flightState == parked && row.accepted);
    }
    for (double meters : {240.0, 260.0}) {
        SCOPED_TRACE(meters);
        LiveAircraft ac = tst_active(taxi, false);
        ac.holding = 1;
        decodeExisting(ac, tst_away(meters, 0, 10, false));
        EXPECT_EQ(ac.lifeState, meters > 250 ? removingfromsim : active) << "beyond the holding threshold";
        EXPECT_EQ(ac.holding, meters > 250 ? 0 : 1);
    }
}

// On the approach a sample that turns back is dropped, and one faster than the sample before it
// and than 40 kt is cut to its speed.
TEST_F(PlaybackTest, ApproachDropsSamplesBehindAndCapsTheSpeed) {
    struct Row {
        double bearingDeg, gs;
        size_t size;
        double gsAfter;
    };
    // The sample before flew at 140 kt.
    for (const Row& row : {Row{180, 140, 1, 0}, Row{0, 160, 2, 140}, Row{0, 120, 2, 120}}) {
        SCOPED_TRACE(row.gs);
        LiveAircraft ac = tst_active(flying, true, 140);
        ac.approachFlag = 1;
        ac.lat = 46.99;
        decodeExisting(ac, tst_away(1000, row.bearingDeg, row.gs, true));
        ASSERT_EQ(ac.stream.size(), row.size);
        if (row.size == 2) EXPECT_EQ(ac.stream.back().gs, row.gsAfter);
    }
}

// A taxiing aircraft starts its take-off roll only when its positions roll straight on at about
// the reported take-off speed: not on a speed frozen after a landing, nor on a parked one's jitter.
TEST_F(PlaybackTest, TakeOffRollStartsOnlyWhenThePositionsRoll) {
    struct Row {
        const char* name;
        double legM, bearingDeg;  // the new sample from the newest one, 5 s later
        bool takeOff;
    };
    // 104 kt is 267 m in 5 s.
    const Row rows[] = {{"rolling straight at the reported speed", 267, 90, true},
                        {"frozen speed, taxiing at 10 kt", 26, 90, false},
                        {"jitter off to the side", 267, 160, false},
                        {"slowing down by the positions", 160, 90, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_active(taxi, false, 104);
        ac.stream.push_back(tst_away(267, 90, 104, false, kNow + 400));
        const LatLon next = gf_destinationPoint(gf_posOf(ac.stream.back()), gf_degToRad(row.bearingDeg),
                                                gf_nmToFeet(gf_metersToNm(row.legM)));
        decodeExisting(ac, tst_sample(next.lat, next.lon, 104, false, kNow + 900));
        EXPECT_EQ(ac.takeOffRoll, row.takeOff ? 1 : 0);
        EXPECT_EQ(tst_queuedCommands().size(), row.takeOff ? 10u : 0u);
    }
}

// On the roll-out the feed turns off the runway while the aircraft still points down it: a sample
// that goes on along the feed's turn is kept, one that goes back against it is dropped; one back
// in the air is a touch-and-go.
TEST_F(PlaybackTest, RollOutFollowsTheFeed) {
    struct Row {
        const char* name;
        double bearingDeg;  // from the newest sample; the feed went east (90) to it
        bool airborne;
        size_t streamSize;
    };
    const Row rows[] = {{"turning on, 150 degrees off the heading", 150, false, 4},
                        {"straight back against the feed: the newest sample goes", 270, false, 3},
                        {"back in the air", 90, true, 4}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_active(taxi, false, 30);
        ac.landingRoll = 1;
        ac.throttleIndex = 1;
        ac.stream.push_back(tst_away(180, 90, 20, row.airborne, kNow + 200));
        ac.stream.push_back(tst_away(330, 90, 20, row.airborne, kNow + 400));
        const LatLon next = gf_destinationPoint(gf_posOf(ac.stream.back()), gf_degToRad(row.bearingDeg), 300);
        decodeExisting(ac, tst_sample(next.lat, next.lon, 15, row.airborne, kNow + 600));
        EXPECT_EQ(ac.stream.size(), row.streamSize);
        EXPECT_EQ(ac.takeOffRoll, row.airborne);
        std::vector<std::string> touchAndGo = {"5 THROTTLE_SET 11468", "5 SPOILERS_SET 16383", "5 FLAPS_SET 3072"};
        for (const std::string& c : tst_lightEvents(5, "1111110")) touchAndGo.push_back(c);
        EXPECT_EQ(tst_queuedCommands(), row.airborne ? touchAndGo : std::vector<std::string>{});
    }
}

}  // namespace
