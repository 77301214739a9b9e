#include "live/time_shift.h"

#include "core/slots.h"
#include "live/live_set.h"
#include "live/removal.h"
#include "live_fixture.h"

namespace {

using TimeShiftTest = LiveTest;

// Only a changed shift (not start-up) removes the aircraft in the simulator or on their way.
TEST_F(TimeShiftTest, ChangedShiftRemovesEveryLiveAircraftInTheSimulatorOrOnItsWay) {
    g_liveRecords = {tst_liveAircraft(1, active, 5), tst_liveAircraft(2, adding2sim),
                     tst_liveAircraft(3, adding2sim), tst_liveAircraft(4, buffer)};
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
}

TEST_F(TimeShiftTest, SimulatorTimeIsFollowedWhenItJumps) {
    const int64_t now = 1709647629;
    struct Row {
        int64_t simSeconds, nowSeconds;
        int shift;
    };
    const Row rows[] = {
        {0, now, 0},                // not known: nothing
        {now - 3600, now, 60},      // first known time
        {now - 3571, now + 2, 60},  // 29 s: no jump, not applied
        {now - 90, now + 3, 1},     // jumped: 93 s behind is one whole minute
        {now - 30, now + 4, 0},     // less than a minute behind
        {now + 600, now + 5, 0},    // ahead of the clock
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
