// The park airport's stands and the traffic options observed on them (g_stands), with their
// numbering and neighbour rule. Filled and read on the run thread; the simulator thread sees
// only the published copy of names and positions.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/geo.h"

// One aircraft (airline, type, registration) seen parked on a stand on one weekday.
struct StandOption {
    std::string airline;    // operator code
    std::string type;       // ICAO aircraft type
    std::string reg;        // registration
    std::string callsign;   // callsign seen on this stand
    std::string callsign2;  // the other leg of a turnaround; empty when none
    uint64_t hh = 0;        // half-hour slots of the day: bit n for slot n (0..47)
    uint32_t index = 0;     // 1-based number within the stand; 0 = takes part in nothing
    uint32_t day = 0;       // weekday 1..7 (Monday 1)
    uint32_t origin = 0;    // 1: from the park airport's file or made up; 0: from this run
    uint32_t real = 0;      // 1: observed in real parked traffic; 0: soft option
    bool invented = false;  // made-up traffic (PARK_FAKE); never written to a file
    // Run time only, never written and ignored by the numbering: the static fit found this
    // aircraft present elsewhere and leaves the option out until the next renewal.
    bool fitExcluded = false;

    // Provided rather than defaulted: a new option in a vector is then built member by member,
    // without clearing its bytes first.
    StandOption() {}
    // From a parkpos element of a parking file.
    StandOption(std::string callsign, std::string callsign2, std::string airline, std::string type,
                std::string reg, uint64_t hh, uint32_t index, uint32_t day, uint32_t origin, uint32_t real);
    // Made-up parked traffic: no second callsign; marked invented.
    static StandOption madeUp(std::string airline, std::string type, std::string reg, std::string callsign,
                              uint64_t hh, uint32_t index, uint32_t day, uint32_t origin, uint32_t real);
};

// Week-slot bookkeeping of one live aircraft on a stand, keyed by its hexid.
struct StandSlotEntry {
    uint32_t hexid = 0;
    uint64_t slot = 0;         // slot value (weekday and half-hour) of the last booking
    uint32_t optionIndex = 0;  // index of the option booked
};

struct Stand {
    std::vector<StandOption> options;                       // file order, then in the order they were added
    std::unordered_map<uint32_t, StandSlotEntry> slotMapA;  // real options; never stored
    std::unordered_map<uint32_t, StandSlotEntry> slotMapB;  // soft options; never stored
    std::string name;                                       // the parkpos "id"; unique within a file
    std::vector<uint32_t> neighbours;  // standIds too close to be used together, ascending
    double latitude = 0;               // degrees
    double longitude = 0;              // degrees
    double heading = 0;                // radians
    double radius = 0;                 // nautical miles
    uint32_t standId = 0;              // 1..N in g_stands order; 0 until numbered
    bool manual = false;               // added by hand in a learned file
    bool radius_change = false;        // radius differs from the archived file
    bool cargo_change = false;         // cargo differs from the archived file
    bool taken = false;                // a static aircraft is planned or placed here
    bool occupied = false;             // a live aircraft stands here
    uint32_t occupantHexid = 0;        // hexid of the live aircraft that set occupied; 0 none
    bool reserved = false;             // reserved for, or occupied by, the user's aircraft
    bool blocked = false;              // a neighbour is taken: must stay empty
    bool cargo = false;
    bool ramp = false;
    bool heli = false;

    Stand(std::string name, std::vector<StandOption> options, double latDeg, double lonDeg, double headingRad,
          double radiusMeters, bool cargo, bool ramp, bool heli);
    LatLon position() const { return {latitude, longitude}; }
};

// A stand's name and position as the simulator thread may read them.
struct StandPoint {
    std::string name;
    LatLon position;
};
using StandPoints = std::vector<StandPoint>;
// A published copy with its version; the version grows with every publication, so a reader
// that keeps an answer computed from one copy can tell when it is out of date.
struct PublishedStands {
    std::shared_ptr<const StandPoints> points;  // never null
    uint64_t version = 0;
};

// Numbers the stands 1..N in order, computes every neighbour list (two stands are neighbours
// when 1.1 x their distance is less than the sum of their radii) and publishes the names and
// positions. Runs once after all stands of the park airport are in g_stands.
void gf_numberStands();
// The stand with that id; nullptr for 0 or an id that no stand has.
Stand* gf_standById(uint32_t standId);
// Log name of a stand id: its name, "sid==0?" for 0, "sid==?" for an id no stand has.
std::string gf_standNameOfId(uint32_t standId);
// Destroys every stand and publishes the empty list.
void gf_clearStands();
// Publishes the names and positions of g_stands for other threads (done by numbering and
// clearing; call it after any other change of the list's stands).
void gf_publishStands();
// The names and positions last published; safe from any thread, never null.
std::shared_ptr<const StandPoints> gf_publishedStands();
// The same copy together with its version, taken under one lock.
PublishedStands gf_publishedStandsVersioned();
// Whole-process reset: no stands, their storage released, nothing published.
void gf_resetStands();

// The park airport's stands; owned by the run thread.
extern std::vector<Stand> g_stands;
