// The aircraft type database (dbase.xml): categories and wing spans of ICAO types, similar-type
// groups, registrations, publishers and add-on airport tables. Loaded by the run's start-up;
// read by live traffic, matching, static parking and the airport scan. Format: type_database_reader.h.
#pragma once
#include <concepts>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <fmt/format.h>

// Class of an aircraft type; the key of every per-category table of live traffic.
enum class AircraftCategory : int32_t {
    Light = 0,       // piston and turboprop singles and light twins; also every unknown type
    Buzjets = 1,     // business jets
    Large = 2,       // narrow-bodies and regionals
    Heavy = 3,       // wide-bodies
    HighPerf = 4,    // military jets
    Rotorcraft = 5,  // helicopters
};
inline constexpr int kCategoryCount = 6;

// One registration record of the type database.
struct DbRecord {
    std::string airl;  // airline code (brand the aircraft flies for); may be empty
    std::string type;  // ICAO type code; may be empty
    std::string opr;   // operator code (who flies it, when not the airline); may be empty
    bool cargo = false;
};

// One publisher of add-on airports with the archived parking files of its airports.
struct ThirdPartyPublisher {
    std::string publisher;              // exact publisher name
    std::vector<std::string> airports;  // ICAO code followed by the archived stand count: "EDDF212"
};

// Category of the type; Light (0) when the type is not in the database.
AircraftCategory gf_aircraftCategory(std::string_view type);
// "Light", "Buzjets", "Large", "Heavy", "HighPerf" or "Rotorcraft"; "" outside 0..5.
std::string_view gf_categoryName(AircraftCategory category);
// Half wing span in nautical miles: the type's own, else the average of the types of its
// category that have a span (0 when none has).
double gf_halfWingspan(std::string_view type);
// The type is in the database.
bool gf_isKnownType(std::string_view type);
// Similar-type groups as listed in the database (only known types, at least two per group).
const std::vector<std::vector<std::string>>& gf_similarTypeGroups();

// The keys tried for a registration, in order and without repeats: as given, upper case,
// upper case without the dash after the country prefix, upper case with a dash after the
// country prefix. Empty for an empty registration. Prefix rule: see type_database.cpp.
std::vector<std::string> gf_registrationCandidates(std::string_view registration);
// The record of the first candidate key that the database holds; nothing when none does.
std::optional<DbRecord> gf_findDbRecord(std::string_view registration);
// The same record in place, without a copy; nullptr when none. Valid until the database is
// loaded again or reset.
const DbRecord* gf_dbRecordOf(std::string_view registration);
// airl of the registration's record; "" for an empty registration or when there is none.
std::string gf_dbAirlineOfReg(std::string_view registration);
// opr of the registration's record; "" for an empty registration or when there is none.
std::string gf_dbOperatorOfReg(std::string_view registration);

// The airline of any record: DbRecord names it airl, the other records airline.
inline std::string_view gf_recordAirline(const DbRecord& r) {
    return r.airl;
}
template <class R>
requires requires(const R& r) {
    std::string_view(r.airline);
}
std::string_view gf_recordAirline(const R& r) {
    return r.airline;
}

template <class R>
concept AirlineTypeRecord = requires(const R& r) {
    { gf_recordAirline(r) } -> std::convertible_to<std::string_view>;
    std::string_view(r.type);
};

// "{:3} {:4}" of airline and type: the label of log lines.
inline std::string gf_airlineTypeId(std::string_view airline, std::string_view type) {
    return fmt::format("{:3} {:4}", airline, type);
}
template <AirlineTypeRecord R>
std::string gf_airlineTypeId(const R& r) {
    return gf_airlineTypeId(gf_recordAirline(r), std::string_view(r.type));
}
// Equal airline and equal type texts; the two records may be of different kinds.
template <AirlineTypeRecord A, AirlineTypeRecord B>
bool gf_sameAirlineType(const A& a, const B& b) {
    return gf_recordAirline(a) == gf_recordAirline(b) && std::string_view(a.type) == std::string_view(b.type);
}

// Calls typeOf once: a list holding that one type code, or an empty list when it is empty.
template <class F>
requires std::is_invocable_r_v<std::string, F> std::vector<std::string> lf_oneTypeList(F&& typeOf) {
    std::string type = std::invoke(std::forward<F>(typeOf));
    if (type.empty()) return {};
    return {std::move(type)};
}

// Parses a whole dbase.xml held in memory and swaps its tables in; the old tables stay when
// it raises. Broken file: qtk::UserErrorException 99 naming sourceName and the place. Bad
// single entries are dropped and reported in Log.txt. Run thread, before any reader starts.
void gf_loadTypeDatabaseText(std::string_view xml, std::string_view sourceName);
// Reads the plain file and loads it as above; an unreadable file raises code 99 as well.
void gf_loadTypeDatabaseFile(const std::filesystem::path& path);
// Empties every table (whole-process reset; the database lives for the process).
void gf_resetTypeDatabase();

// Publisher entries in file order; each a list of names, the first the publisher's name.
extern std::vector<std::vector<std::string>> g_publishers;
// ICAO codes of airports that have an archived "simaddon" parking file.
extern std::set<std::string> g_simAddonAirports;
// Publishers of third-party airports with their archived files, in file order.
extern std::vector<ThirdPartyPublisher> g_thirdPartyPublishers;
