#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "core/display.h"
#include "core/log.h"
#include "core/params.h"
#include "core/random.h"
#include "core/run_requests.h"
#include "core/run_state.h"
#include "support/work_folder.h"

namespace {

using RunControlTest = LoggedTest;

// Each exit state has its own name, countdown and exit code; the names are what the log and
// the window show, the countdowns decide whether the program restarts by itself.
TEST_F(RunControlTest, EveryExitStateHasItsNameCountdownAndExitCode) {
    const struct {
        ExitState state;
        const char* name;
        int delay;
        int code;           // no error on the window
        int codeWithError;  // an error stands on the window
    } rows[] = {
        {ExitState::NotYetSet, "NOT YET SET", -1, 0, 2},
        {ExitState::SimWasClosed, "SIM WAS CLOSED", -1, 0, 2},
        {ExitState::NewFlight, "NEW FLIGHT", -1, 0, 2},
        {ExitState::NewSettings, "NEW SETTINGS", 3, 0, 2},
        {ExitState::UserClosedSim, "USER CLOSED SIM", -1, 0, 2},
        {ExitState::SimconnectError, "SIMCONNECT ERROR", 9, 0, 2},
        {ExitState::ReaderError, "READER ERROR", 15, 0, 2},
        {ExitState::SystemError, "SYSTEM ERROR", -1, 1, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(gf_exitStateName(r.state), r.name);
        EXPECT_EQ(gf_restartDelaySeconds(r.state), r.delay);
        EXPECT_EQ(gf_programExitCode(r.state, false), r.code);
        EXPECT_EQ(gf_programExitCode(r.state, true), r.codeWithError);
    }
    EXPECT_EQ(gf_exitStateName(static_cast<ExitState>(42)), "NOT YET SET") << "a damaged value";
}

// The first to stop the run names why; later stops only see the flag. A reset readies the next
// run but keeps the user's closing of the window.
TEST_F(RunControlTest, FirstStopNamesTheExitAndResetReadiesTheNextRun) {
    EXPECT_FALSE(g_stopRun.load());
    EXPECT_EQ(gf_exitState(), ExitState::NotYetSet);
    EXPECT_TRUE(gf_stopRunWith(ExitState::ReaderError));
    EXPECT_TRUE(g_stopRun.load());
    EXPECT_FALSE(gf_stopRunWith(ExitState::SystemError));
    EXPECT_EQ(gf_exitState(), ExitState::ReaderError);
    g_userClosing = true;
    gf_resetRunControl();
    EXPECT_FALSE(g_stopRun.load());
    EXPECT_EQ(gf_exitState(), ExitState::NotYetSet);
    EXPECT_TRUE(g_userClosing.load());
    g_userClosing = false;
    EXPECT_TRUE(gf_stopRunWith(ExitState::NewSettings));
    EXPECT_EQ(gf_exitState(), ExitState::NewSettings);
}

int g_handled[static_cast<int>(RunRequest::Count)];
template <RunRequest R>
void lf_countHandled() {
    ++g_handled[static_cast<int>(R)];
}

// A request posted twice before it is taken is done once, by its own handler only; the per-run
// reset keeps pending requests, the whole-process reset forgets them and their handlers.
TEST_F(RunControlTest, RequestsAreTakenOnceByTheirOwnHandler) {
    std::fill(std::begin(g_handled), std::end(g_handled), 0);
    gf_setRunRequestHandler(RunRequest::ApplyMaxLive, lf_countHandled<RunRequest::ApplyMaxLive>);
    gf_setRunRequestHandler(RunRequest::BlockCallsign, lf_countHandled<RunRequest::BlockCallsign>);
    EXPECT_FALSE(gf_carryOutRunRequest(RunRequest::BlockCallsign)) << "nothing posted";
    gf_postRunRequest(RunRequest::BlockCallsign);
    gf_postRunRequest(RunRequest::BlockCallsign);
    EXPECT_TRUE(gf_runRequestPending(RunRequest::BlockCallsign));
    EXPECT_FALSE(gf_runRequestPending(RunRequest::ApplyMaxLive));
    EXPECT_TRUE(gf_carryOutRunRequest(RunRequest::BlockCallsign));
    EXPECT_FALSE(gf_carryOutRunRequest(RunRequest::BlockCallsign));
    EXPECT_EQ(g_handled[static_cast<int>(RunRequest::BlockCallsign)], 1);
    EXPECT_EQ(g_handled[static_cast<int>(RunRequest::ApplyMaxLive)], 0);
    // Without a handler a request is only taken.
    gf_postRunRequest(RunRequest::NewDestination);
    EXPECT_TRUE(gf_carryOutRunRequest(RunRequest::NewDestination));
    EXPECT_FALSE(gf_runRequestPending(RunRequest::NewDestination));
    gf_postRunRequest(RunRequest::RememberUserStand);
    EXPECT_TRUE(gf_takeRunRequest(RunRequest::RememberUserStand));
    EXPECT_FALSE(gf_takeRunRequest(RunRequest::RememberUserStand));

    gf_postRunRequest(RunRequest::NewLiveryScan);
    g_renewalRequested = g_parkingCalculating = g_fullRenewal = true;
    gf_resetRenewalFlags();
    EXPECT_FALSE(g_renewalRequested || g_parkingCalculating || g_fullRenewal);
    EXPECT_TRUE(gf_runRequestPending(RunRequest::NewLiveryScan)) << "outlives the run";

    gf_postRunRequest(RunRequest::ApplyMaxLive);
    g_fullRenewal = true;
    gf_resetRunRequests();
    EXPECT_FALSE(g_fullRenewal.load());
    for (int i = 0; i < static_cast<int>(RunRequest::Count); ++i)
        EXPECT_FALSE(gf_runRequestPending(static_cast<RunRequest>(i))) << i;
    gf_postRunRequest(RunRequest::ApplyMaxLive);
    EXPECT_TRUE(gf_carryOutRunRequest(RunRequest::ApplyMaxLive));
    EXPECT_EQ(g_handled[static_cast<int>(RunRequest::ApplyMaxLive)], 0) << "handler forgotten";
}

// A plain message goes 25 simulator seconds after it was shown; an error stays and keeps plain
// messages off the line until it is cleared.
TEST_F(RunControlTest, MessagesExpireErrorsStay) {
    gf_showMessage("Loading parking", true);
    EXPECT_EQ(gf_capturedLog(), "Loading parking\n");
    gf_showMessage("Scanning liveries", false);
    EXPECT_EQ(gf_capturedLog(), "Loading parking\n") << "not asked to log";
    EXPECT_FALSE(gf_errorShown());
    for (int second = 1; second < 25; ++second) ASSERT_FALSE(gf_messageSecondPassed()) << second;
    EXPECT_EQ(gf_messageText(), "Scanning liveries");
    EXPECT_TRUE(gf_messageSecondPassed());
    EXPECT_EQ(gf_messageText(), "");
    EXPECT_FALSE(gf_messageSecondPassed()) << "nothing left to clear";

    gf_showMessage("first", false);
    for (int second = 1; second < 20; ++second) gf_messageSecondPassed();
    gf_showMessage("second", false);  // a new message lives its own 25 seconds
    for (int second = 1; second < 25; ++second) ASSERT_FALSE(gf_messageSecondPassed()) << second;
    EXPECT_TRUE(gf_messageSecondPassed());

    gf_showError("Error 7: no simulator");
    EXPECT_TRUE(gf_errorShown());
    gf_showMessage("covered", true);
    EXPECT_EQ(gf_messageText(), "Error 7: no simulator");
    for (int second = 0; second < 30; ++second) EXPECT_FALSE(gf_messageSecondPassed());
    EXPECT_EQ(gf_messageText(), "Error 7: no simulator");
    gf_clearMessage();
    EXPECT_FALSE(gf_errorShown());
    EXPECT_EQ(gf_messageText(), "");
    gf_showMessage("after", false);
    EXPECT_EQ(gf_messageText(), "after");
    EXPECT_EQ(gf_capturedLog().find("covered"), std::string::npos);
}

// The console sees every text put on the line, oldest first, a repeat of the shown text once,
// and the newest 32 when it falls behind.
TEST_F(RunControlTest, ShownMessagesReachTheConsoleInOrder) {
    gf_showMessage("a", false);
    gf_showMessage("a", false);
    gf_showError("b");
    gf_showMessage("c", false);  // kept off by the error
    gf_clearMessage();
    gf_showMessage("a", false);
    EXPECT_EQ(gf_takeShownMessages(), (std::vector<std::string>{"a", "b", "a"}));
    EXPECT_TRUE(gf_takeShownMessages().empty());
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        gf_showMessage(fmt::format("m{}", i), false);
        if (i >= 8) expected.push_back(fmt::format("m{}", i));
    }
    EXPECT_EQ(gf_takeShownMessages(), expected);
}

int g_autoRangeRuns = 0;
void lf_autoRange() {
    ++g_autoRangeRuns;
}

// Display values change under the lock, each edit asking for the repaint of its own region;
// the whole-process reset brings values, counts, range and rule back to the start.
TEST_F(RunControlTest, EditsRepaintTheirRegionAndResetRestoresTheStart) {
    gf_editStats([](WindowStats& s) { s.liveCount = 12; });
    gf_editStats([](WindowStats& s) { s.statusText = "parked"; }, Region::ParkingBand);
    gf_repaint(Region::Lamps);
    gf_repaint(Region::Lamps);
    EXPECT_EQ(gf_windowStats().liveCount, 12);
    EXPECT_EQ(gf_windowStats().statusText, "parked");
    const struct {
        Region region;
        int count;
    } rows[] = {{Region::Status, 1}, {Region::Airports, 0}, {Region::ParkingBand, 1}, {Region::Lamps, 2}};
    for (const auto& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.region));
        EXPECT_EQ(gf_repaintCount(r.region), r.count);
    }
    gf_repaint(Region::Count);
    EXPECT_EQ(gf_repaintCount(Region::Count), 0);

    g_autoRangeRuns = 0;
    gf_pickAutoRange();
    gf_setAutoRangeRule(lf_autoRange);
    gf_pickAutoRange();
    EXPECT_EQ(g_autoRangeRuns, 1);

    gf_showError("x");
    g_manualRange = 12;
    g_maxLiveValue = 75;
    g_rangeNm = 12.0;
    RANGE.set(65);
    gf_resetDisplay();
    EXPECT_EQ(gf_windowStats().liveCount, 0);
    EXPECT_EQ(gf_windowStats().statusText, "");
    for (const auto& r : rows) EXPECT_EQ(gf_repaintCount(r.region), 0);
    EXPECT_FALSE(gf_errorShown());
    EXPECT_EQ(gf_messageText(), "");
    EXPECT_TRUE(gf_takeShownMessages().empty());
    EXPECT_EQ(g_manualRange.load(), 40) << "the record's default, not its value";
    EXPECT_EQ(g_maxLiveValue.load(), 500);
    EXPECT_EQ(g_rangeNm.load(), 40.0);
    gf_pickAutoRange();
    EXPECT_EQ(g_autoRangeRuns, 1) << "rule forgotten";
    // A message shown before the reset does not age into the next run.
    gf_showMessage("m", false);
    for (int second = 1; second < 20; ++second) gf_messageSecondPassed();
    gf_resetDisplay();
    gf_showMessage("n", false);
    for (int second = 1; second < 25; ++second) ASSERT_FALSE(gf_messageSecondPassed()) << second;
}

// A shuffle is Fisher-Yates from the second entry on with the thread's engine; a reset drops
// the seeded engine for a fresh one.
TEST_F(RunControlTest, ShuffleFollowsTheEngineAndResetDropsTheSeed) {
    for (size_t n : {0u, 1u, 2u, 3u, 9u}) {
        SCOPED_TRACE(n);
        std::vector<int> list(n);
        std::iota(list.begin(), list.end(), 0);
        std::vector<int> expected = list;
        std::mt19937 reference(5);
        for (size_t i = 1; i < n; ++i) std::swap(expected[i], expected[reference() % (i + 1)]);
        gf_seedRandom(5);
        gf_shuffle(list);
        EXPECT_EQ(list, expected);
        EXPECT_EQ(gf_nextRandom(), reference()) << "one draw per entry after the first";
    }
    gf_seedRandom(5);
    std::mt19937 reference(5);
    EXPECT_EQ(gf_nextRandom(), reference());
    gf_resetRandom();
    std::vector<uint32_t> fresh, seeded;
    for (int i = 0; i < 8; ++i) {
        fresh.push_back(gf_nextRandom());
        seeded.push_back(reference());
    }
    EXPECT_NE(fresh, seeded);
}

}  // namespace
