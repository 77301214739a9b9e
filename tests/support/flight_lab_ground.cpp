#include "support/flight_lab_ground.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "airports/stand.h"
#include "core/geo.h"
#include "core/params.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion.h"
#include "live/ground_motion_legs.h"
#include "live/live_set.h"
#include "live/stand_choice.h"

namespace {

// A parked aircraft is this close to its stand (the arrival distance) and faces the stand's
// heading within the steering dead band and one tick's turn.
constexpr double kOnStandM = 2;
constexpr double kDeadBandDeg = 0.5;
constexpr double kTicksPerHour = 360000;
// A turn of up to 45 degrees fitted into a short leg: the rate comes out as the angle in degrees
// over 100 x the leg's ticks (at least 25), read as radians, so at most 45 / 2500 per tick.
constexpr double kFittedRateMaxRad = 45.0 / 2500;

bool lab_gone(const LiveAircraft& ac) {
    return ac.lifeState == removingfromsim || ac.eraseFlag || ac.withdrawn;
}

bool lab_isGroundState(uint32_t s) {
    return s == taxi || s == parking || s == parked || s == pushing_back || s == pushed_back;
}

double lab_metres(LatLon a, LatLon b) {
    return gf_nmToMeters(gf_haversineNm(a, b));
}

// By stand id with the occupied mark: a parked aircraft's stand is not marked for another, and no
// other parked aircraft holds it. By position: no other active parked aircraft stands within the
// stand's radius.
std::optional<std::string> lab_oneOnStand(const std::optional<LabSnapshot>&, const LiveAircraft& ac) {
    if (ac.standId == 0 || ac.flightState != parked || lab_gone(ac)) return std::nullopt;
    const Stand* stand = gf_standById(ac.standId);
    if (stand == nullptr) return fmt::format("parked on stand id {} that no stand has", ac.standId);
    if (stand->occupied && stand->occupantHexid != ac.hexid)
        return fmt::format("parked on {} marked occupied by {:06x}", stand->name, stand->occupantHexid);
    for (const LiveAircraft& other : g_liveRecords) {
        if (other.hexid == ac.hexid || lab_gone(other) || other.flightState != parked) continue;
        if (other.standId == ac.standId)
            return fmt::format("{} also held by parked {}", stand->name, other.callsign);
        if (ac.lifeState == active && other.lifeState == active &&
            gf_haversineNm({other.lat, other.lon}, stand->position()) <= stand->radius)
            return fmt::format("{} parked within the radius of {}", other.callsign, stand->name);
    }
    return std::nullopt;
}

// A parked aircraft stays where it parked: on its stand, facing the stand's heading.
std::optional<std::string> lab_staysOnStand(const std::optional<LabSnapshot>&, const LiveAircraft& ac) {
    if (ac.standId == 0 || ac.flightState != parked || ac.lifeState != active || lab_gone(ac))
        return std::nullopt;
    const Stand* stand = gf_standById(ac.standId);
    if (stand == nullptr) return std::nullopt;  // reported by the stand-once invariant
    const double off = lab_metres({ac.lat, ac.lon}, stand->position());
    if (off > kOnStandM) return fmt::format("parked {:.2f} m from {}", off, stand->name);
    const double turn = gf_headingErrorDeg(stand->heading, ac.heading);
    if (turn > kDeadBandDeg + gf_radToDeg(ac.turnRate) + 1e-9)
        return fmt::format("parked on {} facing {:.2f} deg, the stand {:.2f}", stand->name,
                           gf_radToDeg(ac.heading), gf_radToDeg(stand->heading));
    return std::nullopt;
}

// An occupied mark belongs to the live aircraft that set it, standing on that stand: parked or
// on its way out backwards.
std::optional<std::string> lab_markHasHolder() {
    for (const Stand& stand : g_stands) {
        if (!stand.occupied) continue;
        const LiveAircraft* holder = gf_findLiveByHexid(stand.occupantHexid);
        if (holder == nullptr)
            return fmt::format("{} marked occupied by {:06x}, which is not live", stand.name,
                               stand.occupantHexid);
        const bool onStand = holder->flightState == parked || holder->flightState == pushing_back ||
                             holder->flightState == pushed_back;
        if (holder->standId != stand.standId || lab_gone(*holder) || !onStand)
            return fmt::format("{} marked occupied by {} ({} {}, stand id {})", stand.name, holder->callsign,
                               gf_lifeStateName(holder->lifeState), gf_flightStateName(holder->flightState),
                               holder->standId);
    }
    return std::nullopt;
}

TruthPoint lab_groundPoint(double t, LatLon p, double gsKt, double trackDeg) {
    return {t, p.lat, p.lon, kLabFieldFt, gsKt, trackDeg, 0, true};
}

}  // namespace

std::vector<LabInvariant> lab_groundInvariants() {
    return {{"one aircraft per stand", lab_oneOnStand}, {"parked stays on its stand", lab_staysOnStand}};
}

std::vector<LabWorldInvariant> lab_groundWorldInvariants() {
    return {{"occupied mark has its holder", lab_markHasHolder}};
}

LabInvariant lab_groundSmoothness(double maxTurnFactor, double maxKt) {
    return {"smooth on the ground",
            [=](const std::optional<LabSnapshot>& b, const LiveAircraft& ac) -> std::optional<std::string> {
                if (!b || b->lifeState != active || ac.lifeState != active || !ac.onGround)
                    return std::nullopt;
                if (!lab_isGroundState(b->flightState) || !lab_isGroundState(ac.flightState))
                    return std::nullopt;
                const double turn = gf_headingErrorDeg(ac.heading, b->heading);
                const double limit =
                    std::max(maxTurnFactor * gf_radToDeg(ac.turnRate), gf_radToDeg(kFittedRateMaxRad)) + 1e-9;
                if (turn > limit)
                    return fmt::format("heading turned {:.3f} deg in one tick (limit {:.3f}), {} -> {}", turn,
                                       limit, gf_flightStateName(b->flightState),
                                       gf_flightStateName(ac.flightState));
                const double step = gf_haversineNm({b->lat, b->lon}, {ac.lat, ac.lon});
                if (step > maxKt / kTicksPerHour)
                    return fmt::format("moved {:.3f} m in one tick", gf_nmToMeters(step));
                return std::nullopt;
            }};
}

Truth lab_groundStart(double northM, double eastM, double trackDeg) {
    return {lab_groundPoint(0, tst_offsetM(northM, eastM), 0, trackDeg)};
}

void lab_taxiTo(Truth& t, double northM, double eastM, double gsKt, double stepSec) {
    const LatLon to = tst_offsetM(northM, eastM);
    t.back().trackDeg = std::fmod(gf_radToDeg(gf_bearingRad({t.back().lat, t.back().lon}, to)) + 360.0, 360.0);
    t.back().gsKt = gsKt;
    const TruthPoint start = t.back();
    const double totalM = lab_metres({start.lat, start.lon}, to);
    const int steps = std::max(1, static_cast<int>(std::ceil(totalM / gf_nmToMeters(gsKt * stepSec / 3600))));
    for (int i = 1; i <= steps; ++i) {
        const double f = static_cast<double>(i) / steps;
        const LatLon p{start.lat + (to.lat - start.lat) * f, start.lon + (to.lon - start.lon) * f};
        t.push_back(lab_groundPoint(t.back().t + stepSec, p, gsKt, t.back().trackDeg));
    }
}

void lab_pushback(Truth& t, double metres, double gsKt, double swingDeg) {
    const TruthPoint start = t.back();
    const int steps = std::max(1, static_cast<int>(std::ceil(metres / gf_nmToMeters(gsKt * 2 / 3600))));
    for (int i = 1; i <= steps; ++i) {
        const LatLon p = gf_destinationPoint({start.lat, start.lon}, gf_degToRad(start.trackDeg + 180),
                                             gf_nmToFeet(gf_metersToNm(metres * i / steps)));
        t.push_back(lab_groundPoint(t.back().t + 2, p, gsKt, start.trackDeg + swingDeg * i / steps));
    }
    t.back().gsKt = 0;
}

void FlightLabGround::SetUp() {
    FlightLab::SetUp();
    LOG.set(true);
    g_staticParkingOn = true;
    invariants.push_back({"probe", [this](const std::optional<LabSnapshot>&, const LiveAircraft& ac) {
                              if (ac.lifeState != active) return std::optional<std::string>();
                              auto& st = states_[ac.hexid];
                              if (st.empty() || st.back() != ac.flightState) st.push_back(ac.flightState);
                              return std::optional<std::string>();
                          }});
}

void FlightLabGround::setSite(int64_t wantedParked) {
    gf_setParkSite({kLabParkCode, kStandOrigin, "", true, wantedParked});
}

void FlightLabGround::startGround() {
    startWorld(kStandOrigin.lat, kStandOrigin.lon, {{kLabParkCode, kStandOrigin.lat, kStandOrigin.lon, kLabFieldFt}});
}

void FlightLabGround::addGround(uint32_t hexid, const std::string& callsign, const Truth& t,
                                const std::string& type) {
    addStream(hexid, callsign, "DLH", type, t);
}

std::vector<std::string> FlightLabGround::eventsOf(uint32_t hexid, const std::string& event) {
    const LiveAircraft* ac = live(hexid);
    if (ac == nullptr || ac->objectId == 0) return {};
    return journalLines(fmt::format("{} {}", ac->objectId, event));
}
