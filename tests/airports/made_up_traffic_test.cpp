#include "airports/made_up_traffic.h"

#include "airports/apf_fixture.h"
#include "core/random.h"
#include "core/slots.h"
#include "support/stand_builders.h"

namespace {

using MadeUpTrafficTest = ApfTest;

TEST_F(MadeUpTrafficTest, SizeTestAroundTheStepEdges) {
    // Half spans: C172 5.5 m (small step 14 m), B77W 32.4 m (large step 21 m).
    struct Row {
        const char* type;
        double radiusM;
        bool fits;
    } rows[] = {
        {"C172", 5.5 - 1.7, true}, {"C172", 5.5 - 1.9, false}, {"C172", 5.5 + 6.5, true},
        {"C172", 5.5 + 7.5, false}, {"B77W", 32.4 + 10, true},  {"B77W", 32.4 + 11, false},
        {"B77W", 32.4 - 1.7, true}, {"B77W", 32.4 - 1.9, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("{} {}", r.type, r.radiusM));
        Stand s("S", {}, 1, 1, 0, r.radiusM, false, false, false);
        EXPECT_EQ(gf_typeFitsStandSize(s, gf_halfWingspan(r.type)), r.fits);
    }
}

TEST_F(MadeUpTrafficTest, OneInventedSoftOptionPerStandThatSomethingFits) {
    // Monday 14:00 UTC: slot 28.
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733752800)); });
    gf_seedRandom(1);
    tst_addStands({{"H", 0, 0, 3, false, false, true},      // helipad: any size
                   {"C", 100, 0, 3, true},                  // cargo, too small for every freighter
                   {"R", 200, 0, 3},                        // too small for the European row
                   {"G", 300, 0, 6, false, true}},          // ramp: private aircraft
                  false);
    g_stands[0].options.emplace_back("", "", "X", "Y", "Z", 1, 4, 1, 1, 1);
    lf_addFakeParkedTraffic("EDDF", g_stands);
    struct Row {
        size_t stand;
        const char* airline;
        const char* type;
        const char* callsign;
        uint32_t index;
    } rows[] = {{0, "PVT", "EC35", "FAKE1", 5}, {3, "PVT", nullptr, "FAKE2", 1}};
    EXPECT_TRUE(g_stands[1].options.empty() && g_stands[2].options.empty());
    for (const Row& r : rows) {
        SCOPED_TRACE(r.callsign);
        const StandOption& o = g_stands[r.stand].options.back();
        EXPECT_EQ(std::tie(o.airline, o.callsign, o.callsign2), std::make_tuple(r.airline, r.callsign, ""));
        if (r.type) EXPECT_EQ(o.type, r.type);
        EXPECT_EQ(o.reg, std::string("REG") + r.callsign);
        EXPECT_EQ(std::tie(o.hh, o.day, o.index, o.origin, o.real, o.invented),
                  std::make_tuple(1ull << 28, 1u, r.index, 1u, 0u, true));
    }
}

TEST_F(MadeUpTrafficTest, RegionRowsPickOnlyTypesThatFit) {
    gf_seedRandom(3);
    tst_addStands({{"E", 0, 0, 35.8 / 2 + 3}, {"K", 100, 0, 64.8 / 2 + 3}, {"L", 200, 0, 1}}, false);
    lf_addFakeParkedTraffic("EDDF", g_stands);
    // Of the European row only A320, B738 and their like of 17.9 m half span fit 20.9 m.
    EXPECT_TRUE(g_stands[0].options.at(0).type == "A320" || g_stands[0].options.at(0).type == "B738");
    EXPECT_TRUE(g_stands[2].options.empty());
    lf_addFakeParkedTraffic("KJFK", g_stands);
    EXPECT_EQ(g_stands[1].options.size(), 2u);
    EXPECT_EQ(g_stands[1].options.at(1).type, "B77W");
    EXPECT_EQ(g_stands[1].options.at(1).callsign, "FAKE2");
    lf_addFakeParkedTraffic("LSZH", g_stands);  // no row for L: (ZZZ, B738) whatever the size
    EXPECT_EQ(g_stands[2].options.at(0).type, "B738");
    EXPECT_EQ(g_stands[2].options.at(0).callsign, "FAKE3");
    EXPECT_EQ(g_stands[1].options.at(0).type, "B77W");  // the only European type of that size
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(-10)); });
    EXPECT_THROW(lf_addFakeParkedTraffic("KJFK", g_stands), std::out_of_range);
}

}  // namespace
