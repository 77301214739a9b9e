#include "live/ground_motion.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "airports/park_airports.h"
#include "core/log.h"
#include "live/air_motion.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion_legs.h"
#include "live/sim_events.h"

namespace {

constexpr double kTakeOffTestKt = 43;
constexpr double kClimbingFpm = 256;

double lf_legNm(const LiveAircraft& ac) {
    return gf_haversineNm(gf_posOf(ac.stream[0]), gf_posOf(ac.stream[1]));
}

// A turn of the next sample: a long slow leg before a sharp turn is split so that the aircraft
// slows down before it; a turn between 3 and 160 degrees is flown along a curve.
void lf_turnStep(LiveAircraft& ac) {
    const double t = std::fabs(gf_radToDeg(lf_turnAhead(ac)));
    const PosSample& front = ac.stream[0];
    const int32_t legTicks = gf_dueGap(front, ac.stream[1]);
    if (t > kSharpTurnDeg && lf_legNm(ac) > kSharpTurnLegNm && front.gs <= kSharpTurnMaxKt &&
        legTicks >= kSharpTurnLegTicks) {
        lf_insertMidSample(ac);
        return;
    }
    if (t > kCurveMinDeg && t <= kCurveMaxDeg && !gf_samePosition(front, ac.stream[2])) {
        lf_buildTurnCurve(ac);
        ac.turnAngle = t;
        return;
    }
    lf_straightStep(ac);
}

void lf_movingStep(LiveAircraft& ac) {
    const bool turnAhead = ac.stream.size() >= 3 && !ac.stream[2].stationary;
    if (turnAhead) {
        lf_turnStep(ac);
    } else if (ac.stream.size() >= 3 || ac.extension <= 0) {
        lf_straightStep(ac);
    }
    if (gf_curveActive(ac)) {
        ac.steerToTarget = 0;
        return;
    }
    ac.headingError = gf_headingErrorDeg(ac.targetHeading, ac.heading);
    ac.steerToTarget = ac.headingError > kCurveMinDeg ? 1 : 0;
}

// An aircraft that stops near its last sample at the park airport looks for a stand there.
void lf_parkingTest(LiveAircraft& ac) {
    if (!ac.stream.back().stationary || ac.flightState != taxi || !g_staticParkingOn) return;
    const uint32_t prev = ac.previousFlightState;
    if (!ac.towed && (prev == parked || prev == pushing_back || prev == pushed_back)) return;
    if (ac.extension > 0) {
        try2Park(ac, ac.landed != 0);
        return;
    }
    if (ac.stream.size() < 2 || ac.stream[1].gs > kParkTriggerKt) return;
    if (gf_haversineNm({ac.lat, ac.lon}, gf_posOf(ac.stream.back())) <= kParkTriggerNm) try2Park(ac, false);
}

void lf_leaveParked(LiveAircraft& ac) {
    ac.dueAhead = ac.takeOffRoll ? 5000 : 3000;
    ac.dueBack = 3000;
    if (!ac.leavingStand) return;
    const double bearing = gf_bearingRad({ac.standLat, ac.standLon}, gf_posOf(ac.stream.back()));
    const double off = std::round(gf_radToDeg(gf_normalizePi(bearing - ac.standHeading)));
    if (std::fabs(off) < 90)
        lf_pullOut(ac);
    else
        lf_startPushback(ac);
}

void lf_nextPosGroundSteps(LiveAircraft& ac) {
    if (ac.flightState == pushing_back) {
        lf_pushbackTick(ac);
    } else if (ac.flightState == parked) {
        lf_leaveParked(ac);
    } else {
        if (ac.stream.size() >= 2 && !ac.stream[1].stationary) lf_movingStep(ac);
        lf_parkingTest(ac);
    }
    lf_groundDueTick(ac);
}

// The turn rate is fitted so that the turn (by the heading error or the curve's angle) fills the
// leg: faster on a short leg, slower on a long one.
void lf_fitTurnRate(LiveAircraft& ac, int32_t legTicks, double legNm) {
    const double a = ac.steerToTarget ? ac.headingError : ac.turnAngle;
    const double n = std::max(1, gf_clampTicks(a / ac.currentTurnRate / 100, 0));
    if (!(a > 0 && legNm > 0)) return;
    double r = legTicks / n;
    if (a > kSharpTurnDeg) {
        r = std::min(r, std::min(a, 90.0) / 30);
        ac.currentTurnRate *= r;
        if (a >= 90) {
            ac.dueBack = std::max(ac.dueBack, 2000);
            ac.dueAhead = std::max(ac.dueAhead, 2000);
        }
        return;
    }
    if (r >= 1.2) r = std::min({r, r * 10 / a, r * 30 * (1 / kMetersPerNm) / legNm});
    if (r > 0) ac.currentTurnRate *= 1 / r;
}

bool lf_anyBehindFront(const LiveAircraft& ac, bool (*test)(const PosSample&)) {
    return std::any_of(ac.stream.begin() + 1, ac.stream.end(), test);
}

// The take-off roll hands over to the rotation once the feed climbs away.
void lf_takeOffTest(LiveAircraft& ac) {
    if (!ac.takeOffRoll || ac.flightState == take_off || ac.stream[0].gs < kTakeOffTestKt) return;
    const bool someLevel = lf_anyBehindFront(ac, [](const PosSample& s) { return s.vrate <= kClimbingFpm; });
    const bool someOnGround = lf_anyBehindFront(ac, [](const PosSample& s) { return s.airborne == 0; });
    if (someLevel) {
        if (!lf_catSpeedReached(ac) || someOnGround) return;
        ac.dAltitude = ac.maxClimbStep;
    } else if (someOnGround) {
        ac.dAltitude = ac.maxClimbStep;
    } else {
        // A late rotation must not make up the height in a few seconds.
        ac.dAltitude =
            std::min(std::max(ac.stream[1].alt - ac.altitude, 0.1) / lf_ticksTo(ac.stream[1]), ac.maxClimbStep);
    }
    lf_startTakeOff(ac);
}

// The leg's speed on the ground: the reported one, but outside the rolls held between what the
// positions show over the due ticks and a taxi pace. A speed that froze (a parked aircraft's
// reports at 468 kt) is never flown faster than the positions move or, where they barely move, a
// taxi pace; one derived from barely moving positions (0.5 kt at a turn) is never flown slower.
double lf_groundLegSpeed(const LiveAircraft& ac) {
    const double reportedKt = lf_legSpeed(ac);
    if (ac.takeOffRoll || ac.landingRoll) return reportedKt;
    const PosSample& front = ac.stream[0];
    const PosSample& next = ac.stream[1];
    const double positionsKt = lf_legNm(ac) * kTicksPerHourKt / gf_dueGap(front, next);
    if (!std::isfinite(positionsKt)) return reportedKt;
    return std::clamp(reportedKt, std::min(positionsKt, kTaxiPaceKt), std::max(positionsKt, kTaxiPaceKt));
}

uint32_t lf_takeOffRollThrottle(const LiveAircraft& ac) {
    const double f = ac.stream[0].gs;
    const double n = ac.stream[1].gs;
    if (f >= 25 || n >= 30) return 4;
    if (f >= 20 || n >= 25) return gf_airThrottleStep(ac, 2);
    if (f >= 15 || n >= 20) return gf_airThrottleStep(ac, 1);
    return gf_airThrottleStep(ac, 0);
}

}  // namespace

void nextPosGround(LiveAircraft& ac) {
    try {
        lf_nextPosGroundSteps(ac);
    } catch (const std::exception& e) {
        gf_logLine(
            fmt::format("{}: {}, {}, sz:{}", "nextPosGround", e.what(), gf_acLabel(ac), ac.stream.size()));
        throw;
    }
}

void lf_groundDueTick(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    const PosSample& front = ac.stream[0];
    const PosSample& next = ac.stream[1];
    if (next.stationary) {
        const int64_t wait = static_cast<int64_t>(gf_ticksFromNow(front.dueTick)) + gf_dueGap(front, next);
        lf_setNextDue(ac, gf_clampTicks(static_cast<double>(wait)));
        return;
    }
    ac.currentTurnRate = ac.turnRate;
    const double legNm = lf_legNm(ac);
    const int32_t legTicks = gf_travelTicks(legNm, lf_groundLegSpeed(ac));
    if (gf_curveActive(ac) || ac.steerToTarget) lf_fitTurnRate(ac, legTicks, legNm);
    lf_setNextDue(ac, legTicks);
}

void lf_insertMidSample(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    const PosSample& front = ac.stream[0];
    const PosSample& next = ac.stream[1];
    PosSample mid = front;
    mid.lat = (front.lat + next.lat) / 2;
    mid.lon = gf_wrapLonDeg(front.lon + gf_shortLonDiff(front.lon, next.lon) / 2);
    mid.gs = (front.gs + next.gs) / 2;
    mid.alt = std::max((front.alt + next.alt) / 2, 0.0);
    mid.airborne = gf_heightAboveFieldFt(ac, mid.alt) > 0 ? 1 : 0;
    // Halfway along a leg out of a stop the aircraft is already moving: a mid-sample that kept
    // the stop's mark would hold it still for half the leg and make it cover the whole leg (or a
    // turn curve over the next sample) in the other half.
    if (!gf_samePosition(front, next)) mid.stationary = 0;
    const int32_t gap =
        static_cast<int32_t>(static_cast<uint32_t>(next.dueTick) - static_cast<uint32_t>(front.dueTick));
    mid.dueTick = gf_dueAfter(front.dueTick, static_cast<int32_t>(std::lround(gap / 2.0)));
    ac.stream.insert(ac.stream.begin() + 1, mid);
}

void lf_straightStep(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    const double f = ac.stream[0].gs;
    const double n = ac.stream[1].gs;
    if (!(f > 0 || n > 0) || !(std::fabs(f - n) > kMidSampleSpeedStepKt)) return;
    if (lf_legNm(ac) >= kMidSampleLegNm) lf_insertMidSample(ac);
}

void lf_buildTurnCurve(LiveAircraft& ac) {
    if (ac.stream.size() < 3) return;
    const PosSample& front = ac.stream[0];
    const PosSample& control = ac.stream[1];
    PosSample& end = ac.stream[2];
    if (end.gs == 0) end.gs = (front.gs + control.gs) / 2;
    const double eastPerDeg = gf_metersPerDegreeLon(ac.lat);
    ac.curve[kCurveStartLat] = ac.lat;
    ac.curve[kCurveStartLon] = ac.lon;
    ac.curve[kCurveStartParam] = 0;
    ac.curve[kCurveEndParam] = 1.0;
    ac.curve[kCurveN1] = (control.lat - ac.lat) * kMetersPerDegree;
    ac.curve[kCurveE1] = gf_shortLonDiff(ac.lon, control.lon) * eastPerDeg;
    ac.curve[kCurveN2] = (end.lat - ac.lat) * kMetersPerDegree;
    ac.curve[kCurveE2] = gf_shortLonDiff(ac.lon, end.lon) * eastPerDeg;
    ac.curveProgress = 0;
    ac.stream.erase(ac.stream.begin() + 1);
}

void lf_groundMotion(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    if (ac.flightState == parked || ac.flightState == flying) {
        gf_setFlightState(ac, taxi);
    } else if (ac.takeOffRoll && ac.flightState != take_off &&
               gf_turnedOffTheRunway(ac, ac.takeOffRollHeading)) {
        // Off the runway as a landing roll ends: a rejected take-off, or the roll-out after a
        // touch-and-go whose feed came down again.
        gf_leaveRunway(ac);
    } else if (ac.takeOffRoll) {
        gf_setThrottle(ac, lf_takeOffRollThrottle(ac));
    } else if (ac.landingRoll) {
        lf_landingRollOut(ac);
    } else {
        gf_airThrottle(ac, 0);
    }
    if (!ac.landingRoll && !ac.takeOffRoll) lf_shrinkDueClamps(ac);
    if (ac.flareStage == 0 && ac.flightState != take_off) {
        ac.pitch = ac.staticPitch;
        ac.bank = 0;
        ac.dPitch = 0;
        ac.dBank = 0;
    }
    if (gf_curveActive(ac)) ac.curveStep = 1.0 / lf_ticksTo(ac.stream[1]);
    ac.nextAirspeed = ac.flightState == pushing_back ? -ac.stream[1].gs : ac.stream[1].gs;
    lf_takeOffTest(ac);
}

void gf_taxiLights(const LiveAircraft& ac) {
    gf_queueLights(ac.objectId, {1, 1, 0, 1, 0, 1, 0});
}

void gf_resetGroundMotion() {
    g_staticParkingOn = false;
}
