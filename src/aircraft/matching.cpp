#include "aircraft/matching.h"

#include <algorithm>

#include <fmt/format.h>

#include "aircraft/livery_tables.h"
#include "aircraft/regcodes.h"
#include "aircraft/similar_models.h"
#include "aircraft/type_database.h"
#include "core/log.h"
#include "core/params.h"
#include "core/random.h"
#include "core/text.h"

std::vector<std::string> g_refusedTitles;
std::set<std::string> g_uncreatableTitles;
std::array<uint32_t, 6> g_matchCounters{};
std::unordered_map<uint32_t, std::string_view> g_titleByHexid;

namespace {

constexpr std::string_view kGenericAirline = "ZZZ";
constexpr std::string_view kPrivateAirline = "PVT";

bool lf_isRefused(std::string_view title) {
    return std::find(g_refusedTitles.begin(), g_refusedTitles.end(), title) != g_refusedTitles.end();
}

std::string_view lf_draw(const TitleList& list) {
    if (list.size() == 1) return list.front();
    return list[gf_nextRandom() % list.size()];
}

// A random title of the list; special titles only when the list has nothing else.
void lf_pickTitle(MatchSubject& ac, const TitleList& list) {
    if (list.empty()) return;
    for (int draw = 0; draw < 5; ++draw) {
        ac.liveryTitle = lf_draw(list);
        if (!gf_isSpecialTitle(ac.liveryTitle)) return;
    }
    TitleList ordinary;
    std::copy_if(list.begin(), list.end(), std::back_inserter(ordinary),
                 [](std::string_view title) { return !gf_isSpecialTitle(title); });
    if (!ordinary.empty()) ac.liveryTitle = lf_draw(ordinary);
}

bool lf_matchRegcode(MatchSubject& ac) {
    if (ac.regcode.empty()) return false;
    const auto it = g_regToLivery.find(ac.regcode);
    ac.liveryTitle = it == g_regToLivery.end() ? std::string_view() : it->second;
    return !ac.liveryTitle.empty();
}

bool lf_lookupAirlineType(MatchSubject& ac, const LiveryKey& key, int table) {
    const auto airline = g_airlineTables[table].find(key.airline);
    if (airline == g_airlineTables[table].end()) return false;
    const auto type = airline->second.find(key.type);
    if (type == airline->second.end()) return false;
    lf_pickTitle(ac, type->second);
    return !ac.liveryTitle.empty();
}

// Cargo aircraft take a passenger livery of their airline rather than none.
bool lf_matchAirlineType(MatchSubject& ac, const LiveryKey& key) {
    if (ac.isCargo && lf_lookupAirlineType(ac, key, 1)) return true;
    return lf_lookupAirlineType(ac, key, 0);
}

bool lf_lookupAnyAirline(MatchSubject& ac, const std::string& type) {
    const TypeTitleMap& table = g_typeTables[ac.isCargo ? 1 : 0];
    const auto it = table.find(type);
    if (it == table.end()) return false;
    lf_pickTitle(ac, it->second);
    return !ac.liveryTitle.empty();
}

bool lf_matchSimilarTypes(MatchSubject& ac, LiveryKey key) {
    for (const std::string& type : gf_similarTypesWithLivery(key)) {
        if (gf_aircraftCategory(type) != static_cast<AircraftCategory>(ac.category)) continue;
        key.type = type;
        if (lf_matchAirlineType(ac, key)) return true;
    }
    return false;
}

std::vector<std::string> lf_classCandidates(const std::string& type) {
    const auto similar = g_installedSimilarTypes.find(type);
    if (similar != g_installedSimilarTypes.end()) {
        std::vector<std::string> types = similar->second;
        gf_shuffle(types);
        return types;
    }
    switch (gf_aircraftCategory(type)) {
        case AircraftCategory::Light:
            return lf_oneTypeList(lf_randomLightType);
        case AircraftCategory::Buzjets:
            return lf_oneTypeList(lf_randomBizjetType);
        case AircraftCategory::Rotorcraft:
            return lf_oneTypeList(lf_randomHeliType);
        default:
            return {};
    }
}

bool lf_isGenericClass(int32_t category) {
    const auto c = static_cast<AircraftCategory>(category);
    return c == AircraftCategory::Light || c == AircraftCategory::Buzjets ||
           c == AircraftCategory::Rotorcraft;
}

// Steps 4 to 6; `step` tells which one found the title.
void lf_matchGeneric(MatchSubject& ac, int& step) {
    const int depth = MATCHING_DEPTH.value();
    const LiveryKey generic{std::string(kGenericAirline), ac.type};
    step = 4;
    if (ac.liveryTitle.empty() && depth == 4 && lf_matchAirlineType(ac, generic)) return;
    if (!ac.liveryTitle.empty() || !lf_isGenericClass(ac.category)) return;
    if (depth >= 3 && ac.airline != kPrivateAirline && lf_matchAirlineType(ac, generic)) return;
    step = 5;
    if (lf_lookupAnyAirline(ac, ac.type)) return;
    step = 6;
    for (const std::string& type : lf_classCandidates(ac.type))
        if (lf_lookupAnyAirline(ac, type)) return;
}

void lf_recordMatch(MatchSubject& ac, int step) {
    if (lf_isRefused(ac.liveryTitle)) {
        ac.liveryTitle = {};
        return;
    }
    ++g_matchCounters[step - 1];
    gf_logDetail(fmt::format("          {} ={}= {}", ac.label(), step, ac.liveryTitle));
    ac.touchdownSign = ac.liveryTitle.find("FSLTL_") != std::string_view::npos ? 1 : 0;
}

std::string lf_dbRecordAirline(const std::string& registration) {
    if (registration.empty()) return {};
    const auto record = gf_findDbRecord(registration);
    return record ? record->airl : std::string();
}

bool lf_matchOwnAirlineSteps(MatchSubject& ac, const std::string& dbOperator) {
    if (lf_matchAirlineType(ac, {ac.airline, ac.type})) return true;
    return !dbOperator.empty() && lf_matchAirlineType(ac, {gf_dbAirlineOfReg(ac.regcode), ac.type});
}

// Parked ladder: hands the title out unless the simulator refused it.
bool lf_giveOut(MatchSubject& ac, int step) {
    if (lf_isRefused(ac.liveryTitle)) {
        ac.liveryTitle = {};
        return false;
    }
    gf_logDetail(fmt::format("          {} ={}= {}", ac.label(), step, ac.liveryTitle));
    return true;
}

bool lf_noParkedMatch(const MatchSubject& ac, std::string_view standName) {
    gf_logDetail(fmt::format("{:8}: {} no livery match ...", standName, ac.shortLabel()));
    return false;
}

// Parked step 3: the similar types of the aircraft's own key, under `airline`.
bool lf_matchParkedSimilar(MatchSubject& ac, const std::string& airline) {
    for (const std::string& type : gf_similarTypesWithLivery({ac.airline, ac.type}))
        if (lf_matchAirlineType(ac, {airline, type})) return true;
    return false;
}

}  // namespace

void gf_matchLiveAc(MatchSubject& ac) {
    if (lf_matchRegcode(ac)) return lf_recordMatch(ac, 1);
    const int depth = MATCHING_DEPTH.value();
    if (depth < 2) return;
    if (ac.airline == kPrivateAirline && lf_matchAirlineType(ac, {std::string(kGenericAirline), ac.type}))
        return lf_recordMatch(ac, 4);
    const std::string dbOperator = gf_dbOperatorOfReg(ac.regcode);
    if (!ac.airline.empty() && lf_matchOwnAirlineSteps(ac, dbOperator)) return lf_recordMatch(ac, 2);
    if (depth < 3) return;
    if (!ac.airline.empty()) {
        if (lf_matchSimilarTypes(ac, {ac.airline, ac.type})) return lf_recordMatch(ac, 3);
        if (!dbOperator.empty() && lf_matchSimilarTypes(ac, {lf_dbRecordAirline(ac.regcode), ac.type}))
            return lf_recordMatch(ac, 3);
    }
    int step = 0;
    lf_matchGeneric(ac, step);
    if (!ac.liveryTitle.empty()) lf_recordMatch(ac, step);
}

bool gf_matchParkedAc(MatchSubject& ac, bool standIsCargo, std::string_view standName) {
    if (!ac.liveryTitle.empty()) {
        gf_logDetail(fmt::format("          {} =s= {}", ac.label(), ac.liveryTitle));
        return true;
    }
    ac.isCargo = standIsCargo ? 1 : 0;
    if (lf_matchRegcode(ac)) return lf_giveOut(ac, 1);
    const int depth = MATCHING_DEPTH.value();
    if (depth < 2) return lf_noParkedMatch(ac, standName);
    if (ac.airline == kPrivateAirline && lf_matchAirlineType(ac, {std::string(kGenericAirline), ac.type}))
        return lf_giveOut(ac, 4);
    const std::string dbOperator = gf_dbOperatorOfReg(ac.regcode);
    if (lf_matchOwnAirlineSteps(ac, dbOperator)) return lf_giveOut(ac, 2);
    if (depth < 3) return lf_noParkedMatch(ac, standName);
    // The second pass draws the aircraft's own similar types again, under the registration's airline.
    if (lf_matchParkedSimilar(ac, ac.airline)) return lf_giveOut(ac, 3);
    if (!dbOperator.empty() && lf_matchParkedSimilar(ac, gf_dbAirlineOfReg(ac.regcode)))
        return lf_giveOut(ac, 3);
    int step = 0;
    lf_matchGeneric(ac, step);
    if (!ac.liveryTitle.empty()) return lf_giveOut(ac, step);
    return lf_noParkedMatch(ac, standName);
}

void gf_logMatchingSummary() {
    if (std::all_of(g_matchCounters.begin(), g_matchCounters.end(), [](uint32_t c) { return c == 0; }))
        return;
    constexpr std::string_view kTitle = "live traffic livery matching summary";
    gf_logLine(gf_starBanner(100 - static_cast<int>(kTitle.size()), 0, true, false, kTitle));
    gf_logLine("Matches at step: ");
    for (std::size_t step = 0; step < g_matchCounters.size(); ++step)
        gf_logLine(fmt::format("  {}: {}", step + 1, g_matchCounters[step]));
    if (!g_uncreatableTitles.empty()) {
        gf_logLine(fmt::format("\nCould not be created by {}:", "P3D"));
        for (const std::string& line : lf_copyRefusedTitles()) gf_logLine(line);
    }
    gf_logLine(std::string(100, '*') + "\n");
}

std::vector<std::string> lf_copyRefusedTitles() {
    std::vector<std::string> lines;
    lines.reserve(g_uncreatableTitles.size());
    for (const std::string& entry : g_uncreatableTitles) lines.push_back("  " + entry);
    return lines;
}

void gf_resetMatching() {
    g_refusedTitles.clear();
    g_uncreatableTitles.clear();
    g_matchCounters.fill(0);
    g_titleByHexid.clear();
}
