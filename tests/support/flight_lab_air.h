// The flight lab's airborne side: the flight model's invariants, a recorder and builders.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/flight_lab.h"

// "landing" (down within 60 s of the feed, plus the sink at 600 ft/min without an approach),
// "terrain" (never below the ground), "rates" (climb step; at most 3 x the reports + 100 kt).
std::vector<LabInvariant> lab_airInvariants();

// One tick of an active aircraft (without its stream), its front sample and the fast scan.
struct LabAirTick {
    int32_t tick = 0;
    LiveAircraft ac;
    PosSample front;
    bool fastScan = false;
};
// Records every tick of the aircraft while it is active; never fails.
LabInvariant lab_airRecorder(uint32_t hexid, std::vector<LabAirTick>& trace);

// The only park airport of the airport list and my_park_airports.txt, with its elevation.
void lab_setParkAirport(const std::string& icao, double lat, double lon, double elevationFt);
// What the stand-in received for one object, in order, without the object id ("GEAR_SET 0").
std::vector<std::string> lab_commandsOf(uint32_t objectId);
