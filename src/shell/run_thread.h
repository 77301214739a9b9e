// The run thread: one run of the program (start-up, the flight with its 10 ms main loop,
// closing down). Started by the UI loop; everything here runs on the run thread. The steps
// are file-local by role but declared here so that tests can drive them one by one.
#pragma once
#include <atomic>
#include <cstdint>

// One run: start-up, the scans when due, the wait after the last run, the flight and
// closing down. A qtk::UserErrorException ends the run with "Error {}" on the message line;
// any other exception ends it with the exit state SYSTEM ERROR.
void lf_runThread();
// Folders, parameters, option controls and the data files of every run.
void lf_startUp();
// Creates the data folders with all missing parents.
void lf_prepareFolders();
// Tells the stand-in simulator the category of every installed title (from the livery
// tables), which sets the centre of gravity of what it creates.
void lf_installStandinCategories();
// The flight: the simulator link, then the main loop.
void lf_run();
// Runs lf_tick every 10 ms on a steady-clock schedule until it returns false.
void lf_mainLoop();
// One pass of the main loop; false when the run is to stop.
bool lf_tick();
// Once per simulator second.
void lf_perSecond();
// On simulator seconds that are multiples of 15.
void lf_every15Seconds();
// Carries out a re-read of the park airports asked for by the window.
void lf_checkReservedStand();
// Each tick while the simulator does not run or reports an error.
void lf_flightNotRunning();
// Logs the exit state, saves, resets the run state and asks the UI loop to restart or quit.
void lf_closingDown();
// The run state of every subsystem back to the start of a run.
void lf_resetForRestart();

// Seconds still to wait before a run may start, so that 2 seconds lie between the end of
// the last run (LAST_EPOCH_TIME, UTC seconds) and the next; never more than 2.
double lf_secondsToWait(double lastEpochSeconds, double nowEpochSeconds);

// Whole-process reset of the shell: run thread, requests, window options, UI messages and
// the window model (tests).
void gf_resetShell();

// Simulator seconds since the flight started (run thread); 0 again after a day.
extern int64_t g_simSeconds;
// The simulator stopped running (paused, menu) and the flight has not resumed yet.
extern bool g_flightPaused;
// Ticks spent while the flight does not run (run thread).
extern int64_t g_notRunningTicks;
// The run waits for the simulator and the user aircraft's data (read by the window).
extern std::atomic<bool> g_waitingForSim;
