#include "core/geo.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

// Reference values from an independent vector computation (atan2 of cross and dot product of the
// unit vectors) on the same sphere, where one degree of arc is exactly 60 nm.
struct Leg {
    const char* name;
    LatLon from, to;
    double distanceNm, bearingRad;
};

const Leg kLegs[] = {
    {"LSZH-EGLL", {47.464722, 8.549167}, {51.4775, -0.461389}, 425.42939318619955, 5.37199167844278},
    {"NZAA-PHNL", {-37.008056, 174.791667}, {21.318611, -157.9225}, 3824.9514756933963, 0.49629408615573967},
    {"YSSY-SCEL", {-33.946111, 151.177222}, {-33.392975, -70.785803}, 6119.1640862576605, 2.534223117163315},
    {"west along the equator", {0, 0}, {0, -90}, 5400, 3 * kPi / 2},
    {"across the antimeridian eastwards", {0, 179.5}, {0, -179.5}, 60, kPi / 2},
    {"across the antimeridian westwards", {0, -179.5}, {0, 179.5}, 60, 3 * kPi / 2},
    {"over the north pole", {89, 0}, {89, 180}, 120, 0},
    {"from the north pole", {90, 0}, {80, 0}, 600, kPi},
};

TEST(Geo, KnownDistancesAndBearingsAndTheirWayBack) {
    for (const Leg& leg : kLegs) {
        SCOPED_TRACE(leg.name);
        EXPECT_NEAR(gf_haversineNm(leg.from, leg.to), leg.distanceNm, leg.distanceNm * 1e-6);
        const double b = gf_bearingRad(leg.from, leg.to);
        EXPECT_NEAR(b, leg.bearingRad, 1e-6);
        if (std::fabs(leg.from.lat) == 90) continue;  // at a pole a bearing names no meridian
        const LatLon p = gf_destinationPoint(leg.from, b, gf_nmToFeet(leg.distanceNm));
        EXPECT_NEAR(gf_haversineNm(p, leg.to), 0.0, 1e-6);
        EXPECT_GE(p.lon, -180.0);
        EXPECT_LE(p.lon, 180.0);
    }
    for (auto [a, b] : {std::pair<LatLon, LatLon>{{0, 0}, {0, 180}}, {{90, 0}, {-90, 0}}, {{45, 0.1}, {-45, -179.9}}})
        EXPECT_NEAR(gf_haversineNm(a, b), 10800.0, 10800.0 * 1e-6) << "antipodes";
    EXPECT_EQ(gf_haversineNm({47.5, 8.5}, {47.5, 8.5}), 0.0);
    EXPECT_NEAR(gf_destinationPoint({51.5, -0.46}, 1.0, 0).lat, 51.5, 1e-12);
    // atan2 gives a negative angle so small that adding 2 pi rounds it to 2 pi itself.
    EXPECT_LT(gf_bearingRad({0, 0}, {10, -1e-300}), 2 * kPi);
}

TEST(Geo, PositionSetThreshold) {
    const struct {
        LatLon p;
        bool set;
    } rows[] = {{{0, 0}, false}, {{0.0001, -0.0001}, false}, {{0.00011, 0}, true}, {{0, -0.00011}, true}};
    for (const auto& r : rows) EXPECT_EQ(gf_isPositionSet(r.p), r.set) << r.p.lat << "," << r.p.lon;
}

TEST(Geo, WrapsFoldIntoTheirHalfOpenRanges) {
    const struct {
        double (*wrap)(double);
        double in, out;
    } rows[] = {{gf_wrapLonDeg, 180, -180},  {gf_wrapLonDeg, -180, -180}, {gf_wrapLonDeg, 540, -180},
                {gf_wrapLonDeg, -190, 170},  {gf_wrapLonDeg, 359.5, -0.5}, {gf_wrapDeg360, 725, 5},
                {gf_wrapDeg360, -90, 270},   {gf_wrapDeg360, 360, 0},     {gf_wrapDeg360, -1e-14, 0},
                {gf_wrapTwoPi, 2 * kPi, 0}, {gf_wrapTwoPi, -kPi / 2, 1.5 * kPi}, {gf_wrapTwoPi, 2.5 * kPi, 0.5 * kPi},
                {gf_wrapTwoPi, -1e-18, 0}};  // plus 2 pi would round to 2 pi itself
    for (const auto& r : rows) EXPECT_NEAR(r.wrap(r.in), r.out, 1e-9) << r.in;
    EXPECT_TRUE(std::isnan(gf_wrapLonDeg(NAN)));
    EXPECT_TRUE(std::isnan(gf_wrapDeg360(NAN)));
    EXPECT_TRUE(std::isnan(gf_wrapTwoPi(NAN)));
}

}  // namespace
