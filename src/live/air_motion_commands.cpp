// The command gate of the flight model, the park airport as the flight model sees it, and the
// per-second list of the replacement check.
#include "live/air_motion.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "aircraft/type_database.h"
#include "core/errors.h"
#include "feed/feed_state.h"
#include "live/sim_events.h"
#include "live/stand_choice.h"

std::deque<uint32_t> g_perSecondList;

namespace {

ParkAirportPositionFn g_parkPositionSource;

constexpr double lf_rad(double deg) {
    return gf_degToRad(deg);
}

constexpr std::array<AirLimits, kCategoryCount> kAirLimits = {{
    {90, lf_rad(40), lf_rad(0.035), lf_rad(0.01)},      // Light
    {110, lf_rad(35), lf_rad(0.0275), lf_rad(0.0085)},  // Buzjets
    {140, lf_rad(30), lf_rad(0.02), lf_rad(0.0075)},    // Large
    {150, lf_rad(20), lf_rad(0.015), lf_rad(0.005)},    // Heavy
    {220, lf_rad(90), lf_rad(0.1), lf_rad(0.03)},       // HighPerf
    {0, lf_rad(75), lf_rad(0.06), lf_rad(0.03)},        // Rotorcraft
}};

bool lf_is(const AircraftRec& ac, AircraftCategory category) {
    return ac.category == static_cast<int32_t>(category);
}

}  // namespace

const AirLimits& gf_airLimits(int32_t category) {
    if (category < 0 || category >= kCategoryCount) throw std::out_of_range(kMapKeyError);
    return kAirLimits[static_cast<size_t>(category)];
}

bool gf_airCommandAllowed(const AircraftRec& ac, SimClientEvent event) {
    const bool configuration = event == SimClientEvent::GearSet || event == SimClientEvent::SpoilersSet ||
                               event == SimClientEvent::FlapsSet;
    return !(configuration && lf_is(ac, AircraftCategory::Rotorcraft));
}

bool gf_airData401Allowed(const AircraftRec& ac) {
    return !lf_is(ac, AircraftCategory::Light);
}

void gf_airCommand(const AircraftRec& ac, SimClientEvent event, uint32_t data) {
    if (gf_airCommandAllowed(ac, event)) gf_queueClientEvent(ac.objectId, event, data);
}

uint32_t gf_airThrottleStep(const AircraftRec& ac, uint32_t step) {
    return lf_is(ac, AircraftCategory::Rotorcraft) ? 4 : step;
}

void gf_airThrottle(AircraftRec& ac, uint32_t step) {
    gf_setThrottle(ac, gf_airThrottleStep(ac, step));
}

void gf_airData401(const AircraftRec& ac, double spoilersPct, double throttlePct) {
    if (gf_airData401Allowed(ac)) gf_queueData401(ac.objectId, spoilersPct, throttlePct, throttlePct);
}

void gf_setParkAirportPositionSource(ParkAirportPositionFn source) {
    g_parkPositionSource = std::move(source);
}

std::optional<LatLon> gf_parkAirportPosition() {
    if (g_parkPositionSource) return g_parkPositionSource();
    const ParkSite& site = gf_parkSite();
    if (site.code.empty()) return std::nullopt;
    return site.position;
}

bool gf_nearParkAirport(LatLon position) {
    if (!gf_parkAirportSet()) return false;
    const std::optional<LatLon> park = gf_parkAirportPosition();
    return park && gf_haversineNm(position, *park) <= kApproachNearNm;
}

double gf_heightAboveFieldFt(const LiveAircraft& ac, double altitudeFt) {
    const std::optional<double> elevation = gf_parkAirportElevationFt();
    if (!elevation || !gf_nearParkAirport({ac.lat, ac.lon})) return altitudeFt;
    return altitudeFt - *elevation;
}

void gf_queueReplacementCheck(uint32_t hexid) {
    g_perSecondList.push_back(hexid);
}

void gf_resetAirMotion() {
    g_perSecondList.clear();
}

void gf_resetAirMotionProcess() {
    g_perSecondList = {};
    g_parkPositionSource = nullptr;
}
