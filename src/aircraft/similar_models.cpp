#include "aircraft/similar_models.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <unordered_set>

#include <fmt/format.h>

#include "aircraft/livery_tables.h"
#include "aircraft/type_database.h"
#include "core/log.h"
#include "core/random.h"

std::unordered_map<std::string, std::vector<std::string>> g_installedSimilarTypes;

namespace {

// String hash that takes views as well, so that a lookup by a table's key builds no string.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

// Type code -> the other types of every similar-type group it belongs to; the per-airline
// lists are drawn from it at match time, so a fleet of thousands of airlines costs no table.
std::unordered_map<std::string, std::vector<std::string>, TextHash, std::equal_to<>> g_similarOfType;
std::size_t g_similarDefinitions = 0;

void lf_appendOnce(std::vector<std::string>& list, const std::string& type) {
    if (std::find(list.begin(), list.end(), type) == list.end()) list.push_back(type);
}

void lf_buildSimilarOfType() {
    for (const std::vector<std::string>& group : gf_similarTypeGroups())
        for (const std::string& type : group)
            for (const std::string& other : group)
                if (other != type) lf_appendOnce(g_similarOfType[type], other);
}

bool lf_isInstalledType(const std::string& type) {
    return g_typeTables[0].contains(type) || g_typeTables[1].contains(type);
}

void lf_buildInstalledSimilarTypes() {
    for (const auto& [type, others] : g_similarOfType) {
        std::vector<std::string> installed;
        for (const std::string& other : others)
            if (lf_isInstalledType(other)) installed.push_back(other);
        if (!installed.empty()) g_installedSimilarTypes.emplace(type, std::move(installed));
    }
}

// g_similarOfType with every similar type as a number, for counting without texts.
std::unordered_map<std::string_view, std::vector<std::uint32_t>> lf_similarTypeNumbers(std::size_t& numbers) {
    std::unordered_map<std::string_view, std::uint32_t> numberOf;
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> similar;
    for (const auto& [type, others] : g_similarOfType) {
        std::vector<std::uint32_t>& list = similar[type];
        for (const std::string& other : others)
            list.push_back(
                numberOf.try_emplace(other, static_cast<std::uint32_t>(numberOf.size())).first->second);
    }
    numbers = numberOf.size();
    return similar;
}

// The {airline, type} keys that have at least one similar type of the airline: an installed
// type S of airline A makes every type similar to S such a key of A. A key is counted when
// its number is first stamped with the airline's turn.
std::size_t lf_countAirlineDefinitions() {
    std::size_t numbers = 0;
    const auto similar = lf_similarTypeNumbers(numbers);
    std::vector<std::size_t> stamp(numbers, 0);
    std::size_t turn = 0, count = 0;
    const std::vector<std::string> airlines = lf_airlineList();
    std::unordered_set<std::string_view> done;
    for (const std::string& airline : airlines) {
        const auto types = g_rawAirlineTable.find(airline);
        if (types == g_rawAirlineTable.end() || !done.insert(airline).second) continue;
        ++turn;
        for (const auto& [installed, run] : types->second) {
            const auto others = similar.find(installed);
            if (others == similar.end()) continue;
            for (const std::uint32_t number : others->second)
                if (std::exchange(stamp[number], turn) != turn) ++count;
        }
    }
    return count;
}

}  // namespace

void gf_buildSimilarModels() {
    gf_clearSimilarModels();
    lf_buildSimilarOfType();
    lf_buildInstalledSimilarTypes();
    g_similarDefinitions = lf_countAirlineDefinitions();
    gf_logLine(fmt::format("{} similar model definitions", g_similarDefinitions));
}

std::vector<std::string> gf_similarTypesWithLivery(const LiveryKey& key) {
    const auto others = g_similarOfType.find(key.type);
    if (others == g_similarOfType.end()) return {};
    std::vector<std::string> types;
    for (const std::string& type : others->second)
        if (lf_airlineHasType(key.airline, type)) types.push_back(type);
    gf_shuffle(types);
    return types;
}

void gf_clearSimilarModels() {
    g_installedSimilarTypes.clear();
    g_similarOfType.clear();
    g_similarDefinitions = 0;
}
