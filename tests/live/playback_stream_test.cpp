#include <cmath>
#include <limits>

#include "core/params.h"
#include "feed/feed_state.h"
#include "live/air_motion.h"
#include "live/air_motion_legs.h"
#include "live/playback.h"
#include "live/ground_motion_legs.h"
#include "live/removal.h"
#include "live_fixture.h"
#include "shell/window.h"

namespace {

constexpr int32_t kNow = 100000;
using PlaybackStreamTest = LiveTest;

PosSample tst_at(double lat, double lon, double gs, bool airborne, int32_t due) {
    return {.lat = lat, .lon = lon, .alt = airborne ? 9000.0 : 0.0, .gs = gs, .dueTick = due, .airborne = airborne};
}

// An active B738 (object 7) in the flight state where its front sample lies.
LiveAircraft tst_active(PosSample front, uint32_t flightState, int32_t category = 2) {
    g_tickCounter = kNow;
    LiveAircraft ac;
    ac.hexid = 0x3c6601;
    ac.category = category;
    ac.halfWingSpan = gf_metersToNm(17.9);
    ac.lifeState = active;
    ac.objectId = 7;
    ac.flightState = flightState;
    ac.onGround = !front.airborne;
    ac.lat = front.lat;
    ac.lon = front.lon;
    ac.altitude = front.alt;
    ac.stream.push_back(front);
    lf_clearCurve(ac);
    return ac;
}

// The stream's end in the air: 8 samples 8 s apart along the heading, each at 95 % of the speed
// before; on an approach 90 % while 4 or more are left, then unchanged; then the stream ends.
TEST_F(PlaybackStreamTest, AirExtensionsDecayTheSpeed) {
    for (const bool approach : {false, true}) {
        SCOPED_TRACE(approach);
        LiveAircraft ac = tst_active(tst_at(47.0, 8.0, 200, true, kNow), flying);
        ac.approachFlag = approach;
        ac.flareStage = 1;  // no glide-path sink, so that only the speed changes
        double kt = 200;
        for (int i = 0; i < 8; ++i) {
            kt *= approach ? (8 - i >= 4 ? 0.9 : 1.0) : 0.95;
            ASSERT_TRUE(lf_extendStream(ac)) << i;
            ASSERT_EQ(ac.stream.size(), 2u);
            EXPECT_EQ(ac.extension, 8 - i);
            EXPECT_NEAR(ac.stream.back().gs, kt, 1e-9) << i;
            EXPECT_EQ(ac.stream.back().dueTick, ac.stream.front().dueTick + 800);
            const double nm = gf_haversineNm(gf_posOf(ac.stream.front()), gf_posOf(ac.stream.back()));
            EXPECT_NEAR(nm, kt * 8 / 3600, 1e-6) << "8 s along the heading";
            ac.stream.pop_front();
        }
        EXPECT_FALSE(lf_extendStream(ac));
        EXPECT_EQ(ac.extension, -1);
        EXPECT_FALSE(lf_extendStream(ac)) << "used up";
    }
}

// Down the glide path the dead-reckoned sample comes to the ground at an elevated park
// airport's height, and near the edge of the range the stream ends at once.
TEST_F(PlaybackStreamTest, ApproachExtensionAndTheRangeEdge) {
    struct Row {
        double parkLat, altFt;  // the park airport at 1416 ft
        bool airborne;
    };
    for (const Row& row : {Row{47.0, 1416 + 90, true}, Row{47.0, 1416 + 70, false}, Row{48.0, 1416 + 70, true}}) {
        SCOPED_TRACE(row.altFt + row.parkLat);
        gf_setParkAirportSet(true);
        gf_setParkAirportElevation(1416);
        gf_setParkAirportPositionSource([&] { return std::optional<LatLon>(LatLon{row.parkLat, 8.0}); });
        PosSample front = tst_at(47.0, 8.0, 140, true, kNow);
        front.alt = row.altFt;
        LiveAircraft ac = tst_active(front, flying);
        ac.approachFlag = 1;
        ASSERT_TRUE(lf_extendStream(ac));
        EXPECT_DOUBLE_EQ(ac.stream.back().alt, row.altFt - 8 * 10.005);
        EXPECT_EQ(ac.stream.back().airborne, row.airborne ? 1 : 0);
    }
    g_userPosition.lat = 47.0;
    g_userPosition.lon = 8.0;
    g_rangeNm = 40.0;
    for (double nm : {39.4, 39.6}) {
        SCOPED_TRACE(nm);
        LiveAircraft ac = tst_active(tst_at(47.0 + nm / 60, 8.0, 250, true, kNow), flying);
        EXPECT_EQ(lf_extendStream(ac), nm < 39.5);
        g_liveRecords.push_back(tst_active(tst_at(47.0 + nm / 60, 8.0, 250, true, kNow), flying));
        nextPosMain(g_liveRecords.back());
        EXPECT_EQ(g_liveRecords.back().lifeState, nm < 39.5 ? active : removingfromsim);
    }
}

TEST_F(PlaybackStreamTest, HoldingOnTheGround) {
    MAX_HOLDING_MINUTES.set(2);
    LiveAircraft ac = tst_active(tst_at(47.0, 8.0, 0, false, kNow), taxi);
    ASSERT_TRUE(lf_extendStream(ac));
    EXPECT_EQ(ac.holding, 1);
    EXPECT_EQ(ac.holdStartTick, static_cast<uint32_t>(kNow));
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream.back().dueTick, kNow + 300);
    EXPECT_EQ(ac.stream.back().stationary, 1);
    ac.stream.pop_front();
    g_tickCounter = kNow + 3 * 6000 - 1;  // 2 whole minutes and a bit
    EXPECT_TRUE(lf_extendStream(ac));
    ac.stream.pop_front();
    g_tickCounter = kNow + 3 * 6000;
    EXPECT_FALSE(lf_extendStream(ac)) << "3 whole minutes";

    // Another aircraft taxiing 30 m away, within 1.2 x (17.9 + 17.9) m: holding would block it.
    g_liveRecords.push_back(tst_active(tst_at(47.0, 8.0004, 10, false, kNow), taxi));
    g_liveRecords.back().objectId = 8;
    LiveAircraft near = tst_active(tst_at(47.0, 8.0, 0, false, kNow), taxi);
    near.holding = 1;
    EXPECT_FALSE(lf_extendStream(near));
    EXPECT_EQ(near.holding, 0);
    g_liveRecords.back().lon = 8.0007;  // 53 m
    EXPECT_TRUE(lf_extendStream(near));

    // Two stationary samples: the front falls due at once, stopped.
    LiveAircraft stopped = tst_active(tst_at(47.0, 8.0, 3, false, kNow + 500), taxi);
    stopped.stream.front().stationary = 1;
    decodeExisting(stopped, tst_at(47.0, 8.0, 0, false, kNow + 900));
    ASSERT_EQ(stopped.stream.size(), 2u);
    EXPECT_EQ(stopped.stream.front().dueTick, kNow + 1);
    EXPECT_EQ(stopped.stream.front().gs, 0);
}

// The due tick of the next sample in the air: within [due - dueBack, due + dueAhead] unless an
// extension runs, never before now; a speed of 0, NaN or next to nothing gives a finite due tick
// and the aircraft still moves.
TEST_F(PlaybackStreamTest, NextDueInTheAirKeepsItsClamps) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        double kt;
        int32_t nextDueIn, extension, dueIn;
    };
    // 1 nm at 360 kt is 1000 ticks.
    const Row rows[] = {{360, 1000, 0, 1000}, {360, 4500, 0, 1500}, {360, -3500, 0, 0}, {360, 4500, 2, 1000},
                        {0, 1000, 0, 1000},   {nan, 1000, 0, 4000}, {0.001, 1000, 0, 4000}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.kt << " " << row.nextDueIn << " " << row.extension);
        LiveAircraft ac = tst_active(tst_at(47.0, 8.0, row.kt, true, kNow), flying);
        ac.dueBack = ac.dueAhead = 3000;
        ac.extension = row.extension;
        ac.stream.push_back(tst_at(47.0 + 1.0 / 60, 8.0, row.kt, true, kNow + row.nextDueIn));
        lf_nextPosAir(ac);
        EXPECT_EQ(ac.stream[1].dueTick, kNow + row.dueIn);
        ac.stream[1].dueTick = kNow + 1000;
        EXPECT_NO_THROW(nextPosMain(ac));
        ASSERT_EQ(ac.stream.size(), 1u);
        EXPECT_GT(ac.dLat, 0);
    }
}

TEST_F(PlaybackStreamTest, LegsAcrossTheAntimeridianAndThePole) {
    for (double sign : {1.0, -1.0}) {
        SCOPED_TRACE(sign);
        // 6 nm in 10 s: fast, so that the leg is flown and not taken for a jump in the feed.
        LiveAircraft ac = tst_active(tst_at(60.0, 179.9 * sign, 2200, true, kNow), flying);
        ac.stream.push_back(tst_at(60.0, -179.9 * sign, 2200, true, kNow + 1000));
        nextPosMain(ac);
        const int32_t ticks = ac.stream.front().dueTick - kNow;
        EXPECT_NEAR(ac.dLon * ticks, 0.2 * sign, 1e-9);
        for (int i = 0; i < ticks; ++i) lf_tickMotion(ac);
        EXPECT_NEAR(ac.lon, -179.9 * sign, 1e-6);
    }
    LiveAircraft ac = tst_active(tst_at(89.999, 10.0, 300, true, kNow), flying);
    ac.dLat = 0.002;
    lf_tickMotion(ac);
    EXPECT_NEAR(ac.lat, 89.999, 1e-9);
    EXPECT_NEAR(ac.lon, -170.0, 1e-9) << "over the pole";
}

// A landed aircraft leaving its stand while its parked extension runs is towed when its stay was
// short for its category.
TEST_F(PlaybackStreamTest, ShortStayOfALandedAircraftIsTowed) {
    struct Row {
        int32_t category, minutes;
        uint8_t towed;
    };
    const Row rows[] = {{3, 59, 1}, {3, 61, 0}, {2, 24, 1}, {2, 26, 0}, {1, 14, 1}, {1, 16, 0}, {0, 1, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.category << " after " << row.minutes);
        LiveAircraft ac = tst_active(tst_at(47.0, 8.0, 0, false, kNow), parked, row.category);
        ac.landed = 1;
        ac.extension = 1;
        // The parked sample was due that long ago; its extension is due a week after it.
        ac.stream.front().dueTick = kNow - row.minutes * 6000 + 60480000;
        lf_leaveStand(ac);
        EXPECT_EQ(ac.towed, row.towed);
        EXPECT_EQ(ac.landed + ac.extension, 0);
        EXPECT_EQ(ac.stream.front().dueTick, kNow + 1);
        EXPECT_EQ(ac.dueBack, 3000);
    }
}

}  // namespace
