// The demo and test world: a scenario file (JSON) that stands in for the traffic service and
// the simulator. It holds timed live tracks and parked traffic for the traffic reader, and the
// airports, user aircraft, installed titles and scripted events for the stand-in simulator.
// Times are seconds from the start of the run. The parser lives in scenario.cpp; the traffic
// reader's source over it in scenario_source.h.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The scenario file: one JSON object. Every field may be left out (its default applies); a
// field the parser does not know is an error, so a misspelt name cannot pass unnoticed.
//   "frame_rate"            number 1 to 1000, simulator frames per second (default 30)
//   "run_length_s"          number 0 to 864000, seconds after which the stand-in simulator closes
//   "connection_loss_at_s"  number 0 to 864000, second at which the simulator link breaks
//   "park_airport"          string, ICAO code of the airport whose parked traffic is served: one
//                           of "airports"; its parked traffic is the "parked" aircraft within
//                           5 nm of it (without a park airport every "parked" aircraft)
//   "qnh_hpa"               number 900 to 1100, the QNH of the nearest METAR the service gives
//   "pauses"                array of {"at_s", "duration_s"} numbers (0 to 864000): the simulation
//                           stops (paused, in a menu) for that long
//   "installed_titles"      array of strings, the titles the stand-in simulator can create
//   "frame_dips"            array of {"at_s", "duration_s" (0 to 864000), "frame_rate" (1 to 1000)}
//                           (numbers, all needed)
//   "airports"              array of {"icao" string, "lat", "lon", "elevation_ft" (-2000 to 20000)
//                           numbers}
//   "user"                  array of the user aircraft's path points {"t", "lat", "lon",
//                           "alt_ft" (-2000 to 100000) numbers; "heading_deg" (folded into 0 to
//                           360), "gs_kt" (0 to 2000) numbers (default 0); "on_ground" boolean
//                           (default true)}
//   "tracks"                array of live tracks {"hexid": 6 hex digits as a string; "airline",
//                           "type", "origin", "destination", "callsign", "registration"
//                           strings (default ""); "rows": array of rows in time order}
//                           A row is an array of 8 to 11 numbers in this column order:
//                           t, lat, lon, alt_ft, gs_kt, track_deg, vrate_fpm, airborne (0 or 1),
//                           airspeed_kt (default 0), roll_deg, heading_deg (null or missing:
//                           not given). A null in columns 0-8 stands for a value that is not
//                           finite (nlohmann writes NaN and infinity as null). On the ground
//                           (airborne 0) alt_ft is written 0 and not used: the traffic source
//                           delivers every on-ground record at altitude 0, as the traffic
//                           service reports aircraft on the ground, and the program takes the
//                           ground's height from the simulator and the park airport.
//   "parked"                array of parked aircraft {"hexid" as for tracks; "airline", "type",
//                           "callsign", "registration", "info" strings (default ""); "lat",
//                           "lon" numbers; "half_hours_ago" integer (default 0)}
// A track whose hexid an earlier track has, with time spans (first to last row) that overlap,
// is dropped and counted in one log line per file (the same aircraft cannot fly two tracks at
// once); tracks of one hexid one after the other stay.
// Rows whose time or any number is not finite, whose position is out of range (|lat| > 90,
// |lon| > 180), whose numbers lie outside the physical bounds of a report (feed/traffic_source.h)
// or whose time is not after the row before, and parked aircraft with such a
// position, are dropped and counted in one log line per file. Addresses of 10000 or less stay
// in the scenario; the traffic reader never delivers them. Anything else malformed is an
// error naming the file and the place (byte offset or field path). A small example:
//   {"frame_rate": 30, "run_length_s": 120, "park_airport": "LSZH",
//    "airports": [{"icao": "LSZH", "lat": 47.458056, "lon": 8.548056, "elevation_ft": 1416}],
//    "user": [{"t": 0, "lat": 47.4512, "lon": 8.5616, "alt_ft": 1416, "heading_deg": 160}],
//    "installed_titles": ["Airbus A320 Swiss"],
//    "tracks": [{"hexid": "4b1805", "airline": "SWR", "type": "A320", "callsign": "SWR287",
//                "rows": [[0, 47.60, 8.36, 5000, 180, 137, -700, 1],
//                         [5, 47.59, 8.38, 4940, 178, 137, -700, 1, 182, -1.5, 136.2]]}],
//    "parked": [{"hexid": "4b1a2b", "type": "A20N", "callsign": "SWR12", "lat": 47.4531,
//                "lon": 8.5620, "half_hours_ago": 3, "info": "gate A12"}]}

// One timed row of a live track.
struct ScenarioRow {
    double t = 0;         // seconds from the run's start
    double lat = 0, lon = 0;  // degrees
    double altFt = 0;     // feet
    double gsKt = 0;      // knots
    double trackDeg = 0;  // degrees
    double vrateFpm = 0;  // feet per minute
    double airspeedKt = 0;  // knots
    bool airborne = false;
    std::optional<double> rollDeg;         // bank, degrees, when the source gives it
    std::optional<double> trueHeadingDeg;  // true heading, degrees, when the source gives it
    bool operator==(const ScenarioRow&) const = default;
};

// One live aircraft: its identity and its rows in time order.
struct ScenarioTrack {
    uint32_t hexid = 0;  // 24-bit ICAO address
    std::string airline, type, origin, destination, callsign, registration;
    std::vector<ScenarioRow> rows;
    bool operator==(const ScenarioTrack&) const = default;
};

// One aircraft of the parked-traffic answer.
struct ScenarioParked {
    uint32_t hexid = 0;
    std::string airline, type, callsign, registration;
    double lat = 0, lon = 0;  // degrees
    int halfHoursAgo = 0;     // half-hours since the aircraft was seen
    std::string info;         // free text shown first in the "no stand for PT" log line
    bool operator==(const ScenarioParked&) const = default;
};

struct ScenarioAirport {
    std::string icao;
    double lat = 0, lon = 0;  // degrees
    double elevationFt = 0;
    bool operator==(const ScenarioAirport&) const = default;
};

// One point of the user aircraft's path; the stand-in interpolates linearly between points
// and holds the last one. A single point is a parked user aircraft.
struct ScenarioUserPoint {
    double t = 0;
    double lat = 0, lon = 0;
    double altFt = 0;       // feet above sea level
    double headingDeg = 0;
    double gsKt = 0;
    bool onGround = true;
    bool operator==(const ScenarioUserPoint&) const = default;
};

// A scripted stop of the simulation.
struct ScenarioPause {
    double atSecond = 0;
    double durationSeconds = 0;
    bool operator==(const ScenarioPause&) const = default;
};

// A scripted dip of the simulator's frame rate.
struct ScenarioFrameDip {
    double atSecond = 0;
    double durationSeconds = 0;
    double frameRate = 0;
    bool operator==(const ScenarioFrameDip&) const = default;
};

struct Scenario {
    std::vector<ScenarioTrack> tracks;
    std::vector<ScenarioParked> parked;
    std::vector<ScenarioAirport> airports;
    std::vector<ScenarioUserPoint> user;
    std::vector<std::string> installedTitles;  // titles the stand-in simulator can create
    double frameRate = 30;                     // simulator frames per second
    std::optional<double> runLengthSeconds;    // the stand-in simulator closes after this
    std::vector<ScenarioFrameDip> frameDips;
    std::optional<double> connectionLossAtSecond;  // the simulator link breaks at this time
    std::string parkAirport;                   // ICAO of the airport whose parked traffic is served
    std::optional<double> qnhHpa;              // the service's QNH; none: the feed gives none
    std::vector<ScenarioPause> pauses;
    bool operator==(const Scenario&) const = default;
};

// Parses a scenario from JSON text in the format above; sourceName names it in errors and in
// the log line of dropped rows. Throws std::runtime_error "{source}: {place}: {what}".
Scenario gf_parseScenario(std::string_view json, std::string_view sourceName);
// Reads a scenario file and parses it; an unreadable file is the same kind of error.
// The scenario a run reads from its working folder.
inline constexpr const char* kScenarioFile = "scenario.json";

Scenario gf_readScenarioFile(const std::filesystem::path& path);
// Writes a scenario in the format above, one track row per line (for tools that generate
// scenarios); numbers that are not finite are written as null.
std::string gf_scenarioToJson(const Scenario& scenario);
