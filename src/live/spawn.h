// The spawn of a live aircraft: the decision that a record in life state buffer runs every tick
// (wait, drop samples, hold back near the user, erase or spawn), and the spawn itself (livery,
// first flight state, position block and heading), which hands the hexid to the create step of
// the per-tick driver (live/tick.h). Run thread only.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "core/geo.h"
#include "live/aircraft.h"

// Ticks before the front sample is due at which the spawn may happen: in the air, and on the
// ground while moving (a create there takes longer to settle).
inline constexpr int32_t kSpawnLeadTicks = 100;
inline constexpr int32_t kTaxiSpawnLeadTicks = 300;
// Live creates waiting to be sent above which a new aircraft waits (drops its front sample).
inline constexpr size_t kMaxWaitingCreates = 11;

// One tick of the decision for a record in buffer state. Every check that may still erase the
// record runs before room is made for it, so that no active aircraft is removed in vain.
void lf_spawnDecision(LiveAircraft& ac);
// True when the spawn is held back near the user aircraft (the front sample is dropped then).
bool lf_spawnNearUser(LiveAircraft& ac);
// Gives the aircraft its livery (erased when none), flight state and position block, puts it in
// adding2sim and its hexid on g_hexidStack. A stream of fewer than two samples is only logged.
void spawnLiveAc(LiveAircraft& ac);

// The per-second user-collision rules: with COLLISION_USER_GND (user on the ground) or
// COLLISION_USER_AIR (user in the air), an active live aircraft too close to the user aircraft
// is removed. The distances are at the code.
void gf_removeTooCloseToUser(LatLon user, double userAltitudeFt, bool userOnGround);

// The title remembered for the hexid, empty when none; a refused title is forgotten.
std::string_view lf_liveryOfHexid(uint32_t hexid);
// Stores or replaces the title remembered for the hexid.
void lf_rememberLivery(uint32_t hexid, std::string_view title);

// Live records that hold or wait for an object: active, adding2sim and liveryrespawn. This is
// the count the MAX_LIVE_SEL limit applies to.
int gf_countLiveInSim();

// Per-run reset: the unmatched aircraft are forgotten.
void gf_resetSpawn();

// gf_acIdWithReg of aircraft for which no livery matched; later records of them are erased
// without matching again.
extern std::set<std::string, std::less<>> g_unmatchedAircraft;
