// One timed position of a live aircraft's stream, as the feed decodes it and the playback
// consumes it. Shared by the traffic feed (records) and live traffic (streams).
#pragma once
#include <cstdint>
#include <optional>

struct PosSample {
    double lat = 0;                     // degrees
    double lon = 0;                     // degrees
    double alt = 0;                     // feet
    double gs = 0;                      // ground speed, knots
    double track = 0;                   // degrees
    double vrate = 0;                   // feet per minute
    double airspeed = 0;                // knots
    int32_t dueTick = 0;                // main-loop tick at which the aircraft is to be here
    uint8_t airborne = 0;               // 1 airborne, 0 on the ground
    uint8_t stationary = 0;             // repeats the position before it; suspends the per-tick motion
    uint8_t attitudeFlag = 0;           // the decoder set one of the angles below
    std::optional<double> roll;         // bank angle, radians
    std::optional<double> trueHeading;  // true heading, radians
};
