#include "live/air_motion.h"

#include <algorithm>
#include <cmath>

#include "aircraft/type_database.h"
#include "feed/feed_state.h"
#include "live/air_motion_legs.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion_legs.h"
#include "live/sim_events.h"

namespace {

constexpr double kStandardPressureHpa = 1013.25;
constexpr double kTouchdownRateFpm = -601;
constexpr double kShortFinalRateFpm = -600;
constexpr double kLevelOffAglFt = 1000;
constexpr double kLowHoldAglFt = 200;
constexpr double kFeedAttitudeAglFt = 1000, kFeedAttitudeApproachAglFt = 2000;
constexpr double kLightsCeilingFt = 10000;
constexpr double kBigJetApproachAglFt = 2050, kSmallApproachAglFt = 625;
constexpr double kGearUpAglFt = 2400, kFlapsOneAglFt = 2000;
constexpr double kDescentRateFpm = -250, kClimbRateFpm = 400, kGoAroundRateFpm = 600;
constexpr double kFeedClimbsAgainFpm = 100;
constexpr double kTicksPerMinute = 6000;
constexpr double kNoseUp3Rad = -0.05235987755982989;
constexpr double kPitchPer600FpmRad = gf_degToRad(2.2);
constexpr size_t kFirstSkipSample = 3, kLastSkipSample = 10;

bool lf_is(const AircraftRec& ac, AircraftCategory category) {
    return ac.category == static_cast<int32_t>(category);
}

void lf_gear(const LiveAircraft& ac, uint32_t down) {
    gf_airCommand(ac, SimClientEvent::GearSet, down);
}

LatLon lf_at(const PosSample& s) {
    return {s.lat, s.lon};
}

// Descents are bounded by the category's step as climbs are: a level short final or a spike in
// the feed must not become a dive.
double lf_boundedStep(const LiveAircraft& ac, double step) {
    return std::clamp(step, -ac.maxClimbStep, ac.maxClimbStep);
}

double lf_climbTowards(const LiveAircraft& ac, const PosSample& n) {
    if (n.alt <= ac.altitude) return 0;
    return std::min((n.alt - ac.altitude) / lf_ticksTo(n), ac.maxClimbStep);
}

// The last leg before the ground: with the QNH at or below standard and the landing near the
// park airport, straight at its elevation; else a fixed sink rate that the flare takes over.
void lf_touchdownProfile(LiveAircraft& ac) {
    PosSample& n = ac.stream[1];
    const double qnh = g_qnh.load();
    const bool park = gf_parkAirportSet();
    const std::optional<double> elevation = gf_parkAirportElevationFt();
    if (park && qnh < 1014 && elevation && gf_nearParkAirport(lf_at(n))) {
        ac.dAltitude = lf_boundedStep(ac, (*elevation - ac.altitude) / lf_ticksTo(n));
        return;
    }
    const bool standardOrLow = qnh <= kStandardQnhHpa || (park && qnh < 1014);
    const double rate = standardOrLow ? kTouchdownRateFpm : lf_touchdownRate(ac);
    n.vrate = rate;
    ac.nextVrate = rate;
    ac.dAltitude = lf_boundedStep(ac, rate / kTicksPerMinute);
}

// Drops the samples between the front and the k-th (1-based) when that one is airborne and
// climbs towards it.
bool lf_skipToAirborne(LiveAircraft& ac, size_t k) {
    if (ac.stream.size() < k || !ac.stream[k - 1].airborne) return false;
    for (size_t i = 0; i + 2 < k && ac.stream.size() > 3; ++i) ac.stream.erase(ac.stream.begin() + 1);
    const double legNm = gf_haversineNm(lf_at(ac.stream[0]), lf_at(ac.stream[1]));
    lf_setNextDue(ac, gf_travelTicks(legNm, lf_legSpeed(ac)));
    ac.dAltitude = lf_climbTowards(ac, ac.stream[1]);
    return true;
}

// Only airborne samples count: a ground row often keeps a stale climb rate (+64 ft/min is common),
// and a few of them would read as a climb.
double lf_airborneVrateSum(const LiveAircraft& ac) {
    double sum = 0;
    for (const PosSample& s : ac.stream)
        if (s.airborne) sum += s.vrate;
    return sum;
}

// The feed has the aircraft on the ground while the simulator has it in the air: a feed that
// climbs again in the air is a go-around or a low pass, anything else is a landing.
void lf_groundSamplesInAir(LiveAircraft& ac) {
    if (ac.approachFlag || lf_airborneVrateSum(ac) <= kFeedClimbsAgainFpm) {
        lf_touchdownProfile(ac);
        return lf_gear(ac, 1);
    }
    const size_t last = std::min(ac.stream.size() - 1, kLastSkipSample);
    for (size_t k = kFirstSkipSample; k <= last; ++k) {
        if (lf_skipToAirborne(ac, k)) return lf_gear(ac, 1);
    }
    PosSample& n = ac.stream[1];
    n.vrate = std::max(n.vrate, -kTouchdownRateFpm);
    ac.nextVrate = n.vrate;
    ac.dAltitude = lf_boundedStep(ac, n.vrate / kTicksPerMinute);
    lf_gear(ac, 1);
}

// Below this height above ground the approach configuration replaces the cruise one.
double lf_approachAglFt(const LiveAircraft& ac) {
    const bool bigJet = lf_is(ac, AircraftCategory::Buzjets) || lf_is(ac, AircraftCategory::Large) ||
                        lf_is(ac, AircraftCategory::Heavy);
    return bigJet ? kBigJetApproachAglFt : kSmallApproachAglFt;
}

void lf_verticalProfile(LiveAircraft& ac) {
    const PosSample& f = ac.stream[0];
    const PosSample& n = ac.stream[1];
    if (!f.airborne && !n.airborne) return lf_groundSamplesInAir(ac);
    if (!f.airborne) {
        ac.dAltitude = lf_climbTowards(ac, n);
        return;
    }
    if (!n.airborne) {
        lf_touchdownProfile(ac);
        return lf_gear(ac, 1);
    }
    const double r = (n.alt - ac.altitude) / lf_ticksTo(n);
    if (!ac.approachFlag) {
        // Without an approach the aircraft follows the feed down to kLowHoldAglFt above the
        // ground and no lower: it holds its height there until the feed has it on the ground,
        // rather than climb against a descending feed or hold up an arrival a thousand feet high.
        ac.dAltitude = ac.agl > kLowHoldAglFt ? lf_boundedStep(ac, r) : std::clamp(r, 0.0, ac.maxClimbStep);
        return;
    }
    // A level leg low down on an approach is the short final of an aeroplane; a helicopter holds
    // its height there (a hover), and follows the feed.
    const bool levelShortFinal = f.alt == n.alt && ac.agl <= kLevelOffAglFt && f.vrate + n.vrate <= 100 &&
                                 !lf_is(ac, AircraftCategory::Rotorcraft);
    if (levelShortFinal) return lf_touchdownProfile(ac);
    ac.dAltitude = lf_boundedStep(ac, r);
}

// 3 degrees nose up in level flight, 2.2 degrees more per 600 ft/min of climb; descents count half.
void lf_pitchStep(LiveAircraft& ac) {
    const PosSample& n = ac.stream[1];
    const double v = n.vrate >= 0 ? std::min(n.vrate, 2400.0) : std::max(n.vrate, -3000.0) / 2;
    const double target = kNoseUp3Rad - (v / 600) * kPitchPer600FpmRad;
    const double limit = gf_airLimits(ac.category).maxPitchStep;
    ac.dPitch = std::clamp((target - ac.pitch) / lf_ticksTo(n), -limit, limit);
}

void lf_bankStep(LiveAircraft& ac, double turn, int32_t ticks) {
    const AirLimits& limits = gf_airLimits(ac.category);
    const double target = -std::clamp(turn, -limits.maxBank, limits.maxBank);
    ac.dBank = std::clamp((target - ac.bank) / ticks, -limits.maxBankStep, limits.maxBankStep);
}

// Low down the feed's own heading and roll are worth more than the track's turn.
void lf_headingAndBank(LiveAircraft& ac) {
    const PosSample& n = ac.stream[1];
    const int32_t ticks = lf_ticksTo(n);
    const double aglLimit = ac.approachFlag ? kFeedAttitudeApproachAglFt : kFeedAttitudeAglFt;
    const bool feedAttitude = n.attitudeFlag && n.roll && n.trueHeading && ac.agl < aglLimit;
    const double turn = feedAttitude ? gf_normalizePi(*n.trueHeading - ac.heading) : lf_turnAhead(ac);
    ac.dHeading = turn / ticks;
    if (n.roll)
        ac.dBank = (*n.roll - ac.bank) / ticks;
    else
        lf_bankStep(ac, turn, ticks);
}

void lf_cruiseFlaps(LiveAircraft& ac, double vrate) {
    if (ac.agl >= kGearUpAglFt) {
        lf_gear(ac, 0);
        return gf_setFlaps(ac, 0);
    }
    if (vrate > 100) return;
    if (ac.flapsIndex == 0) return gf_setFlaps(ac, 1);
    if (ac.agl < kFlapsOneAglFt && ac.flapsIndex == 1) gf_setFlaps(ac, 2);
}

void lf_cruiseConfig(LiveAircraft& ac) {
    lf_shrinkDueClamps(ac);
    gf_queueCabinLights(ac.objectId, 1);
    ac.takeOffRoll = 0;
    ac.approachFlag = 0;
    const double vrate = ac.stream[0].vrate;
    if (vrate <= kDescentRateFpm && ac.throttleIndex == 3)
        gf_airThrottle(ac, 2);
    else if (vrate > kClimbRateFpm && ac.throttleIndex == 4)
        gf_airThrottle(ac, 3);
    lf_cruiseFlaps(ac, vrate);
}

void lf_goAroundConfig(LiveAircraft& ac) {
    if (ac.climbConfigured) return;
    lf_shrinkDueClamps(ac);
    gf_setThrottle(ac, 4);
    lf_gear(ac, 0);
    gf_setFlaps(ac, 0);
    ac.climbConfigured = 1;
    ac.flareStage = 0;
    ac.approachFlag = 0;
}

void lf_landingConfig(LiveAircraft& ac) {
    gf_airThrottle(ac, 1);
    gf_setFlaps(ac, 3);
    lf_gear(ac, 1);
    gf_queueReplacementCheck(ac.hexid);
    ac.approachFlag = 1;
    ac.climbConfigured = 0;
    ac.standLat = ac.standLon = 0;
    ac.standId = 0;
    ac.cargoStand = 0;
    ac.dueAhead = ac.takeOffRoll ? 5000 : 3000;
    ac.dueBack = 3000;
    ac.takeOffCounter = 1;
}

void lf_approachConfig(LiveAircraft& ac) {
    gf_queueCabinLights(ac.objectId, 0);
    const bool near = gf_nearParkAirport({ac.lat, ac.lon});
    const double vrate = ac.stream[0].vrate;
    if (vrate > kDescentRateFpm) {
        if (vrate <= kGoAroundRateFpm && (!ac.approachFlag || near)) return;
        return lf_goAroundConfig(ac);
    }
    if (!ac.approachFlag && near) lf_landingConfig(ac);
}

void lf_lightsAndConfig(LiveAircraft& ac) {
    if (ac.stream[0].alt >= kLightsCeilingFt) {
        // Steady flight up high keeps to the delay as it does lower down.
        lf_shrinkDueClamps(ac);
        if (ac.lightsHigh) return;
        ac.lightsHigh = 1;
        ac.lightsLow = 0;
        gf_queueLights(ac.objectId, {1, 1, 0, 0, 0, 0, 1});
        gf_airThrottle(ac, 3);
        lf_gear(ac, 0);
        return gf_setFlaps(ac, 0);
    }
    if (!ac.lightsLow) {
        ac.lightsHigh = 0;
        ac.lightsLow = 1;
        gf_queueLights(ac.objectId, {1, 1, 1, 1, 1, 1, 1});
    }
    if (ac.agl > lf_approachAglFt(ac))
        lf_cruiseConfig(ac);
    else
        lf_approachConfig(ac);
}

}  // namespace

void lf_airMotion(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    if (ac.flightState != take_off && ac.flightState != flying) {
        gf_setFlightState(ac, flying);
    }
    ac.nextAirspeed = ac.stream[1].airspeed;
    ac.nextVrate = ac.stream[1].vrate;
    if (ac.flareStage == 0) {
        lf_verticalProfile(ac);
        if (ac.flightState != take_off) lf_pitchStep(ac);
    }
    // The profile may have dropped samples: the attitude aims at the next sample as it is now.
    lf_headingAndBank(ac);
    lf_lightsAndConfig(ac);
}

double lf_touchdownRate(const LiveAircraft& ac) {
    if (ac.agl <= 100) return kShortFinalRateFpm;
    const double mean = (ac.stream[0].vrate + ac.stream[1].vrate) / 2;
    return std::min(mean - (g_qnh.load() - kStandardPressureHpa) * 6, kTouchdownRateFpm);
}
