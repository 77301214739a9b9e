#include "shell/run_thread.h"
#include "static/live_parked.h"

#include <filesystem>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "aircraft/type_database.h"
#include "core/display.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "core/run_state.h"
#include "core/tasks.h"
#include "core/slots.h"
#include "feed/traffic_reader.h"
#include "live/adding_stack.h"
#include "live/live_set.h"
#include "live/spawn.h"
#include "platform/sim_standin.h"
#include "platform/window_model.h"
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

// The per-second pass holds the user-collision rules against the user aircraft as the simulator
// last reported it, and does nothing before its first report.
TEST_F(RunThreadTest, PerSecondPassRemovesLiveAircraftTooCloseToTheUser) {
    const struct Row {
        const char* what;
        bool reported, userOnGround, acOnGround;
        double northNm, acAltFt;
        bool removed;
    } rows[] = {
        {"no report of the user yet", false, true, true, 0, 1416, false},
        {"on the ground at the user's spot", true, true, true, 0, 1416, true},
        {"on the ground 0.1 nm away", true, true, true, 0.1, 1416, false},
        {"in the air 200 ft above the user", true, false, false, 0, 5200, true},
        {"in the air 400 ft above the user", true, false, false, 0, 5400, false},
    };
    uint32_t hexid = 0x4B1800;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        gf_resetSimState();
        if (r.reported)
            gf_storeUserSnapshot({.lat = 47.45,
                                  .lon = 8.56,
                                  .altitudeFt = r.userOnGround ? 1416 : 5000.0,
                                  .onGround = r.userOnGround});
        LiveAircraft ac;
        ac.hexid = ++hexid, ac.callsign = "SWR12", ac.type = "B738";
        ac.lifeState = active, ac.objectId = hexid;
        ac.lat = 47.45 + r.northNm / 60, ac.lon = 8.56, ac.altitude = r.acAltFt;
        ac.onGround = r.acOnGround ? 1 : 0;
        ac.halfWingSpan = 17.9 / 1852;
        LiveAircraft& added = gf_addLiveAircraft(std::move(ac));
        lf_perSecond();
        EXPECT_EQ(added.lifeState, r.removed ? removingfromsim : active);
    }
}

// With COLLISION_LIVE_PARKED_GND a live aircraft taxiing or parking onto a static aircraft takes
// it away in the per-second pass; one parked, or one that has not moved, does not.
TEST_F(RunThreadTest, PerSecondPassClearsStaticAircraftInTheWayOfTaxiingTraffic) {
    COLLISION_LIVE_PARKED_GND.set(true);
    const struct Row {
        uint32_t flightState;
        bool moved, removed;
    } rows[] = {{taxi, true, true}, {parking, true, true}, {parked, true, false}, {taxi, false, false}};
    uint32_t hexid = 0x4B1800;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.flightState << " " << r.moved);
        g_staticAircraft.clear();
        AircraftRec& st = g_staticAircraft.emplace_back();
        st.hexid = 12, st.callsign = "SWR1*", st.lifeState = active, st.objectId = 40;
        st.standLat = 47.45, st.standLon = 8.56, st.halfWingSpan = 17.9 / 1852;
        LiveAircraft ac;
        ac.hexid = ++hexid, ac.callsign = "SWR12", ac.lifeState = active, ac.objectId = 41;
        ac.onGround = 1, ac.flightState = r.flightState, ac.halfWingSpan = 17.9 / 1852;
        ac.lat = ac.savedLat = 47.45, ac.lon = ac.savedLon = 8.56;
        if (r.moved) ac.savedLat = 47.44;
        gf_addLiveAircraft(std::move(ac));
        lf_perSecond();
        EXPECT_EQ(g_staticAircraft[0].lifeState, r.removed ? removingfromsim : active);
    }
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
    EXPECT_FALSE(gf_addingAllowed());
    g_simError = false;
    seconds(1);
    EXPECT_FALSE(g_flightPaused);
    EXPECT_TRUE(gf_addingAllowed()) << "traffic comes in again";
    g_simRunning = false;
    lf_tick();
    EXPECT_EQ(gf_capturedLog(), "14:07:09 Flight not running\nairports/my_park_airports.txt not found\n"
                                "park airports and stands are okay\n14:07:09 Flight resumed\n14:07:09 Flight not running\n");
    EXPECT_EQ(g_notRunningTicks, 102);
    EXPECT_EQ(g_simSeconds, 1);
}

// Log stamps are marked while the time shift follows the simulator's clock, and a new run
// starts on the machine's clock again.
TEST_F(RunThreadTest, LogStampsAreMarkedWhileTheSimulatorsTimeIsInUse) {
    const struct Row {
        bool simTime;
        int64_t simUtc;
        const char* stamp;
    } rows[] = {{false, 1709647629, "14:07:09"}, {true, 0, "14:07:09"}, {true, 1709647629, "14:07:09*"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stamp);
        lf_resetForRestart();
        SIM_TIME.set(row.simTime);
        gf_setSimUtcSeconds(row.simUtc);
        g_simRunning = true;
        seconds(1);
        EXPECT_EQ(gf_logStamp(), row.stamp);
    }
    lf_resetForRestart();
    EXPECT_EQ(gf_logStamp(), "14:07:09") << "a new run starts on the clock";
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
        g_titleByHexid[0x4B1805] = "Boeing 737-800 Swiss";
        lf_closingDown();
        EXPECT_TRUE(g_titleByHexid.empty()) << "remembered titles start afresh with the summary";
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
    // The stock file of LSZH is asked of the site; the flight ends before the answer is used.
    EXPECT_EQ(gf_capturedLog(), std::string(kStartUpLog) + kAirportScanLog + kParkAirportsLog +
                                    "Simulator closed\nExiting: SIM WAS CLOSED\n");
    EXPECT_EQ(message()->command, UiCommand::Quit);
    EXPECT_EQ(g_timeShiftMinutes.load(), 1440 + 120 + 3);
    EXPECT_EQ(gf_controlState(ctl::kRange).selected, 12);
    EXPECT_DOUBLE_EQ(g_rangeNm.load(), 25.0);
    // The run installed the automatic range's rule, which parking files read in it call on.
    gf_setRange(40);
    gf_pickAutoRange();
    const UserSnapshot user = gf_requestUserPosition();
    EXPECT_EQ(RANGE.value(), gf_autoRangeNm(user.onGround, false, user.altitudeFt));
    EXPECT_TRUE(gf_isKnownType("B738"));
    for (const char* f : {"airports/learned", "output/info", "output/errors", "input/my_regcodes", "flightplans"})
        EXPECT_TRUE(fs::is_directory(f)) << f;
    // The flight's threads are gone and their state reset for the next run.
    EXPECT_FALSE(gf_trafficReaderRunning());
    EXPECT_FALSE(g_simRunning);
    EXPECT_EQ(g_hardwareConcurrency.load(), std::max(1u, std::thread::hardware_concurrency())) << "scans in parallel";
    // The run gave the stand-in each installed title's category (the Cessna stands as a Light
    // aircraft on its own centre of gravity); a title the tables do not know is Large.
    Scenario world;
    world.installedTitles = {"Cessna 172 Skyhawk", "Boeing 737-800 Swiss", "Unknown title"};
    gf_standinLoad(world);
    HANDLE h{};
    ASSERT_EQ(gf_standinOpen(&h), S_OK);
    for (const std::string& title : world.installedTitles)
        ASSERT_EQ(gf_standinCreate(h, title.c_str(), "N1", {}, 1), S_OK);
    std::vector<int> categories;
    for (const StandinObject& o : gf_standinObjects()) categories.push_back(o.category);
    EXPECT_EQ(categories, (std::vector<int>{0, 2, 2}));
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

class WindowTest : public WorkFolderTest {};

TEST_F(WindowTest, RangeIsClampedSelectedAndPickedByFlightState) {
    for (auto [asked, range, entry] :
         {std::tuple{10, 10, 6}, {65, 65, 17}, {1, 2, 0}, {250, 100, 19}, {7, 7, -1}, {40, 40, 15}}) {
        gf_setRange(asked);
        EXPECT_EQ(RANGE.value(), range) << asked;
        EXPECT_EQ(gf_controlState(ctl::kRange).selected, entry) << asked;
        EXPECT_DOUBLE_EQ(g_rangeNm.load(), range) << asked;
    }
    // On the ground, near the park airport below FL180, low, middle and high.
    for (auto [onGround, nearPark, altitudeFt, range] :
         {std::tuple{true, true, 300.0, 10}, {true, false, 30000.0, 10}, {false, true, 17999.0, 20},
          {false, true, 18000.0, 40}, {false, false, 9999.0, 25}, {false, false, 10000.0, 40},
          {false, false, 24999.0, 40}, {false, false, 25000.0, 65}, {false, false, 41000.0, 65},
          {false, true, 40000.0, 65}})
        EXPECT_EQ(gf_autoRangeNm(onGround, nearPark, altitudeFt), range) << onGround << nearPark << altitudeFt;
    // Switching the automatic range on keeps the manual one; switching it off restores it.
    AUTO_RANGE.set(false);
    lf_handleCombos(ctl::kRange, 13);  // 30 nm
    EXPECT_EQ(RANGE.value(), 30);
    lf_handleCheckBoxes(ctl::kAutoRange, true);
    EXPECT_TRUE(AUTO_RANGE.value());
    EXPECT_TRUE(gf_controlState(ctl::kAutoRange).checked);
    EXPECT_EQ(g_manualRange, 30);
    gf_setRange(10);  // the main loop's automatic pick
    lf_handleCheckBoxes(ctl::kAutoRange, false);
    EXPECT_EQ(RANGE.value(), 30);
    EXPECT_EQ(gf_controlState(ctl::kRange).selected, 13);
    EXPECT_DOUBLE_EQ(g_rangeNm.load(), 30.0);
}

std::thread::id g_appliedOn;
int g_appliedCount = 0;

// The UI thread only records the choice; the run thread applies it at its next tick, once.
TEST_F(WindowTest, MaxLiveChoiceIsAppliedByTheRunThreadAtItsNextTick) {
    gf_setRunRequestHandler(RunRequest::ApplyMaxLive, [] {
        g_appliedOn = std::this_thread::get_id();
        ++g_appliedCount;
    });
    for (int index : {-1, 7, 1000}) lf_handleCombos(ctl::kMaxLiveSel, index);  // no such choice
    EXPECT_EQ(MAX_LIVE_SEL.value(), 500);
    EXPECT_FALSE(gf_runRequestPending(RunRequest::ApplyMaxLive));
    std::thread ui([] { lf_handleCombos(ctl::kMaxLiveSel, 3); });  // 50
    ui.join();
    EXPECT_EQ(MAX_LIVE_SEL.value(), 50);
    EXPECT_EQ(g_maxLiveValue, 50);
    EXPECT_EQ(gf_controlState(ctl::kMaxLiveSel).selected, 3);
    EXPECT_EQ(g_appliedCount, 0) << "the UI handler must not touch the live aircraft";
    lf_tick();  // this thread stands for the run thread
    lf_tick();
    EXPECT_EQ(g_appliedCount, 1);
    EXPECT_EQ(g_appliedOn, std::this_thread::get_id());
    lf_handleCombos(ctl::kMaxFitFl, 0);
    EXPECT_DOUBLE_EQ(MAX_FIT_FL.value(), 0.5);
}

TEST_F(WindowTest, NewLiveryScanWhileWaitingForTheSimulator) {
    SCAN_LIVERIES.set(false);
    lf_handleCheckBoxes(ctl::kScanLiveries, true);
    EXPECT_FALSE(gf_runRequestPending(RunRequest::NewLiveryScan)) << "not waiting for the simulator";
    EXPECT_EQ(gf_messageText(), "");
    lf_handleCheckBoxes(ctl::kScanLiveries, false);
    g_waitingForSim = true;
    lf_handleCheckBoxes(ctl::kScanLiveries, true);
    EXPECT_TRUE(SCAN_LIVERIES.value());
    EXPECT_EQ(gf_messageText(), "Your liveries will be scanned");
    // It survives the end of the run and is carried out at the next start-up.
    lf_resetForRestart();
    EXPECT_TRUE(gf_runRequestPending(RunRequest::NewLiveryScan));
}

TEST_F(WindowTest, ParkingControlsFollowRtParkTrafficOnlyAndSetTheFullRenewal) {
    const int parkingControls[] = {ctl::kParkingPercentage, ctl::kMaxFitFl, ctl::kInitialLoadOnly,
                                   ctl::kParkSoft,          ctl::kParkFake, ctl::kWeek};
    lf_handleCheckBoxes(ctl::kRtParkTrafficOnly, true);
    for (int id : parkingControls) EXPECT_FALSE(gf_controlState(id).enabled) << id;
    EXPECT_TRUE(gf_controlState(ctl::kMaxParkSel).enabled);
    EXPECT_TRUE(g_fullRenewal);
    EXPECT_EQ(gf_repaintCount(Region::ParkingBand), 1);
    lf_handleCheckBoxes(ctl::kRtParkTrafficOnly, false);
    for (int id : parkingControls) EXPECT_TRUE(gf_controlState(id).enabled) << id;
    for (auto [id, full] :
         {std::pair{ctl::kWeek, true}, {ctl::kParkSoft, true}, {ctl::kParkFake, true}, {ctl::kLog, false}}) {
        g_fullRenewal = false;
        lf_handleCheckBoxes(id, true);
        EXPECT_EQ(g_fullRenewal.load(), full) << id;
    }
}

TEST_F(WindowTest, StatusLineAndRepaints) {
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
    EXPECT_EQ(gf_statusLine(),
              "live: 0 | # liveries: 1234 | park airport: EDDF Frankfurt | stands: 312 | static parked: 40 (avg 93 "
              "min) | live parked: 3 (avg - min) | wanted: 200 (65%) | renewal in 7 min");
    gf_editStats([](WindowStats& s) { s.statusText = "calculating"; }, Region::ParkingBand);
    EXPECT_EQ(gf_repaintCount(Region::ParkingBand), 1);
    EXPECT_TRUE(gf_statusLine().ends_with("renewal in 7 min | calculating"));
}

// The first stop wins, also among racing threads; later callers only see the flag.
TEST_F(WindowTest, ExactlyOneOfManyRacingThreadsStoresItsState) {
    std::atomic<int> winners{0}, winningState{0};
    std::vector<std::thread> threads;
    for (int s = 1; s <= 7; ++s) {
        threads.emplace_back([s, &winners, &winningState] {
            if (gf_stopRunWith(static_cast<ExitState>(s))) {
                ++winners;
                winningState = s;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(winners, 1);
    EXPECT_TRUE(g_stopRun);
    EXPECT_EQ(static_cast<int>(gf_exitState()), winningState.load());
    EXPECT_FALSE(gf_stopRunWith(ExitState::SystemError));
    EXPECT_EQ(static_cast<int>(gf_exitState()), winningState.load());
}

}  // namespace
