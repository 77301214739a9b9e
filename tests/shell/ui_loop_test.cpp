#include "shell/ui_loop.h"

#include <chrono>
#include <thread>

#include "core/clock.h"
#include "core/log.h"
#include "core/params.h"
#include "platform/window_model.h"
#include "shell/run_control.h"
#include "shell_fixture.h"

namespace {

class UiLoopTest : public ShellRunTest {};

TEST_F(UiLoopTest, ProgramQuitsWhenTheRunEndsWithoutRestart) {
    tst_writeFile("scenario.json", kShortScenario);
    EXPECT_EQ(gf_runUiLoop(), 0);
    EXPECT_EQ(gf_capturedLog(), std::string(kStartUpLog) + kAirportScanLog + kParkAirportsLog + kFirstWatchLog +
                                    "Simulator closed\nExiting: SIM WAS CLOSED\n");
}

TEST_F(UiLoopTest, ClosingTheWindowDuringARunClosesDownInOrder) {
    // The previous run ended just now: the run holds in its wait after it, so the close
    // arrives while it runs.
    tst_writeFile("parameters.xml",
                  "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\" />"
                  "<parameter name=\"LAST_EPOCH_TIME\" value=\"1709647629\" /></parameters>");
    std::thread user([] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (gf_controlState(ctl::kRange).selected < 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        g_windowCloseAsked = true;
    });
    EXPECT_EQ(gf_runUiLoop(), 0);
    user.join();
    EXPECT_EQ(gf_capturedLog(),
              std::string(kStartUpLog) + kAirportScanLog + kParkAirportsLog + "Exiting: USER CLOSED SIM\n");
    EXPECT_TRUE(g_userClosing);
    EXPECT_DOUBLE_EQ(LAST_EPOCH_TIME.value(), static_cast<double>(gf_epochSeconds(kShellNow)));
}

TEST_F(UiLoopTest, MessagesArriveInOrder) {
    gf_postUiMessage({UiCommand::RestartAfter, 9});
    gf_postUiMessage({UiCommand::Quit, 0});
    auto a = gf_waitUiMessage(std::chrono::milliseconds(0));
    auto b = gf_waitUiMessage(std::chrono::milliseconds(0));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->command, UiCommand::RestartAfter);
    EXPECT_EQ(a->delaySeconds, 9);
    EXPECT_EQ(b->command, UiCommand::Quit);
    EXPECT_FALSE(gf_waitUiMessage(std::chrono::milliseconds(0)));
}

}  // namespace
