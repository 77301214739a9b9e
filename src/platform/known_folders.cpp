#include "platform/known_folders.h"

#include <cstdlib>

#include "core/log.h"

namespace fs = std::filesystem;

namespace {
fs::path lf_fromEnv(const char* name, const char* homeSuffix) {
    if (const char* v = std::getenv(name); v && *v) return fs::path(v);
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".trelvo" / homeSuffix;
    return {};
}
}  // namespace

fs::path gf_platformAppDataFolder() { return lf_fromEnv("TRELVO_APPDATA", "AppData/Roaming"); }
std::string gf_getAppDataPath() {
    const fs::path folder = gf_platformAppDataFolder();
    if (folder.empty()) {
        gf_logLine("Could not find the user's application data folder");
        return {};
    }
    return folder.string();
}
fs::path gf_platformProgramDataFolder() { return lf_fromEnv("TRELVO_PROGRAMDATA", "ProgramData"); }
fs::path gf_platformSimulatorRoot() { return lf_fromEnv("TRELVO_SIM_ROOT", "Simulator"); }
fs::path gf_platformDrivesFolder() { return lf_fromEnv("TRELVO_DRIVES", "Drives"); }
