#include "live/parking_conflicts.h"

#include <fmt/format.h>

#include "core/clock.h"
#include "core/slots.h"
#include "stand_fixture.h"

namespace {

using ParkingConflictsTest = StandTest;

// The mark belongs to the live aircraft that set it. A newcomer arriving at a stand another
// aircraft holds (by the mark, or parked there with the mark freed by its parked extension) is
// removed without its stand, and the occupant keeps the mark; once the occupant goes it is free.
TEST_F(ParkingConflictsTest, OccupiedMarkBelongsToTheAircraftThatTookTheStand) {
    tst_addStands({{"A1", 0, 0, 30}});
    EXPECT_FALSE(gf_takeStand(staticAc(17, "EZY5*", "B738", 1))) << "static aircraft never set the mark";
    g_liveRecords.push_back(liveAc(30001, "SWR1", "B738", 1));
    ASSERT_TRUE(gf_takeStand(g_liveRecords[0]));
    EXPECT_TRUE(gf_takeStand(g_liveRecords[0]));
    LiveAircraft newcomer = liveAc(30002, "SWR2", "B738", 1, active, parking);
    EXPECT_FALSE(gf_takeStand(newcomer));
    gf_leaveStand(newcomer);
    EXPECT_EQ(g_stands[0].occupantHexid, 30001u) << "one that did not take the stand leaves the mark";
    EXPECT_FALSE(gf_arrivesAtOccupiedStand(g_liveRecords[0]));
    EXPECT_TRUE(gf_arrivesAtOccupiedStand(newcomer));
    EXPECT_EQ(newcomer.lifeState, removingfromsim);
    EXPECT_EQ(newcomer.extension, 1);
    EXPECT_EQ(newcomer.standId, 0u);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>{newcomer.objectId});
    EXPECT_EQ(g_stands[0].occupantHexid, 30001u);
    gf_leaveStand(g_liveRecords[0]);
    EXPECT_FALSE(g_stands[0].occupied);
    EXPECT_EQ(g_stands[0].occupantHexid, 0u) << "nobody's mark";
    LiveAircraft third = liveAc(30003, "SWR3", "B738", 1, active, parking);
    EXPECT_TRUE(gf_arrivesAtOccupiedStand(third)) << "the parked occupant still stands there";
    removeAircraftFromSim(g_liveRecords[0]);
    LiveAircraft fourth = liveAc(30004, "SWR4", "B738", 1, active, parking);
    EXPECT_FALSE(gf_arrivesAtOccupiedStand(fourth));
    EXPECT_TRUE(gf_takeStand(fourth));
}

TEST_F(ParkingConflictsTest, NewcomerAndLiveOccupantDecideWhoKeepsTheStand) {
    struct Row {
        const char *occupant, *newcomer;
        uint32_t lifeState, flightState;
        uint8_t standSampleSeen;
        bool allowed;
        const char* line;  // logged line; empty when nothing is removed
    } rows[] = {
        {"SWR12", "SWR12", active, parked, 1, true,
         "A1      : SWR12    ac with same callsign SWR12 wants it, remove existing ...\n"},
        {"SWR12", "SWR12_", active, parked, 0, false, ""},
        {"SWR12_", "SWR12", active, parked, 1, true, "A1      : SWR12_   ghost, replace by SWR12\n"},
        {"SWR12", "SWR12A", active, parked, 0, false, ""},
        {"SWR12A", "SWR12", active, parked, 1, true, "A1      : SWR12A   ghost, replace by SWR12\n"},
        {"EZY9_", "SWR12", active, pushing_back, 1, true, "A1      : EZY9_    ghost, replace by SWR12\n"},
        {"SWR12", "EZY9_", active, parked, 0, false, ""},
        {"SWR12", "EZY9", active, pushed_back, 1, false, ""},
        {"SWR12", "EZY9", active, parked, 0, true,
         "A1      : SWR12    removed because another live EZY9 wants the stand ...\n"},
        {"SWR12", "EZY9", active, taxi, 0, true, ""},
        {"SWR12", "EZY9", adding2sim, parked, 0, true, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.occupant) + " / " + row.newcomer);
        freshCase();
        tst_addStands({{"A1", 0, 0, 30}});
        g_liveRecords.push_back(liveAc(30001, row.occupant, "B738", 1, row.lifeState, row.flightState));
        g_liveRecords[0].standSampleSeen = row.standSampleSeen;
        EXPECT_EQ(lf_sameCallsignWantsStand(1, row.newcomer), row.allowed);
        EXPECT_EQ(gf_capturedLog(), row.line);
        EXPECT_EQ(g_liveRecords[0].lifeState, *row.line ? removingfromsim : row.lifeState);
    }
}

// Two aircraft on stands are too close within 1.1 x their half spans (B738: 17.9 m, C172: 5.5 m).
// A2 overlaps A1 (neighbours, 35 m apart); A3 is a neighbour but far enough for a C172. Static
// aircraft on the stand and too close next door make way; so do live ones parked there, or next
// door parked or pushing back.
TEST_F(ParkingConflictsTest, NewcomerRemovesOccupantsAndTooCloseNeighbours) {
    const double b738 = gf_metersToNm(17.9);
    EXPECT_TRUE(gf_tooClose(tst_offsetM(0, 0), tst_offsetM(39.3, 0), b738, b738));
    EXPECT_FALSE(gf_tooClose(tst_offsetM(0, 0), tst_offsetM(39.5, 0), b738, b738));
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 35, 0, 30}, {"A3", 0, 45, 30}});
    ASSERT_EQ(g_stands[0].neighbours, (std::vector<uint32_t>{2, 3}));
    g_staticAircraft = {staticAc(11, "EZY1*", "B738", 1), staticAc(12, "EZY2*", "B738", 2),
                        staticAc(13, "EZY3*", "C172", 3)};
    g_staticAircraft[0].spawnCallsign = "SWR12";
    lf_makesWay(liveAc(30001, "SWR12", "B738"), g_stands[0]);
    EXPECT_EQ(gf_capturedLog(),
              "A1      : EZY1*    HB-S11 makes way for the same live version SWR12 HB-30001\n"
              "A2      : EZY2*    makes way for SWR12 parking at excluded stand A1\n");
    EXPECT_EQ(g_staticAircraft[2].lifeState, active);
    EXPECT_EQ(g_removeDeque, (std::deque<uint32_t>{511, 512}));

    struct Row {
        const char* what;
        uint32_t standId;
        const char* type;
        uint32_t lifeState, flightState;
        bool removed;
    } rows[] = {
        {"parked on the stand", 1, "B738", active, parked, true},
        {"pushing back on the stand", 1, "B738", active, pushing_back, false},
        {"parked next door, too close", 2, "B738", active, parked, true},
        {"pushing back next door, too close", 2, "B738", active, pushing_back, true},
        {"pushed back next door", 2, "B738", active, pushed_back, false},
        {"parked next door, small enough", 3, "C172", active, parked, false},
        {"still being created next door", 2, "B738", adding2sim, parked, false},
    };
    const LiveAircraft newcomer = liveAc(30009, "SWR9", "B738", 0, active, taxi);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        g_liveRecords = {liveAc(30001, "SWR1", row.type, row.standId, row.lifeState, row.flightState)};
        if (row.standId == 1)
            lf_removedWantsToPark(1, newcomer);
        else
            lf_removedAdjacent(row.standId, newcomer, g_stands[0]);
        EXPECT_EQ(g_liveRecords[0].lifeState, row.removed ? removingfromsim : row.lifeState);
        const char* line = row.standId == 1 ? "A1      : SWR1     removed, SWR9 wants to park there\n"
                                            : "A2      : SWR1     removed by parking SWR9 at adjacent and "
                                              "possibly colliding stand A1\n";
        EXPECT_EQ(gf_capturedLog(), row.removed ? line : "");
    }
}

// A static aircraft making way is "the same live version" only by a matching callsign or
// registration that is not empty.
TEST_F(ParkingConflictsTest, SameLiveVersionOnlyByANameThatIsNotEmpty) {
    const struct Row {
        const char *stCallsign, *stReg, *callsign, *reg;
        bool same;
    } rows[] = {{"SWR12", "", "SWR12", "", true},
                {"", "HB-JXA", "", "HB-JXA", true},
                {"", "", "", "", false},
                {"SWR12", "HB-JXA", "SWR13", "HB-JXB", false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.stCallsign << "/" << r.stReg << " " << r.callsign << "/" << r.reg);
        freshCase();
        tst_addStands({{"A1", 0, 0, 30}});
        g_staticAircraft = {staticAc(11, "EZY1*", "B738", 1)};
        g_staticAircraft[0].spawnCallsign = r.stCallsign;
        g_staticAircraft[0].regcode = r.stReg;
        LiveAircraft ac = liveAc(30001, "X", "B738");
        ac.callsign = r.callsign;
        ac.regcode = r.reg;
        lf_makesWay(ac, g_stands[0]);
        EXPECT_EQ(gf_capturedLog(), fmt::format("A1      : EZY1*    {} makes way for{} {} {}\n", r.stReg,
                                                r.same ? " the same live version" : "", r.callsign, r.reg));
        EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
    }
}

// A static aircraft still being created makes way too: one whose create waits in the queue is
// withdrawn and its record erased; one whose create was sent stays, to be removed when it appears.
TEST_F(ParkingConflictsTest, StaticOnItsWayMakesWayByItsCreate) {
    for (const bool queued : {true, false}) {
        SCOPED_TRACE(queued);
        freshCase();
        tst_addStands({{"A1", 0, 0, 30}});
        g_staticAircraft = {staticAc(11, "EZY1*", "B738", 1, adding2sim)};
        g_createDequeStatic.clear();
        if (queued) g_createDequeStatic.push_back({.callsign = "EZY1*", .hexid = 11});
        lf_makesWay(liveAc(30001, "SWR12", "B738"), g_stands[0]);
        ASSERT_EQ(g_staticAircraft.size(), queued ? 0u : 1u);
        if (!queued) EXPECT_EQ(g_staticAircraft[0].removeWhenItAppears, 1);
        EXPECT_TRUE(g_createDequeStatic.empty());
    }
}

// The object of an aircraft created parked: on the ground, its half-hour taken, and an active static
// aircraft on its stand (not one still being created) driven off.
TEST_F(ParkingConflictsTest, CreatedParkedDrivesOffTheStaticOnItsStand) {
    tst_addStands({{"A1", 0, 0, 30}});
    g_currentSlot = gf_packSlot(20, 3);
    g_staticAircraft = {staticAc(11, "EZY1*", "B738", 1, adding2sim), staticAc(12, "EZY2*", "B738", 1)};
    LiveAircraft parkedAc = liveAc(30001, "SWR12", "B738", 1, adding2sim, parked);
    parkedAc.dAltitude = -3;
    lf_parksOnCreate(parkedAc);
    EXPECT_EQ(parkedAc.onGround, 1);
    EXPECT_EQ(parkedAc.dAltitude, 0.0);
    EXPECT_EQ(parkedAc.parkSlot, gf_packSlot(20, 3));
    EXPECT_EQ(gf_capturedLog(), "A1      : SWR12    parks\nA1      : SWR12    parks over static EZY2* \n");
    EXPECT_EQ(g_staticAircraft[0].lifeState, adding2sim) << "only an active static is driven off";
    EXPECT_EQ(g_staticAircraft[1].lifeState, removingfromsim);
}

// Max park: one call removes the longest parked live aircraft when more are parked than wanted,
// and the static placed longest ago (counted over the week's end: on Monday 01:00 one placed on
// Sunday evening is older than one placed at Monday 00:00) when statics and live ones together are.
TEST_F(ParkingConflictsTest, MaxParkRemovesTheLongestParked) {
    constexpr int64_t kNow = 1'000'000'000'000;
    gf_setClock100ns([] { return kNow; });
    g_currentSlot = gf_packSlot(2, 1);
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}});
    for (uint32_t i = 0; i < 10; ++i) {
        g_liveRecords.push_back(liveAc(30001 + i, "SWR", "B738", 1));
        g_liveRecords.back().steadySince = kNow - (i == 3 ? 5000 : 600 + 60 * i) * 10'000'000LL;
    }
    g_liveRecords[3].callsign = "SWR1003";
    const auto order = lf_maxParkOrder();
    ASSERT_EQ(order.size(), 10u);
    EXPECT_EQ(order[0], (std::pair<uint32_t, int64_t>{30004, 5000}));
    EXPECT_EQ(order[1], (std::pair<uint32_t, int64_t>{30010, 1140}));
    gf_maxParkCheck(0, 10);
    gf_maxParkCheck(9, 0);
    EXPECT_EQ(gf_countActiveLive(), 10) << "ten parked are not more than ten wanted; none wanted is off";
    gf_maxParkCheck(0, 1);
    EXPECT_EQ(g_liveRecords[3].lifeState, removingfromsim);
    EXPECT_EQ(gf_capturedLog(), "A1      : SWR1003 live max park exceeded, removed\n");
    gf_maxParkCheck(1, 10);
    EXPECT_EQ(g_liveRecords[9].lifeState, active) << "nine parked and one more are not above ten";
    gf_maxParkCheck(2, 10);
    EXPECT_EQ(g_liveRecords[9].lifeState, removingfromsim);
    EXPECT_EQ(g_liveRecords[8].lifeState, active);

    g_liveRecords.resize(1);
    const std::pair<int, int> placed[] = {{0, 1}, {40, 7}, {40, 7}, {2, 1}};  // slot, weekday
    for (uint32_t i = 0; i < 4; ++i) {
        g_staticAircraft.push_back(staticAc(11 + i, fmt::format("EZY{}*", i + 1), "B738", i == 1 ? 2 : 1,
                                            i == 3 ? removingfromsim : active));
        g_staticAircraft.back().parkSlot = gf_packSlot(placed[i].first, placed[i].second);
    }
    gf_setLogCapture(false);
    gf_setLogCapture(true);
    gf_maxParkCheck(0, 5);
    EXPECT_EQ(g_staticAircraft[1].lifeState, active) << "4 statics shown + 1 live are not above 5";
    gf_maxParkCheck(1, 5);
    EXPECT_EQ(g_liveRecords[0].lifeState, active) << "1 live + 1 extra are not above 5";
    EXPECT_EQ(g_staticAircraft[0].lifeState, active);
    EXPECT_EQ(g_staticAircraft[1].lifeState, removingfromsim) << "the first of the two oldest";
    EXPECT_EQ(g_staticAircraft[2].lifeState, active);
    EXPECT_EQ(gf_capturedLog(), "A2      : EZY2* static max park exceeded, removed\n");
}

// Max park takes the fitted statics before those of the feed's parked traffic, each kind
// placed longest ago first.
TEST_F(ParkingConflictsTest, MaxParkTakesFittedStaticsBeforeParkedTraffic) {
    g_currentSlot = gf_packSlot(20, 1);
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}});
    const std::tuple<const char*, uint32_t, int> statics[] = {
        {"SWR1*", 0, 10}, {"EZY2*", 1, 12}, {"EZY3*", 1, 14}};
    for (const auto& [callsign, fitted, slot] : statics) {
        g_staticAircraft.push_back(staticAc(11 + g_staticAircraft.size(), callsign, "B738", 1));
        g_staticAircraft.back().noSourceHexid = fitted;
        g_staticAircraft.back().parkSlot = gf_packSlot(slot, 1);
    }
    std::vector<std::string> removed;
    for (int call = 0; call < 3; ++call) {
        gf_maxParkCheck(1, 1);
        for (const AircraftRec& st : g_staticAircraft)
            if (st.lifeState == removingfromsim) removed.push_back(st.callsign);
        std::erase_if(g_staticAircraft,
                      [](const AircraftRec& st) { return st.lifeState == removingfromsim; });
    }
    EXPECT_EQ(removed, (std::vector<std::string>{"EZY2*", "EZY3*", "SWR1*"}));
    // The oldest one still on its way into the simulator: this check removes nothing, not the
    // next oldest in its place.
    for (const auto& [callsign, slot, state] :
         {std::tuple{"EZY4*", 8, adding2sim}, std::tuple{"EZY5*", 12, active}}) {
        g_staticAircraft.push_back(staticAc(21 + g_staticAircraft.size(), callsign, "B738", 1));
        g_staticAircraft.back().noSourceHexid = 1;
        g_staticAircraft.back().parkSlot = gf_packSlot(slot, 1);
        g_staticAircraft.back().lifeState = state;
    }
    gf_maxParkCheck(1, 1);
    const AircraftRec& coming = g_staticAircraft[0];
    EXPECT_EQ(std::make_tuple(coming.lifeState, coming.withdrawn != 0, coming.removeWhenItAppears,
                              g_staticAircraft[1].lifeState),
              std::make_tuple(uint32_t{adding2sim}, false, false, uint32_t{active}));
}

}  // namespace
