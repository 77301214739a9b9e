#include "live/parking_conflicts.h"

#include "core/clock.h"
#include "core/slots.h"
#include "stand_fixture.h"
#include "support/live_builders.h"

namespace {

using ParkingConflictsTest = StandTest;

TEST_F(ParkingConflictsTest, TakeAndLeaveBelongToTheAircraftThatTookTheStand) {
    addStands({{"A1", 0, 0, 30}});
    const LiveAircraft first = liveAc(30001, "SWR1", "B738", 1);
    const LiveAircraft second = liveAc(30002, "SWR2", "B738", 1);
    const AircraftRec parkedStatic = staticAc(17, "EZY5*", "B738", 1);

    EXPECT_FALSE(gf_takeStand(parkedStatic)) << "static aircraft never set the mark";
    EXPECT_FALSE(g_stands[0].occupied);
    ASSERT_TRUE(gf_takeStand(first));
    EXPECT_TRUE(gf_takeStand(first)) << "taking its own stand again is harmless";
    EXPECT_FALSE(gf_takeStand(second)) << "no two live aircraft on one stand";
    EXPECT_EQ(g_stands[0].occupantHexid, 30001u);

    gf_leaveStand(second);
    EXPECT_TRUE(g_stands[0].occupied) << "an aircraft that did not take the stand leaves the mark";
    gf_leaveStand(first);
    EXPECT_FALSE(g_stands[0].occupied);
    EXPECT_EQ(g_stands[0].occupantHexid, 0u);
    EXPECT_TRUE(gf_takeStand(second));
}

// Every way a live aircraft that took its stand leaves the live set clears the mark, except a
// create already sent: its object still appears on the stand before it is removed.
TEST_F(ParkingConflictsTest, OccupiedMarkIsClearedOnEveryRemovalPath) {
    struct Row {
        const char* path;
        uint32_t lifeState;
        bool createQueued;
        bool markKept;
        uint8_t eraseFlag, withdrawn, removeWhenItAppears;
    };
    const Row rows[] = {
        {"buffer after a livery respawn", buffer, false, false, 1, 0, 0},
        {"queued create withdrawn", adding2sim, true, false, 0, 1, 0},
        {"create already sent", adding2sim, false, true, 0, 0, 1},
        {"active", active, false, false, 0, 0, 0},
        {"livery respawn under way", liveryrespawn, false, false, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        freshCase();
        addStands({{"A1", 0, 0, 30}});
        LiveAircraft ac = liveAc(30001, "SWR1", "B738", 1, row.lifeState);
        ac.objectId = 44;
        ASSERT_TRUE(gf_takeStand(ac));
        if (row.createQueued) g_createDeque.push_back(tst_createRequest(ac.callsign, ac.hexid));
        removeAircraftFromSim(ac);
        EXPECT_EQ(g_stands[0].occupied, row.markKept);
        EXPECT_EQ(ac.eraseFlag, row.eraseFlag);
        EXPECT_EQ(ac.withdrawn, row.withdrawn);
        EXPECT_EQ(ac.removeWhenItAppears, row.removeWhenItAppears);
        if (!row.markKept) continue;
        // The object appears, is activated and removed: then the stand is free.
        ac.lifeState = active;
        removeAircraftFromSim(ac);
        EXPECT_FALSE(g_stands[0].occupied);
    }
}

TEST_F(ParkingConflictsTest, NewcomerAtAnOccupiedStandIsRemovedAndTheOccupantKeepsTheMark) {
    addStands({{"A1", 0, 0, 30}});
    g_liveRecords.push_back(liveAc(30001, "SWR1", "B738", 1));
    ASSERT_TRUE(gf_takeStand(g_liveRecords[0]));
    LiveAircraft newcomer = liveAc(30002, "SWR2", "B738", 1, active, parking);
    newcomer.objectId = 77;
    newcomer.cargoStand = 1;

    EXPECT_TRUE(gf_arrivesAtOccupiedStand(newcomer));
    EXPECT_EQ(newcomer.lifeState, removingfromsim);
    EXPECT_EQ(newcomer.extension, 1);
    EXPECT_EQ(newcomer.standId, 0u);
    EXPECT_EQ(newcomer.standLat, 0.0);
    EXPECT_EQ(newcomer.cargoStand, 0);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>{77});
    EXPECT_TRUE(g_stands[0].occupied);
    EXPECT_EQ(g_stands[0].occupantHexid, 30001u);

    // The occupant itself arriving again is no conflict.
    EXPECT_FALSE(gf_arrivesAtOccupiedStand(g_liveRecords[0]));
    EXPECT_EQ(g_liveRecords[0].lifeState, active);
    // The occupant's parked extension frees the mark, but it still stands there.
    gf_leaveStand(g_liveRecords[0]);
    LiveAircraft third = liveAc(30003, "SWR3", "B738", 1, active, parking);
    third.objectId = 78;
    EXPECT_TRUE(gf_arrivesAtOccupiedStand(third));
    EXPECT_EQ(third.lifeState, removingfromsim);
    EXPECT_FALSE(g_stands[0].occupied);
    // Once the occupant is on its way out the stand is free: the newcomer takes it.
    removeAircraftFromSim(g_liveRecords[0]);
    LiveAircraft fourth = liveAc(30004, "SWR4", "B738", 1, active, parking);
    EXPECT_FALSE(gf_arrivesAtOccupiedStand(fourth));
    EXPECT_TRUE(gf_takeStand(fourth));
}

TEST_F(ParkingConflictsTest, NewcomerAndLiveOccupantDecideWhoKeepsTheStand) {
    struct Row {
        const char* occupant;
        const char* newcomer;
        uint32_t lifeState;
        uint32_t flightState;
        uint8_t standSampleSeen;
        bool allowed;
        const char* line;  // logged line; empty when nothing is removed
    };
    const Row rows[] = {
        {"SWR12", "SWR12", active, parked, 1, true,
         "A1      : SWR12    ac with same callsign SWR12 wants it, remove existing ...\n"},
        {"SWR12", "SWR12_", active, parked, 0, false, ""},
        {"SWR12_", "SWR12", active, parked, 1, true, "A1      : SWR12_   ghost, replace by SWR12\n"},
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
        addStands({{"A1", 0, 0, 30}});
        g_liveRecords.push_back(liveAc(30001, row.occupant, "B738", 1, row.lifeState, row.flightState));
        g_liveRecords[0].standSampleSeen = row.standSampleSeen;
        EXPECT_EQ(lf_sameCallsignWantsStand(1, row.newcomer), row.allowed);
        EXPECT_EQ(logged(), row.line);
        const bool removed = *row.line != '\0';
        EXPECT_EQ(g_liveRecords[0].lifeState, removed ? removingfromsim : row.lifeState);
    }
}

TEST_F(ParkingConflictsTest, StaticAircraftMakeWayOnTheStandAndTooCloseNeighbours) {
    // A2 overlaps A1 (neighbours, 35 m apart); A3 is a neighbour but far enough for a C172.
    addStands({{"A1", 0, 0, 30}, {"A2", 35, 0, 30}, {"A3", 0, 45, 30}});
    ASSERT_EQ(g_stands[0].neighbours, (std::vector<uint32_t>{2, 3}));
    g_staticAircraft.push_back(staticAc(11, "EZY1*", "B738", 1));
    g_staticAircraft[0].spawnCallsign = "SWR12";
    g_staticAircraft.push_back(staticAc(12, "EZY2*", "B738", 2));
    g_staticAircraft.push_back(staticAc(13, "EZY3*", "C172", 3));
    const LiveAircraft ac = liveAc(30001, "SWR12", "B738");

    lf_makesWay(ac, g_stands[0]);
    EXPECT_EQ(logged(),
              "A1      : EZY1*    HB-S11 makes way for the same live version SWR12 HB-30001\n"
              "A2      : EZY2*    makes way for SWR12 parking at excluded stand A1\n");
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
    EXPECT_EQ(g_staticAircraft[1].lifeState, removingfromsim);
    EXPECT_EQ(g_staticAircraft[2].lifeState, active) << "45 m > 1.1 x (17.9 m + 5.5 m)";
    EXPECT_EQ(g_removeDeque, (std::deque<uint32_t>{511, 512}));
}

TEST_F(ParkingConflictsTest, SameLiveVersionOnlyForAMatchingCallsignOrRegistration) {
    struct Row {
        const char *spawnCallsign, *staticReg, *liveReg, *line;
    };
    const Row rows[] = {
        {"EZY1*", "", "", "A1      : EZY1*     makes way for SWR12 \n"},
        {"EZY1*", "HB-JXA", "HB-JXA", "A1      : EZY1*    HB-JXA makes way for the same live version SWR12 HB-JXA\n"},
        {"SWR12", "", "", "A1      : EZY1*     makes way for the same live version SWR12 \n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        freshCase();
        addStands({{"A1", 0, 0, 30}});
        g_staticAircraft.push_back(staticAc(11, "EZY1*", "B738", 1));
        g_staticAircraft[0].spawnCallsign = row.spawnCallsign;
        g_staticAircraft[0].regcode = row.staticReg;
        LiveAircraft ac = liveAc(30001, "SWR12", "B738");
        ac.regcode = row.liveReg;
        lf_makesWay(ac, g_stands[0]);
        EXPECT_EQ(logged(), row.line);
    }
}

TEST_F(ParkingConflictsTest, QueuedStaticIsErasedOnlyWhenItsCreateWasWithdrawn) {
    struct Row {
        const char* what;
        bool createQueued;
        size_t staticsLeft;
        uint8_t removeWhenItAppears;
    };
    const Row rows[] = {{"create still queued", true, 0, 0}, {"create already sent", false, 1, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshCase();
        addStands({{"A1", 0, 0, 30}});
        g_staticAircraft.push_back(staticAc(11, "EZY1*", "B738", 1, adding2sim));
        if (row.createQueued)
            g_createDequeStatic.push_back(
                tst_createRequest(g_staticAircraft[0].callsign, g_staticAircraft[0].hexid));
        lf_makesWay(liveAc(30001, "SWR12", "B738"), g_stands[0]);
        EXPECT_EQ(logged(), "queued A1      : EZY1*    HB-S11 makes way for SWR12 HB-30001\n");
        ASSERT_EQ(g_staticAircraft.size(), row.staticsLeft);
        EXPECT_TRUE(g_createDequeStatic.empty());
        if (row.staticsLeft == 0) continue;
        EXPECT_EQ(g_staticAircraft[0].withdrawn, 0);
        EXPECT_EQ(g_staticAircraft[0].removeWhenItAppears, row.removeWhenItAppears);
    }
}

TEST_F(ParkingConflictsTest, ParkingNewcomerRemovesOccupantAndTooCloseNeighbours) {
    addStands({{"A1", 0, 0, 30}, {"A2", 35, 0, 30}, {"A3", 0, 45, 30}});
    struct Row {
        const char* what;
        uint32_t standId;
        const char* type;
        uint32_t lifeState, flightState;
        bool removed;
    };
    const Row rows[] = {
        {"parked on the stand", 1, "B738", active, parked, true},
        {"pushing back on the stand", 1, "B738", active, pushing_back, false},
        {"parked next door, too close", 2, "B738", active, parked, true},
        {"pushing back next door, too close", 2, "B738", active, pushing_back, true},
        {"pushed back next door", 2, "B738", active, pushed_back, false},
        {"parked next door, small enough", 3, "C172", active, parked, false},
        {"still being created next door", 2, "B738", adding2sim, parked, false},
    };
    const char* lines[] = {
        "A1      : SWR1     removed, SWR9 wants to park there\n",
        "A2      : SWR1     removed by parking SWR9 at adjacent and possibly colliding stand A1\n",
    };
    const LiveAircraft newcomer = liveAc(30009, "SWR9", "B738", 0, active, taxi);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        g_liveRecords.clear();
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        g_liveRecords.push_back(liveAc(30001, "SWR1", row.type, row.standId, row.lifeState, row.flightState));
        if (row.standId == 1)
            lf_removedWantsToPark(1, newcomer);
        else
            lf_removedAdjacent(row.standId, newcomer, g_stands[0]);
        EXPECT_EQ(g_liveRecords[0].lifeState, row.removed ? removingfromsim : row.lifeState);
        EXPECT_EQ(logged(), row.removed ? lines[row.standId == 1 ? 0 : 1] : "");
    }
}

TEST_F(ParkingConflictsTest, TaxiingAircraftRemovesStaticAircraftInItsWay) {
    addStands({{"A1", 0, 0, 30}, {"A2", 100, 0, 30}});
    g_staticAircraft.push_back(staticAc(11, "EZY1*", "B738", 1));
    g_staticAircraft.push_back(staticAc(12, "SWR12", "B738", 2));
    LiveAircraft ac = liveAc(30001, "SWR12", "B738", 0, active, taxi);

    struct Row {
        const char* what;
        double northM;
        uint8_t landingRoll, takeOffRoll;
        bool removed;
    };
    const Row rows[] = {
        {"landing roll", 10, 1, 0, false},
        {"take-off roll", 10, 0, 1, false},
        {"clear of A1", 40, 0, 0, false},  // 40 m > 1.1 x 35.8 m
        {"over its own static version on A2", 100, 0, 0, false},
        {"in the way", 39, 0, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const LatLon p = tst_offsetM(row.northM, 0);
        ac.lat = p.lat;
        ac.lon = p.lon;
        ac.savedLat = ac.savedLon = 0;
        ac.landingRoll = row.landingRoll;
        ac.takeOffRoll = row.takeOffRoll;
        lf_collisionWithStatic(ac);
        const bool rolling = row.landingRoll || row.takeOffRoll;
        EXPECT_EQ(ac.savedLat, rolling ? 0.0 : p.lat);
        EXPECT_EQ(g_staticAircraft[0].lifeState, row.removed ? removingfromsim : active);
    }
    EXPECT_EQ(g_staticAircraft[1].lifeState, active);
    EXPECT_EQ(logged(), "A1      : EZY1*    removed for collision avoidance with static SWR12\n");
}

TEST_F(ParkingConflictsTest, ObjectCreatedParkedTakesTheHalfHourAndDrivesOffTheStatic) {
    addStands({{"A1", 0, 0, 30}});
    g_currentSlot = gf_packSlot(20, 3);
    g_staticAircraft.push_back(staticAc(11, "EZY1*", "B738", 1, adding2sim));
    g_staticAircraft.push_back(staticAc(12, "EZY2*", "B738", 1));
    LiveAircraft parkedAc = liveAc(30001, "SWR12", "B738", 1, adding2sim, parked);
    parkedAc.dAltitude = -3;
    parkedAc.takeOffCounter = 7;
    LiveAircraft taxiing = liveAc(30002, "SWR13", "B738", 0, adding2sim, taxi);

    lf_parksOnCreate(taxiing);
    EXPECT_EQ(taxiing.onGround, 1);
    EXPECT_EQ(taxiing.parkSlot, 0u);
    EXPECT_EQ(logged(), "");

    lf_parksOnCreate(parkedAc);
    EXPECT_EQ(parkedAc.onGround, 1);
    EXPECT_EQ(parkedAc.dAltitude, 0.0);
    EXPECT_EQ(parkedAc.takeOffCounter, 1);
    EXPECT_EQ(parkedAc.parkSlot, gf_packSlot(20, 3));
    EXPECT_EQ(logged(), "A1      : SWR12    parks\nA1      : SWR12    parks over static EZY2* \n");
    EXPECT_EQ(g_staticAircraft[0].lifeState, adding2sim) << "only an active static is driven off";
    EXPECT_EQ(g_staticAircraft[1].lifeState, removingfromsim);
}

TEST_F(ParkingConflictsTest, LogLinesNeedTheLogSettingButRemovalsHappenAnyway) {
    addStands({{"A1", 0, 0, 30}});
    LOG.set(false);
    g_liveRecords.push_back(liveAc(30001, "SWR12_", "B738", 1));
    EXPECT_TRUE(lf_sameCallsignWantsStand(1, "SWR12"));
    EXPECT_EQ(g_liveRecords[0].lifeState, removingfromsim);
    EXPECT_EQ(logged(), "");
}

class MaxParkTest : public StandTest {
  protected:
    static constexpr int64_t kNow = 1'000'000'000'000;
    void SetUp() override {
        StandTest::SetUp();
        gf_setClock100ns([] { return kNow; });
        // Monday 01:00.
        g_currentSlot = gf_packSlot(2, 1);
    }
    // A live aircraft parked for the given seconds.
    void parkLive(uint32_t hexid, const char* callsign, int64_t seconds, uint32_t standId = 1) {
        LiveAircraft ac = liveAc(hexid, callsign, "B738", standId);
        ac.steadySince = kNow - seconds * 10'000'000;
        g_liveRecords.push_back(std::move(ac));
    }
    void placeStatic(uint32_t hexid, const char* callsign, int slot, int weekday,
                     uint32_t lifeState = active) {
        AircraftRec st = staticAc(hexid, callsign, "B738", 1, lifeState);
        st.parkSlot = gf_packSlot(slot, weekday);
        g_staticAircraft.push_back(std::move(st));
    }
};

TEST_F(MaxParkTest, LongestParkedLiveAircraftGoesWhenTooManyAreParked) {
    addStands({{"A1", 0, 0, 30}});
    for (uint32_t i = 0; i < 10; ++i) parkLive(30001 + i, "SWR", 600 + 60 * i);
    g_liveRecords[3].callsign = "SWR1003";
    g_liveRecords[3].steadySince = kNow - 5000LL * 10'000'000;  // the longest parked

    const auto order = lf_maxParkOrder();
    ASSERT_EQ(order.size(), 10u);
    EXPECT_EQ(order[0], (std::pair<uint32_t, int64_t>{30004, 5000}));
    EXPECT_EQ(order[1], (std::pair<uint32_t, int64_t>{30010, 1140}));

    gf_maxParkCheck(0, 10);
    EXPECT_EQ(gf_countActiveLive(), 10) << "ten parked are not more than ten wanted";
    gf_maxParkCheck(1, 10);
    EXPECT_EQ(g_liveRecords[3].lifeState, removingfromsim);
    EXPECT_EQ(logged(), "A1      : SWR1003 live max park exceeded, removed\n");
    gf_maxParkCheck(1, 10);
    EXPECT_EQ(g_liveRecords[9].lifeState, active) << "nine parked and one more are not above ten";
    gf_maxParkCheck(2, 10);
    EXPECT_EQ(g_liveRecords[9].lifeState, removingfromsim) << "one per call, the next longest";
    EXPECT_EQ(g_liveRecords[8].lifeState, active);
}

TEST_F(MaxParkTest, SettingsAndWantedCountSwitchMaxParkOff) {
    struct Row {
        const char* what;
        bool parkTrafficOnly, initialLoadOnly;
        int64_t wanted;
        bool liveRemoved, staticRemoved;
    };
    const Row rows[] = {
        {"over the wanted count", false, false, 1, true, true},
        {"parked traffic only", true, false, 1, false, false},
        {"no wanted count", false, false, 0, false, false},
        {"initial load only spares live aircraft", false, true, 1, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshCase();
        gf_setClock100ns([] { return kNow; });
        g_currentSlot = gf_packSlot(2, 1);
        addStands({{"A1", 0, 0, 30}});
        parkLive(30001, "SWR1", 60);
        parkLive(30002, "SWR2", 120);
        placeStatic(11, "EZY1*", 0, 1);
        RT_PARKTRAFFIC_ONLY.set(row.parkTrafficOnly);
        INITIAL_LOAD_ONLY.set(row.initialLoadOnly);
        gf_maxParkCheck(0, row.wanted);
        EXPECT_EQ(g_liveRecords[1].lifeState, row.liveRemoved ? removingfromsim : active);
        EXPECT_EQ(g_liveRecords[0].lifeState, active);
        EXPECT_EQ(g_staticAircraft[0].lifeState, row.staticRemoved ? removingfromsim : active);
    }
}

// Static aircraft go oldest placement first, the age counted forward over the week's end: on
// Monday 01:00 an aircraft placed on Sunday evening is older than one placed at Monday 00:00.
TEST_F(MaxParkTest, OldestStaticAcrossTheWeekWrapGoesFirst) {
    addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}});
    placeStatic(11, "EZY1*", 0, 1);   // Monday 00:00, 2 half-hours old
    placeStatic(12, "EZY2*", 40, 7);  // Sunday 20:00, 10 half-hours old
    placeStatic(13, "EZY3*", 40, 7);  // as old; the first of equals goes
    placeStatic(14, "EZY4*", 2, 1, removingfromsim);
    g_staticAircraft[1].standId = 2;
    parkLive(30001, "SWR1", 60);

    gf_maxParkCheck(0, 5);
    EXPECT_EQ(g_staticAircraft[1].lifeState, active) << "4 statics shown + 1 live are not above 5";
    gf_maxParkCheck(1, 5);
    EXPECT_EQ(g_liveRecords[0].lifeState, active) << "1 live + 1 extra are not above 5";
    EXPECT_EQ(g_staticAircraft[0].lifeState, active);
    EXPECT_EQ(g_staticAircraft[1].lifeState, removingfromsim);
    EXPECT_EQ(g_staticAircraft[2].lifeState, active);
    EXPECT_EQ(logged(), "A2      : EZY2* static max park exceeded, removed\n");
}

TEST_F(MaxParkTest, OldestStaticThatIsNotActiveIsNotRemoved) {
    addStands({{"A1", 0, 0, 30}});
    placeStatic(11, "EZY1*", 0, 1);
    placeStatic(12, "EZY2*", 30, 7, adding2sim);
    parkLive(30001, "SWR1", 60);
    gf_maxParkCheck(0, 1);
    EXPECT_EQ(g_staticAircraft[0].lifeState, active);
    EXPECT_EQ(g_staticAircraft[1].lifeState, adding2sim);
}

}  // namespace
