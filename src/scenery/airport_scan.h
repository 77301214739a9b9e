// The add-on airport scan: finds the add-on scenery folders, walks them for scenery files with
// airports, decodes those in parallel tasks (at most one per hardware thread) into parking
// files and links, writes output/info/AirportsScanLog.txt and collects the files that still
// need off-line learning in TBLO. Called by the run thread at start-up when SCAN_AIRPORTS is set.
#pragma once
#include <string>
#include <vector>

// The whole scan. Raises qtk::UserErrorException 49 (manual mode without folders) or 42 (a
// folder parameter in the stock airports folder); SCAN_AIRPORTS then stays set, as it does
// after a scan cut short by a stop.
void gf_scanAddonAirports();

// The afolder0..afolder9 parameters that are set, in order.
std::vector<std::string> lf_foldersFromParameters();
// Walks the folders, writes the scan log and runs the copy step; true when some link file was
// written or parking file generated.
bool lf_scanFolders(const std::vector<std::string>& folders);
// One folder tree: every qualifying scenery file gets a decoding task; returns once every task
// it started has ended.
void lf_scanFolderTree(const std::string& folder);

inline constexpr const char* kAirportsScanLog = "output/info/AirportsScanLog.txt";
