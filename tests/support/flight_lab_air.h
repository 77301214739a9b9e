// The flight lab's airborne side: invariants of the flight model checked every tick on every lab
// scenario (through lab_defaultInvariants), a per-tick recorder, truth builders for take-offs, the
// park airport and probes of what the stand-in simulator received.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/flight_lab.h"

// The invariants of the flight model, each with its own memory of the aircraft it saw:
// - "landing": once the feed has gone from an airborne sample to a ground sample (and not up
//   again), the aircraft is on the ground within 60 s of that airborne sample's due tick; one
//   that was never on an approach gets on top the time to sink its height then at 600 ft/min;
// - "terrain": the centre of gravity is never below the stand-in's ground;
// - "nose-up pitch": never beyond the category's climb pitch (with its variation and one step
//   of the climb ramp), in a flare never beyond 4 degrees nose up, in free flight never more
//   nose-up per tick than the category's pitch step nor beyond the steepest climb attitude;
// - "rates": flown in the air, the altitude changes per tick by at most maxClimbStep; every tick
//   the aircraft moves at most 3 x the fastest report it flies toward plus 100 kt.
std::vector<LabInvariant> lab_airInvariants();

// One tick of an active aircraft as the air tests read it afterwards: the aircraft without its
// stream, the sample it flies towards, the fast object scan and the stand-in object's gear.
struct LabAirTick {
    int32_t tick = 0;
    LiveAircraft ac;
    PosSample front;
    bool fastScan = false, gearDown = true;
};
// A check that never fails and records every tick of the aircraft while it is active.
LabInvariant lab_airRecorder(uint32_t hexid, std::vector<LabAirTick>& trace);

// On the ground from the current speed up to liftOffKt at ktPerSec, then airborne climbing at
// climbFpm for climbSec seconds.
void lab_takeOff(Truth& t, double liftOffKt, double climbFpm, double climbSec, double ktPerSec = 3);
// On the ground, slowing down or speeding up at ktPerSec to kt.
void lab_groundSpeed(Truth& t, double kt, double ktPerSec);

// The park airport live traffic lands at, the only one of the airport list and
// my_park_airports.txt; the decoder gets its elevation.
void lab_setParkAirport(const std::string& icao, double lat, double lon, double elevationFt);

// What the stand-in received for one object, in order, without the object id ("GEAR_SET 0").
std::vector<std::string> lab_commandsOf(uint32_t objectId);
// Flight-state changes of the callsign from the log's detail lines ("flying -> taxi", ...).
std::vector<std::string> lab_stateChanges(const std::string& log, const std::string& callsign);
