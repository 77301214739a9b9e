#include "aircraft/addon_discovery.h"

#include <filesystem>
#include <initializer_list>
#include <system_error>

#include <fmt/format.h>

#include "core/files.h"
#include "core/log.h"
#include "core/params.h"
#include "core/text.h"
#include "platform/known_folders.h"
#include "platform/sim_paths.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLineRoom = 4048;

// Plain substring tests in the letter cases listed, as the simulator's files are matched.
bool lf_containsAny(std::string_view line, std::initializer_list<std::string_view> words) {
    for (const std::string_view word : words)
        if (line.find(word) != std::string_view::npos) return true;
    return false;
}

bool lf_hasPathKey(std::string_view line) { return lf_containsAny(line, {"Path", "PATH", "path"}); }

// The trimmed text behind the first "="; nothing without one.
bool lf_valueAfterEquals(std::string_view line, std::string& value) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    value = gf_trim(line.substr(equals + 1));
    return true;
}

// Walks the lines section by section: a line that opens one flushes the collected lines of
// the last; lines before the first section and dropped lines are not collected.
template <class Opens, class Drops, class Flush>
void lf_walkSections(const std::vector<std::string>& lines, Opens opens, Drops drops, Flush flush) {
    std::vector<std::string> collected;
    bool inSection = false;
    for (const std::string& line : lines) {
        if (opens(line)) {
            if (inSection) flush(collected);
            collected.clear();
            inSection = true;
        } else if (inSection && !drops(line)) {
            collected.push_back(line);
        }
    }
    if (inSection) flush(collected);
}

void lf_readPackagePaths(const std::vector<std::string>& lines, std::vector<std::string>& packages) {
    for (const std::string& line : lines) {
        if (!lf_hasPathKey(line)) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || !gf_usableFolderText(line.substr(equals + 1))) continue;
        gf_logLine(fmt::format("path found:{}", line.substr(equals + 1)));
        packages.push_back(gf_trim(line.substr(equals + 1)));
    }
}

void lf_listSimObjectsFolders(const std::vector<std::string>& lines, std::vector<std::string>& folders) {
    for (const std::string& line : lines) {
        std::string value;
        if (!lf_hasPathKey(line) || !lf_valueAfterEquals(line, value) || !gf_usableFolderText(value))
            continue;
        if (line.find("SimObjects") == std::string::npos) {
            folders.push_back(value);
            continue;
        }
        if (lf_containsAny(line, {"Airplanes", "Avatars", "Rotorcraft", "GroundVehicles", "Boats", "Animals",
                                  "Misc", "Submersible", "Weapons", "Countermeasures"}))
            continue;
        // An absolute path stays itself: joined to the install folder it would name nothing.
        folders.push_back(gf_isRelativeSimPath(value) ? gf_joinSimPath(SIM_INSTALL_PATH.value(), value) : value);
    }
}

// The lines of the file; false (with the " not found!" line) when it cannot be read.
bool lf_readLines(const std::string& file, std::vector<std::string>& lines) {
    if (gf_readTextFile(gf_hostPath(file), lines)) return true;
    gf_logLine(fmt::format("{} not found!", file));
    return false;
}

std::string lf_simFolder() { return "Lockheed Martin\\Prepar3D v" + gf_simVersionFromPath(); }

void lf_explorePackage(const std::string& package, std::vector<std::string>& lines,
                       std::vector<std::string>& folders) {
    const std::string file = gf_joinSimPath(package, "add-on.xml");
    std::error_code ec;
    if (!fs::exists(gf_hostPath(file), ec)) return;
    gf_logLine(fmt::format("   exploring {}", file));
    if (lf_readLines(file, lines)) gf_addOnXmlFolders(lines, package, folders);
}

}  // namespace

bool gf_isRelativeSimPath(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':') return false;
    return path.empty() || (path.front() != '\\' && path.front() != '/');
}

std::vector<std::string> gf_addOnsCfgPackages(const std::vector<std::string>& lines) {
    std::vector<std::string> packages;
    lf_walkSections(
        lines, [](std::string_view l) { return lf_containsAny(l, {"Package", "PACKAGE", "package"}); },
        [](std::string_view l) { return lf_containsAny(l, {"Required", "REQUIRED"}); },
        [&packages](const std::vector<std::string>& collected) { lf_readPackagePaths(collected, packages); });
    return packages;
}

void gf_addOnXmlFolders(const std::vector<std::string>& lines, std::string_view packageFolder,
                        std::vector<std::string>& folders) {
    bool pathLineNext = false;
    for (const std::string& line : lines) {
        if (!pathLineNext) {
            pathLineNext = lf_containsAny(line, {"SimObjects", "SIMOBJECTS", "Simobjects", "simobjects"});
            continue;
        }
        pathLineNext = false;
        const std::string path = gf_extractPath(line);
        if (!gf_usableFolderText(path)) continue;
        // The exclusion looks at the folder as scanned, so a package named by its own folder
        // is excluded also through a relative path.
        std::string folder = gf_isRelativeSimPath(path) ? gf_joinSimPath(packageFolder, path) : path;
        if (lf_containsAny(folder, {"Lights Reborn", "Aerosoft Geneva Professional"})) continue;
        gf_logLine(fmt::format("      Simobjects found:{}", path));
        folders.push_back(std::move(folder));
    }
}

void gf_simObjectsCfgFolders(const std::vector<std::string>& lines, std::vector<std::string>& folders) {
    lf_walkSections(
        lines, [](std::string_view l) { return lf_containsAny(l, {"Entry", "ENTRY"}); },
        [](std::string_view l) { return lf_containsAny(l, {"Title", "Required"}); },
        [&folders](const std::vector<std::string>& collected) { lf_listSimObjectsFolders(collected, folders); });
}

void lf_readP3DAddOnsAircraft(std::vector<std::string>& folders) {
    const std::size_t before = folders.size();
    try {
        const std::string file = gf_joinSimPath(gf_getAppDataPath(), lf_simFolder() + "\\add-ons.cfg");
        gf_logLine(fmt::format("\\nReading {} for AI add-on packages...", file));
        std::vector<std::string> lines;
        lines.reserve(kLineRoom);
        if (lf_readLines(file, lines)) {
            for (const std::string& package : gf_addOnsCfgPackages(lines)) lf_explorePackage(package, lines, folders);
        }
        const std::size_t found = folders.size() - before;
        gf_logLine(fmt::format("{} AI add-on package{} found", found, gf_plural(static_cast<long long>(found))));
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("sys error exception {} in {}, no AI add-on packages found", e.what(),
                                  "lf_readP3DAddOnsAircraft"));
    }
}

void lf_readSimObjectsCfg(std::vector<std::string>& folders) {
    const std::size_t before = folders.size();
    const std::string file = "C:\\ProgramData\\" + lf_simFolder() + "\\simobjects.cfg";
    const fs::path host = gf_hostPath(file);
    std::error_code ec;
    const fs::file_status status = fs::status(host, ec);
    if (ec && status.type() != fs::file_type::not_found) throw fs::filesystem_error("exists", host, ec);
    if (!fs::exists(status)) return;
    gf_logLine(fmt::format("\\nReading {} for AI add-on packages...", file));
    std::vector<std::string> lines;
    lines.reserve(kLineRoom);
    if (!lf_readLines(file, lines)) return;
    gf_simObjectsCfgFolders(lines, folders);
    gf_logLine(fmt::format("{} AI add-on packages found", folders.size() - before));
}
