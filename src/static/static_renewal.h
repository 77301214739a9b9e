// The renewal of static parking every 20 minutes: phase 1 gathers the live callsigns and asks
// for the parked traffic, phase 2 (15 s later) keeps, switches, trims and adds static aircraft.
// Driven by the main loop's 15-second cycle; run thread only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "feed/records.h"
#include "live/aircraft.h"
#include "static/static_fit.h"

// A static aircraft the renewal keeps.
struct StaticCheck {
    std::string callsign, spawnCallsign, coupledCallsign, regcode, airline, type;
    uint64_t parkSlot = 0;
    uint32_t standId = 0;
    uint32_t hexid = 0;
    uint8_t renew = 0;  // to be placed again with its second callsign
    bool fitted = false;  // from the fit; the trim takes these before parked traffic
};

// Phase 1: callsign gathering on, the parked traffic asked for (answered on the reader thread).
void gf_startRenewal();
// Phase 2; false, with nothing changed, when the current slot is not valid (tried again).
bool gf_adjustParking(bool full);
// Fitted aircraft kept, queued for removal, or marked for their departure callsign.
void lf_diffStaticAgainstFit(uint64_t slotValue);
// The PT entry against the static aircraft: the newer observation wins.
void lf_checkStaticExpiry(const AircraftRec& st, size_t ptIndex, uint64_t slotValue);
// Parked traffic of the renewal onto the PT list; statics from parked traffic kept or removed.
void lf_addNewPtPositions(const std::vector<ParkedTrafficRecord>& parked);
// The PT entry names the static aircraft (callsign with "*", or registration).
bool lf_ptMatchesStatic(const AircraftRec& st, const PtEntry& entry);
// Fitted statics against the PT list (not in a full renewal).
void lf_dropStaticsNotInPt(bool full, uint64_t slotValue);
// Live on stands, kept statics and PT entries cut down to wanted.
void lf_trimToWanted(int64_t wanted);
// Removes the queued static aircraft and empties the queue.
void lf_removeQueuedStatics();

// Per-run and whole-process reset.
void gf_resetRenewal();

extern std::vector<StaticCheck> g_staticCheckList;
