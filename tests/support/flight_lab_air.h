// The flight lab's airborne side: invariants of the flight model checked every tick on every lab
// scenario (through lab_defaultInvariants), a per-tick recorder, a take-off truth builder, the
// park airport and probes of what the stand-in simulator received.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/flight_lab.h"

// The invariants: "landing" (on the ground within 60 s of the last airborne sample's due tick
// once the feed is on the ground; without an approach plus the time to sink its height then at
// 600 ft/min), "terrain" (the centre of gravity never below the ground) and "rates" (in the air
// at most maxClimbStep a tick; never faster than 3 x the fastest report flown toward plus 100 kt).
std::vector<LabInvariant> lab_airInvariants();

// One tick of an active aircraft: the aircraft without its stream, the sample it flies towards,
// the fast object scan and the stand-in object's gear.
struct LabAirTick {
    int32_t tick = 0;
    LiveAircraft ac;
    PosSample front;
    bool fastScan = false, gearDown = true;
};
// A check that never fails and records every tick of the aircraft while it is active.
LabInvariant lab_airRecorder(uint32_t hexid, std::vector<LabAirTick>& trace);

// On the ground speeding up at 3 kt/s to liftOffKt, then airborne climbing at climbFpm for
// climbSec seconds.
void lab_takeOff(Truth& t, double liftOffKt, double climbFpm, double climbSec);
// The only park airport of the airport list and my_park_airports.txt, with its elevation.
void lab_setParkAirport(const std::string& icao, double lat, double lon, double elevationFt);
// What the stand-in received for one object, in order, without the object id ("GEAR_SET 0").
std::vector<std::string> lab_commandsOf(uint32_t objectId);
