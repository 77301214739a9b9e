#include "static/live_parked.h"

#include <algorithm>
#include <unordered_set>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/clock.h"
#include "core/display.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "live/spawn.h"
#include "static/static_fit.h"
#include "static/static_place.h"

std::vector<LiveOnStand> g_liveOnStand;
std::atomic<bool> g_flushStaticRequested{false};
std::atomic<bool> g_clearReservedStandRequested{false};

namespace {

constexpr int64_t kClockTicksPerMinute = 600'000'000;

bool lf_isParkedActive(const LiveAircraft& ac) {
    return ac.flightState == parked && ac.lifeState == active;
}

int32_t lf_maxParkedMinutes(const LiveAircraft& ac) {
    return ac.category == static_cast<int32_t>(AircraftCategory::Heavy) ? kMaxParkedMinutesHeavy
                                                                        : kMaxParkedMinutes;
}

}  // namespace

void gf_flushStatic() {
    for (AircraftRec& st : g_staticAircraft) {
        if (st.lifeState == active) {
            removeAircraftFromSim(st);
        } else if (st.lifeState == adding2sim && !st.removeWhenItAppears) {
            if (gf_removeQueuedCreate(g_createDequeStatic, st.callsign, st.hexid))
                st.withdrawn = 1;
            else
                st.removeWhenItAppears = 1;
        }
    }
    std::erase_if(g_staticAircraft, [](const AircraftRec& st) { return st.withdrawn != 0; });
}

void gf_clearReservedStand(const ParkSite& site) {
    if (site.reservedStand.empty()) return;
    const Stand* stand = gf_findStandById(site.reservedStand);
    if (stand == nullptr || stand->standId == 0) return;
    const uint32_t id = stand->standId;
    for (AircraftRec& st : g_staticAircraft)
        if (st.standId == id && st.lifeState == active) return removeAircraftFromSim(st);
    for (LiveAircraft& ac : g_liveRecords)
        if (ac.standId == id && lf_isParkedActive(ac)) return removeAircraftFromSim(ac);
}

int64_t gf_liveParkedStats(bool withAge) {
    const uint64_t now = g_currentSlot.load();
    const bool ages = withAge && gf_isValidSlot(now);
    int64_t count = 0, sum = 0;
    for (const LiveAircraft& ac : g_liveRecords) {
        if (!lf_isParkedActive(ac)) continue;
        ++count;
        if (ages && gf_isValidSlot(ac.parkSlot)) sum += gf_halfHoursSince(now, ac.parkSlot);
    }
    if (withAge) gf_showAverageParked(&WindowStats::liveParkedAvgMinutes, sum, count);
    return count;
}

void gf_refreshCounts() {
    const int live = gf_countLiveInSim();
    const auto statics = static_cast<int>(gf_countStaticAircraft(false));
    const auto liveParked = static_cast<int>(gf_liveParkedStats(false));
    const WindowStats shown = gf_windowStats();
    if (shown.liveCount == live && shown.staticParkedCount == statics && shown.liveParkedCount == liveParked)
        return;
    gf_editStats([&](WindowStats& s) {
        s.liveCount = live;
        s.staticParkedCount = statics;
        s.liveParkedCount = liveParked;
    });
}

void gf_showAverageParked(float WindowStats::*field, int64_t sumHalfHours, int64_t count) {
    const float minutes = count == 0 ? 0.0f : static_cast<float>((sumHalfHours / (2.0 * count) + 0.5) * 60.0);
    if (gf_windowStats().*field == minutes) return;
    gf_editStats([field, minutes](WindowStats& s) { s.*field = minutes; });
}

void gf_removeOldParked() {
    g_liveOnStand.clear();
    const int64_t now = gf_clock100ns();
    for (LiveAircraft& ac : g_liveRecords) {
        if (!lf_isParkedActive(ac)) continue;
        int32_t minutes = 0;
        if (!ac.standSampleSeen) {
            minutes = static_cast<int32_t>((now - ac.steadySince) / kClockTicksPerMinute);
            if (!INITIAL_LOAD_ONLY.value() && minutes > lf_maxParkedMinutes(ac)) {
                removeAircraftFromSim(ac);
                continue;
            }
        }
        g_liveOnStand.push_back({ac.callsign, ac.standId, minutes});
    }
    std::stable_sort(
        g_liveOnStand.begin(), g_liveOnStand.end(),
        [](const LiveOnStand& a, const LiveOnStand& b) { return a.minutesParked < b.minutesParked; });
}

void gf_removeLiveParked(int64_t n) {
    if (n < 1) return;
    const auto order = lf_maxParkOrder();
    std::unordered_set<uint32_t> chosen;
    for (size_t i = 0; i < order.size() && static_cast<int64_t>(i) < n; ++i) chosen.insert(order[i].first);
    for (LiveAircraft& ac : g_liveRecords) {
        if (!chosen.count(ac.hexid)) continue;
        gf_logLine(fmt::format("live parked {} at {} removed", gf_acLabel(ac), gf_standNameOfId(ac.standId)));
        removeAircraftFromSim(ac);
    }
}

void gf_sweepDuplicateStatics() {
    if (g_staticAircraft.empty()) return;
    for (const LiveAircraft& ac : g_liveRecords) {
        if (ac.lifeState != active || !ac.onGround) continue;
        for (AircraftRec& st : g_staticAircraft) {
            if (st.lifeState != active) continue;
            if (gf_isStarredOf(st.callsign, ac.callsign) || gf_sameName(st.regcode, ac.regcode))
                return removeAircraftFromSim(st);
        }
    }
}

void gf_resetLiveParked() {
    g_liveOnStand.clear();
    g_flushStaticRequested = false;
    g_clearReservedStandRequested = false;
}
