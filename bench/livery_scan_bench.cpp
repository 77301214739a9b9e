// The livery scan at the size of a large installed fleet: 5,000 aircraft.cfg files with 20,000
// liveries, scanned whole (walk, parse tasks, corrections, sort, LiveriesScanned.xml and the
// reports) against reading the same files raw in the same run: finding them with the standard
// library's recursive directory walk and reading each one's bytes, one after another.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "aircraft/aircraft_cfg.h"
#include "aircraft/liveries_scanned.h"
#include "aircraft/livery_scan.h"
#include "aircraft/type_database.h"
#include "core/atomic_file.h"
#include "core/files.h"
#include "core/tasks.h"
#include "support/work_folder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 5000;
constexpr int kSectionsPerFile = 4;
const char* const kTypes[] = {"A320", "A321", "A20N", "B738", "B38M", "B77W", "A359", "B789", "E190", "CRJ9",
                              "DH8D", "AT76", "A333", "B744", "C172", "P28A", "C56X", "CL60", "EC35", "EC45"};

struct BenchTree {
    fs::path previous = fs::current_path();
    fs::path folder = fs::temp_directory_path() / fmt::format("trelvo-scan-bench-{}", ::getpid());
    BenchTree() {
        fs::create_directories(folder);
        fs::current_path(folder);
        gf_loadTypeDatabaseFile(tst_sourceDir() / "data" / "dbase.xml");
        for (int f = 0; f < kFiles; ++f) {
            const std::string airline = fmt::format("{}{}{}", char('A' + f % 26), char('A' + f / 26 % 26), 'X');
            const char* type = kTypes[f % 20];
            std::string text = fmt::format("[General]\natc_type={}\n\n", type);
            for (int s = 0; s < kSectionsPerFile; ++s)
                text += gf_aircraftCfgSection(
                    s, {airline, type, fmt::format("{} {} livery {}-{}", type, airline, f, s), fmt::format("R-{}{}", f, s),
                        0, s == 3});
            gf_writeFileAtomically(folder / "AI" / fmt::format("{} {}", type, f) / "aircraft.cfg", text);
        }
    }
    ~BenchTree() {
        fs::current_path(previous);
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

double lf_seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void lf_scanVersusRawRead(benchmark::State& state, unsigned tasks) {
    BenchTree tree;
    g_hardwareConcurrency = tasks;
    const std::vector<std::string> folders = {(tree.folder / "AI").string()};
    double scanSeconds = 0, readSeconds = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        std::string bytes;
        std::size_t total = 0;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folders[0])) {
            if (!entry.is_regular_file()) continue;
            gf_readFileBytes(entry.path(), bytes);
            total += bytes.size();
        }
        benchmark::DoNotOptimize(total);
        readSeconds += lf_seconds(t0);
        t0 = Clock::now();
        benchmark::DoNotOptimize(lf_scanLiveryFolders(folders));
        scanSeconds += lf_seconds(t0);
    }
    state.counters["ratio_to_raw_read"] = scanSeconds / readSeconds;  // target: at most 2
    gf_resetLiveryState();
}

// The scan with the machine's task slots, and with one task (the parse alone against the read).
void BM_ScanVersusRawRead(benchmark::State& state) {
    gf_initHardwareConcurrency();
    lf_scanVersusRawRead(state, g_hardwareConcurrency.load());
}
BENCHMARK(BM_ScanVersusRawRead)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ScanOneTaskVersusRawRead(benchmark::State& state) { lf_scanVersusRawRead(state, 1); }
BENCHMARK(BM_ScanOneTaskVersusRawRead)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
