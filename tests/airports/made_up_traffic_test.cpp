#include "airports/made_up_traffic.h"

#include <random>

#include "airports/apf_fixture.h"
#include "core/random.h"
#include "support/stand_builders.h"

namespace {

using MadeUpTrafficTest = ApfTest;

TEST_F(MadeUpTrafficTest, SizeTestAroundTheStepEdges) {
    // Half spans: C172 5.5 m (step 14 m), B77W 32.4 m (step 21 m). {type, radius, fits}
    const std::tuple<const char*, double, bool> rows[] = {
        {"C172", 3.8, true},  {"C172", 3.6, false}, {"C172", 12.0, true},  {"C172", 13.0, false},
        {"B77W", 42.4, true}, {"B77W", 43.4, false}, {"B77W", 30.7, true}, {"B77W", 30.5, false}};
    for (const auto& [type, radiusM, fits] : rows) {
        Stand s("S", {}, 1, 1, 0, radiusM, false, false, false);
        EXPECT_EQ(gf_typeFitsStandSize(s, gf_halfWingspan(type)), fits) << type << " " << radiusM;
    }
}

TEST_F(MadeUpTrafficTest, OneInventedSoftOptionPerStandThatSomethingFits) {
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733752800)); });  // Monday 14:00
    gf_seedRandom(1);
    tst_addStands({{"H", 0, 0, 3, false, false, true},  // helipad: any size
                   {"C", 100, 0, 3, true},              // cargo, too small for every freighter
                   {"E", 200, 0, 20.9},                 // A320 or B738 of the European row
                   {"G", 300, 0, 6, false, true},       // ramp: private aircraft
                   {"K", 400, 0, 35.4}},                // B77W alone of the European row
                  false);
    g_stands[0].options.emplace_back("", "", "X", "Y", "Z", 1, 4, 1, 1, 1);
    lf_addFakeParkedTraffic("EDDF", g_stands);
    std::string got;
    for (const Stand& s : g_stands)
        for (const StandOption& o : s.options)
            if (o.invented)
                got += fmt::format("{} {} {} {} {} {} {} {} {}|", s.name, o.airline, o.callsign, o.reg, o.hh == 1ull << 28,
                                   o.day, o.index, o.origin, o.real);
    EXPECT_EQ(got, "H PVT FAKE1 REGFAKE1 true 1 5 1 0|E " + g_stands[2].options.at(0).airline +
                       " FAKE2 REGFAKE2 true 1 1 1 0|G PVT FAKE3 REGFAKE3 true 1 1 1 0|K KLM FAKE4 REGFAKE4 true 1 1 1 0|");
    EXPECT_EQ(g_stands[0].options.back().type + g_stands[4].options.back().type, "EC35B77W");
    EXPECT_TRUE(g_stands[2].options[0].type == "A320" || g_stands[2].options[0].type == "B738");
    lf_addFakeParkedTraffic("LSZH", g_stands);  // no row for L: (ZZZ, B738) on any ordinary stand
    EXPECT_EQ(g_stands[2].options.back().airline + g_stands[2].options.back().type, "ZZZB738");
    g_stands.erase(g_stands.begin() + 1, g_stands.end());
    gf_seedRandom(1);
    lf_addFakeParkedTraffic("EDDF", g_stands);
    EXPECT_EQ(gf_nextRandom(), std::mt19937(1)());  // a single candidate takes no draw
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(-10)); });
    EXPECT_THROW(lf_addFakeParkedTraffic("KJFK", g_stands), std::out_of_range);
}

}  // namespace
