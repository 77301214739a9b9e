// Operations on one stand's option list while the program runs: the tests the stand choice and
// the departure booking apply to an option, and the updates the half-hour bookkeeping of live
// aircraft (live/parking_slots.h) makes when it learns who stood where. Run thread only.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "aircraft/type_database.h"
#include "airports/stand.h"

// Half-hour slot numbers 0..47 used as a stack: the operations take slots from the back.
using SlotList = std::vector<int32_t>;

// The option takes part (index not 0), is real, and names the aircraft: its callsign or
// callsign2 equals the callsign, or its airline and type both equal the aircraft's. Texts
// compare byte by byte (two empty texts are equal). Search predicate of the stand choice.
bool gf_optionFitsAircraft(std::string_view callsign, std::string_view airline, std::string_view type,
                           const StandOption& option);
// The same with the airline and type of an aircraft record.
template <AirlineTypeRecord R>
bool gf_optionFitsAircraft(std::string_view callsign, const R& ac, const StandOption& option) {
    return gf_optionFitsAircraft(callsign, gf_recordAirline(ac), std::string_view(ac.type), option);
}

// The option takes part, is real, is of that weekday and registration, and holds the slot or
// one of its two neighbours (47 and 0 neighbour each other). A slot outside 0..47 of such an
// option raises std::out_of_range("invalid bitset position"); an option that fails the first
// tests gives false whatever the slot. Used by the departure booking of live aircraft, which
// books nothing when some option already holds the registration at about this half-hour.
bool gf_optionHasSlotNear(int weekday, int slot, std::string_view reg, const StandOption& option);

// Appends the option of one aircraft seen at (weekday, slot) of the slot value now: one
// trailing "_" of the callsign is dropped; airline and type come from the type database's
// record of the registration (its operator, when set, as airline), each falling back to the
// aircraft's own when the record lacks it or there is none; origin 0; index one above the
// highest index of the list (1 for a list without a numbered option). Gives the new index, or
// nothing for an empty registration or when an option of the same registration, weekday,
// callsign, real flag and exactly this one half-hour exists. A slot value whose weekday is outside 1..7 or
// whose slot is outside 0..47 raises std::out_of_range("invalid bitset position").
// Called by the booking of live aircraft at stands (live/parking_slots.h).
std::optional<uint32_t> gf_newOption(std::vector<StandOption>& options, std::string_view fallbackAirline,
                                     std::string_view fallbackType, uint32_t real, uint64_t now,
                                     std::string_view callsign, std::string_view reg);
// The same with the airline and type of an aircraft record as the fallback.
template <AirlineTypeRecord R>
std::optional<uint32_t> gf_newOption(std::vector<StandOption>& options, const R& fallback, uint32_t real,
                                     uint64_t now, std::string_view callsign, std::string_view reg) {
    return gf_newOption(options, gf_recordAirline(fallback), std::string_view(fallback.type), real, now,
                        callsign, reg);
}

// Records a further callsign (one trailing "_" dropped; empty changes nothing) in the first
// option with that index (not 0): into callsign when it is empty, else into callsign2 unless
// the option already carries it. Called by the booking of live aircraft at stands.
void gf_addCallsignToOption(std::vector<StandOption>& options, uint32_t index, std::string_view callsign);

// Moves every slot from the back of the list into the half-hours of the first option with that
// index. False with the list unchanged when no option (index 0 counts as none) has the index.
// A slot outside 0..47 stops there: the warning "updateOptions exception:invalid bitset
// position" is logged, the slots before it stay set, it and the ones in front stay listed,
// and the result is false. Called by the stay fit of live aircraft on one weekday.
bool updateOptions(std::vector<StandOption>& options, SlotList& slots, uint32_t index);

// Books a stay across midnight. The list runs from the current slot (front) back to the first
// slot after the previous booking (back). Slots from the back up to and including 47 go into
// the previous day's option (none when the back slot is 0), then every slot but the front one
// into the current day's option; the front slot, already set by gf_newOption, stays listed and
// never goes into the previous day's option.
// False when either option is missing (previous day first) or on a slot outside 0..47, which
// logs the warning "updateOptionsWrapped exception:invalid bitset position".
// Called by gf_bookOptionSlots (live/parking_slots.h).
bool updateOptionsWrapped(std::vector<StandOption>& options, SlotList& slots, uint32_t previousIndex,
                          uint32_t currentIndex);

// Counts one stand update learned since the park airport's file was loaded and shows the new
// count in the window when it differs from the one shown. Called by the learners: the booking
// of live aircraft at stands and the cargo-mark check of the stand choice.
void gf_countParkFileUpdate();

// Whole-process reset: the update count back to 0.
void gf_resetStandOptions();

// Stand updates learned since the park airport's file was loaded; the park airport's loader and
// the saver of the learned file set it back to 0. Run thread.
extern int32_t g_parkFileUpdates;
