#include "shell/run_thread.h"
#include "static/live_parked.h"

#include <filesystem>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/tasks.h"
#include "core/slots.h"
#include "feed/traffic_reader.h"
#include "live/live_set.h"
#include "live/spawn.h"
#include "platform/sim_standin.h"
#include "platform/window_model.h"
#include "shell/requests.h"
#include "shell/run_control.h"
#include "shell/ui_loop.h"
#include "shell/window.h"
#include "shell_fixture.h"
#include "sim/sim_link.h"
#include "sim/sim_state.h"
#include "sim/sim_thread.h"

namespace fs = std::filesystem;

namespace {

const uint64_t kTuesday1400 = gf_packSlot(28, 2);  // the fixture's 14:07 UTC on a Tuesday

class RunThreadTest : public ShellRunTest {
protected:
    // One simulator second: the simulator raises the flag, the main loop ticks.
    void seconds(int n) {
        for (int i = 0; i < n; ++i) {
            g_perSecondFlag = 1;
            ASSERT_TRUE(lf_tick());
        }
    }
    std::optional<UiMessage> message() { return gf_waitUiMessage(std::chrono::milliseconds(0)); }
};

// A flying half minute: the seconds count once per flag, the lamps and the reserved stand
// every 15 seconds, the renewal in two phases 15 seconds apart, the automatic range every 30.
TEST_F(RunThreadTest, FlyingSecondsDriveTheTimedDuties) {
    g_simRunning = true;
    UserSnapshot user;
    user.onGround = true;
    gf_storeUserSnapshot(user);
    g_currentSlot = 0;
    EXPECT_TRUE(lf_tick());
    EXPECT_EQ(g_simSeconds, 0) << "no flag, no second";
    lf_handleButtons(ctl::kRereadParkAirports);
    g_renewalRequested = true;
    gf_editStats([](WindowStats& s) { s.statusText = "calculating"; });
    seconds(1);
    EXPECT_TRUE(lf_tick());
    EXPECT_EQ(g_simSeconds, 1);
    EXPECT_EQ(g_perSecondFlag, 0);
    EXPECT_EQ(g_currentSlot, kTuesday1400);
    gf_showMessage("Parking in progress", false);
    seconds(13);
    EXPECT_EQ(gf_repaintCount(Region::Lamps), 0);
    EXPECT_TRUE(gf_runRequestPending(RunRequest::RereadParkAirports));
    EXPECT_FALSE(g_parkingCalculating);
    seconds(1);  // 15: phase 1 locks the parking controls and clears the message line
    EXPECT_EQ(gf_repaintCount(Region::Lamps), 1);
    EXPECT_FALSE(gf_runRequestPending(RunRequest::RereadParkAirports));
    EXPECT_TRUE(g_parkingCalculating);
    EXPECT_EQ(gf_messageText(), "");
    EXPECT_EQ(RANGE.value(), 40);
    gf_showMessage("Parking in progress", false);
    seconds(15);  // 30: phase 2
    EXPECT_EQ(gf_repaintCount(Region::Lamps), 2);
    EXPECT_FALSE(g_parkingCalculating);
    EXPECT_FALSE(g_renewalRequested);
    EXPECT_EQ(gf_windowStats().statusText, "");
    EXPECT_EQ(gf_messageText(), "");
    EXPECT_EQ(RANGE.value(), 10);
    AUTO_RANGE.set(false);
    gf_setRange(50);
    g_simSeconds = 86399;  // the counter starts again after a day
    seconds(31);
    EXPECT_EQ(g_simSeconds, 30);
    EXPECT_EQ(RANGE.value(), 50);
    // A stopped run ticks no more; a failed simulator call ends it as a lost link does.
    gf_stopRunWith(ExitState::NewFlight);
    g_perSecondFlag = 1;
    EXPECT_FALSE(lf_tick());
    EXPECT_EQ(g_simSeconds, 30);
    gf_resetRunControl();
    gf_simRequestError();
    EXPECT_FALSE(lf_tick());
    EXPECT_EQ(gf_exitState(), ExitState::SimconnectError);
}

// While the flight does not run only the not-running pass works: it logs once, recounts and
// serves the reserved stand and the current slot every 100 ticks.
TEST_F(RunThreadTest, NotRunningTicksLogOnceAndRecountEvery100Ticks) {
    gf_setSimUtcSeconds(0);
    lf_handleButtons(ctl::kFlushStatic);
    EXPECT_TRUE(g_flushStaticRequested.load());
    lf_handleButtons(ctl::kRereadParkAirports);
    EXPECT_FALSE(gf_controlState(ctl::kRereadParkAirports).enabled);
    EXPECT_FALSE(gf_controlState(ctl::kDestination).enabled);
    g_liveRecords.emplace_back().lifeState = active;
    for (int i = 1; i < 100; ++i) lf_tick();
    EXPECT_TRUE(gf_runRequestPending(RunRequest::RereadParkAirports));
    EXPECT_EQ(gf_windowStats().liveCount, 0);
    EXPECT_NE(g_currentSlot, kTuesday1400);
    lf_tick();
    EXPECT_EQ(gf_windowStats().liveCount, 1);
    EXPECT_EQ(g_currentSlot, kTuesday1400);
    EXPECT_FALSE(gf_runRequestPending(RunRequest::RereadParkAirports));
    EXPECT_TRUE(gf_controlState(ctl::kRereadParkAirports).enabled);
    EXPECT_TRUE(gf_controlState(ctl::kDestination).enabled);
    g_liveRecords.clear();
    g_simError = true;  // running but failing: still not running
    g_simRunning = true;
    g_perSecondFlag = 1;
    lf_tick();
    EXPECT_EQ(g_perSecondFlag, 1) << "the flag waits for the flight to run";
    EXPECT_TRUE(g_flightPaused);
    g_simError = false;
    seconds(1);
    EXPECT_FALSE(g_flightPaused);
    g_simRunning = false;
    lf_tick();
    EXPECT_EQ(gf_capturedLog(), "14:07:09 Flight not running\nairports/my_park_airports.txt not found\n"
                                "park airports and stands are okay\n14:07:09 Flight resumed\n14:07:09 Flight not running\n");
    EXPECT_EQ(g_notRunningTicks, 102);
    EXPECT_EQ(g_simSeconds, 1);
}

// Each message stands 25 simulator seconds from its own start; an error holds the line (no
// clock clears it) until it is cleared, and what it blocks is not logged either.
TEST_F(RunThreadTest, MessageLineClearsAfter25SecondsUnlessAnErrorHoldsIt) {
    g_simRunning = true;
    gf_showMessage("Downloading airports", true);
    seconds(24);
    EXPECT_EQ(gf_messageText(), "Downloading airports");
    gf_showMessage("second", false);
    seconds(24);
    EXPECT_EQ(gf_messageText(), "second");
    seconds(1);
    EXPECT_EQ(gf_messageText(), "");
    gf_showError("Error 88");
    gf_showMessage("Your liveries will be scanned", true);
    seconds(30);
    EXPECT_EQ(gf_messageText(), "Error 88");
    EXPECT_TRUE(gf_errorShown());
    gf_clearMessage();
    EXPECT_EQ(gf_messageText(), "");
    EXPECT_FALSE(gf_errorShown());
    EXPECT_EQ(gf_capturedLog(), "Downloading airports\n");
}

// Every minute the renewal counts down from 20; every 1200 seconds the unmatched aircraft.
TEST_F(RunThreadTest, RenewalCountdownAndUnmatchedAircraft) {
    g_unmatchedAircraft = {"DLH  B738 D-AIXX", "SWR  A320 HB-JXA"};
    for (auto [second, countdown] : {std::pair<int64_t, int>{60, 19}, {120, 18}, {1140, 1}, {1185, 1}, {1200, 20},
                                     {1260, 19}, {2460, 19}, {86340, 1}}) {
        g_simSeconds = second;
        lf_every15Seconds();
        EXPECT_EQ(gf_windowStats().countdownMinutes, countdown) << second;
    }
    EXPECT_EQ(gf_capturedLog(), "2 unmatched aircraft:\n          DLH  B738 D-AIXX\n          SWR  A320 HB-JXA\n");
}

// Closing down logs the exit state, resets the run and restarts after the state's delay or
// quits; a new run waits until 2 seconds lie between the last run's end and its start.
TEST_F(RunThreadTest, ClosingDownRestartsOrQuitsByExitState) {
    const struct {
        ExitState state;
        bool userClosing;
        UiCommand command;
        int delay;
    } rows[] = {{ExitState::NewSettings, false, UiCommand::RestartAfter, 3},
                {ExitState::SimconnectError, false, UiCommand::RestartAfter, 9},
                {ExitState::ReaderError, false, UiCommand::RestartAfter, 15},
                {ExitState::ReaderError, true, UiCommand::Quit, 0},   {ExitState::NewFlight, false, UiCommand::Quit, 0},
                {ExitState::SystemError, false, UiCommand::Quit, 0}, {ExitState::SimWasClosed, false, UiCommand::Quit, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(gf_exitStateName(row.state)));
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        g_userClosing = row.userClosing;
        gf_stopRunWith(row.state);
        g_simSeconds = 77;
        g_renewalRequested = true;
        lf_closingDown();
        EXPECT_EQ(gf_capturedLog(), fmt::format("Exiting: {}\n", gf_exitStateName(row.state)));
        auto m = message();
        ASSERT_TRUE(m);
        EXPECT_EQ(m->command, row.command);
        if (row.command == UiCommand::RestartAfter) EXPECT_EQ(m->delaySeconds, row.delay);
        EXPECT_EQ(gf_exitState(), ExitState::NotYetSet);
        EXPECT_EQ(g_simSeconds, 0);
        EXPECT_FALSE(g_renewalRequested);
    }
    for (auto [last, now, wait] : {std::tuple{0.0, 1709647629.0, 0.0}, {100.0, 101.5, 0.5}, {100.0, 102.0, 0.0},
                                   {100.0, 100.0, 2.0}, {100.0, 50.0, 2.0}, {100.0, 200.0, 0.0}})
        EXPECT_DOUBLE_EQ(lf_secondsToWait(last, now), wait) << last << " " << now;
}

// A whole run against the stand-in simulator, which closes half a second into the flight.
TEST_F(RunThreadTest, RunEndsAsSimWasClosedWhenTheSimulatorCloses) {
    tst_writeFile("scenario.json", kShortScenario);
    tst_writeFile("parameters.xml",
                  "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\" />"
                  "<parameter name=\"RANGE\" value=\"25\" /><parameter name=\"TIME_SHIFT_DAYS\" value=\"1\" />"
                  "<parameter name=\"TIME_SHIFT_HOURS\" value=\"2\" />"
                  "<parameter name=\"TIME_SHIFT_MINS\" value=\"3\" /></parameters>");
    lf_runThread();
    EXPECT_EQ(gf_capturedLog(), std::string(kStartUpLog) + kAirportScanLog + kParkAirportsLog + kFirstWatchLog +
                                    "Simulator closed\nExiting: SIM WAS CLOSED\n");
    EXPECT_EQ(message()->command, UiCommand::Quit);
    EXPECT_EQ(g_timeShiftMinutes.load(), 1440 + 120 + 3);
    EXPECT_EQ(gf_controlState(ctl::kRange).selected, 12);
    EXPECT_DOUBLE_EQ(g_rangeNm.load(), 25.0);
    EXPECT_TRUE(gf_isKnownType("B738"));
    for (const char* f : {"airports/learned", "output/info", "output/errors", "input/my_regcodes", "flightplans"})
        EXPECT_TRUE(fs::is_directory(f)) << f;
    // The flight's threads are gone and their state reset for the next run.
    EXPECT_FALSE(gf_trafficReaderRunning());
    EXPECT_FALSE(g_simRunning);
}

// The user closes the program while a static aircraft and a live one that was just created stand
// in the simulator: the closing down takes both out before the link closes.
TEST_F(RunThreadTest, UserClosingRemovesEveryAiObjectFromTheSimulator) {
    Scenario world;
    world.airports = {{"LSZH", 47.458056, 8.548056, 1416}};
    world.user = {{0, 47.4512, 8.5616, 1416, 0, 0, true}};
    world.installedTitles = {"Boeing 737-800 Swiss"};
    world.frameRate = 200;
    gf_startSimThread(world);
    ASSERT_TRUE(gf_waitForSimulator(std::chrono::seconds(20)));
    {
        std::lock_guard lock(g_simCommandMutex);
        for (const char* atcId : {"SWR12*", "SWR287"})
            ASSERT_EQ(gf_standinCreate(g_hSimConnect, "Boeing 737-800 Swiss", atcId, {}, 1), S_OK);
    }
    ASSERT_EQ(gf_standinObjects().size(), 2u);
    AircraftRec& st = g_staticAircraft.emplace_back();
    LiveAircraft& ac = g_liveRecords.emplace_back();
    st.hexid = 12, st.lifeState = active, st.objectId = gf_standinObjects()[0].id;
    ac.hexid = 0x4B1805, ac.lifeState = adding2sim, ac.objectId = gf_standinObjects()[1].id;
    g_userClosing = true;
    gf_stopRunWith(ExitState::UserClosedSim);
    lf_closingDown();
    EXPECT_TRUE(gf_standinObjects().empty());
    EXPECT_EQ(gf_standinUnknownRemoves(), 0);
}

}  // namespace
