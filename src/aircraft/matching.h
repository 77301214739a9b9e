// The matching ladder: picks an installed livery title for a live aircraft at its spawn and
// for a static parked aircraft at its placement, down to the depth MATCHING_DEPTH allows, and
// the summary of the live matches per step. Run thread only; reads the livery tables.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// An aircraft as the ladder sees it: what it is matched by, the title it holds and the flags the
// ladder sets. The records of live traffic and static parking are matched through
// live/record_matching.h, which copies their fields in and the results back.
struct MatchSubject {
    std::string airline;
    std::string type;
    std::string regcode;
    int32_t category = 2;          // AircraftCategory
    uint8_t isCargo = 0;           // the parked ladder sets it from the stand
    std::string_view liveryTitle;  // borrowed from the livery tables; empty until matched
    uint8_t touchdownSign = 0;     // the live ladder sets it: an "FSLTL_" title
    // The aircraft's labels in the log's detail lines, made only when a line is written.
    std::function<std::string()> label;
    std::function<std::string()> shortLabel;
};

// Gives a live aircraft a title (empty: no match); counts and logs the step that found it
// and sets its FSLTL flag.
void gf_matchLiveAc(MatchSubject& ac);
// Gives a parked aircraft on a stand a title; true when it has one (found now or before). The
// stand gives the aircraft its cargo flag and its name to the no-match line.
bool gf_matchParkedAc(MatchSubject& ac, bool standIsCargo, std::string_view standName);
// Writes the match counters and the titles the simulator could not create to Log.txt; nothing
// while every counter is 0.
void gf_logMatchingSummary();
// One line per entry of g_uncreatableTitles: two blanks and the entry.
std::vector<std::string> lf_copyRefusedTitles();
// Whole-process reset for tests: counters, refused and uncreatable titles, remembered titles.
void gf_resetMatching();

// Titles the simulator refused to create; owned copies, so a table rebuild cannot leave them
// dangling. Never given out again.
extern std::vector<std::string> g_refusedTitles;
// "{type} {airline}" of every livery the simulator refused, for the summary.
extern std::set<std::string> g_uncreatableTitles;
// Live titles handed out per ladder step 1..6 (index 0..5); kept for the life of the process.
extern std::array<uint32_t, 6> g_matchCounters;
// Hexid -> the title a live aircraft was given, so that it keeps it when created again.
// Views into the livery tables: emptied with them.
extern std::unordered_map<uint32_t, std::string_view> g_titleByHexid;
