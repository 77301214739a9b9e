#include "static/static_fit.h"

#include <functional>

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

// Only a fitted static holds its stand's option first: a static of parked traffic on the stand,
// or a fitted one on another stand, leaves the choice among the options to the shuffle.
TEST_F(StaticFitTest, OnlyTheFittedStaticOnTheStandHoldsItsOption) {
    for (const auto& [onStand, noSource] : {std::pair{1u, 0u}, {2u, 1u}}) {
        SCOPED_TRACE(fmt::format("stand {}, noSource {}", onStand, noSource));
        int held = 0;
        for (uint64_t seed = 1; seed <= 8; ++seed) {
            g_stands.clear();
            g_staticRemovalQueue.clear();
            tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 300, 30}});
            g_stands[0].options = {opt("BAW1", "", "A320", "G-A1", tst_bits({20}), 1),
                                   opt("DLH1", "", "B738", "D-A1", tst_bits({20}), 2),
                                   opt("BAW2", "", "A320", "G-A2", tst_bits({20}), 3)};
            g_staticAircraft = {staticOn(onStand, 5, "DLH1", "B738", "D-A1", g_currentSlot, noSource)};
            gf_queueStaticRemoval(g_staticAircraft[0]);  // so that the presence test lets DLH1 by
            g_stands[1].blocked = true;
            gf_seedRandom(seed);
            std::vector<PtEntry> results;
            lf_searchStands(g_currentSlot, kFitReal, 0, results);
            ASSERT_EQ(results.size(), 1u);
            held += results[0].callsign == "DLH1";
        }
        EXPECT_LT(held, 8);
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
    g_stands[0].options[1].index = 1;  // the first option of the file counts as well
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
    EXPECT_EQ(gf_halfHoursSince(tst_at(3, 9), tst_at(3, 9)), 0);
    // Only weekdays 1..7 and half-hours 0..47 are a time the fit can use.
    for (const auto& [slot, valid] : {std::pair{tst_at(1, 0), true},
                                      {tst_at(7, 47), true},
                                      {gf_packSlot(48, 3), false},
                                      {gf_packSlot(-1, 3), false},
                                      {gf_packSlot(10, 0), false},
                                      {gf_packSlot(10, 8), false}})
        EXPECT_EQ(gf_isValidSlot(slot), valid) << gf_weekdayOf(slot) << " " << gf_slotOf(slot);
}

// The fit looks back from the current half-hour at most MAX_FIT half-hours (none before it at 0,
// also when the setting is below 0; never as far as the same half-hour of the day before) and
// says how far it had to go.
TEST_F(StaticFitTest, TheFitLooksBackAtMostMaxFitHalfHours) {
    struct Row {
        int maxFit;
        std::vector<std::string> plan;
        int offset;
    };
    const Row rows[] = {{-1, {}, 1},
                        {0, {}, 1},
                        {1, {"A1 DLH1 1 1"}, 2},
                        {2, {"A1 DLH1 1 1", "A2 DLH2 2 1"}, 3},
                        {100, {"A1 DLH1 1 1", "A2 DLH2 2 1"}, 48}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.maxFit);
        g_stands.clear();
        g_ptList.clear();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}});
        g_stands[0].options = {opt("DLH1", "", "B738", "D-A1", tst_bits({19}), 1)};
        g_stands[1].options = {opt("DLH2", "", "B738", "D-A2", tst_bits({18}), 1)};
        g_stands[2].options = {opt("DLH3", "", "B738", "D-A3", tst_bits({20}), 1, 7)};  // Sunday
        MAX_FIT.set(r.maxFit);
        lf_fitParkedTraffic(g_currentSlot, 3, 0, kFitReal);
        EXPECT_EQ(plan(), r.plan);
        EXPECT_EQ(g_fitRealOffset, r.offset);
    }
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

// An aircraft already planned, flying live, standing as a static or parked live elsewhere is not
// planned a second time: its option is left out for the rest of the calculation. The aircraft is
// named by either callsign of the option or by its registration; a static on its way out no
// longer holds it, and a name that only begins like the option's is another aircraft.
TEST_F(StaticFitTest, AnAircraftThatIsThereAlreadyIsNotPlannedAgain) {
    struct Row {
        const char* name;
        std::function<void()> setUp;
        bool planned;
    };
    const auto pt = [](std::string cs, std::string reg) {
        PtEntry e;
        e.standId = 9, e.airline = "DLH", e.type = "B738", e.callsign = std::move(cs), e.reg = std::move(reg);
        g_ptList.push_back(e);
    };
    const auto onStand9 = [](std::string spawn, std::string callsign, std::string reg, uint32_t noSource) {
        AircraftRec st = staticOn(9, 5, "XXX9", "B738", std::move(reg), g_currentSlot, noSource);
        st.spawnCallsign = std::move(spawn), st.callsign = std::move(callsign);
        g_staticAircraft.push_back(st);
    };
    const Row rows[] = {
        {"nowhere else", [] {}, true},
        {"planned by registration", [&] { pt("XXX9", "D-A1"); }, false},
        {"planned by its first callsign", [&] { pt("DLH1", "D-X"); }, false},
        {"planned by its second callsign", [&] { pt("DLH2", "D-X"); }, false},
        {"planned under another name", [&] { pt("DLH10", "D-A10"); }, true},
        {"flying live", [] { g_liveCallsigns = {"DLH1"}; }, false},
        {"flying live under the second callsign", [] { g_liveCallsigns = {"DLH2_"}; }, false},
        {"flying live under a longer callsign", [] { g_liveCallsigns = {"DLH12"}; }, true},
        {"a fitted static of the first callsign", [&] { onStand9("DLH1", "DLH1*", "D-X", 1); }, false},
        {"a fitted static of the second callsign", [&] { onStand9("DLH2", "DLH2*", "D-X", 1); }, false},
        {"a fitted static of the registration", [&] { onStand9("XXX9", "XXX9*", "D-A1", 1); }, false},
        {"a static from parked traffic, first callsign", [&] { onStand9("", "DLH1*", "D-X", 0); }, false},
        {"a static from parked traffic, second callsign", [&] { onStand9("", "DLH2*", "D-X", 0); }, false},
        {"a static of the registration on its way out",
         [&] {
             onStand9("DLH1", "DLH1*", "D-A1", 1);
             gf_queueStaticRemoval(g_staticAircraft.back());
         },
         true},
        {"parked live on another stand",
         [] {
             g_liveOnStand = {{"DLH1", 9, 30}};
         },
         false},
        {"parked live under the second callsign",
         [] {
             g_liveOnStand = {{"DLH2", 9, 30}};
         },
         false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        g_stands.clear();
        g_ptList.clear();
        g_staticAircraft.clear();
        g_staticRemovalQueue.clear();
        g_liveCallsigns.clear();
        g_liveOnStand.clear();
        tst_addStands({{"A1", 0, 0, 30}});
        g_stands[0].options = {opt("DLH1", "DLH2", "B738", "D-A1", tst_bits({20}), 1)};
        r.setUp();
        EXPECT_EQ(lf_isAircraftPresent(g_stands[0].options[0]), !r.planned);
        std::vector<PtEntry> results;
        lf_searchStands(g_currentSlot, kFitReal, 0, results);
        EXPECT_EQ(results.size(), r.planned ? 1u : 0u);
        EXPECT_EQ(g_stands[0].taken, r.planned);
        EXPECT_EQ(g_stands[0].options[0].fitExcluded, !r.planned);
    }
}

// The fit's own index of who is where ends with the fit: a presence test after it sees the
// aircraft as they stand now, not as they stood when the fit began.
TEST_F(StaticFitTest, APresenceTestAfterAFitSeesTheAircraftAsTheyAreNow) {
    tst_addStands({{"A1", 0, 0, 30}});
    g_stands[0].options = {opt("DLH1", "DLH2", "B738", "D-A1", tst_bits({20}), 1)};
    const StandOption swr = opt("SWR1", "SWR2", "A320", "HB-A1", tst_bits({20}), 2);
    std::vector<PtEntry> results;
    lf_fitStands(g_currentSlot, kFitReal, 1, results);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(lf_isAircraftPresent(swr));
    g_liveOnStand = {{"SWR1", 7, 30}};
    EXPECT_TRUE(lf_isAircraftPresent(swr)) << "parked live since the fit";
    g_liveOnStand.clear();
    g_ptList.push_back(results.front());
    EXPECT_TRUE(lf_isAircraftPresent(g_stands[0].options[0])) << "planned since the fit";
}

// The wanted number of statics: the percentage of the stands, rounded, but at least one on an
// airport of up to three stands unless the percentage is under 50, at most MAX_PARK_SEL, none
// with MAX_PARK_SEL off; the window shows it with its share of the stands.
TEST_F(StaticFitTest, TheWantedCountFollowsThePercentageAndMaxPark) {
    struct Row {
        int stands, custom, percentage, maxPark;
        int64_t wanted;
        int shownPercent;
    };
    const Row rows[] = {{1, 100, 50, 50, 1, 100}, {1, 10, 50, 50, 1, 100}, {2, 10, 50, 50, 1, 50},
                        {3, 60, 50, 50, 2, 67},   {3, 40, 50, 50, 1, 33},  {4, 40, 50, 50, 2, 50},
                        {4, 10, 50, 50, 0, 0},    {5, 50, 50, 50, 3, 60},  {10, 20, 50, 50, 2, 20},
                        {10, -1, 30, 50, 3, 30},  {10, 100, 50, 6, 6, 60}, {10, 100, 50, 0, 0, 50},
                        {10, 100, 50, 1, 1, 10}};
    for (const Row& r : rows) {
        SCOPED_TRACE(
            fmt::format("{} stands, {}% ({}%), max {}", r.stands, r.custom, r.percentage, r.maxPark));
        g_stands.clear();
        static const char* const kNames[] = {"A0", "A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8", "A9"};
        for (int i = 0; i < r.stands; ++i) tst_addStands({{kNames[i], 0, 100.0 * i, 30}});
        ASSERT_EQ(g_stands.size(), static_cast<size_t>(r.stands));
        CUSTOM_PARKING_PERCENTAGE.set(r.custom);
        parking_percentage.set(r.percentage);
        MAX_PARK_SEL.set(r.maxPark);
        gf_setParkSite({"EDDF", {}, "", false, -5});
        EXPECT_EQ(lf_wantedParkedCount(), r.wanted);
        EXPECT_EQ(gf_windowStats().wantedCount, r.wanted);
        EXPECT_EQ(gf_windowStats().wantedPercent, r.shownPercent);
        EXPECT_EQ(gf_parkSite().wantedParked, r.wanted) << "max park reads it there";
    }
    // Without a park airport there is no site to carry the count for max park.
    gf_setParkSite({});
    EXPECT_EQ(lf_wantedParkedCount(), 1);
    EXPECT_EQ(gf_parkSite().wantedParked, 0);
}
