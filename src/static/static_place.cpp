#include "static/static_place.h"

#include <algorithm>

#include <fmt/format.h>

#include "airports/park_airports.h"
#include "aircraft/matching.h"
#include "aircraft/type_database.h"
#include "core/display.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "core/text.h"
#include "feed/feed_state.h"
#include "feed/traffic_reader.h"
#include "live/aircraft_rec.h"
#include "live/intake.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "platform/window_model.h"
#include "static/live_parked.h"
#include "static/static_renewal.h"

uint32_t g_staticHexidCounter = 0;
std::unordered_set<std::string> g_liveCallsigns;
std::unordered_set<uint32_t> g_liveHexids;
std::vector<StaticRemoval> g_staticRemovalQueue;

namespace {

constexpr uint32_t kStaticHexidModulo = 10000;
constexpr const char* kPrivateAirline = "PVT";

// A computation waiting for the parked traffic it asked for, or for a valid slot.
struct PendingComputation {
    bool pending = false;
    bool asking = false;  // an ask for parked traffic is outstanding
    bool waited = false;  // one cycle passed without its answer
    bool delivered = false;
    std::vector<ParkedTrafficRecord> parked;
};
PendingComputation g_computation;

bool lf_isNeighbour(const Stand& stand, uint32_t standId) {
    return std::find(stand.neighbours.begin(), stand.neighbours.end(), standId) != stand.neighbours.end();
}

bool lf_onOrBeside(const Stand& stand, uint32_t standId) {
    return standId != 0 && (standId == stand.standId || lf_isNeighbour(stand, standId));
}

bool lf_byOffsetAscending(const PtEntry& a, const PtEntry& b) {
    return a.slotOffset < b.slotOffset;
}

int lf_weekOffset(int32_t halfHours) {
    const int o = halfHours % kSlotsPerWeek;
    return o < 0 ? o + kSlotsPerWeek : o;
}

AircraftRec lf_recordOf(std::string airline, std::string type, std::string callsign,
                        std::string spawnCallsign, std::string coupledCallsign, std::string regcode) {
    LiveTrafficRecord r;
    r.airline = std::move(airline);
    r.type = std::move(type);
    r.callsign = std::move(callsign);
    r.spawnCallsign = std::move(spawnCallsign);
    r.coupledCallsign = std::move(coupledCallsign);
    r.regcode = std::move(regcode);
    return gf_makeAircraftRec(r);
}

// A PT entry that lets the static aircraft from parked traffic keep its stand.
PtEntry lf_entryKeeping(const AircraftRec& st, uint32_t standId, int ageHalfHours) {
    PtEntry e;
    e.sourceHexid = st.sourceHexid;
    e.noSourceHexid = 0;
    e.standId = static_cast<int32_t>(standId);
    e.slotOffset = ageHalfHours;
    e.airline = st.airline;
    e.type = st.type;
    e.callsign = st.callsign.empty() ? std::string() : st.callsign.substr(0, st.callsign.size() - 1);
    e.reg = st.regcode;
    return e;
}

bool lf_skipParkedRecord(const ParkedTrafficRecord& r) {
    if (r.callsign.empty() || g_liveHexids.count(r.hexid) || lf_callsignInSet(g_liveCallsigns, r.callsign))
        return true;
    return std::any_of(g_liveRecords.begin(), g_liveRecords.end(),
                       [&](const LiveAircraft& ac) { return lf_liveMatchesPt(r, ac); });
}

// A PT entry on a neighbour of the blocked stand whose wings would reach the record's aircraft.
bool lf_neighbourPtTooClose(const Stand& stand, double halfSpanNm) {
    for (uint32_t n : stand.neighbours) {
        const Stand* other = gf_standById(n);
        if (other == nullptr) continue;
        for (const PtEntry& e : g_ptList)
            if (static_cast<uint32_t>(e.standId) == n &&
                gf_haversineNm(stand.position(), other->position()) < gf_halfWingspan(e.type) + halfSpanNm)
                return true;
    }
    return false;
}

// Statics from parked traffic on the stand against the record: false when one of them keeps
// the stand (the record is dropped).
bool lf_recordTakesStand(const ParkedTrafficRecord& r, int recordAge, const Stand& stand, uint64_t now) {
    for (AircraftRec& st : g_staticAircraft) {
        if (st.noSourceHexid != 0 || st.standId != stand.standId) continue;
        if (gf_isStarredOf(st.callsign, r.callsign)) continue;
        const int staticAge = gf_isValidSlot(st.parkSlot) ? gf_halfHoursSince(now, st.parkSlot) : 0;
        if (recordAge > staticAge) {
            g_ptList.push_back(lf_entryKeeping(st, stand.standId, staticAge));
            return false;
        }
        // The queue's removal changes the life state: marked before, the removal would pass it by.
        if (st.lifeState == active)
            gf_queueStaticRemoval(st);
        else
            removeAircraftFromSim(st);
        break;
    }
    return true;
}

void lf_assignOne(const ParkedTrafficRecord& r, uint64_t now) {
    const std::optional<DbRecord> db = r.regcode.empty() ? std::nullopt : gf_findDbRecord(r.regcode);
    AircraftRec ac = lf_recordOf(r.airline, r.type, r.callsign, r.callsign, {}, r.regcode);
    ac.isCargo = db && db->cargo ? 1 : 0;
    ac.hexid = r.hexid;
    if (ac.airline.empty() && !gf_airlineFromCallsign(ac)) ac.airline = kPrivateAirline;
    // A record the feed dates in the future was seen now.
    const int age = lf_weekOffset(std::max(r.halfHourOffset, 0));
    Stand* stand = gf_nearestFreeStand({r.lat, r.lon}, ac, kParkedStandSearchNm, false);
    if (stand == nullptr) {
        gf_logIndented(fmt::format("[{:10}: {:8x} {:8} {:12}, hh:{} ===> no stand for PT {}", r.info, r.hexid,
                                   r.callsign, r.regcode, age, fmt::format("{:.6f},{:.6f}", r.lat, r.lon)));
        return;
    }
    if (stand->reserved || stand->taken) return;
    if (stand->blocked && lf_neighbourPtTooClose(*stand, ac.halfWingSpan)) return;
    if (!lf_recordTakesStand(r, age, *stand, now)) return;
    PtEntry e;
    e.sourceHexid = r.hexid;
    e.noSourceHexid = 0;
    e.standId = static_cast<int32_t>(stand->standId);
    e.slotOffset = age;
    e.airline = ac.airline;
    e.type = ac.type;
    e.callsign = ac.callsign;
    e.reg = ac.regcode;
    g_ptList.push_back(std::move(e));
    stand->taken = true;
    for (uint32_t n : stand->neighbours)
        if (Stand* s = gf_standById(n)) s->blocked = true;
}

// A static aircraft on its way out of the stand or of a neighbour: the entry waits for it to be
// gone.
bool lf_standBeingCleared(const Stand& stand) {
    return std::any_of(g_staticAircraft.begin(), g_staticAircraft.end(), [&](const AircraftRec& st) {
        return lf_onOrBeside(stand, st.standId) &&
               (st.lifeState == removingfromsim || st.removeWhenItAppears != 0);
    });
}

// The entry cannot be placed when a live or static aircraft stands on or beside its stand.
bool lf_standIsFree(const PtEntry& e, const Stand& stand) {
    const std::string label = gf_standNameOfId(stand.standId);
    for (const LiveAircraft& ac : g_liveRecords) {
        if (ac.flightState != parked && ac.flightState != parking) continue;
        if (!lf_onOrBeside(stand, ac.standId)) continue;
        if (!LOG.value()) return false;
        if (ac.standId == stand.standId)
            gf_logLine(fmt::format("{:8}: no static parking for {}, live aircraft {} standing here", label,
                                   e.callsign, ac.callsign));
        else
            gf_logLine(fmt::format(
                "{:8}: no static parking for {}, live aircraft {} is adjacent at {}, possibly colliding",
                label, e.callsign, ac.callsign, gf_standNameOfId(ac.standId)));
        return false;
    }
    for (const AircraftRec& st : g_staticAircraft) {
        if (!lf_onOrBeside(stand, st.standId)) continue;
        if (LOG.value())
            gf_logLine(fmt::format(
                "{:8}: no static parking for {}, static aircraft {} is adjacent at {}, possibly colliding",
                label, e.callsign, st.callsign, gf_standNameOfId(st.standId)));
        return false;
    }
    return true;
}

AiCreateRec lf_staticCreate(const AircraftRec& st) {
    AiCreateRec c;
    c.lat = st.standLat;
    c.lon = st.standLon;
    c.heading = gf_radToDeg(st.standHeading);
    c.onGround = 1;
    c.callsign = st.callsign;
    c.liveryTitle = st.liveryTitle;
    c.hexid = st.hexid;
    return c;
}

}  // namespace

void lf_computeStaticParking() {
    g_computation = PendingComputation{};
    g_computation.pending = true;
    g_computation.asking = MAX_PARK_SEL.value() > 0 && gf_askParkedTraffic();
    if (!g_computation.asking) gf_staticParkingCycle();
}

void gf_staticParkingCycle() {
    PendingComputation& c = g_computation;
    if (!c.pending) return;
    if (g_stands.empty()) {
        c = PendingComputation{};
        return;
    }
    if (c.asking) {
        if (!gf_parkedTrafficAnswered() && !c.waited) {
            c.waited = true;
            return;
        }
        const std::optional<bool> answer = gf_takeParkedTrafficAnswer();
        c.asking = false;
        c.delivered = answer.value_or(false);
        if (c.delivered) c.parked = gf_takeParkedTraffic();
    }
    if (lf_runStaticParking(c.delivered ? &c.parked : nullptr)) c = PendingComputation{};
}

bool gf_staticParkingPending() {
    return g_computation.pending;
}

bool lf_runStaticParking(const std::vector<ParkedTrafficRecord>* parked) {
    const uint64_t slotValue = lf_logDayAndHour();
    if (!gf_isValidSlot(slotValue)) return false;
    gf_showMessage(
        "Making changes to airport parking parameters is disabled while static parking takes place ...",
        false);
    g_ptList.clear();
    g_staticCheckList.clear();
    g_liveOnStand.clear();
    gf_editStats([](WindowStats& s) {
        s.staticParkedAvgMinutes = -1;
        s.liveParkedAvgMinutes = -1;
        s.softMark = false;
    });
    lf_publishCallsignSet();
    for (Stand& s : g_stands) s.taken = s.reserved = s.blocked = false;
    lf_markReservedStands();
    gf_enableParkingControls();
    const bool rtOnly = RT_PARKTRAFFIC_ONLY.value();
    if (MAX_PARK_SEL.value() > 0) {
        if (parked != nullptr) lf_assignStandsToPt(*parked);
        if (!rtOnly)
            gf_logLine(
                fmt::format("{} parking position{} from PT", g_ptList.size(), gf_plural(g_ptList.size())));
    }
    if (!rtOnly) {
        const int64_t wanted = lf_wantedParkedCount();
        if (wanted > static_cast<int64_t>(g_ptList.size())) lf_fitRealThenSoft(slotValue, wanted, 0);
        std::stable_sort(g_ptList.begin(), g_ptList.end(), lf_byOffsetAscending);
        if (static_cast<int64_t>(g_ptList.size()) > wanted)
            g_ptList.resize(static_cast<size_t>(std::max<int64_t>(wanted, 0)));
    }
    // Statics that a newer parked-traffic record drove off their stand leave now.
    lf_removeQueuedStatics();
    const size_t n = g_ptList.size();
    if (n == 0) {
        gf_logLine("no parking positions found");
        gf_unlockParkingControls();
        return true;
    }
    const int percent = gf_percentage(static_cast<double>(n), static_cast<double>(g_stands.size()));
    if (rtOnly)
        gf_logLine(fmt::format("{} positions from RT parktraffic only\n", n));
    else
        gf_logLine(fmt::format("{} positions ({}% vs wanted {}%, with Max fit={} hours)\n", n, percent,
                               parking_percentage.value(),
                               gf_floatText(static_cast<float>(MAX_FIT.value() * 0.5 + 0.5))));
    std::stable_sort(g_ptList.begin(), g_ptList.end(),
                     [](const PtEntry& a, const PtEntry& b) { return a.slotOffset > b.slotOffset; });
    gf_lockParkingControls();
    return true;
}

void lf_publishCallsignSet() {
    GatheredCallsigns gathered = gf_takeGatheredCallsigns();
    g_liveCallsigns = std::move(gathered.callsigns);
    g_liveHexids = std::move(gathered.hexids);
}

void lf_markReservedStands(const ParkSite& site) {
    if (!site.reservedStand.empty())
        if (Stand* s = gf_findStandById(site.reservedStand)) s->reserved = true;
    const std::string userStand = gf_nearestStandName({g_userPosition.lat, g_userPosition.lon});
    if (userStand.empty() || userStand == site.reservedStand) return;
    if (Stand* s = gf_findStandById(userStand)) s->reserved = true;
}

void lf_assignStandsToPt(const std::vector<ParkedTrafficRecord>& parked) {
    const int64_t wanted = lf_wantedParkedCount();
    const bool rtOnly = RT_PARKTRAFFIC_ONLY.value();
    if (wanted == 0 && !rtOnly) return;
    const uint64_t now = g_currentSlot.load();
    for (const ParkedTrafficRecord& r : parked) {
        if (!rtOnly && static_cast<int64_t>(g_ptList.size()) >= wanted) break;
        if (lf_skipParkedRecord(r)) continue;
        lf_assignOne(r, now);
    }
}

bool lf_liveMatchesPt(const ParkedTrafficRecord& record, const LiveAircraft& ac) {
    if (ac.hexid == record.hexid) return true;
    if (gf_sameName(ac.callsign, record.callsign) ||
        (!record.callsign.empty() && ac.callsign == record.callsign + "_"))
        return true;
    return gf_sameName(ac.regcode, record.regcode);
}

void gf_placeStaticAircraft() {
    if (g_ptList.empty() || g_stands.empty()) return;
    PtEntry e = std::move(g_ptList.back());
    g_ptList.pop_back();
    const Stand* stand = gf_standById(static_cast<uint32_t>(std::max(e.standId, 0)));
    if (stand == nullptr) {
        gf_logWarning(fmt::format("stand with id {} not found",
                                  gf_standNameOfId(static_cast<uint32_t>(std::max(e.standId, 0)))));
        return;
    }
    if (lf_standBeingCleared(*stand)) {
        // Behind the other entries, so that they are placed meanwhile.
        g_ptList.insert(g_ptList.begin(), e);
        return;
    }
    if (!lf_standIsFree(e, *stand)) return;
    const uint32_t hexid = gf_nextStaticHexid();
    const std::string callsign =
        e.callsign.empty() ? fmt::format("{}{}{}", e.airline, hexid, "*") : lf_detcs(e);
    AircraftRec rec = lf_recordOf(e.airline, e.type, callsign, e.callsign, e.callsign2, e.reg);
    rec.hexid = hexid;
    AircraftRec st = gf_constructStaticAircraft(rec, stand->standId, stand->latitude, stand->longitude,
                                                stand->heading, stand->cargo);
    if (!gf_matchParkedAc(st, *stand)) return;
    st.noSourceHexid = e.noSourceHexid;
    st.sourceHexid = e.sourceHexid;
    const uint64_t now = g_currentSlot.load();
    st.parkSlot = gf_isValidSlot(now) ? gf_slotMinus(now, e.slotOffset) : now;
    st.lifeState = adding2sim;
    g_createDequeStatic.push_back(lf_staticCreate(st));
    g_staticAircraft.push_back(std::move(st));
}

std::string lf_detcs(const PtEntry& entry) {
    const std::string& first = entry.useFirstCallsign ? entry.callsign : entry.callsign2;
    const std::string& other = entry.useFirstCallsign ? entry.callsign2 : entry.callsign;
    const std::string& chosen = first.empty() ? other : first;
    if (chosen.empty()) {
        gf_logWarning(fmt::format("{} callsign is empty..", "lf_detcs"));
        return {};
    }
    return lf_normaliseCallsign(chosen);
}

std::string lf_normaliseCallsign(std::string_view callsign) {
    while (!callsign.empty() && callsign.back() == '_') callsign.remove_suffix(1);
    std::string out(callsign);
    if (out.empty() || out.back() != '*') out += '*';
    return out;
}

int64_t gf_countStaticAircraft(bool withAge) {
    const uint64_t now = g_currentSlot.load();
    int64_t count = 0, sum = 0;
    for (const AircraftRec& st : g_staticAircraft) {
        if (st.lifeState != active && st.lifeState != removingfromsim) continue;
        ++count;
        if (gf_isValidSlot(now) && gf_isValidSlot(st.parkSlot)) sum += gf_halfHoursSince(now, st.parkSlot);
    }
    if (withAge && !WEEK.value()) gf_showAverageParked(&WindowStats::staticParkedAvgMinutes, sum, count);
    return count;
}

void gf_removeAllStaticAircraft() {
    g_ptList.clear();
    gf_flushStatic();
    for (LiveAircraft& ac : g_liveRecords) {
        const uint32_t fs = ac.flightState;
        if (fs != parked && fs != pushing_back && fs != pushed_back && fs != taxi && fs != take_off) continue;
        gf_leaveStand(ac);
        ac.standId = 0;
        ac.standLat = ac.standLon = ac.standHeading = 0;
        ac.cargoStand = 0;
        if (ac.lifeState == active || ac.lifeState == adding2sim) removeAircraftFromSim(ac);
    }
    std::erase_if(g_liveRecords, [](const LiveAircraft& ac) { return ac.withdrawn != 0; });
    g_staticCheckList.clear();
    g_staticRemovalQueue.clear();
    g_liveOnStand.clear();
    g_computation = PendingComputation{};
    lf_resetStaticParking();
    if (MAX_LIVE_SEL.value() != g_maxLiveValue.load()) {
        MAX_LIVE_SEL.set(g_maxLiveValue.load());
        gf_applyMaxLive();
    }
}

bool gf_queueStaticRemoval(const AircraftRec& st) {
    return gf_queueStaticRemoval(StaticRemoval{st.callsign, st.standId, st.hexid});
}

bool gf_queueStaticRemoval(StaticRemoval removal) {
    const bool queued = std::any_of(
        g_staticRemovalQueue.begin(), g_staticRemovalQueue.end(),
        [&](const StaticRemoval& r) { return r.hexid == removal.hexid && r.callsign == removal.callsign; });
    if (queued) return false;
    g_staticRemovalQueue.push_back(std::move(removal));
    return true;
}

bool gf_isQueuedForRemoval(const AircraftRec& st) {
    return std::any_of(g_staticRemovalQueue.begin(), g_staticRemovalQueue.end(), [&](const StaticRemoval& r) {
        return r.hexid == st.hexid && r.callsign == st.callsign;
    });
}

void gf_dropPlannedOnStand(uint32_t standId) {
    std::erase_if(g_ptList,
                  [standId](const PtEntry& e) { return static_cast<uint32_t>(e.standId) == standId; });
}

uint32_t gf_nextStaticHexid() {
    for (uint32_t tries = 0; tries < kStaticHexidModulo; ++tries) {
        g_staticHexidCounter = (g_staticHexidCounter + 1) % kStaticHexidModulo;
        if (gf_findStaticByHexid(g_staticHexidCounter) == nullptr) break;
    }
    return g_staticHexidCounter;
}

void gf_resetStaticParking() {
    gf_resetStaticFit();
    gf_resetRenewal();
    gf_resetLiveParked();
    g_staticHexidCounter = 0;
    g_liveCallsigns.clear();
    g_liveHexids.clear();
    g_staticRemovalQueue.clear();
    g_computation = PendingComputation{};
}
