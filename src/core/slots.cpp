#include "core/slots.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>
#include <stdexcept>

#include <fmt/format.h>

#include "core/clock.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/text.h"

namespace {
constexpr uint64_t kUnknownSlot = gf_packSlot(-1, -1);

// The slot number of a token, or -1 when the token is not a whole number 0..47.
int lf_parseSlot(std::string_view token) {
    int value = -1;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size() || token.empty()) return -1;
    return value >= 0 && value < kSlotsPerDay ? value : -1;
}

int lf_checkRange(int value, int size) {
    // g++'s own bitset words this error differently; log lines quote this text.
    if (value < 0 || value >= size) throw std::out_of_range(kBitsetPositionError);
    return value;
}
}  // namespace

std::atomic<uint64_t> g_currentSlot{kUnknownSlot};
std::atomic<int> g_timeShiftMinutes{0};

uint64_t gf_slotAndWeekday() {
    const auto shifted = gf_utcNow() - std::chrono::minutes(g_timeShiftMinutes.load());
    const std::time_t secs = static_cast<std::time_t>(gf_epochSeconds(shifted));
    // The simulator's platform reads no time before 1970; keep that so both behave alike.
    std::tm tm{};
    if (secs < 0 || gmtime_r(&secs, &tm) == nullptr) return kUnknownSlot;
    const int weekday = tm.tm_wday == 0 ? 7 : tm.tm_wday;
    return gf_packSlot(tm.tm_hour * 2 + tm.tm_min / 30, weekday);
}

namespace {
// The common form, numbers of one or two digits below 48 between single commas, read in one
// pass; false, leaving set untouched, for anything else (blanks, empty fields, bad numbers).
bool lf_plainHours(std::string_view text, HalfHourSet& set) {
    HalfHourSet plain;
    int value = 0, digits = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ',';
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            if (++digits > 2) return false;
        } else if (c == ',' && digits > 0 && value < kSlotsPerDay) {
            plain.set(static_cast<size_t>(value));
            value = digits = 0;
        } else {
            return false;
        }
    }
    set = plain;
    return true;
}
}  // namespace

HalfHourSet gf_hours2bitset(std::string_view text) {
    HalfHourSet set;
    if (lf_plainHours(text, set)) return set;
    // The fields of gf_split, without building them: parking files hold thousands of these lists.
    if (gf_trimView(text).empty()) return set;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find(',', start), text.size());
        const std::string_view token = gf_trimView(text.substr(start, end - start));
        start = end + 1;
        const int slot = lf_parseSlot(token);
        if (slot < 0) {
            gf_logWarning(fmt::format("{} invalid hour '{}' in {}", "gf_hours2bitset", token, text));
            continue;
        }
        set.set(static_cast<size_t>(slot));
    }
    return set;
}

std::string gf_bitset2hours(const HalfHourSet& set) {
    std::string out;
    for (size_t i = 0; i < set.size(); ++i) {
        if (!set.test(i)) continue;
        if (!out.empty()) out += ',';
        out += std::to_string(i);
    }
    return out;
}

int gf_checkSlot(int slot) {
    return lf_checkRange(slot, kSlotsPerDay);
}
int gf_checkWeekSlot(int weekSlot) {
    return lf_checkRange(weekSlot, kSlotsPerWeek);
}

int gf_weekSlotOf(uint64_t value) {
    const int weekday = gf_weekdayOf(value);
    if (weekday < 1 || weekday > 7) throw std::out_of_range(kBitsetPositionError);
    return gf_checkWeekSlot((weekday - 1) * kSlotsPerDay + gf_checkSlot(gf_slotOf(value)));
}

bool gf_slotTest(const HalfHourSet& set, int slot) {
    return set.test(static_cast<size_t>(gf_checkSlot(slot)));
}

void gf_slotSet(HalfHourSet& set, int slot, bool on) {
    set.set(static_cast<size_t>(gf_checkSlot(slot)), on);
}

void gf_resetSlots() {
    g_currentSlot = kUnknownSlot;
    g_timeShiftMinutes = 0;
}
