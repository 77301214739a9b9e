#include "static/static_fit.h"

#include <functional>

#include "core/log.h"
#include "shell/run_thread.h"
#include "static_fixture.h"

namespace {

using StaticFitTest = StaticTest;

TEST_F(StaticFitTest, WantedCountFollowsStandsPercentageAndMaximum) {
    struct Row {
        int stands, custom, percentage, maxSel;
        int64_t wanted;
        int shownPercent;
    };
    const Row rows[] = {
        {2, -1, 40, 500, 1, 50}, {4, -1, 40, 500, 2, 50}, {10, -1, 45, 3, 3, 30},
        {4, 0, 50, 500, 0, 0},   {1, -1, 0, 500, 1, 100}, {6, -1, 50, 0, 0, 50},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.stands * 1000 + r.percentage);
        g_stands.clear();
        for (int i = 0; i < r.stands; ++i) tst_addStands({{"S", 0, 100.0 * i, 20}});
        CUSTOM_PARKING_PERCENTAGE.set(r.custom);
        parking_percentage.set(r.percentage);
        MAX_PARK_SEL.set(r.maxSel);
        EXPECT_EQ(lf_wantedParkedCount(), r.wanted);
        EXPECT_EQ(gf_windowStats().wantedCount, r.wanted);
        EXPECT_EQ(gf_windowStats().wantedPercent, r.shownPercent);
    }
}

// Real observations first, walking back over midnight into Sunday, then soft ones; an aircraft
// already planned is left out without losing its option's number; helipads only with helicopters.
TEST_F(StaticFitTest, RealThenSoftPlanOnASmallAirport) {
    tst_addStands({{"A1", 0, 0, 30},
                   {"A2", 0, 100, 30},
                   {"A3", 0, 200, 30},
                   {"A4", 0, 300, 30},
                   {"A5", 0, 400, 30},
                   {"H1", 0, 500, 10, false, false, true}});
    g_stands[0].options = {opt("DLH100", "DLH101", "B738", "D-A1", tst_bits({20, 21}), 1),
                           opt("BAW1", "", "A320", "G-A1", tst_bits({18}), 2)};
    g_stands[1].options = {opt("DLH200", "DLH201", "B738", "D-A2", tst_bits({20}), 1)};
    g_stands[2].options = {opt("BAW9", "", "A320", "G-A3", tst_bits({46}), 1, 7)};
    g_stands[3].options = {opt("EZY4", "", "A320", "HB-A4", tst_bits({19}), 1, 1, 0)};
    g_stands[4].options = {opt("DLH500", "", "B738", "D-A1", tst_bits({20}), 4)};
    g_stands[5].options = {opt("REGA1", "", "EC35", "HB-ZRA", tst_bits({20}), 1)};
    HELICOPTERS.set(false);
    gf_setLogCapture(true);

    lf_fitRealThenSoft(g_currentSlot, 6, 0);

    EXPECT_EQ(plan(),
              (std::vector<std::string>{"A1 DLH100 0 1", "A2 DLH200 0 0", "A3 BAW9 22 1", "A4 EZY4 1 1"}));
    EXPECT_TRUE(g_stands[4].options[0].fitExcluded);
    EXPECT_EQ(g_stands[4].options[0].index, 4u) << "the number stays for the learned file";
    EXPECT_FALSE(g_stands[4].taken);
    EXPECT_FALSE(g_stands[5].taken);
    EXPECT_EQ(g_fitRealOffset, 48);
    EXPECT_EQ(g_fitSoftOffset, 48);
    EXPECT_NE(gf_capturedLog().find(
                  "3 real positions found, Max fit=24 hours, day 1, hh:20 or 10.5 hrs, fit: 24.5 hour"),
              std::string::npos);
    EXPECT_NE(gf_capturedLog().find("1 soft position found"), std::string::npos);
}

// MAX_FIT 0: one pass at the current half-hour; nothing found, nothing logged.
TEST_F(StaticFitTest, NoOffsetsBeyondMaxFit) {
    tst_addStands({{"A1", 0, 0, 30}});
    g_stands[0].options = {opt("DLH1", "", "B738", "D-A", tst_bits({19}), 1)};
    MAX_FIT.set(0);
    EXPECT_FALSE(lf_fitStands(g_currentSlot, kFitReal, 1, g_ptList));
    EXPECT_EQ(g_fitRealOffset, 1);
    EXPECT_EQ(newLog().find("position"), std::string::npos);
}

TEST_F(StaticFitTest, ActiveStaticOnANeighbourKeepsWideWingsOut) {
    struct Row {
        uint32_t lifeState;
        size_t planned;
    };
    for (const Row r : {Row{active, 0}, Row{adding2sim, 1}}) {
        SCOPED_TRACE(r.lifeState);
        gf_resetShell();
        tst_addStands({{"B1", 0, 0, 30}, {"B2", 0, 40, 30}});
        g_stands[1].options = {opt("DLH7", "", "B738", "D-B7", tst_bits({20}), 1)};
        g_staticAircraft.push_back(staticOn(1, 5, "DLH8", "B744", "D-B8", g_currentSlot));
        g_staticAircraft.back().lifeState = r.lifeState;
        lf_searchStands(g_currentSlot, kFitReal, 0, g_ptList);
        EXPECT_EQ(g_ptList.size(), r.planned);
    }
}

// Each rule of the presence test on its own; empty texts name nobody.
TEST_F(StaticFitTest, PresenceRules) {
    tst_addStands({{"A1", 0, 0, 30}});
    const StandOption o = opt("DLH5", "", "B738", "", tst_bits({20}), 1);
    const StandOption withReg = opt("DLH5", "DLH6", "B738", "D-X", tst_bits({20}), 1);
    // A static aircraft flying as callsign (spawn callsign "X"), from parked traffic or the fit.
    auto addStatic = [this](std::string callsign, std::string reg, uint32_t noSource,
                            std::string spawn = "X") {
        g_staticAircraft.push_back(staticOn(1, 3, std::move(callsign), "B738", std::move(reg), 0, noSource));
        g_staticAircraft.back().spawnCallsign = std::move(spawn);
    };
    auto plan = [](std::string callsign, std::string reg) {
        g_ptList.push_back({0, 1, 1, 0, "DLH", "B738", std::move(callsign), "", std::move(reg), 1});
    };
    struct Row {
        const char* rule;
        std::function<void()> arrange;
        const StandOption& option;
        bool present;
    };
    const Row rows[] = {
        {"planned registration", [&] { plan("DLH9", "D-X"); }, withReg, true},
        {"live callsign with underscore", [] { g_liveCallsigns.insert("DLH5_"); }, o, true},
        {"static spawn callsign is the second", [&] { addStatic("DLH7", "D-Z", 1, "DLH6"); }, withReg, true},
        {"planned callsign", [&] { plan("DLH5", "D-Q"); }, o, true},
        {"live on a stand",
         [] {
             g_liveOnStand.push_back({"DLH5", 1, 3});
         },
         o, true},
        {"static from parked traffic", [&] { addStatic("DLH5", "D-Z", 0); }, o, true},
        {"same static from the fit", [&] { addStatic("DLH5", "D-Z", 1); }, o, false},
        {"empty texts",
         [&] {
             addStatic("", "", 0, "");
             plan("", "");
             g_liveOnStand.push_back({"", 1, 0});
         },
         o, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.rule);
        g_ptList.clear();
        g_staticAircraft.clear();
        g_liveOnStand.clear();
        g_liveCallsigns.clear();
        r.arrange();
        EXPECT_EQ(lf_isAircraftPresent(r.option), r.present);
    }
}

// After Sunday's last half-hour the stay goes on when Monday's option of the aircraft starts at 0.
TEST_F(StaticFitTest, StayGoesOnOverMidnight) {
    tst_addStands({{"A1", 0, 0, 30}});
    for (const bool goesOn : {true, false}) {
        g_stands[0].options = {opt("DLH1", "DLH2", "B738", "D-A", tst_bits({47}), 1, 7),
                               opt("DLH3", "", "B738", "D-B", tst_bits({goesOn ? 0 : 1}), 2)};
        EXPECT_EQ(gf_optionGoesOn(g_stands[0], g_stands[0].options[0], tst_at(7, 47)), goesOn);
    }
}

}  // namespace
