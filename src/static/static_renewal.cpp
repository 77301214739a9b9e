#include "static/static_renewal.h"

#include <algorithm>

#include <fmt/format.h>

#include "airports/park_airports.h"
#include "aircraft/type_database.h"
#include "core/display.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "core/text.h"
#include "feed/feed_state.h"
#include "feed/traffic_reader.h"
#include "live/live_set.h"
#include "live/removal.h"
#include "static/live_parked.h"
#include "static/static_place.h"

std::vector<StaticCheck> g_staticCheckList;

namespace {

// PT entries taken by the diff are marked here and dropped at its end, so that the indexes of
// the stand lookup stay valid while it runs.
std::vector<uint8_t> g_ptErased;
std::vector<std::vector<uint32_t>> g_ptOnStand;  // by standId: indexes into g_ptList

int lf_entryAge(const PtEntry& e) {
    const int o = e.slotOffset % kSlotsPerWeek;
    return o < 0 ? o + kSlotsPerWeek : o;
}

int lf_staticAge(const AircraftRec& st, uint64_t now) {
    return gf_isValidSlot(st.parkSlot) ? gf_halfHoursSince(now, st.parkSlot) : 0;
}

void lf_keep(const AircraftRec& st) {
    g_staticCheckList.push_back({st.callsign, st.spawnCallsign, st.coupledCallsign, st.regcode, st.airline,
                                 st.type, st.parkSlot, st.standId, st.hexid, 0, st.noSourceHexid != 0});
}

bool lf_isFittedActive(const AircraftRec& st) {
    return st.noSourceHexid == 1 && st.lifeState == active && !gf_isQueuedForRemoval(st);
}

void lf_takeWithNeighbours(uint32_t standId) {
    Stand* stand = gf_standById(standId);
    if (stand == nullptr) return;
    stand->taken = true;
    for (uint32_t n : stand->neighbours)
        if (Stand* s = gf_standById(n)) s->blocked = true;
}

void lf_indexPtByStand() {
    g_ptErased.assign(g_ptList.size(), 0);
    g_ptOnStand.assign(g_stands.size() + 1, {});
    for (size_t i = 0; i < g_ptList.size(); ++i) {
        const auto id = static_cast<size_t>(std::max(g_ptList[i].standId, 0));
        if (id < g_ptOnStand.size()) g_ptOnStand[id].push_back(static_cast<uint32_t>(i));
    }
}

int64_t lf_firstPtOn(uint32_t standId) {
    if (standId >= g_ptOnStand.size()) return -1;
    for (uint32_t i : g_ptOnStand[standId])
        if (!g_ptErased[i]) return i;
    return -1;
}

void lf_dropErasedPt() {
    size_t i = 0;
    std::erase_if(g_ptList, [&](const PtEntry&) { return g_ptErased[i++] != 0; });
    g_ptErased.clear();
    g_ptOnStand.clear();
}

bool lf_inLiveTraffic(const AircraftRec& st) {
    return (!st.spawnCallsign.empty() && g_liveCallsigns.count(st.spawnCallsign)) ||
           (!st.coupledCallsign.empty() && g_liveCallsigns.count(st.coupledCallsign));
}

// A PT entry on a neighbour stand whose wings would reach the static aircraft; -1 none.
int64_t lf_ptTooCloseBeside(const AircraftRec& st, const Stand& stand) {
    for (uint32_t n : stand.neighbours) {
        const Stand* other = gf_standById(n);
        if (other == nullptr || n >= g_ptOnStand.size()) continue;
        const double distance = gf_haversineNm(stand.position(), other->position());
        for (uint32_t i : g_ptOnStand[n])
            if (!g_ptErased[i] && gf_halfWingspan(g_ptList[i].type) + st.halfWingSpan > distance) return i;
    }
    return -1;
}

// The stand's options still hold the aircraft within the window of the last fit.
bool lf_stillFits(const AircraftRec& st, const Stand& stand, uint64_t slotValue) {
    const int d = gf_weekdayOf(slotValue), s = gf_slotOf(slotValue);
    const int w = std::min(std::max(g_fitRealOffset, g_fitSoftOffset), kSlotsPerDay - 1);
    for (const StandOption& o : stand.options)
        if (lf_isOptInSlotWindow(st, d, s, w, o)) return true;
    if (s - w >= 0) return false;
    const int previousDay = d == 1 ? 7 : d - 1;
    // Half-hours s down to 0 took s + 1 of the window's w + 1; the rest, from 47 down, is w - s
    // half-hours wide, which the day-end window counts as w - s - 1.
    const int width = std::min(w - s - 1, kSlotsPerDay - 2);
    return std::any_of(stand.options.begin(), stand.options.end(), [&](const StandOption& o) {
        return lf_isOptInDayEndWindow(st, previousDay, width, o);
    });
}

void lf_diffOne(AircraftRec& st, uint64_t slotValue) {
    if (lf_inLiveTraffic(st)) return (void)gf_queueStaticRemoval(st);
    const int64_t onStand = lf_firstPtOn(st.standId);
    if (onStand >= 0) {
        const PtEntry& e = g_ptList[static_cast<size_t>(onStand)];
        const bool same =
            gf_sameName(e.airline, st.airline) && gf_sameName(e.type, st.type) &&
            (gf_isStarredOf(st.callsign, e.callsign) || gf_isStarredOf(st.callsign, e.callsign2));
        if (!same) return lf_checkStaticExpiry(st, static_cast<size_t>(onStand), slotValue);
        lf_keep(st);
        g_ptErased[static_cast<size_t>(onStand)] = 1;
        return;
    }
    const Stand* stand = gf_standById(st.standId);
    if (stand == nullptr) return (void)gf_queueStaticRemoval(st);
    const int64_t beside = lf_ptTooCloseBeside(st, *stand);
    if (beside >= 0) return lf_checkStaticExpiry(st, static_cast<size_t>(beside), slotValue);
    if (lf_stillFits(st, *stand, slotValue)) return lf_keep(st);
    gf_queueStaticRemoval(st);
}

// A kept aircraft flying out after this half-hour under its second callsign is placed again
// with that callsign.
void lf_markDepartures(uint64_t slotValue) {
    const auto day = static_cast<uint32_t>(gf_weekdayOf(slotValue));
    for (StaticCheck& c : g_staticCheckList) {
        if (c.coupledCallsign.empty() || c.spawnCallsign.empty() ||
            c.callsign.find(c.spawnCallsign) == std::string::npos)
            continue;
        const Stand* stand = gf_standById(c.standId);
        if (stand == nullptr) continue;
        const std::string_view flying = std::string_view(c.callsign).substr(0, c.callsign.size() - 1);
        for (const StandOption& o : stand->options) {
            if (o.index == 0 || o.day != day || !gf_sameName(o.callsign, flying)) continue;
            if (!gf_sameName(o.airline, c.airline) || !gf_sameName(o.type, c.type)) continue;
            if (!gf_optionGoesOn(*stand, o, slotValue)) c.renew = 1;
            break;
        }
    }
}

void lf_replaceRenewed(uint64_t now) {
    for (const StaticCheck& c : g_staticCheckList) {
        if (!c.renew) continue;
        PtEntry e;
        e.standId = static_cast<int32_t>(c.standId);
        // The aircraft placed again keeps the half-hour it parked in.
        e.slotOffset = gf_isValidSlot(c.parkSlot) ? gf_halfHoursSince(now, c.parkSlot) : 0;
        e.airline = c.airline;
        e.type = c.type;
        e.callsign = c.spawnCallsign;
        e.callsign2 = c.coupledCallsign;
        e.reg = c.regcode;
        e.useFirstCallsign = 0;
        g_ptList.push_back(std::move(e));
        gf_queueStaticRemoval(StaticRemoval{c.callsign, c.standId, c.hexid});
    }
    std::erase_if(g_staticCheckList, [](const StaticCheck& c) { return c.renew != 0; });
}

void lf_startAdjustments(bool full) {
    lf_publishCallsignSet();
    gf_lockParkingControls();
    gf_editStats([](WindowStats& s) { s.softMark = false; }, Region::ParkingBand);
    g_staticRemovalQueue.clear();
    g_staticCheckList.clear();
    g_liveOnStand.clear();
    g_ptList.clear();
    for (Stand& stand : g_stands) {
        stand.taken = stand.reserved = stand.blocked = false;
        for (StandOption& o : stand.options) o.fitExcluded = false;
    }
    lf_markReservedStands();
    if (!full) return;
    for (AircraftRec& st : g_staticAircraft)
        if (st.noSourceHexid == 1 && st.lifeState == active) gf_queueStaticRemoval(st);
}

void lf_limitLiveParked(int64_t wanted) {
    gf_removeOldParked();
    const int64_t excess = static_cast<int64_t>(g_liveOnStand.size()) - wanted;
    if (RT_PARKTRAFFIC_ONLY.value() || wanted <= 0 || excess <= 0) return;
    gf_showMessage(fmt::format("Parking adjustments: {} more live ac than wanted", excess), true);
    gf_removeLiveParked(excess);
    g_liveOnStand.clear();
    gf_removeOldParked();
}

void lf_report(const char* what) {
    gf_showMessage(fmt::format("{}: {} to be removed, {} to be added", what, g_staticRemovalQueue.size(),
                               g_ptList.size()),
                   true);
}

}  // namespace

void gf_startRenewal() {
    gf_startCallsignGathering();
    gf_askParkedTraffic();
}

bool gf_adjustParking(bool full) {
    const uint64_t slotValue = lf_logDayAndHour();
    if (!gf_isValidSlot(slotValue)) return false;
    lf_startAdjustments(full);
    const int64_t wanted = lf_wantedParkedCount();
    lf_limitLiveParked(wanted);
    for (const LiveOnStand& l : g_liveOnStand) lf_takeWithNeighbours(l.standId);
    const bool delivered = gf_takeParkedTrafficAnswer().value_or(false);
    if (delivered) lf_addNewPtPositions(gf_takeParkedTraffic());
    if (delivered && RT_PARKTRAFFIC_ONLY.value()) {
        lf_report("ParkTraffic changes");
        lf_removeQueuedStatics();
        return true;
    }
    lf_dropStaticsNotInPt(full, slotValue);
    const auto extra = static_cast<int64_t>(g_liveOnStand.size() + g_staticCheckList.size());
    for (const StaticCheck& c : g_staticCheckList) lf_takeWithNeighbours(c.standId);
    if (wanted - static_cast<int64_t>(g_ptList.size()) != extra) {
        g_fitRealOffset = 0;
        g_fitSoftOffset = -1;
        lf_fitParkedTraffic(slotValue, wanted, extra, kFitReal);
        if (static_cast<int64_t>(g_ptList.size()) + extra < wanted &&
            (PARK_SOFT.value() || PARK_FAKE.value()))
            lf_fitParkedTraffic(slotValue, wanted, extra, kFitSoft);
    }
    lf_diffStaticAgainstFit(slotValue);
    lf_replaceRenewed(slotValue);
    lf_trimToWanted(wanted);
    std::stable_sort(g_ptList.begin(), g_ptList.end(),
                     [](const PtEntry& a, const PtEntry& b) { return a.slotOffset > b.slotOffset; });
    lf_report("Parking adjustments");
    lf_removeQueuedStatics();
    return true;
}

void lf_diffStaticAgainstFit(uint64_t slotValue) {
    lf_indexPtByStand();
    for (AircraftRec& st : g_staticAircraft)
        if (lf_isFittedActive(st)) lf_diffOne(st, slotValue);
    lf_dropErasedPt();
    // The trim takes from the back: fitted aircraft go before the parked traffic the feed
    // confirms, each kind latest parked first.
    std::stable_sort(
        g_staticCheckList.begin(), g_staticCheckList.end(), [&](const StaticCheck& a, const StaticCheck& b) {
            if (a.fitted != b.fitted) return b.fitted;
            const int ageA = gf_isValidSlot(a.parkSlot) ? gf_halfHoursSince(slotValue, a.parkSlot) : 0;
            const int ageB = gf_isValidSlot(b.parkSlot) ? gf_halfHoursSince(slotValue, b.parkSlot) : 0;
            return ageA < ageB;
        });
    lf_markDepartures(slotValue);
}

void lf_checkStaticExpiry(const AircraftRec& st, size_t ptIndex, uint64_t slotValue) {
    if (lf_entryAge(g_ptList[ptIndex]) < lf_staticAge(st, slotValue)) {
        gf_queueStaticRemoval(st);
        return;
    }
    lf_keep(st);
    if (ptIndex < g_ptErased.size()) g_ptErased[ptIndex] = 1;
}

void lf_addNewPtPositions(const std::vector<ParkedTrafficRecord>& parked) {
    lf_assignStandsToPt(parked);
    for (AircraftRec& st : g_staticAircraft) {
        // A static that a newer record drove off its stand leaves with the queue.
        if (st.noSourceHexid != 0 || st.lifeState != active || gf_isQueuedForRemoval(st)) continue;
        if (g_liveHexids.count(st.sourceHexid)) {
            gf_queueStaticRemoval(st);
            continue;
        }
        auto e = std::find_if(g_ptList.begin(), g_ptList.end(),
                              [&](const PtEntry& p) { return lf_ptMatchesStatic(st, p); });
        if (e == g_ptList.end() || static_cast<uint32_t>(e->standId) != st.standId) {
            gf_queueStaticRemoval(st);
            continue;
        }
        lf_keep(st);
        g_ptList.erase(e);
    }
    gf_logLine(fmt::format("{} new parking position{} from PT", g_ptList.size(), gf_plural(g_ptList.size())));
}

bool lf_ptMatchesStatic(const AircraftRec& st, const PtEntry& entry) {
    return gf_isStarredOf(st.callsign, entry.callsign) || gf_isStarredOf(st.callsign, entry.callsign2) ||
           gf_sameName(entry.reg, st.regcode);
}

void lf_dropStaticsNotInPt(bool full, uint64_t slotValue) {
    if (full) return;
    for (AircraftRec& st : g_staticAircraft) {
        if (!lf_isFittedActive(st)) continue;
        auto e = std::find_if(g_ptList.begin(), g_ptList.end(), [&](const PtEntry& p) {
            return static_cast<uint32_t>(p.standId) == st.standId || gf_isStarredOf(st.callsign, p.callsign);
        });
        if (e == g_ptList.end()) continue;
        if (lf_entryAge(*e) >= lf_staticAge(st, slotValue)) {
            g_ptList.erase(e);
            continue;
        }
        if (gf_isStarredOf(st.callsign, e->callsign)) {
            if (gf_sameName(e->airline, st.airline) && gf_sameName(e->type, st.type)) g_ptList.erase(e);
            continue;
        }
        gf_queueStaticRemoval(st);
    }
}

void lf_trimToWanted(int64_t wanted) {
    int64_t excess =
        static_cast<int64_t>(g_liveOnStand.size() + g_staticCheckList.size() + g_ptList.size()) - wanted;
    for (; excess > 0; --excess) {
        if (!g_ptList.empty()) {
            g_ptList.pop_back();
            continue;
        }
        if (!g_staticCheckList.empty()) {
            const StaticCheck& c = g_staticCheckList.back();
            gf_queueStaticRemoval(StaticRemoval{c.callsign, c.standId, c.hexid});
            g_staticCheckList.pop_back();
            continue;
        }
        // Without a wanted count live parked aircraft are not limited.
        if (wanted < 1 || g_liveOnStand.empty()) return;
        const uint32_t standId = g_liveOnStand.back().standId;
        g_liveOnStand.pop_back();
        for (LiveAircraft& ac : g_liveRecords)
            if (ac.standId == standId && ac.flightState == parked && ac.lifeState == active) {
                removeAircraftFromSim(ac);
                break;
            }
    }
}

void lf_removeQueuedStatics() {
    for (const StaticRemoval& r : g_staticRemovalQueue)
        for (AircraftRec& st : g_staticAircraft)
            if (st.hexid == r.hexid && st.standId == r.standId &&
                (st.lifeState == active || st.lifeState == removingfromsim)) {
                removeAircraftFromSim(st);
                break;
            }
    g_staticRemovalQueue.clear();
    gf_eraseFinishedStatics();
    if (!g_ptList.empty()) gf_lockParkingControls();
}

void gf_resetRenewal() {
    g_staticCheckList.clear();
    g_ptErased.clear();
    g_ptOnStand.clear();
}
