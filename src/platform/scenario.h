// The demo and test world: a scenario file (JSON) that stands in for the traffic service and
// the simulator. It holds timed live tracks and parked traffic for the traffic reader, and the
// airports, user aircraft, installed titles and scripted events for the stand-in simulator.
// Times are seconds from the start of the run. The parser lives in scenario.cpp.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
};

// One live aircraft: its identity and its rows in time order.
struct ScenarioTrack {
    uint32_t hexid = 0;  // 24-bit ICAO address
    std::string airline, type, origin, destination, callsign, registration;
    std::vector<ScenarioRow> rows;
};

// One aircraft of the parked-traffic answer.
struct ScenarioParked {
    uint32_t hexid = 0;
    std::string airline, type, callsign, registration;
    double lat = 0, lon = 0;  // degrees
    int halfHoursAgo = 0;     // half-hours since the aircraft was seen
    std::string info;         // free text shown first in the "no stand for PT" log line
};

struct ScenarioAirport {
    std::string icao;
    double lat = 0, lon = 0;  // degrees
    double elevationFt = 0;
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
};

// A scripted dip of the simulator's frame rate.
struct ScenarioFrameDip {
    double atSecond = 0;
    double durationSeconds = 0;
    double frameRate = 0;
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
};
