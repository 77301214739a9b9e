// The records every part of live traffic and static parking works on: AircraftRec (identity,
// static data and simulator bookkeeping of one AI aircraft; a static parked aircraft is one and
// nothing more) and LiveAircraft (an AircraftRec with its position block, stream and motion
// state). The helpers that build, name and label them are declared in live/aircraft_rec.h.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "feed/pos_sample.h"

// Life of an AI object. Values are stored as unsigned 32-bit in the records.
enum LifeState : uint32_t {
    buffer = 0,           // collects samples; the spawn decision runs every tick
    adding2sim = 1,       // spawn decided; create queued or sent, object not yet active
    active = 2,           // object exists in the simulator and is driven every tick
    liveryrespawn = 3,    // object being removed to be created again with another livery
    removingfromsim = 4,  // object id queued for removal; erased when the removal arrives
};

// Phase of a live aircraft's movement.
enum FlightState : uint32_t {
    pushing_back = 0,
    pushed_back = 1,
    taxi = 2,
    take_off = 3,
    flying = 4,
    parking = 5,
    parked = 6,
    birth = 7,  // new record, before its first spawn
};

struct AircraftRec {
    std::string airline;           // operator code; with type the key of the livery tables
    std::string type;              // ICAO aircraft type
    std::string origin;            // origin airport code
    std::string destination;       // destination airport code
    std::string callsign;          // also the ATC ID of the created object
    std::string spawnCallsign;     // first callsign of the callsign pair
    std::string coupledCallsign;   // second callsign of the pair; empty when none
    std::string regcode;           // registration
    uint8_t coupledSearched = 0;   // the coupled-callsign search has run
    double halfWingSpan = 0;       // nautical miles
    double staticCgHeight = 0;     // feet, centre of gravity above ground when standing
    double staticPitch = 0;        // radians
    double rotationPitch = 0;      // radians, negative = nose up
    double climbPitch = 0;         // radians
    double turnRate = 0;           // radians per tick
    double currentTurnRate = 0;    // radians per tick
    double maxClimbStep = 0;       // feet per tick
    double slowTaxiSpeed = 0;      // knots
    uint32_t hexid = 0;            // above 10000: live; static aircraft carry running numbers
    int32_t category = 2;          // AircraftCategory
    std::string_view liveryTitle;  // borrowed from the livery tables; empty until matched
    int32_t flareTicks = 0;
    int32_t touchdownTicks = 0;
    int32_t rotationTicks = 0;
    int32_t climbTicks = 0;
    uint8_t isCargo = 0;
    uint8_t touchdownSign = 0;  // "FSLTL_" title: throttle -100 at touchdown
    // Simulator bookkeeping (not copied by gf_copyAircraftRec).
    uint32_t objectId = 0;              // 0 = none yet
    double standLat = 0, standLon = 0;  // degrees
    double standHeading = 0;            // radians
    uint64_t parkSlot = 0;              // slot and weekday when the aircraft parked
    uint32_t sourceHexid = 0;           // static: hexid of the parked-traffic entry it came from
    uint32_t standId = 0;               // 1..N of the park airport; 0 = none
    uint32_t lifeState = buffer;        // LifeState
    uint32_t throttleIndex = 5;         // last throttle step sent (0..4); 5 = none yet
    uint32_t flapsIndex = 4;            // last flaps step sent (0..4)
    uint8_t cargoStand = 0;
    uint32_t noSourceHexid = 1;       // 1: sourceHexid is not to be compared
    uint8_t removeWhenItAppears = 0;  // remove the object as soon as it is created
    uint8_t eraseFlag = 0;            // erase the record at the end of this tick
    uint8_t withdrawn = 0;            // queued create withdrawn; erase at the end of this tick
};

struct LiveAircraft : AircraftRec {
    // Position block sent to the simulator every tick.
    double lat = 0, lon = 0;       // degrees
    double pitch = 0;              // radians, positive = nose down
    double bank = 0;               // radians
    double heading = 0;            // true heading, radians
    double altitude = 0;           // feet
    double verticalSpeed = 0;      // feet per second
    double trueAirspeed = 0;       // knots
    std::deque<PosSample> stream;  // front: the sample moved towards; back: the newest
    double lastSampleTime = 0;     // feed time stamp of the newest accepted record, seconds
    double lastFeedGs = -1;        // ground speed the last record reported, accepted or not, knots; -1 none
    double savedLat = 0, savedLon = 0;
    int64_t steadySince = 0;  // 100-ns clock time since standing still at the stand
    int32_t extension = 0;    // 0 none, > 0 extension samples left, -1 exhausted
    uint32_t holdStartTick = 0;
    uint32_t flightState = birth;
    uint32_t previousFlightState = birth;
    uint8_t standSampleSeen = 0;
    uint8_t stoodSinceAppearing = 1;  // on the ground and not moved since the first report
    uint8_t onGround = 0;
    uint8_t flightPlanSent = 0;
    uint8_t heldBack = 0;
    uint8_t holding = 0;
    double dLat = 0, dLon = 0;                   // per-tick increments, degrees
    double dPitch = 0, dBank = 0, dHeading = 0;  // radians per tick
    double dAltitude = 0;                        // feet per tick
    double nextVrate = 0;                        // feet per minute
    double nextAirspeed = 0;                     // knots
    std::array<double, 8> curve{};               // taxi curve; NaN in the last two = no curve
    double curveProgress = 0, curveStep = 0;
    double turnAngle = 0;  // degrees
    PosSample insertedSample;
    double lastTryLat = 0, lastTryLon = 0;
    int32_t dueBack = 1000, dueAhead = 1000;  // clamps of the due tick, ticks
    int32_t takeOffCounter = 1;
    int32_t pushbackSide = 0;
    uint32_t movingAwayCount = 0;
    double targetHeading = 0;  // radians
    double agl = 2500;         // feet
    double aglEstimate = 0;
    double touchdownHeading = 0;    // radians
    double takeOffRollHeading = 0;  // radians, the heading when the take-off roll started
    double pushedBackMaxDist = 0;
    double firstStandDist = 0, lastStandDist = 0;
    PosSample lastStandSample;   // the stand check's previous sample (position and due tick)
    uint8_t lastStandNoise = 0;  // that sample was taken for a jump of the reported position
    double headingError = 0;    // degrees
    double respawnHeading = 0;  // radians
    uint8_t respawnHeadingValid = 0;
    uint8_t pushbackTurnSide = 0, pushbackSideKnown = 0;
    double groundElevation = 0;  // feet
    uint8_t groundElevationValid = 0;
    uint32_t flareStage = 0;  // 0..4
    uint8_t approachFlag = 0, landed = 0, towed = 0, climbConfigured = 0, takeOffRoll = 0, lightsHigh = 0,
            lightsLow = 0, touchdownRunning = 0, landingRoll = 0, leavingStand = 0, steerToTarget = 0;
    // A roll the feed showed ahead of time: 0 none, 1 take-off roll, 2 touch-and-go; it starts
    // when the sample that showed it falls due (rollDueTick).
    uint8_t rollPending = 0;
    int32_t rollDueTick = 0;
};
