#include "scenery/scenery_cfg.h"

#include <algorithm>
#include <array>

#include <fmt/format.h>

#include "core/files.h"
#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "core/text.h"
#include "platform/sim_paths.h"

namespace {

constexpr std::size_t kConfigLineRoom = 4050;

constexpr std::array<std::string_view, 45> kStockFragments{
    "\\Cities", "\\CITIES", "\\cities", "\\World", "\\BASE", "\\0006", "\\0007", "\\0103", "\\0106",
    "\\0107",   "\\0206",   "\\0207",   "\\0307",  "\\0407", "\\0505", "\\0506", "\\0507", "\\0606",
    "\\0607",   "\\0706",   "\\0707",   "\\0805",  "\\0806", "\\0807", "\\0900", "\\0906", "\\0907",
    "\\1000",   "\\1006",   "\\1007",   "\\1100",  "\\1102", "\\1107", "\\AFRI", "\\ASIA", "\\AUST",
    "\\EURE",   "\\EURW",   "\\NAMC",   "\\NAME",  "\\NAMW", "\\OCEN", "\\SAME", "\\Global", "\\Bathymetry"};

bool lf_holdsAny(std::string_view text, std::initializer_list<std::string_view> words) {
    return std::any_of(words.begin(), words.end(), [text](std::string_view w) { return text.find(w) != std::string_view::npos; });
}

using FolderParser = void (*)(const std::vector<std::string>&, std::vector<std::string>&);

// Reads one of the simulator's configuration files as lines and appends its folders.
void lf_readConfigFolders(std::string_view fileName, fmt::format_string<const std::string&> readingLine,
                          FolderParser parse, std::vector<std::string>& folders) {
    const std::string path = lf_simConfigPath(fileName);
    gf_logLine(fmt::format(readingLine, path));
    std::vector<std::string> lines;
    lines.reserve(kConfigLineRoom);
    if (!gf_readTextFile(gf_hostPath(path), lines)) {
        gf_logLine(path + " not found!");
        return;
    }
    const std::size_t before = folders.size();
    parse(lines, folders);
    gf_logLine(fmt::format("{} scenery add-on paths found\n", folders.size() - before));
}

}  // namespace

std::string lf_simConfigPath(std::string_view fileName) {
    return fmt::format("C:\\ProgramData\\Lockheed Martin\\Prepar3D v{}\\{}", gf_simVersionFromPath(), fileName);
}

bool lf_isStockSceneryFolder(std::string_view text) {
    return std::any_of(kStockFragments.begin(), kStockFragments.end(),
                       [text](std::string_view f) { return text.find(f) != std::string_view::npos; });
}

bool gf_inStockAirportsPath(std::string_view text) {
    return !g_stockAirportsPath.empty() && text.find(g_stockAirportsPath) != std::string_view::npos;
}

void lf_readSceneryArea(const std::vector<std::string>& lines, std::vector<std::string>& folders) {
    const auto active = std::find_if(lines.begin(), lines.end(),
                                     [](const std::string& l) { return lf_holdsAny(l, {"Active", "ACTIVE", "active"}); });
    if (active == lines.end() || !lf_holdsAny(*active, {"True", "TRUE", "true"})) return;
    for (const std::string& line : lines) {
        if (!lf_holdsAny(line, {"Local", "LOCAL", "local"}) || lf_isStockSceneryFolder(line)) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string value = gf_trim(std::string_view(line).substr(eq + 1));
        // An empty value names no folder (joined, it would be the whole simulator), nor does
        // one holding NUL (the file system would read another folder's name).
        if (!gf_usableFolderText(value)) continue;
        if (value.size() < 2 || value.find(":\\") == std::string::npos) value = gf_joinSimPath(SIM_INSTALL_PATH.value(), value);
        if (gf_inStockAirportsPath(value)) continue;
        gf_logLine(fmt::format("      found:{}", value));
        folders.push_back(std::move(value));
    }
}

void lf_sceneryCfgFolders(const std::vector<std::string>& lines, std::vector<std::string>& folders) {
    std::vector<std::string> section;
    for (const std::string& line : lines) {
        if (lf_holdsAny(line, {"Area", "AREA", "area"})) {
            if (!section.empty()) lf_readSceneryArea(section, folders);
            section.clear();
        } else if (!lf_holdsAny(line, {"Required", "REQUIRED", "Title", "TITLE", "Layer", "LAYER"})) {
            section.push_back(gf_trim(line));
        }
    }
    if (!section.empty()) lf_readSceneryArea(section, folders);
}

void lf_addOnsFolders(const std::vector<std::string>& lines, std::vector<std::string>& folders) {
    for (const std::string& line : lines) {
        std::string path = gf_extractPath(line);
        if (!gf_usableFolderText(path)) continue;
        gf_logLine(fmt::format("found path:{}", path));
        folders.push_back(std::move(path));
    }
}

void lf_readSceneryCfg(std::vector<std::string>& folders) {
    lf_readConfigFolders("scenery.cfg", "\\nReading: {} for airport add-ons ...", lf_sceneryCfgFolders, folders);
}

void lf_readSceneryAddOns(std::vector<std::string>& folders) {
    lf_readConfigFolders("scenery_add-ons.xml", "\\nReading {} for add-on airport ...", lf_addOnsFolders, folders);
}
