// The reader of dbase.xml: parses the text of the file into a fresh set of tables that
// type_database.cpp swaps in. Nothing else calls it.
//
// dbase.xml, field by field. UTF-8 XML; the root element is "dbase"; its sections may come in
// any order, other top-level elements (such as the meta block) are ignored. Lists inside
// attributes are comma separated; blanks around list items are dropped, empty items skipped.
//
//   types (required, at least one "type"): one element "type" per ICAO type
//     icao  the ICAO type designator, 2 to 4 upper-case letters or digits, once per file
//     cat   the category by name: Light, Buzjets, Large, Heavy, HighPerf or Rotorcraft
//     span  optional: the wing span (rotor diameter for rotorcraft) in metres, a number above 0
//           and at most 120; without it the type takes the average half span of its category
//   similars (optional): one element "group" per group of types that may stand in for each other
//     types the ICAO types of the group; unknown types are dropped, a group needs two known types
//   registrations (optional): one element "reg" per aircraft
//     id    the registration as written on the aircraft (letters, digits and dashes, 2 to 12)
//     airl  optional: the airline code the aircraft flies for ("PVT" for private aircraft)
//     type  optional: its ICAO type; when given it must be a type of the "types" section
//     opr   optional: the operator code when another company flies it for the airline
//     cargo optional: "true" for a freighter, "false" or absent otherwise
//   publishers (optional): one element "pub" per publisher of add-on airports
//     names the names under which its sceneries appear; the first is the publisher's name
//   simaddonsP3D (optional): elements "simaddonP3D"
//     arpts ICAO codes of airports that have an archived "simaddon" parking file
//   thirdpartiesP3D (optional): elements "thirdpartieP3D"
//     pub   the publisher's name, as the first name of its "pub" entry
//     arpts the archived airports of the publisher: ICAO code followed by the stand count of
//           the archived file ("EDDF212")
//
// A file that is not XML, lacks the root or the types, or has a type that is broken (no valid
// designator, category or span, or given twice) is refused as a whole. A bad entry of the other
// sections (unknown type or bad cargo flag in a registration, a registration given twice, an
// unknown type in a group, an element without its attributes) is dropped and listed in dropped.
// Messages name the place as "line L, offset O", O counting bytes from the start of the text to
// the element's name (to the point of failure for text that is not XML).
#pragma once
#include <array>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "aircraft/type_database.h"

struct TypeInfo {
    AircraftCategory category = AircraftCategory::Light;
    double halfSpanNm = -1;  // nautical miles; -1 when the file gives no span
};

// Hash that lets the maps be searched with a string_view.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
template <class T>
using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

struct TypeDatabaseTables {
    TextMap<TypeInfo> types;
    std::array<double, kCategoryCount> categoryHalfSpanNm{};  // average of the category's spans
    std::vector<std::vector<std::string>> similarGroups;
    TextMap<DbRecord> registrations;  // key: the registration as the file writes it
    std::vector<std::vector<std::string>> publishers;
    std::set<std::string> simAddonAirports;
    std::vector<ThirdPartyPublisher> thirdPartyPublishers;
    std::vector<std::string> dropped;  // one text per dropped entry, in file order
};

// Parses the file's text; sourceName names the file in messages. Raises
// qtk::UserErrorException 99 for a broken file.
TypeDatabaseTables gf_parseTypeDatabase(std::string_view xml, std::string_view sourceName);
