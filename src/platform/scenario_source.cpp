#include "platform/scenario_source.h"

#include <algorithm>

ScenarioSource::ScenarioSource(std::shared_ptr<const Scenario> scenario) : scenario_(std::move(scenario)) {}

void ScenarioSource::reportsAt(double runSeconds, std::vector<TrafficReport>& out) {
    for (const ScenarioTrack& track : scenario_->tracks) {
        if (track.rows.empty() || runSeconds > track.rows.back().t) continue;
        // Rows are in strictly increasing time order (the parser drops the others).
        auto after = std::upper_bound(track.rows.begin(), track.rows.end(), runSeconds,
                                      [](double t, const ScenarioRow& row) { return t < row.t; });
        if (after == track.rows.begin()) continue;
        const ScenarioRow& row = *std::prev(after);
        if (runSeconds - row.t > kStaleReportSeconds) continue;
        // The service reports an aircraft on the ground at altitude 0, whatever the file says.
        const double altFt = row.airborne ? row.altFt : 0.0;
        out.push_back({track.hexid, track.airline, track.type, track.origin, track.destination,
                       track.callsign, track.registration, row.t, row.lat, row.lon, altFt, row.gsKt,
                       row.trackDeg, row.vrateFpm, row.airspeedKt, row.airborne, row.rollDeg,
                       row.trueHeadingDeg});
    }
}

bool ScenarioSource::parkedTraffic(std::vector<ParkedTrafficRecord>& out) {
    for (const ScenarioParked& p : scenario_->parked)
        out.push_back(
            {p.airline, p.type, p.callsign, p.registration, p.lat, p.lon, p.hexid, p.halfHoursAgo, p.info});
    return true;
}
