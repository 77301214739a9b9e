#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "core/geo.h"
#include "core/log.h"
#include "live/air_motion.h"
#include "live/air_motion_legs.h"
#include "live/ground_motion_legs.h"
#include "live/playback.h"

namespace {

constexpr double kSteerDeadBandRad = 0.5 * kPi / 180;
constexpr double kMaxCurveProgress = 0.999999;
constexpr double kFlareHeightFt = 400;

// A curve that cannot be sampled leaves the position as it is for this tick.
void lf_curveStep(LiveAircraft& ac) {
    ac.curveProgress = std::clamp(ac.curveProgress + ac.curveStep, 0.0, kMaxCurveProgress);
    LatLon p;
    double h = 0;
    if (!gf_sampleCurve(ac.curve, ac.curveProgress, p, h)) {
        gf_logLine(fmt::format("{} error in curve at index: {:.2F}", ac.callsign, ac.curveProgress));
        return;
    }
    ac.lat = p.lat;
    ac.lon = p.lon;
    if (ac.flightState == pushing_back) h = gf_wrapTwoPi(h + kPi);
    gf_steerHeading(ac, h);
}

void lf_straightStep(LiveAircraft& ac) {
    switch (ac.flightState) {
        case take_off:
        case flying:
        case parked:
        case birth:
            ac.heading += ac.dHeading;
            break;
        default:
            if (ac.flightState == parking || ac.steerToTarget) gf_steerHeading(ac, ac.targetHeading);
            break;
    }
    if (ac.flightState != pushed_back) {
        ac.lat += ac.dLat;
        ac.lon += ac.dLon;
    }
}

void lf_attitudeStep(LiveAircraft& ac) {
    if (ac.flightState == take_off) return lf_takeOffTick(ac);
    if (ac.agl <= kFlareHeightFt && ac.approachFlag && !ac.onGround) lf_flareTick(ac);
    if (ac.touchdownRunning) {
        ac.pitch += ac.dPitch;
        if (ac.pitch > ac.staticPitch) {
            ac.pitch = ac.staticPitch;
            ac.dPitch = ac.bank = ac.dBank = 0;
            ac.touchdownRunning = 0;
            ac.flareStage = 0;
        }
        ac.bank += ac.dBank;
    } else if (ac.flareStage > 0) {
        ac.bank = std::clamp(ac.bank + ac.dBank, -kPi, kPi);
        ac.pitch = std::max(ac.pitch + ac.dPitch, kFlarePitchRad);
        ac.altitude += ac.dAltitude;
    } else if (ac.onGround) {
        ac.pitch = ac.staticPitch;
        ac.bank = 0;
    } else {
        ac.bank += ac.dBank;
        ac.pitch += ac.dPitch;
        ac.altitude += ac.dAltitude;
    }
}

// Over a pole the latitude comes back down on the other side of the globe.
void lf_foldPosition(LiveAircraft& ac) {
    if (ac.lat > 90) {
        ac.lat = 180 - ac.lat;
        ac.lon += 180;
    } else if (ac.lat < -90) {
        ac.lat = -180 - ac.lat;
        ac.lon += 180;
    }
    ac.lon = gf_wrapLonDeg(ac.lon);
}

}  // namespace

void gf_steerHeading(LiveAircraft& ac, double targetRad) {
    const double delta = gf_normalizePi(targetRad - ac.heading);
    if (std::fabs(delta) <= kSteerDeadBandRad) return;
    ac.heading = gf_wrapTwoPi(ac.heading + (delta > 0 ? ac.currentTurnRate : -ac.currentTurnRate));
}

void lf_tickMotion(LiveAircraft& ac) {
    if (gf_curveActive(ac))
        lf_curveStep(ac);
    else
        lf_straightStep(ac);
    ac.heading = gf_wrapTwoPi(ac.heading);
    lf_attitudeStep(ac);
    lf_foldPosition(ac);
}
