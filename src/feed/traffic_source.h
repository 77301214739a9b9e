// The interface the traffic reader polls: raw aircraft reports before decoding and the
// parked-traffic answer. The stand-in over a scenario file implements it (platform/).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "feed/records.h"

// One raw report of one aircraft as the source gives it. Untrusted: the decoder checks it.
struct TrafficReport {
    uint32_t hexid = 0;  // 24-bit ICAO address
    std::string airline, type, origin, destination, callsign, registration;
    double t = 0;             // seconds since the run's start
    double lat = 0, lon = 0;  // degrees
    double altFt = 0;
    double gsKt = 0;
    double trackDeg = 0;
    double vrateFpm = 0;
    double airspeedKt = 0;
    bool airborne = false;
    std::optional<double> rollDeg;         // bank angle, degrees
    std::optional<double> trueHeadingDeg;  // true heading, degrees
};

// Reports older than this (seconds) are no longer shown by the feed.
inline constexpr double kStaleReportSeconds = 20;

class TrafficSource {
  public:
    virtual ~TrafficSource() = default;
    // Appends what the feed shows at runSeconds (seconds since the run's start): for every
    // aircraft the newest report at or before that time, unless it is more than
    // kStaleReportSeconds old or the aircraft's track has ended. Called on the reader thread.
    virtual void reportsAt(double runSeconds, std::vector<TrafficReport>& out) = 0;
    // Fills the parked traffic around the park airport in delivery order; false when the source
    // gives no list. Called on the reader thread; may take a while.
    virtual bool parkedTraffic(std::vector<ParkedTrafficRecord>& out) = 0;
};
