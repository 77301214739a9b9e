#include "aircraft/type_database.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <sstream>

#include "aircraft/type_database_reader.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/log.h"

std::vector<std::vector<std::string>> g_publishers;
std::set<std::string> g_simAddonAirports;
std::vector<ThirdPartyPublisher> g_thirdPartyPublishers;

namespace {

// The loaded tables other than the three sections published as globals. Written only by the
// load on the run thread before the traffic reader starts; read-only afterwards.
TypeDatabaseTables g_typeTables;

constexpr size_t kDroppedLinesShown = 10;

const TypeInfo* lf_typeInfo(std::string_view type) {
    auto it = g_typeTables.types.find(type);
    return it == g_typeTables.types.end() ? nullptr : &it->second;
}

// Length of the nationality prefix of an upper-case registration written without a dash,
// or 0 when its country writes no dash at all:
// - no dash: N (United States), JA (Japan), HL (South Korea);
// - one letter: B (China, Taiwan), F, G, I, M (Isle of Man); D (Germany) unless a digit or Q
//   follows (D2, D4, D6, DQ); C (Canada) when F, G or I follows (CC, CN, CS, CU, CX are others);
// - three characters: A4O (Oman), A9C (Bahrain);
// - two characters for every other prefix (HB, EI, OE, PH, 9H, 4X, A6, VP, T7 ...).
size_t lf_prefixLength(std::string_view reg) {
    if (reg.starts_with('N') || reg.starts_with("JA") || reg.starts_with("HL")) return 0;
    if (reg.starts_with("A4O") || reg.starts_with("A9C")) return 3;
    char first = reg[0];
    char second = reg.size() > 1 ? reg[1] : '\0';
    if (std::string_view("BFGIM").find(first) != std::string_view::npos) return 1;
    if (first == 'D') return (std::isdigit(static_cast<unsigned char>(second)) || second == 'Q') ? 2 : 1;
    if (first == 'C') return std::string_view("FGI").find(second) != std::string_view::npos ? 1 : 2;
    return 2;
}

// Calls visit with each candidate key of the registration, in order and without repeats,
// until it returns true; true when it did. The keys are built on the stack (registrations
// fit the short-string buffer), so a lookup allocates nothing.
template <class Visit>
bool lf_visitCandidates(std::string_view registration, Visit&& visit) {
    if (registration.empty()) return false;
    if (visit(std::string_view(registration))) return true;
    std::string upper(registration);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper != registration && visit(std::string_view(upper))) return true;
    // Both spellings below differ in length from the two above, so they cannot repeat them.
    auto dash = upper.find('-');
    if (dash != std::string::npos) {
        std::string joined = upper;
        joined.erase(dash, 1);
        return !joined.empty() && visit(std::string_view(joined));
    }
    size_t prefix = lf_prefixLength(upper);
    if (prefix == 0 || upper.size() <= prefix) return false;
    std::string dashed = upper;
    dashed.insert(prefix, "-");
    return visit(std::string_view(dashed));
}

void lf_reportDropped(std::string_view sourceName, const std::vector<std::string>& dropped) {
    if (dropped.empty()) return;
    gf_logWarning(fmt::format("{}: {} bad entr{} dropped", sourceName, dropped.size(),
                              dropped.size() == 1 ? "y" : "ies"));
    for (size_t i = 0; i < dropped.size() && i < kDroppedLinesShown; ++i) gf_logIndented(dropped[i]);
    if (dropped.size() > kDroppedLinesShown) {
        gf_logIndented(fmt::format("and {} more", dropped.size() - kDroppedLinesShown));
    }
}

}  // namespace

AircraftCategory gf_aircraftCategory(std::string_view type) {
    const TypeInfo* info = lf_typeInfo(type);
    return info ? info->category : AircraftCategory::Light;
}

std::string_view gf_categoryName(AircraftCategory category) {
    static constexpr std::array<std::string_view, kCategoryCount> kNames = {
        "Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft"};
    auto index = static_cast<size_t>(category);
    return index < kNames.size() ? kNames[index] : std::string_view();
}

double gf_halfWingspan(std::string_view type) {
    const TypeInfo* info = lf_typeInfo(type);
    if (info && info->halfSpanNm >= 0) return info->halfSpanNm;
    return g_typeTables.categoryHalfSpanNm[static_cast<size_t>(gf_aircraftCategory(type))];
}

bool gf_isKnownType(std::string_view type) {
    return lf_typeInfo(type) != nullptr;
}

const std::vector<std::vector<std::string>>& gf_similarTypeGroups() {
    return g_typeTables.similarGroups;
}

std::vector<std::string> gf_registrationCandidates(std::string_view registration) {
    std::vector<std::string> keys;
    lf_visitCandidates(registration, [&](std::string_view key) {
        keys.emplace_back(key);
        return false;
    });
    return keys;
}

const DbRecord* gf_dbRecordOf(std::string_view registration) {
    const DbRecord* record = nullptr;
    if (g_typeTables.registrations.empty()) return record;
    lf_visitCandidates(registration, [&](std::string_view key) {
        auto it = g_typeTables.registrations.find(key);
        if (it != g_typeTables.registrations.end()) record = &it->second;
        return record != nullptr;
    });
    return record;
}

std::optional<DbRecord> gf_findDbRecord(std::string_view registration) {
    if (const DbRecord* record = gf_dbRecordOf(registration)) return *record;
    return std::nullopt;
}

std::string gf_dbAirlineOfReg(std::string_view registration) {
    auto record = gf_findDbRecord(registration);
    return record ? record->airl : std::string();
}

std::string gf_dbOperatorOfReg(std::string_view registration) {
    auto record = gf_findDbRecord(registration);
    return record ? record->opr : std::string();
}

void gf_loadTypeDatabaseText(std::string_view xml, std::string_view sourceName) {
    TypeDatabaseTables tables = gf_parseTypeDatabase(xml, sourceName);
    lf_reportDropped(sourceName, tables.dropped);
    tables.dropped.clear();
    g_publishers = std::move(tables.publishers);
    g_simAddonAirports = std::move(tables.simAddonAirports);
    g_thirdPartyPublishers = std::move(tables.thirdPartyPublishers);
    g_typeTables = std::move(tables);
    gf_logLine(
        fmt::format("Type database {}: {} types, {} similar-type groups, {} registrations, {} publishers, "
                    "{} simaddon airports, {} third-party publishers",
                    sourceName, g_typeTables.types.size(), g_typeTables.similarGroups.size(),
                    g_typeTables.registrations.size(), g_publishers.size(), g_simAddonAirports.size(),
                    g_thirdPartyPublishers.size()));
}

void gf_loadTypeDatabaseFile(const std::filesystem::path& path) {
    std::string text;
    if (auto why = gf_readWholeFile(path, text))
        throw qtk::UserErrorException(99, fmt::format("{}: cannot be read: {}", path.string(), *why));
    gf_loadTypeDatabaseText(text, path.string());
}

void gf_resetTypeDatabase() {
    g_typeTables = TypeDatabaseTables{};
    g_publishers.clear();
    g_simAddonAirports.clear();
    g_thirdPartyPublishers.clear();
}
