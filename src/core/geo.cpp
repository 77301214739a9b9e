#include "core/geo.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kTwoPi = 2.0 * kPi;

double lf_square(double x) {
    return x * x;
}
}  // namespace

double gf_wrapLonDeg(double lonDeg) {
    if (!std::isfinite(lonDeg)) return lonDeg;
    double r = std::fmod(lonDeg + 180.0, 360.0);
    if (r < 0) r += 360.0;
    return r - 180.0;
}

double gf_wrapDeg360(double deg) {
    if (!std::isfinite(deg)) return deg;
    double d = std::fmod(deg, 360.0);
    if (d < 0) d += 360.0;
    // As in radians: a tiny negative angle plus 360 rounds to 360 itself.
    return d >= 360.0 ? 0.0 : d + 0.0;
}

double gf_wrapTwoPi(double angleRad) {
    if (!std::isfinite(angleRad)) return angleRad;
    double a = std::fmod(angleRad, kTwoPi);
    if (a < 0) a += kTwoPi;
    // A tiny negative angle plus 2 pi rounds to 2 pi itself, which lies outside [0, 2 pi).
    if (a >= kTwoPi) a = 0;
    return a;
}

double gf_haversineNm(LatLon a, LatLon b) {
    const double lat1 = gf_degToRad(a.lat);
    const double lat2 = gf_degToRad(b.lat);
    const double dLat = lat2 - lat1;
    const double dLon = gf_degToRad(b.lon - a.lon);
    double h =
        lf_square(std::sin(dLat / 2)) + std::cos(lat1) * std::cos(lat2) * lf_square(std::sin(dLon / 2));
    // Rounding pushes h a hair above 1 for antipodal points, and asin(sqrt(h)) would be NaN.
    h = std::clamp(h, 0.0, 1.0);
    return 2.0 * kEarthRadiusNm * std::asin(std::sqrt(h));
}

double gf_bearingRad(LatLon from, LatLon to) {
    const double lat1 = gf_degToRad(from.lat);
    const double lat2 = gf_degToRad(to.lat);
    const double dLon = gf_degToRad(to.lon - from.lon);
    const double y = std::sin(dLon) * std::cos(lat2);
    const double x = std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dLon);
    return gf_wrapTwoPi(std::atan2(y, x));
}

LatLon gf_destinationPoint(LatLon start, double bearingRad, double distanceFt) {
    const double d = gf_feetToNm(distanceFt) / kEarthRadiusNm;  // angular distance
    const double lat1 = gf_degToRad(start.lat);
    const double lon1 = gf_degToRad(start.lon);
    const double sinLat2 = std::clamp(
        std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(bearingRad), -1.0, 1.0);
    const double lat2 = std::asin(sinLat2);
    const double lon2 = lon1 + std::atan2(std::sin(bearingRad) * std::sin(d) * std::cos(lat1),
                                          std::cos(d) - std::sin(lat1) * sinLat2);
    return {gf_radToDeg(lat2), gf_wrapLonDeg(gf_radToDeg(lon2))};
}

bool gf_isPositionSet(LatLon p) {
    return std::fabs(p.lat) > 0.0001 || std::fabs(p.lon) > 0.0001;
}
