// The static parking of the park airport: the calculation (parked traffic onto its stands, then
// the fit), the placement of one planned aircraft per create slot, the count for the window and
// the removal of every static aircraft. Called by the park airport's load and watch, the send
// pacing of live traffic, the renewal and closing down; run thread only.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "feed/records.h"
#include "live/aircraft.h"
#include "live/stand_choice.h"
#include "static/static_fit.h"

// A static aircraft queued for removal by the calculation or the renewal.
struct StaticRemoval {
    std::string callsign;
    uint32_t standId = 0;
    uint32_t hexid = 0;  // identifies the record: the queue holds each static aircraft once
};

// Parked traffic is looked for this far around each record's position.
inline constexpr double kParkedStandSearchNm = 110.0 / 1852.0;

// Asks for the parked traffic (answered on the reader thread) and computes the static parking
// with the answer on the next 15-second cycle; computes at once when there is nobody to ask
// or MAX_PARK_SEL is 0.
void lf_computeStaticParking();
// The 15-second cycle: runs a computation that waits for its answer or for a valid slot.
void gf_staticParkingCycle();
// A computation waits to run.
bool gf_staticParkingPending();
// The computation itself with the parked traffic delivered (nullptr: none); false, with
// nothing changed, when the current slot is not valid.
bool lf_runStaticParking(const std::vector<ParkedTrafficRecord>* parked);
// Takes over the callsigns and hexids the feed gathered (under the feed's lock).
void lf_publishCallsignSet();
// Marks the reserved stand and the stand nearest to the user aircraft.
void lf_markReservedStands(const ParkSite& site = gf_parkSite());
// Parked traffic records onto the stands where they stand, as PT entries.
void lf_assignStandsToPt(const std::vector<ParkedTrafficRecord>& parked);
// The live aircraft is the record's aircraft (hexid, callsign, registration).
bool lf_liveMatchesPt(const ParkedTrafficRecord& record, const LiveAircraft& ac);
// Places the PT list's back entry as a static aircraft and queues its create.
void gf_placeStaticAircraft();
// The callsign a static aircraft of the entry carries; empty (with a warning) when it has none.
std::string lf_detcs(const PtEntry& entry);
// Trailing "_" removed; "*" appended unless it ends in one.
std::string lf_normaliseCallsign(std::string_view callsign);
// Static aircraft active or being removed; with withAge also shows their average parked time.
int64_t gf_countStaticAircraft(bool withAge);
// Every static aircraft leaves, live aircraft lose their stands, the static parking state is
// emptied and MAX_LIVE_SEL returns to the user's choice.
void gf_removeAllStaticAircraft();
// Queues the static aircraft for removal unless it is queued already; true when queued now.
bool gf_queueStaticRemoval(const AircraftRec& st);
bool gf_queueStaticRemoval(StaticRemoval removal);
// The static aircraft is queued for removal.
bool gf_isQueuedForRemoval(const AircraftRec& st);
// Drops the PT entries of the stand (a live aircraft was created parked on it).
void gf_dropPlannedOnStand(uint32_t standId);
// Next static hexid: counter + 1 modulo 10000, skipping values a static aircraft holds.
uint32_t gf_nextStaticHexid();

// Per-run and whole-process reset: every list and set of static parking emptied, counter 0.
void gf_resetStaticParking();
// Installs static parking's answers to what live traffic asks of it (live/static_calls.h): the
// placement of a planned aircraft in a free create slot, the drop of the plans of a stand a live
// aircraft parked on, and the flush. The shell calls it at start-up.
void gf_connectStaticParking();

// Last hexid given to a static aircraft.
extern uint32_t g_staticHexidCounter;
// Callsigns and hexids of live traffic gathered while the last calculation was under way.
extern std::unordered_set<std::string> g_liveCallsigns;
extern std::unordered_set<uint32_t> g_liveHexids;
// Static aircraft to be removed by the renewal, each once.
extern std::vector<StaticRemoval> g_staticRemovalQueue;
