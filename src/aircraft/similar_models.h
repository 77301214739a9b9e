// Similar installed models: for every type of the type database's similar-type groups, the
// other types of its groups that are installed, overall and per airline. Built by the table
// building (aircraft/liveries_scanned.h) after the type tables; read by the matching ladder.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

#include "aircraft/livery_data.h"

// Builds g_installedSimilarTypes and the per-airline similar types from the type tables and
// the raw airline table; logs "{} similar model definitions".
void gf_buildSimilarModels();
// The similar types of the key's type for which the key's airline has liveries, in a random
// order; empty when there is none.
std::vector<std::string> gf_similarTypesWithLivery(const LiveryKey& key);
// Empties both maps (with the livery tables).
void gf_clearSimilarModels();

// Type code -> the other types of its similar-type groups with an installed livery; only
// types that have at least one such type are present.
extern std::unordered_map<std::string, std::vector<std::string>> g_installedSimilarTypes;
