#include "aircraft/similar_models.h"

#include <algorithm>
#include <unordered_set>

#include <fmt/format.h>

#include "aircraft/livery_tables.h"
#include "aircraft/type_database.h"
#include "core/log.h"
#include "core/random.h"

std::unordered_map<std::string, std::vector<std::string>> g_installedSimilarTypes;

namespace {

// {airline, type} -> the similar types of the type for which the airline has liveries.
std::unordered_map<LiveryKey, std::vector<std::string>, LiveryKeyHash> g_airlineSimilarTypes;

void lf_appendOnce(std::vector<std::string>& list, const std::string& type) {
    if (std::find(list.begin(), list.end(), type) == list.end()) list.push_back(type);
}

// Type code -> the other types of every group it belongs to.
std::unordered_map<std::string, std::vector<std::string>> lf_similarOfEachType() {
    std::unordered_map<std::string, std::vector<std::string>> similar;
    for (const std::vector<std::string>& group : gf_similarTypeGroups())
        for (const std::string& type : group)
            for (const std::string& other : group)
                if (other != type) lf_appendOnce(similar[type], other);
    return similar;
}

bool lf_isInstalledType(const std::string& type) {
    return g_typeTables[0].contains(type) || g_typeTables[1].contains(type);
}

void lf_buildInstalledSimilarTypes(const std::unordered_map<std::string, std::vector<std::string>>& similar) {
    for (const auto& [type, others] : similar) {
        std::vector<std::string> installed;
        for (const std::string& other : others)
            if (lf_isInstalledType(other)) installed.push_back(other);
        if (!installed.empty()) g_installedSimilarTypes.emplace(type, std::move(installed));
    }
}

// Walks each airline's own types: S installed for airline A makes S a candidate of {A, T}
// for every T similar to S, which visits only what the airline has.
void lf_buildAirlineSimilarTypes(const std::unordered_map<std::string, std::vector<std::string>>& similar) {
    std::unordered_set<std::string> done;
    for (const std::string& airline : lf_airlineList()) {
        const auto types = g_rawAirlineTable.find(airline);
        if (types == g_rawAirlineTable.end() || !done.insert(airline).second) continue;
        for (const auto& [installed, entries] : types->second) {
            const auto others = similar.find(installed);
            if (others == similar.end()) continue;
            for (const std::string& type : others->second)
                lf_appendOnce(g_airlineSimilarTypes[LiveryKey{airline, type}], installed);
        }
    }
}

}  // namespace

void gf_buildSimilarModels() {
    gf_clearSimilarModels();
    const auto similar = lf_similarOfEachType();
    lf_buildInstalledSimilarTypes(similar);
    lf_buildAirlineSimilarTypes(similar);
    gf_logLine(fmt::format("{} similar model definitions", g_airlineSimilarTypes.size()));
}

std::vector<std::string> gf_similarTypesWithLivery(const LiveryKey& key) {
    const auto it = g_airlineSimilarTypes.find(key);
    if (it == g_airlineSimilarTypes.end()) return {};
    std::vector<std::string> types = it->second;
    gf_shuffle(types);
    return types;
}

void gf_clearSimilarModels() {
    g_installedSimilarTypes.clear();
    g_airlineSimilarTypes.clear();
}
