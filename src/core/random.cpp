#include "core/random.h"

#include <memory>
#include <random>
#include <utility>

namespace {
thread_local std::unique_ptr<std::mt19937> g_engine;  // the calling thread's engine, made on first use

std::mt19937& lf_engine() {
    if (!g_engine) g_engine = std::make_unique<std::mt19937>(std::random_device{}());
    return *g_engine;
}
}  // namespace

uint32_t gf_nextRandom() {
    return static_cast<uint32_t>(lf_engine()());
}

void gf_seedRandom(uint32_t seed) {
    g_engine = std::make_unique<std::mt19937>(seed);
}

double gf_randomVariation(double value, double percent) {
    if (!(percent > 0)) return value;
    const double s = (gf_nextRandom() & 1u) ? 1.0 : -1.0;
    return value + s * value * percent / 100.0;
}

void gf_resetRandom() {
    g_engine.reset();
}
