// The flight lab's airborne side: invariants of the flight model checked every tick on every lab
// scenario (through lab_defaultInvariants), truth builders for take-offs, go-arounds and
// touch-and-gos, the park airport and probes of what the stand-in simulator received. Used by
// tests/live/flight_lab_air_test.cpp.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/flight_lab.h"

// Slack of the terrain check, feet: an aircraft that the Parts put on the ground stands with its
// centre of gravity staticCgHeight above it; this much rounding is forgiven.
inline constexpr double kLabGroundSlackFt = 0.01;

// The invariants of the flight model, each with its own memory of the aircraft it saw:
// - "landing": once the feed has gone from an airborne sample to a ground sample (and not up
//   again), the aircraft is on the ground within 60 s of that airborne sample's due tick. An
//   aircraft that was never on an approach (no approachFlag, no flare) is held at 1000 ft above
//   the ground by the flight model until its touchdown leg: it gets, on top, the time to sink the
//   height it had at that due tick at 600 ft/min;
// - "terrain": the altitude (the centre of gravity) is never below the stand-in's ground;
// - "nose-up pitch": never more nose-up than the category's climb pitch (the motion table's
//   value with its 5 % variation, and the one step of the climb ramp that the take-off may take
//   beyond it); in a flare never beyond 4 degrees nose up; in free flight
//   (flying, not flaring, not touching down, not on the ground) a nose-up change per tick never
//   exceeds the category's largest pitch step, and no nose-up change at all while more nose-up
//   than the steepest climb attitude of the pitch rule.
// - "rates": flown in the air by the flight model, the altitude changes per tick by at most the
//   category's maxClimbStep, up or down; every tick the aircraft moves at most
//   kLabStepSpeedFactor x the fastest report it flies toward, plus kLabStepSpeedSlackKt (the
//   due-tick clamps shorten legs to catch up, a taxi leg may be flown faster than its crawl).
std::vector<LabInvariant> lab_airInvariants();
inline constexpr double kLabRateSlackFt = 1e-6;
inline constexpr double kLabStepSpeedFactor = 3;
inline constexpr double kLabStepSpeedSlackKt = 100;
// The most nose-up pitch (radians, negative) the category's motion table lets any aircraft of
// it reach; the steepest attitude the per-sample pitch rule aims at (2400 ft/min climb).
double lab_noseUpLimitRad(int32_t category);
double lab_steepestClimbTargetRad();

// One tick of an active aircraft as the air tests read it afterwards (after the tick ran).
struct LabAirTick {
    int32_t tick = 0;
    uint32_t flightState = 0, flareStage = 0, objectId = 0;
    int32_t takeOffCounter = 0, frontDue = 0;
    double climbPitch = 0;
    double altitude = 0, agl = 0, aglEstimate = 0, dAltitude = 0, nextVrate = 0;
    double pitch = 0, bank = 0, heading = 0, touchdownHeading = 0, staticCgHeight = 0, staticPitch = 0;
    double frontVrate = 0, frontGs = 0;  // the sample flown towards
    bool frontAirborne = false, fastScan = false;
    bool onGround = false, approachFlag = false, landingRoll = false, takeOffRoll = false,
         touchdownRunning = false, landed = false, climbConfigured = false;
    bool gearDown = true;  // the stand-in object's gear, read after the fields above
};
// A check that never fails and records every tick of the aircraft while it is active.
LabInvariant lab_airRecorder(uint32_t hexid, std::vector<LabAirTick>& trace);

// Truth builders, continuing the trajectory every stepSec seconds.
// On the ground from the current speed up to liftOffKt at ktPerSec, then airborne climbing at
// climbFpm for climbSec seconds.
void lab_takeOff(Truth& t, double liftOffKt, double climbFpm, double climbSec, double ktPerSec = 3,
                 double stepSec = 2);
// On the ground, slowing down (negative) or speeding up at ktPerSec to kt.
void lab_groundSpeed(Truth& t, double kt, double ktPerSec, double stepSec = 2);
// A turn on the ground or in the air at the current speed; the same as lab_turn (kept for the
// readability of roll-outs).
void lab_turnOff(Truth& t, double degrees, double degPerSec = 3, double stepSec = 2);

// The park airport live traffic lands at, chosen from an airport list and my_park_airports.txt
// that hold only it; the decoder gets its elevation.
void lab_setParkAirport(const std::string& icao, double lat, double lon, double elevationFt);

// What the stand-in received for one object, in order, without the object id
// ("GEAR_SET 0", "DATA401 100 -100 -100", ...).
std::vector<std::string> lab_commandsOf(uint32_t objectId);
// How many of those begin with the prefix.
int lab_countOf(const std::vector<std::string>& commands, const std::string& prefix);
// Flight-state changes of the callsign from the log's detail lines ("flying -> taxi", ...).
std::vector<std::string> lab_stateChanges(const std::string& log, const std::string& callsign);
