#include "live/playback.h"

#include "live/sim_events.h"
#include "playback_fixture.h"

namespace {

// In the air a leg that would need more than 2.5 times the fastest of the reported speeds (the
// front's, the next sample's, the leg's) plus 100 kt is a jump in the feed: the aircraft leaves.
// The leg may take at most 3000 ticks past the next sample's due tick (here 9000 ticks from now).
TEST_F(PlaybackTest, ALegTooFastForTheReportsIsAJumpInTheAir) {
    struct Row {
        double nm, frontKt, nextKt;
        bool removed;
    };
    // 250 kt: at most 725 kt, 18.1 nm; 300 kt: 850 kt, 21.3 nm.
    const Row rows[] = {{17, 250, 150, false}, {19, 250, 150, true},  {17, 150, 250, false},
                        {19, 150, 250, true},  {21, 300, 100, false}, {22, 100, 300, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.nm << " nm " << row.frontKt << " " << row.nextKt);
        LiveAircraft ac = tst_active(tst_sample(47.0, 8.0, row.frontKt, true, kNow), flying);
        ac.dueBack = ac.dueAhead = 3000;
        ac.stream.push_back(tst_sample(47.0 + row.nm / 60, 8.0, row.nextKt, true, kNow + 6000));
        lf_advanceSample(ac);
        EXPECT_EQ(ac.lifeState, row.removed ? removingfromsim : active);
        if (row.removed) continue;
        EXPECT_EQ(ac.stream.size(), 1u);
        EXPECT_EQ(ac.stream.front().dueTick, kNow + 9000);
        EXPECT_GT(ac.dLat, 0) << "on its way north";
    }
}

// A landed Heavy, Large or Buzjet that leaves its stand after a short stay was towed there; the
// stay counts from the front sample's due tick back by the parked extension. Leaving ends the
// extension: the front falls due at once and the clamps start afresh.
TEST_F(PlaybackTest, AShortStayOfALandedAirlinerWasATow) {
    struct Row {
        int32_t category;
        uint32_t stayedTicks;
        uint8_t landed, towed;
    };
    const Row rows[] = {{2, 149999, 1, 1}, {2, 150000, 1, 0}, {3, 359999, 1, 1}, {3, 360000, 1, 0},
                        {1, 89999, 1, 1},  {1, 90000, 1, 0},  {0, 100, 1, 0},    {2, 100, 0, 0}};
    constexpr int32_t kParkedExtensionTicks = kParkedExtensionSec * 100;
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.category << " " << r.stayedTicks << " " << int{r.landed});
        LiveAircraft ac = tst_active(tst_sample(47.0, 8.0, 0, false, 0), parked, r.category);
        ac.stream.front().dueTick = kNow + kParkedExtensionTicks - static_cast<int32_t>(r.stayedTicks);
        ac.extension = 1;
        ac.landed = r.landed;
        ac.dueBack = ac.dueAhead = 400;
        lf_leaveStand(ac);
        EXPECT_EQ(ac.towed, r.towed);
        EXPECT_EQ(ac.landed, 0);
        EXPECT_EQ(ac.extension, 0);
        EXPECT_EQ(ac.stream.front().dueTick, kNow + 1);
        EXPECT_EQ(std::make_pair(ac.dueBack, ac.dueAhead), std::make_pair(3000, 3000));
    }
    LiveAircraft ac = tst_here(parked, false);
    ac.landed = 1;
    lf_leaveStand(ac);
    EXPECT_EQ(std::make_tuple(ac.towed, ac.landed, ac.stream.front().dueTick),
              std::make_tuple(0, 1, kNow - 100))
        << "no extension ran: nothing to decide";
}

// A taxiing aircraft starts its take-off roll when a sample shows it rolling at take-off speed
// (43 kt), at about the speed reported, not slowing down and straight on; the roll starts when
// that sample falls due.
TEST_F(PlaybackTest, ATakeOffRollStartsWhenTheSampleThatShowsItFallsDue) {
    struct Row {
        const char* name;
        double backKt, newKt, positionsKt;
        bool airborne;
        double turnDeg;  // of the new leg against the one before it; NaN: no leg before
        bool rolls;
        int32_t beforeTicks = 600;  // of the leg before
        double beforeKt = 0;        // the positions' speed on the leg before; 0: positionsKt
    };
    const double none = std::numeric_limits<double>::quiet_NaN();
    const Row rows[] = {
        {"rolling at 60 kt", 50, 60, 60, false, none, true},
        {"rolling at 43.5 kt", 43.5, 43.5, 43.5, false, none, true},
        {"rolling at 42.5 kt", 42.5, 42.5, 42.5, false, none, false},
        {"a reported speed the positions do not show", 50, 60, 10, false, none, false},
        {"positions far faster than reported", 50, 60, 150, false, none, false},
        {"slowing down", 50, 45, 45, false, none, false},
        {"the sample before too slow", 30, 60, 60, false, none, false},
        {"the sample before too slow, but in the air now", 30, 60, 60, true, none, true},
        {"straight on after a leg before", 50, 60, 60, false, 20, true},
        {"turning off after a leg before", 50, 60, 60, false, 45, false},
        {"turning off after a leg of 5 s before", 50, 60, 60, false, 45, false, 500},
        {"turning off after a leg shorter than 5 s", 50, 60, 60, false, 45, true, 499},
        {"rolling at 43 kt", 43, 43, 44, false, none, true},
        {"rolling at 43 kt after 42.9", 42.9, 43, 44, false, none, false},
        {"straight on, 20 kt slower than the leg before", 50, 60, 60, false, 0, true, 600, 79},
        {"straight on, slowing down from the leg before", 50, 60, 60, false, 0, false, 600, 81},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac = tst_here(taxi, false, r.backKt);
        ac.stoodSinceAppearing = 0;
        ac.stream.front().stationary = 0;
        double bearingDeg = 0;
        if (!std::isnan(r.turnDeg)) {
            // A leg north at the same speed before.
            const double beforeKt = r.beforeKt > 0 ? r.beforeKt : r.positionsKt;
            PosSample before = tst_away(gf_nmToMeters(beforeKt * r.beforeTicks / 360000), 0, r.backKt, false,
                                        kNow - 100 + r.beforeTicks);
            ac.stream.push_back(before);
            bearingDeg = r.turnDeg;
        }
        const PosSample& back = ac.stream.back();
        const LatLon p = gf_destinationPoint(gf_posOf(back), gf_degToRad(bearingDeg),
                                             gf_nmToFeet(r.positionsKt * 6 / 3600));
        const int32_t due = back.dueTick + 600;
        decodeExisting(ac, tst_sample(p.lat, p.lon, r.newKt, r.airborne, due));
        ASSERT_EQ(ac.stream.back().dueTick, due);
        EXPECT_EQ(ac.rollPending != 0, r.rolls);
        g_tickCounter = static_cast<uint32_t>(due - 1);
        gf_startRollWhenDue(ac);
        EXPECT_EQ(ac.takeOffRoll, 0) << "not before the sample is due";
        g_tickCounter = static_cast<uint32_t>(due);
        gf_startRollWhenDue(ac);
        EXPECT_EQ(ac.takeOffRoll, r.rolls);
        EXPECT_EQ(ac.rollPending, 0);
        if (r.rolls) EXPECT_EQ(ac.dueAhead, 5000);
    }
}

// The feed repeats a position until a new one comes: the speed toward the take-off roll is
// measured over the seconds before the new sample, not over the short leg from the repeat.
TEST_F(PlaybackTest, TakeOffSpeedIsMeasuredAcrossARepeatedPosition) {
    for (const int32_t repeatTicks : {0, 400}) {
        SCOPED_TRACE(repeatTicks);
        LiveAircraft ac = tst_here(taxi, false, 50);
        ac.stoodSinceAppearing = 0;
        ac.stream.front().stationary = 0;
        if (repeatTicks > 0) {
            ac.stream.push_back(ac.stream.front());
            ac.stream.back().dueTick += repeatTicks;
        }
        // 50 kt over the 6 s since the front sample; three times that since the repeat.
        decodeExisting(ac, tst_away(gf_nmToMeters(50.0 * 600 / 360000), 0, 50, false, kNow + 500));
        ASSERT_EQ(ac.stream.back().dueTick, kNow + 500);
        EXPECT_EQ(ac.rollPending, 1);
        EXPECT_EQ(ac.rollDueTick, kNow + 500);
    }
}

// A stop on the ground reported as several samples: a new stationary report keeps one of them;
// moving off after a short stop (under 15 s) or within 22 m, the stop's samples go.
TEST_F(PlaybackTest, AShortStopOnTheGroundIsPrunedWhenTheAircraftMovesOn) {
    struct Row {
        const char* name;
        int32_t stopTicks;
        double onMeters;  // of the new sample beyond the stop; 0: a stationary report
        size_t size;
        int stops = 2;            // stationary samples of the stop
        bool airborne = false;    // the new sample
        bool lastMoving = false;  // the stop's last sample moved on 40 m
    };
    const Row rows[] = {{"a short stop", 1000, 60, 3},
                        {"a long stop", 2000, 60, 5},
                        {"a long stop, moving off slowly", 2000, 20, 3},
                        {"standing on", 2000, 0, 5},
                        {"a stop of just under 15 s", 1499, 60, 3},
                        {"a stop of 15 s", 1500, 60, 5},
                        {"a long stop, moving off 21 m", 2000, 21, 3},
                        {"a long stop, moving off 23 m", 2000, 23, 5},
                        {"a short stop of five samples", 1000, 60, 3, 5},
                        {"a short stop of six samples", 1000, 60, 9, 6},
                        {"a short stop, then in the air", 1000, 60, 5, 2, true},
                        {"moving before the new sample", 1000, 60, 5, 2, false, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac = tst_here(taxi, false, 10);
        ac.stoodSinceAppearing = 0;
        ac.stream.front().stationary = 0;
        PosSample moving = tst_away(100, 0, 10, false, kNow + 500);
        ac.stream.push_back(moving);
        for (int i = 1; i <= r.stops; ++i) {
            PosSample stop = moving;
            stop.stationary = 1, stop.gs = 0;
            stop.dueTick = moving.dueTick + r.stopTicks * i / r.stops;
            ac.stream.push_back(stop);
        }
        if (r.lastMoving) {
            const PosSample on = tst_away(140, 0, 10, false, ac.stream.back().dueTick);
            ac.stream.back() = on;
        }
        PosSample next = tst_away(100 + r.onMeters + (r.lastMoving ? 40 : 0), 0, r.onMeters > 0 ? 10 : 0,
                                  r.airborne, kNow + 500 + r.stopTicks + 600);
        decodeExisting(ac, next);
        EXPECT_EQ(ac.stream.size(), r.size);
        EXPECT_EQ(ac.stream.back().dueTick, next.dueTick);
        EXPECT_EQ(ac.stream.back().stationary, r.onMeters > 0 ? 0 : 1);
    }
    // Nothing but the stop: one sample of it stays, and the next falls due at once.
    LiveAircraft ac = tst_here(taxi, false, 0);
    ac.stoodSinceAppearing = 0;
    ac.stream.front().stationary = 1;
    for (int i = 1; i <= 3; ++i) {
        ac.stream.push_back(tst_away(0, 0, 0, false, kNow + 500 * i));
        ac.stream.back().stationary = 1;
    }
    decodeExisting(ac, tst_away(0, 0, 0, false, kNow + 2000));
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream.front().dueTick, kNow + 1);
    EXPECT_EQ(ac.stream.back().dueTick, kNow + 2000);
}

// One tick of motion between samples: the increments in the air; over a pole the latitude comes
// back down on the other side and the longitude stays within -180..180; a pushed-back aircraft
// stands; on the ground the heading is steered toward the target by the turn rate (not within
// half a degree) and the attitude is the standing one; a touchdown lowers the nose down to the
// standing pitch and ends; a flare holds the nose at most at its pitch.
TEST_F(PlaybackTest, OneTickOfMotion) {
    struct Row {
        const char* name;
        uint32_t flightState;
        double lat, lon, dLat, dLon, heading, dHeading, target;
        uint8_t steer, touchdown, flare;
        double latAfter, lonAfter, headingAfter, pitchAfter, bankAfter, altitudeAfter;
    };
    const Row rows[] = {
        {"flying", flying, 47, 8, 0.001, 0.002, 1, 0.01, 0, 0, 0, 0, 47.001, 8.002, 1.01, -0.051, 0.11, 3002},
        {"over the north pole", flying, 89.9995, 8, 0.001, 0, 1, 0, 0, 0, 0, 0, 89.9995, -172, 1, -0.051,
         0.11, 3002},
        {"over the south pole", flying, -89.9995, -170, -0.001, 0, 1, 0, 0, 0, 0, 0, -89.9995, 10, 1, -0.051,
         0.11, 3002},
        {"over the antimeridian", flying, 47, 179.9995, 0, 0.001, 1, 0, 0, 0, 0, 0, 47, -179.9995, 1, -0.051,
         0.11, 3002},
        {"the heading past north", flying, 47, 8, 0, 0, 6.28, 0.01, 0, 0, 0, 0, 47, 8, 6.29 - 2 * kPi, -0.051,
         0.11, 3002},
        {"pushed back", pushed_back, 47, 8, 0.001, 0.001, 1, 0, 1, 0, 0, 0, 47, 8, 1, 0.01, 0, 3000},
        {"steering right", taxi, 47, 8, 0.001, 0, 0, 0, 0.5, 1, 0, 0, 47.001, 8, 0.02, 0.01, 0, 3000},
        {"steering left past north", taxi, 47, 8, 0, 0, 0.01, 0, 6.2, 1, 0, 0, 47, 8, 2 * kPi - 0.01, 0.01, 0,
         3000},
        {"within half a degree", taxi, 47, 8, 0, 0, 0, 0, 0.008, 1, 0, 0, 47, 8, 0, 0.01, 0, 3000},
        {"not steering", taxi, 47, 8, 0, 0, 0, 0, 0.5, 0, 0, 0, 47, 8, 0, 0.01, 0, 3000},
        {"touching down", taxi, 47, 8, 0, 0, 1, 0, 1, 0, 1, 0, 47, 8, 1, 0.01, 0, 3000},
        {"flaring", flying, 47, 8, 0, 0, 1, 0, 0, 0, 0, 1, 47, 8, 1, kFlarePitchRad, 0.11, 3002},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LiveAircraft ac = tst_here(r.flightState, r.flightState == flying);
        ac.lat = r.lat, ac.lon = r.lon, ac.dLat = r.dLat, ac.dLon = r.dLon;
        ac.heading = r.heading, ac.dHeading = r.dHeading, ac.targetHeading = r.target;
        ac.steerToTarget = r.steer, ac.currentTurnRate = 0.02;
        ac.altitude = 3000, ac.dAltitude = 2, ac.agl = 3000;
        ac.pitch = -0.05, ac.dPitch = r.flare ? -1 : -0.001, ac.bank = 0.1, ac.dBank = 0.01;
        ac.staticPitch = 0.01;
        if (r.touchdown) ac.touchdownRunning = 1, ac.pitch = 0.005, ac.dPitch = 0.01, ac.flareStage = 2;
        ac.flareStage = r.flare ? 1 : ac.flareStage;
        lf_tickMotion(ac);
        EXPECT_NEAR(ac.lat, r.latAfter, 1e-9);
        EXPECT_NEAR(ac.lon, r.lonAfter, 1e-9);
        EXPECT_NEAR(ac.heading, r.headingAfter, 1e-9);
        EXPECT_NEAR(ac.pitch, r.pitchAfter, 1e-12);
        EXPECT_NEAR(ac.bank, r.bankAfter, 1e-12);
        EXPECT_NEAR(ac.altitude, r.altitudeAfter, 1e-9);
        if (r.touchdown)
            EXPECT_EQ(std::make_tuple(ac.touchdownRunning, ac.flareStage), std::make_tuple(0, 0));
    }
}

// The flare begins on the approach, in the air, once the height is within 30 ft of the centre of
// gravity's height; it speeds up the object scans.
TEST_F(PlaybackTest, TheFlareBeginsOnlyOnTheApproachInTheAir) {
    struct Row {
        const char* name;
        double agl;
        uint8_t approach, onGround;
        int32_t flareStage;
    };
    const Row rows[] = {{"on the approach at 34 ft", 34, 1, 0, 1},
                        {"on the approach at 36 ft", 36, 1, 0, 0},
                        {"low, not on the approach", 34, 0, 0, 0},
                        {"on the ground", 34, 1, 1, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        g_fastObjectScan = false;
        LiveAircraft ac = tst_here(flying, true, 140);
        ac.agl = r.agl, ac.approachFlag = r.approach, ac.onGround = r.onGround;
        ac.staticCgHeight = 5;
        ac.flareTicks = 100;
        lf_tickMotion(ac);
        EXPECT_EQ(ac.flareStage, r.flareStage);
        EXPECT_EQ(g_fastObjectScan, r.flareStage > 0);
    }
    g_fastObjectScan = false;
}

}  // namespace
