// trelvo_gen_scenario: writes a demo scenario at Zurich: synthetic arrivals, departures,
// overflights, business jets, light aircraft and a helicopter (platform/scenario_tools.h), the
// parked user aircraft and the installed titles, added to the tracks and airports of an
// optional scenario made by trelvo_tracks2scenario. Same seed and inputs, same bytes.
//
// usage: trelvo_gen_scenario --installed installed_titles.txt --out scenario.json
//            [--seed N] [--run-length SECONDS] [--with real.json]
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <fmt/format.h>

#include "platform/scenario_tools.h"

namespace {
namespace fs = std::filesystem;

int lf_run(int argc, char** argv) {
    GeneratorOptions options;
    fs::path installedFile, outFile, withFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i], value = argv[i + 1];
        if (arg == "--installed")
            installedFile = value;
        else if (arg == "--out")
            outFile = value;
        else if (arg == "--with")
            withFile = value;
        else if (arg == "--seed")
            options.seed = static_cast<uint32_t>(std::stoul(value));
        else if (arg == "--run-length")
            options.runLengthSeconds = std::stod(value);
        else
            throw std::runtime_error(fmt::format("unknown option {}", arg));
    }
    if (installedFile.empty() || outFile.empty() || argc % 2 == 0) {
        std::fprintf(stderr,
                     "usage: trelvo_gen_scenario --installed installed_titles.txt --out scenario.json "
                     "[--seed N] [--run-length SECONDS] [--with real.json]\n");
        return 2;
    }
    Scenario scenario = withFile.empty() ? Scenario{} : gf_readScenarioFile(withFile);
    scenario.installedTitles = gf_parseTitleList(gf_readTextFile(installedFile));
    gf_addSyntheticTraffic(scenario, options);
    gf_writeScenarioFile(outFile, scenario);
    std::fprintf(stderr, "%s: %zu tracks, %zu parked, %zu airports, %zu installed titles\n", outFile.c_str(),
                 scenario.tracks.size(), scenario.parked.size(), scenario.airports.size(),
                 scenario.installedTitles.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return gf_runTool("trelvo_gen_scenario", lf_run, argc, argv);
}
