#include "support/flight_lab.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include <fmt/format.h>

#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "feed/feed_state.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/sim_events.h"
#include "static/park_watch.h"
#include "support/airport_builders.h"

namespace {

// The landing check's memory: the last sample seen, the airborne one a landing is owed from.
struct LandingMemory {
    bool any = false, lastAirborne = false, owed = false, approach = false;
    int32_t lastDue = 0, owedSince = 0;
    std::optional<double> heightAtDue;
};

std::optional<std::string> lf_landing(LandingMemory& m, const LiveAircraft& ac) {
    // Due ticks in a stream strictly increase: each sample is looked at once, as it arrives.
    for (const PosSample& s : ac.stream) {
        if (m.any && lab_diff(s.dueTick, m.lastDue) <= 0) continue;
        if (m.any && m.lastAirborne && !s.airborne && !m.owed) {
            m = {true, false, true, false, m.lastDue, m.lastDue, std::nullopt};
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
    const int32_t late = lab_diff(static_cast<int32_t>(gf_tickNow()), m.owedSince);
    if (late >= 0 && !m.heightAtDue)
        m.heightAtDue = ac.altitude - ac.staticCgHeight - gf_standinGroundFt(ac.lat, ac.lon);
    // 60 s; below 1000 ft without an approach the flight model never sinks before the touchdown
    // leg, so add the height at the slowest sink, 600 ft/min.
    int32_t budget = 60 * kTicksPerSecond;
    if (!m.approach && m.heightAtDue)
        budget += static_cast<int32_t>(std::ceil(std::max(*m.heightAtDue, 0.0) / (600.0 / 6000)));
    if (late <= budget) return std::nullopt;
    return fmt::format(
        "still in the air {:.2f} s after the last airborne sample was due: altitude {:.1f}, "
        "agl {:.1f}, flare stage {}, approach {}",
        late / 100.0, ac.altitude, ac.agl, ac.flareStage, ac.approachFlag);
}

std::optional<std::string> lf_terrain(const LiveAircraft& ac) {
    if (ac.lifeState != active) return std::nullopt;
    const double ground = gf_standinGroundFt(ac.lat, ac.lon);
    if (ac.altitude >= ground - 0.01) return std::nullopt;
    return fmt::format("altitude {:.2f} below the ground at {:.2f} (on ground {}, dAltitude {:.3f}, {})",
                       ac.altitude, ground, ac.onGround, ac.dAltitude, gf_flightStateName(ac.flightState));
}

struct RateMemory {
    double lat = 0, lon = 0, altitude = 0;
    bool measured = false;  // in the air, flown by the flight model (not rotating)
    double fastestKt = 0;   // the fastest report of the samples it flew toward
};

std::optional<std::string> lf_rates(std::map<uint32_t, RateMemory>& memory, const LiveAircraft& ac) {
    if (ac.lifeState != active || ac.stream.empty()) {
        memory.erase(ac.hexid);
        return std::nullopt;
    }
    double fastest = 0;
    for (const PosSample& s : ac.stream) fastest = std::max(fastest, s.gs);
    const RateMemory now{ac.lat, ac.lon, ac.altitude, !ac.onGround && ac.takeOffCounter <= 1, fastest};
    const auto it = memory.find(ac.hexid);
    if (it == memory.end()) {
        memory[ac.hexid] = now;
        return std::nullopt;
    }
    const RateMemory before = std::exchange(it->second, now);
    if (before.measured && now.measured && std::fabs(ac.altitude - before.altitude) > ac.maxClimbStep + 1e-6)
        return fmt::format("altitude {:.2f} ft in one tick (from {:.1f}), more than {:.2f}",
                           ac.altitude - before.altitude, before.altitude, ac.maxClimbStep);
    // Near a pole a leg flown in latitude and longitude is no great circle.
    if (std::fabs(ac.lat) > 89) return std::nullopt;
    const double kt = gf_haversineNm({before.lat, before.lon}, {ac.lat, ac.lon}) * kTicksPerSecond * 3600;
    const double reported = std::max(before.fastestKt, fastest);
    if (kt > 3 * reported + 100)
        return fmt::format("moved at {:.0f} kt in one tick, reports say at most {:.0f} kt ({})", kt, reported,
                           gf_flightStateName(ac.flightState));
    return std::nullopt;
}

// In the air over a feed that has it on the ground (every sample), the aircraft never climbs:
// ground rows make no go-around. A take-off climbs from the ground rows it leaves.
std::optional<std::string> lf_groundFeed(std::map<uint32_t, double>& lastAltitude, const LiveAircraft& ac) {
    const bool grounded =
        ac.lifeState == active && !ac.onGround && ac.flightState != take_off && ac.takeOffCounter <= 1 &&
        !ac.stream.empty() &&
        std::none_of(ac.stream.begin(), ac.stream.end(), [](const PosSample& s) { return s.airborne; });
    if (!grounded) {
        lastAltitude.erase(ac.hexid);
        return std::nullopt;
    }
    const auto [it, first] = lastAltitude.try_emplace(ac.hexid, ac.altitude);
    const double before = std::exchange(it->second, ac.altitude);
    if (first || ac.altitude <= before + 1e-9) return std::nullopt;
    return fmt::format("climbs {:.3f} ft in one tick to {:.1f} while the feed is on the ground",
                       ac.altitude - before, ac.altitude);
}

}  // namespace

std::vector<LabInvariant> lab_airInvariants() {
    auto landings = std::make_shared<std::map<uint32_t, LandingMemory>>();
    auto rates = std::make_shared<std::map<uint32_t, RateMemory>>();
    auto grounded = std::make_shared<std::map<uint32_t, double>>();
    return {
        {"landing",
         [landings](const auto&, const LiveAircraft& ac) { return lf_landing((*landings)[ac.hexid], ac); }},
        {"terrain", [](const auto&, const LiveAircraft& ac) { return lf_terrain(ac); }},
        {"rates", [rates](const auto&, const LiveAircraft& ac) { return lf_rates(*rates, ac); }},
        {"ground feed",
         [grounded](const auto&, const LiveAircraft& ac) { return lf_groundFeed(*grounded, ac); }},
    };
}

LabInvariant lab_airRecorder(uint32_t hexid, std::vector<LabAirTick>& trace) {
    return {"recorder", [hexid, &trace](const auto&, const LiveAircraft& ac) -> std::optional<std::string> {
                if (ac.hexid != hexid || ac.lifeState != active || ac.stream.empty()) return std::nullopt;
                trace.push_back({static_cast<int32_t>(gf_tickNow()), ac, ac.stream.front(), g_fastObjectScan});
                trace.back().ac.stream.clear();
                return std::nullopt;
            }};
}

void lab_setParkAirport(const std::string& icao, double lat, double lon, double elevationFt) {
    gf_resetAirports();
    tst_installAirportsXml(
        fmt::format(R"(<airports><airport code="{}" lat="{}" lon="{}" alt="{}"/></airports>)", icao, lat, lon,
                    elevationFt));
    gf_readAirports();
    tst_writeFile(kMyParkAirportsFile, icao);
    lf_readMyParkAirports();
    lf_setParkAirport(g_parkAirports.front().code);
    // The parking file would give the elevation; the lab has none.
    gf_setParkAirportElevation(elevationFt);
}

std::vector<std::string> lab_commandsOf(uint32_t objectId) {
    std::vector<std::string> mine = TickHarness::journalLines(fmt::format("{} ", objectId));
    for (std::string& line : mine) line.erase(0, line.find(' ') + 1);
    return mine;
}
