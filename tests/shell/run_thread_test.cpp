#include "shell/run_thread.h"

#include <chrono>
#include <algorithm>
#include <thread>
#include <filesystem>

#include <fmt/format.h>

#include "core/clock.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "live/spawn.h"
#include "core/tasks.h"
#include "core/geo.h"
#include "live/live_set.h"
#include "platform/window_model.h"
#include "shell/requests.h"
#include "shell/run_control.h"
#include "shell/ui_loop.h"
#include "shell/window.h"
#include "feed/traffic_reader.h"
#include "sim/sim_state.h"
#include "aircraft/type_database.h"
#include "platform/sim_standin.h"
#include "aircraft/liveries_scanned.h"
#include "shell_fixture.h"

namespace fs = std::filesystem;

namespace {

class RunThreadTest : public ShellRunTest {
  protected:
    // One simulator second: the simulator raises the flag, the main loop ticks.
    bool second() {
        g_perSecondFlag = 1;
        return lf_tick();
    }
    void seconds(int n) {
        for (int i = 0; i < n; ++i) ASSERT_TRUE(second());
    }
};

TEST_F(RunThreadTest, PerSecondFlagIsTakenOnceAndCountsOneSecond) {
    g_simRunning = true;
    EXPECT_TRUE(lf_tick());
    EXPECT_EQ(g_simSeconds, 0);
    g_perSecondFlag = 1;
    EXPECT_TRUE(lf_tick());
    EXPECT_EQ(g_perSecondFlag, 0);
    EXPECT_EQ(g_simSeconds, 1);
    EXPECT_TRUE(lf_tick());
    EXPECT_TRUE(lf_tick());
    EXPECT_EQ(g_simSeconds, 1);
}

TEST_F(RunThreadTest, NothingRunsButTheNotRunningPassWhileTheSimulatorStopsOrFails) {
    struct Row {
        bool running, error;
        int64_t seconds;
    };
    const Row rows[] = {{false, false, 0}, {true, true, 0}, {false, true, 0}, {true, false, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.running << " " << row.error);
        lf_resetForRestart();
        g_simRunning = row.running;
        g_simError = row.error;
        g_perSecondFlag = 1;
        EXPECT_TRUE(lf_tick());
        EXPECT_EQ(g_simSeconds, row.seconds);
        EXPECT_EQ(g_perSecondFlag, row.seconds == 0 ? 1 : 0) << "the flag waits for the flight to run";
        EXPECT_EQ(g_flightPaused, row.seconds == 0);
    }
}

TEST_F(RunThreadTest, FlightNotRunningLogsOnceAndResumesOnTheNextSecond) {
    gf_setSimUtcSeconds(0);
    lf_tick();
    lf_tick();
    lf_tick();
    g_simRunning = true;
    lf_tick();  // no simulator second yet
    second();
    g_simRunning = false;
    lf_tick();
    EXPECT_EQ(gf_capturedLog(),
              "14:07:09 Flight not running\n"
              "14:07:09 Flight resumed\n"
              "14:07:09 Flight not running\n");
    EXPECT_EQ(g_notRunningTicks, 4);
}

TEST_F(RunThreadTest, NotRunningTicksCheckTheReservedStandAndRecountEvery100Ticks) {
    lf_handleButtons(ctl::kRereadParkAirports);
    EXPECT_FALSE(gf_controlState(ctl::kRereadParkAirports).enabled);
    EXPECT_FALSE(gf_controlState(ctl::kDestination).enabled);
    g_liveRecords.emplace_back().lifeState = active;
    for (int i = 1; i < 100; ++i) lf_tick();
    EXPECT_TRUE(gf_runRequestPending(RunRequest::RereadParkAirports));
    EXPECT_EQ(gf_windowStats().liveCount, 0);
    lf_tick();
    EXPECT_EQ(gf_windowStats().liveCount, 1);
    EXPECT_FALSE(gf_runRequestPending(RunRequest::RereadParkAirports));
    EXPECT_TRUE(gf_controlState(ctl::kRereadParkAirports).enabled);
    EXPECT_TRUE(gf_controlState(ctl::kDestination).enabled);
}

TEST_F(RunThreadTest, LogStampsAreMarkedWhileTheSimulatorsTimeIsInUse) {
    struct Row {
        bool simTime;
        int64_t simUtc;
        const char* stamp;
    };
    const Row rows[] = {{false, 1709647629, "14:07:09"}, {true, 0, "14:07:09"}, {true, 1709647629, "14:07:09*"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stamp);
        lf_resetForRestart();
        SIM_TIME.set(row.simTime);
        gf_setSimUtcSeconds(row.simUtc);
        g_simRunning = true;
        second();
        EXPECT_EQ(gf_logStamp(), row.stamp);
    }
    lf_resetForRestart();
    EXPECT_EQ(gf_logStamp(), "14:07:09") << "a new run starts on the clock";
}

TEST_F(RunThreadTest, UnmatchedAircraftAreLoggedEvery1200Seconds) {
    g_unmatchedAircraft = {"DLH  B738 D-AIXX", "SWR  A320 HB-JXA"};
    for (int64_t second : {1185, 1200}) {
        g_simSeconds = second;
        lf_every15Seconds();
    }
    EXPECT_EQ(gf_capturedLog(),
              "2 unmatched aircraft:\n          DLH  B738 D-AIXX\n          SWR  A320 HB-JXA\n");
}

// A failed call (an object scan request, a client event) ends the run as a lost link does.
TEST_F(RunThreadTest, FailedSimulatorCallEndsTheRunAsSimconnectError) {
    g_simRunning = true;
    EXPECT_TRUE(lf_tick());
    gf_simRequestError();
    EXPECT_FALSE(lf_tick());
    lf_closingDown();
    EXPECT_NE(gf_capturedLog().find("Exiting: SIMCONNECT ERROR\n"), std::string::npos);
    auto message = gf_waitUiMessage(std::chrono::milliseconds(0));
    ASSERT_TRUE(message);
    EXPECT_EQ(message->command, UiCommand::RestartAfter);
    EXPECT_EQ(message->delaySeconds, 9);
}

TEST_F(RunThreadTest, EveryFifteenSecondsTheLampsAndTheReservedStand) {
    g_simRunning = true;
    seconds(14);
    EXPECT_EQ(gf_repaintCount(Region::Lamps), 0);
    lf_handleButtons(ctl::kRereadParkAirports);
    seconds(1);
    EXPECT_EQ(gf_repaintCount(Region::Lamps), 1);
    EXPECT_FALSE(gf_runRequestPending(RunRequest::RereadParkAirports));
    seconds(15);
    EXPECT_EQ(gf_repaintCount(Region::Lamps), 2);
}

TEST_F(RunThreadTest, StopEndsThePassAfterThePerSecondCall) {
    g_simRunning = true;
    seconds(14);
    g_perSecondFlag = 1;
    gf_stopRunWith(ExitState::NewFlight);
    EXPECT_FALSE(lf_tick());
    EXPECT_EQ(g_simSeconds, 14) << "a stopped run does not tick";
    gf_resetRunControl();
    g_userClosing = true;
    EXPECT_FALSE(lf_tick());
}

TEST_F(RunThreadTest, RenewalCountdownEveryMinute) {
    struct Row {
        int64_t second;
        int countdown;
    };
    const Row rows[] = {{60, 19}, {120, 18}, {1140, 1}, {1200, 20}, {1260, 19}, {2460, 19}, {86340, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.second);
        g_simSeconds = row.second;
        lf_every15Seconds();
        EXPECT_EQ(gf_windowStats().countdownMinutes, row.countdown);
    }
    g_simSeconds = 75;
    gf_editStats([](WindowStats& s) { s.countdownMinutes = -5; });
    lf_every15Seconds();
    EXPECT_EQ(gf_windowStats().countdownMinutes, -5);
}

TEST_F(RunThreadTest, AutoRangeEvery30SecondsWhenSwitchedOn) {
    g_simRunning = true;
    UserSnapshot user;
    user.onGround = true;
    gf_storeUserSnapshot(user);
    seconds(15);
    EXPECT_EQ(RANGE.value(), 40);
    seconds(15);
    EXPECT_EQ(RANGE.value(), 10);
    AUTO_RANGE.set(false);
    gf_setRange(50);
    seconds(30);
    EXPECT_EQ(RANGE.value(), 50);
}

TEST_F(RunThreadTest, SecondsCounterStartsAgainAfterADay) {
    g_simRunning = true;
    g_simSeconds = 86399;
    second();
    EXPECT_EQ(g_simSeconds, 0);
    second();
    EXPECT_EQ(g_simSeconds, 1);
}

TEST_F(RunThreadTest, RenewalRunsInTwoPhasesFifteenSecondsApart) {
    g_simRunning = true;
    seconds(15);
    EXPECT_FALSE(g_parkingCalculating);
    g_renewalRequested = true;
    gf_editStats([](WindowStats& s) { s.statusText = "calculating"; });
    gf_showMessage("Parking in progress", false);
    seconds(14);
    EXPECT_FALSE(g_parkingCalculating);
    seconds(1);  // phase 1
    EXPECT_TRUE(g_parkingCalculating);
    EXPECT_TRUE(g_renewalRequested);
    EXPECT_EQ(gf_messageText(), "Parking in progress");
    seconds(15);  // phase 2
    EXPECT_FALSE(g_parkingCalculating);
    EXPECT_FALSE(g_renewalRequested);
    EXPECT_EQ(gf_windowStats().statusText, "");
    EXPECT_EQ(gf_messageText(), "");
}

TEST_F(RunThreadTest, StartUpLoadsTheParametersIntoControlsAndRange) {
    tst_writeFile("parameters.xml",
                  "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\" />"
                  "<parameter name=\"RANGE\" value=\"25\" />"
                  "<parameter name=\"WEEK\" value=\"true\" /></parameters>");
    lf_startUp();
    EXPECT_EQ(RANGE.value(), 25);
    EXPECT_EQ(gf_controlState(ctl::kRange).selected, 12);
    EXPECT_TRUE(gf_controlState(ctl::kWeek).checked);
    EXPECT_EQ(g_manualRange, 25);
    EXPECT_DOUBLE_EQ(g_rangeNm.load(), 25.0);
    EXPECT_EQ(g_hardwareConcurrency, std::max(1u, std::thread::hardware_concurrency())) << "scans in parallel";
}

TEST_F(RunThreadTest, CurrentSlotStoredEverySecondAndWhileNotRunning) {
    const uint64_t tuesday1400 = gf_packSlot(28, 2);  // 14:07 UTC on a Tuesday
    const uint64_t before = g_currentSlot;
    ASSERT_NE(before, tuesday1400);
    for (int i = 1; i < 100; ++i) lf_tick();
    EXPECT_EQ(g_currentSlot, before);
    lf_tick();
    EXPECT_EQ(g_currentSlot, tuesday1400);
    g_currentSlot = 0;
    g_simRunning = true;
    second();
    EXPECT_EQ(g_currentSlot, tuesday1400);
}

TEST_F(RunThreadTest, PrepareFoldersCreatesEveryDataFolder) {
    lf_prepareFolders();
    lf_prepareFolders();  // every start-up: folders already there are fine
    for (const char* f : {"airports", "airports/learned", "output/info", "output/errors", "input/my_regcodes",
                          "flightplans"}) {
        EXPECT_TRUE(fs::is_directory(f)) << f;
    }
}

// A run folder that cannot be written ends the run with an error that names the folder and
// the reason, and the program ends as failed.
TEST_F(RunThreadTest, FolderInTheWayEndsTheRunWithAnErrorNamingIt) {
    tst_writeFile("airports", "a file where a folder belongs");
    lf_runThread();
    const char* error = "Error 5: Cannot create the folder airports in the run folder: Not a directory";
    EXPECT_EQ(gf_messageText(), error);
    EXPECT_EQ(gf_capturedLog().find(fmt::format("lf_runThread exception: 5: {}\n", error + 9)), 0u);
    auto m = gf_waitUiMessage(std::chrono::milliseconds(0));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->command, UiCommand::Quit);
    EXPECT_EQ(m->exitCode, kExitUserError);
}

// The stand-in simulator creates each title with its own category (and so centre of gravity).
TEST_F(RunThreadTest, StandinSimulatorCreatesEachTitleInItsCategory) {
    lf_startUp();
    lf_processScannedLiveries();
    lf_installStandinCategories();
    Scenario world;
    world.installedTitles = {"Boeing 737-800 Swiss", "Cessna 172 Skyhawk"};
    gf_standinLoad(world);
    HANDLE h = nullptr;
    ASSERT_EQ(gf_standinOpen(&h), S_OK);
    for (const std::string& title : world.installedTitles)
        ASSERT_EQ(gf_standinCreate(h, title.c_str(), "X", SimInitPosition{}, 1), S_OK);
    ASSERT_EQ(gf_standinObjects().size(), 2u);
    EXPECT_EQ(gf_standinObjects()[0].category, static_cast<int>(AircraftCategory::Large));
    EXPECT_EQ(gf_standinObjects()[1].category, static_cast<int>(AircraftCategory::Light));
}

TEST_F(RunThreadTest, SecondsToWaitBetweenRuns) {
    struct Row {
        double last, now, wait;
    };
    const Row rows[] = {{0, 1709647629, 0}, {100, 101.5, 0.5}, {100, 102, 0},
                        {100, 100, 2},      {100, 50, 2},      {100, 200, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.last << " " << row.now);
        EXPECT_DOUBLE_EQ(lf_secondsToWait(row.last, row.now), row.wait);
    }
}

TEST_F(RunThreadTest, StoppedRunReachesClosingDownAndQuits) {
    g_userClosing = true;
    gf_stopRunWith(ExitState::UserClosedSim);
    tst_writeFile("parameters.xml",
                  "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\" />"
                  "<parameter name=\"RANGE\" value=\"25\" />"
                  "<parameter name=\"AUTO_RANGE\" value=\"false\" /></parameters>");
    lf_runThread();
    EXPECT_EQ(gf_capturedLog(), std::string(kStartUpLog) + kParkAirportsLog + "Exiting: USER CLOSED SIM\n");
    EXPECT_DOUBLE_EQ(LAST_EPOCH_TIME.value(), static_cast<double>(gf_epochSeconds(kShellNow)));
    std::string saved = tst_readFile("parameters.xml");
    EXPECT_NE(saved.find("<parameter name=\"LAST_EPOCH_TIME\" value=\"1709647629\" />"), std::string::npos)
        << saved;
    EXPECT_NE(saved.find("<parameter name=\"RANGE\" value=\"25\" />"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<parameter name=\"AUTO_RANGE\" value=\"false\" />"), std::string::npos) << saved;
    auto m = gf_waitUiMessage(std::chrono::milliseconds(0));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->command, UiCommand::Quit);
    EXPECT_FALSE(g_stopRun) << "the run state is reset for the next run";
}

TEST_F(RunThreadTest, RunEndsAsSimWasClosedWhenTheSimulatorCloses) {
    tst_writeFile("scenario.json", kShortScenario);
    lf_runThread();
    EXPECT_EQ(gf_capturedLog(), std::string(kStartUpLog) + kAirportScanLog + kParkAirportsLog + kFirstWatchLog +
                                    "Simulator closed\nExiting: SIM WAS CLOSED\n");
    EXPECT_EQ(gf_waitUiMessage(std::chrono::milliseconds(0))->command, UiCommand::Quit);
    // The flight's threads are gone and their state reset for the next run.
    EXPECT_FALSE(gf_trafficReaderRunning());
    EXPECT_FALSE(g_simRunning);
}

TEST_F(RunThreadTest, LostSimulatorConnectionRestartsTheRunAfterNineSeconds) {
    tst_writeFile("scenario.json",
                  R"({"connection_loss_at_s": 0.3, "airports": [{"icao": "LSZH", "lat": 47.458056,)"
                  R"( "lon": 8.548056, "elevation_ft": 1416}], "user": [{"t": 0, "lat": 47.4512,)"
                  R"( "lon": 8.5616, "alt_ft": 1416}]})");
    lf_runThread();
    const std::string log = gf_capturedLog();
    EXPECT_NE(log.find("Exiting: SIMCONNECT ERROR\n"), std::string::npos) << log;
    auto message = gf_waitUiMessage(std::chrono::milliseconds(0));
    ASSERT_TRUE(message);
    EXPECT_EQ(message->command, UiCommand::RestartAfter);
    EXPECT_EQ(message->delaySeconds, 9);
}

TEST_F(RunThreadTest, MissingScenarioIsAnErrorTheUserSees) {
    lf_runThread();
    const std::string log = gf_capturedLog();
    EXPECT_NE(log.find("lf_runThread exception: Cannot read scenario.json: "), std::string::npos) << log;
    EXPECT_EQ(gf_messageText(),
              "Error 99: Cannot read scenario.json: scenario.json: cannot be read: No such file or directory");
    EXPECT_EQ(gf_waitUiMessage(std::chrono::milliseconds(0))->command, UiCommand::Quit);
}

TEST_F(RunThreadTest, ClosingDownRestartsOrQuitsByExitState) {
    struct Row {
        ExitState state;
        bool userClosing;
        UiCommand command;
        int delay;
    };
    const Row rows[] = {
        {ExitState::NewSettings, false, UiCommand::RestartAfter, 3},
        {ExitState::SimconnectError, false, UiCommand::RestartAfter, 9},
        {ExitState::ReaderError, false, UiCommand::RestartAfter, 15},
        {ExitState::ReaderError, true, UiCommand::Quit, 0},
        {ExitState::NewFlight, false, UiCommand::Quit, 0},
        {ExitState::SystemError, false, UiCommand::Quit, 0},
        {ExitState::SimWasClosed, false, UiCommand::Quit, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(gf_exitStateName(row.state)));
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        g_userClosing = row.userClosing;
        gf_stopRunWith(row.state);
        g_simSeconds = 77;
        g_renewalRequested = true;
        lf_closingDown();
        EXPECT_EQ(gf_capturedLog(), fmt::format("Exiting: {}\n", gf_exitStateName(row.state)));
        auto m = gf_waitUiMessage(std::chrono::milliseconds(0));
        ASSERT_TRUE(m);
        EXPECT_EQ(m->command, row.command);
        if (row.command == UiCommand::RestartAfter) EXPECT_EQ(m->delaySeconds, row.delay);
        EXPECT_EQ(gf_exitState(), ExitState::NotYetSet);
        EXPECT_EQ(g_simSeconds, 0);
        EXPECT_FALSE(g_renewalRequested);
    }
}

}  // namespace

namespace {

void lf_failingLiveryScan() {
    throw qtk::UserErrorException(48, "no aircraft.cfg found");
}

TEST_F(RunThreadTest, UserErrorEndsTheRunWithItsCodeOnTheMessageLine) {
    gf_postRunRequest(RunRequest::NewLiveryScan);
    gf_setRunRequestHandler(RunRequest::NewLiveryScan, lf_failingLiveryScan);
    lf_runThread();
    EXPECT_EQ(gf_capturedLog(), std::string(kTypeDatabaseLine) +
                                    "lf_runThread exception: 48: no aircraft.cfg found\n"
                                    "Exiting: NOT YET SET\n");
    EXPECT_EQ(gf_messageText(), "Error 48: no aircraft.cfg found");
    EXPECT_TRUE(gf_errorShown());
    EXPECT_EQ(gf_waitUiMessage(std::chrono::milliseconds(0))->command, UiCommand::Quit);
}

}  // namespace

namespace {

TEST_F(RunThreadTest, StartUpLoadsTheTypeDatabaseAndRemovesThePlainFile) {
    lf_startUp();
    EXPECT_TRUE(gf_isKnownType("B738"));
    EXPECT_TRUE(gf_isKnownType("C172"));
    EXPECT_FALSE(fs::exists("input/dbase.xml"));
    EXPECT_TRUE(fs::exists("input/dbase.enc"));
}

TEST_F(RunThreadTest, BrokenTypeDatabaseEndsTheRunAndLeavesNoPlainFile) {
    struct Row {
        const char* name;
        std::string encFile;  // empty: no file at all
        const char* message;
    };
    const Row rows[] = {
        {"missing", "", "Error 99: input/dbase.xml: cannot be read: No such file or directory"},
        {"does not decrypt", "not an encrypted stream",
         "Error 99: input/dbase.xml: cannot be read: No such file or directory"},
        {"decrypts to broken XML", gf_encryptBytes("<dbase><types><type icao="),
         "Error 99: input/dbase.xml: not an XML file: Error parsing element attribute at line 1, offset 24"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove("input/dbase.enc");
        if (!row.encFile.empty()) tst_writeFile("input/dbase.enc", row.encFile);
        gf_clearMessage();
        lf_runThread();
        EXPECT_EQ(gf_messageText(), row.message);
        EXPECT_FALSE(fs::exists("input/dbase.xml"));
        EXPECT_NE(gf_capturedLog().find("Exiting: NOT YET SET\n"), std::string::npos);
        EXPECT_EQ(gf_waitUiMessage(std::chrono::milliseconds(0))->command, UiCommand::Quit);
    }
}

}  // namespace

namespace {

// With the rule on, the per-second pass checks live aircraft that roll on the ground and moved
// since their last check against the static aircraft, once per move.
TEST_F(RunThreadTest, PerSecondPassKeepsRollingAircraftClearOfStaticOnes) {
    COLLISION_LIVE_PARKED_GND.set(true);
    AircraftRec st;
    st.hexid = 12;
    st.callsign = "SWR12*";
    st.lifeState = active;
    st.objectId = 7;
    st.halfWingSpan = gf_metersToNm(17);
    st.standLat = 47.45;
    st.standLon = 8.56;
    g_staticAircraft.push_back(st);
    LiveAircraft ac;
    ac.hexid = 0x4B1805;
    ac.callsign = "SWR287";
    ac.lifeState = active;
    ac.onGround = 1;
    ac.flightState = taxi;
    ac.halfWingSpan = gf_metersToNm(17);
    ac.lat = 47.45;
    ac.lon = 8.56;
    ac.savedLat = ac.lat;  // not moved since its last check: left alone
    ac.savedLon = ac.lon;
    g_liveRecords.push_back(ac);
    lf_perSecond();
    EXPECT_EQ(g_staticAircraft[0].lifeState, active);
    g_liveRecords[0].savedLat = 0;  // moved
    lf_perSecond();
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
    EXPECT_NE(gf_capturedLog().find("SWR12*   removed for collision avoidance with static SWR287"),
              std::string::npos)
        << gf_capturedLog();
    g_liveRecords.clear();
    g_staticAircraft.clear();
}

}  // namespace

namespace {

TEST_F(RunThreadTest, RunStartsWithTheTimeShiftOfTheSettings) {
    tst_writeFile("parameters.xml",
                  "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\" />"
                  "<parameter name=\"TIME_SHIFT_DAYS\" value=\"1\" />"
                  "<parameter name=\"TIME_SHIFT_HOURS\" value=\"2\" />"
                  "<parameter name=\"TIME_SHIFT_MINS\" value=\"3\" /></parameters>");
    lf_runThread();  // no scenario: the run ends right after its start
    EXPECT_EQ(g_timeShiftMinutes.load(), 1440 + 120 + 3);
}

}  // namespace
