#include "core/param_rules.h"

#include <algorithm>
#include <array>

#include "core/params.h"

namespace {

struct RangeStep {
    int upTo;  // inclusive upper bound of the input
    int snapped;
};

// Inputs 3..6 are RANGE choices themselves and pass through unchanged.
constexpr std::array<RangeStep, 14> kRangeSteps{{
    {8, 8},
    {10, 10},
    {12, 12},
    {14, 14},
    {16, 16},
    {18, 18},
    {22, 20},
    {27, 25},
    {32, 30},
    {37, 35},
    {44, 40},
    {56, 50},
    {72, 65},
    {89, 80},
}};

struct FitStep {
    int atLeast;  // half-hours
    double hours;
};

constexpr std::array<FitStep, 20> kFitSteps{{
    {44, 24}, {38, 21}, {32, 18}, {26, 15}, {22, 12}, {20, 11}, {18, 10}, {16, 9}, {14, 8},  {12, 7},
    {10, 6},  {9, 5},   {8, 4.5}, {7, 4},   {6, 3.5}, {5, 3},   {4, 2.5}, {3, 2},  {2, 1.5}, {1, 1},
}};

}  // namespace

int gf_snapRange(int nm) {
    if (nm < 3) return 2;
    if (nm <= 6) return nm;
    for (const RangeStep& step : kRangeSteps)
        if (nm <= step.upTo) return step.snapped;
    return 100;
}

int gf_snapPercentage(int value) {
    // Values from learned files are untrusted: bring them near the range first so that the
    // + 2 cannot overflow; every result outside -5..105 clamps to the same end anyway.
    value = std::clamp(value, -5, 105);
    return std::clamp((value + 2) / 5 * 5, 0, 100);
}

double gf_maxFitToFloat() {
    int halfHours = MAX_FIT.value();
    for (const FitStep& step : kFitSteps)
        if (halfHours >= step.atLeast) return step.hours;
    return 0.5;
}
