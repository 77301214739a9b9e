// State the simulator thread publishes for the run thread: whether the simulator runs, the
// per-second flag, link errors, frame rate and the user aircraft's latest state.
#pragma once
#include <atomic>
#include <cstdint>

// The user aircraft as the simulator thread last stored it.
struct UserSnapshot {
    double lat = 0, lon = 0;                  // degrees
    double pitch = 0, bank = 0, heading = 0;  // radians
    double altitudeFt = 0;
    double heightAboveGroundFt = 0;
    double groundSpeedKt = 0;
    bool onGround = false;
    int64_t simUtcSeconds = 0;  // the simulator's UTC time; 0 when unknown
};

// Copy of the latest user aircraft state (taken under the snapshot lock).
UserSnapshot gf_requestUserPosition();
// Stores a new user aircraft state (simulator thread).
void gf_storeUserSnapshot(const UserSnapshot& snapshot);

// Puts the link into its error state: the main loop stops driving traffic and the run ends as
// SIMCONNECT ERROR (restarted after its countdown).
void gf_simRequestError();
// Clears the published state for a new run.
void gf_resetSimState();

// The simulator is running a flight (not paused, not in a menu).
extern std::atomic<bool> g_simRunning;
// Raised to 1 once per simulator second by the simulator thread; the main loop takes it
// with a compare-exchange from 1 to 0.
extern std::atomic<int> g_perSecondFlag;
// A SimConnect call failed; the main loop stops driving traffic while it is set.
extern std::atomic<bool> g_simError;
// Simulator frames per second, refreshed every 30 frames.
extern std::atomic<float> g_frameRate;
// The user aircraft is on the ground / a valid user position with its ground state arrived.
extern std::atomic<bool> g_userOnGround;
extern std::atomic<bool> g_userOnGroundKnown;
