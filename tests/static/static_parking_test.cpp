#include <algorithm>
#include <functional>
#include <mutex>

#include "airports/apf_read.h"
#include "airports/apf_save.h"
#include "airports/park_airports.h"
#include "core/clock.h"
#include "core/log.h"
#include "feed/feed_state.h"
#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "shell/run_thread.h"
#include "static_fixture.h"
#include "support/live_builders.h"

namespace {

using StaticFitTest = StaticTest;
using StaticPlaceTest = StaticTest;
using StaticRenewalTest = StaticTest;
using LiveParkedTest = StaticTest;

std::vector<uint32_t> tst_removeQueue() {
    return {g_removeDeque.begin(), g_removeDeque.end()};
}

TEST_F(StaticFitTest, WantedCountFollowsStandsPercentageAndMaximum) {
    const std::array<int, 6> rows[] = {  // stands, custom %, parking %, MAX_PARK_SEL, wanted, shown %
        {2, -1, 40, 500, 1, 50}, {4, -1, 40, 500, 2, 50}, {10, -1, 45, 3, 3, 30},
        {4, 0, 50, 500, 0, 0},   {1, -1, 0, 500, 1, 100}, {6, -1, 50, 0, 0, 50}};
    for (const auto& [stands, custom, percentage, maxSel, wanted, shown] : rows) {
        SCOPED_TRACE(testing::PrintToString(std::array{stands, custom, percentage, maxSel}));
        g_stands.clear();
        for (int i = 0; i < stands; ++i) tst_addStands({{"S", 0, 100.0 * i, 20}});
        CUSTOM_PARKING_PERCENTAGE.set(custom), parking_percentage.set(percentage), MAX_PARK_SEL.set(maxSel);
        EXPECT_EQ(lf_wantedParkedCount(), wanted);
        EXPECT_EQ(std::make_tuple(gf_windowStats().wantedCount, gf_windowStats().wantedPercent),
                  std::make_tuple(int64_t{wanted}, shown));
    }
}

// Real observations first, walking back over midnight into Sunday, then soft ones; an aircraft
// already planned is left out without losing its option's number, which the learned file keeps;
// helipads only with helicopters.
TEST_F(StaticFitTest, RealThenSoftPlanOnASmallAirportAndTheLearnedFileAfterIt) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}, {"A4", 0, 300, 30}, {"A5", 0, 400, 30},
                   {"H1", 0, 500, 10, false, false, true}});
    g_stands[0].options = {opt("DLH100", "DLH101", "B738", "D-A1", tst_bits({20, 21}), 1),
                           opt("BAW1", "", "A320", "G-A1", tst_bits({18}), 2)};
    g_stands[1].options = {opt("DLH200", "DLH201", "B738", "D-A2", tst_bits({20}), 1)};
    g_stands[2].options = {opt("BAW9", "", "A320", "G-A3", tst_bits({46}), 1, 7)};
    g_stands[3].options = {opt("EZY4", "", "A320", "HB-A4", tst_bits({19}), 1, 1, 0)};
    g_stands[4].options = {opt("DLH500", "", "B738", "D-A1", tst_bits({20}), 4)};
    g_stands[4].options[0].origin = 0;  // learned in an earlier run
    g_stands[5].options = {opt("REGA1", "", "EC35", "HB-ZRA", tst_bits({20}), 1)};
    HELICOPTERS.set(false);
    gf_setLogCapture(true);
    lf_fitRealThenSoft(g_currentSlot, 6, 0);
    EXPECT_EQ(plan(), (std::vector<std::string>{"A1 DLH100 0 1", "A2 DLH200 0 0", "A3 BAW9 22 1", "A4 EZY4 1 1"}));
    EXPECT_TRUE(g_stands[4].options[0].fitExcluded);
    EXPECT_FALSE(g_stands[4].taken || g_stands[5].taken);
    EXPECT_EQ(std::make_tuple(g_fitRealOffset, g_fitSoftOffset), std::make_tuple(48, 48));
    EXPECT_NE(gf_capturedLog().find("3 real positions found, Max fit=24 hours, day 1, hh:20 or 10.5 hrs, fit: 24.5 hour"),
              std::string::npos);
    EXPECT_NE(gf_capturedLog().find("1 soft position found"), std::string::npos);
    g_parkAirport.code = "EDDF";
    g_parkFileHeader = {"Frankfurt", "stock", 364};
    gf_saveApf();
    const std::string text = tst_readFile("airports/learned/stock/EDDF.xml");
    EXPECT_NE(text.find(R"(<parkpos id="A5">)" "\n\t\t" R"(<opt reg="D-A1" airl="DLH" type="B738" day="1" hh="20" cs="DLH500" />)"),
              std::string::npos) << text;
    // MAX_FIT 0: one pass at the current half-hour; nothing found, nothing logged.
    gf_clearStands();
    tst_addStands({{"A1", 0, 0, 30}});
    g_stands[0].options = {opt("DLH1", "", "B738", "D-A", tst_bits({19}), 1)};
    MAX_FIT.set(0);
    newLog();
    EXPECT_FALSE(lf_fitStands(g_currentSlot, kFitReal, 1, g_ptList));
    EXPECT_EQ(g_fitRealOffset, 1);
    EXPECT_EQ(newLog().find("position"), std::string::npos);
}

// Each rule of the presence test on its own; empty texts name nobody. A static spreading its
// wings over a neighbour keeps wide aircraft out once it is active.
TEST_F(StaticFitTest, PresenceRulesAndWideNeighbours) {
    tst_addStands({{"A1", 0, 0, 30}});
    const StandOption o = opt("DLH5", "", "B738", "", tst_bits({20}), 1);
    const StandOption withReg = opt("DLH5", "DLH6", "B738", "D-X", tst_bits({20}), 1);
    auto addStatic = [](std::string callsign, std::string reg, uint32_t noSource, std::string spawn = "X") {
        g_staticAircraft.push_back(staticOn(1, 3, std::move(callsign), "B738", std::move(reg), 0, noSource));
        g_staticAircraft.back().spawnCallsign = std::move(spawn);
    };
    auto planned = [](std::string callsign, std::string reg) {
        g_ptList.push_back({0, 1, 1, 0, "DLH", "B738", std::move(callsign), "", std::move(reg), 1});
    };
    const std::tuple<const char*, std::function<void()>, const StandOption&, bool> rows[] = {
        {"planned registration", [&] { planned("DLH9", "D-X"); }, withReg, true},
        {"live callsign with underscore", [] { g_liveCallsigns.insert("DLH5_"); }, o, true},
        {"static spawn callsign is the second", [&] { addStatic("DLH7", "D-Z", 1, "DLH6"); }, withReg, true},
        {"planned callsign", [&] { planned("DLH5", "D-Q"); }, o, true},
        {"live on a stand", [] { g_liveOnStand.push_back({"DLH5", 1, 3}); }, o, true},
        {"static from parked traffic", [&] { addStatic("DLH5", "D-Z", 0); }, o, true},
        {"same static from the fit", [&] { addStatic("DLH5", "D-Z", 1); }, o, false},
        {"empty texts", [&] { addStatic("", "", 0, ""), planned("", ""), g_liveOnStand.push_back({"", 1, 0}); }, o, false},
    };
    for (const auto& [rule, arrange, option, present] : rows) {
        SCOPED_TRACE(rule);
        g_ptList.clear(), g_staticAircraft.clear(), g_liveOnStand.clear(), g_liveCallsigns.clear();
        arrange();
        EXPECT_EQ(lf_isAircraftPresent(option), present);
    }
    for (const auto& [lifeState, planned] : {std::pair{active, 0u}, {adding2sim, 1u}}) {
        gf_resetShell();
        tst_addStands({{"B1", 0, 0, 30}, {"B2", 0, 40, 30}});
        g_stands[1].options = {opt("DLH7", "", "B738", "D-B7", tst_bits({20}), 1)};
        g_staticAircraft.push_back(staticOn(1, 5, "DLH8", "B744", "D-B8", g_currentSlot));
        g_staticAircraft.back().lifeState = lifeState;
        lf_searchStands(g_currentSlot, kFitReal, 0, g_ptList);
        EXPECT_EQ(g_ptList.size(), planned) << lifeState;
    }
    // After Sunday's last half-hour the stay goes on when Monday's option of the aircraft starts at 0.
    for (const bool goesOn : {true, false}) {
        g_stands[0].options = {opt("DLH1", "DLH2", "B738", "D-A", tst_bits({47}), 1, 7),
                               opt("DLH3", "", "B738", "D-B", tst_bits({goesOn ? 0 : 1}), 2)};
        EXPECT_EQ(gf_optionGoesOn(g_stands[0], g_stands[0].options[0], tst_at(7, 47)), goesOn);
    }
}

// The entry at the back becomes a static aircraft in adding2sim with its create queued; its park
// half-hour lies three half-hours back, in Sunday. The running numbers skip those held.
TEST_F(StaticPlaceTest, PlacesTheBackEntryWithItsCreate) {
    tst_addStands({{"A1", 0, 0, 30}});
    g_stands[0].heading = gf_degToRad(90);
    g_currentSlot = tst_at(1, 1);
    g_staticHexidCounter = 41;
    g_ptList.push_back({0x3c4a11, 0, 1, 3, "DLH", "B738", "", "", "D-ABCD", 1});
    gf_placeStaticAircraft();
    ASSERT_EQ(g_staticAircraft.size(), 1u);
    const AircraftRec& st = g_staticAircraft[0];
    EXPECT_EQ(fmt::format("{} {} {} {} {:x} {}", st.callsign, st.hexid, st.lifeState, st.noSourceHexid, st.sourceHexid,
                          st.liveryTitle),
              fmt::format("DLH42* 42 {} 0 3c4a11 {}", uint32_t{adding2sim}, kTitleDlh738));
    EXPECT_EQ(st.parkSlot, tst_at(7, 46));
    ASSERT_EQ(g_createDequeStatic.size(), 1u);
    const AiCreateRec& c = g_createDequeStatic[0];
    EXPECT_EQ(fmt::format("{} {} {} {} {}", c.callsign, c.hexid, c.heading, c.onGround, c.lat == g_stands[0].latitude),
              "DLH42* 42 90 1 true");
    EXPECT_TRUE(g_ptList.empty());
    g_staticHexidCounter = 9998;
    g_staticAircraft = {staticOn(0, 9999, "A1", "B738", "", 0), staticOn(0, 0, "A2", "B738", "", 0)};
    EXPECT_EQ(gf_nextStaticHexid(), 1u) << "9999 and 0 are held";
    EXPECT_EQ(lf_normaliseCallsign("ABC123__") + lf_normaliseCallsign("ABC1*"), "ABC123*ABC1*");
    EXPECT_EQ(lf_detcs({0, 1, 1, 0, "ABC", "B738", "", "ABC2_", "", 1}), "ABC2*");
}

TEST_F(StaticPlaceTest, NoPlacementOnOrBesideAnOccupiedStand) {
    const std::pair<std::function<void()>, const char*> rows[] = {
        {[] { g_liveRecords.push_back(liveParkedOn(1, 30001, "SWR1", "B738")); },
         "A1      : no static parking for DLH5, live aircraft SWR1 standing here"},
        {[] { g_liveRecords.push_back(liveParkedOn(2, 30001, "SWR1", "B738")); },
         "A1      : no static parking for DLH5, live aircraft SWR1 is adjacent at A2, possibly colliding"},
        {[] { g_staticAircraft.push_back(staticOn(2, 7, "EZY7", "A320", "G-E", 0)); },
         "A1      : no static parking for DLH5, static aircraft EZY7* is adjacent at A2, possibly colliding"},
        {[] { g_ptList.back().standId = 9; }, "===> stand with id sid==? not found"},
    };
    LOG.set(true);
    for (const auto& [arrange, line] : rows) {
        SCOPED_TRACE(line);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 40, 30}});
        g_ptList = {{0, 1, 1, 0, "DLH", "B738", "DLH5", "", "D-A", 1}};
        arrange();
        newLog();
        const size_t statics = g_staticAircraft.size();
        gf_placeStaticAircraft();
        EXPECT_EQ(g_staticAircraft.size(), statics);
        EXPECT_TRUE(g_ptList.empty());
        EXPECT_NE(newLog().find(line), std::string::npos);
    }
}

// A newer parked-traffic record takes the stand from a static aircraft seen earlier; an older
// one leaves it standing and is dropped, as is one whose aircraft flies live.
TEST_F(StaticPlaceTest, ParkedTrafficAgainstAStaticOnItsStand) {
    const std::tuple<int, const char*, uint32_t, uint32_t> rows[] = {  // record age, planned, static's state, live
        {3, "A1 BAW3 3 1", removingfromsim, 0}, {7, "A1 EZY7 5 1", active, 0}, {3, nullptr, active, 0x400001}};
    for (const auto& [age, planned, state, liveHexid] : rows) {
        SCOPED_TRACE(age);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}});
        g_staticAircraft.push_back(staticOn(1, 7, "EZY7", "A320", "G-E", gf_slotMinus(g_currentSlot, 5), 0));
        if (liveHexid) g_liveRecords.push_back(liveParkedOn(0, liveHexid, "X", "B738"));
        lf_assignStandsToPt({{"BAW", "A320", "BAW3", "G-B", g_stands[0].latitude, g_stands[0].longitude, 0x400001, age, ""}});
        EXPECT_EQ(plan(), planned ? std::vector<std::string>{planned} : std::vector<std::string>{});
        EXPECT_EQ(g_staticAircraft[0].lifeState, state);
        EXPECT_EQ(g_staticRemovalQueue.size(), state == active ? 0u : 1u);
    }
}

// Planned at the next cycle, and never on the reserved stand or the user's.
TEST_F(StaticPlaceTest, AnUnreadableTimePlansNothingAndIsTriedAgain) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}});
    for (Stand& s : g_stands) s.options = {opt("DLH" + s.name, "", "B738", "D-" + s.name, tst_bits({20}), 1)};
    g_userOnGround = true;  // the user's aircraft stands on A3
    g_userPosition.lat = g_stands[2].latitude, g_userPosition.lon = g_stands[2].longitude;
    ParkSite site;
    site.reservedStand = "A2";
    gf_setParkSite(site);
    g_currentSlot = gf_packSlot(-1, -1);
    lf_computeStaticParking();
    EXPECT_TRUE(g_ptList.empty() && gf_staticParkingPending());
    g_currentSlot = tst_at(1, 20);
    gf_staticParkingCycle();
    EXPECT_FALSE(gf_staticParkingPending());
    EXPECT_EQ(plan(), std::vector<std::string>{"A1 DLHA1 0 1"});
}

// A static object removed before its activation, and a create the simulator refuses, leave no
// record behind; a live aircraft created parked on a stand takes its planned entries away.
TEST_F(StaticPlaceTest, StaticRecordsEndWithTheirObjects) {
    tst_addStands({{"A1", 0, 0, 30}});
    AircraftRec st = staticOn(1, 12, "DLH1", "B738", "D-A", 0);
    st.lifeState = adding2sim, st.objectId = 0;
    g_staticAircraft.push_back(st);
    st.hexid = 13;
    g_staticAircraft.push_back(st);
    {
        std::lock_guard lock(g_simEventMutex);
        g_simEventQueue.push_back({55, 12, 0, kEvStaticCreated, 0, 0});
        g_simEventQueue.push_back({55, 0, 0, kEvRemoved, 0, 0});
        g_simEventQueue.push_back({0, 13, 0, kEvCreateFailed, 0, 0});
    }
    gf_handleSimEvents();
    EXPECT_TRUE(g_staticAircraft.empty() && g_waitingEvents.empty());
    g_ptList = {{0, 1, 1, 0, "DLH", "B738", "DLH5", "", "D-A", 1}};
    LiveAircraft ac = liveParkedOn(1, 30001, "SWR1", "B738");
    lf_parksOnCreate(ac);
    EXPECT_TRUE(g_ptList.empty());
}

// At Monday 01:00 the window of the last fit reaches back into Sunday's options only when it
// is wider than the half-hours of Monday.
TEST_F(StaticRenewalTest, KeepsWhatStillFitsAcrossTheWeeksWrap) {
    for (const auto& [window, sundaySlot, kept] : {std::tuple{5, 46, true}, {5, 40, false}, {2, 47, false}}) {
        SCOPED_TRACE(sundaySlot * 100 + window);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}});
        g_stands[0].options = {opt("DLH1", "", "B738", "D-A", tst_bits({sundaySlot}), 1, 7)};
        g_staticAircraft.push_back(staticOn(1, 5, "DLH1", "B738", "D-A", tst_at(7, sundaySlot)));
        g_fitRealOffset = window;
        lf_diffStaticAgainstFit(tst_at(1, 2));
        EXPECT_EQ(std::make_tuple(g_staticCheckList.size(), g_staticRemovalQueue.size()),
                  std::make_tuple(kept ? 1u : 0u, kept ? 0u : 1u));
    }
}

// Phase 2 after phase 1: a static whose second leg flies live is removed and its aircraft not
// planned again; a full renewal removes every fitted static once and plans the stands anew,
// except the reserved one.
TEST_F(StaticRenewalTest, PhaseTwoRemovesLiveFlightsOrEverythingWhenFull) {
    for (const bool full : {false, true}) {
        SCOPED_TRACE(full);
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
        if (!full) gf_gatherCallsign("DLH2", 0x3c0001);
        newLog();
        ASSERT_TRUE(gf_adjustParking(full));
        EXPECT_EQ(tst_removeQueue(), (full ? std::vector<uint32_t>{705, 706} : std::vector<uint32_t>{705}));
        EXPECT_EQ(plan(), (full ? std::vector<std::string>{"A1 DLH1 0 0"} : std::vector<std::string>{}));
        EXPECT_EQ(g_staticCheckList.size(), full ? 0u : 1u);
        EXPECT_EQ(g_staticAircraft[1].lifeState, full ? removingfromsim : active);
        EXPECT_NE(newLog().find(fmt::format("Parking adjustments: {} to be removed, {} to be added", full ? 2 : 1,
                                            full ? 1 : 0)), std::string::npos);
    }
}

// Statics from parked traffic in the renewal: one whose record moved to another stand, and one
// whose real aircraft flies live, are removed; the moved record is planned on its new stand.
TEST_F(StaticRenewalTest, ParkedTrafficStaticsFollowTheirRecords) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}});
    g_staticAircraft = {staticOn(1, 5, "BAW3", "A320", "G-B", g_currentSlot, 0),
                        staticOn(3, 6, "EZY4", "A320", "G-E", g_currentSlot, 0)};
    g_staticAircraft[1].sourceHexid = 0x400002;
    g_liveHexids.insert(0x400002);
    lf_addNewPtPositions({{"BAW", "A320", "BAW3", "G-B", g_stands[1].latitude, g_stands[1].longitude, 0x400001, 1, ""}});
    EXPECT_EQ(plan(), std::vector<std::string>{"A2 BAW3 1 1"});
    EXPECT_EQ(std::make_tuple(g_staticAircraft[0].lifeState, g_staticAircraft[1].lifeState),
              std::make_tuple(uint32_t{removingfromsim}, uint32_t{removingfromsim}));
    EXPECT_EQ(g_staticRemovalQueue.size(), 2u);
}

// Plans go first, then kept statics, then live aircraft, and live ones only with a wanted count.
TEST_F(StaticRenewalTest, TrimToWanted) {
    for (const auto& [wanted, liveLeft, removedStatics] : {std::tuple{0, 2u, 1u}, {1, 1u, 1u}, {3, 2u, 0u}}) {
        SCOPED_TRACE(wanted);
        gf_resetShell();
        g_liveOnStand = {{"SWR1", 1, 10}, {"SWR2", 2, 50}};
        g_liveRecords = {liveParkedOn(1, 30001, "SWR1", "B738"), liveParkedOn(2, 30002, "SWR2", "B738")};
        g_staticCheckList = {{"DLH1*", "DLH1", "", "D-A", "DLH", "B738", 0, 3, 5, 0}};
        g_ptList = {{0, 1, 4, 0, "DLH", "B738", "DLH4", "", "D-B", 1}};
        lf_trimToWanted(wanted);
        EXPECT_TRUE(g_ptList.empty());
        EXPECT_EQ(g_staticRemovalQueue.size(), removedStatics);
        EXPECT_EQ(static_cast<size_t>(gf_countActiveLive()), liveLeft);
    }
}

// A kept aircraft whose first leg ends with this half-hour is placed again with its second
// callsign on the same stand once the first has left; it keeps the half-hour it parked in.
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

TEST_F(LiveParkedTest, LongParkedLiveAircraftLeaveUnlessOnlyTheInitialLoadCounts) {
    constexpr int64_t kMinute = 600'000'000;
    const std::tuple<const char*, int64_t, bool, bool> rows[] = {  // type, minutes, initial load only, stays
        {"B744", 120, false, true}, {"B738", 91, false, false}, {"B738", 90, false, true},
        {"B744", 181, false, false}, {"B738", 91, true, true}};
    for (const auto& [type, minutes, initialLoadOnly, stays] : rows) {
        SCOPED_TRACE(std::string(type) + " " + std::to_string(minutes));
        INITIAL_LOAD_ONLY.set(initialLoadOnly);
        g_liveRecords = {liveParkedOn(4, 30001, "SWR1", type), liveParkedOn(5, 30002, "SWR2", "B738")};
        g_liveRecords[0].steadySince = gf_clock100ns() - minutes * kMinute;
        g_liveRecords[1].standSampleSeen = 1;
        gf_removeOldParked();
        ASSERT_EQ(g_liveOnStand.size(), stays ? 2u : 1u);
        EXPECT_EQ(g_liveOnStand.front().callsign, "SWR2") << "shortest parked first";
        if (stays) EXPECT_EQ(g_liveOnStand.back().minutesParked, minutes);
        EXPECT_EQ(g_liveRecords[0].lifeState, stays ? active : removingfromsim);
    }
    // More live parked aircraft than wanted: the longest parked leaves before anything is planned.
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}});
    CUSTOM_PARKING_PERCENTAGE.set(50);
    g_liveRecords = {liveParkedOn(1, 30001, "SWR1", "B738"), liveParkedOn(2, 30002, "SWR2", "B738")};
    g_liveRecords[1].steadySince = gf_clock100ns();
    g_liveRecords[0].steadySince = g_liveRecords[1].steadySince - kMinute;
    ASSERT_TRUE(gf_adjustParking(false));
    EXPECT_EQ(std::make_tuple(g_liveRecords[0].lifeState, g_liveRecords[1].lifeState),
              std::make_tuple(uint32_t{removingfromsim}, uint32_t{active}));
    EXPECT_NE(newLog().find("Parking adjustments: 1 more live ac than wanted"), std::string::npos);
}

// Removing all static aircraft flushes them (queued creates withdrawn, sent ones removed as they
// appear), takes the stands from live aircraft on the ground and gives MAX_LIVE_SEL back; a
// reserved stand frees one aircraft, an unknown name none.
TEST_F(LiveParkedTest, RemovingAllStaticAircraftAndFreeingTheReservedStand) {
    AircraftRec queued = staticOn(1, 5, "DLH5", "B738", "D-A", 0);
    queued.lifeState = adding2sim, queued.objectId = 0;
    AircraftRec sent = queued;
    sent.hexid = 6, sent.callsign = "DLH6*";
    g_createDequeStatic.push_back(tst_createRequest("DLH5*", 5));
    g_staticAircraft = {queued, sent, staticOn(2, 7, "DLH7", "B738", "D-B", 0)};
    g_liveRecords = {liveParkedOn(3, 30001, "SWR1", "B738"), liveParkedOn(4, 30002, "SWR2", "B738")};
    g_liveRecords[1].flightState = flying;
    g_ptList = {{0, 1, 1, 0, "DLH", "B738", "DLH9", "", "D-C", 1}};
    MAX_LIVE_SEL.set(100);
    gf_removeAllStaticAircraft();
    ASSERT_EQ(g_staticAircraft.size(), 2u);
    EXPECT_EQ(std::make_tuple(g_staticAircraft[0].hexid, g_staticAircraft[0].removeWhenItAppears, g_staticAircraft[1].lifeState),
              std::make_tuple(6u, 1, uint32_t{removingfromsim}));
    EXPECT_TRUE(g_createDequeStatic.empty() && g_ptList.empty());
    EXPECT_EQ(g_liveRecords[0].standId, 0u);
    EXPECT_EQ(g_liveRecords[1].lifeState, active) << "in the air it keeps flying";
    EXPECT_EQ(tst_removeQueue(), (std::vector<uint32_t>{707, 801}));
    EXPECT_EQ(MAX_LIVE_SEL.value(), 500);
    gf_resetShell();
    tst_addStands({{"A1", 0, 0, 30}});
    g_staticAircraft.push_back(staticOn(0, 5, "DLH5", "B738", "D-A", 0));
    g_liveRecords.push_back(liveParkedOn(1, 30001, "SWR1", "B738"));
    ParkSite site;
    site.reservedStand = "Z9";
    gf_clearReservedStand(site);
    EXPECT_EQ(g_staticAircraft[0].lifeState, active) << "no stand, no standId 0";
    site.reservedStand = "A1";
    gf_clearReservedStand(site);
    EXPECT_EQ(g_liveRecords[0].lifeState, removingfromsim);
}

// Parked since Sunday 23:30, counted at Monday 00:30: two half-hours, not most of a week. A sweep
// removes one static that duplicates a live aircraft on the ground.
TEST_F(LiveParkedTest, ParkedTimesOverTheWeeksWrapAndTheDuplicateSweep) {
    g_currentSlot = tst_at(1, 1);
    LiveAircraft ac = liveParkedOn(1, 30001, "DLH5", "B738");
    ac.parkSlot = tst_at(7, 47);
    g_liveRecords.push_back(ac);
    g_staticAircraft.push_back(staticOn(1, 5, "DLH5", "B738", "D-A", tst_at(7, 47)));
    EXPECT_EQ(std::make_tuple(gf_liveParkedStats(true), gf_countStaticAircraft(true)), std::make_tuple(1, 1));
    EXPECT_EQ(std::make_tuple(gf_windowStats().liveParkedAvgMinutes, gf_windowStats().staticParkedAvgMinutes),
              std::make_tuple(90.0f, 90.0f));
    g_liveRecords[0].onGround = 1;
    ac.onGround = 1, ac.callsign = "SWR9", ac.regcode = "D-Q";
    g_liveRecords.push_back(ac);
    g_staticAircraft = {staticOn(2, 4, "DLH4", "B738", "", 0), staticOn(3, 5, "DLH5", "B738", "D-Q", 0),
                        staticOn(4, 6, "DLH6", "B738", "D-Q", 0)};
    gf_sweepDuplicateStatics();
    EXPECT_EQ(g_staticAircraft[0].lifeState, active) << "an empty registration names nobody";
    EXPECT_EQ(g_staticAircraft[1].lifeState, removingfromsim);
    EXPECT_EQ(g_staticAircraft[2].lifeState, active) << "one per sweep";
}

}  // namespace
