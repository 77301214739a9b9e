// Ground-air transitions of the flight model: flare, touchdown, roll-out, take-off roll,
// rotation and climb-out, and the flight plan sent when an object is created.
#include "live/air_motion.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/files.h"
#include "core/log.h"
#include "feed/feed_state.h"
#include "live/aircraft_rec.h"
#include "live/air_motion_legs.h"
#include "live/playback.h"
#include "live/sim_events.h"
#include "live/stand_choice.h"
#include "sim/flight_plan.h"

namespace {

constexpr double kRollOutEndDeg = 15;
constexpr double kRollOutSlowKt = 90;
constexpr double kClimbOutAglFt = 800;
constexpr int32_t kGearUpCounter = -300;
constexpr int32_t kLowestTakeOffCounter = -1000;
constexpr uint32_t kSpoilersOut = 16383;

// One stage of the flare: the height at which it begins over the static CG height, the altitude
// step per tick from then on and the sink rate that the front sample takes.
struct FlareStage {
    double aboveCgFt;
    double dAltitude;
    double vrate;
};
constexpr FlareStage kFlareStages[] = {
    {30, -0.1, -601}, {20, -0.075, -450}, {10, -0.05, -300}, {3, -0.025, -150}};

// Height estimate of the first flare stage: from the park airport's elevation while the scans
// have not given a ground elevation, else the simulator's height above ground.
double lf_flareHeight(LiveAircraft& ac) {
    if (!ac.groundElevationValid) {
        const std::optional<double> elevation = gf_parkAirportElevationFt();
        if (gf_parkAirportSet() && elevation) {
            ac.groundElevation = *elevation;
            ac.groundElevationValid = 1;
        }
    }
    ac.aglEstimate = ac.groundElevationValid ? ac.altitude - ac.groundElevation : ac.agl;
    return std::min(ac.agl, ac.aglEstimate);
}

void lf_enterFlareStage(LiveAircraft& ac, const FlareStage& stage) {
    if (ac.flareStage == 0) {
        ac.dPitch = (kFlarePitchRad - ac.pitch) / std::max(ac.flareTicks, 1);
        g_fastObjectScan = true;
    } else {
        ac.groundElevationValid = 0;  // from here on the scans' height above ground decides
    }
    if (ac.flareStage == 2) gf_setThrottle(ac, 0);
    ac.dAltitude = stage.dAltitude;
    if (!ac.stream.empty()) ac.stream.front().vrate = stage.vrate;
    ++ac.flareStage;
}

void lf_leverZero(const LiveAircraft& ac) {
    gf_airCommand(ac, SimClientEvent::SpoilersSet, 0);
    gf_airData401(ac, 0, 0);
}

}  // namespace

void lf_flareTick(LiveAircraft& ac) {
    if (ac.flareStage >= std::size(kFlareStages)) return;
    const FlareStage& stage = kFlareStages[ac.flareStage];
    const double height = ac.flareStage == 0 ? lf_flareHeight(ac) : ac.agl;
    if (ac.staticCgHeight + stage.aboveCgFt >= height) lf_enterFlareStage(ac, stage);
}

void lf_onGroundSlots(LiveAircraft& ac) {
    ac.touchdownRunning = 1;
    ac.landingRoll = 1;
    g_fastObjectScan = false;
    ac.touchdownHeading = ac.heading;
    ac.approachFlag = 0;
    ac.landed = 1;
    gf_airCommand(ac, SimClientEvent::SpoilersSet, kSpoilersOut);
    // FSLTL models take reverse thrust as negative lever positions.
    gf_airData401(ac, 100, ac.touchdownSign ? -100 : 100);
    if (ac.touchdownTicks > 0) {
        ac.dPitch = (ac.staticPitch - ac.pitch) / ac.touchdownTicks;
        ac.dBank = -ac.bank / ac.touchdownTicks;
    } else {
        gf_logLine(
            fmt::format("{} ! onGround slots {:.1f}", ac.callsign, static_cast<double>(ac.touchdownTicks)));
        ac.dPitch = ac.staticPitch;
        ac.dBank = 0;
    }
    gf_queueReplacementCheck(ac.hexid);
}

bool gf_turnedOffTheRunway(const LiveAircraft& ac, double rollHeadingRad) {
    return std::fabs(gf_radToDeg(gf_normalizePi(ac.heading - rollHeadingRad))) >= kRollOutEndDeg;
}

void lf_landingRollOut(LiveAircraft& ac) {
    if (!gf_turnedOffTheRunway(ac, ac.touchdownHeading)) {
        if (ac.stream.empty() || ac.stream.front().gs > kRollOutSlowKt) return;
        lf_leverZero(ac);
        return gf_setFlaps(ac, 1);
    }
    gf_leaveRunway(ac);
}

void gf_leaveRunway(LiveAircraft& ac) {
    gf_setFlaps(ac, 0);
    ac.landingRoll = 0;
    ac.touchdownHeading = 0;
    if (ac.takeOffRoll) {
        ac.takeOffRoll = 0;
        gf_resetDueClamps(ac);
    }
    gf_airThrottle(ac, 0);
    lf_leverZero(ac);
    gf_queueLights(ac.objectId, {1, 1, 0, 1, 0, 1, 1});
}

void lf_towedTakeOff(LiveAircraft& ac) {
    if (ac.towed) gf_logLine(fmt::format("towed aircraft takes-off? {}", gf_acLabel(ac)));
    ac.takeOffRoll = 1;
    ac.takeOffRollHeading = ac.heading;
    gf_setThrottle(ac, 0);
    gf_airCommand(ac, SimClientEvent::SpoilersSet, 0);
    gf_setFlaps(ac, 1);
    ac.approachFlag = 0;
    ac.landed = 0;
    ac.climbConfigured = 0;
    gf_queueLights(ac.objectId, {1, 1, 1, 1, 1, 1, 0});
    ac.dueAhead = 5000;
    ac.dueBack = 3000;
    if (!ac.airline.empty()) lf_bookDepartureStand(ac, true);
}

void lf_startTakeOff(LiveAircraft& ac) {
    ac.takeOffCounter = std::max(ac.rotationTicks, 1);
    ac.bank = 0;
    ac.dBank = 0;
    ac.dPitch = (ac.rotationPitch - ac.pitch) / ac.takeOffCounter;
    if (!ac.takeOffRoll) lf_towedTakeOff(ac);
    gf_setFlightState(ac, take_off);
    ac.dHeading = 0;
    lf_clearCurve(ac);
    if (!ac.landingRoll) return;
    // Touch-and-go: straight from the landing roll into the climb.
    ac.landingRoll = 0;
    ac.approachFlag = 0;
    ac.landed = 0;
    gf_setThrottle(ac, 4);
    gf_airCommand(ac, SimClientEvent::SpoilersSet, kSpoilersOut);
    gf_setFlaps(ac, 1);
}

namespace {

// Climb after the rotation: a tenth, a fifth, then half of the climb step for 100 ticks each
// before the gear comes up and the full step applies.
void lf_climbOutStep(LiveAircraft& ac, int32_t c) {
    if (c == 0) return;
    // A climb-out climbs: a feed still below the aircraft must not take it into the ground.
    const double step = std::max(ac.dAltitude, 0.0);
    if (c > -100) {
        ac.altitude += step / 10;
    } else if (c > -200) {
        ac.altitude += step / 5;
    } else if (c > kGearUpCounter) {
        ac.altitude += step * 0.5;
    } else {
        if (c == kGearUpCounter) gf_airCommand(ac, SimClientEvent::GearSet, 0);
        ac.altitude += step;
    }
}

void lf_climbedOut(LiveAircraft& ac) {
    ac.dPitch = 0;
    if (ac.agl < kClimbOutAglFt) return;
    gf_airThrottle(ac, 3);
    gf_setFlightState(ac, flying);
    ac.takeOffCounter = 1;
}

}  // namespace

void lf_takeOffTick(LiveAircraft& ac) {
    const int32_t c = --ac.takeOffCounter;
    if (c > 0) {
        ac.onGround = 0;
        if (ac.pitch > ac.rotationPitch) ac.pitch += ac.dPitch;
        return;
    }
    ac.bank = std::clamp(ac.bank + ac.dBank, -kPi, kPi);
    if (ac.pitch > ac.climbPitch) ac.pitch += (ac.climbPitch - ac.rotationPitch) / std::max(ac.climbTicks, 1);
    lf_climbOutStep(ac, c);
    if (c < kGearUpCounter && ac.pitch <= ac.climbPitch) lf_climbedOut(ac);
    ac.takeOffCounter = std::max(ac.takeOffCounter, kLowestTakeOffCounter);
}

bool lf_catSpeedReached(const LiveAircraft& ac) {
    const double rotationKt = gf_airLimits(ac.category).rotationSpeedKt;
    return std::all_of(ac.stream.begin() + (ac.stream.empty() ? 0 : 1), ac.stream.end(),
                       [&](const PosSample& s) { return s.gs >= rotationKt; });
}

void lf_createFlightPlan(LiveAircraft& ac) {
    if (ac.origin.empty() || ac.destination.empty()) return;
    const std::filesystem::path path = gf_flightPlanFileName(ac.objectId);
    bool sent = false;
    if (gf_writeFlightPlan(path, ac.origin, ac.destination)) {
        // The simulator runs elsewhere: it gets the whole path.
        const std::string fullPath = std::filesystem::absolute(path).string();
        {
            std::lock_guard lock(g_simCommandMutex);
            sent = SimConnect_AISetAircraftFlightPlan(g_hSimConnect, ac.objectId, fullPath.c_str(),
                                                      kReqFlightPlan) == S_OK;
        }
        // Nobody would delete the file of a plan the object never got.
        if (!sent) gf_removeFileIfExists(path);
    }
    if (sent) {
        ac.flightPlanSent = 1;
        return;
    }
    gf_logLine(fmt::format("{} creating a flight plan failed", gf_acLabel(ac)));
}
