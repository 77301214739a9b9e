#include "aircraft/livery_tables.h"

#include <algorithm>
#include <unordered_set>

#include <fmt/format.h>

#include "aircraft/liveries_scanned.h"
#include "aircraft/matching.h"
#include "aircraft/regcodes.h"
#include "aircraft/similar_models.h"
#include "core/log.h"
#include "core/params.h"
#include "core/params_file.h"
#include "core/random.h"
#include "core/text.h"
#include "platform/window_model.h"

std::unordered_map<std::string, RawTypeMap> g_rawAirlineTable;
std::array<std::unordered_map<std::string, TypeTitleMap>, 2> g_airlineTables;
std::array<TypeTitleMap, 2> g_typeTables;
ClassPickList g_lightTypes;
ClassPickList g_bizjetTypes;
ClassPickList g_heliTypes;
bool g_liveryTablesReserved = false;

namespace {

// Every installed title once, pointing at its first copy in table order: the regcode sources
// look up thousands of titles, which a walk of the whole table per title would make quadratic.
std::unordered_set<std::string_view> g_titleIndex;

struct TypeIndexEntry {
    std::string_view type;  // a key of g_rawAirlineTable
    std::string_view title;
    bool cargo = false;
};

void lf_fileEntries(RawTypeMap& types, const std::string& type, std::vector<RawTitleEntry>& entries) {
    if (entries.empty()) return;
    types.try_emplace(type, std::move(entries));
    entries = {};
}

void lf_fileTypes(const std::string& airline, RawTypeMap& types) {
    if (types.empty()) return;
    g_rawAirlineTable.try_emplace(airline, std::move(types));
    types = RawTypeMap{};
    types.max_load_factor(1.0f);
}

void lf_buildTitleIndex() {
    for (const auto& [airline, types] : g_rawAirlineTable)
        for (const auto& [type, entries] : types)
            for (const auto& entry : entries) g_titleIndex.insert(std::string_view(entry.title));
}

std::string lf_randomType(const ClassPickList& list) {
    if (list.empty()) return {};
    if (list.size() == 1) return list.front();
    return list[gf_nextRandom() % list.size()];
}

// The option a category without liveries switches off; nullptr for the other categories.
BoolParameter* lf_categoryOption(AircraftCategory category) {
    switch (category) {
        case AircraftCategory::Light:
            return &LIGHT_AIRCRAFT;
        case AircraftCategory::HighPerf:
            return &HIGH_PERF_AIRCRAFT;
        case AircraftCategory::Rotorcraft:
            return &HELICOPTERS;
        default:
            return nullptr;
    }
}

const char* lf_switchedOffText(AircraftCategory category) {
    switch (category) {
        case AircraftCategory::Light:
            return "{} temporarily switched off because you do not have light aircraft installed";
        case AircraftCategory::HighPerf:
            return "{} temporarily switched off because you do not have High Perf aircraft installed";
        default:
            return "{} temporarily switched off because you do not have Helicopters installed";
    }
}

void lf_gateEmptyCategory(AircraftCategory category) {
    BoolParameter* option = lf_categoryOption(category);
    if (option == nullptr) return;
    if (option->value()) {
        option->set(false);
        gf_saveParameter(*option);
        gf_logLine(fmt::format(fmt::runtime(lf_switchedOffText(category)), option->name()));
    }
    gf_setEnabled(option->controlId(), false);
}

// Titles of one kind of the category's types; the category's types are added to `types`.
std::size_t lf_countTitles(const TypeTitleMap& table, AircraftCategory category,
                           std::vector<std::string>& types) {
    std::size_t count = 0;
    for (const auto& [type, titles] : table) {
        if (gf_aircraftCategory(type) != category) continue;
        types.push_back(type);
        count += titles.size();
    }
    return count;
}

}  // namespace

void lf_buildRawAirlineTable() {
    std::string airline, type;
    std::vector<RawTitleEntry> entries;
    RawTypeMap types;
    types.max_load_factor(1.0f);
    for (const LiveryData& livery : g_scannedLiveries) {
        if (livery.type != type) {
            lf_fileEntries(types, type, entries);
            type = livery.type;
        }
        if (livery.airline != airline) {
            lf_fileEntries(types, type, entries);
            lf_fileTypes(airline, types);
            airline = livery.airline;
        }
        RawTitleEntry& entry = entries.emplace_back(RawTitleEntry{livery.title, livery.cargo});
        entry.title.shrink_to_fit();
    }
    lf_fileEntries(types, type, entries);
    lf_fileTypes(airline, types);
    lf_buildTitleIndex();
}

void lf_buildAirlineTables() {
    for (const auto& [airline, types] : g_rawAirlineTable) {
        std::array<TypeTitleMap, 2> split;
        for (const auto& [type, entries] : types) {
            std::array<TitleList, 2> lists;
            for (const auto& entry : entries) lists[entry.cargo ? 1 : 0].emplace_back(entry.title);
            for (int kind = 0; kind < 2; ++kind) {
                if (lists[kind].empty()) continue;
                lists[kind].shrink_to_fit();
                split[kind].try_emplace(type, std::move(lists[kind]));
            }
        }
        for (int kind = 0; kind < 2; ++kind)
            if (!split[kind].empty()) g_airlineTables[kind].try_emplace(airline, std::move(split[kind]));
    }
}

void lf_buildTypeTables() {
    std::vector<TypeIndexEntry> index;
    index.reserve(g_titleIndex.size());
    for (const auto& [airline, types] : g_rawAirlineTable) {
        // A livery without a type code has no type to be found by; it stays in the airline tables.
        for (const auto& [type, entries] : types) {
            if (type.empty()) continue;
            for (const auto& entry : entries) index.push_back({type, entry.title, entry.cargo});
        }
    }
    std::sort(index.begin(), index.end(),
              [](const TypeIndexEntry& a, const TypeIndexEntry& b) { return a.type < b.type; });
    std::array<TitleList, 2> lists;
    auto fileLists = [&lists](std::string_view type) {
        for (int kind = 0; kind < 2; ++kind) {
            if (lists[kind].empty()) continue;
            lists[kind].shrink_to_fit();
            g_typeTables[kind].try_emplace(std::string(type), std::move(lists[kind]));
            lists[kind] = {};
        }
    };
    std::string_view current;
    for (const TypeIndexEntry& entry : index) {
        if (entry.type != current) {
            fileLists(current);
            current = entry.type;
        }
        lists[entry.cargo ? 1 : 0].push_back(entry.title);
    }
    fileLists(current);
}

void lf_countCategory(AircraftCategory category) {
    std::vector<std::string> types;
    const std::size_t pax = lf_countTitles(g_typeTables[0], category, types);
    const std::size_t cargo = lf_countTitles(g_typeTables[1], category, types);
    const std::string_view name = gf_categoryName(category);
    if (pax == 0 && cargo == 0) {
        gf_logLine(fmt::format("Category {}: No livery found", name));
        lf_gateEmptyCategory(category);
        return;
    }
    const std::string cargoPart =
        cargo > 0 ? fmt::format(" and {} cargo liverie{}", cargo, gf_plural(static_cast<long long>(cargo)))
                  : "";
    gf_logLine(fmt::format("Category {}: {} pax liverie{}{}", name, pax,
                           gf_plural(static_cast<long long>(pax)), cargoPart));
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    lf_fillClassPickLists(category == AircraftCategory::Light, category == AircraftCategory::Buzjets,
                          category == AircraftCategory::Rotorcraft, types);
    if (const BoolParameter* option = lf_categoryOption(category)) gf_setEnabled(option->controlId(), true);
}

void lf_fillClassPickLists(bool light, bool bizjet, bool heli, const std::vector<std::string>& types) {
    ClassPickList* list = light ? &g_lightTypes : bizjet ? &g_bizjetTypes : heli ? &g_heliTypes : nullptr;
    std::string line = "  ";
    int onLine = 0;
    auto flush = [&line, &onLine] {
        if (onLine == 0) return;
        line.pop_back();
        gf_logLine(line);
        line = "  ";
        onLine = 0;
    };
    for (const std::string& type : types) {
        if (list != nullptr) list->push_back(type);
        line += type;
        line += ',';
        if (++onLine == 20) flush();
    }
    flush();
}

std::string lf_randomLightType() {
    return lf_randomType(g_lightTypes);
}
std::string lf_randomBizjetType() {
    return lf_randomType(g_bizjetTypes);
}
std::string lf_randomHeliType() {
    return lf_randomType(g_heliTypes);
}

std::string_view lf_findInstalledTitle(std::string_view title) {
    const auto it = g_titleIndex.find(title);
    return it == g_titleIndex.end() ? std::string_view() : *it;
}

bool lf_airlineHasType(const std::string& airline, const std::string& type) {
    const auto it = g_rawAirlineTable.find(airline);
    return it != g_rawAirlineTable.end() && it->second.contains(type);
}

std::vector<std::string> lf_airlineList() {
    std::vector<std::string> airlines;
    airlines.reserve(g_rawAirlineTable.size());
    for (const auto& [airline, types] : g_rawAirlineTable) airlines.push_back(airline.substr(0, 3));
    return airlines;
}

void gf_reserveLiveryTables() {
    if (g_liveryTablesReserved) return;
    g_specialTitleList.reserve(4096);
    g_lightTypes.reserve(64);
    g_bizjetTypes.reserve(128);
    g_heliTypes.reserve(32);
    g_liveryTablesReserved = true;
}

void gf_clearLiveryTables() {
    // Holders of views first, the owner of the titles last.
    g_titleByHexid.clear();
    g_lightTypes.clear();
    g_bizjetTypes.clear();
    g_heliTypes.clear();
    g_specialTitleList.clear();
    gf_clearSpecialTitleIndex();
    g_regToLivery.clear();
    gf_clearSimilarModels();
    g_typeTables[0].clear();
    g_typeTables[1].clear();
    g_airlineTables[0].clear();
    g_airlineTables[1].clear();
    g_titleIndex.clear();
    g_rawAirlineTable.clear();
}

void gf_resetLiveryTables() {
    gf_clearLiveryTables();
    g_lightTypes = {};
    g_bizjetTypes = {};
    g_heliTypes = {};
    g_specialTitleList = {};
    g_liveryTablesReserved = false;
}
