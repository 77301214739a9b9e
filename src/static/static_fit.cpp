#include "static/static_fit.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/clock.h"
#include "core/display.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "core/random.h"
#include "core/slots.h"
#include "core/text.h"
#include "live/live_set.h"
#include "live/stand_choice.h"
#include "static/live_parked.h"
#include "static/static_place.h"

std::vector<PtEntry> g_ptList;
int32_t g_fitRealOffset = 0;
int32_t g_fitSoftOffset = -1;

namespace {

constexpr size_t kCandidateRoom = 256;
constexpr size_t kResultRoom = 512;
constexpr std::array<const char*, 7> kDayNames = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

float lf_hoursOf(int halfHours) {
    return static_cast<float>(halfHours * 0.5 + 0.5);
}

// What the fit asks of the aircraft already planned or standing somewhere, built once per fit so
// that a pass over 600 stands does not search the PT list and the statics for every option.
struct FitIndex {
    std::unordered_set<std::string> ptCallsigns, ptRegs;
    std::unordered_set<std::string> staticSpawnCallsigns, staticRegs;
    std::unordered_set<std::string> sourcedCallsigns, sourcedRegs;  // active statics from parked traffic
    std::unordered_set<std::string> liveOnStandCallsigns;
    std::vector<int32_t> firstActiveStatic;  // by standId: index into g_staticAircraft, -1 none

    void addPt(const PtEntry& e) {
        if (!e.callsign.empty()) ptCallsigns.insert(e.callsign);
        if (!e.reg.empty()) ptRegs.insert(e.reg);
    }

    void build(const std::vector<PtEntry>& pending) {
        *this = FitIndex{};
        for (const PtEntry& e : g_ptList) addPt(e);
        for (const PtEntry& e : pending) addPt(e);
        firstActiveStatic.assign(g_stands.size() + 1, -1);
        for (size_t i = 0; i < g_staticAircraft.size(); ++i) {
            const AircraftRec& st = g_staticAircraft[i];
            // A static aircraft on its way out no longer holds its aircraft (a full renewal
            // plans it anew) nor keeps its neighbours' options out.
            if (gf_isQueuedForRemoval(st)) continue;
            if (st.lifeState == active && st.standId < firstActiveStatic.size() &&
                firstActiveStatic[st.standId] < 0)
                firstActiveStatic[st.standId] = static_cast<int32_t>(i);
            if (!st.spawnCallsign.empty()) staticSpawnCallsigns.insert(st.spawnCallsign);
            if (!st.regcode.empty()) staticRegs.insert(st.regcode);
            if (st.lifeState != active || st.noSourceHexid != 0) continue;
            if (!st.callsign.empty()) sourcedCallsigns.insert(st.callsign);
            if (!st.regcode.empty()) sourcedRegs.insert(st.regcode);
        }
        for (const LiveOnStand& l : g_liveOnStand)
            if (!l.callsign.empty()) liveOnStandCallsigns.insert(l.callsign);
    }
};

// Max park reads the wanted count from the park site.
void lf_keepWantedForMaxPark(int64_t wanted) {
    if (gf_parkSite().code.empty() || gf_parkSite().wantedParked == wanted) return;
    ParkSite site = gf_parkSite();
    site.wantedParked = wanted;
    gf_setParkSite(std::move(site));
}

FitIndex g_fitIndex;
bool g_fitIndexBuilt = false;  // lf_isAircraftPresent outside a fit builds its own

bool lf_hasName(const std::unordered_set<std::string>& set, std::string_view name) {
    return !name.empty() && set.count(std::string(name)) > 0;
}

bool lf_hasStarred(const std::unordered_set<std::string>& set, std::string_view callsign) {
    return !callsign.empty() && set.count(fmt::format("{}*", callsign)) > 0;
}

bool lf_presentIn(const FitIndex& x, const StandOption& o) {
    if (lf_hasName(x.ptRegs, o.reg)) return true;
    if (lf_callsignInSet(g_liveCallsigns, o.callsign) || lf_callsignInSet(g_liveCallsigns, o.callsign2))
        return true;
    if (lf_hasName(x.staticSpawnCallsigns, o.callsign) || lf_hasName(x.staticSpawnCallsigns, o.callsign2) ||
        lf_hasName(x.staticRegs, o.reg))
        return true;
    if (lf_hasName(x.ptCallsigns, o.callsign) || lf_hasName(x.ptCallsigns, o.callsign2)) return true;
    if (lf_hasName(x.liveOnStandCallsigns, o.callsign) || lf_hasName(x.liveOnStandCallsigns, o.callsign2))
        return true;
    return lf_hasStarred(x.sourcedCallsigns, o.callsign) || lf_hasStarred(x.sourcedCallsigns, o.callsign2) ||
           lf_hasName(x.sourcedRegs, o.reg);
}

// A static aircraft on a neighbour stand whose wings would reach the option's aircraft.
bool lf_neighbourTooClose(const Stand& stand, double halfSpanNm) {
    for (uint32_t n : stand.neighbours) {
        if (n >= g_fitIndex.firstActiveStatic.size()) continue;
        const int32_t i = g_fitIndex.firstActiveStatic[n];
        if (i < 0) continue;
        const AircraftRec& st = g_staticAircraft[static_cast<size_t>(i)];
        if (gf_haversineNm({st.standLat, st.standLon}, stand.position()) < st.halfWingSpan + halfSpanNm)
            return true;
    }
    return false;
}

bool lf_optionQualifies(const Stand& stand, const StandOption& o, int mode, int day, int slot) {
    if (o.index == 0 || o.fitExcluded) return false;
    if (mode == kFitReal && o.real != 1) return false;
    if (mode == kFitSoft && o.real != 0) return false;
    if (!WEEK.value() && static_cast<int>(o.day) != day) return false;
    if (((o.hh >> slot) & 1u) == 0) return false;
    return !lf_neighbourTooClose(stand, gf_halfWingspan(o.type));
}

StandOption* lf_optionByIndex(Stand& stand, uint32_t index) {
    for (StandOption& o : stand.options)
        if (o.index == index && index > 0 && !o.fitExcluded) return &o;
    return nullptr;
}

void lf_takeStand(Stand& stand) {
    stand.taken = true;
    for (uint32_t n : stand.neighbours)
        if (Stand* s = gf_standById(n)) s->blocked = true;
}

void lf_pick(Stand& stand, const StandOption& o, uint64_t slotValue, int offset,
             std::vector<PtEntry>& results) {
    PtEntry e;
    e.standId = static_cast<int32_t>(stand.standId);
    e.slotOffset = offset;
    e.airline = o.airline;
    e.type = o.type;
    e.callsign = o.callsign;
    e.callsign2 = o.callsign2;
    e.reg = o.reg;
    e.useFirstCallsign = o.callsign2.empty() || gf_optionGoesOn(stand, o, slotValue) ? 1 : 0;
    g_fitIndex.addPt(e);
    results.push_back(std::move(e));
    lf_takeStand(stand);
}

int64_t lf_takenCount() {
    return std::count_if(g_stands.begin(), g_stands.end(), [](const Stand& s) { return s.taken; });
}

void lf_logFit(int64_t added, int mode, uint64_t slotValue, int offset) {
    const int slot = gf_slotOf(slotValue);
    const std::string when =
        WEEK.value() ? std::string(", week") : fmt::format(", day {}", gf_weekdayOf(slotValue));
    gf_logLine(fmt::format("{} {} position{} found, Max fit={} hours{}{}", added,
                           mode == kFitSoft ? "soft" : "real", gf_plural(added),
                           gf_floatText(lf_hoursOf(MAX_FIT.value())), when,
                           fmt::format(", hh:{} or {} hrs, fit: {} hour", slot,
                                       gf_floatText(lf_hoursOf(slot)), gf_floatText(lf_hoursOf(offset)))));
}

}  // namespace

bool gf_isValidSlot(uint64_t slotValue) {
    const int day = gf_weekdayOf(slotValue), slot = gf_slotOf(slotValue);
    return day >= 1 && day <= 7 && slot >= 0 && slot < kSlotsPerDay;
}

int gf_weekHalfHour(uint64_t slotValue) {
    return gf_weekSlotOf(slotValue);
}

uint64_t gf_slotMinus(uint64_t slotValue, int halfHours) {
    int week = (gf_weekHalfHour(slotValue) - halfHours) % kSlotsPerWeek;
    if (week < 0) week += kSlotsPerWeek;
    return gf_packSlot(week % kSlotsPerDay, week / kSlotsPerDay + 1);
}

int gf_halfHoursSince(uint64_t nowSlot, uint64_t thenSlot) {
    const int d = (gf_weekHalfHour(nowSlot) - gf_weekHalfHour(thenSlot)) % kSlotsPerWeek;
    return d < 0 ? d + kSlotsPerWeek : d;
}

bool gf_isStarredOf(std::string_view staticCallsign, std::string_view callsign) {
    return !callsign.empty() && staticCallsign.size() == callsign.size() + 1 &&
           staticCallsign.back() == '*' && staticCallsign.starts_with(callsign);
}

bool lf_callsignInSet(const std::unordered_set<std::string>& set, std::string_view callsign) {
    if (callsign.empty()) return false;
    std::string key(callsign);
    if (set.count(key)) return true;
    key += '_';
    return set.count(key) > 0;
}

int64_t lf_wantedParkedCount() {
    const int64_t n = static_cast<int64_t>(g_stands.size());
    if (MAX_PARK_SEL.value() <= 0) {
        gf_editStats([](WindowStats& s) {
            s.wantedCount = 0;
            s.wantedPercent = parking_percentage.value();
        });
        lf_keepWantedForMaxPark(0);
        return 0;
    }
    const int percent = CUSTOM_PARKING_PERCENTAGE.value() >= 0 ? CUSTOM_PARKING_PERCENTAGE.value()
                                                               : parking_percentage.value();
    int64_t wanted = 1;
    if (n > 1 && (n > 3 || percent >= 50)) wanted = std::llround(percent * static_cast<double>(n) / 100.0);
    wanted = std::min<int64_t>(wanted, MAX_PARK_SEL.value());
    gf_editStats([&](WindowStats& s) {
        s.wantedCount = static_cast<int>(wanted);
        s.wantedPercent = gf_percentage(static_cast<double>(wanted), static_cast<double>(n));
    });
    lf_keepWantedForMaxPark(wanted);
    return wanted;
}

uint64_t lf_logDayAndHour() {
    const uint64_t slotValue = g_currentSlot.load();
    const int day = gf_weekdayOf(slotValue);
    const char* name = day >= 1 && day <= 7 ? kDayNames[static_cast<size_t>(day - 1)] : "???";
    gf_logLine(fmt::format("\n{} (utc) It is day {} ({}), {} hours", gf_logStamp(), day, name,
                           gf_floatText(lf_hoursOf(gf_slotOf(slotValue)))));
    return slotValue;
}

void lf_fitRealThenSoft(uint64_t slotValue, int64_t wanted, int64_t extra) {
    g_fitRealOffset = 0;
    g_fitSoftOffset = -1;
    lf_fitParkedTraffic(slotValue, wanted, extra, kFitReal);
    if (wanted > static_cast<int64_t>(g_ptList.size()) + extra && (PARK_SOFT.value() || PARK_FAKE.value()))
        lf_fitParkedTraffic(slotValue, wanted, extra, kFitSoft);
}

void lf_fitParkedTraffic(uint64_t slotValue, int64_t wanted, int64_t extra, int mode) {
    if (!gf_isValidSlot(slotValue)) return;
    std::vector<PtEntry> results;
    results.reserve(kResultRoom);
    if (!lf_fitStands(slotValue, mode, wanted, results)) return;
    gf_shuffle(results);
    for (PtEntry& e : results) g_ptList.push_back(std::move(e));
    const int64_t size = static_cast<int64_t>(g_ptList.size());
    const int64_t excess = size - (wanted - extra);
    // Cut picks keep their stands taken for the rest of this calculation.
    if (excess > 0 && excess <= size) g_ptList.resize(static_cast<size_t>(size - excess));
}

bool lf_fitStands(uint64_t slotValue, int mode, int64_t wanted, std::vector<PtEntry>& results) {
    if (wanted <= 0) return true;
    const int64_t takenBefore = lf_takenCount();
    g_fitIndex.build(results);
    g_fitIndexBuilt = true;
    const int maxFit = std::clamp(MAX_FIT.value(), 0, kSlotsPerDay - 1);
    int offset = 0;
    bool reached = false;
    for (; offset <= maxFit; ++offset) {
        lf_searchStands(slotValue, mode, offset, results);
        if (lf_takenCount() >= wanted) {
            reached = true;
            break;
        }
        for (PtEntry& e : results) g_ptList.push_back(std::move(e));
        results.clear();
    }
    g_fitIndexBuilt = false;
    if (mode == kFitReal) {
        g_fitRealOffset = offset;
        g_fitSoftOffset = -1;
    } else {
        g_fitSoftOffset = offset;
    }
    const int64_t added = lf_takenCount() - takenBefore;
    if (added > 0) lf_logFit(added, mode, slotValue, offset);
    gf_editStats([&](WindowStats& s) { s.softMark = mode == kFitSoft && added > 0; }, Region::ParkingBand);
    return reached;
}

void lf_searchStands(uint64_t slotValue, int mode, int offset, std::vector<PtEntry>& results) {
    const uint64_t target = gf_slotMinus(slotValue, offset);
    const int day = gf_weekdayOf(target), slot = gf_slotOf(target);
    if (!g_fitIndexBuilt) g_fitIndex.build(results);
    std::vector<uint32_t> candidates;
    candidates.reserve(kCandidateRoom);
    for (Stand& stand : g_stands) {
        if (stand.reserved || stand.taken || stand.blocked) continue;
        if (stand.heli && !HELICOPTERS.value()) continue;
        candidates.clear();
        for (const StandOption& o : stand.options)
            if (lf_optionQualifies(stand, o, mode, day, slot)) candidates.push_back(o.index);
        if (candidates.empty()) continue;
        if (candidates.size() > 1) lf_orderStandCandidates(candidates, stand);
        StandOption* option = lf_optionByIndex(stand, candidates.front());
        if (option == nullptr) continue;
        if (lf_presentIn(g_fitIndex, *option)) {
            option->fitExcluded = true;
            continue;
        }
        lf_pick(stand, *option, slotValue, offset, results);
    }
}

void lf_orderStandCandidates(std::vector<uint32_t>& candidates, const Stand& stand) {
    if (candidates.size() < 2) return;
    for (const AircraftRec& st : g_staticAircraft) {
        if (st.noSourceHexid == 0 || st.standId != stand.standId) continue;
        for (const StandOption& o : stand.options) {
            if (!gf_isStarredOf(st.callsign, o.callsign) && !gf_isStarredOf(st.callsign, o.callsign2))
                continue;
            if (!gf_sameName(o.airline, st.airline) || !gf_sameName(o.type, st.type)) continue;
            // Only an option of this weekday, half-hour and mode may keep the standing aircraft.
            const auto it = std::find(candidates.begin(), candidates.end(), o.index);
            if (it == candidates.end()) continue;
            std::iter_swap(candidates.begin(), it);
            return;
        }
    }
    gf_shuffle(candidates);
}

bool lf_isAircraftPresent(const StandOption& option) {
    if (g_fitIndexBuilt) return lf_presentIn(g_fitIndex, option);
    FitIndex index;
    index.build({});
    return lf_presentIn(index, option);
}

bool gf_optionGoesOn(const Stand& stand, const StandOption& option, uint64_t slotValue) {
    const int slot = gf_slotOf(slotValue);
    if (slot + 1 < kSlotsPerDay) return ((option.hh >> (slot + 1)) & 1u) != 0;
    const uint32_t nextDay = static_cast<uint32_t>(gf_weekdayOf(slotValue) % 7 + 1);
    return std::any_of(stand.options.begin(), stand.options.end(), [&](const StandOption& o) {
        return &o != &option && o.index > 0 && !o.fitExcluded && o.day == nextDay &&
               gf_sameName(o.airline, option.airline) && gf_sameName(o.type, option.type) && (o.hh & 1u) != 0;
    });
}

namespace {
// Without a registration the option names the aircraft by its callsigns.
bool lf_optionNamesAc(const AircraftRec& ac, int day, const StandOption& o) {
    if (static_cast<int>(o.day) != day || !gf_sameName(o.airline, ac.airline) ||
        !gf_sameName(o.type, ac.type))
        return false;
    if (!o.reg.empty()) return o.reg == ac.regcode;
    return gf_sameName(o.callsign, ac.spawnCallsign) || gf_isStarredOf(ac.callsign, o.callsign) ||
           gf_isStarredOf(ac.callsign, o.callsign2);
}

bool lf_anyBitBetween(uint64_t hh, int high, int low) {
    for (int b = std::min(high, kSlotsPerDay - 1); b >= std::max(low, 0); --b)
        if ((hh >> b) & 1u) return true;
    return false;
}
}  // namespace

bool lf_isOptInSlotWindow(const AircraftRec& ac, int day, int slot, int window, const StandOption& option) {
    return lf_optionNamesAc(ac, day, option) && lf_anyBitBetween(option.hh, slot, slot - window);
}

bool lf_isOptInDayEndWindow(const AircraftRec& ac, int day, int window, const StandOption& option) {
    const int last = kSlotsPerDay - 1;
    return lf_optionNamesAc(ac, day, option) &&
           lf_anyBitBetween(option.hh, last, last - window < 1 ? 0 : last - window);
}

void gf_resetStaticFit() {
    g_ptList.clear();
    g_fitRealOffset = 0;
    g_fitSoftOffset = -1;
    g_fitIndex = FitIndex{};
    g_fitIndexBuilt = false;
}
