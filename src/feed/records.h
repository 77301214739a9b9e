// The decoded records of the traffic feed: one live traffic record per aircraft report and one
// parked-traffic record per aircraft seen parked. The reader fills them; live traffic and static
// parking consume them.
#pragma once
#include <cstdint>
#include <string>

#include "feed/pos_sample.h"

// One decoded live traffic report. The field order follows the aircraft record that is built
// from it: eight strings, the flag, the position, the time stamp, the address.
struct LiveTrafficRecord {
    std::string airline;          // operator code (three letters), may be empty
    std::string type;             // ICAO aircraft type, may be empty
    std::string origin;           // origin airport code
    std::string destination;      // destination airport code
    std::string callsign;         // callsign as the feed gives it
    std::string spawnCallsign;    // empty from the feed; live traffic overwrites it before use
    std::string coupledCallsign;  // empty from the feed; live traffic overwrites it before use
    std::string regcode;          // registration
    uint8_t coupledSearched = 0;  // 0 from the feed
    PosSample sample;             // position; dueTick is set by the intake
    double timeStamp = 0;         // feed time stamp, UTC seconds since the epoch
    uint32_t hexid = 0;           // 24-bit ICAO address; only values above 10000 are delivered
};

// One aircraft of the parked-traffic answer around the park airport.
struct ParkedTrafficRecord {
    std::string airline;
    std::string type;
    std::string callsign;
    std::string regcode;         // registration
    double lat = 0;              // degrees
    double lon = 0;              // degrees
    uint32_t hexid = 0;          // 24-bit ICAO address
    int32_t halfHourOffset = 0;  // half-hours since the aircraft was seen there
    std::string info;            // free text; the "no stand for PT" log line shows it first
};

// Live addresses up to this value are never delivered: static aircraft use them.
inline constexpr uint32_t kMaxStaticHexid = 10000;
