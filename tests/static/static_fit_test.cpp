#include "static/static_fit.h"

#include "core/random.h"
#include "static_fixture.h"

namespace {

using StaticFitTest = StaticTest;

// The option of the fitted static standing on the stand comes first only when it qualifies at
// this weekday, half-hour and mode; otherwise one of the qualifying options is planned.
TEST_F(StaticFitTest, TheStandingStaticKeepsItsStandOnlyWithAQualifyingOption) {
    struct Row {
        uint32_t standingDay;
        int standingSlot;
        uint32_t standingReal;
        bool keeps;
    };
    const Row rows[] = {{1, 20, 1, true}, {2, 20, 1, false}, {1, 21, 1, false}, {1, 20, 0, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("{} {} {}", r.standingDay, r.standingSlot, r.standingReal));
        for (uint64_t seed = 1; seed <= 8; ++seed) {  // the shuffle must not decide it
            g_stands.clear();
            g_ptList.clear();
            tst_addStands({{"A1", 0, 0, 30}});
            g_stands[0].options = {
                opt("BAW1", "", "A320", "G-A1", tst_bits({20}), 1),
                opt("DLH1", "", "B738", "D-A1", tst_bits({r.standingSlot}), 2, r.standingDay, r.standingReal),
                opt("BAW2", "", "A320", "G-A2", tst_bits({20}), 3)};
            g_staticAircraft = {staticOn(1, 5, "DLH1", "B738", "D-A1", g_currentSlot)};
            // As a full renewal does: queued for removal, the stand is planned anew.
            g_staticRemovalQueue.clear();
            gf_queueStaticRemoval(g_staticAircraft[0]);
            gf_seedRandom(seed);
            std::vector<PtEntry> results;
            lf_searchStands(g_currentSlot, kFitReal, 0, results);
            ASSERT_EQ(results.size(), 1u);
            if (r.keeps)
                EXPECT_EQ(results[0].callsign, "DLH1");
            else
                EXPECT_NE(results[0].callsign, "DLH1");
        }
    }
}

// After the last half-hour of the day the aircraft goes on when the next day's option of the
// same airline and type holds half-hour 0, unless the presence test took that option out.
TEST_F(StaticFitTest, TheNextDaysOptionCountsOnlyWhileItTakesPart) {
    tst_addStands({{"A1", 0, 0, 30}});
    g_stands[0].options = {opt("DLH1", "DLH2", "B738", "D-A1", tst_bits({47}), 1, 1),
                           opt("DLH3", "", "B738", "D-A3", tst_bits({0}), 2, 2)};
    const uint64_t lastHalfHour = tst_at(1, 47);
    EXPECT_TRUE(gf_optionGoesOn(g_stands[0], g_stands[0].options[0], lastHalfHour));
    g_stands[0].options[1].fitExcluded = true;
    EXPECT_FALSE(gf_optionGoesOn(g_stands[0], g_stands[0].options[0], lastHalfHour));
}

}  // namespace
