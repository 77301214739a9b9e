// Saving what live traffic learned at the park airport into its learned parking file. Called on
// the run thread when static parking at the park airport ends (and so at closing down).
#pragma once
#include <filesystem>

// Writes the learned file of g_parkAirport from g_stands and g_parkFileHeader. Without the
// handmade flag the options read from the park airport's file and the made-up ones (origin 1)
// are first dropped from g_stands, and only stands added by hand, changed or holding learned
// options are written, followed by the learned stands the park airport's stands lack
// (g_learnedOrphans); a handmade file keeps every stand and option and the quality factors.
// The file is written beside its old version and renamed over it once it reads back whole; a
// failure of any kind (the publisher folder cannot be made, the disk is full, ...) keeps the
// old file and says so ("{time} saving '{path}' did not succeed: {reason}"); success says
// "{time}[ handmade] '{path}' saved with {n} update[s] [and one or more parameter changes]".
// The update counter and the parameter flag are reset either way. Never raises.
void gf_saveApf();

// The file gf_saveApf writes for the park airport; empty when its code or publisher cannot name
// a learned file.
std::filesystem::path gf_parkLearnedPath();
