// Who gives way on a stand: live newcomers against live occupants, static aircraft against live
// aircraft, the occupied mark of a stand, aircraft created on the ground, and max park. Called
// by the spawn, the simulator events, the ground movement and the per-second pass; run thread.
#pragma once
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "airports/stand.h"
#include "live/aircraft.h"
#include "live/stand_choice.h"

// Sets the occupied mark of the aircraft's stand (standId) for this live aircraft. False, and
// nothing changes, for a static aircraft, no stand, or a stand another live aircraft occupies.
bool gf_takeStand(const AircraftRec& rec);
// Clears the occupied mark of the aircraft's stand when this aircraft set it; every way a live
// aircraft leaves its stand or the live set passes here.
void gf_leaveStand(const AircraftRec& rec);
// The aircraft has left its stand: the mark it set is cleared and the stand is no longer its own.
void gf_letGoOfStand(LiveAircraft& ac);
// Two aircraft on stands this far apart would touch: distance at most 1.1 x the half spans.
bool gf_tooClose(LatLon a, LatLon b, double halfSpanANm, double halfSpanBNm);

// May the newcomer with this callsign take the stand from the live aircraft standing on it;
// an occupant that gives way is removed.
bool lf_sameCallsignWantsStand(uint32_t standId, std::string_view callsign);
// Static aircraft on the stand (placed or queued) and too close on its neighbours make way.
void lf_makesWay(const LiveAircraft& ac, const Stand& stand);
// The first active static aircraft on the neighbour stand too close to the stand is removed.
void lf_makesWayAtExcludedStand(const LiveAircraft& ac, uint32_t neighbourId, const Stand& stand);
// The live aircraft parked on the stand is removed for the newcomer.
void lf_removedWantsToPark(uint32_t standId, const LiveAircraft& ac);
// The live aircraft parked or pushing back on the neighbour stand is removed when too close.
void lf_removedAdjacent(uint32_t neighbourId, const LiveAircraft& ac, const Stand& stand);
// A static aircraft whose stand lies in the way of this taxiing aircraft is removed; remembers
// the position checked (savedLat/savedLon). Not during the landing or take-off roll.
void lf_collisionWithStatic(LiveAircraft& ac);
// The object of a live aircraft whose front sample is on the ground was created: on the ground;
// a parked one takes its stand's half-hour and drives off a static aircraft on the stand.
void lf_parksOnCreate(LiveAircraft& ac);
// First step of the arrival at a stand: when another live aircraft occupies it (its mark, or
// parked on it with the mark freed by its parked extension), the newcomer drops its stand (the
// occupant keeps the mark), gets extension 1 and is removed. True then.
bool gf_arrivesAtOccupiedStand(LiveAircraft& ac);

// (hexid, seconds parked) of every active parked live aircraft, longest parked first.
std::vector<std::pair<uint32_t, int64_t>> lf_maxParkOrder();
// With more parked aircraft than wanted: the longest parked live aircraft goes (unless the
// initial load only is on), and the static aircraft placed longest ago (over the week's wrap;
// fitted ones before those of the feed's parked traffic) when statics and live together exceed
// the wanted count. extra is added to the live count.
void gf_maxParkCheck(int extra, int64_t wantedParked = gf_parkSite().wantedParked);
