// Registration codes: the map from a real aircraft's registration to its installed livery,
// filled from the liveries' own registrations, the AIG regcode file and the user's regcode
// files; the special titles that random picks avoid; the titles a livery scan must skip.
// Filled by the table building (aircraft/liveries_scanned.h) and the livery scan on the run
// thread; read by the matching ladder.
#pragma once
#include <memory_resource>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "aircraft/livery_data.h"

// Registration -> title view; keys and nodes in the livery arena (aircraft/livery_tables.h).
using RegistrationMap = std::pmr::unordered_map<std::string_view, std::string_view, TextHash>;

// Before a scan's folder loop: collects the don't-use titles of the AIG file and the user's
// regcode files into g_dontUseTitles.
void lf_processRegcodeSources();
// The liveries' own registrations (sorted, as the tables were built from them) into the
// registration map; clashes go to output/errors/InlineRegcodes.txt.
void lf_applyInlineRegcodes(std::span<const LiveryView> liveries);
// The same for g_scannedLiveries.
void lf_applyInlineRegcodes();
// The AIG file and then the user's regcode files into the registration map; the results go to
// output/info/OfflineRegcodes.txt.
void lf_processOfflineRegcodes();
// Merges one source into the registration map and the special-title list.
void lf_mergeRegcodes(const std::vector<RegcodeEntry>& entries);
// The title is one the scan must not use.
bool lf_isDontUseTitle(std::string_view title);
// The title is in g_specialTitleList (compared by content).
bool gf_isSpecialTitle(std::string_view title);
// Empties the lookup index of g_specialTitleList (with the list, by the table clear).
void gf_clearSpecialTitleIndex();
// Whole-process reset for tests.
void gf_resetRegcodes();

inline constexpr const char* g_inlineRegcodesFile = "output/errors/InlineRegcodes.txt";
inline constexpr const char* g_offlineRegcodesFile = "output/info/OfflineRegcodes.txt";

// Registration (exact) -> installed title, a view into g_rawAirlineTable.
extern RegistrationMap g_regToLivery;
// Installed titles flagged special, once per special entry and source.
extern std::vector<std::string_view> g_specialTitleList;
// Titles the scan must skip; filled before a scan's folder loop, emptied after its reports.
extern std::vector<std::string> g_dontUseTitles;
