// Park airports: the candidates of my_park_airports.txt and the my_thirdparty folder, kept in
// order of distance to the user aircraft; the current park airport chosen when one comes in
// sight (or the user stands at an airport with a parking file), its parking file loaded and
// dropped again; the stand the user's aircraft stood at, remembered per airport. The park
// airport is the one source of the site live traffic parks at (live/stand_choice.h). Run thread,
// except gf_rememberUserStand (simulator thread), which hands its finding over as a request.
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
// Re-reads the park airports for the window; with checkStand the remembered stand of the
// current park airport becomes the reserved stand. out gets the text to show. False when the
// read failed.
bool gf_checkParkAirports(bool checkStand, std::string& out);

// The watch of the main loop (every 16 simulator seconds, and with loadNow once at the start).
void gf_watchParkAirport(bool loadNow);
// The current park airport is not set: choose one (in the air: the front entry in range; on the
// ground: the closest airport with a parking file).
void lf_findParkAirportInSight(LatLon user, bool loadNow);
// The current park airport is set: drop it when out of range or a nearer listed one is in sight.
void lf_checkParkAirportInSight(LatLon user);
// Makes the airport of that code the current park airport; false when the code is unknown.
bool lf_setParkAirport(std::string_view code);
// Loads the park airport's parking file now or at the next watch.
void lf_loadParkAirport(bool now);
// Locks the parking controls and starts gathering callsigns for static parking.
void lf_beginParkingCalculation(bool showMessage);
// Reads the park airport's parking file into g_stands; "" on success, else the error text.
std::string lf_readParkedFile();
// Ends static parking at the park airport: the learned data saved when changed, the park
// airport, its stands and the window's parking values cleared.
void lf_resetStaticParking();

// Simulator thread: remembers the stand nearest to the user aircraft when it stands still
// (at most 2 kt); the run thread writes it into the list and the file at its next tick.
void gf_rememberUserStand();
// Run thread: carries out what gf_rememberUserStand handed over.
void lf_storeRememberedStand();

void gf_lockParkingControls();
void gf_unlockParkingControls();

// Per-run and whole-process reset of the park airports: no park airport, list, reserved stand,
// stands or pending load; the controls unlocked. The live containers have resets of their own.
void gf_resetParkingForNewFlight();

// Candidate park airports; the front entry is the nearest after a watch and the one saved.
extern std::list<ParkAirport> g_parkAirports;
// Park airports whose parking file could not be loaded in this run; not chosen again until the
// list is read again.
extern std::unordered_set<std::string> g_failedParkAirports;
// The current park airport; empty code: none.
extern Airport g_parkAirport;
// Name of the stand kept free for the user's aircraft at the park airport; empty: none.
extern std::string g_reservedStand;
// A park airport was chosen and its parking file is loaded at the next watch.
extern bool g_parkLoadPending;
// The park airport's file is read with little real traffic: live traffic learns soft options.
extern bool g_parkedFileRead;
// User position at the last watch in which the user aircraft had moved.
extern LatLon g_lastWatchPosition;
// The parking controls are locked while static parking is calculated.
extern std::atomic<bool> g_parkingControlsLocked;
// Static parking runs at the park airport: aircraft that stop near a stand may park there. Set by
// the park airport's read, cleared when static parking ends.
extern std::atomic<bool> g_staticParkingOn;
