#include "core/log.h"
#include "core/params.h"
#include "live/live_fixture.h"
#include "live/respawn.h"

namespace {

using BlockingTest = LiveTest;

// A block asked for in the window says in the log why the aircraft left, as one from the feed does.
TEST_F(BlockingTest, WindowBlockLogsTheRemoval) {
    LiveAircraft& ac = g_liveRecords.emplace_back(tst_liveAircraft(0x4B1803, active, 12));
    BLOCK_CALLSIGN.set("DLH4AB");
    gf_setLogCapture(true);
    gf_removeBlockedCallsign();
    EXPECT_EQ(gf_capturedLog(), gf_acLabel(ac) + " removed from simulator immediately while blocked\n");
}

}  // namespace
