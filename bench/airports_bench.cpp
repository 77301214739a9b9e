// The closest-airport search over the whole real airport list against a plain loop that computes
// one haversine per airport, measured in the same run (target: at most 3 times that loop).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "airports/airport_list.h"

namespace {

using Clock = std::chrono::steady_clock;

// On Zurich, near Dubendorf, over the sea and at New York (one airport or none within 5 nm).
constexpr LatLon kPositions[] = {{47.4647, 8.54917}, {47.3820, 8.64823}, {53.0, -15.0}, {40.6413, -73.7781}};

void lf_loadRealList() {
    std::ifstream in(TRELVO_SOURCE_DIR "/data/airports.xml", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    gf_resetAirports();
    gf_readAirportsText(text.str(), "data/airports.xml");
    std::stable_sort(g_airports.begin(), g_airports.end(),
                     [](const Airport& a, const Airport& b) { return a.code < b.code; });
}

void BM_ClosestAirportVersusHaversineLoop(benchmark::State& state) {
    lf_loadRealList();
    double searchSeconds = 0, loopSeconds = 0;
    size_t n = 0;
    for (auto _ : state) {
        const LatLon p = kPositions[n++ % std::size(kPositions)];
        auto t0 = Clock::now();
        benchmark::DoNotOptimize(gf_findClosestAirport(p));
        auto t1 = Clock::now();
        double nearest = 1e9;
        for (const Airport& a : g_airports) nearest = std::min(nearest, gf_haversineNm(p, a.position()));
        benchmark::DoNotOptimize(nearest);
        auto t2 = Clock::now();
        searchSeconds += std::chrono::duration<double>(t1 - t0).count();
        loopSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["ratio_to_haversine_loop"] = searchSeconds / loopSeconds;  // target: at most 3
    state.counters["airports"] = static_cast<double>(g_airports.size());
}
BENCHMARK(BM_ClosestAirportVersusHaversineLoop)->Unit(benchmark::kMicrosecond)->Iterations(400);

}  // namespace

BENCHMARK_MAIN();
