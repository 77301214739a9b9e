// Scenery decoding at the size of a large add-on collection: 2,000 scenery files (a tenth with
// one airport of 100 to 400 stands, the others without airports) tested and decoded into a sink
// against reading the same files raw; and the decode time per airport at 10 and 200 airports
// in one file, which should stay flat.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <unistd.h>

#include "scenery/bgl_file.h"
#include "scenery/scan_messages.h"
#include "support/bgl_builder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 2000;

struct CountingSink : BglAirportSink {
    std::size_t stands = 0;
    BglLink link(ApfContent&, std::string_view) override { return {}; }
    void finish(ApfContent& airport, const BglLink&) override { stands += airport.stands.size(); }
};

BglAirportSpec lf_airport(int index, int stands) {
    const std::string icao = fmt::format("{}{}{}{}", char('A' + index % 26), char('A' + index / 26 % 26),
                                         char('A' + index / 676 % 26), char('A' + index / 17576 % 26));
    BglAirportSpec a{0xAB, tst_packIcao(icao), 500000, {"Benchmark Field"}, {}, {}};
    for (int i = 0; i < stands; ++i)
        a.parkings.push_back({10, 4, static_cast<uint32_t>(i), 25.f, 90.f, 47.0 + i * 1e-4, 9.0 + index * 1e-4, {}});
    return a;
}

// Scenery without airports: the same header with other sections and a block of object data.
std::string lf_objectFile(int index) {
    std::string bytes = tst_bglFile({}, 3);
    bytes[0x38] = 0x65;
    bytes.append(static_cast<std::size_t>(8000 + index % 7 * 1000), static_cast<char>(index));
    return bytes;
}

struct BenchFolder {
    fs::path folder = fs::temp_directory_path() / fmt::format("trelvo-scenery-bench-{}", ::getpid());
    std::vector<fs::path> files;
    BenchFolder() {
        fs::create_directories(folder);
        for (int i = 0; i < kFiles; ++i) {
            files.push_back(folder / fmt::format("f{}.bgl", i));
            const std::string bytes = i % 10 == 0 ? tst_bglFile({lf_airport(i, 100 + i % 301)}) : lf_objectFile(i);
            std::ofstream(files.back(), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
    }
    ~BenchFolder() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

void BM_ScanVersusRawRead(benchmark::State& state) {
    BenchFolder bench;
    double scanSeconds = 0, readSeconds = 0;
    for (auto _ : state) {
        CountingSink sink;
        const auto t0 = Clock::now();
        for (const fs::path& file : bench.files)
            if (lf_bglHasAirport(file)) lf_processBGLfile(file, file.native(), sink);
        const auto t1 = Clock::now();
        std::size_t bytes = 0;
        for (const fs::path& file : bench.files) {
            std::ifstream in(file, std::ios::binary);
            std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            bytes += content.size();
        }
        const auto t2 = Clock::now();
        benchmark::DoNotOptimize(sink.stands + bytes);
        scanSeconds += std::chrono::duration<double>(t1 - t0).count();
        readSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["ratio_to_raw_read"] = scanSeconds / readSeconds;  // target: at most 2
}
BENCHMARK(BM_ScanVersusRawRead)->Unit(benchmark::kMillisecond)->Iterations(5);

double lf_nsPerAirport(int airports, int rounds) {
    std::vector<BglAirportSpec> specs;
    for (int i = 0; i < airports; ++i) specs.push_back(lf_airport(i, 150));
    const std::string bytes = tst_bglFile(specs);
    CountingSink sink;
    const auto t0 = Clock::now();
    for (int r = 0; r < rounds; ++r) gf_decodeBgl(bytes, "bench.bgl", sink);
    benchmark::DoNotOptimize(sink.stands);
    return std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / (static_cast<double>(airports) * rounds);
}

void BM_DecodePerAirport(benchmark::State& state) {
    double few = 0, many = 0;
    for (auto _ : state) {
        few += lf_nsPerAirport(10, 200);
        many += lf_nsPerAirport(200, 10);
    }
    state.counters["ns_per_airport_10"] = few / static_cast<double>(state.iterations());
    state.counters["ns_per_airport_200"] = many / static_cast<double>(state.iterations());
    state.counters["ratio_200_to_10"] = many / few;  // target: about 1 (flat)
}
BENCHMARK(BM_DecodePerAirport)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
