#include "static/static_renewal.h"

#include <algorithm>

#include <fmt/format.h>

#include "core/clock.h"
#include "feed/feed_state.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "shell/run_thread.h"
#include "static_fixture.h"

namespace {

using StaticRenewalTest = StaticTest;

std::vector<uint32_t> tst_removeQueue() {
    return {g_removeDeque.begin(), g_removeDeque.end()};
}

// At Monday 01:00 the window of the last fit reaches back into Sunday's options only when it
// is wider than the half-hours of Monday.
TEST_F(StaticRenewalTest, KeepsWhatStillFitsAcrossTheWeeksWrap) {
    struct Row {
        int window, sundaySlot;
        bool kept;
    };
    for (const Row r : {Row{5, 46, true}, Row{5, 40, false}, Row{2, 47, false}}) {
        SCOPED_TRACE(r.sundaySlot * 100 + r.window);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}});
        g_stands[0].options = {opt("DLH1", "", "B738", "D-A", tst_bits({r.sundaySlot}), 1, 7)};
        g_staticAircraft.push_back(staticOn(1, 5, "DLH1", "B738", "D-A", tst_at(7, r.sundaySlot)));
        g_fitRealOffset = r.window;
        lf_diffStaticAgainstFit(tst_at(1, 2));
        EXPECT_EQ(g_staticCheckList.size(), r.kept ? 1u : 0u);
        EXPECT_EQ(g_staticRemovalQueue.size(), r.kept ? 0u : 1u);
    }
}

// Phase 2 after phase 1: a static whose second leg flies live is removed and its aircraft not
// planned again; a full renewal removes every fitted static once and plans the stands anew,
// except the reserved one.
TEST_F(StaticRenewalTest, PhaseTwoRemovesLiveFlightsOrEverythingWhenFull) {
    struct Row {
        bool full;
        std::vector<uint32_t> removed;
        std::vector<std::string> planned;
        size_t kept;
    };
    const Row rows[] = {{false, {705}, {}, 1}, {true, {705, 706}, {"A1 DLH1 0 0"}, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.full);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}});
        g_stands[0].options = {opt("DLH1", "DLH2", "B738", "D-A", tst_bits({20}), 1)};
        g_stands[1].options = {opt("BAW1", "", "A320", "G-A", tst_bits({20}), 1)};
        g_staticAircraft = {staticOn(1, 5, "DLH1", "B738", "D-A", g_currentSlot),
                            staticOn(2, 6, "BAW1", "A320", "G-A", g_currentSlot)};
        g_staticAircraft[0].coupledCallsign = "DLH2";
        ParkSite site;
        site.reservedStand = "A2";
        gf_setParkSite(site);
        gf_startRenewal();
        if (!r.full) gf_gatherCallsign("DLH2", 0x3c0001);
        newLog();
        ASSERT_TRUE(gf_adjustParking(r.full));
        EXPECT_EQ(tst_removeQueue(), r.removed);
        std::vector<std::string> planned = plan();
        std::sort(planned.begin(), planned.end());
        EXPECT_EQ(planned, r.planned);
        EXPECT_EQ(g_staticCheckList.size(), r.kept);
        EXPECT_EQ(g_staticAircraft[1].lifeState, r.full ? removingfromsim : active);
        EXPECT_NE(newLog().find(fmt::format("Parking adjustments: {} to be removed, {} to be added",
                                            r.removed.size(), r.planned.size())),
                  std::string::npos);
    }
}

// More live parked aircraft than wanted: the longest parked leaves before anything is planned.
TEST_F(StaticRenewalTest, LiveParkedBeyondWantedLeaveLongestFirst) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}});
    CUSTOM_PARKING_PERCENTAGE.set(50);
    g_liveRecords = {liveParkedOn(1, 30001, "SWR1", "B738"), liveParkedOn(2, 30002, "SWR2", "B738")};
    g_liveRecords[1].steadySince = gf_clock100ns();
    g_liveRecords[0].steadySince = g_liveRecords[1].steadySince - 600'000'000;  // a minute longer
    ASSERT_TRUE(gf_adjustParking(false));
    EXPECT_EQ(g_liveRecords[0].lifeState, removingfromsim);
    EXPECT_EQ(g_liveRecords[1].lifeState, active);
    EXPECT_NE(newLog().find("Parking adjustments: 1 more live ac than wanted"), std::string::npos);
}

// Statics from parked traffic in the renewal: one whose record moved to another stand, and one
// whose real aircraft flies live, are removed; the moved record is planned on its new stand.
TEST_F(StaticRenewalTest, ParkedTrafficStaticsFollowTheirRecords) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}});
    g_staticAircraft = {staticOn(1, 5, "BAW3", "A320", "G-B", g_currentSlot, 0),
                        staticOn(3, 6, "EZY4", "A320", "G-E", g_currentSlot, 0)};
    g_staticAircraft[1].sourceHexid = 0x400002;
    g_liveHexids.insert(0x400002);
    lf_addNewPtPositions(
        {{"BAW", "A320", "BAW3", "G-B", g_stands[1].latitude, g_stands[1].longitude, 0x400001, 1, ""}});
    EXPECT_EQ(plan(), std::vector<std::string>{"A2 BAW3 1 1"});
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
    EXPECT_EQ(g_staticAircraft[1].lifeState, removingfromsim);
    EXPECT_EQ(g_staticRemovalQueue.size(), 2u);
}

TEST_F(StaticRenewalTest, TrimDropsPlansThenKeptStaticsThenLiveOnlyWithAWantedCount) {
    struct Row {
        int64_t wanted;
        size_t liveLeft;
        size_t removedStatics;
    };
    for (const Row r : {Row{0, 2, 1}, Row{1, 1, 1}, Row{3, 2, 0}}) {
        SCOPED_TRACE(r.wanted);
        gf_resetShell();
        g_liveOnStand = {{"SWR1", 1, 10}, {"SWR2", 2, 50}};
        g_liveRecords.push_back(liveParkedOn(1, 30001, "SWR1", "B738"));
        g_liveRecords.push_back(liveParkedOn(2, 30002, "SWR2", "B738"));
        g_staticCheckList = {{"DLH1*", "DLH1", "", "D-A", "DLH", "B738", 0, 3, 5, 0}};
        g_ptList = {{0, 1, 4, 0, "DLH", "B738", "DLH4", "", "D-B", 1}};
        lf_trimToWanted(r.wanted);
        EXPECT_TRUE(g_ptList.empty());
        EXPECT_EQ(g_staticRemovalQueue.size(), r.removedStatics);
        EXPECT_EQ(static_cast<size_t>(gf_countActiveLive()), r.liveLeft);
    }
}

// A kept aircraft whose first leg ends with this half-hour is placed again with its second
// callsign on the same stand; it keeps the half-hour it parked in.
TEST_F(StaticRenewalTest, DepartureSwitchesToTheSecondCallsign) {
    tst_addStands({{"A1", 0, 0, 30}});
    g_stands[0].options = {opt("DLH1", "DLH2", "B738", "D-A", tst_bits({18, 19, 20}), 1)};
    g_staticAircraft.push_back(staticOn(1, 5, "DLH1", "B738", "D-A", gf_slotMinus(g_currentSlot, 2)));
    g_staticAircraft[0].coupledCallsign = "DLH2";

    ASSERT_TRUE(gf_adjustParking(false));

    EXPECT_EQ(plan(), std::vector<std::string>{"A1 DLH1 2 0"});
    EXPECT_EQ(g_ptList[0].callsign2, "DLH2");
    EXPECT_EQ(tst_removeQueue(), std::vector<uint32_t>{705});

    gf_placeStaticAircraft();
    EXPECT_EQ(g_ptList.size(), 1u) << "waits while the first leg's aircraft leaves its stand";
    lf_onObjectRemoved(705);
    gf_placeStaticAircraft();
    ASSERT_EQ(g_staticAircraft.size(), 1u);
    EXPECT_EQ(g_staticAircraft[0].callsign, "DLH2*");
    EXPECT_EQ(g_staticAircraft[0].parkSlot, gf_slotMinus(g_currentSlot, 2));
}

}  // namespace
