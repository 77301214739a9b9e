#include "live/ground_motion_legs.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <gsl/narrow>

#include "live/live_set.h"

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

double gf_normalizeRad(double rad) {
    if (!std::isfinite(rad)) return 0;
    double a = std::remainder(rad, 2 * kPi);  // [-pi, pi]
    if (a <= -kPi) a += 2 * kPi;
    return a;
}

double gf_headingErrorDeg(double targetRad, double headingRad) {
    return std::fabs(gf_radToDeg(gf_normalizeRad(targetRad - headingRad)));
}

double gf_shortLonDiff(double fromLon, double toLon) {
    double d = std::remainder(toLon - fromLon, 360.0);
    if (d <= -180.0) d += 360.0;
    return d;
}

double gf_wrapLon(double lon) {
    if (!std::isfinite(lon)) return lon;
    double w = std::fmod(lon + 180.0, 360.0);
    if (w < 0) w += 360.0;
    return w - 180.0;
}

bool gf_samePosition(double latA, double lonA, double latB, double lonB) {
    return std::fabs(latA - latB) < kSamePositionDeg && std::fabs(lonA - lonB) < kSamePositionDeg;
}

bool gf_samePosition(const PosSample& a, const PosSample& b) { return gf_samePosition(a.lat, a.lon, b.lat, b.lon); }

LatLon gf_posOf(const PosSample& s) { return {s.lat, s.lon}; }

int32_t gf_ticksFromNow(int32_t dueTick) {
    return static_cast<int32_t>(static_cast<uint32_t>(dueTick) - gf_tickNow());
}

int32_t gf_dueAfter(int32_t base, int32_t ticks) {
    return static_cast<int32_t>(static_cast<uint32_t>(base) + static_cast<uint32_t>(ticks));
}

int32_t lf_ticksToSample(const PosSample& s) { return std::max(gf_ticksFromNow(s.dueTick), kMinLegTicks); }

double lf_legSpeed(const LiveAircraft& ac) {
    const PosSample& front = ac.stream[0];
    const PosSample& next = ac.stream[1];
    if (front.gs == 0 && next.gs == 0) {
        const int32_t due = static_cast<int32_t>(static_cast<uint32_t>(next.dueTick) - static_cast<uint32_t>(front.dueTick));
        const double nm = gf_haversineNm(gf_posOf(front), gf_posOf(next));
        return std::max(nm * kTicksPerHourKt / std::max(due, kMinLegTicks), 1.0);
    }
    return (front.gs + next.gs) / 2;
}

double lf_turnAhead(const LiveAircraft& ac) {
    if (ac.stream.size() < 3) return 0;
    return gf_normalizeRad(gf_bearingRad(gf_posOf(ac.stream[1]), gf_posOf(ac.stream[2])) - ac.heading);
}

void lf_setNextDue(LiveAircraft& ac, int32_t ticks) {
    PosSample& next = ac.stream[1];
    int64_t rel = ticks;  // relative to now
    if (ac.extension < 1) {
        const int64_t nextRel = gf_ticksFromNow(next.dueTick);
        rel = std::clamp(rel, nextRel - ac.dueBack, nextRel + ac.dueAhead);
    }
    rel = std::clamp<int64_t>(rel, 0, std::numeric_limits<int32_t>::max());
    next.dueTick = gf_dueAfter(static_cast<int32_t>(gf_tickNow()), static_cast<int32_t>(rel));
}

bool gf_curveActive(const LiveAircraft& ac) {
    return !std::isnan(ac.curve[kCurveE1]) && !std::isnan(ac.curve[kCurveN1]);
}

void gf_clearCurve(LiveAircraft& ac) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ac.curve[kCurveStartParam] = nan;
    ac.curve[kCurveEndParam] = nan;
    ac.curve[kCurveE1] = nan;
    ac.curve[kCurveN1] = nan;
    ac.curveProgress = 0;
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
    double startLat = c[kCurveStartLat];
    if (startLat > 180) startLat -= 360;
    position.lat = c[kCurveStartLat] + north / kMetersPerDegree;
    position.lon = gf_wrapLon(c[kCurveStartLon] + east / (kMetersPerDegree * std::cos(gf_degToRad(startLat))));
    double h = std::atan2(2 * u * c[kCurveE1] + 2 * s * (c[kCurveE2] - c[kCurveE1]),
                          2 * u * c[kCurveN1] + 2 * s * (c[kCurveN2] - c[kCurveN1]));
    if (h < 0) h += 2 * kPi;
    if (h >= 2 * kPi) h -= 2 * kPi;
    headingRad = h;
    return true;
}
