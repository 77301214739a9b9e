#include "platform/window_model.h"

#include <thread>

#include "core/log.h"
#include "shell/run_thread.h"
#include "sim/sim_state.h"
#include "support/work_folder.h"

namespace {

class WindowModelTest : public WorkFolderTest {};

// An error holds the message line (no clock clears it) until it is cleared; what it blocks is
// not logged either.
TEST_F(WindowModelTest, ErrorBlocksMessagesUntilCleared) {
    gf_setLogCapture(true);
    gf_showMessage("Downloading airports", true);
    EXPECT_EQ(gf_messageText(), "Downloading airports");
    gf_showError("Error 88");
    gf_showMessage("Your liveries will be scanned", true);
    for (int s = 0; s < 30; ++s) EXPECT_FALSE(gf_messageSecondPassed());
    EXPECT_EQ(gf_messageText(), "Error 88");
    EXPECT_TRUE(gf_errorShown());
    gf_clearMessage();
    EXPECT_EQ(gf_messageText(), "");
    EXPECT_FALSE(gf_errorShown());
    gf_showMessage("quiet", false);
    EXPECT_EQ(gf_messageText(), "quiet");
    EXPECT_EQ(gf_capturedLog(), "Downloading airports\n");
}

// Each message stands 25 simulator seconds from its own start.
TEST_F(WindowModelTest, PerSecondPassClearsAMessageAfter25Seconds) {
    g_simRunning = true;
    auto seconds = [](int n) {
        for (int s = 0; s < n; ++s) {
            g_perSecondFlag = 1;
            ASSERT_TRUE(lf_tick());
        }
    };
    gf_showMessage("first", false);
    seconds(24);
    EXPECT_EQ(gf_messageText(), "first");
    gf_showMessage("second", false);
    seconds(24);
    EXPECT_EQ(gf_messageText(), "second");
    seconds(1);
    EXPECT_EQ(gf_messageText(), "");
}

TEST_F(WindowModelTest, StatusLineAndRepaints) {
    gf_editStats([](WindowStats& s) {
        s.liveryCount = 1234;
        s.parkAirportLabel = "EDDF Frankfurt";
        s.standCount = 312;
        s.staticParkedCount = 40;
        s.staticParkedAvgMinutes = 93.4f;
        s.liveParkedCount = 3;
        s.wantedCount = 200;
        s.wantedPercent = 65;
        s.countdownMinutes = 7;
    });
    EXPECT_EQ(gf_repaintCount(Region::Status), 1);
    EXPECT_EQ(gf_repaintCount(Region::Lamps), 0);
    EXPECT_EQ(gf_statusLine(),
              "live: 0 | # liveries: 1234 | park airport: EDDF Frankfurt | stands: 312 | static parked: 40 (avg 93 "
              "min) | live parked: 3 (avg - min) | wanted: 200 (65%) | renewal in 7 min");
    gf_editStats([](WindowStats& s) { s.statusText = "calculating"; }, Region::ParkingBand);
    EXPECT_EQ(gf_repaintCount(Region::ParkingBand), 1);
    EXPECT_TRUE(gf_statusLine().ends_with("renewal in 7 min | calculating"));
}

TEST_F(WindowModelTest, WritersOnTwoThreadsLoseNoUpdate) {
    auto writer = [] {
        for (int i = 0; i < 5000; ++i) gf_editStats([](WindowStats& s) { ++s.liveryCount; });
    };
    std::thread a(writer), b(writer);
    a.join();
    b.join();
    EXPECT_EQ(gf_windowStats().liveryCount, 10000);
    EXPECT_EQ(gf_repaintCount(Region::Status), 10000);
}

}  // namespace
