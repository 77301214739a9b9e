// Neighbours of stands that lie east and west of each other: numbering skips pairs by their
// longitudes before the full distance, and must find exactly the pairs the full distance finds.
#include <random>

#include <gtest/gtest.h>

#include "airports/stand.h"
#include "core/geo.h"

namespace {

struct Place {
    double lat, lon, radiusM;
};

// The neighbour rule over every pair, as the reference.
std::vector<std::vector<uint32_t>> tst_allPairs() {
    std::vector<std::vector<uint32_t>> lists(g_stands.size());
    for (size_t i = 0; i < g_stands.size(); ++i)
        for (size_t j = 0; j < g_stands.size(); ++j)
            if (i != j && 1.1 * gf_haversineNm(g_stands[i].position(), g_stands[j].position()) <
                              g_stands[i].radius + g_stands[j].radius)
                lists[i].push_back(static_cast<uint32_t>(j + 1));
    return lists;
}

void tst_expectLikeAllPairs(const std::vector<Place>& places) {
    gf_clearStands();
    for (const Place& p : places)
        g_stands.emplace_back("S", std::vector<StandOption>{}, p.lat, p.lon, 0.0, p.radiusM, false, false, false);
    gf_numberStands();
    const auto expected = tst_allPairs();
    for (size_t i = 0; i < g_stands.size(); ++i)
        EXPECT_EQ(g_stands[i].neighbours, expected[i]) << "stand " << i + 1;
}

TEST(StandNeighboursEastTest, PairsAlongAParallelAreFoundAsByTheFullDistance) {
    constexpr double kDegPerM = 1.0 / 1852.0 / 60.0;
    const struct {
        const char* name;
        std::vector<Place> places;
        bool neighbours;
    } rows[] = {
        {"40 m apart at the equator, radii 20 and 25", {{0, 8, 20}, {0, 8 + 40 * kDegPerM, 25}}, true},
        {"41 m apart at the equator", {{0, 8, 20}, {0, 8 + 41 * kDegPerM, 25}}, false},
        {"40 m apart at 80 north", {{80, 8, 20}, {80, 8 + 40 * kDegPerM / std::cos(gf_degToRad(80)), 25}}, true},
        {"either side of the date line", {{10, 179.99995, 20}, {10, -179.99995, 20}}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        tst_expectLikeAllPairs(row.places);
        EXPECT_EQ(g_stands[0].neighbours.size(), row.neighbours ? 1u : 0u);
    }
}

TEST(StandNeighboursEastTest, AScatteredApronMatchesEveryPairChecked) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> metres(0, 600), radius(5, 45);
    for (double lat : {0.0, 47.45, 78.2}) {
        SCOPED_TRACE(lat);
        std::vector<Place> places;
        for (int i = 0; i < 120; ++i)
            places.push_back({lat + metres(random) / 111120.0 / 10,
                              8.5 + metres(random) / 111120.0 / std::cos(gf_degToRad(lat)), radius(random)});
        tst_expectLikeAllPairs(places);
    }
    gf_resetStands();
}

}  // namespace
