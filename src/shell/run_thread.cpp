#include "shell/run_thread.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>
#include <unordered_map>

#include <fmt/format.h>

#include "airports/park_airports.h"
#include "aircraft/liveries_scanned.h"
#include "aircraft/livery_scan.h"
#include "aircraft/livery_tables.h"
#include "aircraft/matching.h"
#include "aircraft/type_database.h"
#include "airports/airport_list.h"
#include "airports/apf_read.h"
#include "airports/park_airports.h"
#include "airports/stand.h"
#include "airports/stock.h"
#include "core/clock.h"
#include "core/crypto.h"
#include "core/display.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/log.h"
#include "core/params.h"
#include "core/params_file.h"
#include "core/paths.h"
#include "core/run_requests.h"
#include "core/run_state.h"
#include "core/slots.h"
#include "core/tasks.h"
#include "feed/traffic_reader.h"
#include "live/adding_stack.h"
#include "live/ground_motion.h"
#include "live/ground_motion_legs.h"
#include "live/intake.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/parking_slots.h"
#include "live/removal.h"
#include "live/respawn.h"
#include "live/sim_events.h"
#include "live/spawn.h"
#include "live/stand_choice.h"
#include "live/tick.h"
#include "live/time_shift.h"
#include "platform/scenario.h"
#include "platform/scenario_source.h"
#include "platform/sim_paths.h"
#include "platform/sim_standin.h"
#include "platform/window_model.h"
#include "scenery/airport_scan.h"
#include "shell/ui_loop.h"
#include "shell/window.h"
#include "sim/flight_plan.h"
#include "sim/sim_link.h"
#include "sim/sim_state.h"
#include "sim/sim_thread.h"
#include "static/live_parked.h"
#include "static/static_place.h"
#include "static/static_renewal.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int64_t g_simSeconds = 0;
bool g_flightPaused = false;
int64_t g_notRunningTicks = 0;
std::atomic<bool> g_waitingForSim{false};

namespace {

// Set once parameters.xml was read in this process; until then the records hold defaults.
bool g_settingsRead = false;

constexpr auto kTickPeriod = 10ms;
// A tick later than this (a stalled machine, a debugger) restarts the schedule instead of
// running a burst of catch-up ticks.
constexpr auto kTickCatchUpLimit = 100ms;
constexpr double kSecondsBetweenRuns = 2.0;
constexpr int kTicksPerNotRunningCheck = 100;
constexpr auto kSimulatorWaitStep = 100ms;
constexpr auto kFirstTrafficWait = 10s;
// Many frames of a simulator that still runs; one that hangs must not keep the user waiting.
constexpr auto kClosingRemovesWait = 2s;
// The error code of the file system's failures (as in cleaning a folder).
constexpr int kFolderErrorCode = 5;
// The error code of a type database that cannot be read, as its reader raises it.
constexpr int kTypeDatabaseError = 99;

const char* const kDataFolders[] = {
    "airports", "airports/learned", "output/info", "output/errors", "input/my_regcodes", "flightplans",
};

bool lf_stopping() {
    return g_stopRun || g_userClosing;
}

void lf_storeCurrentSlot() {
    g_currentSlot = gf_slotAndWeekday();
}

// The plain database must not stay on disk: it is removed however loading ends. A file that
// does not decrypt leaves no plain file, and loading then reports the database as unreadable.
void lf_readTypeDatabase() {
    struct RemovePlainFile {
        ~RemovePlainFile() { gf_removeFileIfExists(g_dbaseXmlPath); }
    } removePlainFile;
    // The file that failed and why: a missing plain file would only hide it.
    if (std::string why = gf_decryptFile(g_dbaseEncPath, g_dbaseXmlPath); !why.empty())
        throw qtk::UserErrorException(kTypeDatabaseError, why);
    gf_loadTypeDatabaseFile(g_dbaseXmlPath);
}

// The scans' counters start from nothing on the status panel each time the scan runs.
void lf_clearScanCounters() {
    gf_editStats(
        [](WindowStats& s) {
            s.tbloFileCount = 0;
            s.orbxAirportsDone = 0;
        },
        Region::Airports);
}

// Two runs must not follow each other closer than 2 seconds: the simulator needs that time
// to let go of the previous connection.
void lf_waitAfterLastRun() {
    double now = static_cast<double>(gf_epochSeconds(gf_utcNow()));
    double wait = lf_secondsToWait(LAST_EPOCH_TIME.value(), now);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(wait);
    while (!lf_stopping() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(50ms);
}

// The world this machine stands in for the simulator and the traffic service.
std::shared_ptr<const Scenario> lf_loadScenario() {
    try {
        return std::make_shared<const Scenario>(gf_readScenarioFile(kScenarioFile));
    } catch (const std::exception& e) {
        throw qtk::UserErrorException(99, fmt::format("Cannot read {}: {}", kScenarioFile, e.what()));
    }
}

bool lf_waitForSimulator() {
    g_waitingForSim = true;
    while (!lf_stopping() && !gf_waitForSimulator(kSimulatorWaitStep)) {
    }
    g_waitingForSim = false;
    return !lf_stopping();
}

// The feed must answer within 10 seconds, or the run ends as READER ERROR.
bool lf_waitForFirstTraffic() {
    auto deadline = std::chrono::steady_clock::now() + kFirstTrafficWait;
    while (!lf_stopping() && gf_trafficPollCount() == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            gf_logWarning("No traffic within 10 seconds");
            gf_stopRunWith(ExitState::ReaderError);
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return !lf_stopping();
}

// Starts the simulator link, waits for the simulator and the user aircraft's data, then
// starts the traffic reader and waits for its first answer; false when the run ends instead.
bool lf_startFlight() {
    std::shared_ptr<const Scenario> scenario = lf_loadScenario();
    lf_installStandinCategories();
    gf_startSimThread(*scenario);
    if (!lf_waitForSimulator()) return false;
    double runStart = std::chrono::duration<double>(gf_utcNow().time_since_epoch()).count();
    gf_startTrafficReader(std::make_unique<ScenarioSource>(scenario), runStart);
    return lf_waitForFirstTraffic();
}

// The threads of the flight end before anything they use is reset. The AI objects leave the
// simulator first, while the link is up; a simulator that does not take the removals in time
// does not hold the closing.
void lf_stopFlightThreads() {
    gf_stopTrafficReader();
    gf_removeAllObjectsNow();
    gf_waitRemovesSent(kClosingRemovesWait);
    gf_stopSimThread();
}

// Two phases 15 seconds apart: the first marks the calculation as under way so that live
// traffic of the next 15 seconds can be gathered; the second adjusts the parking.
void lf_renewalPhase() {
    if (!g_renewalRequested) return;
    if (!g_parkingCalculating) {
        g_parkingCalculating = true;
        gf_lockParkingControls();
        gf_startRenewal();
        return;
    }
    gf_editStats([](WindowStats& s) { s.statusText.clear(); });
    gf_clearMessage();
    // Without a readable time the adjustments wait for the next 15-second call.
    if (!gf_parkSite().code.empty() && !g_stands.empty() && !gf_adjustParking(g_fullRenewal)) return;
    g_fullRenewal = false;
    g_parkingCalculating = false;
    g_renewalRequested = false;
}

void lf_requestRenewal() {
    if (!g_staticParkingOn || g_renewalRequested) return;
    if (INITIAL_LOAD_ONLY.value() && !RT_PARKTRAFFIC_ONLY.value()) return;
    g_renewalRequested = true;
}

// The flush asked for in the window: every static aircraft leaves, and from now on only the
// initial load is placed.
void lf_flushStaticOnRequest() {
    if (!g_flushStaticRequested.exchange(false)) return;
    gf_flushStatic();
    if (INITIAL_LOAD_ONLY.value()) return;
    INITIAL_LOAD_ONLY.set(true);
    gf_setChecked(ctl::kInitialLoadOnly, true);
}

void lf_setRenewalCountdown() {
    int64_t minutes = g_simSeconds / 60;
    int countdown = static_cast<int>((minutes / 20 + 1) * 20 - minutes);
    gf_editStats([countdown](WindowStats& s) { s.countdownMinutes = countdown; });
}

void lf_every15SecondsOfTick() {
    gf_repaint(Region::Lamps);
    if (g_clearReservedStandRequested.exchange(false)) gf_clearReservedStand();
    lf_checkReservedStand();
    lf_every15Seconds();
}

// Settings changed during the run are lost when the save fails: the user must hear of it. A
// run that ended before the settings were read holds only defaults, which must not replace
// the user's file.
void lf_saveAtClosing() {
    if (!g_settingsRead) return;
    LAST_EPOCH_TIME.set(static_cast<double>(gf_epochSeconds(gf_utcNow())));
    if (gf_saveParameters()) return;
    gf_showError(fmt::format("Error: settings not saved. {}", gf_takeParametersProblem()));
}

void lf_postRestartOrQuit(ExitState state) {
    int delay = gf_restartDelaySeconds(state);
    if (delay >= 0 && !g_userClosing) {
        gf_postUiMessage({UiCommand::RestartAfter, delay});
        return;
    }
    gf_postUiMessage({UiCommand::Quit, 0, gf_programExitCode(state, gf_errorShown())});
}

}  // namespace

void lf_installStandinCategories() {
    // A copy for the simulator thread: the livery tables belong to the run thread.
    std::unordered_map<std::string, int> categories;
    for (const auto& [airline, types] : g_rawAirlineTable)
        for (const auto& [type, titles] : types)
            for (const RawTitleEntry& entry : titles)
                categories.emplace(entry.title, static_cast<int>(gf_aircraftCategory(type)));
    gf_standinSetCategoryOf([categories = std::move(categories)](std::string_view title) {
        const auto it = categories.find(std::string(title));
        return it == categories.end() ? static_cast<int>(AircraftCategory::Large) : it->second;
    });
}

double lf_secondsToWait(double lastEpochSeconds, double nowEpochSeconds) {
    // A stored time in the future (the clock was set back) must not hold the program for
    // longer than the 2 seconds themselves.
    return std::clamp(lastEpochSeconds + kSecondsBetweenRuns - nowEpochSeconds, 0.0, kSecondsBetweenRuns);
}

void lf_prepareFolders() {
    for (const char* folder : kDataFolders) {
        try {
            gf_createDirectories(folder);
        } catch (const std::filesystem::filesystem_error& e) {
            throw qtk::UserErrorException(kFolderErrorCode, fmt::format("Cannot create the folder {} in the run folder: {}",
                                                                        folder, e.code().message()));
        }
    }
}

void lf_startUp() {
    gf_initHardwareConcurrency();
    lf_prepareFolders();
    gf_loadParameters();
    g_settingsRead = true;
    // A settings file that could not be used was kept aside; the run goes on with defaults.
    if (std::string problem = gf_takeParametersProblem(); !problem.empty()) gf_showMessage(problem, false);
    // The install folder this machine reports wins over one saved in parameters.xml.
    gf_setSimulatorPaths();
    gf_showParameterControls();
    g_manualRange = RANGE.value();
    gf_setRange(RANGE.value());
    lf_readTypeDatabase();
    gf_readAirports();
}

namespace {
// Live aircraft rolling on the ground that moved since their last check must not run through a
// static aircraft.
void lf_checkCollisionsWithStatic() {
    for (LiveAircraft& ac : g_liveRecords) {
        if (ac.lifeState != active || !ac.onGround) continue;
        if (ac.flightState != taxi && ac.flightState != parking) continue;
        if (gf_samePosition(ac.lat, ac.lon, ac.savedLat, ac.savedLon)) continue;
        lf_collisionWithStatic(ac);
    }
}

// The aircraft no livery matched, for the user to see what is missing.
void lf_logUnmatched() {
    if (g_unmatchedAircraft.empty()) return;
    const size_t n = g_unmatchedAircraft.size();
    gf_logLine(fmt::format("{} unmatched aircraft:", n));
    for (const std::string& key : g_unmatchedAircraft) gf_logIndented(key);
}

// The user-collision rules against the user aircraft as the simulator last reported it.
void lf_checkCollisionsWithUser() {
    if (!g_userOnGroundKnown) return;
    const UserSnapshot user = gf_requestUserPosition();
    gf_removeTooCloseToUser({user.lat, user.lon}, user.altitudeFt, g_userOnGround);
}

// The livery tables live for the process: a rescan asked for in the window clears them here,
// before they are built again and while no aircraft holds a title from them.
void lf_liveryTables() {
    gf_carryOutRunRequest(RunRequest::NewLiveryScan);
    gf_scanLiveries();
}

// The park airports of the user's list, and the destination kept from the last run in front.
void lf_readParkAirports() {
    lf_readMyParkAirports();
    if (!DESTINATION.value().empty()) lf_setDestination(DESTINATION.value());
}

// What the simulator thread and the window handed over for the park airports.
void lf_parkAirportRequests() {
    if (gf_takeRunRequest(RunRequest::RememberUserStand)) lf_storeRememberedStand();
    if (gf_takeRunRequest(RunRequest::NewDestination)) lf_setDestination(DESTINATION.value());
}

// The matching summary covers what was matched since the last one; titles remembered by
// hexid start afresh with it.
void lf_matchingSummary() {
    gf_logMatchingSummary();
    g_titleByHexid.clear();
}
}  // namespace

void lf_runThread() {
    // Parking files read in this run may switch the automatic range on.
    gf_setAutoRangeRule(gf_autoRange);
    try {
        lf_startUp();
        lf_liveryTables();
        if (!lf_stopping() && SCAN_AIRPORTS.value()) {
            lf_clearScanCounters();
            gf_scanAddonAirports();
        }
        lf_waitAfterLastRun();
        lf_readParkAirports();
        lf_run();
    } catch (const qtk::UserErrorException& e) {
        gf_logLine(fmt::format("lf_runThread exception: {}", e.what()));
        // The code alone leaves the user guessing; the message names the file and the reason.
        gf_showError(fmt::format("Error {}: {}", e.code(), e.message()));
        g_stopRun = true;
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("lf_runThread exception: {}", e.what()));
        gf_showError(fmt::format("SYSTEM ERROR: {}", e.what()));
        gf_stopRunWith(ExitState::SystemError);
    } catch (...) {
        gf_logLine("lf_runThread exception: unknown");
        gf_showError("SYSTEM ERROR: unknown exception");
        gf_stopRunWith(ExitState::SystemError);
    }
    lf_closingDown();
}

void lf_run() {
    if (lf_stopping()) return;
    // The shift chosen in the window holds from the start; with SIM_TIME the simulator's clock
    // sets it once the flight runs.
    gf_setTimeShift(TIME_SHIFT_DAYS.value() * 1440 + TIME_SHIFT_HOURS.value() * 60 + TIME_SHIFT_MINS.value(), true);
    gf_reserveLiveryTables();
    gf_reserveLiveLists();
    gf_connectIntake();
    if (!lf_startFlight()) return;
    lf_mainLoop();
}

void lf_mainLoop() {
    g_simSeconds = 0;
    g_flightPaused = false;
    lf_storeCurrentSlot();
    gf_setAddingAllowed(true);
    // The simulator has sent the user aircraft by now: the first watch may choose at once.
    g_userPosition = gf_requestUserPosition();
    gf_watchParkAirport(true);
    auto next = std::chrono::steady_clock::now();
    while (lf_tick()) {
        next += kTickPeriod;
        auto now = std::chrono::steady_clock::now();
        if (now - next > kTickCatchUpLimit) next = now;
        std::this_thread::sleep_until(next);
    }
}

bool lf_tick() {
    if (lf_stopping()) return false;
    gf_carryOutRunRequest(RunRequest::ApplyMaxLive);
    lf_parkAirportRequests();
    if (!g_simRunning || g_simError) {
        lf_flightNotRunning();
        return true;
    }
    lf_handleAddingStack();
    int raised = 1;
    if (!g_perSecondFlag.compare_exchange_strong(raised, 0)) return true;
    lf_perSecond();
    if (lf_stopping()) return false;
    if (g_simSeconds % 15 == 0) {
        lf_every15SecondsOfTick();
        return true;
    }
    if (g_simSeconds % 16 == 0 && !g_parkingCalculating) gf_watchParkAirport(false);
    if (g_simSeconds % 61 == 0 && !g_liveRecords.empty()) gf_sweepDuplicateStatics();
    return true;
}

void lf_perSecond() {
    if (g_flightPaused) {
        g_flightPaused = false;
        gf_logLine(fmt::format("{} Flight resumed", gf_logStamp()));
        gf_setAddingAllowed(true);
    }
    gf_messageSecondPassed();
    gf_refreshCounts();
    lf_storeCurrentSlot();
    // Log stamps are marked while the time shift follows the simulator's clock.
    gf_setSimTimeInUse(SIM_TIME.value() && gf_simUtcSeconds() != 0);
    if (SIM_TIME.value()) gf_followSimulatorTime(gf_simUtcSeconds(), gf_epochSeconds(gf_utcNow()));
    ++g_simSeconds;
    gf_replaceStaticsStep(g_currentSlot.load());
    lf_flushStaticOnRequest();
    lf_checkCollisionsWithUser();
    if (COLLISION_LIVE_PARKED_GND.value() && !g_staticAircraft.empty()) lf_checkCollisionsWithStatic();
    if (gf_takeRunRequest(RunRequest::BlockCallsign)) gf_removeBlockedCallsign();
}

void lf_every15Seconds() {
    lf_renewalPhase();
    gf_staticParkingCycle();
    if (g_simSeconds % 30 == 0 && AUTO_RANGE.value()) gf_autoRange();
    if (g_simSeconds % 60 == 0) lf_setRenewalCountdown();
    if (g_simSeconds % 1200 == 0) {
        lf_logUnmatched();
        lf_requestRenewal();
    }
    if (g_simSeconds % 86400 == 0) {
        g_simSeconds = 0;
        lf_matchingSummary();
    }
}

void lf_checkReservedStand() {
    if (!gf_takeRunRequest(RunRequest::RereadParkAirports)) return;
    std::string out;
    if (gf_checkParkAirports(true, out)) gf_showMessage(out, true);
    gf_setEnabled(ctl::kRereadParkAirports, true);
    gf_setEnabled(ctl::kDestination, true);
}

void lf_flightNotRunning() {
    if (!g_flightPaused) {
        g_flightPaused = true;
        gf_setAddingAllowed(false);
        gf_clearPositionBuffers();
        gf_logLine(fmt::format("{} Flight not running", gf_logStamp()));
    }
    gf_handleSimEvents();
    if (++g_notRunningTicks % kTicksPerNotRunningCheck != 0) return;
    lf_checkReservedStand();
    gf_refreshCounts();
    lf_storeCurrentSlot();
}

void lf_closingDown() {
    ExitState state = gf_exitState();
    gf_logLine(fmt::format("Exiting: {}", gf_exitStateName(state)));
    lf_stopFlightThreads();
    // The simulator thread found the user's stand as its connection ended.
    lf_parkAirportRequests();
    gf_removeAllStaticAircraft();
    lf_matchingSummary();
    try {
        lf_saveAtClosing();
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("lf_closingDown exception: {}", e.what()));
    }
    lf_resetForRestart();
    lf_postRestartOrQuit(state);
}

void lf_resetForRestart() {
    g_simSeconds = 0;
    g_flightPaused = false;
    g_notRunningTicks = 0;
    g_waitingForSim = false;
    gf_setSimTimeInUse(false);
    gf_resetRenewalFlags();
    gf_resetStaticParking();
    gf_resetFeedRun();
    gf_resetIntake();
    gf_resetParkingForNewFlight();
    gf_resetSiteCache();
    gf_resetParkFile();
    gf_resetSimLink();
    gf_cleanFlightPlans();
    gf_resetParkingSlots();
    gf_resetStandChoice();
    gf_resetGroundMotion();
    gf_resetSimState();
    gf_resetRunControl();
}

void gf_resetShell() {
    g_settingsRead = false;
    lf_resetForRestart();
    gf_resetRunRequests();
    gf_resetDisplay();
    gf_resetUiLoop();
    gf_resetWindowModel();
}
