// Run control: the stop flags every long loop tests, and the exit state with its restart
// delay, stored once by whoever stops the run first. Shared by all threads.
#pragma once
#include <atomic>
#include <string_view>

// Why a run ended.
enum class ExitState : int {
    NotYetSet = 0,        // the run is still going
    SimWasClosed = 1,     // the simulator closed: quit
    NewFlight = 2,        // a new flight was loaded: the user restarts by hand
    NewSettings = 3,      // settings that need a restart changed: restart after 3 s
    UserClosedSim = 4,    // the user closed the window (or pressed Ctrl-C): quit
    SimconnectError = 5,  // the simulator link failed: restart after 9 s
    ReaderError = 6,      // the traffic service failed: restart after 15 s
    SystemError = 7,      // an unexpected error: quit
};

// "NOT YET SET", "SIM WAS CLOSED", "NEW FLIGHT", "NEW SETTINGS", "USER CLOSED SIM",
// "SIMCONNECT ERROR", "READER ERROR", "SYSTEM ERROR".
std::string_view gf_exitStateName(ExitState state);
// Seconds of countdown before the next run starts by itself; -1 when the program quits.
int gf_restartDelaySeconds(ExitState state);

// The process's exit code, as the README lists them: 0 only for a normal end.
enum ProgramExitCode : int {
    kExitNormal = 0,          // the user closed the window (Ctrl-C), the simulator closed, a new flight
    kExitSystemError = 1,     // an unexpected error ended the program (SYSTEM ERROR)
    kExitUserError = 2,       // an error the user must fix ended the program or lost data
    kExitAlreadyRunning = 3,  // another copy of the program is running
};
// The exit code of a program whose last run ended in that state; errorShown: an error stands
// on the window's message line.
int gf_programExitCode(ExitState state, bool errorShown);

// Stops the current run: the first caller stores its exit state; later callers only see the
// flag already set. Returns true for the caller whose state was stored.
bool gf_stopRunWith(ExitState state);
ExitState gf_exitState();

// Clears the stop flag and the exit state for the next run (not g_userClosing).
void gf_resetRunControl();

// Stop the current run; every long loop tests it.
extern std::atomic<bool> g_stopRun;
// The user closed the window: the program quits after closing down.
extern std::atomic<bool> g_userClosing;
