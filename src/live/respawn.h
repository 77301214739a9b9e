// A known aircraft's identity changing under it: the respawn check of every new feed record
// (update only, or create the object again, possibly with another livery), ghosts (a second copy
// whose callsign carries a trailing '_'), the replacement of a static parked aircraft by the live
// aircraft it stands for, the search for the callsign coupled with a live aircraft's, and blocks.
// Run thread: the intake, the spawn, the simulator events and the per-second pass call in.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "feed/records.h"
#include "live/aircraft.h"

// True when the record's sample goes into the aircraft's stream, false when it is refused (a
// ghost of a known aircraft, or a respawn started). May change the aircraft's identity and
// route. The livery is forgotten only when the respawn is carried out (GUID_CHANGES set).
bool lf_respawnCheck(LiveAircraft& ac, const LiveTrafficRecord& record);
// Starts the respawn: a new front sample where the aircraft is, life state liveryrespawn and its
// object queued for removal; without an object there is nothing to wait for and it goes straight
// back to buffer.
void liveryRespawn(LiveAircraft& ac);
// The next spawn matches a livery again: the remembered title and liveryTitle dropped, flight
// state birth; an aircraft parked on its stand stays parked there.
void lf_forgetLivery(LiveAircraft& ac);

// A live aircraft called callsign + "_" (not removingfromsim, and not the one with skipHexid)
// is a ghost: it is removed and its callsign put on the ghost list.
void lf_ghost(std::string_view callsign, uint32_t skipHexid = 0);
// A live aircraft (not removingfromsim, and not the one with skipHexid) carries the callsign
// without its last character.
bool lf_ghostKnown(std::string_view callsign, uint32_t skipHexid = 0);
// The callsign is on the ghost list.
bool gf_isKnownGhost(std::string_view callsign);

// Once per aircraft: a stand option of the same airline and weekday within 10 half-hours (14
// for a Heavy) of now whose callsign or callsign2 is the aircraft's gives its spawnCallsign and
// coupledCallsign.
void lf_searchForCoupledCsAroundThisTime(uint64_t currentSlot, LiveAircraft& ac);
// Removes the first active static aircraft that stands for this live one (same source hexid,
// same registration, same or coupled callsign); at most one per call.
void lf_replaceStatic(const LiveAircraft& ac, bool onGround);
// The per-second pass's share: the front hexid of g_perSecondList, when a live aircraft has it,
// is searched for its coupled callsign (once) and replaces its static counterpart; the entry is
// dropped either way.
void gf_replaceStaticsStep(uint64_t currentSlot);

// A block event (the feed met BLOCK_CALLSIGN): the aircraft leaves the buffer or the simulator,
// logged once; its later records are ignored while the block lasts.
void lf_onBlocked(uint32_t hexid);
// The window asked for a block: the first active live aircraft called BLOCK_CALLSIGN leaves.
void gf_removeBlockedCallsign();
// A record of an aircraft a block took out that still carries BLOCK_CALLSIGN: it builds nothing.
bool gf_isBlockedAircraft(uint32_t hexid, std::string_view callsign);

// Per-run reset: the ghost list and the blocked aircraft emptied.
void gf_resetRespawn();

// Callsigns (each ending in '_') of aircraft removed as ghosts; lives for the run.
extern std::vector<std::string> g_callsignList;
