#include "static/static_fit.h"

#include "aircraft/type_database.h"
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

// A static standing on a neighbour keeps an option out when their wings would meet; one still
// being created does not, nor one on its way out, nor one on a neighbour far enough away.
TEST_F(StaticFitTest, WingsOfANeighbouringStaticKeepAnOptionOut) {
    struct Row {
        const char* type;  // of the neighbour's static
        uint32_t lifeState;
        bool planned;
        bool queuedForRemoval = false;
    };
    const Row rows[] = {{"B744", active, false},
                        {"B744", adding2sim, true},
                        {"C172", active, true},
                        {"B744", active, true, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("{} {} {}", r.type, r.lifeState, r.queuedForRemoval));
        g_stands.clear();
        g_ptList.clear();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 50, 30}});  // 50 m apart: neighbours
        g_stands[0].options = {opt("DLH1", "", "B738", "D-A1", tst_bits({20}), 1)};
        AircraftRec st = staticOn(2, 5, "DLH2", r.type, "D-A2", g_currentSlot);
        st.lifeState = r.lifeState;
        st.halfWingSpan = gf_halfWingspan(r.type);
        st.standLat = g_stands[1].latitude, st.standLon = g_stands[1].longitude;
        g_staticAircraft = {st};
        g_staticRemovalQueue.clear();
        if (r.queuedForRemoval) gf_queueStaticRemoval(st);
        std::vector<PtEntry> results;
        lf_searchStands(g_currentSlot, kFitReal, 0, results);
        EXPECT_EQ(results.size(), r.planned ? 1u : 0u);
    }
}

// The day and half-hour of every calculation go to the log; the soft mark shows a soft fit
// that found something.
TEST_F(StaticFitTest, TheDayIsLoggedAndASoftFitMarked) {
    for (const auto& [slot, line] : {std::pair{tst_at(1, 0), "It is day 1 (Mon), 0.5 hours"},
                                     {tst_at(7, 47), "It is day 7 (Sun), 24 hours"},
                                     {gf_packSlot(20, 8), "It is day 8 (???), 10.5 hours"}}) {
        g_currentSlot = slot;
        newLog();
        EXPECT_EQ(lf_logDayAndHour(), slot);
        EXPECT_NE(newLog().find(line), std::string::npos) << line;
    }
    g_currentSlot = tst_at(1, 20);
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}});
    g_stands[0].options = {opt("EZY1", "", "A320", "HB-1", tst_bits({20}), 1, 1, 0)};
    g_stands[1].options = {opt("DLH1", "", "B738", "D-A1", tst_bits({20}), 1)};
    for (const auto& [mode, marked] : {std::pair{kFitSoft, true}, {kFitReal, false}}) {
        std::vector<PtEntry> results;
        lf_fitStands(g_currentSlot, mode, 2, results);
        EXPECT_EQ(gf_windowStats().softMark, marked);
    }
}

// Half-hours of the week over its wrap: Sunday 23:00 is four half-hours before Monday 01:00.
TEST_F(StaticFitTest, HalfHoursCountOverTheWeeksWrap) {
    EXPECT_EQ(gf_slotMinus(tst_at(1, 2), 4), tst_at(7, 46));
    EXPECT_EQ(gf_slotMinus(tst_at(7, 46), -4), tst_at(1, 2));
    EXPECT_EQ(gf_halfHoursSince(tst_at(1, 2), tst_at(7, 46)), 4);
    EXPECT_EQ(gf_halfHoursSince(tst_at(7, 46), tst_at(1, 2)), 332);
}

// One fit's picks are cut to the wanted count less the aircraft already standing (extra); the
// cut picks keep their stands taken.
TEST_F(StaticFitTest, AFitLeavesRoomForTheAircraftAlreadyStanding) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}, {"A4", 0, 300, 30}});
    for (Stand& st : g_stands)
        st.options = {opt("DLH" + st.name, "", "B738", "D-" + st.name, tst_bits({20}), 1)};
    lf_fitParkedTraffic(g_currentSlot, 4, 1, kFitReal);
    EXPECT_EQ(g_ptList.size(), 3u);
    EXPECT_EQ(std::count_if(g_stands.begin(), g_stands.end(), [](const Stand& st) { return st.taken; }), 4);
}

}  // namespace
