// Half-hour slots of the day and of the week: the current slot value the main loop refreshes,
// the 48-bit half-hour sets of the parking files and their list texts. Used by live traffic,
// parking and the run's main loop.
#pragma once
#include <atomic>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

// Bit n: the half-hour that begins n x 30 minutes after midnight UTC.
using HalfHourSet = std::bitset<48>;

inline constexpr int kSlotsPerDay = 48;
inline constexpr int kSlotsPerWeek = 7 * kSlotsPerDay;  // 336

// The slot value: slot 0..47 in the high 32 bits, weekday 1..7 (Monday 1, Sunday 7) in the low
// 32 bits; -1 in a part stands for "the time could not be read".
constexpr uint64_t gf_packSlot(int slot, int weekday) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(slot)) << 32) | static_cast<uint32_t>(weekday);
}
constexpr int gf_slotOf(uint64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value >> 32));
}
constexpr int gf_weekdayOf(uint64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

// The current slot value of UTC now shifted back by g_timeShiftMinutes; both parts -1 when the
// time cannot be read.
uint64_t gf_slotAndWeekday();

// The set of a comma list of slot numbers 0..47; other tokens are skipped with the warning
// "gf_hours2bitset invalid hour '<token>' in <text>".
HalfHourSet gf_hours2bitset(std::string_view text);
// The comma list of the set slots in ascending order; "" for the empty set.
std::string gf_bitset2hours(const HalfHourSet& set);

// The slot, or std::out_of_range("invalid bitset position") when it lies outside 0..47.
int gf_checkSlot(int slot);
// The half-hour of the week, or std::out_of_range("invalid bitset position") outside 0..335.
int gf_checkWeekSlot(int weekSlot);
// Half-hour of the week (weekday - 1) x 48 + slot of a slot value, checked as above.
int gf_weekSlotOf(uint64_t value);
// Bit access with the checked positions.
bool gf_slotTest(const HalfHourSet& set, int slot);
void gf_slotSet(HalfHourSet& set, int slot, bool on = true);

// Restores the slot value and the time shift (whole-process reset).
void gf_resetSlots();

// The current slot value, refreshed by the main loop from gf_slotAndWeekday.
extern std::atomic<uint64_t> g_currentSlot;
// Minutes by which the program's clock runs behind UTC (0: none); set by the run's start-up.
extern std::atomic<int> g_timeShiftMinutes;
