#include "support/flight_lab.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>

#include <fmt/format.h>

#include "airports/park_airports.h"
#include "airports/stand.h"
#include "core/params.h"
#include "live/ground_motion.h"
#include "live/ground_motion_legs.h"
#include "platform/scenario_tools.h"

namespace {

constexpr double kDelaySec = 30;  // from a report to its due tick
// Reports at most this far apart are measured; while they go on the aircraft is back within
// kBackWithinSec; this long in the air between ground rows is a real departure or arrival.
constexpr double kMeasuredGapSec = 20, kBackWithinSec = 60, kAirStretchSec = 60;

// What the lab saw of the aircraft once per lab second.
struct LabSecond {
    double labSec = 0;
    bool active = false, onGround = false;
    double lat = 0, lon = 0, altFt = 0;
};

// The truth at time t, between the rows around it, gapSec apart.
struct TruthAt {
    double lat, lon, altFt, gapSec;
    bool onGround;
};

std::optional<TruthAt> lab_truthAt(const Truth& truth, double t) {
    if (truth.empty() || t < truth.front().t || t > truth.back().t) return std::nullopt;
    const auto b = std::upper_bound(truth.begin(), truth.end(), t, [](double v, const TruthPoint& p) { return v < p.t; });
    if (b == truth.end()) return TruthAt{truth.back().lat, truth.back().lon, truth.back().altFt, 0, truth.back().onGround};
    const TruthPoint& a = *std::prev(b);
    const double span = b->t - a.t, u = span > 0 ? (t - a.t) / span : 0;
    return TruthAt{a.lat + u * (b->lat - a.lat), a.lon + u * gf_shortLonDiff(a.lon, b->lon),
                   a.altFt + u * (b->altFt - a.altFt), span, a.onGround && b->onGround};
}

// Flat-earth metres: fast enough for the shift search, exact enough over a few kilometres.
double lab_flatMetres(double lat1, double lon1, double lat2, double lon2) {
    constexpr double kMetresPerDegLat = 111132.95;
    return std::hypot((lat2 - lat1) * kMetresPerDegLat,
                      gf_shortLonDiff(lon1, lon2) * kMetresPerDegLat * std::cos(gf_degToRad(lat1)));
}

double lab_quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(i), v.end());
    return v[i];
}

// Where along the truth (time) the position lies nearest, within 90 s around t.
double lab_nearestTime(const Truth& truth, double t, double lat, double lon) {
    double best = t, bestM = 1e300;
    for (double s = t - 90; s <= t + 90; s += 0.5)
        if (const auto p = lab_truthAt(truth, s); p && lab_flatMetres(lat, lon, p->lat, p->lon) < bestM)
            best = s, bestM = lab_flatMetres(lat, lon, p->lat, p->lon);
    return best;
}

// Ground rows, then at least kAirStretchSec in the air: forwards a departure, backwards an arrival.
template <typename It>
bool lab_airStretch(It begin, It end) {
    if (begin == end || !begin->onGround) return false;
    std::optional<double> airSince;
    for (It it = begin; it != end; ++it) {
        if (it->onGround) airSince.reset();
        else if (!airSince) airSince = it->t;
        else if (std::fabs(it->t - *airSince) >= kAirStretchSec) return true;
    }
    return false;
}

// Horizontal error of one replay, metres: its median and 95th percentile.
struct LabError {
    double median = 0, p95 = 0;
};

// Figures of one replay against the truth 30 s earlier, where new positions come at most
// kMeasuredGapSec apart (the feed repeats a position until the next one): the table row printed,
// the horizontal error returned.
LabError lab_tableRow(const std::string& name, bool park, const Truth& all, const std::vector<LabSecond>& seen) {
    Truth truth;
    for (const TruthPoint& p : all)
        if (truth.empty() || p.lat != truth.back().lat || p.lon != truth.back().lon) truth.push_back(p);
    std::vector<double> metres, feet, shifts;
    double existedSec = 0;
    for (const LabSecond& s : seen) {
        if (!s.active) continue;
        existedSec += 1;
        const double t = s.labSec - kDelaySec;
        const auto p = lab_truthAt(truth, t);
        if (!p || p->gapSec > kMeasuredGapSec) continue;
        metres.push_back(lab_flatMetres(s.lat, s.lon, p->lat, p->lon));
        if (!p->onGround && !s.onGround) feet.push_back(std::fabs(s.altFt - p->altFt));
        shifts.push_back(lab_nearestTime(truth, t, s.lat, s.lon) - t);
    }
    const LabError error{lab_quantile(metres, 0.5), lab_quantile(metres, 0.95)};
    std::cout << fmt::format("{:<46} {:>4} {:>6} {:>8} {:>8} {:>7} {:>7} {:>7} {:>8} {:>8}\n", "track", "park", "sec",
                             "med m", "p95 m", "alt ft", "alt95", "shift s", "existed", "reported") +
                     fmt::format("{:<46} {:>4} {:>6} {:>8.0f} {:>8.0f} {:>7.0f} {:>7.0f} {:>7.1f} {:>8.0f} {:>8.0f}", name,
                                 park ? "yes" : "no", metres.size(), error.median, error.p95, lab_quantile(feet, 0.5),
                                 lab_quantile(feet, 0.95), lab_quantile(shifts, 0.5), existedSec,
                                 all.back().t - all.front().t)
              << std::endl;
    return error;
}

// Back within kBackWithinSec while new positions go on; departures leave the ground, arrivals land.
std::vector<std::string> lab_replayFaults(const Truth& truth, const std::vector<LabSecond>& seen) {
    std::vector<std::string> faults;
    // The run of reports that row i carries on began at runStart[i] (report time).
    std::vector<double> runStart(truth.size());
    for (size_t i = 0; i < truth.size(); ++i) {
        const bool goesOn = i > 0 && truth[i].t - truth[i - 1].t <= kMeasuredGapSec &&
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
        const double t = s.labSec - kDelaySec;
        while (row + 1 < truth.size() && truth[row + 1].t <= t) ++row;
        // The next report must carry the run on.
        if (row + 1 >= truth.size() || truth[row].t > t || runStart[row + 1] > truth[row].t) continue;
        const double since = std::max(*awaySince, runStart[row] + kDelaySec);
        if (s.labSec - since > kBackWithinSec) {
            faults.push_back(fmt::format("away from the simulator since {:.0f} s while reports go on at {:.0f} s", since,
                                         s.labSec));
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
    if (lab_airStretch(truth.begin(), truth.end()) && !tookOff) faults.push_back("the departure never left the ground");
    if (lab_airStretch(truth.rbegin(), truth.rend()) && !landed) faults.push_back("the arrival never came down on the ground");
    return faults;
}

struct RealCase {
    const char* file;
    bool park;
    bool acrossTheAntimeridian = false;  // shifted in longitude to cross it halfway
};

class RealTrackLab : public FlightLab, public ::testing::WithParamInterface<RealCase> {
  protected:
    void shapeWorld(Scenario& s) override {
        for (const char* title : {kTitleDal739, kTitleThy38m, kTitleSazEc45}) s.installedTitles.push_back(title);
    }
};

// Every real track of tests/data/realdata whole, as the demo converts it, without a park airport
// or with the one it touches last; the per-track table goes to the test output.
TEST_P(RealTrackLab, ReplaysTheWholeTrack) {
    const RealCase c = GetParam();
    const std::filesystem::path dir = tst_sourceDir() / "tests/data/realdata";
    const RealTrack real = gf_parseRealTrackCsv(tst_readFile(dir / c.file), c.file);
    const std::vector<ScenarioAirport> touched =
        gf_airportsTouched(real, gf_parseAirportsCsv(tst_readFile(dir / "airports.csv"), "airports.csv"));
    ConversionCounts counts;
    const ScenarioTrack track = gf_convertRealTrack(real, gf_demoIdentity(real.hexid), 0, touched, counts);
    Truth truth;
    for (const ScenarioRow& r : track.rows)
        truth.push_back({r.t, r.lat, r.lon, r.altFt, r.gsKt, r.trackDeg, r.vrateFpm, !r.airborne});
    ASSERT_GT(truth.size(), 10u);
    if (c.acrossTheAntimeridian) {
        const double shift = 180 - truth[truth.size() / 2].lon;
        for (TruthPoint& p : truth) p.lon = gf_wrapLonDeg(p.lon + shift);
    }
    HELICOPTERS.set(true);
    if (c.park) {
        ASSERT_FALSE(touched.empty());
        const ScenarioAirport& a = touched.back();
        lab_setParkAirport(a.icao, a.lat, a.lon, a.elevationFt);
        // An arrival taxis to a stand where its reports end.
        g_staticParkingOn = true;
        const TruthPoint& end = truth.back();
        if (!truth.front().onGround && end.onGround && gf_haversineNm({end.lat, end.lon}, {a.lat, a.lon}) < 3)
            g_stands.emplace_back("S1", std::vector<StandOption>{}, end.lat, end.lon, gf_degToRad(end.trackDeg),
                                  gf_metersToNm(30), false, false, false);
        gf_numberStands();
    }
    std::vector<LabSecond> seen;
    invariants.push_back({"recorder", [&](const auto&, const LiveAircraft& ac) -> std::optional<std::string> {
                              if (ac.hexid == real.hexid && ac.lifeState == active && ticksRun % 100 == 0)
                                  seen.push_back({ticksRun / 100.0, true, ac.onGround != 0, ac.lat, ac.lon,
                                                  ac.altitude - ac.staticCgHeight});
                              return std::nullopt;
                          }});
    const std::map<std::string, std::string> airlines = {
        {"A320", "BAW"}, {"B738", "DLH"}, {"B739", "DAL"}, {"B38M", "THY"}, {"EC45", "SAZ"}};
    addStream(real.hexid, track.callsign.empty() ? track.registration : track.callsign, airlines.at(track.type),
              track.type, truth);
    startWorld(truth.front().lat, truth.front().lon, c.acrossTheAntimeridian ? std::vector<ScenarioAirport>{} : touched);
    for (int s = 0; s < static_cast<int>(truth.back().t + kDelaySec) && !HasFailure(); ++s) {
        run(1);
        if (seen.empty() || seen.back().labSec < ticksRun / 100.0) seen.push_back({ticksRun / 100.0});
    }
    // An aircraft parked on its stand stays; any other goes when its reports end (in the air: the
    // extensions of 8 samples of 8 s, the due-tick clamp's lag and the removal's round trip).
    const LiveAircraft* last = live(real.hexid);
    if (!last || last->flightState != parked)
        EXPECT_TRUE(goneWithin(real.hexid, truth.back().onGround ? (MAX_HOLDING_MINUTES.value() + 2) * 60.0
                                                                 : 8 * 8 + 50 + 6.0));
    const LabError error = lab_tableRow(std::string(c.file) + (c.acrossTheAntimeridian ? " (180)" : ""), c.park, truth, seen);
    // Every real track is followed within 300 m, 1.5 km at the worst twentieth.
    EXPECT_LT(error.median, 300);
    EXPECT_LT(error.p95, 1500);
    EXPECT_EQ(lab_replayFaults(truth, seen), std::vector<std::string>{});
}

std::vector<RealCase> lab_realCases() {
    std::vector<RealCase> cases;
    for (const char* file : {"approach_LSZH_DLH4TR_3c664e_noisy.csv", "arrival_KMSP_DAL1812_ac671b.csv",
                             "cruise_gnss_spoofing_THY9BP_4baac6_noisy.csv", "cruise_time_issue_4b1815_noisy.csv",
                             "departure_KMSP_DAL2418_ac671b.csv", "flight_KMSP_KDEN_DAL2927_ac671b.csv",
                             "helicopter_REGA1_4b43ac.csv", "landing_taxi_LSZH_CAI3208_0083c3.csv",
                             "parked_jitter_LSZH_SWISS_4b17e5_noisy.csv", "taxi_takeoff_LSZH_AFR181L_3946e4_noisy.csv"})
        for (bool park : {false, true})
            if (!park || std::string_view(file).find("cruise") == std::string_view::npos) cases.push_back({file, park});
    cases.push_back({"cruise_gnss_spoofing_THY9BP_4baac6_noisy.csv", false, true});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Tracks, RealTrackLab, ::testing::ValuesIn(lab_realCases()), [](const auto& info) {
    const std::string name = info.param.file;
    return name.substr(0, name.find('_', name.find('_') + 1)) + (info.param.park ? "_park" : "_nopark") +
           (info.param.acrossTheAntimeridian ? "_antimeridian" : "");
});

}  // namespace
