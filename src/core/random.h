// Random numbers: one Mersenne Twister (mt19937) per thread, created on the thread's first draw,
// so scan tasks and the run thread never share an engine. Used for livery choice, shuffles and
// small variations of times and distances.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The next value of the calling thread's engine. An index into n entries is this value mod n.
uint32_t gf_nextRandom();
// Seeds the calling thread's engine (tests make draws repeatable with it).
void gf_seedRandom(uint32_t seed);
// value + s x value x percent / 100, s = +1 or -1 from the lowest bit of one draw (1: +1);
// a percent not above 0 returns the value unchanged without a draw.
double gf_randomVariation(double value, double percent);
// Fisher-Yates from the second element on: for i = 1..n-1 swap entry i with entry
// (draw mod (i + 1)). Lists of 0 or 1 entries are left alone without a draw.
template <typename T>
void gf_shuffle(std::vector<T>& list) {
    for (size_t i = 1; i < list.size(); ++i) {
        const size_t j = gf_nextRandom() % (i + 1);
        if (j != i) std::swap(list[i], list[j]);
    }
}

// Drops the calling thread's engine; its next draw creates a fresh one (whole-process reset).
void gf_resetRandom();
