#include "core/geo.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

constexpr double kTwoPi = 2 * kPi;

// Reference values from an independent vector computation (atan2 of cross and dot product of the
// unit vectors) on the same sphere, where one degree of arc is exactly 60 nm.
struct Leg {
    const char* name;
    LatLon from, to;
    double distanceNm;
    double bearingRad;
};

const Leg kLegs[] = {
    {"LSZH-EGLL", {47.464722, 8.549167}, {51.4775, -0.461389}, 425.42939318619955, 5.37199167844278},
    {"JFK-LAX", {40.639722, -73.778889}, {33.9425, -118.408056}, 2144.4521072983316, 4.779494083611221},
    {"LAX-JFK", {33.9425, -118.408056}, {40.639722, -73.778889}, 2144.4521072983316, 1.1496596780526338},
    {"NZAA-PHNL over the antimeridian",
     {-37.008056, 174.791667},
     {21.318611, -157.9225},
     3824.9514756933963,
     0.49629408615573967},
    {"YSSY-SCEL", {-33.946111, 151.177222}, {-33.392975, -70.785803}, 6119.1640862576605, 2.534223117163315},
    {"east along the equator", {0, 0}, {0, 90}, 5400, kPi / 2},
    {"west along the equator", {0, 0}, {0, -90}, 5400, 3 * kPi / 2},
    {"due south", {0, 0}, {-10, 0}, 600, kPi},
    {"due north", {0, 0}, {90, 0}, 5400, 0},
    {"across the antimeridian eastwards", {0, 179.5}, {0, -179.5}, 60, kPi / 2},
    {"across the antimeridian westwards", {0, -179.5}, {0, 179.5}, 60, 3 * kPi / 2},
    {"over the north pole", {89, 0}, {89, 180}, 120, 0},
    {"from the north pole", {90, 0}, {80, 0}, 600, kPi},
};

TEST(Geo, KnownDistancesAndBearings) {
    for (const Leg& leg : kLegs) {
        SCOPED_TRACE(leg.name);
        EXPECT_NEAR(gf_haversineNm(leg.from, leg.to), leg.distanceNm, leg.distanceNm * 1e-6);
        const double b = gf_bearingRad(leg.from, leg.to);
        EXPECT_NEAR(b, leg.bearingRad, 1e-6);
        EXPECT_GE(b, 0.0);
        EXPECT_LT(b, kTwoPi);
    }
}

TEST(Geo, AntipodalPointsGiveHalfTheCircumference) {
    const struct {
        LatLon a, b;
    } rows[] = {{{0, 0}, {0, 180}},
                {{90, 0}, {-90, 0}},
                {{10, 20}, {-10, -160}},
                {{-33.9, 151.2}, {33.9, -28.8}},
                {{45, 0.1}, {-45, -179.9}}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.a.lat << "," << r.a.lon);
        const double d = gf_haversineNm(r.a, r.b);
        ASSERT_FALSE(std::isnan(d));
        EXPECT_NEAR(d, 10800.0, 10800.0 * 1e-6);
    }
    EXPECT_EQ(gf_haversineNm({47.5, 8.5}, {47.5, 8.5}), 0.0);
}

TEST(Geo, BearingJustWestOfNorthStaysBelowTwoPi) {
    // atan2 gives a negative angle so small that adding 2 pi rounds it to 2 pi itself.
    const double b = gf_bearingRad({0, 0}, {10, -1e-300});
    EXPECT_GE(b, 0.0);
    EXPECT_LT(b, kTwoPi);
}

TEST(Geo, DestinationPoints) {
    const double ftPerDeg = 60 * kFeetPerNm;
    const struct {
        const char* name;
        LatLon start;
        double bearingRad, distanceFt;
        LatLon expected;
    } rows[] = {
        {"north one degree", {10, 20}, 0, ftPerDeg, {11, 20}},
        {"east along the equator", {0, 10}, kPi / 2, 5 * ftPerDeg, {0, 15}},
        {"east over the antimeridian", {0, 179.9}, kPi / 2, 0.2 * ftPerDeg, {0, -179.9}},
        {"west over the antimeridian", {0, -179.9}, 3 * kPi / 2, 0.3 * ftPerDeg, {0, 179.8}},
        {"over the north pole", {89, 0}, 0, 2 * ftPerDeg, {89, 180}},
        {"nowhere", {51.5, -0.46}, 1.0, 0, {51.5, -0.46}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const LatLon p = gf_destinationPoint(r.start, r.bearingRad, r.distanceFt);
        // Compared by distance: at the pole 180 and -180 are the same meridian.
        EXPECT_NEAR(gf_haversineNm(p, r.expected), 0.0, 1e-6);
        EXPECT_GE(p.lon, -180.0);
        EXPECT_LE(p.lon, 180.0);
    }
}

TEST(Geo, DestinationRoundTripsDistanceAndBearing) {
    for (const Leg& leg : kLegs) {
        if (std::fabs(leg.from.lat) == 90) continue;  // at a pole a bearing names no meridian
        SCOPED_TRACE(leg.name);
        const double d = gf_haversineNm(leg.from, leg.to);
        const LatLon p = gf_destinationPoint(leg.from, gf_bearingRad(leg.from, leg.to), gf_nmToFeet(d));
        EXPECT_NEAR(gf_haversineNm(p, leg.to), 0.0, 1e-6);
    }
}

TEST(Geo, PositionSetThreshold) {
    const struct {
        LatLon p;
        bool set;
    } rows[] = {{{0, 0}, false},       {{0.0001, -0.0001}, false}, {{0.00011, 0}, true},
                {{0, -0.00011}, true}, {{-47.5, 0}, true},         {{0, 179.9}, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.p.lat << "," << r.p.lon);
        EXPECT_EQ(gf_isPositionSet(r.p), r.set);
    }
}

}  // namespace

namespace {

TEST(GeoWrapTest, FoldsIntoTheirHalfOpenRanges) {
    struct Row {
        double in, out;
    };
    const Row lons[] = {{0, 0}, {180, -180}, {-180, -180}, {540, -180}, {-190, 170}, {359.5, -0.5}};
    for (const Row& r : lons) {
        SCOPED_TRACE(r.in);
        EXPECT_NEAR(gf_wrapLonDeg(r.in), r.out, 1e-9);
    }
    const Row angles[] = {{0, 0},
                          {2 * kPi, 0},
                          {-kPi / 2, 1.5 * kPi},
                          {2.5 * kPi, 0.5 * kPi},
                          {-1e-18, 0}};  // plus 2 pi would round to 2 pi itself
    for (const Row& r : angles) {
        SCOPED_TRACE(r.in);
        const double a = gf_wrapTwoPi(r.in);
        EXPECT_LT(a, 2 * kPi);
        EXPECT_NEAR(a, r.out, 1e-12);
    }
    EXPECT_TRUE(std::isnan(gf_wrapLonDeg(NAN)));
    EXPECT_TRUE(std::isnan(gf_wrapTwoPi(NAN)));
}

}  // namespace
