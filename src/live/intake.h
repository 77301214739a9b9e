// Run-thread side of the traffic intake: the tick step that turns staged traffic records into
// samples of known aircraft or new live aircraft, the limit on live aircraft (MAX_LIVE_SEL) and
// the container reservations of the live set. The reader side is live/adding_stack.h.
#pragma once
#include "aircraft/type_database.h"

// Connects the intake to its callers: the traffic reader's batches go to gf_addTrafficBatch and
// the window's MAX_LIVE_SEL request to gf_applyMaxLive. Called by the run before each flight.
void gf_connectIntake();

// Tick step of the per-tick driver: takes the oldest buffered snapshot batch whole (in staging
// order) or else up to two records from the back of the adding stack, and processes them after
// the adding-stack lock is released.
void gf_takeFromAddingStack();

// Run thread only: removes the farthest active aircraft until their count is within
// MAX_LIVE_SEL. Other threads post RunRequest::ApplyMaxLive, which the next tick carries out.
void gf_applyMaxLive();
// Room for one more aircraft at candidateNm from the user: removes the active aircraft farthest
// from the user (each farther one must beat the one before by more than 0.1 nm, the first the
// candidate). True when none is farther, so no room can be made; false when one was removed.
// Shared with the spawn decision.
bool lf_makeRoom(double candidateNm);

// Live traffic takes aircraft of this category: Light, HighPerf and Rotorcraft only when their
// settings are on; Buzjets, Large and Heavy always; any other value never.
bool gf_categoryWanted(AircraftCategory category);

// Reserves the live set's containers (live records 512, static aircraft 256, stands 512,
// simulator event queue 256, waiting created objects 128, hexid stack 64) once per process;
// later calls do nothing.
void gf_reserveLiveLists();

// Per-run reset of the intake and everything it feeds: adding stack and snapshots emptied, adding not
// allowed, create and remove queues emptied, the driver's state reset, no live or static aircraft.
void gf_resetIntake();
// Whole-process reset: as above with storage released, tick counter 0, and the reservations
// may run again.
void gf_resetIntakeProcess();
