// Requests that the window's option handlers (UI thread) hand to the run thread, which owns
// the data they change, and the renewal flags of static parking that the main loop drives.
// The run thread carries a request out at a fixed point; the subsystem that does the work
// registers its handler there.
#pragma once
#include <atomic>

enum class RunRequest : int {
    ApplyMaxLive,        // MAX_LIVE_SEL changed: apply g_maxLiveValue at the next tick
    NewLiveryScan,       // liveries are to be scanned anew: at the next start-up, before the
                         // livery tables are built again
    RereadParkAirports,  // the Re-read button: handled by the 15-second check of the main loop
    RememberUserStand,   // the simulator thread found the user's stand: stored at the next tick
    NewDestination,      // DESTINATION changed in the window: put in front at the next tick
    BlockCallsign,       // BLOCK_CALLSIGN set in the window: that aircraft leaves at the next second
    Count,
};

// What the run thread does for a request; nullptr: the request is only taken.
using RunRequestHandler = void (*)();

// Records a request (any thread); a request posted twice before it is taken is done once.
void gf_postRunRequest(RunRequest request);
// True when the request is pending (not taken).
bool gf_runRequestPending(RunRequest request);
// Takes the request: true once per posting (run thread).
bool gf_takeRunRequest(RunRequest request);
// Takes the request and runs its handler; true when it was pending (run thread).
bool gf_carryOutRunRequest(RunRequest request);
// The handler the run thread calls for a request (set once at program start or by tests).
void gf_setRunRequestHandler(RunRequest request, RunRequestHandler handler);

// Clears the renewal flags (per run). Pending requests outlive the run that got them: a new
// livery scan, for one, is carried out at the next start-up.
void gf_resetRenewalFlags();
// Forgets pending requests, handlers and flags (whole process).
void gf_resetRunRequests();

// Renewal of static parking: requested every 20 minutes or by the window; run in two
// phases 15 seconds apart while g_parkingCalculating is set.
extern std::atomic<bool> g_renewalRequested;
// Phase 1 of the renewal ran and phase 2 is due (run thread).
extern std::atomic<bool> g_parkingCalculating;
// The next renewal refits every stand: set by the window when a parking option changes.
extern std::atomic<bool> g_fullRenewal;
