#include "live/playback.h"

#include "playback_fixture.h"

namespace {

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
        {"same position, fast take-off roll", 30, false, 0, 5, 2, 1, false, 0},
        {"same position, slow take-off roll", 29, false, 0, 5, 2, 1, true, 1},
        {"same position, fast take-off roll at 1 kt", 30, false, 0, 1, 2, 1, false, 0},
        {"near miss on the ground snaps", 12, false, 0.0001, 4, 2, 0, true, 1},
        {"near miss, take-off roll at 50 kt", 50, false, 0.0001, 60, 2, 1, false, 0},
        {"moving", 12, false, 0.001, 15, 2, 0, true, 0},
        {"no speed in the air after a slow sample", 49, true, 0.01, 0, 2, 0, true, 0},
        {"no speed in the air after a 50 kt sample", 50, true, 0.01, 0, 2, 0, false, 0},
        {"no speed in the air after a fast sample", 140, true, 0.01, 0, 2, 0, false, 0},
        {"same position, fast take-off roll, no speed", 30, false, 0, 0, 2, 1, true, 1},
        {"near miss, take-off roll at 49 kt", 49, false, 0.0001, 60, 2, 1, true, 1},
        {"near miss, take-off roll at 50 kt, no speed", 50, false, 0.0001, 0, 2, 1, true, 1},
        {"no speed on a take-off roll after a 49 kt sample", 49, false, 0.01, 0, 2, 1, true, 0},
        {"no speed on a take-off roll after a 50 kt sample", 50, false, 0.01, 0, 2, 1, false, 0},
        {"no speed on the ground after a fast sample", 140, false, 0.01, 0, 2, 0, true, 0},
        {"helicopter, same position in the air", 60, true, 0, 60, 5, 0, true, 1},
        {"helicopter, near miss in the air", 60, true, 0.0001, 60, 5, 0, true, 0},
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
        const bool helicopter = row.category == 5;  // keeps its speed while it hovers
        EXPECT_EQ(s.gs, row.stationary && !helicopter ? 0 : row.gs);
        EXPECT_EQ(s.lat, row.stationary ? 50.0 : 50.0 + row.dLat) << "a near miss takes the back position";
        EXPECT_EQ(s.dueTick, 1600) << "a sample keeps its own due tick";
    }
    LiveAircraft ac;
    decodeExisting(ac, tst_sample(50.0, 8.0, 200, true, 0));
    EXPECT_TRUE(ac.stream.empty());
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
        {"parked, create on its way, 150 m away", parked, adding2sim, 0, 150, 0, false, false, parked,
         adding2sim},
        {"parked, not yet spawned, 150 m away", parked, buffer, 0, 150, 0, false, false, parked, buffer},
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
        LiveAircraft ac = tst_here(row.flightState, row.airborne);
        ac.lifeState = row.lifeState;
        ac.extension = row.extension;
        ac.pushbackSide = 2;
        decodeExisting(ac, tst_away(row.meters, row.bearingDeg, row.airborne ? 250 : 10, row.airborne));
        EXPECT_EQ(ac.stream.size(), row.accepted ? 2u : 1u);
        EXPECT_EQ(ac.flightState, row.flightStateAfter);
        EXPECT_EQ(ac.lifeState, row.lifeStateAfter);
        if (row.accepted) EXPECT_EQ(ac.stream.back().stationary, 0);
        EXPECT_EQ(ac.extension, row.accepted ? 0 : row.extension);
        EXPECT_EQ(ac.stream.front().dueTick, row.accepted && row.extension > 0 ? kNow + 1 : kNow - 100)
            << "at once only when an extension ends";
        EXPECT_EQ(ac.pushbackSideKnown, row.flightState == pushing_back) << "the sample lies to the right";
        EXPECT_EQ(ac.holding, row.flightState == pushed_back && !row.accepted);
        EXPECT_EQ(ac.standId, row.flightState == pushed_back && row.accepted ? 0u : 3u);
        EXPECT_EQ(ac.leavingStand, row.flightState == parked && row.accepted);
    }
}

// Pushed back, the aircraft waits for the feed: reports within six half spans are the feed
// catching up, and so are reports within 2.75 half spans or no farther than the farthest so
// far; one beyond both starts the taxi. (The half span is 17.9 m.)
TEST_F(PlaybackTest, PushedBackAircraftTaxisOnceTheFeedMovesAway) {
    struct Row {
        const char* name;
        std::vector<double> meters;  // the reports after the pushback, north of the aircraft
        uint32_t flightStateAfter;
    };
    const Row rows[] = {
        {"just pushed back, 105 m", {105}, pushed_back}, {"just pushed back, 110 m", {110}, taxi},
        {"48 m after 20 m", {20, 48}, pushed_back},      {"50 m after 20 m", {20, 50}, taxi},
        {"55 m after 60 m", {60, 55}, pushed_back},      {"65 m after 60 m", {60, 65}, taxi}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_here(pushed_back, false);
        ac.pushedBackMaxDist = 900;  // as the pushback leaves it
        int32_t due = kNow;
        for (const double m : row.meters) decodeExisting(ac, tst_away(m, 0, 5, false, due += 300));
        EXPECT_EQ(ac.flightState, row.flightStateAfter);
        EXPECT_EQ(ac.stream.size(), row.flightStateAfter == taxi ? 2u : 1u);
        EXPECT_EQ(ac.holding, row.flightStateAfter == taxi ? 0 : 1);
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
        LiveAircraft ac = tst_here(parked, false);
        for (const Step& step : row.steps)
            decodeExisting(ac, tst_away(step.meters, step.bearingDeg, 0, false, kNow + step.due));
        EXPECT_EQ(ac.lifeState, active);
        EXPECT_EQ(ac.leavingStand, row.leavingStand);
    }
}

// An aircraft that has stood on the ground since it appeared, without a stand, holds on reports
// whose speed does not fit their positions, as a parked one does on its stand: it moves on when
// they keep going away, go beyond 85 m, or report a speed that fits; a jump faster than 30 kt is
// dropped. One that has moved before follows its reports.
TEST_F(PlaybackTest, StandingAircraftHoldsOnScatter) {
    struct Step {
        double meters, gs;
        int32_t due;
    };
    struct Row {
        const char* name;
        uint8_t stoodSinceAppearing;
        std::vector<Step> steps;
        const char* last;  // "held", "moves" or "dropped"
    };
    const Row rows[] = {
        {"a frozen 468 kt, 30 m away", 1, {{30, 468, 400}}, "held"},
        {"the same after it moved", 0, {{30, 468, 400}}, "moves"},
        {"a speed that fits: it starts", 1, {{30, 15, 400}}, "moves"},
        {"beyond 85 m", 1, {{90, 468, 1000}}, "moves"},
        {"faster than 30 kt", 1, {{20, 468, 400}, {60, 468, 500}}, "dropped"},
        {"a stale position, then on: timed from its first report",
         1,
         {{20, 468, 400}, {20, 468, 1200}, {60, 468, 1400}},
         "held"},
        {"three steps away, half a span", 1, {{20, 468, 400}, {30, 468, 800}, {40, 468, 1200}}, "moves"},
        {"two steps away and one back", 1, {{20, 468, 400}, {30, 468, 800}, {25, 468, 1200}}, "held"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_here(taxi, false);
        ac.stream.front().stationary = 1;
        ac.stoodSinceAppearing = row.stoodSinceAppearing;
        for (const Step& step : row.steps)
            decodeExisting(ac, tst_away(step.meters, 0, step.gs, false, kNow + step.due));
        const std::string last = ac.stream.back().dueTick != kNow + row.steps.back().due ? "dropped"
                                 : ac.stream.back().stationary                           ? "held"
                                                                                         : "moves";
        EXPECT_EQ(last, row.last);
        if (last == "held")
            EXPECT_TRUE(gf_samePosition(ac.stream.back(), ac.stream.front())) << "where it stands";
    }
}

// A holding aircraft cannot reach a sample beyond the threshold; a pushed-back one that waits for
// the feed taxis on when it moves away.
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
        LiveAircraft ac = tst_here(row.flightState, false);
        ac.holding = 1;
        decodeExisting(ac, tst_away(row.meters, 0, 10, false));
        EXPECT_EQ(ac.flightState, row.flightStateAfter);
        EXPECT_EQ(ac.lifeState, row.lifeStateAfter);
        EXPECT_EQ(ac.holding, row.holdingAfter);
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
        LiveAircraft ac = tst_here(flying, true, 140);
        ac.approachFlag = 1;
        ac.lat = 46.99;
        decodeExisting(ac, tst_away(1000, row.bearingDeg, row.gs, true));
        ASSERT_EQ(ac.stream.size(), row.size);
        if (row.size == 2) EXPECT_EQ(ac.stream.back().gs, row.gsAfter);
    }
}

// On the roll-out the feed turns off the runway while the aircraft still points down it: a sample
// that goes on along the feed's turn is kept, one that goes back against it is dropped; one back
// in the air is a touch-and-go once it is due.
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
        LiveAircraft ac = tst_here(taxi, false, 30);
        ac.landingRoll = ac.landed = ac.climbConfigured = 1;
        ac.throttleIndex = 1;
        ac.stream.push_back(tst_away(180, 90, 20, row.airborne, kNow + 200));
        ac.stream.push_back(tst_away(330, 90, 20, row.airborne, kNow + 400));
        const LatLon next = gf_destinationPoint(gf_posOf(ac.stream.back()), gf_degToRad(row.bearingDeg), 300);
        decodeExisting(ac, tst_sample(next.lat, next.lon, 15, row.airborne, kNow + 600));
        EXPECT_EQ(ac.stream.size(), row.streamSize);
        // A touch-and-go starts when the sample that shows it falls due, and ends the landing roll.
        g_tickCounter = kNow + 599;
        gf_startRollWhenDue(ac);
        EXPECT_EQ(ac.takeOffRoll, 0);
        g_tickCounter = kNow + 600;
        gf_startRollWhenDue(ac);
        EXPECT_EQ(ac.takeOffRoll, row.airborne);
        EXPECT_EQ(ac.landingRoll, !row.airborne);
        EXPECT_EQ(ac.landed + ac.climbConfigured, row.airborne ? 0 : 2);
        std::vector<std::string> touchAndGo = {"5 THROTTLE_SET 11468", "5 SPOILERS_SET 16383",
                                               "5 FLAPS_SET 3072"};
        for (const std::string& c : tst_lightEvents(5, "1111110")) touchAndGo.push_back(c);
        EXPECT_EQ(tst_queuedCommands(), row.airborne ? touchAndGo : std::vector<std::string>{});
    }
}

// The stream's end in the air: 8 samples 8 s apart along the heading, each at 95 % of the speed
// before; on an approach 90 % while 4 or more are left, then unchanged; then the stream ends.
TEST_F(PlaybackTest, AirExtensionsDecayTheSpeed) {
    for (const bool approach : {false, true}) {
        SCOPED_TRACE(approach);
        LiveAircraft ac = tst_here(flying, true, 200);
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
            EXPECT_EQ(ac.stream.back().alt, 3000) << "no glide-path sink while flaring";
            ac.stream.pop_front();
        }
        EXPECT_FALSE(lf_extendStream(ac));
        EXPECT_EQ(ac.extension, -1);
        EXPECT_FALSE(lf_extendStream(ac)) << "used up";
    }
    // A crawl in the air decays no further than 1 kt.
    LiveAircraft crawl = tst_here(flying, true, 1);
    ASSERT_TRUE(lf_extendStream(crawl));
    EXPECT_EQ(crawl.stream.back().gs, 1.0);
    LiveAircraft glide = tst_here(flying, true, 140);
    glide.approachFlag = 1;
    ASSERT_TRUE(lf_extendStream(glide));
    EXPECT_DOUBLE_EQ(glide.stream.back().alt, 3000 - 8 * 10.005) << "down the glide path";
    // Down at an elevated park airport's height (1416 ft) near it, the glide path's sample is on
    // the ground; without a park airport its altitude counts as the height.
    for (auto [park, alt, airborne] : {std::tuple{true, 1500.0, 1}, {true, 1420.0, 0}, {false, 1420.0, 1}}) {
        gf_clearParkAirport();
        gf_setParkAirportSet(park);
        gf_setParkAirportElevation(1416);
        gf_setParkAirportPositionSource([] { return std::optional<LatLon>(LatLon{47.05, 8.0}); });
        LiveAircraft a = tst_here(flying, true, 140);
        a.stream.front().alt = alt;
        a.approachFlag = 1;
        ASSERT_TRUE(lf_extendStream(a));
        EXPECT_EQ(a.stream.back().airborne, airborne) << park << " " << alt;
    }
    gf_clearParkAirport();
    // A taxiing aircraft whose stream ran dry holds where it is only while the feed has it on the
    // ground; one whose feed ended in the air (a helicopter its pressure altitude put down) flies on.
    for (const bool feedInTheAir : {false, true}) {
        LiveAircraft a = tst_here(taxi, feedInTheAir, 60);
        ASSERT_TRUE(lf_extendStream(a)) << feedInTheAir;
        EXPECT_EQ(a.holding, !feedInTheAir) << feedInTheAir;
        EXPECT_EQ(gf_samePosition(a.stream.back(), a.stream.front()), !feedInTheAir) << feedInTheAir;
    }
    // Near the edge of the range a stream that ran dry ends at once.
    g_userPosition.lat = 47.0;
    g_userPosition.lon = 8.0;
    g_rangeNm = 40.0;
    for (double nm : {39.4, 39.6}) {
        LiveAircraft ac = tst_active(tst_sample(47.0 + nm / 60, 8.0, 250, true, kNow), flying);
        EXPECT_EQ(lf_extendStream(ac), nm < 39.5) << nm;
    }
}

// A taxiing aircraft whose stream ran dry holds for 3 s at a time, for up to 20 minutes from its
// first hold; never where it would block a taxiing aircraft within 1.2 times their half spans.
TEST_F(PlaybackTest, HoldingOnTheGroundEndsAfterItsTimeOrForATaxiingNeighbour) {
    struct Row {
        const char* name;
        int32_t heldTicks;  // -1: not holding yet
        double neighbourM;  // 0: none
        uint32_t neighbourState;
        bool holds;
    };
    // Both half spans are 17.9 m: a neighbour within 43 m blocks.
    const Row rows[] = {{"first hold", -1, 0, taxi, true},
                        {"held 20 minutes", 120000, 0, taxi, true},
                        {"held 21 minutes", 126000, 0, taxi, false},
                        {"a taxiing neighbour 40 m away", 6000, 40, taxi, false},
                        {"a taxiing neighbour 46 m away", 6000, 46, taxi, true},
                        {"a parked neighbour 10 m away", 6000, 10, parked, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_liveRecords.clear();
        if (row.neighbourM > 0) {
            const PosSample at = tst_away(row.neighbourM, 90, 0, false);
            LiveAircraft& o = g_liveRecords.emplace_back(tst_active(at, row.neighbourState));
            o.objectId = 6;
            o.hexid = 0x3c6602;
        }
        LiveAircraft ac = tst_here(taxi, false, 0);
        ac.holding = row.heldTicks >= 0;
        ac.holdStartTick = row.heldTicks >= 0 ? kNow - row.heldTicks : 0;
        EXPECT_EQ(lf_extendStream(ac), row.holds);
        if (!row.holds) {
            if (row.neighbourM > 0) EXPECT_EQ(ac.holding + ac.holdStartTick, 0u) << "the hold is over";
            continue;
        }
        EXPECT_EQ(ac.holding, 1);
        EXPECT_EQ(ac.holdStartTick, row.heldTicks >= 0 ? kNow - row.heldTicks : kNow);
        ASSERT_EQ(ac.stream.size(), 2u);
        EXPECT_EQ(ac.stream.back().dueTick, ac.stream.front().dueTick + 300);
        EXPECT_EQ(ac.stream.back().stationary, 1);
    }
    g_liveRecords.clear();
}

// On the ground a dead-reckoned sample 3 s ahead takes a speed by the last one's: slowing down on
// the landing roll, speeding up on the take-off roll.
TEST_F(PlaybackTest, GroundExtensionSpeeds) {
    struct Row {
        bool landing;
        double gs, extendedKt, vrateFpm;
    };
    // The front sample climbs at 300 ft/min: the landing roll has none, the take-off roll keeps it
    // until it is fast enough to lift off.
    const Row rows[] = {{true, 140, 100, 0},     {true, 139, 80, 0},      {true, 100, 80, 0},
                        {true, 99, 60, 0},       {true, 80, 60, 0},       {true, 79, 30, 0},
                        {true, 60, 30, 0},       {true, 59, 20, 0},       {false, 30, 40, 300},
                        {false, 31, 80, 300},    {false, 60, 80, 300},    {false, 61, 110, 300},
                        {false, 100, 110, 300},  {false, 101, 150, 600},  {false, 140, 150, 600},
                        {false, 141, 170, 1200}, {false, 160, 170, 1200}, {false, 161, 180, 2400}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.landing << " " << row.gs);
        LiveAircraft ac = tst_here(taxi, false, row.gs);
        ac.stream.front().vrate = 300;
        ac.landingRoll = row.landing;
        ac.takeOffRoll = !row.landing;
        ac.extension = 3;
        ASSERT_TRUE(lf_extendStream(ac));
        EXPECT_EQ(ac.stream.back().gs, row.extendedKt);
        EXPECT_EQ(ac.stream.back().vrate, row.vrateFpm);
        const double nm = gf_haversineNm(gf_posOf(ac.stream.front()), gf_posOf(ac.stream.back()));
        EXPECT_NEAR(nm, row.extendedKt * 3 / 3600, 1e-4) << "3 s along the heading";
    }
}

// On the roll-out with one sample left, a new one that turns 150 degrees or more off the heading
// is dropped while an extension runs; otherwise the roll-out goes on from where the aircraft is
// and the extension ends.
TEST_F(PlaybackTest, RollOutDuringAnExtensionDropsASampleThatTurnsBack) {
    const struct Row {
        int32_t extension;
        double turnDeg;
        bool accepted;
    } rows[] = {{3, 150, false}, {3, 149, true}, {1, 170, false}, {0, 170, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.extension << " " << row.turnDeg);
        LiveAircraft ac = tst_here(taxi, false, 30);
        ac.landingRoll = 1;
        ac.extension = row.extension;
        ac.lat = 47.00001;
        // The new sample lies due south of the front one.
        ac.heading = kPi - gf_degToRad(row.turnDeg);
        decodeExisting(ac, tst_sample(46.99, 8.0, 20, false, kNow + 600));
        ASSERT_EQ(ac.stream.size(), row.accepted ? 2u : 1u);
        EXPECT_EQ(ac.stream.front().lat, row.accepted ? ac.lat : 47.0);
        EXPECT_EQ(ac.extension, row.accepted ? 0 : row.extension);
    }
}

// Two stationary samples: the front falls due at once, stopped.
TEST_F(PlaybackTest, TwoStationarySamplesFallDueAtOnce) {
    LiveAircraft stopped = tst_active(tst_sample(47.0, 8.0, 3, false, kNow + 500), taxi);
    stopped.stream.front().stationary = 1;
    decodeExisting(stopped, tst_sample(47.0, 8.0, 0, false, kNow + 900));
    ASSERT_EQ(stopped.stream.size(), 2u);
    EXPECT_EQ(stopped.stream.front().dueTick, kNow + 1);
    EXPECT_EQ(stopped.stream.front().gs, 0);
}

// The due tick of the next sample in the air: timed by speed, moved half way to the due tick but
// by at most a tenth of the leg (not on the ground), within [due - dueBack, due + dueAhead] unless
// an extension runs, never before now; a speed of 0, NaN or next to nothing gives a finite due
// tick and the aircraft still moves.
TEST_F(PlaybackTest, NextDueInTheAirKeepsItsClamps) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        double kt;
        int32_t nextDueIn, extension, dueIn;
        uint8_t onGround = 0;
    };
    // 1 nm at 360 kt is 1000 ticks.
    const Row rows[] = {{360, 1000, 0, 1000}, {360, 1100, 0, 1050},    {360, 1600, 0, 1100},
                        {360, 800, 0, 900},   {360, 1600, 0, 1000, 1}, {360, 4500, 0, 1500},
                        {360, -3500, 0, 0},   {360, 4500, 2, 1000},    {0, 1000, 0, 1000},
                        {nan, 1000, 0, 4000}, {0.001, 1000, 0, 4000}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.kt << " " << row.nextDueIn << " " << row.extension);
        LiveAircraft ac = tst_active(tst_sample(47.0, 8.0, row.kt, true, kNow), flying);
        ac.dueBack = ac.dueAhead = 3000;
        ac.extension = row.extension;
        ac.onGround = row.onGround;
        ac.stream.push_back(tst_sample(47.0 + 1.0 / 60, 8.0, row.kt, true, kNow + row.nextDueIn));
        lf_nextPosAir(ac);
        EXPECT_EQ(ac.stream[1].dueTick, kNow + row.dueIn);
    }
}

}  // namespace
