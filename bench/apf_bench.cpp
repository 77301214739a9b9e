// The park airport's parking file at the size of a large airport: reading it with its learned
// file merged (gf_readApf: stands, options, merge, numbering and neighbours) against pugixml's
// own load of the same two files. The read parses both documents, so the baseline loads both
// too (and frees them, as the read frees its documents): the ratio is then the cost of
// everything the read does beyond parsing the XML. The figure to read is the median of the
// repetitions: in thread CPU time both sides slow down alike when other work shares the caches.
// Also the learned merge of a stand that live traffic used for a long time: 32,000 learned
// options on one stand (each of them once more, already known) against pugixml's load of the
// file. The merge looks each option up among the options of its aircraft, so the ratio stays
// small however many options one stand has; comparing every option with every other takes
// minutes here.
#include <ctime>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/apf_read.h"
#include "airports/learned.h"
#include "airports/stand.h"
#include "core/atomic_file.h"
#include "core/log.h"

namespace {

namespace fs = std::filesystem;

// The thread's own CPU time: the machine runs other work, and a read that is preempted is not
// a slower read.
double lf_threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs both, in the other order at every call, so that neither side always finds the caches
// and the heap as the other left them.
template <class First, class Second>
void lf_inTurns(bool& swapped, First&& first, Second&& second) {
    if (swapped) {
        second();
        first();
    } else {
        first();
        second();
    }
    swapped = !swapped;
}

constexpr int kStands = 600;
constexpr int kOptions = 2000;
constexpr const char* kArchived = "airports/my_thirdparty/KBEN.xml";
constexpr const char* kLearned = "airports/learned/thirdparty/Bench Pub/KBEN.xml";

std::string lf_file(const std::string& parameters, bool learned) {
    std::string xml = "<?xml version=\"1.0\"?>\n<meta>\n\t<info name=\"author\" value=\"b\" />\n"
                      "\t<info name=\"date\" value=\"d\" />\n\t<info name=\"version\" value=\"v\" />\n</meta>\n"
                      "<parameters>\n" + parameters + "</parameters>\n<parkpositions>\n";
    for (int s = 0; s < kStands; ++s) {
        // Rows of 30 stands, 60 m apart, 120 m between rows.
        double lat = 40.0 + (s / 30) * 120 / 111120.0, lon = -74.0 + (s % 30) * 60 / 84000.0;
        xml += learned ? fmt::format("\t<parkpos id=\"S{}\">\n", s)
                       : fmt::format("\t<parkpos id=\"S{}\" latitude=\"{:.6f}\" longitude=\"{:.6f}\" heading=\"{}\" "
                                     "radius=\"30.0\" cargo=\"false\" ramp=\"false\">\n",
                                     s, lat, lon, s % 360);
        int options = learned ? (s % 3 == 0) : kOptions / kStands + (s < kOptions % kStands);
        for (int o = 0; o < options; ++o)
            xml += fmt::format("\t\t<opt reg=\"N{}{}\" airl=\"AAL\" type=\"B738\" day=\"{}\" hh=\"{},{},{}\" "
                               "cs=\"AAL{}\" />\n",
                               s, o + learned * 7, 1 + o % 7, o % 48, (o + 1) % 48, (o + 2) % 48, s * 10 + o);
        xml += "\t</parkpos>\n";
    }
    return xml + "</parkpositions>\n";
}

// A folder of its own holding the files, the working folder while it lives.
struct BenchFolder {
    fs::path previous = fs::current_path();
    fs::path folder = fs::temp_directory_path() / fmt::format("trelvo-apf-bench-{}", ::getpid());
    explicit BenchFolder(std::initializer_list<std::pair<const char*, std::string>> files) {
        fs::create_directories(folder);
        fs::current_path(folder);
        for (const auto& [path, text] : files) gf_writeFileAtomically(path, text);
    }
    ~BenchFolder() {
        fs::current_path(previous);
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

void BM_ReadApfVersusPugixml(benchmark::State& state) {
    BenchFolder folder(
        {{kArchived, lf_file("\t<parameter name=\"airport_name\" value=\"Bench\" />\n"
                             "\t<parameter name=\"publisher\" value=\"Bench Pub\" />\n"
                             "\t<parameter name=\"altitude\" value=\"13\" />\n",
                             false)},
         {kLearned, lf_file("\t<parameter name=\"airport_name\" value=\"Bench\" />\n", true)}});
    double readSeconds = 0, loadSeconds = 0;
    bool swapped = false;
    const auto read = [&] {
        std::string error;
        ParkFileHeader header;
        QualityPair quality;
        const double t0 = lf_threadSeconds();
        gf_readApf("KBEN", kArchived, error, header, quality);
        readSeconds += lf_threadSeconds() - t0;
        if (!error.empty() || g_stands.size() != kStands) state.SkipWithError("the file did not read");
    };
    const auto load = [&] {
        const double t0 = lf_threadSeconds();
        pugi::xml_document archived, learned;
        benchmark::DoNotOptimize(archived.load_file(kArchived));
        benchmark::DoNotOptimize(learned.load_file(kLearned));
        loadSeconds += lf_threadSeconds() - t0;
    };
    for (auto _ : state) {
        gf_clearStands();
        lf_inTurns(swapped, read, load);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["read_ms"] = readSeconds * 1e3 / n;
    state.counters["pugixml_load_ms"] = loadSeconds * 1e3 / n;
    state.counters["ratio_to_pugixml_load"] = readSeconds / loadSeconds;  // target: at most 3
    gf_resetStands();
}
// Repeated, and the median of the repetitions read: one repetition moves with the machine's load.
BENCHMARK(BM_ReadApfVersusPugixml)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

constexpr int kLongUsedOptions = 32000;
constexpr const char* kLongUsed = "airports/learned/stock/KBEN.xml";

std::string lf_longUsedFile() {
    std::string xml =
        "<?xml version=\"1.0\"?>\n<meta>\n\t<info name=\"author\" value=\"b\" />\n"
        "\t<info name=\"date\" value=\"d\" />\n\t<info name=\"version\" value=\"v\" />\n</meta>\n"
        "<parameters>\n\t<parameter name=\"airport_name\" value=\"Bench\" />\n</parameters>\n"
        "<parkpositions>\n\t<parkpos id=\"S1\">\n";
    // Every aircraft on every weekday, in two half-hours; the second round repeats the first.
    for (int round = 0; round < 2; ++round)
        for (int o = 0; o < kLongUsedOptions; ++o)
            xml += fmt::format(
                "\t\t<opt reg=\"N{}\" airl=\"AAL\" type=\"B738\" day=\"{}\" hh=\"{},{}\" cs=\"AAL{}\" />\n",
                o / 7, 1 + o % 7, o % 47, o % 47 + 1, o);
    return xml + "\t</parkpos>\n</parkpositions>\n";
}

void BM_LearnedMergeVersusPugixml(benchmark::State& state) {
    BenchFolder folder({{kLongUsed, lf_longUsedFile()}});
    double mergeSeconds = 0, loadSeconds = 0;
    bool swapped = false;
    const auto merge = [&] {
        const double t0 = lf_threadSeconds();
        lf_readLearned(kLongUsed, "Bench");
        mergeSeconds += lf_threadSeconds() - t0;
        if (g_stands.at(0).options.size() != kLongUsedOptions) state.SkipWithError("the file did not merge");
    };
    const auto load = [&] {
        const double t0 = lf_threadSeconds();
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file(kLongUsed));
        loadSeconds += lf_threadSeconds() - t0;
    };
    for (auto _ : state) {
        gf_clearStands();
        g_stands.emplace_back("S1", std::vector<StandOption>{}, 40.0, -74.0, 0.0, 30.0, false, false, false);
        lf_inTurns(swapped, merge, load);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["merge_ms"] = mergeSeconds * 1e3 / n;
    state.counters["pugixml_load_ms"] = loadSeconds * 1e3 / n;
    state.counters["ratio_to_pugixml_load"] =
        mergeSeconds / loadSeconds;  // target: at most 6 (mostly reading)
    gf_resetStands();
}
BENCHMARK(BM_LearnedMergeVersusPugixml)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
