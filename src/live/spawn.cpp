#include "live/spawn.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "aircraft/type_database.h"
#include "airports/stand.h"
#include "core/clock.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "live/air_motion.h"
#include "live/aircraft_rec.h"
#include "live/intake.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/parking_slots.h"
#include "live/record_matching.h"
#include "live/removal.h"
#include "live/respawn.h"
#include "live/sim_events.h"
#include "live/stand_choice.h"
#include "sim/sim_state.h"

std::set<std::string, std::less<>> g_unmatchedAircraft;

namespace {

constexpr std::string_view kPrivateAirline = "PVT";
constexpr double kHeldBackUserMaxKt = 8;
constexpr double kHeldBackGroundMaxKt = 8;
constexpr double kHeldBackGroundMinMeters = 500;
constexpr double kGroundCollisionNm = 150.0 / 1852.0;
constexpr double kAirWatchNm = 6, kAirWatchAltFt = 3000, kAirLateralFt = 4000;
constexpr double kGroundWatchNm = 1.5, kGroundWatchAglFt = 1000, kGroundLateralFt = 500;
constexpr double kMaxClimbFpm = 2400, kMaxDescentFpm = -3000;
constexpr double kGroundPitchDeg = 0.6;
// Our own rule for live aircraft that come too close to the user aircraft. On the ground they
// touch by the stands' rule: centres within 1.1 x the two half spans, the user's taken as 18 m
// (a mid-size airliner, which we cannot ask the simulator for). In the air: within 0.1 nm
// (185 m) across and 300 ft up or down, closer than any traffic the user would fly beside.
constexpr double kUserHalfSpanNm = 18.0 / 1852.0;
constexpr double kAirCollisionNm = 0.1, kAirCollisionFt = 300;

// A respawning parked aircraft still holds its stand: erased, it must not keep it marked.
void lf_erase(LiveAircraft& ac) {
    gf_leaveStand(ac);
    ac.eraseFlag = 1;
}

void lf_dropFront(LiveAircraft& ac) {
    ac.stream.pop_front();
}

// Due ticks wrap with the tick counter: compare by signed difference.
bool lf_notYet(int32_t dueTick, int32_t lead) {
    const auto start = static_cast<uint32_t>(dueTick) - static_cast<uint32_t>(lead);
    return static_cast<int32_t>(gf_tickNow() - start) < 0;
}

bool lf_mixesAirAndGround(const LiveAircraft& ac) {
    const bool airborne = ac.stream.front().airborne != 0;
    return std::any_of(ac.stream.begin(), ac.stream.end(),
                       [&](const PosSample& s) { return (s.airborne != 0) != airborne; });
}

double lf_userDistanceNm(const PosSample& s) {
    return gf_haversineNm({g_userPosition.lat, g_userPosition.lon}, {s.lat, s.lon});
}

// Distance in feet of the sample from the line of the user's heading.
double lf_lateralFt(const PosSample& s, double distanceNm) {
    const double bearing = gf_bearingRad({g_userPosition.lat, g_userPosition.lon}, {s.lat, s.lon});
    return distanceNm * kFeetPerNmRounded * std::fabs(std::sin(g_userPosition.heading - bearing));
}

bool lf_holdOnGround(LiveAircraft& ac, const PosSample& f, double d) {
    if (ac.heldBack) {
        if (g_userPosition.groundSpeedKt > kHeldBackUserMaxKt) return true;
        if (!f.airborne && (f.gs > kHeldBackGroundMaxKt || d * 1852.0 < kHeldBackGroundMinMeters))
            return true;
    }
    if (f.airborne || !COLLISION_USER_GND.value()) return false;
    return d < kGroundCollisionNm;
}

bool lf_holdInAir(LiveAircraft& ac, const PosSample& f, double d) {
    if (!COLLISION_USER_AIR.value()) return false;
    bool ahead = false;
    if (f.airborne && d <= kAirWatchNm && std::fabs(f.alt - g_userPosition.altitudeFt) < kAirWatchAltFt)
        ahead = lf_lateralFt(f, d) <= kAirLateralFt;
    else if (!f.airborne && d <= kGroundWatchNm && g_userPosition.heightAboveGroundFt < kGroundWatchAglFt)
        ahead = lf_lateralFt(f, d) <= kGroundLateralFt;
    if (ahead) ac.heldBack = 1;
    return ahead || ac.heldBack;
}

// A registration the database knows gives the airline, type and cargo flag; an aircraft without
// a real callsign flies under its registration.
void lf_identityFromRegistration(LiveAircraft& ac) {
    if (ac.regcode.empty()) return;
    const std::optional<DbRecord> entry = gf_findDbRecord(ac.regcode);
    if (!entry) return;
    if (!entry->airl.empty()) ac.airline = entry->airl;
    if (!entry->opr.empty()) ac.airline = entry->opr;
    ac.isCargo = entry->cargo ? 1 : 0;
    gf_setCallsignAndType(ac, gf_hasRealCallsign(ac.callsign) ? ac.callsign : ac.regcode,
                          entry->type.empty() ? ac.type : entry->type);
}

bool lf_blockedCallsign(const LiveAircraft& ac) {
    const std::string& blocked = BLOCK_CALLSIGN.value();
    return !blocked.empty() && blocked == ac.callsign;
}

// The checks that erase the candidate for what it is; true when it was erased.
bool lf_erasedByIdentity(LiveAircraft& ac) {
    if (MAX_LIVE_SEL.value() == 0 || lf_blockedCallsign(ac)) {
        lf_erase(ac);
        return true;
    }
    lf_identityFromRegistration(ac);
    if (ac.airline.empty() && !gf_airlineFromCallsign(ac)) ac.airline = kPrivateAirline;
    if (!gf_hasRealCallsign(ac.callsign) || g_unmatchedAircraft.contains(gf_acIdWithReg(ac))) {
        lf_erase(ac);
        return true;
    }
    // Before the live limit is checked, so that a ghost never takes a place.
    if (!ac.callsign.empty() && ac.callsign.back() == '_' && lf_ghostKnown(ac.callsign, ac.hexid)) {
        lf_erase(ac);
        return true;
    }
    return false;
}

// True when the live limit leaves no room and no farther active aircraft can give way.
bool lf_noRoom(const LiveAircraft& ac) {
    if (gf_countLiveInSim() < MAX_LIVE_SEL.value()) return false;
    return lf_makeRoom(lf_userDistanceNm(ac.stream.front()));
}

// A record of one sample on the ground that does not move: reports of a parked aircraft may come a
// minute apart, longer than the delay, so that no second sample is there when the first is due.
bool lf_standsAlone(const LiveAircraft& ac) {
    if (ac.stream.size() != 1) return false;
    const PosSample& f = ac.stream.front();
    return !f.airborne && (f.stationary || f.gs == 0);
}

void lf_markStationary(LiveAircraft& ac) {
    PosSample& front = ac.stream[0];
    if (ac.stream.size() < 2) {
        front.stationary = 1;
        front.gs = 0;
        return;
    }
    PosSample& second = ac.stream[1];
    if (!second.stationary) {
        front.stationary = 0;
        return;
    }
    front.stationary = 1;
    front.gs = 0;
    second.gs = 0;
    if (ac.stream.size() > 2 && ac.stream[2].stationary) ac.stream[2].gs = 0;
}

// False when no livery can be had: the aircraft is erased and remembered as unmatched.
bool lf_giveLivery(LiveAircraft& ac) {
    if (ac.liveryTitle.empty()) ac.liveryTitle = lf_liveryOfHexid(ac.hexid);
    if (!ac.liveryTitle.empty()) return true;
    gf_matchLiveAc(ac);
    if (!ac.liveryTitle.empty()) {
        lf_rememberLivery(ac.hexid, ac.liveryTitle);
        return true;
    }
    if (!ac.regcode.empty()) g_unmatchedAircraft.insert(gf_acIdWithReg(ac));
    lf_erase(ac);
    return false;
}

// Nose up in a climb, less so in a descent; the angle is stored positive nose down.
double lf_initialPitch(const PosSample& f) {
    if (!f.airborne) return gf_degToRad(kGroundPitchDeg);
    double v = f.vrate;
    if (v > 0) v = std::min(v, kMaxClimbFpm);
    if (v < 0) v = std::max(v, kMaxDescentFpm) / 2;
    return gf_degToRad(-3.0 - v / 600.0 * 2.2);
}

double lf_initialHeading(const LiveAircraft& ac) {
    if (ac.respawnHeadingValid) return ac.respawnHeading;
    if (ac.flightState == parked) return ac.standHeading;
    const PosSample& f = ac.stream[0];
    if (ac.stream.size() < 2 || ac.stream[1].stationary) return gf_degToRad(f.track);
    const PosSample& s = ac.stream[1];
    return gf_bearingRad({f.lat, f.lon}, {s.lat, s.lon});
}

// An aircraft that appears on the ground near the park airport starts parked on a fitting free
// stand, books the stand's current half-hour and may push the longest-parked aircraft out.
bool lf_parkAtSpawn(LiveAircraft& ac) {
    Stand* stand = lf_standAtSpawn(ac);
    if (!stand) return false;
    ac.standLat = stand->latitude;
    ac.standLon = stand->longitude;
    ac.standHeading = stand->heading;
    ac.standId = stand->standId;
    ac.cargoStand = stand->cargo ? 1 : 0;
    gf_setFlightState(ac, parked);
    ac.steadySince = gf_clock100ns();
    ac.lastStandDist = 0;
    ac.movingAwayCount = 0;
    ac.standSampleSeen = 0;
    gf_takeStand(ac);
    lf_clearCargoMark(ac);
    ac.stream.resize(1);
    PosSample& front = ac.stream.front();
    front.lat = stand->latitude;
    front.lon = stand->longitude;
    front.track = gf_radToDeg(stand->heading);
    const uint64_t now = g_currentSlot.load();
    if (lt_addStandOption(ac.standId, ac, false, now, false)) gf_setHexidSlot(ac.hexid, gf_slotOf(now));
    gf_maxParkCheck(0);
    return true;
}

void lf_setPositionBlock(LiveAircraft& ac) {
    const PosSample& f = ac.stream.front();
    ac.lat = f.lat;
    ac.lon = f.lon;
    ac.altitude = f.alt;
    ac.pitch = lf_initialPitch(f);
    ac.bank = f.roll.value_or(0.0);
    ac.verticalSpeed = f.vrate;
    ac.trueAirspeed = f.airspeed;
    const double heading = gf_wrapTwoPi(lf_initialHeading(ac));
    ac.heading = heading;
    ac.dHeading = f.airborne ? 0.0 : heading;
}

}  // namespace

void lf_spawnDecision(LiveAircraft& ac) {
    if (ac.stream.empty()) return lf_erase(ac);
    const PosSample& f = ac.stream.front();
    const int32_t lead = (!f.airborne && f.gs != 0) ? kTaxiSpawnLeadTicks : kSpawnLeadTicks;
    if (lf_notYet(f.dueTick, lead)) return;
    if (ac.stream.size() == 1 && !lf_standsAlone(ac)) return lf_erase(ac);
    if (gf_isKnownGhost(ac.callsign)) return lf_erase(ac);
    if (lf_mixesAirAndGround(ac)) return lf_dropFront(ac);
    if (lf_spawnNearUser(ac)) return;
    if (g_createDeque.size() >= kMaxWaitingCreates && ac.flightState == birth) return lf_dropFront(ac);
    if (lf_erasedByIdentity(ac)) return;
    if (lf_noRoom(ac)) return lf_erase(ac);
    spawnLiveAc(ac);
}

bool lf_spawnNearUser(LiveAircraft& ac) {
    const PosSample& f = ac.stream.front();
    const double d = lf_userDistanceNm(f);
    const bool hold = g_userOnGround ? lf_holdOnGround(ac, f, d) : lf_holdInAir(ac, f, d);
    if (hold) lf_dropFront(ac);
    return hold;
}

void spawnLiveAc(LiveAircraft& ac) {
    if (ac.stream.size() < 2 && !lf_standsAlone(ac)) {
        gf_logLine(fmt::format("{} sz:{}", "spawnLiveAc", ac.stream.size()));
        return;
    }
    lf_markStationary(ac);
    if (ac.flightState == birth) {
        if (!lf_giveLivery(ac)) return;
        if (ac.stream.front().airborne)
            gf_setFlightState(ac, flying);
        else if (!lf_parkAtSpawn(ac)) {
            // The stand check erases a candidate that may not take the stand it stands on.
            if (ac.eraseFlag) return;
            gf_setFlightState(ac, taxi);  // without a stand an aircraft that appears on the ground taxis
        }
    } else if (ac.liveryTitle.empty() && !lf_giveLivery(ac)) {
        return;  // respawned on its stand for a new livery: only the title is new
    }
    gf_queueReplacementCheck(ac.hexid);
    lf_setPositionBlock(ac);
    ac.heldBack = 0;
    ac.lifeState = adding2sim;
    g_hexidStack.push_back(ac.hexid);
    if (ac.callsign.empty() || ac.callsign.back() != '_') lf_ghost(ac.callsign, ac.hexid);
}

std::string_view lf_liveryOfHexid(uint32_t hexid) {
    const auto it = g_titleByHexid.find(hexid);
    if (it == g_titleByHexid.end()) return {};
    if (!gf_isRefusedTitle(it->second)) return it->second;
    g_titleByHexid.erase(it);
    return {};
}

void lf_rememberLivery(uint32_t hexid, std::string_view title) {
    g_titleByHexid[hexid] = title;
}

void gf_removeTooCloseToUser(LatLon user, double userAltitudeFt, bool userOnGround) {
    if (!(userOnGround ? COLLISION_USER_GND.value() : COLLISION_USER_AIR.value())) return;
    for (LiveAircraft& ac : g_liveRecords) {
        if (ac.lifeState != active || (ac.onGround != 0) != userOnGround) continue;
        const bool tooClose =
            userOnGround ? gf_tooClose(user, {ac.lat, ac.lon}, kUserHalfSpanNm, ac.halfWingSpan)
                         : gf_haversineNm(user, {ac.lat, ac.lon}) <= kAirCollisionNm &&
                               std::fabs(ac.altitude - userAltitudeFt) <= kAirCollisionFt;
        if (!tooClose) continue;
        gf_logDetail(fmt::format("{:8} removed, too close to the user aircraft", ac.callsign));
        removeAircraftFromSim(ac);
    }
}

int gf_countLiveInSim() {
    return static_cast<int>(
        std::count_if(g_liveRecords.begin(), g_liveRecords.end(), [](const LiveAircraft& a) {
            return a.lifeState == active || a.lifeState == adding2sim || a.lifeState == liveryrespawn;
        }));
}

void gf_resetSpawn() {
    g_unmatchedAircraft.clear();
}
