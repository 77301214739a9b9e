#include "shell/run_thread.h"
#include "static/live_parked.h"

#include <filesystem>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "aircraft/type_database.h"
#include "airports/apf_file.h"
#include "airports/apf_read.h"
#include "airports/park_airports.h"
#include "core/display.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "core/run_state.h"
#include "core/tasks.h"
#include "core/slots.h"
#include "feed/feed_state.h"
#include "feed/traffic_reader.h"
#include "live/adding_stack.h"
#include "live/ground_motion.h"
#include "live/intake.h"
#include "live/live_set.h"
#include "live/parking_slots.h"
#include "live/spawn.h"
#include "live/stand_choice.h"
#include "platform/sim_standin.h"
#include "platform/window_model.h"
#include "shell/ui_loop.h"
#include "shell/window.h"
#include "shell_fixture.h"
#include "support/stand_builders.h"
#include "sim/sim_link.h"
#include "sim/sim_state.h"
#include "sim/sim_thread.h"
#include "static/park_watch.h"
#include "static/static_place.h"

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

// Every tick of a running flight takes what the feed staged, not only the seconds.
TEST_F(RunThreadTest, EveryTickTakesWhatTheFeedStaged) {
    tst_writeFile("dbase.xml", "<dbase><types><type icao=\"B738\" cat=\"Large\" span=\"35.79\"/></types></dbase>");
    gf_loadTypeDatabaseFile("dbase.xml");
    UserSnapshot user;
    user.lat = 47.45, user.lon = 8.56, user.onGround = true;
    gf_storeUserSnapshot(user);
    g_userPosition = gf_requestUserPosition();
    gf_setAddingAllowed(true);
    LiveTrafficRecord r;
    r.airline = "SWR", r.type = "B738", r.callsign = "SWR287", r.regcode = "HB-JXA";
    r.sample = {.lat = 47.5, .lon = 8.6, .alt = 4000, .gs = 200, .track = 90, .airborne = 1};
    r.timeStamp = std::chrono::duration<double>(kShellNow.time_since_epoch()).count(), r.hexid = 0x4b1805;
    std::vector<LiveTrafficRecord> batch{r};
    gf_addTrafficBatch(batch, 0);
    g_simRunning = false;
    EXPECT_TRUE(lf_tick());
    EXPECT_TRUE(g_liveRecords.empty()) << "the flight does not run";
    g_simRunning = true;
    const int ticks = g_tickCounter.load();
    EXPECT_TRUE(lf_tick());
    EXPECT_EQ(g_tickCounter.load(), ticks + 1);
    ASSERT_EQ(g_liveRecords.size(), 1u);
    EXPECT_EQ(g_liveRecords[0].callsign, "SWR287");
}

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
        uint32_t lifeState = active;
    } rows[] = {{taxi, true, true},
                {parking, true, true},
                {parked, true, false},
                {taxi, false, false},
                {taxi, true, false, removingfromsim}};  // leaving the simulator itself
    uint32_t hexid = 0x4B1800;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.flightState << " " << r.moved << " " << r.lifeState);
        g_staticAircraft.clear();
        AircraftRec& st = g_staticAircraft.emplace_back();
        st.hexid = 12, st.callsign = "SWR1*", st.lifeState = active, st.objectId = 40;
        st.standLat = 47.45, st.standLon = 8.56, st.halfWingSpan = 17.9 / 1852;
        LiveAircraft ac;
        ac.hexid = ++hexid, ac.callsign = "SWR12", ac.lifeState = r.lifeState, ac.objectId = 41;
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

// While the flight does not run, what the simulator reports is still taken in at every tick: an
// object that left is forgotten at once.
TEST_F(RunThreadTest, NotRunningTicksTakeInTheSimulatorsEvents) {
    AircraftRec& st = g_staticAircraft.emplace_back();
    st.hexid = 12, st.callsign = "SWR1*", st.lifeState = removingfromsim, st.objectId = 40;
    {
        std::lock_guard lock(g_simEventMutex);
        g_simEventQueue.push_back({40, 0, 0, kEvRemoved, 0, 0});
    }
    lf_tick();
    EXPECT_TRUE(g_staticAircraft.empty());
    EXPECT_TRUE(g_flightPaused);
}

// Positions computed before the flight stopped are dropped, not sent when it runs again: the
// aircraft would jump back to where they stood at the pause.
TEST_F(RunThreadTest, APauseDropsThePositionsNotYetSent) {
    g_simRunning = true;
    PosUpdateRec rec;
    rec.objectId = 40;
    gf_appendPosition(rec);
    ASSERT_TRUE(gf_handOverPositions());
    gf_appendPosition(rec);
    g_simRunning = false;
    lf_tick();
    EXPECT_TRUE(g_simCommands.positions[0].empty());
    EXPECT_TRUE(g_simCommands.positions[1].empty());
}

// A static aircraft that the live traffic now flies under its own callsign leaves every 61
// seconds, while live aircraft are about.
TEST_F(RunThreadTest, DuplicateStaticsAreSweptEvery61Seconds) {
    g_simRunning = true;
    AircraftRec& st = g_staticAircraft.emplace_back();
    st.hexid = 12, st.callsign = "SWR12*", st.lifeState = active, st.objectId = 40;
    LiveAircraft ac;
    ac.hexid = 0x4B1805, ac.callsign = "SWR12", ac.lifeState = active, ac.objectId = 41, ac.onGround = 1;
    PosSample waiting;  // standing, its next sample far ahead
    waiting.stationary = 1;
    waiting.dueTick = static_cast<int32_t>(gf_tickNow() + 1000000);
    ac.stream.push_back(waiting);
    gf_addLiveAircraft(std::move(ac));
    g_simSeconds = 120;
    seconds(1);
    ASSERT_EQ(g_liveRecords[0].lifeState, active);
    EXPECT_EQ(g_staticAircraft[0].lifeState, active);
    seconds(1);  // 122
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
}

// The flush button takes every static aircraft out at the next flying second; from then on only
// the initial load is placed, and its box shows it.
TEST_F(RunThreadTest, FlushButtonEmptiesTheStandsAndKeepsOnlyTheInitialLoad) {
    g_simRunning = true;
    AircraftRec& st = g_staticAircraft.emplace_back();
    st.hexid = 12, st.callsign = "SWR1*", st.lifeState = active, st.objectId = 40;
    seconds(1);
    EXPECT_EQ(g_staticAircraft[0].lifeState, active) << "no flush asked";
    lf_handleButtons(ctl::kFlushStatic);
    EXPECT_EQ(g_staticAircraft[0].lifeState, active) << "the run thread flushes, not the window";
    seconds(1);
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
    EXPECT_FALSE(g_flushStaticRequested.load());
    EXPECT_TRUE(INITIAL_LOAD_ONLY.value());
    EXPECT_TRUE(gf_controlState(ctl::kInitialLoadOnly).checked);
}

// The main loop starts a flight from its first second: the current slot and the user aircraft
// are known before the first tick, and traffic may come in.
TEST_F(RunThreadTest, MainLoopStartsTheFlightFromItsFirstSecond) {
    g_simSeconds = 50, g_flightPaused = true, g_currentSlot = 0;
    gf_setAddingAllowed(false);
    gf_storeUserSnapshot({.lat = 47.45, .lon = 8.56});
    gf_stopRunWith(ExitState::NewFlight);  // the first tick ends the loop
    lf_mainLoop();
    EXPECT_EQ(g_simSeconds, 0);
    EXPECT_FALSE(g_flightPaused);
    EXPECT_EQ(g_currentSlot, kTuesday1400);
    EXPECT_TRUE(gf_addingAllowed());
    EXPECT_EQ(g_userPosition.lat, 47.45);
}

// The window's "clear the reserved stand" is carried out once, at the next 15-second pass: the
// static aircraft on the user's reserved stand leaves, and a later reservation stays served.
TEST_F(RunThreadTest, ReservedStandIsClearedOnceWhenAsked) {
    g_simRunning = true;
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}});
    ParkSite site;
    site.code = "LSZH";
    site.reservedStand = "A1";
    gf_setParkSite(site);
    auto parkStatic = [](uint32_t standId, uint32_t objectId) -> AircraftRec& {
        AircraftRec& st = g_staticAircraft.emplace_back();
        st.hexid = objectId, st.callsign = "SWR1*", st.lifeState = active, st.objectId = objectId;
        st.standId = standId;
        return st;
    };
    parkStatic(1, 40);
    parkStatic(2, 41);
    g_clearReservedStandRequested = true;
    seconds(14);
    EXPECT_EQ(g_staticAircraft[0].lifeState, active) << "waits for the 15-second pass";
    seconds(1);
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
    EXPECT_EQ(g_staticAircraft[1].lifeState, active) << "not the reserved stand";
    EXPECT_FALSE(g_clearReservedStandRequested.load());
    parkStatic(1, 42);
    seconds(15);
    EXPECT_EQ(g_staticAircraft.back().lifeState, active) << "asked once, done once";
}

// The whole-process reset leaves nothing pending for the next run: no window request, no
// message to the UI loop, no close.
TEST_F(RunThreadTest, ProcessResetLeavesNothingPending) {
    gf_postRunRequest(RunRequest::RereadParkAirports);
    gf_postUiMessage({UiCommand::Quit, 0, 3});
    g_windowCloseAsked = true;
    g_simSeconds = 77, g_notRunningTicks = 5, g_flightPaused = true;
    gf_resetShell();
    EXPECT_FALSE(gf_runRequestPending(RunRequest::RereadParkAirports));
    EXPECT_FALSE(message());
    EXPECT_FALSE(g_windowCloseAsked);
    EXPECT_EQ(g_simSeconds, 0);
    EXPECT_EQ(g_notRunningTicks, 0);
    EXPECT_FALSE(g_flightPaused);
}

// The closing save writes the settings only once this process has read them: a run that ended
// before holds only defaults, which must not replace the user's file.
TEST_F(RunThreadTest, ClosingSavesTheSettingsOnlyOnceTheyWereRead) {
    const std::string users =
        "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\"/>"
        "<parameter name=\"RANGE\" value=\"12\"/></parameters>\n";
    tst_writeFile("parameters.xml", users);
    gf_stopRunWith(ExitState::SystemError);
    lf_closingDown();
    EXPECT_EQ(tst_readFile("parameters.xml"), users) << "not read yet";
    lf_startUp();
    EXPECT_EQ(RANGE.value(), 12);
    gf_stopRunWith(ExitState::SystemError);
    lf_closingDown();
    const std::string saved = tst_readFile("parameters.xml");
    EXPECT_NE(saved.find(R"(name="RANGE" value="12")"), std::string::npos) << saved;
    EXPECT_NE(saved.find(R"(name="LAST_EPOCH_TIME" value="1709647629")"), std::string::npos) << saved;
    tst_writeFile("parameters.xml", users);
    gf_resetShell();  // a new process, as far as the shell knows
    gf_stopRunWith(ExitState::SystemError);
    lf_closingDown();
    EXPECT_EQ(tst_readFile("parameters.xml"), users) << "read in an earlier process only";
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

// Every 1200 seconds the static parking asks for a renewal, unless it only places its initial
// load; with only the live traffic parked it renews always. Without static parking never.
TEST_F(RunThreadTest, RenewalIsAskedEvery1200SecondsUnlessOnlyTheInitialLoadIsPlaced) {
    const struct {
        bool staticOn, initialOnly, rtOnly;
        int64_t second;
        bool requested;
    } rows[] = {{true, false, false, 1200, true},
                {true, false, false, 1185, false},
                {false, false, false, 1200, false},
                {true, true, false, 2400, false},
                {true, true, true, 2400, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.staticOn << r.initialOnly << r.rtOnly << " " << r.second);
        g_renewalRequested = false;
        g_staticParkingOn = r.staticOn;
        INITIAL_LOAD_ONLY.set(r.initialOnly);
        RT_PARKTRAFFIC_ONLY.set(r.rtOnly);
        g_simSeconds = r.second;
        lf_every15Seconds();
        EXPECT_EQ(g_renewalRequested.load(), r.requested);
    }
}

// A restart starts from nothing the previous run left: its counters, flags, aircraft, queued
// commands, flight plans, park airport and user aircraft are all gone.
TEST_F(RunThreadTest, ARestartStartsFromNothingThePreviousRunLeft) {
    g_simSeconds = 77, g_flightPaused = true, g_notRunningTicks = 5, g_waitingForSim = true;
    gf_setSimTimeInUse(true);
    g_renewalRequested = true, g_parkingCalculating = true, g_fullRenewal = true;
    g_flushStaticRequested = true, g_staticHexidCounter = 9, g_staticParkingOn = true;
    gf_setQnh(950);
    gf_setTrafficTime(1709647629);
    g_liveRecords.emplace_back().hexid = 0x4B1805;
    g_parkAirport.code = "LSZH";
    g_parkParamsChanged = true;
    g_rtTrafficWeek = 5, g_apfHandmade = true;
    gf_queueRemove(3);
    tst_writeFile("flightplans/3.pln", "<plan/>");
    g_hexidValues.push_back({0x4B1805, 28});
    ParkSite site;
    site.code = "LSZH";
    gf_setParkSite(site);
    gf_storeUserSnapshot({.lat = 47.45, .lon = 8.56});
    g_simRunning = true;
    gf_stopRunWith(ExitState::NewFlight);
    lf_resetForRestart();
    EXPECT_EQ(g_simSeconds, 0);
    EXPECT_FALSE(g_flightPaused || g_waitingForSim || gf_simTimeInUse());
    EXPECT_EQ(g_notRunningTicks, 0);
    EXPECT_FALSE(g_renewalRequested || g_parkingCalculating || g_fullRenewal);
    EXPECT_FALSE(g_flushStaticRequested);
    EXPECT_EQ(g_staticHexidCounter, 0u);
    EXPECT_FALSE(g_staticParkingOn);
    EXPECT_EQ(g_qnh.load(), 1013);
    EXPECT_EQ(gf_trafficTime(), 0);
    EXPECT_TRUE(g_liveRecords.empty());
    EXPECT_EQ(g_parkAirport.code, "");
    EXPECT_FALSE(g_parkParamsChanged);
    EXPECT_EQ(g_rtTrafficWeek, 0);
    EXPECT_FALSE(g_apfHandmade);
    EXPECT_TRUE(g_simCommands.removes.empty());
    EXPECT_FALSE(fs::exists("flightplans/3.pln"));
    EXPECT_TRUE(g_hexidValues.empty());
    EXPECT_EQ(gf_parkSite().code, "");
    EXPECT_EQ(gf_requestUserPosition().lat, 0);
    EXPECT_FALSE(g_simRunning);
    EXPECT_EQ(gf_exitState(), ExitState::NotYetSet);
    EXPECT_FALSE(g_stopRun);
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
    // The window shows the settings as read.
    EXPECT_EQ(gf_controlState(ctl::kTimeShiftDays).selected, 1);
    EXPECT_EQ(gf_controlState(ctl::kTimeShiftMins).selected, 3);
    EXPECT_TRUE(gf_controlState(ctl::kAutoRange).checked);
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
    gf_startSimThread([&] { gf_standinLoad(world); }, gf_rememberUserStand);
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
