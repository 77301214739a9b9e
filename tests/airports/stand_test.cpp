// Stand numbering, the lookups by id and the copy published for the simulator thread.
#include "airports/stand.h"

#include <random>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "airports/stand_options.h"
#include "core/display.h"
#include "core/log.h"
#include "support/work_folder.h"

namespace {

using StandIdTest = WorkFolderTest;

void tst_place(const char* name, double lat, double lon, double radiusM = 20) {
    g_stands.emplace_back(name, std::vector<StandOption>{}, lat, lon, 0.0, radiusM, false, false, false);
}

// Each stand's neighbours by the rule applied to every pair (1.1 x distance < sum of radii).
std::vector<std::vector<uint32_t>> tst_allPairs() {
    std::vector<std::vector<uint32_t>> lists(g_stands.size());
    for (size_t i = 0; i < g_stands.size(); ++i)
        for (size_t j = 0; j < g_stands.size(); ++j)
            if (i != j && 1.1 * gf_haversineNm(g_stands[i].position(), g_stands[j].position()) <
                              g_stands[i].radius + g_stands[j].radius)
                lists[i].push_back(static_cast<uint32_t>(j + 1));
    return lists;
}

// Crowded aprons of every shape the search cuts into bands and windows: the neighbour lists are
// those of the rule applied to every pair.
TEST_F(StandIdTest, NeighboursOfCrowdedApronsAreThoseOfEveryPair) {
    struct Row {
        const char* name;
        double lat, lon;  // centre
        double spanLatDeg, spanLonDeg;
        double maxRadiusM;
    };
    const Row rows[] = {
        {"equator", 0, 8, 0.004, 0.004, 60},
        {"south, small radii", -33.9, 151.2, 0.002, 0.002, 15},
        {"far north", 78.2, 15.5, 0.003, 0.02, 60},
        {"at the pole", 89.9995, 0, 0.0009, 360, 40},
        {"across the date line", -16.5, 180, 0.004, 0.004, 60},
        {"over 170 degrees of longitude", 64, -5, 0.002, 170, 60},
        {"one band of many longitudes", 10, 100, 0.0003, 0.3, 40},
    };
    std::mt19937 random(2024);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        gf_clearStands();
        std::uniform_real_distribution<double> lat(-r.spanLatDeg / 2, r.spanLatDeg / 2);
        std::uniform_real_distribution<double> lon(-r.spanLonDeg / 2, r.spanLonDeg / 2);
        std::uniform_real_distribution<double> radius(1, r.maxRadiusM);
        for (int i = 0; i < 300; ++i) {
            // Every other stand near the centre, so that a wide apron is crowded there.
            double x = r.lon + (i % 2 ? lon(random) : lon(random) * std::min(1.0, 0.004 / r.spanLonDeg));
            if (x > 180) x -= 360;
            tst_place("S", std::min(90.0, r.lat + lat(random)), x, radius(random));
        }
        // Pairs at the very edge of the rule: 40 m apart (44 m times 1.1) with radii of 22.1 m
        // each, and of 21.9 m.
        const double northDeg = 40.0 / 1852 / 60;
        const double edgeLat = std::min(r.lat, 88.0), edgeLon = std::min(r.lon, 179.0);
        tst_place("E1", edgeLat, edgeLon, 22.1);
        tst_place("E2", edgeLat + northDeg, edgeLon, 22.1);
        tst_place("E3", edgeLat - 1, edgeLon, 21.9);
        tst_place("E4", edgeLat - 1 + northDeg, edgeLon, 21.9);
        const uint32_t e1 = static_cast<uint32_t>(g_stands.size() - 3);
        gf_numberStands();
        const std::vector<std::vector<uint32_t>> expected = tst_allPairs();
        size_t pairs = 0;
        for (size_t i = 0; i < g_stands.size(); ++i) {
            EXPECT_EQ(g_stands[i].neighbours, expected[i]) << "stand " << i + 1;
            pairs += expected[i].size();
        }
        EXPECT_GT(pairs, 10u);  // the apron is crowded
        const auto neighbours = [](uint32_t id, uint32_t other) {
            const std::vector<uint32_t>& list = g_stands[id - 1].neighbours;
            return std::count(list.begin(), list.end(), other) == 1;
        };
        EXPECT_TRUE(neighbours(e1, e1 + 1) && neighbours(e1 + 1, e1));
        EXPECT_FALSE(neighbours(e1 + 2, e1 + 3) || neighbours(e1 + 3, e1 + 2));
    }
}

// Ids are 1..N in list order; a list changed since its numbering is searched; 0 and unknown ids
// find nothing and have names of their own in the log.
TEST_F(StandIdTest, StandsAreFoundByIdAlsoAfterTheListChanged) {
    for (const char* name : {"A", "B", "C"}) tst_place(name, 47, 8 + (name[0] - 'A') * 0.01);
    gf_numberStands();
    using Found = std::tuple<uint32_t, const Stand*, std::string>;
    const auto found = [](uint32_t id) { return Found(id, gf_standById(id), gf_standNameOfId(id)); };
    const Found numbered[] = {{0, nullptr, "sid==0?"},
                              {1, &g_stands[0], "A"},
                              {2, &g_stands[1], "B"},
                              {3, &g_stands[2], "C"},
                              {4, nullptr, "sid==?"}};
    for (const Found& f : numbered) EXPECT_EQ(found(std::get<0>(f)), f);
    g_stands.erase(g_stands.begin());  // B (id 2) and C (id 3) now sit at 0 and 1
    const Found changed[] = {{1, nullptr, "sid==?"}, {2, &g_stands[0], "B"}, {3, &g_stands[1], "C"}};
    for (const Found& f : changed) EXPECT_EQ(found(std::get<0>(f)), f);
}

// Every publication is a new version, the copy holds the names and positions of that moment, and
// a copy taken earlier stays as it was.
TEST_F(StandIdTest, EveryPublicationIsANewVersion) {
    const PublishedStands start = gf_publishedStandsVersioned();
    tst_place("A", 47, 8);
    tst_place("B", 48, 9);
    gf_numberStands();
    const PublishedStands numbered = gf_publishedStandsVersioned();
    EXPECT_GT(numbered.version, start.version);
    ASSERT_EQ(numbered.points->size(), 2u);
    EXPECT_EQ(std::make_tuple(numbered.points->at(1).name, numbered.points->at(1).position.lat,
                              numbered.points->at(1).position.lon),
              std::make_tuple(std::string("B"), 48.0, 9.0));
    EXPECT_EQ(gf_publishedStands(), numbered.points);
    g_stands[1].name = "B2";
    gf_publishStands();
    const PublishedStands renamed = gf_publishedStandsVersioned();
    EXPECT_GT(renamed.version, numbered.version);
    EXPECT_EQ(renamed.points->at(1).name, "B2");
    EXPECT_EQ(numbered.points->at(1).name, "B");
    gf_clearStands();
    const PublishedStands cleared = gf_publishedStandsVersioned();
    EXPECT_GT(cleared.version, renamed.version);
    EXPECT_TRUE(g_stands.empty() && cleared.points->empty());
    tst_place("C", 1, 1);
    gf_publishStands();
    gf_resetStands();
    const PublishedStands reset = gf_publishedStandsVersioned();
    EXPECT_GT(reset.version, cleared.version + 1);
    EXPECT_TRUE(g_stands.empty() && reset.points->empty());
}

// A stay's half-hours go into the option of that number (found by number, not by place); a
// missing option or a half-hour outside the day books nothing more and says so.
TEST_F(StandIdTest, AStaysHalfHoursAreBookedIntoItsOption) {
    struct Row {
        uint32_t index;
        SlotList slots;
        bool booked;
        uint64_t hh;  // of the option numbered 3
        SlotList left;
        const char* log;
    };
    const Row rows[] = {
        {3, {21, 20}, true, (1ull << 40) | (1ull << 20) | (1ull << 21), {}, ""},
        {3, {}, true, 1ull << 40, {}, ""},
        {4, {21, 20}, false, 1ull << 40, {21, 20}, ""},
        {3,
         {48, 47},
         false,
         (1ull << 40) | (1ull << 47),
         {48},
         "===> updateOptions exception:invalid bitset position\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.index);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        std::vector<StandOption> options{
            StandOption("A", "", "DLH", "A320", "D-AIXA", 1, 1, 3, 0, 1),
            StandOption("B", "", "DLH", "A320", "D-AIXB", 1ull << 40, 3, 3, 0, 1)};
        SlotList slots = r.slots;
        EXPECT_EQ(updateOptions(options, slots, r.index), r.booked);
        EXPECT_EQ(std::make_tuple(options[0].hh, options[1].hh, slots, gf_capturedLog()),
                  std::make_tuple(1ull, r.hh, r.left, std::string(r.log)));
    }
}

// Each change of the park airport's options is counted from a fresh start, and the window shows
// the count.
TEST_F(StandIdTest, ParkFileUpdatesAreCountedForTheWindow) {
    for (int32_t expected = 1; expected <= 3; ++expected) {
        gf_countParkFileUpdate();
        EXPECT_EQ(std::make_pair(g_parkFileUpdates, gf_windowStats().parkFileUpdates),
                  std::make_pair(expected, expected));
    }
    gf_resetStandOptions();
    gf_countParkFileUpdate();
    EXPECT_EQ(g_parkFileUpdates, 1);
}

}  // namespace
