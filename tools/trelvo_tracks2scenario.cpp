// trelvo_tracks2scenario: turns real ADS-B track files (CSV, see platform/scenario_tools.h) into
// the live tracks of a scenario file, each placed on the scenario's clock at a start second,
// with the airports the tracks touch. The output holds tracks and airports only; the generator
// adds the rest (trelvo_gen_scenario --with).
//
// usage: trelvo_tracks2scenario --airports airports.csv --out real.json
//            [--ident HEXID=TYPE,REGISTRATION[,AIRLINE]]... [--list starts.txt] [TRACK.csv@START]...
// A list file holds one "TRACK.csv START" per line; relative paths there are relative to the list.
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "core/text.h"
#include "platform/scenario_tools.h"

namespace {
namespace fs = std::filesystem;


struct Job {
    fs::path file;
    double startSeconds = 0;
};

double lf_number(const std::string& text, std::string_view what) {
    size_t used = 0;
    const double v = std::stod(text, &used);
    if (used != text.size()) throw std::runtime_error(fmt::format("bad {}: {}", what, text));
    return v;
}

Job lf_job(const std::string& arg) {
    const size_t at = arg.rfind('@');
    if (at == std::string::npos) throw std::runtime_error(fmt::format("expected TRACK.csv@START: {}", arg));
    return {arg.substr(0, at), lf_number(arg.substr(at + 1), "start second")};
}

void lf_readList(const fs::path& list, std::vector<Job>& jobs) {
    std::istringstream lines(gf_readTextFile(list));
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> f = gf_split(line, ' ');
        if (f.empty()) continue;
        if (f.size() != 2)
            throw std::runtime_error(
                fmt::format("{}: expected \"TRACK.csv START\": {}", list.string(), line));
        jobs.push_back({list.parent_path() / f[0], lf_number(f[1], "start second")});
    }
}

TrackIdentity lf_identity(const std::string& arg) {
    const size_t eq = arg.find('=');
    const std::vector<std::string> f = gf_split(eq == std::string::npos ? "" : arg.substr(eq + 1), ',');
    if (f.size() < 2 || f.size() > 3)
        throw std::runtime_error(fmt::format("expected HEXID=TYPE,REG[,AIRLINE]: {}", arg));
    return {static_cast<uint32_t>(std::stoul(arg.substr(0, eq), nullptr, 16)), f[0], f[1],
            f.size() == 3 ? f[2] : ""};
}

TrackIdentity lf_find(const std::map<uint32_t, TrackIdentity>& identities, uint32_t hexid) {
    const auto it = identities.find(hexid);
    return it == identities.end() ? TrackIdentity{hexid, "", "", ""} : it->second;
}

int lf_run(int argc, char** argv) {
    std::map<uint32_t, TrackIdentity> identities;
    for (const TrackIdentity& id : gf_demoIdentities()) identities[id.hexid] = id;
    std::vector<Job> jobs;
    fs::path airportsFile, outFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--airports" && hasValue)
            airportsFile = argv[++i];
        else if (arg == "--out" && hasValue)
            outFile = argv[++i];
        else if (arg == "--ident" && hasValue) {
            const TrackIdentity id = lf_identity(argv[++i]);
            identities[id.hexid] = id;
        } else if (arg == "--list" && hasValue)
            lf_readList(argv[++i], jobs);
        else
            jobs.push_back(lf_job(arg));
    }
    if (airportsFile.empty() || outFile.empty() || jobs.empty()) {
        std::fprintf(stderr,
                     "usage: trelvo_tracks2scenario --airports airports.csv --out real.json "
                     "[--ident HEXID=TYPE,REG[,AIRLINE]]... [--list starts.txt] [TRACK.csv@START]...\n");
        return 2;
    }
    const std::vector<ScenarioAirport> airports =
        gf_parseAirportsCsv(gf_readTextFile(airportsFile), airportsFile.string());
    Scenario scenario;
    for (const Job& job : jobs) {
        const RealTrack track = gf_parseRealTrackCsv(gf_readTextFile(job.file), job.file.string());
        const std::vector<ScenarioAirport> touched = gf_airportsTouched(track, airports);
        ConversionCounts counts;
        scenario.tracks.push_back(
            gf_convertRealTrack(track, lf_find(identities, track.hexid), job.startSeconds, touched, counts));
        gf_mergeAirports(scenario.airports, touched);
        std::string near;
        for (const ScenarioAirport& a : touched) near += " " + a.icao;
        std::fprintf(stderr,
                     "%s: %zu rows from %.0f s, altitude offset %+.0f ft, %d speeds from positions, "
                     "%d rows without altitude dropped, %d bad lines; airports:%s\n",
                     job.file.filename().c_str(), scenario.tracks.back().rows.size(), job.startSeconds,
                     gf_groundAltitudeOffset(track, touched), counts.speedsFromPositions,
                     counts.droppedRows, track.droppedLines, near.c_str());
    }
    gf_writeScenarioFile(outFile, scenario);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return gf_runTool("trelvo_tracks2scenario", lf_run, argc, argv);
}
