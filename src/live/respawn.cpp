#include "live/respawn.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <exception>
#include <utility>

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "aircraft/regcodes.h"
#include "aircraft/type_database.h"
#include "airports/park_airports.h"
#include "airports/stand.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "live/air_motion.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/removal.h"

std::vector<std::string> g_callsignList;

namespace {

constexpr double kSamePositionDeg = 1e-8;
constexpr int kCoupledWindowSlots = 10, kCoupledWindowSlotsHeavy = 14;

bool lf_endsInGhostMark(std::string_view callsign) {
    return !callsign.empty() && callsign.back() == '_';
}

// Keeps the aircraft's value when the record has none or the same.
void lf_takeIfNew(std::string& mine, const std::string& theirs) {
    if (!theirs.empty() && theirs != mine) mine = theirs;
}

void lf_takeRoute(LiveAircraft& ac, const LiveTrafficRecord& r) {
    lf_takeIfNew(ac.destination, r.destination);
    lf_takeIfNew(ac.origin, r.origin);
}

void lf_takeIdentity(LiveAircraft& ac, const LiveTrafficRecord& r) {
    lf_takeRoute(ac, r);
    if (!r.callsign.empty()) gf_setCallsignAndType(ac, r.callsign, ac.type);
    lf_takeIfNew(ac.regcode, r.regcode);
}

// True: keep the aircraft as it is (only an empty end of the route was filled, or nothing).
bool lf_routeCheck(LiveAircraft& ac, const LiveTrafficRecord& r) {
    bool filled = false;
    if (ac.destination.empty() && !r.destination.empty()) ac.destination = r.destination, filled = true;
    if (ac.origin.empty() && !r.origin.empty()) ac.origin = r.origin, filled = true;
    const bool changed = !ac.origin.empty() && !r.origin.empty() && ac.origin != r.origin &&
                         !ac.destination.empty() && !r.destination.empty() && ac.destination != r.destination;
    if (!changed) return !filled;
    // The return leg of a turnaround at the park airport is the same aircraft.
    if (!g_parkAirport.iata.empty() && ac.origin == g_parkAirport.iata && r.destination == ac.origin) return !filled;
    ac.origin = r.origin;
    ac.destination = r.destination;
    if (ac.onGround && ac.flightState != parked && ac.flightState != parking) {
        if (ac.flightState != taxi) gf_setFlightState(ac, taxi);
        ac.targetHeading = ac.heading;
    }
    return false;
}

// An entry without a type says nothing about the aircraft's: taking its empty type would leave
// the aircraft without a livery to match.
bool lf_entryDiffers(const LiveAircraft& ac, const DbRecord& entry) {
    return ac.airline != entry.airl || (!entry.type.empty() && ac.type != entry.type);
}

// The aircraft flies for the entry's operator (else its airline) as the entry's type; its livery
// no longer fits (forget).
void lf_takeEntryIdentity(LiveAircraft& ac, const DbRecord& entry, bool& forget) {
    ac.airline = entry.opr.empty() ? entry.airl : entry.opr;
    if (!entry.type.empty()) gf_setCallsignAndType(ac, ac.callsign, entry.type);
    forget = true;
}

// The database's airline or type for the registration differs from the aircraft's; with the
// entry's operator being the aircraft's airline nothing changes. True when the aircraft took the
// entry's identity.
bool lf_takeDbIdentity(LiveAircraft& ac, const DbRecord& entry, bool& forget) {
    if (!entry.opr.empty() && entry.opr == ac.airline) return false;
    lf_takeEntryIdentity(ac, entry, forget);
    return true;
}

bool lf_dbIdentityChanged(LiveAircraft& ac, const LiveTrafficRecord& r, bool& forget) {
    const std::optional<DbRecord> entry = gf_findDbRecord(r.regcode);
    if (!entry || !lf_entryDiffers(ac, *entry)) return false;
    if (!entry->opr.empty() && entry->opr == ac.airline) return false;
    AircraftRec probe;
    probe.callsign = r.callsign;
    if (!gf_airlineFromCallsign(probe) || (probe.airline != entry->airl && probe.airline != entry->opr)) return false;
    return lf_takeDbIdentity(ac, *entry, forget);
}

bool lf_liveryChanged(LiveAircraft& ac, const LiveTrafficRecord& r, bool& forget) {
    const auto title = g_regToLivery.find(r.regcode);
    if (title != g_regToLivery.end()) {
        if (title->second == ac.liveryTitle) return false;
        if (const std::optional<DbRecord> entry = gf_findDbRecord(r.regcode))
            lf_takeEntryIdentity(ac, *entry, forget);
        forget = true;
        return true;
    }
    if (r.regcode == ac.regcode) return false;
    const std::optional<DbRecord> entry = gf_findDbRecord(r.regcode);
    if (!entry || !lf_entryDiffers(ac, *entry)) return false;
    return lf_takeDbIdentity(ac, *entry, forget);
}

bool lf_regcodeCheck(LiveAircraft& ac, const LiveTrafficRecord& r, bool& forget) {
    if (r.regcode.empty()) return true;
    bool keep = true;
    const bool flownUnderRegistration = ac.callsign == ac.regcode && r.regcode != ac.regcode;
    if (!ac.regcode.empty() && !flownUnderRegistration) {
        if (r.regcode != ac.regcode && lf_dbIdentityChanged(ac, r, forget)) keep = false;
    } else {
        keep = !lf_liveryChanged(ac, r, forget);
    }
    ac.regcode = r.regcode;
    return keep;
}

// Refuses a ghost record of a known aircraft; otherwise takes the new callsign, removing a ghost
// of it. True when the record is still wanted.
bool lf_takeNewCallsign(LiveAircraft& ac, const LiveTrafficRecord& r) {
    if (!lf_endsInGhostMark(r.callsign))
        lf_ghost(r.callsign, ac.hexid);
    else if (lf_ghostKnown(r.callsign, ac.hexid))
        return false;
    gf_setCallsignAndType(ac, r.callsign, ac.type);
    return true;
}

bool lf_respawnOrKeep(LiveAircraft& ac, bool forget) {
    if (!GUID_CHANGES.value()) return true;  // the changes stay; the object flies on as it is
    gf_logDetail(fmt::format("          {} respawns", gf_describeAc(ac)));
    if (forget) lf_forgetLivery(ac);
    liveryRespawn(ac);
    return false;
}

std::string lf_standName(const AircraftRec& rec) {
    return gf_standNameOfId(rec.standId);
}

LiveAircraft* lf_findGhostOf(std::string_view callsign, uint32_t skipHexid) {
    for (LiveAircraft& a : g_liveRecords) {
        if (a.hexid == skipHexid || a.lifeState == removingfromsim) continue;
        if (a.callsign.size() == callsign.size() + 1 && a.callsign.starts_with(callsign) && lf_endsInGhostMark(a.callsign))
            return &a;
    }
    return nullptr;
}

// Texts that are empty stand for nothing and match nothing.
bool lf_sameText(std::string_view a, std::string_view b) {
    return !a.empty() && a == b;
}

const char* lf_groundText(bool onGround) {
    return onGround ? "on ground" : "airborne";
}

// The log line of the first replacement rule the static aircraft meets; empty when none.
std::string lf_replacementReason(const AircraftRec& st, const LiveAircraft& ac, bool onGround) {
    if (st.noSourceHexid == 0 && st.sourceHexid == ac.hexid)
        return fmt::format("{:8}: {:8} removed, new {} '{}' has same hexid", lf_standName(st), st.callsign,
                           lf_groundText(onGround), ac.callsign);
    if (lf_sameText(ac.regcode, st.regcode))
        return fmt::format("{:8}: {:8} {} removed, new {} '{}' has same regcode {}", lf_standName(st), st.callsign,
                           st.regcode, lf_groundText(onGround), ac.callsign, ac.regcode);
    const std::string_view unmarked = lf_endsInGhostMark(ac.callsign)
                                          ? std::string_view(ac.callsign).substr(0, ac.callsign.size() - 1)
                                          : std::string_view();
    bool coupled = false;
    for (std::string_view mine : {std::string_view(ac.callsign), std::string_view(ac.coupledCallsign), unmarked})
        coupled = coupled || lf_sameText(mine, st.spawnCallsign) || lf_sameText(mine, st.coupledCallsign);
    if (!coupled) return {};
    return fmt::format("{:8}: {:8} '{} {}' removed, new {} {} '{}' '{}' has {} callsign", lf_standName(st),
                       st.callsign, st.spawnCallsign, st.coupledCallsign, lf_groundText(onGround), ac.callsign,
                       ac.spawnCallsign, ac.coupledCallsign, st.spawnCallsign == ac.callsign ? "same" : "coupled");
}

// Aircraft that left for a block (hexid and the callsign blocked then).
std::vector<std::pair<uint32_t, std::string>> g_blockedAircraft;

// A blocked aircraft goes on reporting: it is taken out and logged once, and its later records
// are ignored while the block lasts.
void lf_takeOutBlocked(LiveAircraft& ac, std::string_view why) {
    gf_logLine(fmt::format("{} {}", gf_acLabel(ac), why));
    removeAircraftFromSim(ac);
    std::pair<uint32_t, std::string> blocked{ac.hexid, BLOCK_CALLSIGN.value()};
    if (std::find(g_blockedAircraft.begin(), g_blockedAircraft.end(), blocked) == g_blockedAircraft.end())
        g_blockedAircraft.push_back(std::move(blocked));
}

// Whichever way a block reaches an active aircraft, the log says why it left.
void lf_removeBlocked(LiveAircraft& ac) {
    lf_takeOutBlocked(ac, "removed from simulator immediately while blocked");
}

}  // namespace

bool lf_respawnCheck(LiveAircraft& ac, const LiveTrafficRecord& r) {
    if (ac.takeOffRoll || ac.approachFlag) return true;
    if (ac.lifeState == buffer) {
        lf_takeIdentity(ac, r);
        return true;
    }
    if (ac.lifeState != active || ac.flightState == pushing_back || ac.extension >= 1) return true;
    bool forget = false;
    bool keep = lf_routeCheck(ac, r);
    if (keep) keep = lf_regcodeCheck(ac, r, forget);
    if (r.callsign.empty() || r.callsign == ac.callsign || r.callsign == ac.regcode)
        return keep || lf_respawnOrKeep(ac, forget);
    if (!lf_takeNewCallsign(ac, r)) return false;
    return lf_respawnOrKeep(ac, forget);
}

void liveryRespawn(LiveAircraft& ac) {
    try {
        if (ac.stream.empty()) throw std::runtime_error("stream empty");
        PosSample n = ac.stream.front();
        if (ac.flightState != parked) {
            PosSample& front = ac.stream.front();
            if (std::fabs(front.lat - ac.lat) < kSamePositionDeg && std::fabs(front.lon - ac.lon) < kSamePositionDeg)
                front.stationary = 1;
            n.lat = ac.lat;
            n.lon = ac.lon;
            n.alt = ac.altitude;
            n.roll = ac.bank;
        } else {
            ac.stream.resize(1);
            ac.stream.front().stationary = 1;
            ac.stream.front().track = gf_radToDeg(ac.heading);
            n = ac.stream.front();
        }
        n.dueTick = static_cast<int32_t>(gf_tickNow() + 1);
        ac.stream.push_front(n);
        ac.lifeState = liveryrespawn;
        ac.respawnHeading = ac.heading;
        ac.respawnHeadingValid = 1;
        if (ac.objectId != 0) {
            gf_queueRemoval(ac.objectId);
            return;
        }
        gf_logLine(fmt::format("{} removing act {} with objectid=0 ?", "liveryRespawn", gf_acLabel(ac)));
        // No object will be reported removed: without this the aircraft would wait for ever.
        ac.lifeState = buffer;
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: {}", "liveryRespawn", e.what()));
    }
}

void lf_forgetLivery(LiveAircraft& ac) {
    g_titleByHexid.erase(ac.hexid);
    ac.liveryTitle = {};
    // Parked on its stand it stays there: a new livery is no reason to look for another stand.
    if (ac.flightState == parked && ac.standId != 0) return;
    if (ac.flightState != birth) gf_setFlightState(ac, birth);
}

void lf_ghost(std::string_view callsign, uint32_t skipHexid) {
    if (callsign.empty()) return;
    LiveAircraft* ghost = lf_findGhostOf(callsign, skipHexid);
    if (!ghost) return;
    if (ghost->flightState == parked)
        gf_logDetail(fmt::format("{:8}: {:8} is a ghost and will be removed, continue with {}", lf_standName(*ghost),
                                 ghost->callsign, callsign));
    else
        gf_logDetail(fmt::format("          {:8} is a ghost and will be removed, continue with {}", ghost->callsign,
                                 callsign));
    g_callsignList.push_back(ghost->callsign);
    removeAircraftFromSim(*ghost);
}

bool lf_ghostKnown(std::string_view callsign, uint32_t skipHexid) {
    if (callsign.size() < 2) return false;
    const std::string_view unmarked = callsign.substr(0, callsign.size() - 1);
    return std::any_of(g_liveRecords.begin(), g_liveRecords.end(), [&](const LiveAircraft& a) {
        return a.hexid != skipHexid && a.lifeState != removingfromsim && a.callsign == unmarked;
    });
}

bool gf_isKnownGhost(std::string_view callsign) {
    return lf_endsInGhostMark(callsign) &&
           std::find(g_callsignList.begin(), g_callsignList.end(), callsign) != g_callsignList.end();
}

void lf_searchForCoupledCsAroundThisTime(uint64_t currentSlot, LiveAircraft& ac) {
    try {
        const int w = ac.category == static_cast<int32_t>(AircraftCategory::Heavy) ? kCoupledWindowSlotsHeavy
                                                                                    : kCoupledWindowSlots;
        const int slot = gf_slotOf(currentSlot);
        const uint32_t weekday = static_cast<uint32_t>(gf_weekdayOf(currentSlot));
        uint64_t window = 0;
        for (int s = std::max(slot - w, 0); s <= std::min(slot + w, 47); ++s) window |= uint64_t{1} << s;
        std::string_view k = ac.callsign;
        if (lf_endsInGhostMark(k)) k.remove_suffix(1);
        for (const Stand& stand : g_stands)
            for (const StandOption& o : stand.options) {
                if (o.index == 0 || o.day != weekday || (o.hh & window) == 0 || o.airline != ac.airline) continue;
                if (o.callsign2.empty() || (!lf_sameText(k, o.callsign) && !lf_sameText(k, o.callsign2))) continue;
                ac.spawnCallsign = o.callsign;
                ac.coupledCallsign = o.callsign2;
                return;
            }
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: {}", "lf_searchForCoupledCsAroundThisTime", e.what()));
    }
}

void lf_replaceStatic(const LiveAircraft& ac, bool onGround) {
    if (ac.callsign.empty()) return;
    for (AircraftRec& st : g_staticAircraft) {
        if (st.lifeState != active) continue;
        const std::string reason = lf_replacementReason(st, ac, onGround);
        if (reason.empty()) continue;
        gf_logDetail(reason);
        removeAircraftFromSim(st);
        return;
    }
}

void gf_replaceStaticsStep(uint64_t currentSlot) {
    if (g_perSecondList.empty()) return;
    const uint32_t hexid = g_perSecondList.front();
    g_perSecondList.pop_front();
    LiveAircraft* ac = gf_findLiveByHexid(hexid);
    if (!ac) return;
    if (!ac->coupledSearched) {
        lf_searchForCoupledCsAroundThisTime(currentSlot, *ac);
        ac->coupledSearched = 1;
    }
    lf_replaceStatic(*ac, ac->onGround != 0);
}

void lf_onBlocked(uint32_t hexid) {
    LiveAircraft* ac = gf_findLiveByHexid(hexid);
    if (!ac) return;
    if (ac->lifeState == buffer) {
        lf_takeOutBlocked(*ac, "will be removed from buffer while blocked");
    } else if (ac->lifeState == active) {
        lf_removeBlocked(*ac);
    }
}

void gf_removeBlockedCallsign() {
    const std::string& blocked = BLOCK_CALLSIGN.value();
    if (blocked.empty()) return;
    for (LiveAircraft& ac : g_liveRecords)
        if (ac.lifeState == active && ac.callsign == blocked) return lf_removeBlocked(ac);
}

bool gf_isBlockedAircraft(uint32_t hexid, std::string_view callsign) {
    const std::string& blocked = BLOCK_CALLSIGN.value();
    if (blocked.empty() || callsign != blocked) return false;
    return std::any_of(g_blockedAircraft.begin(), g_blockedAircraft.end(),
                       [&](const auto& a) { return a.first == hexid && a.second == blocked; });
}

void gf_resetRespawn() {
    g_callsignList.clear();
    g_blockedAircraft.clear();
}
