#include "live/parking_slots.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <stdexcept>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/slots.h"

std::vector<HexidSlot> g_hexidValues;

namespace {

// What one booking works on: real options with slotMapA, or soft options with slotMapB.
struct BookingMode {
    uint32_t real = 1;
    bool extra = false;  // soft bookings only: book the stay even while the aircraft stays
    bool leaving = false;
};

bool lf_isTodayOption(const StandOption& o, uint32_t today, std::string_view key, uint32_t real,
                      uint32_t origin) {
    return o.index != 0 && o.day == today && o.reg == key && o.real == real && o.origin == origin;
}

// The park airport's own file knows when this aircraft stands here today; a half-hour it does
// not list is not learned over it.
bool lf_fileOptionRefuses(const Stand& stand, uint32_t today, std::string_view key, uint32_t real, int slot) {
    return std::any_of(stand.options.begin(), stand.options.end(), [&](const StandOption& o) {
        return lf_isTodayOption(o, today, key, real, 1) && ((o.hh >> slot) & 1u) == 0;
    });
}

std::optional<uint32_t> lf_newOption(Stand& stand, const LiveAircraft& ac, std::string_view key, uint64_t now,
                                     uint32_t real) {
    return gf_newOption(stand.options, ac, real, now, ac.callsign, key);
}

void lf_remember(Stand& stand, const LiveAircraft& ac, uint64_t now, uint32_t real, uint32_t index) {
    auto& map = real ? stand.slotMapA : stand.slotMapB;
    map.insert_or_assign(ac.hexid, StandSlotEntry{ac.hexid, now, index});
}

// The option index of the aircraft's map entry when it was booked on another weekday; 0 when not.
uint32_t lf_earlierDayEntry(const Stand& stand, const LiveAircraft& ac, uint32_t today, uint32_t real) {
    const auto& map = real ? stand.slotMapA : stand.slotMapB;
    const auto it = map.find(ac.hexid);
    if (it == map.end() || static_cast<uint32_t>(gf_weekdayOf(it->second.slot)) == today) return 0;
    return it->second.optionIndex;
}

// A stay already booked earlier in this run (entry E of the stand's map) is judged against now.
void lf_bookWithEntry(Stand& stand, const LiveAircraft& ac, std::string_view key, uint64_t now,
                      BookingMode mode, uint32_t foundIndex) {
    auto& map = mode.real ? stand.slotMapA : stand.slotMapB;
    const auto it = map.find(ac.hexid);
    if (it == map.end()) {
        const auto index = lf_newOption(stand, ac, key, now, mode.real);
        if (index && !mode.real && !mode.leaving) lf_remember(stand, ac, now, mode.real, *index);
        return;
    }
    // Real bookings end the entry at every later booking; soft ones keep it until the aircraft leaves.
    const bool dropEntry = mode.real || mode.leaving;
    if (it->second.slot != now) {
        const bool fits = lf_slotFits(now, stand, foundIndex, it->second, ac, key, mode.real);
        if (!fits && dropEntry) lf_newOption(stand, ac, key, now, mode.real);
    }
    if (dropEntry) map.erase(ac.hexid);
}

// Steps 3 to 8 of a booking; true when it completed.
bool lf_bookAtStand(Stand& stand, const LiveAircraft& ac, std::string_view key, uint64_t now,
                    BookingMode mode) {
    gf_weekSlotOf(now);
    const int slot = gf_slotOf(now);
    const auto today = static_cast<uint32_t>(gf_weekdayOf(now));
    if (lf_fileOptionRefuses(stand, today, key, mode.real, slot)) return false;

    const auto found = std::find_if(stand.options.begin(), stand.options.end(), [&](const StandOption& o) {
        return lf_isTodayOption(o, today, key, mode.real, 0);
    });
    const bool askMore = mode.real ? mode.leaving : (mode.extra || mode.leaving);
    if (found == stand.options.end()) {
        // A stay that began before midnight has no option of today yet: its entry books the
        // half-hours of both days, over the week's end as well.
        if (const uint32_t earlier = lf_earlierDayEntry(stand, ac, today, mode.real); askMore && earlier != 0) {
            lf_bookWithEntry(stand, ac, key, now, mode, earlier);
            return true;
        }
        if (const auto index = lf_newOption(stand, ac, key, now, mode.real))
            lf_remember(stand, ac, now, mode.real, *index);
        return true;
    }
    const uint64_t bit = uint64_t{1} << slot;
    if ((found->hh & bit) != 0) return true;
    if (!askMore) {
        found->hh |= bit;
        return true;
    }
    lf_bookWithEntry(stand, ac, key, now, mode, found->index);
    return true;
}

bool lf_book(uint32_t standId, const LiveAircraft& ac, uint64_t now, BookingMode mode) {
    const std::string_view key = ac.regcode.empty() ? std::string_view(ac.callsign) : ac.regcode;
    if (key.empty()) return false;
    Stand* stand = gf_standById(standId);
    if (stand == nullptr) return false;
    try {
        if (!lf_bookAtStand(*stand, ac, key, now, mode)) return false;
        gf_countParkFileUpdate();
        return true;
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: hh_now: {}, {}", "lt_addStandOption", gf_slotOf(now), e.what()));
        return false;
    }
}

}  // namespace

bool lt_addStandOption(uint32_t standId, const LiveAircraft& ac, bool /*unused*/, uint64_t now,
                       bool leaving) {
    return lf_book(standId, ac, now, BookingMode{1, false, leaving});
}

bool gf_releaseStandSlots(uint32_t standId, const LiveAircraft& ac, bool extra, uint64_t now, bool leaving) {
    return lf_book(standId, ac, now, BookingMode{0, extra, leaving});
}

bool lf_slotFits(uint64_t now, Stand& stand, uint32_t optionIndex, StandSlotEntry& entry,
                 const LiveAircraft& ac, std::string_view key, uint32_t real) {
    if (optionIndex == 0 || now == entry.slot) return true;
    const int n = gf_weekHalfHoursSince(entry.slot, now);
    if (n < 1 || n >= gf_stayLimit(ac)) return false;
    if (gf_weekdayOf(now) != gf_weekdayOf(entry.slot)) {
        const auto index = gf_newOption(stand.options, ac, real, now, ac.callsign, key);
        if (!index) return false;
        gf_bookOptionSlots(stand, now, ac.callsign, n, entry.optionIndex, *index);
        entry.optionIndex = *index;
    } else {
        SlotList slots = gf_slotsBefore(n, now);
        updateOptions(stand.options, slots, entry.optionIndex);
        gf_addCallsignToOption(stand.options, entry.optionIndex, ac.callsign);
    }
    entry.slot = now;
    return true;
}

void gf_bookOptionSlots(Stand& stand, uint64_t now, std::string_view callsign, int n, uint32_t earlierIndex,
                        uint32_t newIndex) {
    SlotList slots = gf_slotsBefore(n, now);
    updateOptionsWrapped(stand.options, slots, earlierIndex, newIndex);
    gf_addCallsignToOption(stand.options, earlierIndex, callsign);
    gf_addCallsignToOption(stand.options, newIndex, callsign);
}

SlotList gf_slotsBefore(int n, uint64_t now) {
    if (n < 0 || n > kSlotsPerWeek) throw std::out_of_range(kBitsetPositionError);
    int slot = gf_checkSlot(gf_slotOf(now));
    SlotList slots;
    slots.reserve(static_cast<size_t>(std::max(n, kSlotsPerDay)));
    for (int i = 0; i < n; ++i) {
        slots.push_back(slot);
        slot = slot == 0 ? kSlotsPerDay - 1 : slot - 1;
    }
    return slots;
}

int gf_weekHalfHoursSince(uint64_t from, uint64_t to) {
    const int n = gf_weekSlotOf(to) - gf_weekSlotOf(from);
    return n < 0 ? n + kSlotsPerWeek : n;
}

int gf_stayLimit(const AircraftRec& ac) {
    if (ac.isCargo) return kCargoStayLimit;
    if (ac.category == static_cast<int32_t>(AircraftCategory::Heavy)) return kHeavyStayLimit;
    return kOtherStayLimit;
}

HexidSlot* gf_findHexidSlot(uint32_t hexid) {
    const auto it = std::find_if(g_hexidValues.begin(), g_hexidValues.end(),
                                 [hexid](const HexidSlot& v) { return v.hexid == hexid; });
    return it == g_hexidValues.end() ? nullptr : &*it;
}

void gf_setHexidSlot(uint32_t hexid, int slot) {
    gf_checkSlot(slot);
    if (HexidSlot* entry = gf_findHexidSlot(hexid)) {
        entry->slot = slot;
        return;
    }
    g_hexidValues.push_back({hexid, slot});
}

bool gf_removeHexidSlot(uint32_t hexid) {
    const HexidSlot* entry = gf_findHexidSlot(hexid);
    if (entry == nullptr) return false;
    g_hexidValues.erase(g_hexidValues.begin() + (entry - g_hexidValues.data()));
    return true;
}

void gf_resetParkingSlots() {
    g_hexidValues.clear();
}

void gf_resetParkingSlotsProcess() {
    g_hexidValues.clear();
    g_hexidValues.shrink_to_fit();
}
