#include "airports/made_up_traffic.h"

#include <set>

#include <fmt/format.h>

#include "airports/apf_fixture.h"
#include "core/random.h"
#include "support/stand_builders.h"

namespace {

// Spans of the types the rows below may pick; the ramp's private types other than the C172 are
// left to their category.
constexpr const char* kMadeUpDbase = R"(<dbase><types>
<type icao="EC35" cat="Rotorcraft" span="10.2"/><type icao="C172" cat="Light" span="11"/>
<type icao="C208" cat="Light" span="15.9"/><type icao="B752" cat="Large" span="38"/>
<type icao="B763" cat="Heavy" span="47.6"/><type icao="A306" cat="Heavy" span="44.8"/>
<type icao="A320" cat="Large" span="35.8"/><type icao="B738" cat="Large" span="35.8"/>
<type icao="A21N" cat="Large" span="35.8"/><type icao="B77W" cat="Heavy" span="64.8"/></types></dbase>)";

class MadeUpTrafficTest : public ApfTest {
  protected:
    void SetUp() override {
        ApfTest::SetUp();
        gf_loadTypeDatabaseText(kMadeUpDbase, "dbase.xml");
    }
};

// A stand suits a type whose half span is at most 1.8 m larger than the stand's radius and less
// than half a step smaller: 7 m for half spans up to 17.8 m, 10.5 m above.
TEST_F(MadeUpTrafficTest, ATypeSuitsAStandOfAboutItsSize) {
    struct Row {
        double radiusM, halfSpanM;
        bool fits;
    };
    const Row rows[] = {{17.9, 17.9, true},  {16.1, 17.9, true}, {15.9, 17.9, false}, {24.6, 17.7, true},
                        {24.8, 17.7, false}, {28.3, 17.9, true}, {28.5, 17.9, false}, {5.5, 5.5, true},
                        {12.4, 5.5, true},   {12.6, 5.5, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("radius {} m, half span {} m", r.radiusM, r.halfSpanM));
        Stand stand("S", {}, 0, 0, 0, r.radiusM, false, false, false);
        EXPECT_EQ(gf_typeFitsStandSize(stand, gf_metersToNm(r.halfSpanM)), r.fits);
    }
}

// With PARK_FAKE every stand that a type of its kind suits gets one soft, invented option for
// the current weekday and half-hour (Friday 16:00): helipads a private helicopter of any size,
// cargo stands freighters, ramp stands private aircraft, other stands airliners of the region
// the code's first letter names (E: Europe) or, for an unknown region, a B738 of any size.
// Registrations and callsigns count the stands that got one.
TEST_F(MadeUpTrafficTest, EveryStandATypeSuitsGetsOneInventedOption) {
    const std::set<std::string> europeFor18m = {"SAS A320", "EZY A320", "RYR B738",
                                                "DLH A320", "KLM B738", "BAW A21N"};
    for (uint64_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        gf_seedRandom(seed);
        g_stands.clear();
        tst_addStands({{"H1", 0, 0, 50, false, false, true},
                       {"C1", 100, 0, 8, true},
                       {"C2", 200, 0, 2, true},
                       {"R1", 300, 0, 6, false, true},
                       {"E1", 400, 0, 18},
                       {"E2", 500, 0, 33},
                       {"E3", 600, 0, 50}});
        g_stands[5].options.emplace_back("SWR1", "", "SWR", "B77W", "HB-J", 1, 4, 1, 1, 1);
        lf_addFakeParkedTraffic("EDDF", g_stands);
        std::vector<std::string> made;
        for (const Stand& s : g_stands) {
            for (const StandOption& o : s.options) {
                if (!o.invented) continue;
                EXPECT_EQ(std::make_tuple(o.hh, o.day, o.origin, o.real),
                          std::make_tuple(uint64_t{1} << 32, 5u, 1u, 0u));
                EXPECT_EQ(o.index, s.options.size() == 1 ? 1u : 5u);
                made.push_back(fmt::format("{} {} {} {}", s.name, o.callsign, o.reg, o.airline));
                if (s.name == "E1") EXPECT_TRUE(europeFor18m.contains(o.airline + " " + o.type)) << o.type;
                if (s.name == "E2") EXPECT_EQ(o.airline + " " + o.type, "KLM B77W");
                if (s.name == "H1") EXPECT_EQ(o.type, "EC35");
                if (s.name == "C1") EXPECT_EQ(o.type, "C208");
            }
        }
        EXPECT_EQ(made,
                  (std::vector<std::string>{
                      "H1 FAKE1 REGFAKE1 PVT", "C1 FAKE2 REGFAKE2 FDX", "R1 FAKE3 REGFAKE3 PVT",
                      fmt::format("E1 FAKE4 REGFAKE4 {}", made.at(3).substr(18)), "E2 FAKE5 REGFAKE5 KLM"}));
    }
    g_stands.clear();
    tst_addStands({{"Y1", 0, 0, 50}});
    lf_addFakeParkedTraffic("YBBN", g_stands);
    ASSERT_EQ(g_stands[0].options.size(), 1u);
    EXPECT_EQ(g_stands[0].options[0].airline + " " + g_stands[0].options[0].type, "ZZZ B738");
}

}  // namespace
