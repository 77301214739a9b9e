#include "live/aircraft_rec.h"

#include <array>
#include <cctype>
#include <cmath>
#include <limits>
#include <stdexcept>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/errors.h"
#include "core/geo.h"
#include "core/random.h"

namespace {

constexpr std::array<CategoryMotion, 6> kCategoryMotion{{
    {-9, -15, 0.15, 0.5, 5, 250, 250, 100, 200},    // Light
    {-8, -18, 0.1, 0.75, 4.5, 300, 300, 200, 250},  // Buzjets
    {-6, -16.5, 0.07, 0.6, 4, 400, 350, 200, 300},  // Large
    {-5, -12.5, 0.05, 0.5, 3, 450, 450, 250, 400},  // Heavy
    {-6, -20, 0.1, 1.0, 4.5, 150, 150, 100, 200},   // HighPerf
    {-20, -30, 0.2, 0.75, 5, 100, 100, 100, 100},   // Rotorcraft
}};

constexpr std::array<std::string_view, 8> kFlightStateNames{
    "pushing_back", "pushed_back", "taxi", "take_off", "flying", "parking", "parked", "birth"};
constexpr std::array<std::string_view, 5> kLifeStateNames{"buffer", "adding2sim", "active", "liveryrespawn",
                                                          "removingfromsim"};

template <size_t N>
std::string_view lf_nameOf(const std::array<std::string_view, N>& names, uint32_t value) {
    if (value >= N) throw std::out_of_range(kMapKeyError);
    return names[value];
}

bool lf_isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

const CategoryMotion& gf_categoryMotion(int32_t category) {
    if (category < 0 || category >= static_cast<int32_t>(kCategoryMotion.size()))
        throw std::out_of_range(kMapKeyError);
    return kCategoryMotion[static_cast<size_t>(category)];
}

AircraftRec gf_makeAircraftRec(const LiveTrafficRecord& record) {
    AircraftRec rec;
    rec.airline = record.airline;
    rec.type = record.type;
    rec.origin = record.origin;
    rec.destination = record.destination;
    rec.callsign = record.callsign;
    rec.spawnCallsign = record.spawnCallsign;
    rec.coupledCallsign = record.coupledCallsign;
    rec.regcode = record.regcode;
    rec.coupledSearched = record.coupledSearched;
    rec.halfWingSpan = gf_halfWingspan(rec.type);
    rec.category = static_cast<int32_t>(gf_aircraftCategory(rec.type));
    const CategoryMotion& m = gf_categoryMotion(rec.category);
    rec.flareTicks = m.flareTicks;
    rec.touchdownTicks = m.touchdownTicks;
    rec.rotationTicks = m.rotationTicks;
    rec.climbTicks = m.climbTicks;
    rec.rotationPitch = gf_degToRad(gf_randomVariation(m.rotationPitchDeg, 2.5));
    rec.climbPitch = gf_degToRad(gf_randomVariation(m.climbPitchDeg, 5));
    rec.turnRate = gf_degToRad(m.turnRateDeg);
    return rec;
}

void gf_copyAircraftRec(AircraftRec& d, const AircraftRec& s) {
    d.airline = s.airline;
    d.type = s.type;
    d.origin = s.origin;
    d.destination = s.destination;
    d.callsign = s.callsign;
    d.spawnCallsign = s.spawnCallsign;
    d.coupledCallsign = s.coupledCallsign;
    d.regcode = s.regcode;
    d.coupledSearched = s.coupledSearched;
    d.halfWingSpan = s.halfWingSpan;
    d.staticCgHeight = s.staticCgHeight;
    d.staticPitch = s.staticPitch;
    d.rotationPitch = s.rotationPitch;
    d.climbPitch = s.climbPitch;
    d.turnRate = s.turnRate;
    d.currentTurnRate = s.currentTurnRate;
    d.maxClimbStep = s.maxClimbStep;
    d.slowTaxiSpeed = s.slowTaxiSpeed;
    d.hexid = s.hexid;
    d.category = s.category;
    d.liveryTitle = s.liveryTitle;
    d.flareTicks = s.flareTicks;
    d.touchdownTicks = s.touchdownTicks;
    d.rotationTicks = s.rotationTicks;
    d.climbTicks = s.climbTicks;
    d.isCargo = s.isCargo;
    d.touchdownSign = s.touchdownSign;
}

LiveAircraft gf_constructLiveAircraft(const PosSample& firstSample, const AircraftRec& rec,
                                      double timeStamp) {
    LiveAircraft ac;  // every bookkeeping and motion field starts at its construction value
    gf_copyAircraftRec(ac, rec);
    ac.lastSampleTime = timeStamp;
    ac.curve[6] = std::numeric_limits<double>::quiet_NaN();
    ac.curve[7] = std::numeric_limits<double>::quiet_NaN();
    ac.stream.push_back(firstSample);
    return ac;
}

AircraftRec gf_constructStaticAircraft(const AircraftRec& rec, uint32_t standId, double standLat,
                                       double standLon, double standHeading, bool cargoStand) {
    AircraftRec ac;
    gf_copyAircraftRec(ac, rec);
    ac.standLat = standLat;
    ac.standLon = standLon;
    ac.standHeading = standHeading;
    ac.standId = standId;
    ac.cargoStand = cargoStand ? 1 : 0;
    return ac;
}

std::string_view gf_flightStateName(uint32_t state) {
    return lf_nameOf(kFlightStateNames, state);
}
std::string_view gf_lifeStateName(uint32_t state) {
    return lf_nameOf(kLifeStateNames, state);
}

std::string gf_routeText(const AircraftRec& rec) {
    if (rec.origin.empty() && rec.destination.empty()) return std::string(8, ' ');
    return fmt::format("{:3}->{:3}", rec.origin, rec.destination);
}

std::string gf_callsignText(const AircraftRec& rec) {
    return fmt::format("{:8}", rec.callsign);
}

std::string gf_describeAc(const AircraftRec& rec) {
    return fmt::format("{} {:8} {}", gf_routeText(rec), gf_callsignText(rec), rec.regcode);
}

std::string gf_acLabel(const AircraftRec& rec) {
    return fmt::format("{} {}", gf_describeAc(rec), gf_airlineTypeId(rec));
}

std::string gf_acShortLabel(const AircraftRec& rec) {
    return fmt::format("{} {} {}", gf_callsignText(rec), rec.regcode, gf_airlineTypeId(rec));
}

std::string gf_acIdWithReg(const AircraftRec& rec) {
    return fmt::format("{} {}", gf_airlineTypeId(rec), rec.regcode);
}

bool gf_hasRealCallsign(std::string_view callsign) {
    return !callsign.empty() && callsign != "@@@@@@@@" && callsign.size() < 9;
}

std::optional<std::string> gf_airlineOfCallsign(std::string_view text) {
    if (text.size() < 4) return std::nullopt;
    if (!lf_isAsciiLetter(text[0]) || !lf_isAsciiLetter(text[1]) || !lf_isAsciiLetter(text[2]))
        return std::nullopt;
    if (text[3] < '0' || text[3] > '9') return std::nullopt;
    std::string airline(text.substr(0, 3));
    for (char& c : airline) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return airline;
}

bool gf_airlineFromCallsign(AircraftRec& rec) {
    auto airline = gf_airlineOfCallsign(rec.callsign);
    if (!airline) return false;
    rec.airline = std::move(*airline);
    return true;
}

void gf_setFlightState(LiveAircraft& ac, uint32_t state) {
    if (state != ac.flightState)
        gf_logDetail(fmt::format("{} {:8} {} -> {}", gf_logStamp(), ac.callsign, gf_flightStateName(ac.flightState),
                                 gf_flightStateName(state)));
    ac.previousFlightState = ac.flightState;
    ac.flightState = state;
}
