#include "airports/park_airports.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "core/display.h"
#include "core/files.h"
#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "core/text.h"
#include "platform/window_model.h"

namespace fs = std::filesystem;

std::list<ParkAirport> g_parkAirports;
std::unordered_set<std::string> g_failedParkAirports;

namespace {

constexpr const char* kMyParkAirportsName = "my_park_airports.txt";

// A code of the list that names a file of the airports folder must stay a plain name.
bool lf_isPlainCode(std::string_view code) {
    return !code.empty() && code.find_first_of("/\\:") == std::string_view::npos && code != "." &&
           code != "..";
}

std::list<ParkAirport>::iterator lf_findEntry(std::string_view code) {
    return std::find_if(g_parkAirports.begin(), g_parkAirports.end(),
                        [&](const ParkAirport& p) { return p.code == code; });
}

// Reads the file's lines; false only when it exists and cannot be read.
bool lf_readListFile(std::vector<std::string>& lines, bool& exists) {
    std::error_code ec;
    exists = fs::exists(kMyParkAirportsFile, ec) || ec;
    if (!exists) return true;
    lines.reserve(4050);
    return gf_readTextFile(kMyParkAirportsFile, lines);
}

void lf_addFileLine(const std::string& line, std::unordered_set<std::string>& seen, bool& ok) {
    const std::vector<std::string> fields = gf_split(line, ',');
    if (fields.empty()) return;
    if (fields.size() >= 3) {
        gf_logWarning(fmt::format("{}:{} wrong syntax, skipped", kMyParkAirportsName, line));
        return;
    }
    const std::string& code = fields[0];
    if (seen.contains(code)) {
        gf_logWarning(fmt::format("{}:{} double, skipped", kMyParkAirportsName, code));
        return;
    }
    const Airport* airport = lf_isPlainCode(code) ? gf_findAirport(code) : nullptr;
    if (!airport) {
        gf_showMessage(fmt::format("airport {} is unknown", code), true);
        ok = false;
        return;
    }
    g_parkAirports.push_back({code, fields.size() == 2 ? fields[1] : "", airport->position(), 0});
    seen.insert(code);
}

// The first field of a line of the file; "" for a line without one.
std::string lf_codeOfLine(const std::string& line) {
    std::vector<std::string> fields = gf_split(line, ',');
    return fields.empty() ? std::string() : std::move(fields[0]);
}

// Keeps the first line of the code and drops the others.
void lf_dropRepeatsOfCode(std::vector<std::string>& lines, std::string_view code) {
    bool seen = false;
    std::vector<std::string> kept;
    kept.reserve(lines.size());
    for (std::string& line : lines) {
        if (lf_codeOfLine(line) == code && std::exchange(seen, true)) continue;
        kept.push_back(std::move(line));
    }
    lines.swap(kept);
}

}  // namespace

bool lf_readMyParkAirports() {
    bool ok = true;
    try {
        g_parkAirports.clear();
        // The list read again gives every airport whose parking file failed another try.
        g_failedParkAirports.clear();
        std::vector<std::string> lines;
        bool exists = false;
        if (!lf_readListFile(lines, exists)) {
            gf_logWarning(fmt::format("{} cannot be read", kMyParkAirportsFile));
            ok = false;
        } else if (!exists) {
            gf_logLine(fmt::format("{} not found", kMyParkAirportsFile));
        }
        std::unordered_set<std::string> seen;
        for (const std::string& line : lines) lf_addFileLine(line, seen, ok);
        const size_t count = g_parkAirports.size();
        if (count > 0)
            gf_logLine(fmt::format("{} park airport{} read from '{}'", count,
                                   gf_plural(static_cast<long long>(count)), kMyParkAirportsName));
        if (count > kManyParkAirports)
            gf_showMessage(
                fmt::format("Warning: There are a lot of airports ({}), that will cost TRLV much cpu "
                            "time and may cause stutters",
                            count),
                true);
        lf_addThirdpartyParkAirports();
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: {}", "lf_readMyParkAirports", e.what()));
        return false;
    }
    return ok;
}

void lf_addThirdpartyParkAirports() {
    std::error_code ec;
    if (!fs::is_directory(g_myThirdpartyFolder, ec)) return;
    int added = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(g_myThirdpartyFolder)) {
        if (!entry.is_regular_file()) continue;
        const std::string code = entry.path().stem().string();
        if (lf_findEntry(code) != g_parkAirports.end()) continue;
        const Airport* airport = gf_findAirport(code);
        if (!airport) continue;
        g_parkAirports.push_back({code, "", airport->position(), 0});
        ++added;
    }
    if (added > 0)
        gf_logLine(
            fmt::format("{} park airport{} added from my_thirdparty folder(-s)", added, gf_plural(added)));
}

bool lf_updateMyParkAirportLine(std::string_view code, const std::string& newLine, std::string& line) {
    if (lf_codeOfLine(line) != code) return false;
    line = newLine;
    return true;
}

void gf_saveMyParkAirports() {
    if (g_parkAirports.empty()) return;
    const ParkAirport& front = g_parkAirports.front();
    const std::string newLine = front.stand.empty() ? front.code : front.code + "," + front.stand;
    std::vector<std::string> lines;
    bool exists = false;
    if (!lf_readListFile(lines, exists)) {
        // Whatever the user keeps there must survive a file we cannot read; the user must
        // hear that the stand is not kept.
        gf_showMessage(fmt::format("Warning: {} cannot be read, {} not saved", kMyParkAirportsFile, newLine),
                       true);
        return;
    }
    if (!exists) {
        lines = {newLine};
        gf_logLine(fmt::format("{} created with {}", kMyParkAirportsName, newLine));
    } else if (std::any_of(lines.begin(), lines.end(), [&](std::string& l) {
                   return lf_updateMyParkAirportLine(front.code, newLine, l);
               })) {
        gf_logLine(fmt::format("{}:{} updated stand", kMyParkAirportsName, newLine));
        // Further lines of the code would be read first once sorted, and the stand just
        // remembered lost: only the updated line stays.
        lf_dropRepeatsOfCode(lines, front.code);
    } else {
        lines.push_back(newLine);
        gf_logLine(fmt::format("{}:{} new entry", kMyParkAirportsName, newLine));
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    if (!gf_writeTextFile(lines, kMyParkAirportsFile))
        gf_showMessage(
            fmt::format("Warning: {} could not be written, {} not saved", kMyParkAirportsFile, newLine),
            true);
}

void gf_addParkAirport(std::string_view code, LatLon position) {
    auto it = lf_findEntry(code);
    if (it != g_parkAirports.end()) {
        g_parkAirports.splice(g_parkAirports.begin(), g_parkAirports, it);
        return;
    }
    g_parkAirports.push_front({std::string(code), "", position, 0});
    gf_saveMyParkAirports();
}

void lf_setDestination(std::string_view code) {
    if (code.empty()) {
        // Without a destination the next watch orders the list nearest first again.
        g_lastWatchPosition = {};
        return;
    }
    gf_logLine(fmt::format("New destination: {}", code));
    const Airport* airport = lf_isPlainCode(code) ? gf_findAirport(code) : nullptr;
    if (!airport) {
        gf_showMessage(fmt::format("airport {} is unknown", code), true);
        // A refused code kept as the destination would hold the list out of its nearest-first
        // order for good.
        if (DESTINATION.value() == code) {
            DESTINATION.set("");
            gf_setControlText(ctl::kDestination, "");
        }
        return;
    }
    gf_addParkAirport(code, airport->position());
}
