#include "live/stand_choice.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include <fmt/format.h>
#include <gsl/narrow>

#include "aircraft/type_database.h"
#include "airports/stand_options.h"
#include "core/log.h"
#include "core/params.h"
#include "core/random.h"
#include "core/slots.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion_legs.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/parking_slots.h"
#include "sim/sim_state.h"

namespace {

constexpr double kNoDistance = 900;  // nautical miles: farther than any stand of interest
constexpr double kEnlargedMarginNm = gf_metersToNm(1);
constexpr double kMovingSpawnMaxSpeedKt = 5;
constexpr double kMovingSpawnSpreadNm = gf_metersToNm(35);
constexpr double kSmallSizeStepNm = gf_metersToNm(14);
constexpr double kLargeSizeStepNm = gf_metersToNm(21);
constexpr int kNoScore = 100;
constexpr size_t kCandidateRoom = 256;
constexpr size_t kRetryStandLimit = 10;
constexpr double kLowAglFt = 2500;
constexpr int kDepartureRepeatHalfHours = 3;

// The last answer of gf_nearestStandName; both threads that ask hold the lock for the whole call.
struct NearestStandCache {
    std::mutex mutex;
    bool valid = false;
    uint64_t version = 0;
    LatLon position;
    std::string name;
};
NearestStandCache g_nearestStandCache;

ParkSite g_parkSite;  // the park airport as live traffic sees it; run thread only

LatLon lf_samplePosition(const PosSample& s) {
    return {s.lat, s.lon};
}

std::string lf_nearestPublishedName(const StandPoints& points, LatLon position) {
    const StandPoint* best = nullptr;
    double bestDistance = kNearestStandNameNm;
    for (const StandPoint& p : points) {
        const double d = gf_haversineNm(position, p.position);
        if (d <= bestDistance) {
            best = &p;
            bestDistance = d;
        }
    }
    return best ? best->name : std::string();
}

bool lf_isRotorcraft(const AircraftRec& ac) {
    return ac.category == static_cast<int32_t>(AircraftCategory::Rotorcraft);
}

bool lf_someOptionFits(const Stand& stand, const AircraftRec& ac) {
    return std::any_of(stand.options.begin(), stand.options.end(),
                       [&](const StandOption& o) { return gf_optionFitsAircraft(ac.callsign, ac, o); });
}

// The too-small stand an aircraft was accepted on grows to hold it; the parking file learns it.
void lf_enlargeStand(Stand& stand, const AircraftRec& ac) {
    stand.radius = ac.halfWingSpan - kEnlargedMarginNm;
    stand.radius_change = true;
    gf_countParkFileUpdate();
}

// A parked or pushing-back live aircraft of another callsign on a neighbour stand too close to
// the chosen one (neighbour stands without a position are ignored).
bool lf_neighbourBlocks(const LiveAircraft& ac, const Stand& stand) {
    for (uint32_t neighbourId : stand.neighbours) {
        const Stand* neighbour = gf_standById(neighbourId);
        if (neighbour == nullptr || !gf_isPositionSet(neighbour->position())) continue;
        for (const LiveAircraft& other : g_liveRecords) {
            if (other.standId != neighbourId || other.lifeState != active || other.callsign == ac.callsign)
                continue;
            if (other.flightState != parked && other.flightState != pushing_back) continue;
            if (gf_tooClose(neighbour->position(), stand.position(), gf_halfWingspan(other.type),
                            gf_halfWingspan(ac.type)))
                return true;
        }
    }
    return false;
}

// Where an aircraft that appears on the ground would stand: a moving front sample counts only
// when the aircraft is about to stop within 35 m, and then where it stops.
std::optional<LatLon> lf_spawnStandSearchPosition(const LiveAircraft& ac) {
    const PosSample& front = ac.stream.front();
    if (front.stationary) return lf_samplePosition(front);
    if (ac.stream.size() < 2 || ac.stream[1].gs > kMovingSpawnMaxSpeedKt) return std::nullopt;
    const LatLon back = lf_samplePosition(ac.stream.back());
    if (gf_haversineNm(lf_samplePosition(front), back) > kMovingSpawnSpreadNm) return std::nullopt;
    return back;
}

bool lf_isUsersStand(const Stand& stand, const ParkSite& site) {
    if (!site.reservedStand.empty() && stand.name == site.reservedStand) return true;
    const std::string userStand = gf_nearestStandName({g_userPosition.lat, g_userPosition.lon});
    return !userStand.empty() && userStand == stand.name;
}

// ---- candidates ----

using StandFilter = bool (*)(const Stand&, bool gate);

struct CandidateSearch {
    const AircraftRec& ac;
    int weekday;
    int slot;
    std::vector<StandCandidate> list;
    int best = kNoScore;
};

int32_t lf_roundScore(double value) {
    const double rounded = std::round(value);
    if (!(rounded >= std::numeric_limits<int32_t>::min() && rounded <= std::numeric_limits<int32_t>::max()))
        throw gsl::narrowing_error();
    return static_cast<int32_t>(rounded);
}

bool lf_standBookedAt(const Stand& stand, int weekday, int slot) {
    return std::any_of(stand.options.begin(), stand.options.end(), [&](const StandOption& o) {
        return static_cast<int>(o.day) == weekday && ((o.hh >> slot) & 1u) != 0;
    });
}

void lf_addCandidate(CandidateSearch& search, const Stand& stand, int32_t score) {
    if (score > search.best) return;
    search.best = score;
    const bool optionsFit = !search.ac.callsign.empty() && lf_someOptionFits(stand, search.ac);
    search.list.push_back({stand.name, score, optionsFit});
}

void lf_addCandidateBySize(CandidateSearch& search, const Stand& stand) {
    if (lf_standBookedAt(stand, search.weekday, search.slot) || !gf_standFits(search.ac.halfWingSpan, stand))
        return;
    const double step =
        search.ac.halfWingSpan <= kSmallAircraftHalfSpanNm ? kSmallSizeStepNm : kLargeSizeStepNm;
    lf_addCandidate(search, stand, lf_roundScore((stand.radius - search.ac.halfWingSpan) / step));
}

void lf_addCandidateAnySize(CandidateSearch& search, const Stand& stand) {
    if (lf_standBookedAt(stand, search.weekday, search.slot)) return;
    lf_addCandidate(search, stand, lf_roundScore(std::abs(search.ac.halfWingSpan - stand.radius)));
}

// One pass over the stands of a kind; true when it added a candidate.
bool lf_candidatePass(CandidateSearch& search, StandFilter filter, bool gate, bool bySize) {
    search.best = kNoScore;
    for (const Stand& stand : g_stands) {
        if (!filter(stand, gate)) continue;
        if (bySize)
            lf_addCandidateBySize(search, stand);
        else
            lf_addCandidateAnySize(search, stand);
    }
    return !search.list.empty();
}

bool lf_heliStand(const Stand& s, bool) {
    return s.heli;
}
bool lf_rampStand(const Stand& s, bool) {
    return s.ramp;
}
bool lf_cargoStand(const Stand& s, bool) {
    return s.cargo && !s.heli;
}
bool lf_notHeliStand(const Stand& s, bool) {
    return !s.heli;
}
bool lf_generalAviationStand(const Stand& s, bool) {
    return s.ramp && !s.cargo && !s.heli;
}
// Passenger stands: gate stands with the gate preference, ramp stands without it.
bool lf_passengerStand(const Stand& s, bool gate) {
    return !s.cargo && !s.heli && s.ramp == !gate;
}

// The passes of the aircraft's kind, each run only while the earlier ones found nothing.
void lf_runPasses(CandidateSearch& search, const ParkSite& site) {
    const AircraftRec& ac = search.ac;
    const auto pass = [&](StandFilter f, bool bySize, bool gate = false) {
        return lf_candidatePass(search, f, gate, bySize);
    };
    if (lf_isRotorcraft(ac)) {
        pass(lf_heliStand, true) || pass(lf_rampStand, true) || pass(lf_heliStand, false) ||
            pass(lf_rampStand, false);
        return;
    }
    if (ac.isCargo) {
        pass(lf_cargoStand, true) || pass(lf_cargoStand, false) || pass(lf_notHeliStand, true) ||
            pass(lf_notHeliStand, false);
        return;
    }
    const auto category = static_cast<AircraftCategory>(ac.category);
    if (category == AircraftCategory::Light || category == AircraftCategory::Buzjets || ac.airline == "PVT") {
        pass(lf_generalAviationStand, true) || pass(lf_generalAviationStand, false);
        return;
    }
    // US airports park airliners at gates; elsewhere one in ten looks at the ramp first.
    const bool gateFirst = site.code.starts_with('K') || gf_nextRandom() % 100 >= 10;
    pass(lf_passengerStand, true, gateFirst) || pass(lf_passengerStand, false, gateFirst) ||
        pass(lf_passengerStand, true, !gateFirst) || pass(lf_passengerStand, false, !gateFirst);
}

void lf_shuffleCandidates(std::vector<StandCandidate>& list) {
    for (size_t i = 1; i < list.size(); ++i) std::swap(list[i], list[gf_nextRandom() % (i + 1)]);
}

uint64_t lf_nextHalfHour(uint64_t slotValue) {
    const int slot = gf_slotOf(slotValue);
    const int weekday = gf_weekdayOf(slotValue);
    if (slot < kSlotsPerDay - 1) return gf_packSlot(slot + 1, weekday);
    return gf_packSlot(0, weekday >= 7 ? 1 : weekday + 1);
}

// ---- departure booking ----

// The aircraft's earlier soft booking on a stand is carried on to now.
bool lf_departureKnownStand(LiveAircraft& ac, uint64_t now) {
    for (Stand& stand : g_stands) {
        const auto entry = stand.slotMapB.find(ac.hexid);
        if (entry == stand.slotMapB.end() || entry->second.slot == now) continue;
        if (stand.standId < 1 || !gf_releaseStandSlots(stand.standId, ac, true, now, false)) return false;
        gf_setHexidSlot(ac.hexid, gf_slotOf(now));
        return true;
    }
    return false;
}

// At most one booking per aircraft in three half-hours; marks this one.
bool lf_departureSlotDue(const LiveAircraft& ac, uint64_t now) {
    const int slot = gf_slotOf(now);
    if (const HexidSlot* entry = gf_findHexidSlot(ac.hexid)) {
        const int age = ((slot - entry->slot) % kSlotsPerDay + kSlotsPerDay) % kSlotsPerDay;
        if (age < kDepartureRepeatHalfHours) return false;
    }
    gf_setHexidSlot(ac.hexid, slot);
    return true;
}

bool lf_registrationSeenNearNow(const AircraftRec& ac, uint64_t now) {
    const int weekday = gf_weekdayOf(now);
    const int slot = gf_slotOf(now);
    for (const Stand& stand : g_stands)
        for (const StandOption& o : stand.options)
            if (gf_optionHasSlotNear(weekday, slot, ac.regcode, o)) return true;
    return false;
}

}  // namespace

const ParkSite& gf_parkSite() {
    return g_parkSite;
}

bool gf_standFits(double halfWingSpanNm, const Stand& stand) {
    return halfWingSpanNm - stand.radius <= kStandFitToleranceNm;
}

Stand* gf_findStandById(std::string_view name) {
    for (Stand& s : g_stands)
        if (s.name == name) return &s;
    return nullptr;
}

std::string gf_nearestStandName(LatLon position) {
    std::lock_guard lock(g_nearestStandCache.mutex);
    if (!g_userOnGround.load()) return {};
    const PublishedStands published = gf_publishedStandsVersioned();
    if (published.points->empty()) return {};
    NearestStandCache& cache = g_nearestStandCache;
    if (cache.valid && cache.version == published.version && gf_samePosition(cache.position.lat, cache.position.lon, position.lat, position.lon))
        return cache.name;
    cache.name = lf_nearestPublishedName(*published.points, position);
    cache.position = position;
    cache.version = published.version;
    cache.valid = true;
    return cache.name;
}

Stand* gf_nearestFreeStand(LatLon position, const AircraftRec& ac, double radiusNm, bool prefer) {
    Stand* best = nullptr;
    double bestDistance = kNoDistance;
    bool bestTooSmall = false;
    Stand* preferred = nullptr;
    double preferredDistance = kNoDistance;
    for (Stand& stand : g_stands) {
        if (stand.occupied) continue;
        const double d = gf_haversineNm(position, stand.position());
        const bool fits = gf_standFits(ac.halfWingSpan, stand);
        if (d <= radiusNm && d < bestDistance) {
            if (fits || d <= kTooSmallAcceptedNm) {
                best = &stand;
                bestDistance = d;
                bestTooSmall = !fits;
            }
            // Something stands right here: a stand farther away is not the one meant.
            prefer = false;
        } else if (prefer && fits && d <= kPreferredStandNm && d < preferredDistance &&
                   !ac.callsign.empty() && lf_someOptionFits(stand, ac)) {
            preferred = &stand;
            preferredDistance = d;
        }
    }
    if (best == nullptr) best = preferred;
    if (best == nullptr || best->heli != lf_isRotorcraft(ac)) return nullptr;
    if (bestTooSmall) lf_enlargeStand(*best, ac);
    return best;
}

Stand* lf_standAtSpawn(LiveAircraft& ac, const ParkSite& site) {
    if (g_stands.empty() || site.code.empty() || ac.stream.empty()) return nullptr;
    PosSample& front = ac.stream.front();
    if (gf_haversineNm(lf_samplePosition(front), site.position) > kParkAirportNearNm) return nullptr;
    const std::optional<LatLon> position = lf_spawnStandSearchPosition(ac);
    if (!position) return nullptr;
    Stand* stand = gf_nearestFreeStand(*position, ac, kSpawnSearchNm, front.stationary != 0);
    if (stand == nullptr || lf_isUsersStand(*stand, site)) return nullptr;
    // The neighbours come first: an occupant that gave way to a newcomer who is then refused
    // would leave the stand empty for nobody.
    if (lf_neighbourBlocks(ac, *stand) || !lf_sameCallsignWantsStand(stand->standId, ac.callsign)) {
        ac.eraseFlag = 1;
        return nullptr;
    }
    lf_makesWay(ac, *stand);
    if (!front.stationary) {
        front.stationary = 1;
        front.gs = 0;
    }
    return stand;
}

Stand* lf_standCandidates(uint64_t slotValue, const AircraftRec& ac, bool retry, const ParkSite& site) {
    CandidateSearch search{ac, gf_weekdayOf(slotValue), gf_slotOf(slotValue), {}, kNoScore};
    if (search.slot < 0 || search.slot >= kSlotsPerDay) return nullptr;
    search.list.reserve(kCandidateRoom);
    lf_runPasses(search, site);
    if (search.list.empty()) {
        // A small airport has few stands to choose from: the next half-hour may free one.
        if (retry && g_stands.size() <= kRetryStandLimit)
            return lf_standCandidates(lf_nextHalfHour(slotValue), ac, false, site);
        return nullptr;
    }
    lf_shuffleCandidates(search.list);
    std::sort(search.list.begin(), search.list.end(), [](const StandCandidate& a, const StandCandidate& b) {
        if (a.optionsFit != b.optionsFit) return a.optionsFit;
        return a.score < b.score;
    });
    return gf_findStandById(search.list.front().name);
}

void lf_bookDepartureStand(LiveAircraft& ac, bool notFlying, const ParkSite& site) {
    if (!LEARN_SOFT.value() || !site.parkedFileRead || site.code.empty() || ac.standId != 0) return;
    if (gf_haversineNm({ac.lat, ac.lon}, site.position) > kParkAirportNearNm) return;
    if (!notFlying && ac.agl >= kLowAglFt) return;
    const uint64_t now = gf_slotAndWeekday();
    if (gf_slotOf(now) < 0 || gf_weekdayOf(now) < 1) return;
    if (lf_departureKnownStand(ac, now) || !lf_departureSlotDue(ac, now) ||
        lf_registrationSeenNearNow(ac, now))
        return;
    const Stand* stand = lf_standCandidates(now, ac, true, site);
    if (stand == nullptr) return;
    if (!gf_releaseStandSlots(stand->standId, ac, false, now, false)) gf_removeHexidSlot(ac.hexid);
}

void lf_clearCargoMark(const AircraftRec& ac, const ParkSite& site) {
    if (!ac.isCargo || ac.cargoStand) return;
    Stand* stand = gf_standById(ac.standId);
    if (stand == nullptr || !stand->cargo) return;
    stand->cargo = false;
    stand->cargo_change = true;
    gf_countParkFileUpdate();
    gf_logLine(fmt::format("{} stand: {}, cargo attribute set to false, {} parked here", site.code,
                           stand->name, gf_acLabel(ac)));
}

void gf_setParkSite(ParkSite site) {
    g_parkSite = std::move(site);
}

void gf_resetStandChoice() {
    g_parkSite = ParkSite{};
    std::lock_guard lock(g_nearestStandCache.mutex);
    g_nearestStandCache.valid = false;
    g_nearestStandCache.version = 0;
    g_nearestStandCache.position = {};
    g_nearestStandCache.name.clear();
}
