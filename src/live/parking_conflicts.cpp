#include "live/parking_conflicts.h"

#include <algorithm>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "feed/records.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/removal.h"
#include "live/static_calls.h"

namespace {

constexpr double kTooCloseFactor = 1.1;
constexpr int64_t kClockTicksPerSecond = 10'000'000;

// Parked or on its way out of the stand: the aircraft still stands on it.
bool lf_standsOnStand(const LiveAircraft& ac) {
    return ac.flightState == parked || ac.flightState == pushing_back || ac.flightState == pushed_back;
}

// "b" is "a" with one more character at its end.
bool lf_isOneLonger(std::string_view longer, std::string_view shorter) {
    return longer.size() == shorter.size() + 1 && longer.starts_with(shorter);
}

LiveAircraft* lf_firstLiveOnStand(uint32_t standId, uint32_t exceptHexid = 0) {
    for (LiveAircraft& ac : g_liveRecords)
        if (ac.standId == standId && ac.hexid != exceptHexid) return &ac;
    return nullptr;
}

// The parked extension of an aircraft whose feed went quiet frees its stand's mark while it still
// stands there; a newcomer that claimed the stand before it parked must not park on top of it.
bool lf_parkedOnStandBy(uint32_t standId, uint32_t exceptHexid) {
    return std::any_of(g_liveRecords.begin(), g_liveRecords.end(), [&](const LiveAircraft& other) {
        return other.standId == standId && other.hexid != exceptHexid && other.flightState == parked &&
               other.lifeState != removingfromsim && !other.eraseFlag && !other.withdrawn;
    });
}

AircraftRec* lf_firstStaticOnStand(uint32_t standId) {
    for (AircraftRec& st : g_staticAircraft)
        if (st.standId == standId) return &st;
    return nullptr;
}

AircraftRec* lf_firstActiveStaticOnStand(uint32_t standId) {
    for (AircraftRec& st : g_staticAircraft)
        if (st.standId == standId && st.lifeState == active) return &st;
    return nullptr;
}

// Both aircraft on stands this far apart, judged by the wing spans of their types.
bool lf_typesTooClose(LatLon a, LatLon b, std::string_view typeA, std::string_view typeB) {
    return gf_tooClose(a, b, gf_halfWingspan(typeA), gf_halfWingspan(typeB));
}

void lf_logRemoval(std::string_view line) {
    gf_logDetail(line);
}

// The occupant of a stand that gives way to a newcomer; the log line names why.
bool lf_occupantGivesWay(LiveAircraft& occupant, std::string_view line) {
    lf_logRemoval(line);
    removeAircraftFromSim(occupant);
    return true;
}

// Minutes of the week as the parking slot keys count them: weekday x 48 + slot - 48.
int lf_weekKey(uint64_t slotValue) {
    return gf_weekdayOf(slotValue) * kSlotsPerDay + gf_slotOf(slotValue) - kSlotsPerDay;
}

// Half-hours since the key, counted forward over the week's end.
int lf_ageOverWeek(int nowKey, int key) {
    return ((nowKey - key) % kSlotsPerWeek + kSlotsPerWeek) % kSlotsPerWeek;
}

void lf_removeLongestParkedLive() {
    const auto order = lf_maxParkOrder();
    if (order.empty()) return;
    LiveAircraft* ac = gf_findLiveByHexid(order.front().first);
    if (ac == nullptr) return;
    lf_logRemoval(
        fmt::format("{:8}: {} live max park exceeded, removed", gf_standNameOfId(ac->standId), ac->callsign));
    removeAircraftFromSim(*ac);
}

// The static of that kind (from the fit, or from the parked traffic the feed reports) placed
// longest ago; nullptr when there is none.
AircraftRec* lf_oldestStatic(bool fitted) {
    const int nowKey = lf_weekKey(g_currentSlot.load());
    AircraftRec* oldest = nullptr;
    int oldestAge = -1;
    for (AircraftRec& st : g_staticAircraft) {
        if ((st.noSourceHexid != 0) != fitted) continue;
        const int age = lf_ageOverWeek(nowKey, lf_weekKey(st.parkSlot));
        if (age > oldestAge) {
            oldest = &st;
            oldestAge = age;
        }
    }
    return oldest;
}

// Fitted statics give way before the parked traffic the feed confirms.
void lf_removeOldestStatic() {
    AircraftRec* oldest = lf_oldestStatic(true);
    if (oldest == nullptr) oldest = lf_oldestStatic(false);
    if (oldest == nullptr || oldest->lifeState != active) return;
    lf_logRemoval(fmt::format("{:8}: {} static max park exceeded, removed", gf_standNameOfId(oldest->standId),
                              oldest->callsign));
    removeAircraftFromSim(*oldest);
}

}  // namespace

bool gf_takeStand(const AircraftRec& rec) {
    if (!gf_isLiveAircraft(rec)) return false;
    Stand* stand = gf_standById(rec.standId);
    if (stand == nullptr) return false;
    if (stand->occupied && stand->occupantHexid != rec.hexid) return false;
    stand->occupied = true;
    stand->occupantHexid = rec.hexid;
    return true;
}

void gf_leaveStand(const AircraftRec& rec) {
    if (!gf_isLiveAircraft(rec)) return;
    Stand* stand = gf_standById(rec.standId);
    // A newcomer that only meant to park here leaves the occupant's mark alone.
    if (stand == nullptr || stand->occupantHexid != rec.hexid) return;
    stand->occupied = false;
    stand->occupantHexid = 0;
}

void gf_letGoOfStand(LiveAircraft& ac) {
    gf_leaveStand(ac);
    ac.standId = 0;
    ac.standLat = ac.standLon = ac.standHeading = 0;
    ac.cargoStand = 0;
}

bool gf_tooClose(LatLon a, LatLon b, double halfSpanANm, double halfSpanBNm) {
    return gf_haversineNm(a, b) <= kTooCloseFactor * (halfSpanANm + halfSpanBNm);
}

bool lf_sameCallsignWantsStand(uint32_t standId, std::string_view callsign) {
    LiveAircraft* occupant = lf_firstLiveOnStand(standId);
    if (occupant == nullptr || occupant->lifeState != active || !lf_standsOnStand(*occupant)) return true;
    const std::string stand = gf_standNameOfId(standId);
    const std::string_view e = occupant->callsign;
    const std::string_view n = callsign;
    if (e == n)
        return lf_occupantGivesWay(
            *occupant,
            fmt::format("{:8}: {:8} ac with same callsign {} wants it, remove existing ...", stand, e, n));
    if (lf_isOneLonger(n, e)) return false;
    const std::string ghostLine = fmt::format("{:8}: {:8} ghost, replace by {}", stand, e, n);
    if (lf_isOneLonger(e, n)) return lf_occupantGivesWay(*occupant, ghostLine);
    const bool eGhost = e.ends_with('_');
    const bool nGhost = n.ends_with('_');
    if (eGhost && !nGhost) return lf_occupantGivesWay(*occupant, ghostLine);
    if (!eGhost && nGhost) return false;
    // The feed confirms the occupant on its stand: an unrelated newcomer is the one that is wrong.
    if (occupant->standSampleSeen) return false;
    return lf_occupantGivesWay(
        *occupant,
        fmt::format("{:8}: {:8} removed because another live {} wants the stand ...", stand, e, n));
}

void lf_makesWay(const LiveAircraft& ac, const Stand& stand) {
    if (AircraftRec* st = lf_firstStaticOnStand(stand.standId);
        st != nullptr && (st->lifeState == active || st->lifeState == adding2sim)) {
        const bool sameAircraft = (!ac.callsign.empty() && st->spawnCallsign == ac.callsign) ||
                                  (!ac.regcode.empty() && st->regcode == ac.regcode);
        const std::string line =
            fmt::format("{:8}: {:8} {} makes way for{} {} {}", stand.name, st->callsign, st->regcode,
                        sameAircraft ? " the same live version" : "", ac.callsign, ac.regcode);
        // A queued create is withdrawn and its record erased below; one already sent only marks
        // the record, which then stays until its object appears and is removed.
        lf_logRemoval(st->lifeState == active ? line : "queued " + line);
        removeAircraftFromSim(*st);
        if (st->withdrawn) gf_eraseFinishedStatics();
    }
    for (uint32_t neighbourId : stand.neighbours) lf_makesWayAtExcludedStand(ac, neighbourId, stand);
}

void lf_makesWayAtExcludedStand(const LiveAircraft& ac, uint32_t neighbourId, const Stand& stand) {
    const Stand* neighbour = gf_standById(neighbourId);
    if (neighbour == nullptr) return;
    for (AircraftRec& st : g_staticAircraft) {
        if (st.standId != neighbourId || st.lifeState != active) continue;
        if (!lf_typesTooClose(neighbour->position(), stand.position(), st.type, ac.type)) continue;
        lf_logRemoval(fmt::format("{:8}: {:8} makes way for {} parking at excluded stand {}", neighbour->name,
                                  st.callsign, ac.callsign, stand.name));
        removeAircraftFromSim(st);
        return;
    }
}

void lf_removedWantsToPark(uint32_t standId, const LiveAircraft& ac) {
    LiveAircraft* occupant = lf_firstLiveOnStand(standId, ac.hexid);
    if (occupant == nullptr || occupant->flightState != parked || occupant->lifeState != active) return;
    lf_logRemoval(fmt::format("{:8}: {:8} removed, {} wants to park there", gf_standNameOfId(standId),
                              occupant->callsign, ac.callsign));
    removeAircraftFromSim(*occupant);
}

void lf_removedAdjacent(uint32_t neighbourId, const LiveAircraft& ac, const Stand& stand) {
    LiveAircraft* occupant = lf_firstLiveOnStand(neighbourId, ac.hexid);
    if (occupant == nullptr || occupant->lifeState != active) return;
    if (occupant->flightState != parked && occupant->flightState != pushing_back) return;
    const Stand* neighbour = gf_standById(neighbourId);
    if (neighbour == nullptr || !gf_isPositionSet(neighbour->position())) return;
    if (!lf_typesTooClose(neighbour->position(), stand.position(), occupant->type, ac.type)) return;
    lf_logRemoval(fmt::format("{:8}: {:8} removed by parking {} at adjacent and possibly colliding stand {}",
                              neighbour->name, occupant->callsign, ac.callsign, stand.name));
    removeAircraftFromSim(*occupant);
}

void lf_collisionWithStatic(LiveAircraft& ac) {
    if (ac.landingRoll || ac.takeOffRoll) return;
    ac.savedLat = ac.lat;
    ac.savedLon = ac.lon;
    const LatLon here{ac.lat, ac.lon};
    for (AircraftRec& st : g_staticAircraft) {
        if (st.lifeState != active || st.callsign == ac.callsign) continue;
        if (!gf_tooClose({st.standLat, st.standLon}, here, st.halfWingSpan, ac.halfWingSpan)) continue;
        lf_logRemoval(fmt::format("{:8}: {:8} removed for collision avoidance with static {}",
                                  gf_standNameOfId(st.standId), st.callsign, ac.callsign));
        removeAircraftFromSim(st);
        return;
    }
}

void lf_parksOnCreate(LiveAircraft& ac) {
    ac.onGround = 1;
    ac.dAltitude = 0;
    ac.takeOffCounter = 1;
    if (ac.flightState != parked) return;
    ac.parkSlot = g_currentSlot.load();
    const std::string stand = gf_standNameOfId(ac.standId);
    lf_logRemoval(fmt::format("{:8}: {:8} parks", stand, ac.callsign));
    if (ac.standId == 0) return;
    if (g_staticParkingCalls.dropPlannedOnStand) g_staticParkingCalls.dropPlannedOnStand(ac.standId);
    AircraftRec* st = lf_firstActiveStaticOnStand(ac.standId);
    if (st == nullptr) return;
    lf_logRemoval(fmt::format("{:8}: {:8} parks over static {} ", stand, ac.callsign, st->callsign));
    removeAircraftFromSim(*st);
}

bool gf_arrivesAtOccupiedStand(LiveAircraft& ac) {
    const Stand* stand = gf_standById(ac.standId);
    if (stand == nullptr) return false;
    const bool marked = stand->occupied && stand->occupantHexid != ac.hexid;
    if (!marked && !lf_parkedOnStandBy(ac.standId, ac.hexid)) return false;
    // Without its stand the newcomer's removal cannot clear the occupant's mark.
    gf_letGoOfStand(ac);
    ac.extension = 1;
    removeAircraftFromSim(ac);
    return true;
}

std::vector<std::pair<uint32_t, int64_t>> lf_maxParkOrder() {
    std::vector<std::pair<uint32_t, int64_t>> order;
    const int64_t now = gf_clock100ns();
    for (const LiveAircraft& ac : g_liveRecords)
        if (ac.lifeState == active && ac.flightState == parked)
            order.emplace_back(ac.hexid, (now - ac.steadySince) / kClockTicksPerSecond);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return order;
}

void gf_maxParkCheck(int extra, int64_t wantedParked) {
    if (RT_PARKTRAFFIC_ONLY.value() || wantedParked < 1) return;
    const auto liveParked = static_cast<int64_t>(std::count_if(
        g_liveRecords.begin(), g_liveRecords.end(),
        [](const LiveAircraft& ac) { return ac.lifeState == active && ac.flightState == parked; }));
    if (!INITIAL_LOAD_ONLY.value() && liveParked + extra > wantedParked) lf_removeLongestParkedLive();
    const auto staticsShown = static_cast<int64_t>(std::count_if(
        g_staticAircraft.begin(), g_staticAircraft.end(),
        [](const AircraftRec& st) { return st.lifeState == active || st.lifeState == removingfromsim; }));
    if (staticsShown + liveParked + extra > wantedParked && !g_staticAircraft.empty())
        lf_removeOldestStatic();
}
