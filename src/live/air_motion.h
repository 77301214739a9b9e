// The flight model of a live aircraft in the air and its two transitions between ground and air:
// per-sample steps of altitude, pitch, heading and bank with lights and configuration, the flare,
// touchdown and roll-out, the take-off roll, rotation and climb-out, and the flight plan. Called
// by the playback (live/playback.h), the ground movement and the simulator-event drain.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

#include "core/geo.h"
#include "live/aircraft.h"
#include "sim/sim_link.h"

// Limits of one aircraft category in the air, radians.
struct AirLimits {
    double rotationSpeedKt;  // every sample behind the front at least this fast before rotating
    double maxBank;          // largest bank of a turn
    double maxBankStep;      // per tick
    double maxPitchStep;     // per tick
};
// The limits of a category 0..5; any other raises std::out_of_range with kMapKeyError.
const AirLimits& gf_airLimits(int32_t category);

// Near radius of the park airport: approaches are configured and landings aim at its elevation
// only within it.
inline constexpr double kApproachNearNm = 10.0;
// The pitch the flare and the per-tick flare step never pass: 4 degrees nose up.
inline constexpr double kFlarePitchRad = -0.06981317007977318;

// Per sample in the air, after the next sample's due tick and dLat/dLon are set: flight state,
// vertical profile, pitch, heading, bank, lights and configuration. Called by lf_advanceSample.
void lf_airMotion(LiveAircraft& ac);
// Sink rate of the last leg before touchdown from the front and next rates and the QNH, feet per
// minute; needs two samples. Used by lf_airMotion.
double lf_touchdownRate(const LiveAircraft& ac);
// Every tick while agl <= 400, approachFlag is set and the aircraft is not onGround: the flare
// stages. Called by lf_tickMotion.
void lf_flareTick(LiveAircraft& ac);

// Touchdown: landing roll, spoilers and reversers, attitude steps to the ground attitude. Called
// by the event drain when an object scan reports an approaching aircraft on the ground.
void lf_onGroundSlots(LiveAircraft& ac);
// Per sample while landingRoll is set: slows down on the runway and ends the roll-out once the
// heading has turned 15 degrees or more either way. Called by lf_groundMotion.
void lf_landingRollOut(LiveAircraft& ac);
// The heading has turned 15 degrees or more either way from the one the roll started with.
bool gf_turnedOffTheRunway(const LiveAircraft& ac, double rollHeadingRad);
// Off the runway: neither roll goes on (the clamps lose the roll's), flaps up, idle, levers
// back, taxi lights with the cabin lit. Called by lf_landingRollOut and by lf_groundMotion when a
// take-off roll turns off the runway.
void gf_leaveRunway(LiveAircraft& ac);
// Start of the take-off roll. Called by gf_startRollWhenDue and lf_startTakeOff.
void lf_towedTakeOff(LiveAircraft& ac);
// Rotation: state take_off with the counter at rotationTicks. Called by lf_groundMotion when its
// take-off test passes.
void lf_startTakeOff(LiveAircraft& ac);
// Every tick in state take_off in place of the attitude step: rotation, staged climb, gear up and
// state flying. Called by lf_tickMotion.
void lf_takeOffTick(LiveAircraft& ac);
// True when every sample behind the front is at least as fast as the category's rotation speed
// (true when there is none). Called by the take-off test of lf_groundMotion.
bool lf_catSpeedReached(const LiveAircraft& ac);
// Writes and sends the flight plan of an aircraft with an origin and a destination; a file whose
// send fails is removed. Called by the event drain when a live object has been created.
void lf_createFlightPlan(LiveAircraft& ac);

// The one gate of the category rules of every command sent to a live aircraft (flight model,
// activation, ground movement, gf_setFlaps): a Rotorcraft gets no GEAR_SET, SPOILERS_SET or
// FLAPS_SET and keeps full power (throttle step 4) where others idle or cut back; a Light
// aircraft gets no data definition 401.
bool gf_airCommandAllowed(const AircraftRec& ac, SimClientEvent event);
bool gf_airData401Allowed(const AircraftRec& ac);
uint32_t gf_airThrottleStep(const AircraftRec& ac, uint32_t step);
// Queues the client event when the gate allows it.
void gf_airCommand(const AircraftRec& ac, SimClientEvent event, uint32_t data);
// Throttle step 0..4 as the gate has it for the category, through gf_setThrottle.
void gf_airThrottle(AircraftRec& ac, uint32_t step);
// Spoiler handle and both throttle levers (percent) through the gate and the command list, sent
// by the simulator thread in order with the client events.
void gf_airData401(const AircraftRec& ac, double spoilersPct, double throttlePct);

// Where the park airport lies: from the set source, else the stand choice's park site (none
// while its code is empty, so no aircraft is near one). Tests set the source.
using ParkAirportPositionFn = std::function<std::optional<LatLon>()>;
void gf_setParkAirportPositionSource(ParkAirportPositionFn source);
std::optional<LatLon> gf_parkAirportPosition();
// A park airport is set, its position known and within kApproachNearNm of the position.
bool gf_nearParkAirport(LatLon position);

// Height of an altitude above the park airport when the aircraft is near it and its elevation is
// known, else above sea level (the traffic service reports aircraft on the ground at 0 ft).
double gf_heightAboveFieldFt(const LiveAircraft& ac, double altitudeFt);

// Appends the hexid to the per-second list of the replacement check.
void gf_queueReplacementCheck(uint32_t hexid);

// Per-run reset: the per-second list emptied.
void gf_resetAirMotion();
// Whole-process reset: as above, and the park-airport position source back to none.
void gf_resetAirMotionProcess();

// Hexids waiting for the per-second replacement check, oldest first; filled at spawn, approach,
// touchdown and arrival at a stand, one taken per simulator second. Run thread only.
extern std::deque<uint32_t> g_perSecondList;
