#include "support/flight_lab_air.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <sstream>

#include <fmt/format.h>

#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "core/geo.h"
#include "feed/feed_state.h"
#include "live/air_motion.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/sim_events.h"
#include "live/stand_choice.h"
#include "platform/sim_standin.h"
#include "support/airport_builders.h"

namespace {

constexpr int32_t kLandingBudgetTicks = 60 * kTicksPerSecond;
constexpr double kSlowestSinkFtPerTick = 600.0 / 6000;
constexpr double kClimbPitchVariation = 1.05;
constexpr double kRotationPitchVariation = 1.025;
constexpr double kPitchSlackRad = 1e-9;
// The pitch rule: 3 degrees nose up and 2.2 more per 600 ft/min, climbs counted up to 2400.
constexpr double kSteepestClimbDeg = -3 - 2400.0 / 600 * 2.2;

int32_t lf_diff(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// What the landing check remembers of one aircraft: the last sample it has looked at, the
// airborne sample a landing is owed from, and how the aircraft came down.
struct LandingMemory {
    bool any = false;
    int32_t lastDue = 0;
    bool lastAirborne = false;
    bool owed = false;
    int32_t owedSince = 0;
    bool approach = false;
    std::optional<double> heightAtDue;
};

// Below 1000 ft without an approach the flight model never sinks, so a landing away from the park
// airport starts its touchdown leg from up there: its minute begins once it has sunk the height it
// had at the due tick at the slowest touchdown rate.
int32_t lf_landingBudget(const LandingMemory& m) {
    if (m.approach || !m.heightAtDue) return kLandingBudgetTicks;
    return kLandingBudgetTicks +
           static_cast<int32_t>(std::ceil(std::max(*m.heightAtDue, 0.0) / kSlowestSinkFtPerTick));
}

std::optional<std::string> lf_landing(std::map<uint32_t, LandingMemory>& memory, const LiveAircraft& ac) {
    LandingMemory& m = memory[ac.hexid];
    // Samples are looked at once, as they arrive: due ticks in a stream strictly increase, and a
    // sample still behind the next one carries the due tick the intake gave it.
    for (const PosSample& s : ac.stream) {
        if (m.any && lf_diff(s.dueTick, m.lastDue) <= 0) continue;
        if (m.any && m.lastAirborne && !s.airborne && !m.owed) {
            m.owed = true;
            m.owedSince = m.lastDue;
            m.approach = false;
            m.heightAtDue.reset();
        }
        if (s.airborne) m.owed = false;  // the feed climbs again: a go-around or a low pass
        m.any = true;
        m.lastDue = s.dueTick;
        m.lastAirborne = s.airborne != 0;
    }
    if (ac.lifeState != active || ac.onGround) {
        m.owed = m.owed && !ac.onGround;
        return std::nullopt;
    }
    if (!m.owed) return std::nullopt;
    m.approach = m.approach || ac.approachFlag || ac.flareStage > 0;
    const int32_t late = lf_diff(static_cast<int32_t>(gf_tickNow()), m.owedSince);
    if (late >= 0 && !m.heightAtDue)
        m.heightAtDue = ac.altitude - ac.staticCgHeight - gf_standinGroundFt(ac.lat, ac.lon);
    if (late <= lf_landingBudget(m)) return std::nullopt;
    return fmt::format(
        "still in the air {:.2f} s after the last airborne sample was due: altitude {:.1f}, agl "
        "{:.1f}, flare stage {}, approach {}",
        late / 100.0, ac.altitude, ac.agl, ac.flareStage, ac.approachFlag);
}

std::optional<std::string> lf_terrain(const LiveAircraft& ac) {
    if (ac.lifeState != active) return std::nullopt;
    const double ground = gf_standinGroundFt(ac.lat, ac.lon);
    if (ac.altitude >= ground - kLabGroundSlackFt) return std::nullopt;
    return fmt::format(
        "altitude {:.2f} below the ground at {:.2f} (centre of gravity {:.1f} ft, on ground {}, "
        "dAltitude {:.3f}, {})",
        ac.altitude, ground, ac.staticCgHeight, ac.onGround, ac.dAltitude,
        gf_flightStateName(ac.flightState));
}

// Free flight: the per-sample pitch rule alone moves the pitch.
bool lf_freeFlight(const LiveAircraft& ac) {
    return ac.flightState == flying && ac.flareStage == 0 && !ac.touchdownRunning && !ac.onGround;
}

struct PitchMemory {
    double pitch = 0;
    bool free = false;
};

std::optional<std::string> lf_pitch(std::map<uint32_t, PitchMemory>& memory, const LiveAircraft& ac) {
    if (ac.lifeState != active) {
        memory.erase(ac.hexid);
        return std::nullopt;
    }
    const double limit = lab_noseUpLimitRad(ac.category);
    if (ac.pitch < limit - kPitchSlackRad)
        return fmt::format("pitch {:.3f} deg beyond the category's {:.3f} deg", gf_radToDeg(ac.pitch),
                           gf_radToDeg(limit));
    if (ac.flareStage > 0 && !ac.touchdownRunning && ac.pitch < kFlarePitchRad - kPitchSlackRad)
        return fmt::format("flare pitch {:.3f} deg beyond 4 deg nose up", gf_radToDeg(ac.pitch));
    const bool free = lf_freeFlight(ac);
    const auto it = memory.find(ac.hexid);
    const bool wasFree = it != memory.end() && it->second.free;
    const double before = it != memory.end() ? it->second.pitch : ac.pitch;
    memory[ac.hexid] = {ac.pitch, free};
    if (!free || !wasFree) return std::nullopt;
    const double noseUp = before - ac.pitch;
    const double step = gf_airLimits(ac.category).maxPitchStep;
    if (noseUp > step + kPitchSlackRad)
        return fmt::format("pitch {:.4f} deg nose up in one tick, more than the category's {:.4f}",
                           gf_radToDeg(noseUp), gf_radToDeg(step));
    if (noseUp > kPitchSlackRad && ac.pitch < lab_steepestClimbTargetRad() - kPitchSlackRad)
        return fmt::format("pitch {:.3f} deg still going nose up beyond the steepest climb attitude",
                           gf_radToDeg(ac.pitch));
    return std::nullopt;
}

// What the rate checks remember of an aircraft from the tick before.
struct RateMemory {
    double lat = 0, lon = 0, altitude = 0;
    bool measured = false;  // in the air, flown by the flight model (not placed by the simulator)
    double fastestKt = 0;   // the fastest report of the samples it flew toward lately
};

// Flown by the flight model: active, in the air and not rotating (while the take-off counter
// runs the simulator's height sets the altitude).
bool lf_flownInAir(const LiveAircraft& ac) {
    return ac.lifeState == active && !ac.onGround && ac.takeOffCounter <= 1;
}

std::optional<std::string> lf_rates(std::map<uint32_t, RateMemory>& memory, const LiveAircraft& ac) {
    if (ac.lifeState != active || ac.stream.empty()) {
        memory.erase(ac.hexid);
        return std::nullopt;
    }
    double fastest = 0;
    for (const PosSample& s : ac.stream) fastest = std::max(fastest, s.gs);
    const auto it = memory.find(ac.hexid);
    RateMemory now{ac.lat, ac.lon, ac.altitude, lf_flownInAir(ac), fastest};
    if (it == memory.end()) {
        memory[ac.hexid] = now;
        return std::nullopt;
    }
    const RateMemory before = it->second;
    it->second = now;
    const double limitFt = ac.maxClimbStep + kLabRateSlackFt;
    if (before.measured && now.measured && std::fabs(ac.altitude - before.altitude) > limitFt)
        return fmt::format("altitude {:.2f} ft in one tick (from {:.1f} to {:.1f}), more than the category's {:.2f}",
                           ac.altitude - before.altitude, before.altitude, ac.altitude, ac.maxClimbStep);
    // Near a pole a leg flown in latitude and longitude is no great circle (as for the per-tick step).
    if (std::fabs(ac.lat) > 89) return std::nullopt;
    const double kt = gf_haversineNm({before.lat, before.lon}, {ac.lat, ac.lon}) * kTicksPerSecond * 3600;
    // The sample left behind in this tick still counts for it.
    const double reported = std::max(before.fastestKt, fastest);
    if (kt > kLabStepSpeedFactor * reported + kLabStepSpeedSlackKt)
        return fmt::format("moved at {:.0f} kt in one tick, reports say at most {:.0f} kt ({}, {} samples)", kt,
                           reported, gf_flightStateName(ac.flightState), ac.stream.size());
    return std::nullopt;
}

}  // namespace

double lab_noseUpLimitRad(int32_t category) {
    const CategoryMotion& m = gf_categoryMotion(category);
    const double climbDeg = m.climbPitchDeg * kClimbPitchVariation;
    // The climb ramp adds its step while the pitch is short of the climb pitch, so it ends up to
    // one step beyond it: the step is largest between a rotation pitch varied least nose-up and
    // a climb pitch varied most.
    const double rampStepDeg =
        std::fabs(climbDeg - m.rotationPitchDeg * (2 - kRotationPitchVariation)) / std::max(m.climbTicks, 1);
    return gf_degToRad(std::min({climbDeg - rampStepDeg, m.rotationPitchDeg * kRotationPitchVariation,
                                 kSteepestClimbDeg, gf_radToDeg(kFlarePitchRad)}));
}

double lab_steepestClimbTargetRad() {
    return gf_degToRad(kSteepestClimbDeg);
}

std::vector<LabInvariant> lab_airInvariants() {
    auto landings = std::make_shared<std::map<uint32_t, LandingMemory>>();
    auto pitches = std::make_shared<std::map<uint32_t, PitchMemory>>();
    auto rates = std::make_shared<std::map<uint32_t, RateMemory>>();
    return {
        {"landing", [landings](const auto&, const LiveAircraft& ac) { return lf_landing(*landings, ac); }},
        {"terrain", [](const auto&, const LiveAircraft& ac) { return lf_terrain(ac); }},
        {"nose-up pitch", [pitches](const auto&, const LiveAircraft& ac) { return lf_pitch(*pitches, ac); }},
        {"rates", [rates](const auto&, const LiveAircraft& ac) { return lf_rates(*rates, ac); }},
    };
}

LabInvariant lab_airRecorder(uint32_t hexid, std::vector<LabAirTick>& trace) {
    return {"recorder", [hexid, &trace](const auto&, const LiveAircraft& ac) -> std::optional<std::string> {
                if (ac.hexid != hexid || ac.lifeState != active || ac.stream.empty()) return std::nullopt;
                const PosSample& f = ac.stream.front();
                trace.push_back({static_cast<int32_t>(gf_tickNow()),
                                 ac.flightState,
                                 ac.flareStage,
                                 ac.objectId,
                                 ac.takeOffCounter,
                                 f.dueTick,
                                 ac.climbPitch,
                                 ac.altitude,
                                 ac.agl,
                                 ac.aglEstimate,
                                 ac.dAltitude,
                                 ac.nextVrate,
                                 ac.pitch,
                                 ac.bank,
                                 ac.heading,
                                 ac.touchdownHeading,
                                 ac.staticCgHeight,
                                 ac.staticPitch,
                                 f.vrate,
                                 f.gs,
                                 f.airborne != 0,
                                 g_fastObjectScan,
                                 ac.onGround != 0,
                                 ac.approachFlag != 0,
                                 ac.landingRoll != 0,
                                 ac.takeOffRoll != 0,
                                 ac.touchdownRunning != 0,
                                 ac.landed != 0,
                                 ac.climbConfigured != 0});
                if (const auto object = gf_standinObject(ac.objectId))
                    trace.back().gearDown = object->gear != 0;
                return std::nullopt;
            }};
}

void lab_groundSpeed(Truth& t, double kt, double ktPerSec, double stepSec) {
    while (std::fabs(t.back().gsKt - kt) > 1e-9) {
        lab_straight(t, stepSec, stepSec, 0);
        TruthPoint& q = t.back();
        const double change = ktPerSec * stepSec;
        q.gsKt = q.gsKt < kt ? std::min(kt, q.gsKt + change) : std::max(kt, q.gsKt - change);
        q.onGround = true;
    }
}

void lab_takeOff(Truth& t, double liftOffKt, double climbFpm, double climbSec, double ktPerSec,
                 double stepSec) {
    lab_groundSpeed(t, liftOffKt, ktPerSec, stepSec);
    const double end = t.back().t + climbSec;
    while (t.back().t + stepSec <= end + 1e-9) {
        lab_straight(t, stepSec, stepSec, climbFpm);
        t.back().onGround = false;
    }
}

void lab_turnOff(Truth& t, double degrees, double degPerSec, double stepSec) {
    lab_turn(t, degrees, degPerSec, stepSec);
}

void lab_setParkAirport(const std::string& icao, double lat, double lon, double elevationFt) {
    gf_resetAirports();
    tst_installAirportsXml(fmt::format(R"(<airports><airport code="{}" lat="{}" lon="{}" alt="{}"/></airports>)",
                                       icao, lat, lon, elevationFt));
    gf_readAirports();
    tst_writeFile(kMyParkAirportsFile, icao);
    lf_readMyParkAirports();
    lf_setParkAirport(g_parkAirports.front().code);
    // The parking file would give the elevation; the lab has none.
    gf_setParkAirportElevation(elevationFt);
}

std::vector<std::string> lab_commandsOf(uint32_t objectId) {
    const std::string prefix = fmt::format("{} ", objectId);
    std::vector<std::string> mine;
    for (const std::string& line : gf_standinJournal())
        if (line.rfind(prefix, 0) == 0) mine.push_back(line.substr(prefix.size()));
    return mine;
}

int lab_countOf(const std::vector<std::string>& commands, const std::string& prefix) {
    return static_cast<int>(std::count_if(commands.begin(), commands.end(),
                                          [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

std::vector<std::string> lab_stateChanges(const std::string& log, const std::string& callsign) {
    std::vector<std::string> changes;
    std::istringstream in(log);
    std::string line;
    const std::string mark = fmt::format(" {:8} ", callsign);
    while (std::getline(in, line)) {
        const size_t at = line.find(mark);
        if (at == std::string::npos || line.find(" -> ") == std::string::npos) continue;
        changes.push_back(line.substr(at + mark.size()));
    }
    return changes;
}
