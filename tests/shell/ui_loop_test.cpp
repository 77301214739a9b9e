#include "shell/ui_loop.h"

#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "core/clock.h"
#include "core/log.h"
#include "core/params.h"
#include "feed/traffic_reader.h"
#include "platform/window_model.h"
#include "shell/run_control.h"
#include "shell_fixture.h"

namespace {

class UiLoopTest : public ShellRunTest {};

TEST_F(UiLoopTest, ClosingTheWindowDuringARunClosesDownInOrder) {
    // The previous run ended just now: the run holds in its wait after it, so the close
    // arrives while it runs.
    tst_writeFile("parameters.xml",
                  "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\" />"
                  "<parameter name=\"LAST_EPOCH_TIME\" value=\"1709647629\" /></parameters>");
    std::thread user([] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        // The run holds in that wait once the start-up and the scans are done.
        while (gf_capturedLog().find("airports scan ends") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
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

// The sanitizer builds (unoptimised, every access checked) are a hundred times slower: they
// check the same path with a tenth of the aircraft and a looser bound.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kFirstPollAircraft = 2000;
constexpr double kCloseBoundSeconds = 5.0;
#else
constexpr int kFirstPollAircraft = 20000;
constexpr double kCloseBoundSeconds = 0.5;
#endif

// Ctrl-C while the run takes in the first poll of 20000 aircraft: the program has closed down
// within half a second (a bounded check; the run thread stops between records).
TEST_F(UiLoopTest, CtrlCUnderALargeFirstPollEndsWithinHalfASecond) {
    std::string tracks;
    for (int a = 0; a < kFirstPollAircraft; ++a)
        tracks += fmt::format(R"({}{{"hexid": "{:06x}", "type": "B738", "callsign": "T{}", "rows": [)"
                              R"([-40, {}, 8.5, 20000, 300, 90, 0, 1], [100, {}, 8.6, 20000, 300, 90, 0, 1]]}})",
                              a ? "," : "", 0x400000 + a, a, 40 + a * 0.001, 40 + a * 0.001);
    tst_writeFile("scenario.json", fmt::format(R"({{"user": [{{"t": 0, "lat": 47, "lon": 8, "alt_ft": 0}}],)"
                                               R"( "tracks": [{}]}})",
                                               tracks));
    using Clock = std::chrono::steady_clock;
    Clock::time_point closedAt{};
    std::thread user([&closedAt] {
        auto deadline = Clock::now() + std::chrono::seconds(60);
        while (gf_trafficPollCount() == 0 && Clock::now() < deadline) std::this_thread::yield();
        closedAt = Clock::now();
        g_windowCloseAsked = true;
    });
    EXPECT_EQ(gf_runUiLoop(), 0);
    const auto ended = Clock::now();
    user.join();
    EXPECT_LT(std::chrono::duration<double>(ended - closedAt).count(), kCloseBoundSeconds);
    EXPECT_NE(gf_capturedLog().find("Exiting: USER CLOSED SIM\n"), std::string::npos);
}

}  // namespace
