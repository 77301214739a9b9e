#include "live/ground_motion_legs.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <gsl/narrow>

#include "live/live_set.h"

namespace {
constexpr double kMinLonCosine = 1e-6;
}  // namespace

int32_t gf_clampTicks(double value, int32_t low, int32_t high) {
    if (std::isnan(value)) return low;
    const double rounded = std::round(value);
    if (rounded <= low) return low;
    if (rounded >= high) return high;
    return gsl::narrow<int32_t>(static_cast<int64_t>(rounded));
}

int32_t gf_travelTicks(double distanceNm, double speedKt, int32_t low, int32_t high) {
    if (!(speedKt > 0) || !std::isfinite(distanceNm)) return high;
    return gf_clampTicks(distanceNm / speedKt * kTicksPerHourKt, low, high);
}

double gf_headingErrorDeg(double targetRad, double headingRad) {
    return std::fabs(gf_radToDeg(gf_normalizePi(targetRad - headingRad)));
}

double gf_shortLonDiff(double fromLon, double toLon) {
    double d = std::remainder(toLon - fromLon, 360.0);
    if (d <= -180.0) d += 360.0;
    return d;
}

bool gf_samePosition(double latA, double lonA, double latB, double lonB) {
    return std::fabs(latA - latB) < kSamePositionDeg && std::fabs(lonA - lonB) < kSamePositionDeg;
}

bool gf_samePosition(const PosSample& a, const PosSample& b) {
    return gf_samePosition(a.lat, a.lon, b.lat, b.lon);
}

LatLon gf_posOf(const PosSample& s) {
    return {s.lat, s.lon};
}

int32_t gf_ticksFromNow(int32_t dueTick) {
    return static_cast<int32_t>(static_cast<uint32_t>(dueTick) - gf_tickNow());
}

int32_t gf_dueAfter(int32_t base, int32_t ticks) {
    return static_cast<int32_t>(static_cast<uint32_t>(base) + static_cast<uint32_t>(ticks));
}

int32_t gf_dueGap(const PosSample& from, const PosSample& to) {
    return std::max(
        static_cast<int32_t>(static_cast<uint32_t>(to.dueTick) - static_cast<uint32_t>(from.dueTick)),
        kMinLegTicks);
}

double gf_metersPerDegreeLon(double latDeg) {
    if (latDeg > 180) latDeg -= 360;
    return kMetersPerDegree * std::max(std::fabs(std::cos(gf_degToRad(latDeg))), kMinLonCosine);
}

bool gf_curveActive(const LiveAircraft& ac) {
    return !std::isnan(ac.curve[kCurveE1]) && !std::isnan(ac.curve[kCurveN1]);
}

bool gf_sampleCurve(const std::array<double, 8>& c, double t, LatLon& position, double& headingRad) {
    if (std::isnan(c[kCurveE1]) || std::isnan(c[kCurveN1])) return false;
    const double span = c[kCurveEndParam] - c[kCurveStartParam];
    if (!(span != 0)) return false;
    const double s = (t - c[kCurveStartParam]) / span;
    if (!(s >= 0 && s <= 1)) return false;
    const double u = 1 - s;
    const double north = 2 * u * s * c[kCurveN1] + s * s * c[kCurveN2];
    const double east = 2 * u * s * c[kCurveE1] + s * s * c[kCurveE2];
    position.lat = c[kCurveStartLat] + north / kMetersPerDegree;
    position.lon = gf_wrapLonDeg(c[kCurveStartLon] + east / gf_metersPerDegreeLon(c[kCurveStartLat]));
    headingRad = gf_wrapTwoPi(std::atan2(2 * u * c[kCurveE1] + 2 * s * (c[kCurveE2] - c[kCurveE1]),
                                         2 * u * c[kCurveN1] + 2 * s * (c[kCurveN2] - c[kCurveN1])));
    return true;
}
