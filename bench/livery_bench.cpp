// Livery tables at the size of a large installed fleet: building them from LiveriesScanned.xml
// against pugixml's own load of the same file, and one live match against the 10 ms tick.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "aircraft/liveries_scanned.h"
#include "aircraft/matching.h"
#include "aircraft/type_database.h"
#include "core/atomic_file.h"
#include "core/paths.h"
#include "core/random.h"
#include "live/record_matching.h"
#include "support/work_folder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLiveries = 20000;
const char* const kTypes[] = {"A320", "A321", "A20N", "B738", "B38M", "B77W", "A359", "B789", "E190", "CRJ9",
                              "DH8D", "AT76", "A333", "B744", "C172", "P28A", "C56X", "CL60", "EC35", "EC45"};

std::string lf_airlineCode(int i) {
    return fmt::format("{}{}{}", char('A' + i % 26), char('A' + (i / 26) % 26), char('A' + (i / 676) % 26));
}

// 20,000 liveries over 800 airlines and 20 types, a third with a registration, some cargo.
std::string lf_generatedFile() {
    std::string xml =
        "<?xml version=\"1.0\"?>\n<meta>\n  <info name=\"author\" value=\"Trelvo\" />\n</meta>\n<liveries>\n";
    for (int i = 0; i < kLiveries; ++i) {
        const std::string airline = lf_airlineCode(i % 800);
        const char* type = kTypes[(i / 800 + i) % 20];
        xml += fmt::format("  <liv airl=\"{}\" type=\"{}\"{} title=\"{} {} livery number {}\"", airline, type,
                           i % 7 == 0 ? " cargo=\"true\"" : "", type, airline, i);
        if (i % 3 == 0) xml += fmt::format(" atcid=\"R-{:05}\"", i);
        xml += " />\n";
    }
    return xml + "</liveries>\n";
}

// A working folder of its own with the type database and the generated file.
struct BenchFolder {
    fs::path previous = fs::current_path();
    fs::path folder = fs::temp_directory_path() / fmt::format("trelvo-livery-bench-{}", ::getpid());
    BenchFolder() {
        fs::create_directories(folder);
        fs::current_path(folder);
        gf_loadTypeDatabaseFile(tst_sourceDir() / "data" / "dbase.xml");
        gf_writeFileAtomically(g_liveriesScannedFile, lf_generatedFile());
    }
    ~BenchFolder() {
        fs::current_path(previous);
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

void BM_BuildTablesVersusPugixml(benchmark::State& state) {
    BenchFolder folder;
    double buildSeconds = 0, loadSeconds = 0;
    for (auto _ : state) {
        gf_clearLiveryTablesForRescan();
        auto t0 = Clock::now();
        lf_processScannedLiveries();
        auto t1 = Clock::now();
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file(g_liveriesScannedFile));
        auto t2 = Clock::now();
        buildSeconds += std::chrono::duration<double>(t1 - t0).count();
        loadSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["ratio_to_pugixml_load"] = buildSeconds / loadSeconds;  // target: at most 3
    gf_resetLiveryState();
}
BENCHMARK(BM_BuildTablesVersusPugixml)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_MatchLiveAircraft(benchmark::State& state) {
    BenchFolder folder;
    lf_processScannedLiveries();
    gf_seedRandom(1);
    std::vector<AircraftRec> aircraft;
    for (int i = 0; i < 64; ++i) {
        AircraftRec ac;
        ac.airline = i % 5 == 0 ? "XYZ" : lf_airlineCode(i * 13 % 800);
        ac.type = kTypes[i % 20];
        ac.regcode = i % 4 == 0 ? fmt::format("R-{:05}", i * 300) : "";
        ac.category = static_cast<int32_t>(gf_aircraftCategory(ac.type));
        ac.isCargo = i % 6 == 0;
        aircraft.push_back(ac);
    }
    std::size_t next = 0;
    for (auto _ : state) {
        AircraftRec& ac = aircraft[next++ % aircraft.size()];
        ac.liveryTitle = {};
        gf_matchLiveAc(ac);
        benchmark::DoNotOptimize(ac.liveryTitle);
    }
    // Share of the 10 ms tick of one match, in parts per million (target: below 1000, 0.1 %).
    state.counters["ppm_of_tick"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 1.0e8,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    gf_resetLiveryState();
}
BENCHMARK(BM_MatchLiveAircraft)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
