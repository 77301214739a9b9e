// Taking live and static aircraft out of the simulator: the hexids of spawned aircraft waiting
// for their create record, the queues of creates waiting to be sent and of object ids waiting to
// be removed, and removeAircraftFromSim, the one way out. Run thread only; the per-tick driver
// (live/tick.h) builds and sends from these queues.
#pragma once
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "live/aircraft.h"
#include "sim/sim_link.h"

// Removes an aircraft by its life state, never erasing a record on the spot:
//  buffer: eraseFlag;
//  adding2sim: its create, still waiting on g_hexidStack or in a create queue, is withdrawn
//    (withdrawn set) or, when the create was already sent, removeWhenItAppears is set (a
//    repeated request changes nothing);
//  otherwise: its stand is freed (live aircraft), life state removingfromsim, and its object id
//    queued for removal once (a respawning aircraft's removal is on its way already). A record
//    without an object id waits for no removal: a live one gets eraseFlag, a static one
//    withdrawn (both erased with the finished records).
// A live aircraft leaving for good (all but a create still on its way) frees the stand it
// occupies (gf_leaveStand).
void removeAircraftFromSim(AircraftRec& rec);
// Drops every queued create of that callsign and hexid, keeping the order of the others; true
// when one was dropped. An empty callsign gives false.
bool gf_removeQueuedCreate(std::deque<AiCreateRec>& queue, std::string_view callsign, uint32_t hexid);
// Appends the object id to g_removeDeque unless it is already there; false when it was.
bool gf_queueRemoval(uint32_t objectId);
// Closing down: every object of a static or live aircraft, and every removal still waiting,
// goes to the simulator's remove list at once. Paced as in flight, a few hundred aircraft would
// hold the closing for minutes.
void gf_removeAllObjectsNow();

// Per-run reset: every queue emptied (the deques replaced by fresh ones, the hexid stack's
// storage kept).
void gf_resetRemovalQueues();

// Hexids of live aircraft just spawned whose create record is still to be built; the newest at
// the back, which the driver takes first.
extern std::vector<uint32_t> g_hexidStack;
// Live creates waiting to be sent, oldest first.
extern std::deque<AiCreateRec> g_createDeque;
// Static creates waiting to be sent, oldest first.
extern std::deque<AiCreateRec> g_createDequeStatic;
// Object ids waiting to be removed, oldest first.
extern std::deque<uint32_t> g_removeDeque;
