// The livery scan: finds the installed AI liveries (manual folders or the simulator's add-on
// configuration), parses every aircraft.cfg in parallel tasks, corrects the liveries from the
// type database and writes LiveriesScanned.xml, from which the livery tables are built. Called
// by the run thread's start-up; the tasks take the scan task slots (core/tasks.h).
#pragma once
#include <string>
#include <vector>

#include "aircraft/livery_data.h"

// How a folder loop ended.
enum class ScanOutcome {
    Written,     // LiveriesScanned.xml and the reports written
    NoLiveries,  // no livery in any folder: nothing written
    Stopped,     // the run was asked to stop: nothing written, the scan is due again
};

// The entry: scans when SCAN_LIVERIES is set, then builds the livery tables. Raises the user
// errors 48 (no manual folder), 53 and 43 (no liveries) and a file-system error when
// LiveriesScanned.xml cannot be written; a stopped scan leaves SCAN_LIVERIES set, builds no
// tables and returns.
void gf_scanLiveries();
// The folders of the list in order, numbered 1 to 10, their liveries post-processed and written.
ScanOutcome lf_scanLiveryFolders(const std::vector<std::string>& folders);
// Parses every aircraft.cfg under the folder (any letter case, no directory link followed) in
// parallel tasks and appends its liveries, with the folder number, to g_scannedLiveries: of
// two sections with one title the one of the lower file path (then the earlier one) counts.
// Returns when every task has ended.
void lf_scanLiveryFolder(int folderNumber, const std::string& folder);
// Equal title, airline, type, registration and cargo flag (the folder number aside).
bool lf_sameLivery(const LiveryData& a, const LiveryData& b);
