#include "support/flight_lab_ground.h"

#include <fmt/format.h>

#include "airports/stand.h"
#include "core/geo.h"
#include "live/aircraft_rec.h"
#include "live/ground_motion_legs.h"
#include "live/live_set.h"

namespace {

// A parked aircraft is this close to its stand (the arrival distance) and faces the stand's
// heading within the steering dead band and one tick's turn.
constexpr double kOnStandM = 2;
constexpr double kDeadBandDeg = 0.5;

bool lab_gone(const LiveAircraft& ac) {
    return ac.lifeState == removingfromsim || ac.eraseFlag || ac.withdrawn;
}

// A parked aircraft's stand is not marked for another and no other parked aircraft holds it or
// stands within its radius.
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
    if (stand == nullptr) return std::nullopt;  // reported by the one-per-stand invariant
    const double off = gf_nmToMeters(gf_haversineNm({ac.lat, ac.lon}, stand->position()));
    if (off > kOnStandM) return fmt::format("parked {:.2f} m from {}", off, stand->name);
    const double turn = gf_headingErrorDeg(stand->heading, ac.heading);
    if (turn > kDeadBandDeg + gf_radToDeg(ac.turnRate) + 1e-9)
        return fmt::format("parked on {} facing {:.2f} deg, the stand {:.2f}", stand->name,
                           gf_radToDeg(ac.heading), gf_radToDeg(stand->heading));
    return std::nullopt;
}

// An occupied mark belongs to the live aircraft that set it, parked or pushing back on that stand.
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

}  // namespace

std::vector<LabInvariant> lab_groundInvariants() {
    return {{"one aircraft per stand", lab_oneOnStand}, {"parked stays on its stand", lab_staysOnStand}};
}

std::vector<LabWorldInvariant> lab_groundWorldInvariants() {
    return {{"occupied mark has its holder", lab_markHasHolder}};
}
