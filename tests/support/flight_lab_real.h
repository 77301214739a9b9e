// The flight lab on the real tracks of tests/data/realdata: each track whole, as the demo's
// converter makes it, flown by the demo's type of that aircraft, with or without the park airport
// the track touches; what the lab measures of it against the feed and the per-track table.
// Used by tests/live/flight_lab_test.cpp.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/flight_lab.h"

// Where reports lie at most this far apart, the lab measures the horizontal error.
inline constexpr double kLabMeasuredGapSec = 20;
// An aircraft whose reports go on is back in the simulator within this many seconds.
inline constexpr double kLabBackWithinSec = 60;
// The feed has the aircraft in the air for at least this long between ground rows: a real
// departure or arrival, not noise in the air/ground field (nor the last seconds of a final that
// the spawn leaves out: an aircraft first seen on short final appears at its touchdown).
inline constexpr double kLabAirStretchSec = 60;

// One converted real track: the truth the lab feeds and the aircraft's identity.
struct LabRealTrack {
    std::string name, callsign, type, airline;
    uint32_t hexid = 0;
    Truth truth;
    std::vector<ScenarioAirport> touched;
};
// Reads and converts the track file of tests/data/realdata with the demo's identity.
LabRealTrack lab_loadRealTrack(const std::string& file);

// What the lab saw of the aircraft once per second of the lab's clock.
struct LabSecond {
    double labSec = 0;
    bool active = false, onGround = false;
    double lat = 0, lon = 0, altFt = 0;
};

// Figures of one replay against its truth: the positions where they arrive (a repeated position
// is no new report), measured where two of them lie at most kLabMeasuredGapSec apart.
struct LabFigures {
    int measured = 0;                  // seconds measured (active, new positions at most 20 s apart)
    double medianM = 0, p95M = 0;      // horizontal error against the truth 30 s earlier
    double altMedianFt = 0, altP95Ft = 0;  // altitude error where both are in the air
    double shiftMedianSec = 0;         // where along the track the aircraft is, against where it should be
    double existedSec = 0, reportedSec = 0;  // seconds active; seconds from the first report to the last
};
LabFigures lab_figures(const Truth& truth, const std::vector<LabSecond>& seen);
// The table's header line and one row.
std::string lab_tableHeader();
std::string lab_tableRow(const std::string& name, bool park, const LabFigures& f);

// The checks of the whole replay: empty when they hold, else what broke.
// - back within 60 s: while reports keep bringing new positions (at most 20 s apart) the
//   aircraft is never away from the simulator for more than kLabBackWithinSec;
// - a track that starts on the ground and then flies (kLabAirStretchSec or more) leaves the
//   ground; one that flies and then ends on the ground is on the ground again.
std::vector<std::string> lab_replayFaults(const Truth& truth, const std::vector<LabSecond>& seen);

// The delay between a report and its due tick in the lab, seconds.
inline constexpr double kLabDelaySec = 30;
