// Learned parking files: what the program learned about an airport (options seen on its stands,
// radius and cargo corrections, stands added by hand) and the settings in force there, merged
// into g_stands after the park airport's file is read. A handmade learned file replaces the
// stands altogether. Run thread. The file form is that of apf_file.h in learned mode.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "airports/apf_file.h"
#include "airports/stand.h"

// Merges the learned file into g_stands and the settings (see learned.cpp for the rules).
// Failures end in a log line; a file that cannot be loaded (a warning the message line shows
// too), lacks its meta entries or repeats a manual or handmade stand id is kept as a copy
// "<name>0.xml" beside it, so that the next save never loses it. A repeated ordinary stand is
// merged into the first of its name; a learned stand the stands lack goes to
// g_learnedOrphans. A stop request ends the merge early (the caller must then drop the stands).
void lf_readLearned(const std::filesystem::path& path, const std::string& archivedName);

// Applies the changes of a learned parkpos named name to the stand when its name is that name:
// radius and cargo corrections and the options not already known. False for another stand.
bool lf_applyLearnedChanges(std::string_view name, pugi::xml_node parkpos, Stand& stand, const ApfSource& source);

// Same weekday, real flag, registration, airline and type, and every half-hour of added is one
// of known's: the learned option would add nothing.
bool lf_optionAlreadyKnown(const StandOption& added, const StandOption& known);

// The copy "<stem>0<ext>" of the file beside it (EDDF.xml -> EDDF0.xml), overwriting.
std::filesystem::path gf_keepLearnedCopy(const std::filesystem::path& path);

// The learned stands of the last merge that no stand of the park airport has (renamed or gone
// in a newer archived file): kept with their changes and options, so that the saver writes them
// again. Cleared by every merge and by the park file's reset. Run thread.
extern std::vector<Stand> g_learnedOrphans;
