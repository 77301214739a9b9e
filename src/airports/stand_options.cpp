#include "airports/stand_options.h"

#include <algorithm>
#include <exception>
#include <string>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/display.h"
#include "core/log.h"
#include "core/slots.h"

int32_t g_parkFileUpdates = 0;

namespace {

// Callsigns of the second leg of a flight sometimes carry a trailing "_"; it names the same
// flight, so it never counts as a different callsign.
std::string_view lf_withoutMark(std::string_view callsign) {
    if (!callsign.empty() && callsign.back() == '_') callsign.remove_suffix(1);
    return callsign;
}

bool lf_hasSlot(uint64_t hh, int slot) {
    return ((hh >> gf_checkSlot(slot)) & 1u) != 0;
}

void lf_setSlot(uint64_t& hh, int slot) {
    hh |= uint64_t{1} << gf_checkSlot(slot);
}

// First option with that index; index 0 never names an option (0 marks an inert one).
StandOption* lf_findOption(std::vector<StandOption>& options, uint32_t index) {
    if (index == 0) return nullptr;
    const auto it = std::find_if(options.begin(), options.end(),
                                 [index](const StandOption& o) { return o.index == index; });
    return it == options.end() ? nullptr : &*it;
}

// Moves the back slot into the option's half-hours; the slot leaves the list only once set.
int lf_moveBackSlot(StandOption& option, SlotList& slots) {
    const int slot = slots.back();
    lf_setSlot(option.hh, slot);
    slots.pop_back();
    return slot;
}

// Numbers grow as options are appended, but an option of index 0 (one that takes part in
// nothing) may stand anywhere in the list, also last; the static fit leaves numbers alone and
// marks the options it sets aside apart. So the next number comes from the highest index,
// never from the last option alone.
uint32_t lf_nextIndex(const std::vector<StandOption>& options) {
    uint32_t highest = 0;
    for (const StandOption& o : options) highest = std::max(highest, o.index);
    return highest + 1;
}

}  // namespace

bool gf_optionFitsAircraft(std::string_view callsign, const AircraftRec& ac, const StandOption& option) {
    if (option.index == 0 || option.real != 1) return false;
    if (option.callsign == callsign || option.callsign2 == callsign) return true;
    return option.airline == ac.airline && option.type == ac.type;
}

bool gf_optionHasSlotNear(int weekday, int slot, std::string_view reg, const StandOption& option) {
    if (option.index == 0 || option.real != 1) return false;
    if (static_cast<int64_t>(option.day) != weekday || option.reg != reg) return false;
    gf_checkSlot(slot);
    return lf_hasSlot(option.hh, slot) || lf_hasSlot(option.hh, (slot + 47) % kSlotsPerDay) ||
           lf_hasSlot(option.hh, (slot + 1) % kSlotsPerDay);
}

std::optional<uint32_t> gf_newOption(std::vector<StandOption>& options, const AircraftRec& fallback,
                                     uint32_t real, uint64_t now, std::string_view callsign,
                                     std::string_view reg) {
    if (reg.empty()) return std::nullopt;
    const std::string_view sign = lf_withoutMark(callsign);
    gf_weekSlotOf(now);  // an unreadable time (-1) must not become weekday 4294967295
    const auto day = static_cast<uint32_t>(gf_weekdayOf(now));
    uint64_t hh = 0;
    lf_setSlot(hh, gf_slotOf(now));

    std::string airline = fallback.airline;
    std::string type = fallback.type;
    if (const auto record = gf_findDbRecord(reg)) {
        const std::string& brand = record->opr.empty() ? record->airl : record->opr;
        if (!brand.empty()) airline = brand;
        if (!record->type.empty()) type = record->type;
    }
    const bool known = std::any_of(options.begin(), options.end(), [&](const StandOption& o) {
        return o.reg == reg && o.day == day && o.hh == hh && o.callsign == sign && o.real == real;
    });
    if (known) return std::nullopt;
    const uint32_t index = lf_nextIndex(options);
    options.emplace_back(std::string(sign), std::string(), std::move(airline), std::move(type),
                         std::string(reg), hh, index, day, 0u, real);
    return index;
}

void gf_addCallsignToOption(std::vector<StandOption>& options, uint32_t index, std::string_view callsign) {
    const std::string_view sign = lf_withoutMark(callsign);
    if (sign.empty()) return;
    StandOption* option = lf_findOption(options, index);
    if (option == nullptr) return;
    if (option->callsign.empty()) {
        option->callsign = sign;
        return;
    }
    if (option->callsign == sign || option->callsign2 == sign) return;
    option->callsign2 = sign;
}

bool updateOptions(std::vector<StandOption>& options, SlotList& slots, uint32_t index) {
    StandOption* option = lf_findOption(options, index);
    if (option == nullptr) return false;
    try {
        while (!slots.empty()) lf_moveBackSlot(*option, slots);
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("{} exception:{}", "updateOptions", e.what()));
        return false;
    }
    return true;
}

bool updateOptionsWrapped(std::vector<StandOption>& options, SlotList& slots, uint32_t previousIndex,
                          uint32_t currentIndex) {
    try {
        StandOption* previous = lf_findOption(options, previousIndex);
        if (previous == nullptr) return false;
        // A back slot of 0 means the stay began after midnight: the previous day gets nothing.
        // The front slot is today's in any case and is never booked into yesterday.
        if (slots.size() >= 2 && slots.back() != 0) {
            while (slots.size() >= 2 && lf_moveBackSlot(*previous, slots) != kSlotsPerDay - 1) {
            }
        }
        StandOption* current = lf_findOption(options, currentIndex);
        if (current == nullptr) return false;
        while (slots.size() >= 2) lf_moveBackSlot(*current, slots);
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("{} exception:{}", "updateOptionsWrapped", e.what()));
        return false;
    }
    return true;
}

void gf_countParkFileUpdate() {
    const int32_t count = ++g_parkFileUpdates;
    if (gf_windowStats().parkFileUpdates == count) return;
    gf_editStats([count](WindowStats& s) { s.parkFileUpdates = count; });
}

void gf_resetStandOptions() {
    g_parkFileUpdates = 0;
}
