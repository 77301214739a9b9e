// Where this machine keeps what the simulator's machine keeps in its known folders: the
// user's application data folder, the common program data folder, the simulator's install
// folder and its other drives. Each comes from an environment setting, with a default under the
// home folder.
#pragma once
#include <filesystem>
#include <string>

// TRELVO_APPDATA, else $HOME/.trelvo/AppData/Roaming; empty when neither is set.
std::filesystem::path gf_platformAppDataFolder();
// The same as text for the simulator's paths; "" (with a log line) when it cannot be found.
std::string gf_getAppDataPath();
// TRELVO_PROGRAMDATA, else $HOME/.trelvo/ProgramData; empty when neither is set.
std::filesystem::path gf_platformProgramDataFolder();
// TRELVO_DRIVES, else $HOME/.trelvo/Drives: the drive X: of the simulator's machine is its
// sub-folder X (platform/sim_paths.h); empty when neither is set.
std::filesystem::path gf_platformDrivesFolder();
// TRELVO_SIM_ROOT, else $HOME/.trelvo/Simulator; empty when neither is set.
std::filesystem::path gf_platformSimulatorRoot();
