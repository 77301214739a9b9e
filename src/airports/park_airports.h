// Park airports: the candidates of my_park_airports.txt and the my_thirdparty folder, kept in
// order of distance to the user aircraft, with the stand the user's aircraft stood at remembered
// per airport; the current park airport. The watch that chooses, loads and drops the current park
// airport is static parking's (static/park_watch.h). Run thread.
//
// airports/my_park_airports.txt, one park airport per line, written sorted without duplicates:
//   EDDF
//   LSZH,A12
// an ICAO code of the airport list, optionally a comma and the name of the user's stand there.
#pragma once
#include <atomic>
#include <list>
#include <string>
#include <string_view>
#include <unordered_set>

#include "airports/airport_list.h"
#include "core/geo.h"

struct ParkAirport {
    std::string code;     // ICAO code of an airport of g_airports
    std::string stand;    // the user's remembered stand there; empty: none
    LatLon position;      // the airport's position
    double distance = 0;  // nm to the user aircraft; 0 until first computed
};

inline constexpr const char* kMyParkAirportsFile = "airports/my_park_airports.txt";
// More candidates than this cost much time in every watch.
inline constexpr size_t kManyParkAirports = 3000;

// Reads my_park_airports.txt into g_parkAirports (cleared first), then adds the my_thirdparty
// airports. False when a line names an unknown airport or an error was caught.
bool lf_readMyParkAirports();
// Appends an entry for every file of airports/my_thirdparty whose name (without extension) is
// a known airport not yet in the list. A missing folder adds nothing.
void lf_addThirdpartyParkAirports();
// Writes the front entry into my_park_airports.txt (its line replaced or added; the file sorted,
// duplicates dropped, written whole through a temporary file). An existing file that cannot be
// read is left alone.
void gf_saveMyParkAirports();
// When line's first field is code: line becomes newLine and true.
bool lf_updateMyParkAirportLine(std::string_view code, const std::string& newLine, std::string& line);
// Puts the airport at the front (moving its entry when listed; else a new entry, saved).
void gf_addParkAirport(std::string_view code, LatLon position);
// A new destination airport from the window or the stored setting: logged and put in front.
// An unknown code is refused and DESTINATION cleared; an empty one lets the watch order the list
// nearest first again.
void lf_setDestination(std::string_view code);
// Candidate park airports; the front entry is the nearest after a watch and the one saved.
extern std::list<ParkAirport> g_parkAirports;
// Park airports whose parking file could not be loaded in this run; not chosen again until the
// list is read again.
extern std::unordered_set<std::string> g_failedParkAirports;
// The current park airport; empty code: none.
extern Airport g_parkAirport;
// User position at the last watch in which the user aircraft had moved.
extern LatLon g_lastWatchPosition;
// Static parking runs at the park airport: aircraft that stop near a stand may park there. Set by
// the park airport's read, cleared when static parking ends.
extern std::atomic<bool> g_staticParkingOn;
