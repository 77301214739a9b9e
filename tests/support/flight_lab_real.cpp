#include "support/flight_lab_real.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <fmt/format.h>

#include "core/geo.h"
#include "live/ground_motion_legs.h"
#include "platform/scenario_tools.h"
#include "support/work_folder.h"

namespace {

constexpr double kShiftWindowSec = 90;
constexpr double kShiftStepSec = 0.5;
constexpr double kMetresPerDegLat = 111132.95;

// The truth at time t, linearly between the rows around it; gapSec is the spacing of those rows.
struct TruthAt {
    double lat, lon, altFt, gapSec;
    bool onGround;
};

std::optional<TruthAt> lf_truthAt(const Truth& truth, double t) {
    if (truth.empty() || t < truth.front().t || t > truth.back().t) return std::nullopt;
    const auto after = std::upper_bound(truth.begin(), truth.end(), t,
                                        [](double v, const TruthPoint& p) { return v < p.t; });
    if (after == truth.end()) {
        const TruthPoint& p = truth.back();
        return TruthAt{p.lat, p.lon, p.altFt, 0, p.onGround};
    }
    const TruthPoint& a = *std::prev(after);
    const TruthPoint& b = *after;
    const double span = b.t - a.t;
    const double u = span > 0 ? (t - a.t) / span : 0;
    return TruthAt{a.lat + u * (b.lat - a.lat), a.lon + u * gf_shortLonDiff(a.lon, b.lon),
                   a.altFt + u * (b.altFt - a.altFt), span, a.onGround && b.onGround};
}

// Flat-earth metres: fast enough for the shift search, exact enough over a few kilometres.
double lf_flatMetres(double lat1, double lon1, double lat2, double lon2) {
    const double north = (lat2 - lat1) * kMetresPerDegLat;
    const double east = gf_shortLonDiff(lon1, lon2) * kMetresPerDegLat * std::cos(gf_degToRad(lat1));
    return std::hypot(north, east);
}

double lf_quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(i), v.end());
    return v[i];
}

// Where along the truth (time, seconds) the position lies nearest, within the window around t.
double lf_nearestTime(const Truth& truth, double t, double lat, double lon) {
    double best = t, bestM = 1e300;
    for (double s = t - kShiftWindowSec; s <= t + kShiftWindowSec; s += kShiftStepSec) {
        const std::optional<TruthAt> p = lf_truthAt(truth, s);
        if (!p) continue;
        const double m = lf_flatMetres(lat, lon, p->lat, p->lon);
        if (m < bestM) best = s, bestM = m;
    }
    return best;
}

// Seconds from ground rows to a stretch in the air of at least kLabAirStretchSec, forwards
// (a departure) or backwards from the end (an arrival).
bool lf_airStretch(const Truth& truth, bool departure) {
    const auto stretch = [&](auto begin, auto end) {
        if (begin == end || !begin->onGround) return false;
        std::optional<double> airSince;
        for (auto it = begin; it != end; ++it) {
            if (it->onGround) {
                airSince.reset();
                continue;
            }
            if (!airSince) airSince = it->t;
            if (std::fabs(it->t - *airSince) >= kLabAirStretchSec) return true;
        }
        return false;
    };
    return departure ? stretch(truth.begin(), truth.end()) : stretch(truth.rbegin(), truth.rend());
}

}  // namespace

LabRealTrack lab_loadRealTrack(const std::string& file) {
    const std::filesystem::path dir = tst_sourceDir() / "tests/data/realdata";
    const RealTrack real = gf_parseRealTrackCsv(tst_readFile(dir / file), file);
    const auto airports = gf_parseAirportsCsv(tst_readFile(dir / "airports.csv"), "airports.csv");
    LabRealTrack out;
    out.name = file;
    out.hexid = real.hexid;
    out.touched = gf_airportsTouched(real, airports);
    ConversionCounts counts;
    const ScenarioTrack track =
        gf_convertRealTrack(real, gf_demoIdentity(real.hexid), 0, out.touched, counts);
    out.callsign = track.callsign.empty() ? track.registration : track.callsign;
    out.type = track.type;
    out.airline = track.airline;
    for (const ScenarioRow& r : track.rows)
        out.truth.push_back({r.t, r.lat, r.lon, r.altFt, r.gsKt, r.trackDeg, r.vrateFpm, !r.airborne});
    return out;
}

namespace {

// The rows where a new position arrives: the feed repeats a position until the next one comes,
// so the aircraft is between two of these, not standing at the repeated one.
Truth lf_fixes(const Truth& truth) {
    Truth fixes;
    for (const TruthPoint& p : truth)
        if (fixes.empty() || p.lat != fixes.back().lat || p.lon != fixes.back().lon) fixes.push_back(p);
    return fixes;
}

}  // namespace

LabFigures lab_figures(const Truth& all, const std::vector<LabSecond>& seen) {
    LabFigures f;
    if (all.empty()) return f;
    const Truth truth = lf_fixes(all);
    std::vector<double> metres, feet, shifts;
    for (const LabSecond& s : seen) {
        if (!s.active) continue;
        f.existedSec += 1;
        const double t = s.labSec - kLabDelaySec;
        const std::optional<TruthAt> p = lf_truthAt(truth, t);
        if (!p || p->gapSec > kLabMeasuredGapSec) continue;
        ++f.measured;
        metres.push_back(lf_flatMetres(s.lat, s.lon, p->lat, p->lon));
        if (!p->onGround && !s.onGround) feet.push_back(std::fabs(s.altFt - p->altFt));
        shifts.push_back(lf_nearestTime(truth, t, s.lat, s.lon) - t);
    }
    f.medianM = lf_quantile(metres, 0.5);
    f.p95M = lf_quantile(metres, 0.95);
    f.altMedianFt = lf_quantile(feet, 0.5);
    f.altP95Ft = lf_quantile(feet, 0.95);
    f.shiftMedianSec = lf_quantile(shifts, 0.5);
    f.reportedSec = all.back().t - all.front().t;
    return f;
}

std::string lab_tableHeader() {
    return fmt::format("{:<46} {:>4} {:>6} {:>8} {:>8} {:>7} {:>7} {:>7} {:>8} {:>8}", "track", "park",
                       "sec", "med m", "p95 m", "alt ft", "alt95", "shift s", "existed", "reported");
}

std::string lab_tableRow(const std::string& name, bool park, const LabFigures& f) {
    return fmt::format("{:<46} {:>4} {:>6} {:>8.0f} {:>8.0f} {:>7.0f} {:>7.0f} {:>7.1f} {:>8.0f} {:>8.0f}", name,
                       park ? "yes" : "no", f.measured, f.medianM, f.p95M, f.altMedianFt, f.altP95Ft,
                       f.shiftMedianSec, f.existedSec, f.reportedSec);
}

std::vector<std::string> lab_replayFaults(const Truth& truth, const std::vector<LabSecond>& seen) {
    std::vector<std::string> faults;
    // Reports go on while each brings a new position at most kLabMeasuredGapSec after the one
    // before (a frozen position says nothing of where the aircraft is); the run of such reports
    // began at runStart (report time).
    std::vector<double> runStart(truth.size());
    for (size_t i = 0; i < truth.size(); ++i) {
        const bool goesOn = i > 0 && truth[i].t - truth[i - 1].t <= kLabMeasuredGapSec &&
                            (truth[i].lat != truth[i - 1].lat || truth[i].lon != truth[i - 1].lon);
        runStart[i] = goesOn ? runStart[i - 1] : truth[i].t;
    }
    std::optional<double> awaySince;
    size_t row = 0;
    for (const LabSecond& s : seen) {
        if (s.active) {
            awaySince.reset();
            continue;
        }
        if (!awaySince) awaySince = s.labSec;
        const double t = s.labSec - kLabDelaySec;
        while (row + 1 < truth.size() && truth[row + 1].t <= t) ++row;
        // The next report must carry the run on.
        if (row + 1 >= truth.size() || truth[row].t > t || runStart[row + 1] > truth[row].t) continue;
        const double since = std::max(*awaySince, runStart[row] + kLabDelaySec);
        if (s.labSec - since > kLabBackWithinSec) {
            faults.push_back(fmt::format("away from the simulator since {:.0f} s while reports go on at {:.0f} s",
                                         since, s.labSec));
            break;
        }
    }
    bool ground = false, air = false, tookOff = false, landed = false;
    for (const LabSecond& s : seen) {
        if (!s.active) continue;
        tookOff = tookOff || (ground && !s.onGround);
        landed = landed || (air && s.onGround);
        ground = ground || s.onGround;
        air = air || !s.onGround;
    }
    if (lf_airStretch(truth, true) && !tookOff) faults.push_back("the departure never left the ground");
    if (lf_airStretch(truth, false) && !landed) faults.push_back("the arrival never came down on the ground");
    return faults;
}
