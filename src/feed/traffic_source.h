// The interface the traffic reader polls: raw aircraft reports before decoding and the
// parked-traffic answer. The stand-in over a scenario file implements it (platform/).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/geo.h"
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

// Where the traffic is asked for: around the user aircraft, within the traffic range.
struct TrafficArea {
    LatLon center;        // degrees
    double radiusNm = 0;  // nautical miles
};

// Physical bounds of an aircraft report; a report outside them is not data but noise.
inline constexpr double kMinAltitudeFt = -2000, kMaxAltitudeFt = 100000;
inline constexpr double kMaxSpeedKt = 2000;  // ground speed and airspeed, from 0
inline constexpr double kMaxVerticalRateFpm = 40000;
inline constexpr double kMaxRollDeg = 180;

// True when the values lie within the bounds above (a value that is not finite never does).
inline bool gf_withinPhysicalBounds(double altFt, double gsKt, double vrateFpm, double airspeedKt,
                                    std::optional<double> rollDeg) {
    return altFt >= kMinAltitudeFt && altFt <= kMaxAltitudeFt && gsKt >= 0 && gsKt <= kMaxSpeedKt &&
           vrateFpm >= -kMaxVerticalRateFpm && vrateFpm <= kMaxVerticalRateFpm && airspeedKt >= 0 &&
           airspeedKt <= kMaxSpeedKt && (!rollDeg || (*rollDeg >= -kMaxRollDeg && *rollDeg <= kMaxRollDeg));
}

// Reports older than this (seconds) are no longer shown by the feed.
inline constexpr double kStaleReportSeconds = 20;

class TrafficSource {
  public:
    virtual ~TrafficSource() = default;
    // Appends what the feed shows at runSeconds (seconds since the run's start) within the area:
    // for every aircraft there the newest report at or before that time, unless it is more than
    // kStaleReportSeconds old or the aircraft's track has ended. Called on the reader thread.
    virtual void reportsAt(double runSeconds, const TrafficArea& area, std::vector<TrafficReport>& out) = 0;
    // Fills the parked traffic around the park airport in delivery order; false when the source
    // gives no list. Called on the reader thread; may take a while.
    virtual bool parkedTraffic(std::vector<ParkedTrafficRecord>& out) = 0;
    // The QNH (hPa) of the METAR nearest the traffic asked for; none when the source gives none.
    virtual std::optional<double> nearestQnh() { return std::nullopt; }
};
