#include "support/demo_sim_tree.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <tuple>

#include <fmt/format.h>

#include "aircraft/aircraft_cfg.h"
#include "core/atomic_file.h"
#include "platform/known_folders.h"
#include "platform/sim_paths.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kAirlines = "D:\\AI Traffic\\Demo Airlines";
constexpr const char* kAirlinesFolder = "D:\\AI Traffic\\Demo Airlines\\SimObjects\\Liveries";
constexpr const char* kCargo = "D:\\AI Traffic\\Demo Cargo";
constexpr const char* kCargoFolder = "D:\\AI Traffic\\Demo Cargo\\Aircraft";
constexpr const char* kLightsReborn = "D:\\Lights Reborn";

void lf_write(const fs::path& path, std::string_view content) {
    if (!gf_writeFileAtomically(path, content)) throw std::runtime_error("cannot write " + path.string());
}

// ASCII text as UTF-16 LE with its byte-order mark and CR LF line ends.
std::string lf_utf16(std::string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        if (c == '\n') bytes.append("\r\0", 2);
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    return bytes;
}

std::string lf_addOnXml(std::string_view name, std::string_view path) {
    return fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SimBase.Document Type=\"AddOnXml\" version=\"4,5\" "
        "id=\"add-on\">\n  <AddOn.Name>{}</AddOn.Name>\n  <AddOn.Component>\n    <Category>SimObjects</Category>\n"
        "    <Path>{}</Path>\n  </AddOn.Component>\n</SimBase.Document>\n",
        name, path);
}

void lf_writeConfiguration() {
    const std::string sim = "Lockheed Martin/Prepar3D v5";
    lf_write(gf_platformAppDataFolder() / sim / "add-ons.cfg",
             lf_utf16(fmt::format("[Package.0]\nPATH={}\nACTIVE=true\nREQUIRED=false\n\n"
                                  "[Package.1]\nPATH={}\nACTIVE=true\nREQUIRED=false\n\n"
                                  "[Package.2]\nPATH={}\nACTIVE=false\nREQUIRED=false\n\n"
                                  "[Package.3]\nPATH=D:\\AI Traffic\\No Manifest\nACTIVE=true\nREQUIRED=false\n",
                                  kAirlines, kLightsReborn, kCargo)));
    lf_write(gf_platformProgramDataFolder() / sim / "simobjects.cfg",
             fmt::format("[Entry.0]\nTitle=Default Airplanes\nPath=SimObjects\\Airplanes\nRequired=false\n\n"
                         "[Entry.1]\nTitle=Demo GA\nPath=SimObjects\\Demo GA\nRequired=false\n\n"
                         "[Entry.2]\nTitle=Old AI\nPath=D:\\Old AI\\Aircraft\nRequired=false\n\n"
                         "[Entry.3]\nTitle=Demo Airlines again\nPath={}\nRequired=false\n",
                         kAirlinesFolder));
    lf_write(gf_hostPath(kAirlines) / "add-on.xml", lf_addOnXml("Demo Airlines", "SimObjects\\Liveries"));
    lf_write(gf_hostPath(kCargo) / "add-on.xml", lf_addOnXml("Demo Cargo", kCargoFolder));
    lf_write(gf_hostPath(kLightsReborn) / "add-on.xml",
             lf_addOnXml("Lights Reborn", "D:\\Lights Reborn\\SimObjects"));
    fs::create_directories(gf_hostPath("D:\\AI Traffic\\No Manifest"));
}

void lf_writePlanted(const fs::path& folder) {
    lf_write(folder / "Empty Model" / "aircraft.cfg", "[General]\natc_type=Empty\n");
    lf_write(folder / "Broken Model" / "aircraft.cfg", std::string("MZ\x90\0\x03\0\0\0", 8));
    fs::create_directories(folder / "Lost Model");
    std::error_code ec;
    fs::remove(folder / "Lost Model" / "aircraft.cfg", ec);
    fs::create_symlink("gone.cfg", folder / "Lost Model" / "aircraft.cfg");
    std::string text = "[fltsim.0]\ntitle=Planted Incomplete\nicao_airline=SWR\n\n";
    text += gf_aircraftCfgSection(1, {"SWISS", "A320", "Planted Bad Airline", "", 0, false});
    text += gf_aircraftCfgSection(2, {"SWR", "B7X7", "Planted Bad Model", "", 0, false});
    text += gf_aircraftCfgSection(3, {"PVT", "C172", kDemoDontUseTitle, "", 0, false});
    lf_write(folder / "Planted Errors" / "aircraft.cfg", text);
}

fs::path lf_folderOf(const LiveryData& livery) {
    if (livery.cargo) return gf_hostPath(kCargoFolder);
    if (livery.airline == "PVT") return fs::path(gf_platformSimulatorRoot()) / "SimObjects" / "Demo GA";
    return gf_hostPath(kAirlinesFolder);
}

}  // namespace

void gf_writeDemoSimTree(const std::list<LiveryData>& liveries) {
    lf_writeConfiguration();
    // One aircraft.cfg per folder, airline and type, in the order the liveries come.
    std::map<std::tuple<std::string, std::string, std::string>, std::pair<std::string, int>> files;
    bool lowerCaseDone = false;
    for (const LiveryData& livery : liveries) {
        auto& [text, sections] = files[{lf_folderOf(livery).string(), livery.airline, livery.type}];
        LiveryData written = livery;
        if (!lowerCaseDone) {
            std::transform(written.airline.begin(), written.airline.end(), written.airline.begin(),
                           [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
            lowerCaseDone = true;
        }
        text += gf_aircraftCfgSection(sections++, written);
    }
    int n = 0;
    for (const auto& [key, file] : files) {
        const auto& [folder, airline, type] = key;
        const std::string& text = file.first;
        const char* name = ++n % 3 == 0 ? "Aircraft.cfg" : "aircraft.cfg";
        lf_write(fs::path(folder) / fmt::format("{} {}", type, airline) / name, text);
    }
    lf_writePlanted(gf_hostPath(kAirlinesFolder));
}
