// Half-hour values for the tests of stand options and parking slots.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "core/slots.h"

// The slot value of a weekday (1..7, Monday 1) and half-hour slot.
inline uint64_t tst_at(int weekday, int slot) {
    return gf_packSlot(slot, weekday);
}

// The 48-bit set of the listed slots; of the slots first..last.
inline uint64_t tst_bits(std::initializer_list<int> slots) {
    uint64_t hh = 0;
    for (int s : slots) hh |= uint64_t{1} << s;
    return hh;
}
inline uint64_t tst_range(int first, int last) {
    uint64_t hh = 0;
    for (int s = first; s <= last; ++s) hh |= uint64_t{1} << s;
    return hh;
}

// The text of the std::out_of_range the call raises; "no error" when it raises none.
inline std::string tst_rangeError(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::out_of_range& e) {
        return e.what();
    }
    return "no error";
}
