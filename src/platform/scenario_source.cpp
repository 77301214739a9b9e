#include "platform/scenario_source.h"

#include <algorithm>

ScenarioSource::ScenarioSource(std::shared_ptr<const Scenario> scenario) : scenario_(std::move(scenario)) {}

void ScenarioSource::reportsAt(double runSeconds, const TrafficArea& area, std::vector<TrafficReport>& out) {
    for (const ScenarioTrack& track : scenario_->tracks) {
        if (track.rows.empty() || runSeconds > track.rows.back().t) continue;
        // Rows are in strictly increasing time order (the parser drops the others).
        auto after = std::upper_bound(track.rows.begin(), track.rows.end(), runSeconds,
                                      [](double t, const ScenarioRow& row) { return t < row.t; });
        if (after == track.rows.begin()) continue;
        const ScenarioRow& row = *std::prev(after);
        if (runSeconds - row.t > kStaleReportSeconds) continue;
        if (gf_haversineNm(area.center, {row.lat, row.lon}) > area.radiusNm) continue;
        // The service reports an aircraft on the ground at altitude 0, whatever the file says.
        const double altFt = row.airborne ? row.altFt : 0.0;
        out.push_back({track.hexid, track.airline, track.type, track.origin, track.destination,
                       track.callsign, track.registration, row.t, row.lat, row.lon, altFt, row.gsKt,
                       row.trackDeg, row.vrateFpm, row.airspeedKt, row.airborne, row.rollDeg,
                       row.trueHeadingDeg});
    }
}

namespace {
// The parked traffic of an airport: what stands on its stands and aprons.
constexpr double kParkedAroundNm = 5;

const ScenarioAirport* lf_parkAirport(const Scenario& s) {
    for (const ScenarioAirport& a : s.airports)
        if (!s.parkAirport.empty() && a.icao == s.parkAirport) return &a;
    return nullptr;
}
}  // namespace

bool ScenarioSource::parkedTraffic(std::vector<ParkedTrafficRecord>& out) {
    const ScenarioAirport* airport = lf_parkAirport(*scenario_);
    for (const ScenarioParked& p : scenario_->parked) {
        if (airport && gf_haversineNm({airport->lat, airport->lon}, {p.lat, p.lon}) > kParkedAroundNm) continue;
        out.push_back(
            {p.airline, p.type, p.callsign, p.registration, p.lat, p.lon, p.hexid, p.halfHoursAgo, p.info});
    }
    return true;
}
