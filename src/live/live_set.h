// The live set: every live aircraft (g_liveRecords) and every static parked aircraft
// (g_staticAircraft), the main-loop tick counter and the user position copy that live traffic
// works with. Owned by the run thread; only the tick counter is read by other threads.
#pragma once
#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "live/aircraft.h"
#include "sim/sim_state.h"

inline constexpr int kTicksPerSecond = 100;

// First live aircraft with that hexid / object id; nullptr when none. By hexid through an
// index that keeps the first-match order (see gf_addLiveAircraft).
LiveAircraft* gf_findLiveByHexid(uint32_t hexid);
LiveAircraft* gf_findLiveByObjectId(uint32_t objectId);
// First static aircraft with that hexid / object id; nullptr when none.
AircraftRec* gf_findStaticByHexid(uint32_t hexid);
AircraftRec* gf_findStaticByObjectId(uint32_t objectId);
// Appends a live aircraft to g_liveRecords and to the index: the one way to add live aircraft
// (an aircraft added otherwise is found again only after the index sees the size change).
LiveAircraft& gf_addLiveAircraft(LiveAircraft&& aircraft);
// True when a live aircraft has this callsign and this type (through the index).
bool gf_liveWithCallsignAndType(std::string_view callsign, std::string_view type);
// The one way to change a live aircraft's callsign or type, so that the callsign-and-type index
// stays true (an aircraft outside g_liveRecords just takes them). A new callsign also starts a
// new callsign pair: spawnCallsign is the callsign, coupledCallsign empty.
void gf_setCallsignAndType(LiveAircraft& aircraft, std::string_view callsign, std::string_view type);
// The aircraft is about to be erased from g_liveRecords (by anyone but gf_eraseFinishedLive).
void gf_liveErasing(const LiveAircraft& aircraft);

// Number of live aircraft in life state active.
int gf_countActiveLive();
// The current tick as the due-tick arithmetic uses it (wraps as unsigned 32-bit).
uint32_t gf_tickNow();

// Erases the live records whose eraseFlag or withdrawn is set, keeping the order of the rest.
// Never called inside a loop over g_liveRecords.
void gf_eraseFinishedLive();
// Erases the static records whose eraseFlag or withdrawn is set, keeping the order of the rest.
void gf_eraseFinishedStatics();

// Per-run reset: no live or static aircraft (their storage kept), user position cleared.
void gf_resetLiveSet();
// Whole-process reset: as above with the storage released and the tick counter at 0.
void gf_resetLiveSetProcess();

extern std::vector<LiveAircraft> g_liveRecords;
extern std::vector<AircraftRec> g_staticAircraft;
// Main-loop passes since the program started; advanced once per tick by the run thread's
// driver, read by the traffic reader for due ticks.
extern std::atomic<int32_t> g_tickCounter;
// The user aircraft's state as live traffic last copied it (every 100 ticks).
extern UserSnapshot g_userPosition;
