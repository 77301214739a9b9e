#include "airports/made_up_traffic.h"

#include <cmath>
#include <span>
#include <string>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/random.h"
#include "core/slots.h"

namespace {

struct Pair {
    const char* airline;
    const char* type;
};

constexpr Pair kHeli[] = {{"PVT", "EC35"}};
constexpr Pair kCargo[] = {{"FDX", "C208"}, {"FDX", "B752"}, {"FDX", "B763"}, {"UPS", "A306"}, {"DHK", "B763"}};
constexpr Pair kRamp[] = {{"PVT", "C172"}, {"PVT", "C206"}, {"PVT", "P28A"}, {"PVT", "PC12"}, {"PVT", "C550"},
                          {"PVT", "TBM9"}, {"PVT", "LJ25"}, {"PVT", "GLF6"}, {"PVT", "FA6X"}, {"PVT", "FA8X"},
                          {"PVT", "GLF4"}, {"PVT", "GLF5"}, {"PVT", "LJ60"}, {"PVT", "DHC7"}, {"PVT", "DH8A"},
                          {"PVT", "DH8C"}, {"PVT", "E550"}, {"PVT", "CL30"}, {"PVT", "GA6C"}};
constexpr Pair kCanada[] = {{"ACA", "B789"}, {"ACA", "B38M"}, {"ROU", "A321"}, {"JZA", "CRJ9"}};
constexpr Pair kEurope[] = {{"KLM", "B77W"}, {"SAS", "A320"}, {"EZY", "A320"}, {"RYR", "B738"},
                            {"DLH", "A320"}, {"KLM", "B738"}, {"BAW", "A21N"}};
// (FFT, A320) twice doubles its chance.
constexpr Pair kUsa[] = {{"UAL", "B77W"}, {"DAL", "B739"}, {"JBU", "BCS3"}, {"FFT", "A320"}, {"UAL", "B78X"},
                         {"UAL", "B738"}, {"AAL", "B738"}, {"SKW", "E75L"}, {"SWA", "B737"}, {"FFT", "A320"}};
constexpr Pair kJapan[] = {{"ANA", "A20N"}, {"JAL", "A35K"}, {"JAL", "B738"}};
constexpr Pair kChina[] = {{"CSA", "A320"}, {"CES", "A333"}, {"CES", "A321"}};
constexpr Pair kAnywhere[] = {{"ZZZ", "B738"}};

constexpr double kMaxTooSmallNm = 0.0009719222462203025;  // 1.8 m
constexpr double kSmallSpanNm = 0.009611230689557531;      // 17.8 m
constexpr double kSmallStepNm = 0.00755939524838013;       // 14 m
constexpr double kLargeStepNm = 0.011339092872570195;      // 21 m

// The stand's row of pairs and whether its types must pass the size test.
std::span<const Pair> lf_rowOf(const Stand& s, std::string_view icao, bool& sized) {
    sized = true;
    if (s.heli) return sized = false, std::span<const Pair>(kHeli);
    if (s.cargo) return kCargo;
    if (s.ramp) return kRamp;
    switch (icao.empty() ? '\0' : icao.front()) {
        case 'C': return kCanada;
        case 'E': return kEurope;
        case 'K': return kUsa;
        case 'R': return kJapan;
        case 'Z': return kChina;
        default: return sized = false, std::span<const Pair>(kAnywhere);
    }
}

}  // namespace

bool gf_typeFitsStandSize(const Stand& stand, double halfSpanNm) {
    double d = halfSpanNm - stand.radius;
    if (d > kMaxTooSmallNm) return false;
    double step = halfSpanNm <= kSmallSpanNm ? kSmallStepNm : kLargeStepNm;
    return std::round(-d / step) == 0;
}

void lf_addFakeParkedTraffic(std::string_view icao, std::vector<Stand>& stands) {
    uint64_t now = gf_slotAndWeekday();
    const uint64_t hh = 1ull << gf_checkSlot(gf_slotOf(now));
    const auto weekday = static_cast<uint32_t>(gf_weekdayOf(now));
    uint32_t n = 1;
    std::vector<Pair> candidates;
    for (Stand& s : stands) {
        bool sized = false;
        candidates.clear();
        for (const Pair& p : lf_rowOf(s, icao, sized))
            if (!sized || gf_typeFitsStandSize(s, gf_halfWingspan(p.type))) candidates.push_back(p);
        if (candidates.empty()) continue;
        const Pair& pick = candidates.size() == 1 ? candidates.front() : candidates[gf_nextRandom() % candidates.size()];
        uint32_t index = s.options.empty() ? 1 : s.options.back().index + 1;
        s.options.push_back(StandOption::madeUp(pick.airline, pick.type, fmt::format("REGFAKE{}", n),
                                                fmt::format("FAKE{}", n), hh, index, weekday, 1, 0));
        ++n;
    }
}
