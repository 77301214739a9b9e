#include "airports/stand.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
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

// What the neighbour search reads of a stand, side by side in one array.
struct SweepStand {
    double latitude, longitude, radius;
    double sqrtCosLat;  // square root of the cosine of the latitude
    double band;        // latitude band, see lf_neighbourPairs
    uint32_t at;        // position in g_stands
};

// A lower bound, in nautical miles, of the great-circle distance of two stands from their
// longitudes alone: hav(d) >= cos(lat1) cos(lat2) hav(dLon), sin(x) <= x and
// sin(x) >= x - x^3/6 give d >= sqrt(cos(lat1) cos(lat2)) (|dLon| - |dLon|^3 / 24).
double lf_distanceFloorNm(const SweepStand& a, const SweepStand& b) {
    const double dLon = std::abs(gf_degToRad(b.longitude - a.longitude));
    return kEarthRadiusNm * a.sqrtCosLat * b.sqrtCosLat * (dLon - dLon * dLon * dLon / 24.0);
}

// Circles that overlap by more than a tenth of their distance cannot both be used. A pair
// whose longitudes alone already set them too far apart skips the full distance.
void lf_testPair(const SweepStand& a, const SweepStand& b, std::vector<std::pair<uint32_t, uint32_t>>& pairs) {
    const double reach = a.radius + b.radius;
    if (1.1 * lf_distanceFloorNm(a, b) * (1 - 1e-9) >= reach) return;
    if (1.1 * gf_haversineNm({a.latitude, a.longitude}, {b.latitude, b.longitude}) < reach)
        pairs.emplace_back(a.at, b.at);
}

// Pairs of positions in g_stands that are neighbours. Two neighbours are less than
// reach = 2 maxRadius / 1.1 apart, so their latitudes differ by less than reach / 60 degrees:
// cut into bands of that height, they lie in one band or in two next to each other. Their
// longitudes differ by less than a window: with c the least cosine of a latitude, the floor
// above gives d >= c (23/24) |dLon| for |dLon| up to 1 radian and more beyond, up to the
// 2.8 radians where it stops growing. Stands sorted by band, then longitude, are then tested
// only against the stands of their own band and of the next one within the window. The
// margins keep rounding on the safe side.
std::vector<std::pair<uint32_t, uint32_t>> lf_neighbourPairs() {
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    double maxRadius = 0, minCos = 1;
    double minLon = std::numeric_limits<double>::infinity(), maxLon = -minLon;
    std::vector<SweepStand> sweep;
    sweep.reserve(g_stands.size());
    for (const Stand& s : g_stands) {
        const double cosLat = std::cos(gf_degToRad(s.latitude));
        maxRadius = std::max(maxRadius, s.radius);
        minCos = std::min(minCos, cosLat);
        minLon = std::min(minLon, s.longitude);
        maxLon = std::max(maxLon, s.longitude);
        sweep.push_back({s.latitude, s.longitude, s.radius, std::sqrt(cosLat), 0, static_cast<uint32_t>(sweep.size())});
    }
    if (!(maxRadius > 0)) return pairs;
    const double reachNm = 2 * maxRadius / 1.1 * (1 + 1e-6);
    const double bandDeg = reachNm / 60.0;
    double windowRad = reachNm * 24.0 / (23.0 * kEarthRadiusNm * minCos);
    if (!(windowRad < 1.0 && gf_degToRad(maxLon - minLon) < 2.8)) windowRad = std::numeric_limits<double>::infinity();
    const double windowDeg = gf_radToDeg(windowRad) * (1 + 1e-6);
    for (SweepStand& s : sweep) s.band = std::floor(s.latitude / bandDeg);
    const auto byBandThenLongitude = [](const SweepStand& x, const SweepStand& y) {
        return x.band != y.band ? x.band < y.band : x.longitude < y.longitude;
    };
    std::sort(sweep.begin(), sweep.end(), byBandThenLongitude);
    // The first stand of the next band within the window of a: it only moves forward, as a
    // runs through a band eastwards and then on to the next band.
    size_t start = 0;
    for (size_t i = 0; i < sweep.size(); ++i) {
        const SweepStand& a = sweep[i];
        size_t j = i + 1;
        for (; j < sweep.size() && sweep[j].band == a.band; ++j) {
            if (sweep[j].longitude - a.longitude >= windowDeg) break;
            lf_testPair(a, sweep[j], pairs);
        }
        const SweepStand from{0, a.longitude - windowDeg, 0, 0, a.band + 1, 0};
        start = std::max(start, j);
        while (start < sweep.size() && byBandThenLongitude(sweep[start], from)) ++start;
        for (size_t next = start; next < sweep.size() && sweep[next].band == a.band + 1; ++next) {
            if (sweep[next].longitude - a.longitude >= windowDeg) break;
            lf_testPair(a, sweep[next], pairs);
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
