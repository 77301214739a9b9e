#include "live/removal.h"

#include "core/slots.h"
#include "live/time_shift.h"
#include "live_fixture.h"
#include "support/stand_builders.h"

namespace {

using RemovalTest = LiveTest;
using TimeShiftTest = LiveTest;

// By life state: a create withdrawn wherever it waits (only its own of two with one callsign), an
// object id queued once, a record without an object dropped, a removal already sent left alone.
TEST_F(RemovalTest, RemovalActsByLifeState) {
    g_createDeque = {{.callsign = "DLH4AB", .hexid = 20002}, {.callsign = "DLH4AB", .hexid = 20001}};
    g_createDequeStatic = {{.callsign = "DLH4AB", .hexid = 17}};
    g_hexidStack = {20003};
    const struct Row {
        uint32_t hexid, lifeState, objectId, newLifeState;
        uint8_t eraseFlag, withdrawn, removeWhenItAppears;
    } rows[] = {{20001, adding2sim, 0, adding2sim, 0, 1, 0},
                {20003, adding2sim, 0, adding2sim, 0, 1, 0},
                {17, adding2sim, 0, adding2sim, 0, 1, 0},
                {20004, adding2sim, 0, adding2sim, 0, 0, 1},
                {20005, active, 42, removingfromsim, 0, 0, 0},
                {20005, active, 42, removingfromsim, 0, 0, 0},
                {20006, active, 0, removingfromsim, 1, 0, 0},
                {18, active, 0, removingfromsim, 0, 1, 0},
                {20007, removingfromsim, 43, removingfromsim, 0, 0, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.hexid);
        LiveAircraft ac = tst_liveAircraft(r.hexid, r.lifeState, r.objectId);
        removeAircraftFromSim(ac);
        EXPECT_EQ(std::make_tuple(ac.lifeState, ac.eraseFlag, ac.withdrawn, ac.removeWhenItAppears),
                  std::make_tuple(r.newLifeState, r.eraseFlag, r.withdrawn, r.removeWhenItAppears));
    }
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>{42});
    ASSERT_EQ(g_createDeque.size(), 1u);
    EXPECT_EQ(g_createDeque[0].hexid, 20002u);
    EXPECT_TRUE(g_createDequeStatic.empty() && g_hexidStack.empty());
    // One in the simulator gives its stand back as it goes.
    tst_addStands({{"A1", 0, 0, 20}});
    LiveAircraft parked = tst_liveAircraft(20008, active, 44);
    parked.standId = g_stands[0].standId;
    g_stands[0].occupied = true, g_stands[0].occupantHexid = 20008;
    removeAircraftFromSim(parked);
    EXPECT_FALSE(g_stands[0].occupied);
}

// Closing down takes every object out at once: an active one, one created but not yet active;
// nothing for a create still on its way or an aircraft already being removed.
TEST_F(RemovalTest, ClosingRemovesEveryObjectAtOnce) {
    g_liveRecords = {tst_liveAircraft(20001, active, 41), tst_liveAircraft(20002, adding2sim, 42),
                     tst_liveAircraft(20003, adding2sim, 0), tst_liveAircraft(20004, removingfromsim, 44)};
    g_staticAircraft = {tst_liveAircraft(17, active, 45)};
    gf_removeAllObjectsNow();
    std::vector<uint32_t> removes;
    {
        std::lock_guard lock(g_simCommandMutex);
        removes = g_simCommands.removes;
    }
    std::sort(removes.begin(), removes.end());
    EXPECT_EQ(removes, (std::vector<uint32_t>{41, 42, 45}));
    EXPECT_EQ(g_liveRecords[1].lifeState, removingfromsim);
    EXPECT_EQ(g_liveRecords[2].lifeState, adding2sim);
}

// The index by hexid finds every aircraft however added, after erasures and after it comes back.
TEST_F(RemovalTest, LiveAircraftAreFoundByHexidAfterErasures) {
    g_liveRecords.reserve(8);
    g_liveRecords.push_back(tst_liveAircraft(20001, buffer));
    EXPECT_EQ(gf_findLiveByHexid(20001), &g_liveRecords[0]);
    g_liveRecords.push_back(tst_liveAircraft(20002, buffer));
    gf_addLiveAircraft(tst_liveAircraft(20003, buffer));
    EXPECT_EQ(gf_findLiveByHexid(20002), &g_liveRecords[1]) << "added without the index";
    g_liveRecords[0].eraseFlag = 1;
    gf_eraseFinishedLive();
    EXPECT_EQ(gf_findLiveByHexid(20001), nullptr);
    EXPECT_EQ(gf_findLiveByHexid(20003), &g_liveRecords[1]);
    gf_addLiveAircraft(tst_liveAircraft(20001, buffer));
    EXPECT_EQ(gf_findLiveByHexid(20001), &g_liveRecords[2]) << "back after it went";
    EXPECT_TRUE(gf_liveWithCallsignAndType("DLH4AB", "B738"));
    EXPECT_FALSE(gf_liveWithCallsignAndType("DLH4AB", "A320"));
}

// Only a changed shift (not start-up) removes the aircraft, live and static, in the simulator or
// on their way.
TEST_F(TimeShiftTest, ChangedShiftRemovesEveryAircraftInTheSimulatorOrOnItsWay) {
    g_liveRecords = {tst_liveAircraft(1, active, 5), tst_liveAircraft(2, adding2sim),
                     tst_liveAircraft(3, adding2sim), tst_liveAircraft(4, buffer)};
    g_staticAircraft = {tst_liveAircraft(12, active, 6)};
    g_createDeque.push_back({.callsign = "DLH4AB", .hexid = 3});
    gf_setTimeShift(45, true);
    gf_setTimeShift(45, false);
    EXPECT_EQ(g_liveRecords[0].lifeState, active);
    gf_setTimeShift(30, false);
    EXPECT_EQ(g_timeShiftMinutes, 30);
    EXPECT_EQ(gf_findLiveByHexid(1)->lifeState, removingfromsim);
    EXPECT_EQ(gf_findLiveByHexid(2)->removeWhenItAppears, 1) << "its create was sent";
    EXPECT_EQ(gf_findLiveByHexid(3), nullptr) << "its queued create withdrawn and the record erased at once";
    EXPECT_TRUE(g_createDeque.empty());
    EXPECT_EQ(gf_findLiveByHexid(4)->lifeState, buffer)
        << "not in the simulator yet: it spawns on the new time";
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim) << "the statics go too";
    gf_resetIntake();
    EXPECT_TRUE(g_liveRecords.empty() && g_staticAircraft.empty()) << "the next run starts without them";
}

TEST_F(TimeShiftTest, SimulatorTimeIsFollowedWhenItJumps) {
    const int64_t now = 1709647629;
    struct Row {
        int64_t simSeconds, nowSeconds;
        int shift;
    };
    const Row rows[] = {
        {0, now, 0},                  // not known: nothing
        {now - 3600, now, 60},        // first known time
        {now - 3571, now + 2, 60},    // 29 s: no jump, not applied
        {now - 3541, now + 200, 62},  // 30 s: a jump
        {now - 90, now + 3, 1},       // jumped: 93 s behind is one whole minute
        {now - 30, now + 4, 0},       // less than a minute behind
        {now + 600, now + 5, 0},      // ahead of the clock
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.simSeconds - now);
        gf_followSimulatorTime(r.simSeconds, r.nowSeconds);
        EXPECT_EQ(g_timeShiftMinutes, r.shift);
    }
    gf_resetTimeShift();
    gf_followSimulatorTime(now + 610, now + 730);
    EXPECT_EQ(g_timeShiftMinutes, 2) << "a new run follows the simulator's time at once";
}

}  // namespace
