#include "scenery/scenery_apf.h"

#include <algorithm>
#include <mutex>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "aircraft/type_database.h"
#include "airports/airport_list.h"
#include "airports/apf_file.h"
#include "airports/apf_lookup.h"
#include "core/files.h"
#include "core/paths.h"
#include "core/text.h"
#include "scenery/scan_messages.h"

namespace fs = std::filesystem;

std::atomic<bool> g_airportFilesChanged{false};

namespace {

constexpr const char* kSimaddon = "simaddon";
constexpr const char* kUnknown = "unknown";

std::mutex g_linkMutex;
// Numbers the temporary names of generated files: one per write, whatever the task.
std::atomic<uint64_t> g_writeNumber{0};

std::string lf_blanksEscaped(std::string_view text) {
    std::string out;
    for (char c : text) c == ' ' ? out += "%20" : out += c;
    return out;
}

bool lf_writeLink(const char* folder, const ApfContent& airport, const std::string& archive) {
    if (gf_writeTextToFile(archive, fs::path(folder) / gf_apfTxtPath(airport.icao), true)) return true;
    gf_scanMessage(fmt::format("===> Linking {} to {} did not succeed", airport.icao, archive));
    return false;
}

}  // namespace

std::string gf_publisherFromFilename(std::string_view path) {
    if (gf_containsNoCase(path, "ORBX")) {
        gf_scanMessage(fmt::format("from filename => publisher {}", kSimaddon));
        return kSimaddon;
    }
    for (const std::vector<std::string>& entry : g_publishers) {
        if (entry.empty()) continue;
        for (const std::string& name : entry)
            if (gf_containsNoCase(path, name)) return entry.front();
    }
    return kUnknown;
}

std::optional<std::string> lf_checkSimaddonArchive(std::string_view icao) {
    if (g_simAddonAirports.contains(std::string(icao))) return fmt::format("archive/{}/{}", kSimaddon, gf_apfXmlPath(icao));
    gf_scanMessage(fmt::format("{} does not exist as simaddon", icao));
    return std::nullopt;
}

std::optional<std::string> lf_checkThirdpartyArchive(std::string_view publisher, const ApfContent& airport,
                                                     int32_t& archivedCount) {
    for (const ThirdPartyPublisher& entry : g_thirdPartyPublishers) {
        if (entry.publisher != publisher) continue;
        int number = archivedCount;
        const lf_numberAfterPrefix matches{std::string(publisher), airport.icao, number};
        if (std::any_of(entry.airports.begin(), entry.airports.end(), matches)) {
            archivedCount = number;
            return fmt::format("archive/thirdparty/{}/{}", lf_blanksEscaped(publisher), gf_apfXmlPath(airport.icao));
        }
    }
    gf_scanMessage(fmt::format("thirdparty {} {} does not exist", publisher, airport.icao));
    return std::nullopt;
}

bool lf_linkApf(ApfContent& airport, int32_t& archivedCount, std::string_view bglPath) {
    std::lock_guard lock(g_linkMutex);
    archivedCount = 0;
    airport.BGLpath = std::string(bglPath);
    airport.publisher = gf_publisherFromFilename(bglPath);
    if (airport.publisher == kUnknown) return false;
    const bool simaddon = airport.publisher == kSimaddon;
    const std::optional<std::string> archive = simaddon ? lf_checkSimaddonArchive(airport.icao)
                                                        : lf_checkThirdpartyArchive(airport.publisher, airport, archivedCount);
    if (!archive || !lf_writeLink(simaddon ? g_myOrbxFolder : g_myThirdpartyFolder, airport, *archive)) return false;
    gf_scanMessage(simaddon ? fmt::format("{} airport {} linked to {}", kSimaddon, airport.icao, *archive)
                            : fmt::format("thirdparty airport {} linked to {}", airport.icao, *archive));
    g_airportFilesChanged = true;
    return true;
}

bool gf_isHandmadeApf(const fs::path& file) {
    // Read as any parking file is: a folder or an oversized file in the way is no hand-made file.
    ApfSource source;
    pugi::xml_document doc;
    std::string reason;
    if (!gf_loadApfDocument(file, source, doc, reason)) return false;
    return lf_apfParameterString(doc, "handmade").has_value() ||
           doc.select_node("/meta/info[@name='handmade']");
}

void lf_generateApf(ApfContent& airport) {
    const std::size_t n = airport.stands.size();
    if (n == 0) return;
    const fs::path folder = airport.publisher == kSimaddon ? g_myOrbxFolder : g_myThirdpartyFolder;
    // The user's own file of the airport wins over the scenery's stands (the scan log names it).
    if (gf_isHandmadeApf(folder / gf_apfXmlPath(airport.icao))) return;
    const auto helipads = std::count_if(airport.stands.begin(), airport.stands.end(), [](const Stand& s) { return s.heli; });
    gf_scanMessage(fmt::format("Generated {}: {} position{}{}", gf_apfXmlPath(airport.icao), n, gf_plural(static_cast<long long>(n)),
                               helipads ? fmt::format(", of which {} helipad{}", helipads, gf_plural(helipads)) : ""));
    std::sort(airport.stands.begin(), airport.stands.end(), [](const Stand& a, const Stand& b) { return a.name < b.name; });
    if (!fs::exists(folder)) fs::create_directory(folder);
    const fs::path target = folder / gf_apfXmlPath(airport.icao);
    fs::path part = target;
    part += fmt::format(".{}.part", ++g_writeNumber);
    bool written = gf_writeApf(airport, part, kApfModeFull);
    std::error_code ec;
    if (written) fs::rename(part, target, ec);
    if (!written || ec) {
        fs::remove(part, ec);
        gf_scanMessage(fmt::format("===> Generating {} did not succeed", target.string()));
        return;
    }
    g_airportFilesChanged = true;
}

void lf_applyOutcome(ApfContent& airport, const BglLink& link) {
    const auto n = static_cast<int64_t>(airport.stands.size());
    const bool simaddon = airport.publisher == kSimaddon;
    if (n > link.archivedCount && !simaddon)
        gf_scanMessage(fmt::format("===> {} has {} parkpos while archived one has {}", airport.icao, n, link.archivedCount));
    if (link.linked && (n <= link.archivedCount || simaddon)) return;
    lf_generateApf(airport);
}

BglLink SceneryApfSink::link(ApfContent& airport, std::string_view bglPath) {
    BglLink result;
    result.linked = lf_linkApf(airport, result.archivedCount, bglPath);
    return result;
}

void SceneryApfSink::finish(ApfContent& airport, const BglLink& link) { lf_applyOutcome(airport, link); }

void lf_processBGLfile(const fs::path& file, std::string_view pathText) {
    SceneryApfSink sink;
    lf_processBGLfile(file, pathText, sink);
}

void gf_resetSceneryApf() { g_airportFilesChanged = false; }
