// Windows path texts as the simulator's configuration files hold them, mapped onto this
// machine's folders. Scan logic keeps the texts as found (for its log lines and reports) and
// maps a text only where it touches the file system. Used by the two scans and the start-up.
//
// Mapping of a text:
//   backslashes and slashes both separate segments
//   "C:\ProgramData\rest"  -> TRELVO_PROGRAMDATA/rest   (the common program data folder)
//   "X:\rest"              -> TRELVO_DRIVES/X/rest      (X upper-cased; "X:" alone is the drive)
//   anything else          -> itself (a host path, relative ones to the working folder)
//   each segment then names the folder entry that equals it in any letter case (an exact match
//   first, else the least name in byte order); from the first segment that names nothing the
//   rest is kept as written.
//   ".." goes up one segment, but never above a drive or the ProgramData folder: as on the
//   simulator's machine, "D:\..\x" is "D:\x".
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// The host path of a path text, by the rules above.
std::filesystem::path gf_hostPath(std::string_view text);
// The text can name a folder: it holds something besides blanks and no NUL character (the
// file system would read the name only up to the NUL, and so find another folder). A text
// holding NUL is refused with the log line "a path holding a NUL character is skipped".
bool gf_usableFolderText(std::string_view text);
// base and tail joined as the simulator's paths are: one backslash between them (trailing
// separators of base dropped); base alone when tail is empty, tail alone when base is.
std::string gf_joinSimPath(std::string_view base, std::string_view tail);
// The stock airports folder under the simulator's install folder: its own scenery tree,
// "Scenery", under which every default airport of the simulator lies.
inline constexpr const char* g_stockAirportsSubfolder = "Scenery";
// Start-up: SIM_INSTALL_PATH from the simulator root (TRELVO_SIM_ROOT, platform/known_folders.h)
// and g_stockAirportsPath (core/paths.h) as that joined with g_stockAirportsSubfolder.
void gf_setSimulatorPaths();
