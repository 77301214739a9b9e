#include "live/time_shift.h"

#include "core/slots.h"
#include "live/live_set.h"
#include "live/removal.h"
#include "support/tick_harness.h"

namespace {

using TimeShiftTest = TickHarness;

// A changed shift removes every aircraft in the simulator or on its way there; start-up and an
// unchanged shift remove nothing.
TEST_F(TimeShiftTest, ChangedShiftRemovesEveryLiveAircraftInTheSimulatorOrOnItsWay) {
    startFlight();
    feedTrack(0x100001, "DLH1", "DLH", "B738", tst_inbound(10000, 6));
    ASSERT_GE(tickUntil([] { return live(0x100001) && live(0x100001)->lifeState == active; }), 0);
    // Two spawned together: one create is sent, the other still waits for its turn.
    feedTrack(0x100002, "DLH2", "DLH", "B738", tst_inbound(11000, 6));
    feedTrack(0x100003, "DLH3", "DLH", "B738", tst_inbound(12000, 6));
    ASSERT_GE(tickUntil([] { return journalLines("CREATE").size() == 2; }), 0);
    ASSERT_EQ(g_createDeque.size(), 1u);
    const uint32_t queued = g_createDeque.front().hexid;
    const uint32_t sent = queued == 0x100002 ? 0x100003 : 0x100002;
    feedTrack(0x100004, "DLH4", "DLH", "B738", tst_inbound(13000, 6));
    tick(3);
    ASSERT_EQ(live(0x100004)->lifeState, buffer);
    gf_setTimeShift(45, true);
    gf_setTimeShift(45, false);
    EXPECT_EQ(live(0x100001)->lifeState, active);

    gf_setTimeShift(30, false);
    EXPECT_EQ(g_timeShiftMinutes, 30);
    EXPECT_EQ(live(0x100001)->lifeState, removingfromsim);
    EXPECT_EQ(live(sent)->removeWhenItAppears, 1) << "its create was sent";
    EXPECT_EQ(live(queued), nullptr) << "its queued create withdrawn and the record erased at once";
    EXPECT_TRUE(g_createDeque.empty());
    EXPECT_EQ(live(0x100004)->lifeState, buffer) << "not in the simulator yet: it spawns on the new time";
    ASSERT_GE(tickUntil([&] { return !live(0x100001) && !live(sent); }, 1000), 0);
    EXPECT_EQ(journalLines("REMOVE").size(), 2u);
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
}

}  // namespace
