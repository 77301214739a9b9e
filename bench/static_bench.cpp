// Cost of the static parking fit and of a full renewal at a 600-stand airport with 2,000 traffic
// options and 400 static aircraft, as a share of the 10 ms main-loop tick in per cent (target:
// below 20 %). The airport: a grid of stands 60 m apart (rows of 30, so that every stand has
// neighbours), options of every weekday over a few half-hours each, the statics active on the
// stands of their options.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "airports/stand.h"
#include "core/params.h"
#include "core/random.h"
#include "core/slots.h"
#include "live/live_set.h"
#include "shell/run_thread.h"
#include "static/static_fit.h"
#include "static/static_place.h"
#include "static/static_renewal.h"

namespace {

constexpr int kStands = 600, kOptions = 2000, kStatics = 400, kRow = 30;
constexpr double kTickSeconds = 0.010;
constexpr uint64_t kNow = gf_packSlot(20, 3);  // Wednesday 10:00
const char* const kTypes[] = {"A320", "B738", "B744", "C172"};

using Clock = std::chrono::steady_clock;

void lf_makeAirport() {
    gf_loadTypeDatabaseText(R"(<dbase><types><type icao="A320" cat="Large" span="35.8"/>
<type icao="B738" cat="Large" span="35.8"/><type icao="B744" cat="Heavy" span="64.4"/>
<type icao="C172" cat="Light" span="11"/></types></dbase>)",
                            "bench dbase.xml");
    gf_seedRandom(11);
    CUSTOM_PARKING_PERCENTAGE.set(100);
    const double degPerM = 1.0 / 1852.0 / 60.0;
    for (int i = 0; i < kStands; ++i)
        g_stands.emplace_back(fmt::format("S{}", i), std::vector<StandOption>{},
                              50.0 + (i / kRow) * 60 * degPerM, 8.5 + (i % kRow) * 60 * degPerM * 1.55, 0.0,
                              35.0, false, false, false);
    for (int k = 0; k < kOptions; ++k) {
        Stand& s = g_stands[static_cast<size_t>(k % kStands)];
        const int first = static_cast<int>(gf_nextRandom() % 44);
        const uint64_t hh = uint64_t{0xF} << first;
        const std::string cs = fmt::format("XYZ{}", k);
        s.options.emplace_back(cs, k % 3 ? std::string() : cs + "B", "XYZ", kTypes[k % 4],
                               fmt::format("R-{}", k), hh, static_cast<uint32_t>(s.options.size() + 1),
                               static_cast<uint32_t>(k % 7 + 1), 1, k % 5 ? 1u : 0u);
    }
    gf_numberStands();
}

void lf_placeStatics() {
    g_staticAircraft.clear();
    for (int i = 0; i < kStatics; ++i) {
        const Stand& s = g_stands[static_cast<size_t>(i * kStands / kStatics)];
        const StandOption& o = s.options.front();
        AircraftRec st;
        st.hexid = static_cast<uint32_t>(i + 1);
        st.airline = o.airline;
        st.type = o.type;
        st.regcode = o.reg;
        st.spawnCallsign = o.callsign;
        st.coupledCallsign = o.callsign2;
        st.callsign = o.callsign + "*";
        st.halfWingSpan = gf_halfWingspan(st.type);
        st.lifeState = active;
        st.objectId = 1000 + st.hexid;
        st.standId = s.standId;
        st.standLat = s.latitude;
        st.standLon = s.longitude;
        st.parkSlot = gf_slotMinus(kNow, i % 30);
        g_staticAircraft.push_back(st);
    }
}

void lf_report(benchmark::State& state, double seconds) {
    state.counters["tick_share_pct"] =
        seconds / static_cast<double>(state.iterations()) / kTickSeconds * 100.0;
}

void BM_FitAt600Stands(benchmark::State& state) {
    lf_makeAirport();
    lf_placeStatics();
    g_currentSlot = kNow;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        g_ptList.clear();
        for (Stand& s : g_stands) {
            s.taken = s.blocked = false;
            for (StandOption& o : s.options) o.fitExcluded = false;
        }
        const auto start = Clock::now();
        state.ResumeTiming();
        lf_fitRealThenSoft(kNow, kStands, 0);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["planned"] = static_cast<double>(g_ptList.size());
    lf_report(state, seconds);
    gf_resetShell();
    gf_resetStands();
}
BENCHMARK(BM_FitAt600Stands)->Iterations(50);

void BM_FullRenewalAt600Stands(benchmark::State& state) {
    lf_makeAirport();
    g_currentSlot = kNow;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        lf_placeStatics();
        const auto start = Clock::now();
        state.ResumeTiming();
        gf_adjustParking(true);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["planned"] = static_cast<double>(g_ptList.size());
    lf_report(state, seconds);
    gf_resetShell();
    gf_resetStands();
}
BENCHMARK(BM_FullRenewalAt600Stands)->Iterations(50);

}  // namespace

BENCHMARK_MAIN();
