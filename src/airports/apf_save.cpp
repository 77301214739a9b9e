#include "airports/apf_save.h"

#include <algorithm>
#include <string>
#include <utility>

#include <fmt/format.h>

#include "airports/apf_file.h"
#include "airports/apf_lookup.h"
#include "airports/apf_read.h"
#include "airports/learned.h"
#include "airports/park_airports.h"
#include "airports/stand_options.h"
#include "core/clock.h"
#include "core/display.h"
#include "core/paths.h"
#include "core/text.h"

namespace fs = std::filesystem;

namespace {

// Drops what the archived file and the made-up traffic gave the stand: they are there again at
// the next read, so only what this and earlier runs learned is worth keeping.
void lf_dropArchivedOptions(Stand& stand) {
    std::erase_if(stand.options, [](const StandOption& o) { return o.origin == 1; });
}

bool lf_learnedSomething(const Stand& stand) {
    return stand.manual || !stand.options.empty() || stand.radius_change || stand.cargo_change;
}

ApfContent lf_learnedContent() {
    ApfContent content;
    content.icao = g_parkAirport.code;
    content.airport_name = g_parkFileHeader.airport_name;
    content.publisher = g_parkFileHeader.publisher;
    content.altitude = g_parkFileHeader.altitude;
    for (Stand& stand : g_stands) {
        if (!g_apfHandmade) {
            lf_dropArchivedOptions(stand);
            if (!lf_learnedSomething(stand)) continue;
        }
        content.stands.push_back(stand);
    }
    if (g_apfHandmade) {
        const QualityPair quality = gf_qualityFactors();
        content.Qf_real = quality.Qf_real;
        content.Qf_soft = quality.Qf_soft;
    } else {
        // Stands the archived file no longer has keep what was learned there.
        for (const Stand& stand : g_learnedOrphans)
            if (lf_learnedSomething(stand)) content.stands.push_back(stand);
    }
    return content;
}

// Only publisher folders are made here; the stock and simaddon folders belong to the set-up.
void lf_ensurePublisherFolder(const fs::path& folder) {
    std::error_code ec;
    const bool exists = fs::exists(folder, ec);
    if (ec) throw fs::filesystem_error("exists", folder, ec);
    if (exists) return;
    fs::create_directories(folder, ec);
    if (ec) throw fs::filesystem_error("create_directories", folder, ec);
}

// "HH:MM:SS" of UTC now: the time part of "Fri Dec 06 16:00:00 2024".
std::string lf_timeOfDay() {
    const std::string full = gf_formatUtcTime(gf_utcNow());
    return full.size() >= 20 ? full.substr(11, 8) : full;
}

// Writes the learned file; "" when written, else why not. Never raises: at closing down nothing
// above would catch it, and the settings must still be saved.
std::string lf_writeLearnedFile(const fs::path& path) {
    if (path.empty()) return "the airport's code or publisher names no learned file";
    // Learned files carry the label of the simulator family the parking data is shared with.
    const std::string simulator = std::exchange(g_simulatorName, "P3D");
    std::string reason;
    try {
        const ApfContent content = lf_learnedContent();
        const std::string& publisher = content.publisher;
        if (publisher != "stock" && publisher != "simaddon") lf_ensurePublisherFolder(path.parent_path());
        if (!gf_writeApf(content, path, kApfModeLearned, &reason) && reason.empty()) reason = "not written";
    } catch (const std::exception& e) {
        reason = e.what();
    }
    g_simulatorName = simulator;
    return reason;
}

}  // namespace

fs::path gf_parkLearnedPath() {
    return gf_learnedApfPath(g_parkAirport.code, g_parkFileHeader.publisher);
}

void gf_saveApf() {
    // Taken first: a setting the window changes while the file is written counts for the next save.
    const bool paramsChanged = g_parkParamsChanged.exchange(false);
    const fs::path path = gf_parkLearnedPath();
    const std::string reason = lf_writeLearnedFile(path);
    const std::string shown = path.empty() ? g_parkAirport.code : path.generic_string();
    if (!reason.empty()) {
        gf_showMessage(fmt::format("{} saving '{}' did not succeed: {}", lf_timeOfDay(), shown, reason),
                       true);
    } else {
        gf_showMessage(fmt::format("{}{} '{}' saved with {} update{} {}", lf_timeOfDay(),
                                   g_apfHandmade ? " handmade" : "", shown, g_parkFileUpdates,
                                   gf_plural(g_parkFileUpdates),
                                   paramsChanged ? "and one or more parameter changes" : ""),
                       true);
    }
    g_parkFileUpdates = 0;
}
