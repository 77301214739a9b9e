#include <algorithm>
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/display.h"
#include "core/log.h"
#include "core/params.h"
#include "feed/feed_state.h"
#include "live/air_motion.h"
#include "live/air_motion_legs.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion.h"
#include "live/ground_motion_legs.h"
#include "live/intake.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/playback.h"
#include "live/removal.h"
#include "live/stand_choice.h"

namespace {

constexpr double kTicksPerHour = 360000;
constexpr double kApproachLegDefaultKt = 100;
constexpr double kRangeEdgeNm = 0.5;
constexpr double kParkFieldBandFt = 1000;
constexpr double kHoldingSpanFactor = 1.2;
constexpr int32_t kTicksPerMinute = 6000;
constexpr double kApproachSinkFpm = -667;
constexpr double kApproachSinkFtPerSec = 10.005;
constexpr double kTakeOffClimbFpm = 1500;
constexpr double kTakeOffClimbFtPerSec = 25;
// A leg in the air that needs more than this many times the reported speed, plus the margin,
// is a jump in the feed (a spoofed position, a gap the extensions could not bridge).
constexpr double kPlausibleSpeedFactor = 2.5;
constexpr double kPlausibleSpeedMarginKt = 100;
constexpr double kGroundCatchUpFactor = 2;

bool lf_isCategory(const AircraftRec& ac, AircraftCategory c) {
    return ac.category == static_cast<int32_t>(c);
}

// Another taxiing aircraft close by: holding here would block it, so this one goes.
bool lf_taxiingNeighbour(const LiveAircraft& ac) {
    for (const LiveAircraft& o : g_liveRecords) {
        if (&o == &ac || (ac.objectId != 0 && o.objectId == ac.objectId)) continue;
        if (o.lifeState != active || o.flightState != taxi || !o.onGround) continue;
        const double limit = kHoldingSpanFactor * (ac.halfWingSpan + o.halfWingSpan);
        if (gf_haversineNm({ac.lat, ac.lon}, {o.lat, o.lon}) <= limit) return true;
    }
    return false;
}

bool lf_hold(LiveAircraft& ac) {
    if (lf_taxiingNeighbour(ac)) {
        ac.holding = 0;
        ac.holdStartTick = 0;
        return false;
    }
    const uint32_t now = gf_tickNow();
    if (ac.holding) {
        const uint32_t minutes = (now - ac.holdStartTick) / kTicksPerMinute;
        if (AIRBORNE_ONLY.value() ||
            minutes > static_cast<uint32_t>(std::max(0, MAX_HOLDING_MINUTES.value())))
            return false;
    } else {
        ac.holdStartTick = now;
    }
    ac.holding = 1;
    ac.extension = 1;
    PosSample s = ac.stream.front();
    s.dueTick = gf_dueAfter(s.dueTick, kHoldingTicks);
    s.gs = 0;
    s.stationary = 1;
    ac.stream.push_back(s);
    return true;
}

// How many samples the first extension of this aircraft gets; 0 for none.
int32_t lf_firstExtension(const LiveAircraft& ac) {
    if (!gf_categoryWanted(static_cast<AircraftCategory>(ac.category))) return 0;
    if (ac.onGround) return ac.flightState == parked ? kParkedExtensions : kGroundExtensions;
    const LatLon user{g_userPosition.lat, g_userPosition.lon};
    if (gf_isPositionSet(user) && gf_haversineNm(user, {ac.lat, ac.lon}) >= g_rangeNm.load() - kRangeEdgeNm)
        return 0;
    if (!AIRBORNE_ONLY.value()) return kAirExtensions;
    const std::optional<double> field = gf_parkAirportElevationFt();
    if (!gf_parkAirportSet() || !field) return 0;
    return std::fabs(ac.altitude - *field) >= kParkFieldBandFt ? kAirExtensions : 0;
}

double lf_deadReckonSpeed(const LiveAircraft& ac, int32_t count, double gs, PosSample& s) {
    if (!ac.onGround) {
        double factor = 0.95;
        if (ac.approachFlag) factor = count >= 4 ? 0.9 : 1.0;
        if (factor == 1.0) return gs;
        return std::max(gs * factor, 1.0);
    }
    if (ac.landingRoll) {
        s.vrate = 0;
        if (gs >= 140) return 100;
        if (gs >= 100) return 80;
        if (gs >= 80) return 60;
        if (gs >= 60) return 30;
        return 20;
    }
    if (!ac.takeOffRoll) return 0;
    if (gs <= 30) return 40;
    if (gs <= 60) return 80;
    if (gs <= 100) return 110;
    s.vrate = gs <= 140 ? 600 : gs <= 160 ? 1200 : 2400;
    if (gs <= 140) return 150;
    if (gs <= 160) return 170;
    return 180;
}

void lf_deadReckonMove(const LiveAircraft& ac, int32_t count, int32_t stepSec, PosSample& s) {
    const PosSample& front = ac.stream.front();
    const double speed = lf_deadReckonSpeed(ac, count, front.gs, s);
    s.gs = std::max(speed, 0.0);
    if (!(speed > 0)) {
        s.stationary = 1;
        return;
    }
    const double feet = stepSec * kTicksPerSecond * speed * kFeetPerNmRounded / kTicksPerHour;
    const LatLon p = gf_destinationPoint(gf_posOf(front), ac.heading, feet);
    s.lat = p.lat;
    s.lon = p.lon;
    s.stationary = gf_samePosition(s, front) ? 1 : 0;
}

// Down the glide path on an approach, up at the climb-out rate while taking off; the sample is
// airborne while above the field (gf_heightAboveFieldFt). Samples of other phases keep the front's altitude and ground flag.
void lf_deadReckonAltitude(const LiveAircraft& ac, int32_t stepSec, PosSample& s) {
    if (ac.approachFlag && ac.flareStage == 0) {
        s.vrate = kApproachSinkFpm;
        s.alt -= stepSec * kApproachSinkFtPerSec;
    } else if (ac.flightState == take_off) {
        s.vrate = kTakeOffClimbFpm;
        s.alt += stepSec * kTakeOffClimbFtPerSec;
    } else {
        return;
    }
    // At an elevated field the sample is on the ground once down at the field's height.
    s.airborne = gf_heightAboveFieldFt(ac, s.alt) > 0 ? 1 : 0;
    s.alt = std::max(s.alt, 0.0);
}

// The fastest the next leg, from where the aircraft is, may be flown: well above what the feed
// reports, to catch up, but no faster. On the ground outside the rolls the reported speed may
// have frozen far above what the aircraft does: there twice the pace the leg was timed at (or a
// taxi pace), so that a curve that bulges toward a scattered position is not flown at hundreds
// of knots.
double lf_plausibleKt(const LiveAircraft& ac) {
    if (ac.onGround && !ac.takeOffRoll && !ac.landingRoll) {
        const double timedKt = gf_haversineNm(gf_posOf(ac.stream[0]), gf_posOf(ac.stream[1])) *
                               kTicksPerHour / gf_dueGap(ac.stream[0], ac.stream[1]);
        return kGroundCatchUpFactor * std::max(timedKt, kTaxiPaceKt);
    }
    const double reportedKt = std::max({ac.stream[0].gs, ac.stream[1].gs, lf_legSpeed(ac)});
    return kPlausibleSpeedFactor * reportedKt + kPlausibleSpeedMarginKt;
}

// The way the per-tick steps add up to: straight to the next sample, or along a turn curve at
// most twice its longer control leg (a quadratic curve is flown at an even parameter step, and
// its speed is at most twice the longer leg of its control polygon).
double lf_legNm(const LiveAircraft& ac) {
    if (!gf_curveActive(ac)) return gf_haversineNm({ac.lat, ac.lon}, gf_posOf(ac.stream[1]));
    const auto& c = ac.curve;
    const double metres = 2 * std::max(std::hypot(c[kCurveE1], c[kCurveN1]),
                                       std::hypot(c[kCurveE2] - c[kCurveE1], c[kCurveN2] - c[kCurveN1]));
    return gf_metersToNm(metres);
}

// In the air a leg that needs more is a jump in the feed and is not flown: the aircraft leaves
// the simulator and the following reports spawn it again where it really is. On the ground the
// leg takes the time it needs at that speed.
bool lf_jumpAhead(LiveAircraft& ac) {
    const double plausibleKt = lf_plausibleKt(ac);
    const double neededKt = lf_legNm(ac) * kTicksPerHour / lf_ticksTo(ac.stream[1]);
    if (!(neededKt > plausibleKt)) return false;  // a speed the feed froze at NaN decides nothing
    if (!ac.onGround) return true;
    const int32_t ticks = gf_travelTicks(lf_legNm(ac), plausibleKt);
    ac.stream[1].dueTick = gf_dueAfter(static_cast<int32_t>(gf_tickNow()), ticks);
    return false;
}

void lf_advanceLoop(LiveAircraft& ac) {
    gf_startRollWhenDue(ac);
    for (int pass = 0; pass < kMaxNextPosPasses; ++pass) {
        if (ac.stream.size() >= 2) {
            const bool skip =
                !ac.onGround && ac.stream[1].stationary && !lf_isCategory(ac, AircraftCategory::Rotorcraft);
            if (!skip) return lf_advanceSample(ac);
            ac.stream.erase(ac.stream.begin() + 1);
            continue;
        }
        if (!lf_extendStream(ac)) break;
    }
    // The stream has ended (or keeps ending without a sample the aircraft can move to).
    if (ac.flightState != parked) {
        try {
            lf_bookDepartureStand(ac, ac.flightState != flying);
        } catch (const std::exception& e) {
            gf_logLine(fmt::format("{} exception: {}", "lf_bookDepartureStand", e.what()));
        } catch (...) {
            gf_logLine(fmt::format("{} exception: {}", "lf_bookDepartureStand", "unknown"));
        }
    }
    removeAircraftFromSim(ac);
}

}  // namespace

void nextPosMain(LiveAircraft& ac) {
    try {
        lf_advanceLoop(ac);
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "nextPosMain", e.what(), gf_acLabel(ac),
                               ac.stream.size(), gf_flightStateName(ac.flightState),
                               gf_lifeStateName(ac.lifeState)));
        throw;
    }
}

void lf_advanceSample(LiveAircraft& ac) {
    lf_clearCurve(ac);
    {
        const PosSample& f = ac.stream[0];
        PosSample& n = ac.stream[1];
        if (!n.stationary && gf_samePosition(f, n)) n.stationary = 1;
        if (!n.stationary) ac.targetHeading = gf_bearingRad(gf_posOf(f), gf_posOf(n));
    }
    if (ac.onGround)
        nextPosGround(ac);
    else
        lf_nextPosAir(ac);
    if (ac.stream.size() < 2) return;
    const PosSample& n = ac.stream[1];
    if (!n.stationary && lf_jumpAhead(ac)) return removeAircraftFromSim(ac);
    if (n.stationary) {
        ac.dLat = ac.dLon = 0;
        if (!ac.landingRoll && !ac.takeOffRoll) lf_shrinkDueClamps(ac);
    } else {
        // Per tick the leg's own share, the short way round in longitude.
        const int32_t ticks = lf_ticksTo(n);
        ac.dLat = (n.lat - ac.lat) / ticks;
        ac.dLon = gf_shortLonDiff(ac.lon, n.lon) / ticks;
        if (ac.onGround)
            lf_groundMotion(ac);
        else
            lf_airMotion(ac);
    }
    ac.stream.pop_front();
}

void lf_nextPosAir(LiveAircraft& ac) {
    const PosSample& f = ac.stream[0];
    const PosSample& n = ac.stream[1];
    if (n.stationary) {
        if (lf_isCategory(ac, AircraftCategory::Rotorcraft)) lf_groundDueTick(ac);
        return;
    }
    double speed = 0;
    if (ac.approachFlag && !n.airborne)
        speed = f.gs > 0 ? f.gs : kApproachLegDefaultKt;
    else
        speed = lf_legSpeed(ac);
    lf_setNextDue(ac, gf_travelTicks(gf_haversineNm(gf_posOf(f), gf_posOf(n)), speed));
}

bool lf_extendStream(LiveAircraft& ac) {
    if (ac.flightState == parking) {
        lf_arriveAtStand(ac);
    } else if (ac.flightState == pushed_back || (ac.flightState == taxi && !ac.takeOffRoll &&
                                                 !ac.landingRoll && !ac.stream.front().airborne)) {
        // Only a feed that has the aircraft on the ground holds it there; one that ended in the
        // air (a helicopter whose pressure altitude took it down to the ground) takes the
        // extensions and goes.
        return lf_hold(ac);
    }
    if (ac.extension < 0) return false;
    if (ac.extension == 1) {
        ac.extension = -1;
        return false;
    }
    if (ac.extension > 1) {
        lf_deadReckon(ac, ac.extension - 1);
        return true;
    }
    const int32_t count = lf_firstExtension(ac);
    if (count == 0) return false;
    lf_deadReckon(ac, count);
    return true;
}

void lf_deadReckon(LiveAircraft& ac, int32_t count) {
    const PosSample& front = ac.stream.front();
    PosSample s = front;
    ac.extension = count;
    const bool isParked = ac.flightState == parked;
    const int32_t stepSec = ac.onGround ? kGroundExtensionSec : kAirExtensionSec;
    if (front.stationary || isParked) {
        s.stationary = 1;
        s.gs = 0;
    } else {
        lf_deadReckonMove(ac, count, stepSec, s);
        lf_deadReckonAltitude(ac, stepSec, s);
    }
    const int32_t seconds = isParked ? kParkedExtensionSec : stepSec;
    s.dueTick = gf_dueAfter(front.dueTick, seconds * kTicksPerSecond);
    // A parked aircraft whose feed went quiet still stands there: its stand stays taken.
    if (isParked) ac.standSampleSeen = 0;
    ac.stream.push_back(s);
}
