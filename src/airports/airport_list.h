// The list of all known airports (g_airports), read once per process from input/airports.enc,
// the closest-airport search, airport labels and the publisher-entry test of the scenery scan.
// Filled by the run thread's start-up; read-only afterwards, so any thread may read it.
//
// airports.xml, the plain form of airports.enc (tools/trelvo_airports makes it):
//   <airports>
//     <airport code="LSZH" iata="ZRH" lat="47.4647" lon="8.54917" alt="1416"/>
//   code  ICAO code, the key of the list (missing: empty)
//   iata  IATA code; optional
//   lat   latitude, degrees  | numbers as the standard string-to-double conversion reads them;
//   lon   longitude, degrees | an element without one of the three is skipped, one whose
//   alt   elevation, feet    | position is off the earth too
// Other children and attributes are ignored.
#pragma once
#include <optional>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/geo.h"

struct Airport {
    std::string code;  // ICAO code
    std::string iata;  // IATA code; empty when none
    double lat = 0;    // degrees
    double lon = 0;    // degrees
    double alt = 0;    // elevation, feet
    LatLon position() const { return {lat, lon}; }
};

// Airports within this distance of a position count for the closest-airport search.
inline constexpr double kClosestAirportNm = 5.0;

// Reads the list once per process (later calls return at once): decrypts input/airports.enc,
// reads every airport, sorts by code and removes the plain file. True when the list holds an
// airport. Any failure throws qtk::UserErrorException 88 with the reason, the flag stays clear.
bool gf_readAirports();
// Appends the airports of an airports.xml text to g_airports (unsorted); std::runtime_error
// naming sourceName when the text is not XML or has no <airports> root, or a number is invalid.
void gf_readAirportsText(std::string_view xml, std::string_view sourceName);
// The airport with that code; nullptr when none.
const Airport* gf_findAirport(std::string_view code);
// The airport within 5 nm of the position that counts as closest: the nearest one in code order,
// unless the airport it displaced last (its neighbour) has a stand nearer to the position.
std::optional<std::reference_wrapper<const Airport>> gf_findClosestAirport(LatLon position);
// "EDDF (FRA)"; the code alone without an IATA code; "?" in place of an empty code.
std::string gf_airportLabel(const Airport& airport);

// The publisher-entry test of the scenery scan's archive check: an entry of a publisher's
// airport list matches when it begins with the airport code; the number after the four-letter
// code (the archived file's stand count) is then read into the captured integer, or the warning
// "{publisher} {code} {entry} invalid number" is logged and the integer kept.
struct lf_numberAfterPrefix {
    std::string publisher;
    std::string code;
    int& number;
    bool operator()(std::string_view entry) const;
};

// Whole-process reset: the list emptied and the loaded flag cleared (tests).
void gf_resetAirports();

// Every known airport in ascending order of code (byte-wise). Filled once per process.
extern std::vector<Airport> g_airports;
