#include "airports/stand.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>

std::vector<Stand> g_stands;

namespace {

// The copy the simulator thread reads; swapped whole under the lock, never changed in place.
std::mutex g_publishedStandsMutex;
std::shared_ptr<const StandPoints> g_publishedStandPoints = std::make_shared<const StandPoints>();
// Never reset: a cache that outlives a reset must still see every later copy as new.
uint64_t g_publishedStandsVersion = 0;

void lf_publish(std::shared_ptr<const StandPoints> points) {
    std::lock_guard lock(g_publishedStandsMutex);
    g_publishedStandPoints = std::move(points);
    ++g_publishedStandsVersion;
}

}  // namespace

StandOption::StandOption(std::string callsign, std::string callsign2, std::string airline, std::string type,
                         std::string reg, uint64_t hh, uint32_t index, uint32_t day, uint32_t origin,
                         uint32_t real)
    : airline(std::move(airline)),
      type(std::move(type)),
      reg(std::move(reg)),
      callsign(std::move(callsign)),
      callsign2(std::move(callsign2)),
      hh(hh),
      index(index),
      day(day),
      origin(origin),
      real(real) {}

StandOption StandOption::madeUp(std::string airline, std::string type, std::string reg, std::string callsign,
                                uint64_t hh, uint32_t index, uint32_t day, uint32_t origin, uint32_t real) {
    StandOption option(std::move(callsign), {}, std::move(airline), std::move(type), std::move(reg), hh, index,
                       day, origin, real);
    option.invented = true;
    return option;
}

Stand::Stand(std::string name, std::vector<StandOption> options, double latDeg, double lonDeg,
             double headingRad, double radiusMeters, bool cargo, bool ramp, bool heli)
    : options(std::move(options)),
      name(std::move(name)),
      latitude(latDeg),
      longitude(lonDeg),
      heading(headingRad),
      radius(radiusMeters * (1.0 / kMetersPerNm)),
      cargo(cargo),
      ramp(ramp),
      heli(heli) {}

namespace {

// What the neighbour sweep reads of a stand, side by side in one array.
struct SweepStand {
    double latitude, longitude, radius;
    double sqrtCosLat;  // square root of the cosine of the latitude
    uint32_t at;        // position in g_stands
};

// A lower bound, in nautical miles, of the great-circle distance of two stands from their
// longitudes alone: hav(d) >= cos(lat1) cos(lat2) hav(dLon), sin(x) <= x and
// sin(x) >= x - x^3/6 give d >= sqrt(cos(lat1) cos(lat2)) (|dLon| - |dLon|^3 / 24).
double lf_distanceFloorNm(const SweepStand& a, const SweepStand& b) {
    const double dLon = std::abs(gf_degToRad(b.longitude - a.longitude));
    return kEarthRadiusNm * a.sqrtCosLat * b.sqrtCosLat * (dLon - dLon * dLon * dLon / 24.0);
}

// Pairs of positions in g_stands whose circles overlap by more than a tenth of their distance.
std::vector<std::pair<uint32_t, uint32_t>> lf_neighbourPairs() {
    double maxRadius = 0;
    std::vector<SweepStand> sweep;
    sweep.reserve(g_stands.size());
    for (const Stand& s : g_stands) {
        maxRadius = std::max(maxRadius, s.radius);
        sweep.push_back({s.latitude, s.longitude, s.radius, std::sqrt(std::cos(gf_degToRad(s.latitude))),
                         static_cast<uint32_t>(sweep.size())});
    }
    // Stands in latitude order: the great-circle distance is at least the difference in
    // latitude (60 nm a degree), so each stand only needs testing against the stands within
    // reach of it in that order. Within reach, a pair whose longitudes alone already set them
    // too far apart skips the full distance. The margins keep rounding on the safe side.
    std::sort(sweep.begin(), sweep.end(),
              [](const SweepStand& x, const SweepStand& y) { return x.latitude < y.latitude; });
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    for (size_t i = 0; i < sweep.size(); ++i) {
        const SweepStand& a = sweep[i];
        for (size_t j = i + 1; j < sweep.size(); ++j) {
            const SweepStand& b = sweep[j];
            if (1.1 * (b.latitude - a.latitude) * 60.0 * (1 - 1e-9) >= a.radius + maxRadius) break;
            const double reach = a.radius + b.radius;
            if (1.1 * lf_distanceFloorNm(a, b) * (1 - 1e-9) >= reach) continue;
            if (1.1 * gf_haversineNm({a.latitude, a.longitude}, {b.latitude, b.longitude}) < reach)
                pairs.emplace_back(a.at, b.at);
        }
    }
    return pairs;
}

}  // namespace

void gf_numberStands() {
    uint32_t id = 0;
    for (Stand& s : g_stands) {
        s.standId = ++id;
        s.neighbours.clear();
    }
    const std::vector<std::pair<uint32_t, uint32_t>> pairs = lf_neighbourPairs();
    // Each list allocated once at its exact size.
    std::vector<uint32_t> counts(g_stands.size());
    for (auto [x, y] : pairs) ++counts[x], ++counts[y];
    for (size_t i = 0; i < g_stands.size(); ++i) {
        g_stands[i].neighbours.shrink_to_fit();
        g_stands[i].neighbours.reserve(counts[i]);
    }
    for (auto [x, y] : pairs) {
        g_stands[x].neighbours.push_back(g_stands[y].standId);
        g_stands[y].neighbours.push_back(g_stands[x].standId);
    }
    for (Stand& s : g_stands) std::sort(s.neighbours.begin(), s.neighbours.end());
    gf_publishStands();
}

Stand* gf_standById(uint32_t standId) {
    if (standId == 0) return nullptr;
    // Numbered stands sit at their id; a list changed since numbering falls back to a search.
    if (standId <= g_stands.size() && g_stands[standId - 1].standId == standId) return &g_stands[standId - 1];
    for (Stand& s : g_stands)
        if (s.standId == standId) return &s;
    return nullptr;
}

std::string gf_standNameOfId(uint32_t standId) {
    if (standId == 0) return "sid==0?";
    const Stand* s = gf_standById(standId);
    return s ? s->name : "sid==?";
}

void gf_clearStands() {
    g_stands.clear();
    gf_publishStands();
}

void gf_publishStands() {
    auto points = std::make_shared<StandPoints>();
    points->reserve(g_stands.size());
    for (const Stand& s : g_stands) points->push_back({s.name, s.position()});
    lf_publish(std::move(points));
}

std::shared_ptr<const StandPoints> gf_publishedStands() {
    std::lock_guard lock(g_publishedStandsMutex);
    return g_publishedStandPoints;
}

PublishedStands gf_publishedStandsVersioned() {
    std::lock_guard lock(g_publishedStandsMutex);
    return {g_publishedStandPoints, g_publishedStandsVersion};
}

void gf_resetStands() {
    g_stands.clear();
    g_stands.shrink_to_fit();
    lf_publish(std::make_shared<const StandPoints>());
}
