// Ground arithmetic the stream playback can share: finite tick counts, heading error, longitudes
// across the antimeridian, the same-position test and the quadratic taxi curve (its layout in
// LiveAircraft::curve and its sampling). Leg speed, turn ahead and the next due tick are in
// live/air_motion_legs.h. Run thread.
#pragma once
#include <array>
#include <cstdint>

#include "core/geo.h"
#include "live/aircraft.h"
#include "live/air_motion_legs.h"

// Layout of LiveAircraft::curve. The start point is the origin of a local metric frame; the
// control point (E1, N1) and the end point (N2, E2) are metres north and east of it.
enum CurveIndex : int {
    kCurveStartLat = 0,    // degrees
    kCurveStartLon = 1,    // degrees
    kCurveStartParam = 2,  // parameter at the start point
    kCurveEndParam = 3,    // parameter at the end point
    kCurveN2 = 4,          // end point, metres north
    kCurveE2 = 5,          // end point, metres east
    kCurveE1 = 6,          // control point, metres east; NaN: no curve
    kCurveN1 = 7,          // control point, metres north; NaN: no curve
};
inline constexpr double kMetersPerDegree = 111132.95;
inline constexpr double kSamePositionDeg = 1e-8;
// Largest tick count any leg or wait may take: one week.
inline constexpr int32_t kMaxLegTicks = 7 * 24 * 360000;
inline constexpr int32_t kTicksPerHourKt = 360000;  // ticks per hour: nm x this / kt = ticks

// A tick count from a computed value: rounded, a NaN or anything below low gives low, anything
// above high (infinity included) gives high; never throws. Every tick count of the ground
// movement passes here before it is narrowed.
int32_t gf_clampTicks(double value, int32_t low = kMinLegTicks, int32_t high = kMaxLegTicks);
// Ticks to travel distanceNm at speedKt: a speed of 0, NaN or next to nothing gives high.
int32_t gf_travelTicks(double distanceNm, double speedKt, int32_t low = kMinLegTicks,
                       int32_t high = kMaxLegTicks);

// Absolute difference of two headings (radians) in degrees, 0..180: 359 against 1 degree is 2.
double gf_headingErrorDeg(double targetRad, double headingRad);
// Longitude difference to - from the short way round, -180..180 (across the antimeridian too).
double gf_shortLonDiff(double fromLon, double toLon);
// Latitude and longitude both within 1e-8 degrees.
bool gf_samePosition(double latA, double lonA, double latB, double lonB);
bool gf_samePosition(const PosSample& a, const PosSample& b);
LatLon gf_posOf(const PosSample& s);

// Signed ticks from now to the due tick (due ticks wrap with the tick counter).
int32_t gf_ticksFromNow(int32_t dueTick);
// Due tick plus ticks, wrapping as the tick counter does.
int32_t gf_dueAfter(int32_t base, int32_t ticks);
// Due ticks between two samples (wrapping), at least 25.
int32_t gf_dueGap(const PosSample& from, const PosSample& to);

// Metres per degree of longitude at the latitude (one above 180 has 360 subtracted first); the
// cosine is held at 1e-6 or more, so that near a pole a curve stays finite.
double gf_metersPerDegreeLon(double latDeg);
// The curve is active while neither control coordinate is NaN.
bool gf_curveActive(const LiveAircraft& ac);
// Position and heading (radians, 0 <= h < 2 pi) at parameter t; false when the curve is
// inactive or t lies outside its parameter range.
bool gf_sampleCurve(const std::array<double, 8>& curve, double t, LatLon& position, double& headingRad);
