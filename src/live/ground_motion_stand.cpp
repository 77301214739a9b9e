// Leaving and reaching a stand: pushback, pull-out, the stand chosen on the way, the drive onto
// it and the arrival.
#include <cmath>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "airports/stand.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "live/air_motion.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion.h"
#include "live/ground_motion_legs.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/parking_slots.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "live/stand_choice.h"
#include "sim/sim_link.h"

namespace {

constexpr double kPushbackRadii = 2.5;
constexpr double kPullOutHalfSpans = 2;
constexpr double kPushedBackMaxDistStart = 900;

PosSample lf_groundSample(LatLon p, double gsKt, int32_t dueTick) {
    PosSample s;
    s.lat = p.lat;
    s.lon = p.lon;
    s.gs = gsKt;
    s.dueTick = dueTick;
    return s;
}

int32_t lf_now() {
    return static_cast<int32_t>(gf_tickNow());
}

// Engines on, idle, take-off flaps: the aircraft is ready to taxi.
void lf_readyToTaxi(LiveAircraft& ac) {
    gf_queueClientEvent(ac.objectId, SimClientEvent::EngineAutoStart, 0);
    gf_setThrottle(ac, 0);
    gf_setFlaps(ac, 1);
}

void lf_resetClamps(LiveAircraft& ac) {
    ac.dueBack = 3000;
    ac.dueAhead = ac.takeOffRoll ? 5000 : 3000;
}

bool lf_isUsersStand(const Stand& stand) {
    const std::string& reserved = gf_parkSite().reservedStand;
    if (!reserved.empty() && stand.name == reserved) return true;
    const std::string userStand = gf_nearestStandName({g_userPosition.lat, g_userPosition.lon});
    return !userStand.empty() && userStand == stand.name;
}

void lf_logEmpty(std::string_view where) {
    gf_logLine(fmt::format("{} empty sz?", where));
}

// The stay is booked into the stand's half-hours when the aircraft's kind matches the stand's.
void lf_bookArrival(const LiveAircraft& ac) {
    if (ac.airline.empty() || ac.cargoStand != ac.isCargo) return;
    if (!lt_addStandOption(ac.standId, ac, false, ac.parkSlot, false)) return;
    const int slot = gf_slotOf(ac.parkSlot);
    if (slot >= 0 && slot < kSlotsPerDay) gf_setHexidSlot(ac.hexid, slot);
}

}  // namespace

void lf_startPushback(LiveAircraft& ac) {
    ac.extension = 0;
    const Stand* stand = gf_standById(ac.standId);
    if (stand == nullptr || ac.stream.empty()) return;
    const double reverse = ac.standHeading + kPi;
    const LatLon here{ac.lat, ac.lon};
    const LatLon p = gf_destinationPoint(here, reverse, gf_nmToFeet(kPushbackRadii * stand->radius));
    const double speed = ac.slowTaxiSpeed;
    ac.stream.front().gs = speed;
    ac.targetHeading = ac.heading;
    const int32_t t1 = gf_travelTicks(gf_haversineNm(here, p), speed);
    ac.stream.resize(1);
    ac.stream.push_back(lf_groundSample(p, speed, gf_dueAfter(lf_now(), t1)));
    lf_insertMidSample(ac);
    const double sideFt = gf_nmToFeet(ac.halfWingSpan);
    const LatLon side1 = gf_destinationPoint(p, reverse + kPi / 2, sideFt);
    const LatLon side2 = gf_destinationPoint(p, reverse - kPi / 2, sideFt);
    const int32_t t2 = gf_travelTicks(gf_haversineNm(gf_posOf(ac.stream[1]), side1), speed);
    const int32_t sideDue = gf_dueAfter(gf_dueAfter(lf_now(), t1 / 2), t2);
    ac.insertedSample = lf_groundSample(side1, speed, sideDue);
    ac.stream.push_back(lf_groundSample(side2, speed, sideDue));
    // The stand stays taken until the aircraft, pushed back, taxis away from it.
    gf_taxiLights(ac);
    gf_setFlightState(ac, pushing_back);
    ac.pushbackSide = 2;
}

void lf_pushbackTick(LiveAircraft& ac) {
    --ac.pushbackSide;
    if (ac.pushbackSide == 1) {
        if (!ac.pushbackSideKnown) {
            if (ac.stream.size() >= 3) ac.stream.pop_back();
            return;
        }
        if (ac.pushbackTurnSide && ac.stream.size() >= 3) ac.stream.back() = ac.insertedSample;
        lf_buildTurnCurve(ac);
        ac.curveStep = 1.0 / std::max(1, gf_clampTicks(90 / ac.currentTurnRate / 100, 1));
        ac.turnAngle = 90;
        return;
    }
    if (ac.pushbackSide > 0) return;
    ac.targetHeading = ac.heading;
    lf_readyToTaxi(ac);
    gf_setFlightState(ac, pushed_back);
    ac.pushbackSide = 1;
    ac.pushedBackMaxDist = kPushedBackMaxDistStart;
    ac.extension = 0;
    ac.leavingStand = 0;
}

void lf_pullOut(LiveAircraft& ac) {
    ac.leavingStand = 0;
    ac.extension = 0;
    if (ac.stream.empty()) return;
    const LatLon f = gf_destinationPoint({ac.standLat, ac.standLon}, ac.standHeading,
                                         gf_nmToFeet(kPullOutHalfSpans * ac.halfWingSpan));
    const double speed = ac.slowTaxiSpeed;
    PosSample& front = ac.stream.front();
    front.gs = speed;
    PosSample out = front;
    out.lat = f.lat;
    out.lon = f.lon;
    out.stationary = 0;
    out.dueTick = gf_dueAfter(lf_now(), gf_travelTicks(gf_haversineNm({ac.lat, ac.lon}, f), speed));
    ac.stream.resize(1);
    ac.stream.push_back(out);
    gf_setFlightState(ac, taxi);
    ac.targetHeading = ac.heading;
    gf_taxiLights(ac);
    lf_readyToTaxi(ac);
    gf_logDetail(fmt::format("{:8}: {:8} pulling out", gf_standNameOfId(ac.standId), ac.callsign));
    gf_letGoOfStand(ac);
}

void try2Park(LiveAircraft& ac, bool landed) {
    if (ac.stream.empty()) {
        lf_logEmpty("try2Park");
        return;
    }
    const PosSample& back = ac.stream.back();
    if (gf_samePosition(back.lat, back.lon, ac.lastTryLat, ac.lastTryLon)) return;
    ac.lastTryLat = back.lat;
    ac.lastTryLon = back.lon;
    Stand* stand =
        gf_nearestFreeStand(gf_posOf(back), ac, landed ? kParkRadiusLandedNm : kParkRadiusNm, landed);
    if (stand == nullptr || lf_isUsersStand(*stand)) return;
    lf_removedWantsToPark(stand->standId, ac);
    for (uint32_t neighbour : stand->neighbours) lf_removedAdjacent(neighbour, ac, *stand);
    lf_makesWay(ac, *stand);
    ac.standLat = stand->latitude;
    ac.standLon = stand->longitude;
    ac.standHeading = stand->heading;
    ac.standId = stand->standId;
    ac.cargoStand = stand->cargo ? 1 : 0;
    ac.standSampleSeen = 0;  // the stand check starts afresh; standing in the taxi counted elsewhere
    ac.stream.resize(1);
    gf_setFlightState(ac, parking);
    drive2Stand(ac, stand->position());
}

void drive2Stand(LiveAircraft& ac, LatLon standPos) {
    if (ac.stream.empty()) {
        lf_logEmpty("drive2Stand");
        return;
    }
    PosSample& back = ac.stream.back();
    const double speed = ac.slowTaxiSpeed;
    const int32_t d = gf_travelTicks(gf_haversineNm(gf_posOf(back), standPos), speed, kDriveToStandMinTicks);
    PosSample onStand = lf_groundSample(standPos, speed, gf_dueAfter(ac.stream.front().dueTick, d));
    onStand.alt = ac.altitude;
    onStand.track = gf_radToDeg(ac.standHeading);
    onStand.stationary = gf_samePosition(back.lat, back.lon, standPos.lat, standPos.lon) ? 1 : 0;
    onStand.roll = ac.bank;
    onStand.attitudeFlag = ac.stream.front().attitudeFlag;
    PosSample still = onStand;
    still.gs = 0;
    still.airspeed = 0;
    still.stationary = 1;
    still.dueTick = gf_dueAfter(onStand.dueTick, kStandStillAfterTicks);
    back.gs = speed;
    ac.stream.push_back(onStand);
    ac.stream.push_back(still);
    ac.targetHeading = ac.standHeading;
    // The turn rate of the leg is fitted to this turn, not to the one toward the sample the
    // aircraft was heading for: a late, slow turn would park it facing the wrong way.
    ac.headingError = gf_headingErrorDeg(ac.standHeading, ac.heading);
    ac.steerToTarget = ac.headingError > kCurveMinDeg ? 1 : 0;
    if (ac.extension != 0) {
        ac.extension = 0;
        lf_resetClamps(ac);
    }
}

void lf_arriveAtStand(LiveAircraft& ac) {
    if (gf_arrivesAtOccupiedStand(ac)) return;
    if (gf_haversineNm({ac.lat, ac.lon}, {ac.standLat, ac.standLon}) > kArrivalNm) {
        gf_setFlightState(ac, taxi);
        return;
    }
    gf_setFlightState(ac, parked);
    gf_takeStand(ac);
    ac.parkSlot = g_currentSlot;
    if (ac.towed) gf_logLine(fmt::format("          towed aircraft {} parks", gf_acLabel(ac)));
    if (!ac.stream.empty()) ac.stream.front().stationary = 1;
    ac.steadySince = gf_clock100ns();
    ac.lastStandDist = 0;
    ac.movingAwayCount = 0;
    lf_clearCargoMark(ac);
    gf_stopParkedAircraft(ac);
    gf_logDetail(fmt::format("{:8}: {:8} arrived at stand", gf_standNameOfId(ac.standId), ac.callsign));
    gf_queueReplacementCheck(ac.hexid);
    lf_bookArrival(ac);
    if (gf_isLiveAircraft(ac)) gf_maxParkCheck(0);
}
