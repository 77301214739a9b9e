// Geodesy on a sphere of radius 10800/pi nautical miles: distances, bearings, destination
// points. Positions in degrees, distances in nautical miles unless a name says otherwise.
#pragma once

struct LatLon {
    double lat = 0;  // degrees
    double lon = 0;  // degrees
};

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kEarthRadiusNm = 10800.0 / kPi;
inline constexpr double kFeetPerNm = 1852.0 / 0.3048;
inline constexpr double kMetersPerNm = 1852.0;
// The rounded figure the live-traffic motion rules (lateral distance, dead reckoning) use.
inline constexpr double kFeetPerNmRounded = 6076.11549;

constexpr double gf_degToRad(double deg) { return deg * kPi / 180.0; }
constexpr double gf_radToDeg(double rad) { return rad * 180.0 / kPi; }
constexpr double gf_metersToNm(double m) { return m / kMetersPerNm; }
constexpr double gf_nmToMeters(double nm) { return nm * kMetersPerNm; }
constexpr double gf_feetToNm(double ft) { return ft / kFeetPerNm; }
constexpr double gf_nmToFeet(double nm) { return nm * kFeetPerNm; }

// Great-circle distance by the haversine formula (term clamped to [0, 1]: no NaN).
double gf_haversineNm(LatLon a, LatLon b);
// Initial great-circle bearing from one point to another, radians, 0 <= b < 2 pi.
double gf_bearingRad(LatLon from, LatLon to);
// The point reached from start on the bearing (radians) after the distance in feet;
// longitude wrapped to -180..180.
LatLon gf_destinationPoint(LatLon start, double bearingRad, double distanceFt);
// Longitude in degrees folded into [-180, 180); a value that is not finite passes unchanged.
double gf_wrapLonDeg(double lonDeg);
// Angle in radians folded into [0, 2 pi); a value that is not finite passes unchanged.
double gf_wrapTwoPi(double angleRad);
// Direction in degrees folded into [0, 360); a value that is not finite passes unchanged.
double gf_wrapDeg360(double deg);
// True when |lat| > 0.0001 or |lon| > 0.0001.
bool gf_isPositionSet(LatLon p);
