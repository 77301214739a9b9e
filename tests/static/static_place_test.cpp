#include "static/static_place.h"

#include <chrono>
#include <functional>

#include "airports/park_airports.h"
#include "core/clock.h"
#include "core/display.h"
#include "core/log.h"
#include "core/run_requests.h"
#include "feed/feed_state.h"
#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "live/stand_choice.h"
#include "shell/run_thread.h"
#include "static/park_watch.h"
#include "static_fixture.h"
#include "support/parked_source.h"

namespace {

class StaticPlaceTest : public StaticTest {
  protected:
    void SetUp() override {
        StaticTest::SetUp();
        // Monday 10:00, the slot of the fixture, also for the main loop's ticks.
        gf_setUtcClock([] {
            return UtcTimePoint(std::chrono::sys_days{std::chrono::year{2026} / 12 / 7}) +
                   std::chrono::hours(10);
        });
    }
    static ParkedTrafficRecord parkedAt(uint32_t hexid, const std::string& callsign, const std::string& type,
                                        const std::string& reg, const char* stand, int halfHoursAgo) {
        const Stand* s = gf_findStandById(stand);
        return tst_parked(hexid, callsign, type, reg, s->position(), halfHoursAgo);
    }
    bool staticsSettled() const {
        return g_ptList.empty() && std::all_of(g_staticAircraft.begin(), g_staticAircraft.end(),
                                               [](const AircraftRec& st) { return st.lifeState == active; });
    }
};

// The renewal drops statics of parked traffic under a newer record on their stand, when their
// aircraft turns live and when their record moved to another stand, and a fitted static under a
// newer record: each leaves the simulator and the record's aircraft takes its place. A static
// whose record stands where it was keeps its object.
TEST_F(StaticPlaceTest, StaticsTheRenewalDropsLeaveTheSimulator) {
    // A kilometre north of the user, whose nearest stand would be kept free.
    standsAtHarness({{"A1", 1000, 0, 30},
                     {"A3", 1000, 150, 30},
                     {"A4", 1000, 300, 30},
                     {"A5", 1000, 450, 30},
                     {"A6", 1000, 600, 30},
                     {"A7", 1000, 750, 30}});
    g_stands[5].options = {opt("BAW7", "", "A320", "G-A7", tst_bits({16}), 1)};
    gf_setParkSite({"EDDF", {kHarnessLat, kHarnessLon}, "", false, 0});
    startFlight();
    ASSERT_TRUE(tst_startParkedReader());
    tst_setParked({parkedAt(0x3c0001, "DLH1", "B738", "D-A1", "A1", 5),
                   parkedAt(0x3c0003, "DLH3", "B738", "D-A3", "A3", 4),
                   parkedAt(0x3c0004, "DLH4", "B738", "D-A4", "A4", 3),
                   parkedAt(0x3c0006, "DLH6", "B738", "D-A6", "A6", 2)});
    lf_computeStaticParking();
    ASSERT_TRUE(tst_awaitParkedAnswer());
    gf_staticParkingCycle();
    ASSERT_GE(tickUntil([&] { return staticsSettled(); }), 0);
    ASSERT_EQ(staticObjects(),
              (std::vector<std::string>{"A1 DLH1*", "A3 DLH3*", "A4 DLH4*", "A6 DLH6*", "A7 BAW7*"}));
    const uint32_t dlh6 =
        std::find_if(g_staticAircraft.begin(), g_staticAircraft.end(), [](const AircraftRec& st) {
            return st.callsign == "DLH6*";
        })->objectId;

    tst_setParked({parkedAt(0x3c0002, "DLH2", "B738", "D-A2", "A1", 1),
                   parkedAt(0x3c0003, "DLH3", "B738", "D-A3", "A3", 4),
                   parkedAt(0x3c0004, "DLH4", "B738", "D-A4", "A5", 0),
                   parkedAt(0x3c0006, "DLH6", "B738", "D-A6", "A6", 2),
                   parkedAt(0x3c0008, "DLH8", "B738", "D-A8", "A7", 1)});
    g_renewalRequested = true;
    ASSERT_GE(tickUntil([] { return g_parkingCalculating.load(); }, 2000), 0);
    gf_gatherCallsign("DLH3", 0x3c0003);  // the feed shows it flying
    ASSERT_TRUE(tst_awaitParkedAnswer());
    ASSERT_GE(tickUntil([] { return !g_renewalRequested; }, 2000), 0);
    EXPECT_NE(newLog().find("Parking adjustments: 4 to be removed, 3 to be added"), std::string::npos);
    ASSERT_GE(tickUntil([&] { return staticsSettled(); }, 3000), 0);
    EXPECT_EQ(staticObjects(), (std::vector<std::string>{"A1 DLH2*", "A5 DLH4*", "A6 DLH6*", "A7 DLH8*"}));
    const AircraftRec* kept = gf_findStaticByObjectId(dlh6);
    EXPECT_TRUE(kept != nullptr && kept->callsign == "DLH6*");
}

// A new calculation with a newer record on a stand of parked traffic: the static goes and the
// record's aircraft is placed once the stand is free; an older record leaves the static alone.
TEST_F(StaticPlaceTest, ANewerRecordDrivesAStaticOffItsStand) {
    standsAtHarness({{"A1", 1000, 0, 30}, {"A2", 1000, 150, 30}});
    gf_setParkSite({"EDDF", {kHarnessLat, kHarnessLon}, "", false, 0});
    startFlight();
    const std::vector<ParkedTrafficRecord> first = {parkedAt(0x3c0001, "DLH1", "B738", "D-A1", "A1", 3),
                                                    parkedAt(0x3c0011, "BAW1", "A320", "G-A1", "A2", 3)};
    ASSERT_TRUE(lf_runStaticParking(&first));
    ASSERT_GE(tickUntil([&] { return staticsSettled() && g_staticAircraft.size() == 2; }), 0);
    const std::vector<ParkedTrafficRecord> second = {parkedAt(0x3c0002, "DLH2", "B738", "D-A2", "A1", 1),
                                                     parkedAt(0x3c0012, "BAW2", "A320", "G-A2", "A2", 6)};
    ASSERT_TRUE(lf_runStaticParking(&second));
    ASSERT_GE(tickUntil([&] { return staticsSettled(); }, 3000), 0);
    EXPECT_EQ(staticObjects(), (std::vector<std::string>{"A1 DLH2*", "A2 BAW1*"}));
    EXPECT_EQ(unownedObjects(), std::vector<std::string>{});
}

// An entry waits while a static on its stand or on a neighbour is on its way out; a static
// that stays on a neighbour drops it.
TEST_F(StaticPlaceTest, PlacementWaitsForALeavingNeighbour) {
    struct Row {
        uint32_t onStand;
        uint32_t lifeState;
        bool removeWhenItAppears;
        bool waits;
    };
    const Row rows[] = {{1, removingfromsim, false, true},
                        {2, removingfromsim, false, true},
                        {2, adding2sim, true, true},
                        {2, active, false, false},
                        {3, removingfromsim, false, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("{} {} {}", r.onStand, r.lifeState, r.removeWhenItAppears));
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 50, 30}, {"A3", 0, 300, 30}});
        ASSERT_EQ(g_stands[0].neighbours, std::vector<uint32_t>{2});
        AircraftRec st = staticOn(r.onStand, 5, "BAW1", "A320", "G-A", g_currentSlot);
        st.lifeState = r.lifeState, st.removeWhenItAppears = r.removeWhenItAppears;
        g_staticAircraft = {st};
        g_ptList = {{0, 1, 1, 0, "DLH", "B738", "DLH5", "", "D-A", 1}};
        gf_placeStaticAircraft();
        EXPECT_EQ(g_ptList.size(), r.waits ? 1u : 0u);
        EXPECT_EQ(g_staticAircraft.size(), r.onStand == 3 ? 2u : 1u);
    }
}

// Max park counts against the wanted number the calculation computed. Statics give way fitted
// ones first, each kind placed longest ago first, so that the parked traffic the feed confirms stays.
TEST_F(StaticPlaceTest, MaxParkActsOnTheWantedCount) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}, {"A4", 0, 300, 30}});
    CUSTOM_PARKING_PERCENTAGE.set(50);
    gf_setParkSite({"EDDF", {}, "", false, 0});
    ASSERT_TRUE(lf_runStaticParking(nullptr));
    EXPECT_EQ(gf_parkSite().wantedParked, 2);
    g_staticAircraft = {staticOn(1, 5, "SWR5", "A320", "HB-5", gf_slotMinus(g_currentSlot, 6), 0),
                        staticOn(2, 6, "DLH6", "B738", "D-6", gf_slotMinus(g_currentSlot, 2)),
                        staticOn(3, 7, "DLH7", "B738", "D-7", gf_slotMinus(g_currentSlot, 3)),
                        staticOn(4, 8, "SWR8", "A320", "HB-8", gf_slotMinus(g_currentSlot, 1), 0)};
    for (uint32_t i = 1; i <= 3; ++i) {
        g_liveRecords.push_back(liveParkedOn(i, 0x500000 + i, "EZY" + std::to_string(i), "B738"));
        g_liveRecords.back().steadySince = -600'000'000LL * i;  // EZY3 parked longest
    }
    std::vector<std::string> removed;
    for (int call = 0; call < 4; ++call) {
        gf_maxParkCheck(0);
        // The simulator reports each removal before the next live aircraft parks.
        for (const LiveAircraft& ac : g_liveRecords)
            if (ac.lifeState == removingfromsim) removed.push_back(ac.callsign);
        std::erase_if(g_liveRecords, [](const LiveAircraft& ac) { return ac.lifeState == removingfromsim; });
        for (const AircraftRec& st : g_staticAircraft)
            if (st.lifeState == removingfromsim) removed.push_back(st.callsign);
        std::erase_if(g_staticAircraft,
                      [](const AircraftRec& st) { return st.lifeState == removingfromsim; });
    }
    EXPECT_EQ(removed, (std::vector<std::string>{"EZY3", "DLH7*", "DLH6*", "SWR5*", "SWR8*"}));
    MAX_PARK_SEL.set(0);
    lf_wantedParkedCount();
    EXPECT_EQ(gf_parkSite().wantedParked, 0);
}

// A record the feed dates in the future was seen now: its "no stand" line and its entry say 0.
TEST_F(StaticPlaceTest, AFutureRecordCountsAsSeenNow) {
    tst_addStands({{"A1", 0, 0, 30}});
    for (const auto& [offset, shown] : {std::pair{-3, 0}, {5, 5}}) {
        SCOPED_TRACE(offset);
        g_ptList.clear();
        g_stands[0].taken = false;
        newLog();
        ParkedTrafficRecord far = tst_parked(0x3c0001, "DLH1", "B738", "D-A1", tst_offsetM(1000, 0), offset);
        ParkedTrafficRecord near =
            tst_parked(0x3c0002, "DLH2", "B738", "D-A2", g_stands[0].position(), offset);
        lf_assignStandsToPt({far, near});
        EXPECT_NE(
            newLog().find(fmt::format("3c0001 DLH1     D-A1        , hh:{} ===> no stand for PT", shown)),
            std::string::npos);
        ASSERT_EQ(g_ptList.size(), 1u);
        EXPECT_EQ(g_ptList[0].slotOffset, shown);
    }
}

// A record as old as the static of parked traffic on its stand drives it off; an older one
// leaves it there and plans it as it stands.
TEST_F(StaticPlaceTest, TheNewerOfRecordAndStaticKeepsTheStand) {
    for (const auto& [recordAge, replaced] : {std::pair{1, true}, {3, true}, {4, false}}) {
        SCOPED_TRACE(recordAge);
        g_stands.clear();
        g_ptList.clear();
        g_staticRemovalQueue.clear();
        tst_addStands({{"A1", 0, 0, 30}});
        g_staticAircraft = {staticOn(1, 5, "DLH1", "B738", "D-A1", gf_slotMinus(g_currentSlot, 3), 0)};
        lf_assignStandsToPt(
            {tst_parked(0x3c0002, "DLH2", "B738", "D-A2", g_stands[0].position(), recordAge)});
        EXPECT_EQ(plan(), std::vector<std::string>{replaced ? fmt::format("A1 DLH2 {} 1", recordAge)
                                                            : "A1 DLH1 3 1"});
        EXPECT_EQ(g_staticRemovalQueue.size(), replaced ? 1u : 0u);
    }
}

// Giving the park airport up: every plan and static goes, live aircraft on or leaving stands
// lose them and leave, and MAX_LIVE_SEL returns to the user's choice.
TEST_F(StaticPlaceTest, RemovingAllStaticsClearsTheParkAirport) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}});
    g_ptList = {{0, 1, 3, 0, "DLH", "B738", "DLH5", "", "D-A", 1}};
    g_staticAircraft = {staticOn(1, 5, "DLH1", "B738", "D-A1", g_currentSlot)};
    g_liveRecords = {liveParkedOn(2, 0x500002, "SWR2", "B738"), liveParkedOn(3, 0x500003, "SWR3", "B738")};
    g_liveRecords[1].lifeState = adding2sim, g_liveRecords[1].objectId = 0;
    g_createDeque.push_back({});
    g_createDeque.back().callsign = "SWR3", g_createDeque.back().hexid = 0x500003;
    g_maxLiveValue = 40;
    MAX_LIVE_SEL.set(10);
    gf_removeAllStaticAircraft();
    EXPECT_TRUE(g_ptList.empty() && g_stands.empty() && g_createDeque.empty());
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
    ASSERT_EQ(g_liveRecords.size(), 1u) << "the withdrawn create's record is erased at once";
    EXPECT_EQ(std::make_tuple(g_liveRecords[0].lifeState, g_liveRecords[0].standId),
              std::make_tuple(removingfromsim, 0u));
    EXPECT_EQ(MAX_LIVE_SEL.value(), 40);
}

// An entry is not placed while a live aircraft parks or stands on its stand or beside it, or a
// static stands beside it; with the log on the line says which. A live aircraft taxiing past
// does not keep it out.
TEST_F(StaticPlaceTest, APlannedAircraftIsNotPlacedNextToAnother) {
    struct Row {
        const char* name;
        uint32_t liveStand, liveState, staticStand;
        const char* line;  // "" when placed
    };
    const Row rows[] = {
        {"live parked on the stand", 1, parked, 0,
         "A1      : no static parking for DLH5, live aircraft SWR1 standing here"},
        {"live parking beside it", 2, parking, 0,
         "A1      : no static parking for DLH5, live aircraft SWR1 is adjacent at A2, possibly colliding"},
        {"live taxiing on it", 1, taxi, 0, ""},
        {"live parked two stands on", 3, parked, 0, ""},
        {"a static beside it", 0, parked, 2,
         "A1      : no static parking for DLH5, static aircraft BAW1* is adjacent at A2, possibly colliding"},
    };
    for (const bool logOn : {true, false}) {
        for (const Row& r : rows) {
            SCOPED_TRACE(fmt::format("{}, log {}", r.name, logOn));
            gf_resetShell();
            LOG.set(logOn);
            tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 50, 30}, {"A3", 0, 300, 30}});
            if (r.liveStand != 0) {
                g_liveRecords.push_back(liveParkedOn(r.liveStand, 0x500001, "SWR1", "B738"));
                g_liveRecords.back().flightState = r.liveState;
            }
            if (r.staticStand != 0)
                g_staticAircraft = {staticOn(r.staticStand, 5, "BAW1", "A320", "G-A", g_currentSlot)};
            g_ptList = {{0, 1, 1, 0, "DLH", "B738", "DLH5", "", "D-A", 1}};
            newLog();
            gf_placeStaticAircraft();
            const bool placed = *r.line == 0;
            EXPECT_TRUE(g_ptList.empty()) << "the entry is used up either way";
            EXPECT_EQ(gf_findStaticByHexid(1) != nullptr, placed);
            EXPECT_EQ(g_createDequeStatic.size(), placed ? 1u : 0u);
            const std::string log = newLog();
            if (!placed && logOn)
                EXPECT_NE(log.find(r.line), std::string::npos) << log;
            else
                EXPECT_EQ(log.find("no static parking"), std::string::npos) << log;
        }
    }
}

// Parked traffic of an aircraft that flies live is not planned: known by the hexid or callsign
// the feed gathered (also with the feed's "_"), or by a live record of the same hexid, callsign
// or registration. A record without callsign is not planned either.
TEST_F(StaticPlaceTest, ParkedTrafficOfALiveAircraftIsNotPlanned) {
    struct Row {
        const char* name;
        std::function<void()> setUp;
        bool planned;
    };
    const auto live = [](uint32_t hexid, const char* callsign, const char* reg) {
        LiveAircraft ac = liveParkedOn(2, hexid, callsign, "B738");
        ac.regcode = reg, ac.flightState = flying;
        g_liveRecords.push_back(ac);
    };
    const Row rows[] = {
        {"nowhere live", [] {}, true},
        {"gathered hexid", [] { g_liveHexids = {0x3c0001}; }, false},
        {"gathered callsign", [] { g_liveCallsigns = {"DLH1"}; }, false},
        {"gathered callsign with _", [] { g_liveCallsigns = {"DLH1_"}; }, false},
        {"a longer callsign gathered", [] { g_liveCallsigns = {"DLH10"}; }, true},
        {"live record of the hexid", [&] { live(0x3c0001, "XXX1", "X-X"); }, false},
        {"live record of the callsign", [&] { live(0x500009, "DLH1", "X-X"); }, false},
        {"live record of the callsign with _", [&] { live(0x500009, "DLH1_", "X-X"); }, false},
        {"live record of the registration", [&] { live(0x500009, "XXX1", "D-A1"); }, false},
        {"live record of nothing alike", [&] { live(0x500009, "XXX1", ""); }, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 300, 30}});
        r.setUp();
        lf_assignStandsToPt({tst_parked(0x3c0001, "DLH1", "B738", "D-A1", g_stands[0].position(), 2),
                             tst_parked(0x3c0003, "", "B738", "D-A3", g_stands[1].position(), 2)});
        EXPECT_EQ(plan(), r.planned ? std::vector<std::string>{"A1 DLH1 2 1"} : std::vector<std::string>{});
        EXPECT_EQ(g_stands[0].taken, r.planned);
        EXPECT_FALSE(g_stands[1].taken);
    }
}

// Parked traffic never takes the reserved stand nor one planned already, nor a stand beside a
// planned aircraft whose wings would reach it; a calculation that plans nothing says so and
// gives the parking controls back.
TEST_F(StaticPlaceTest, ParkedTrafficKeepsOffReservedTakenAndCrowdedStands) {
    tst_addStands(
        {{"A1", 0, 0, 30}, {"A2", 0, 300, 30}, {"A3", 0, 350, 30}, {"A4", 0, 700, 30}, {"A5", 0, 750, 30}});
    g_stands[0].reserved = true;
    lf_assignStandsToPt({tst_parked(0x3c0001, "DLH1", "B738", "D-A1", g_stands[0].position(), 1),
                         tst_parked(0x3c0002, "DLH2", "B738", "D-A2", g_stands[1].position(), 1),
                         tst_parked(0x3c0003, "DLH3", "B738", "D-A3", g_stands[1].position(), 1),
                         tst_parked(0x3c0004, "BAW4", "B744", "G-A4", g_stands[2].position(), 1),
                         tst_parked(0x3c0005, "BAW5", "B744", "G-A5", g_stands[3].position(), 1),
                         tst_parked(0x3c0006, "BAW6", "C172", "G-A6", g_stands[4].position(), 1)});
    EXPECT_EQ(plan(), (std::vector<std::string>{"A2 DLH2 1 1", "A4 BAW5 1 1", "A5 BAW6 1 1"}));

    gf_resetShell();
    tst_addStands({{"A1", 0, 0, 30}});
    gf_setParkSite({"EDDF", {}, "", false, 0});
    gf_lockParkingControls();
    newLog();
    ASSERT_TRUE(lf_runStaticParking(nullptr));
    EXPECT_TRUE(g_ptList.empty());
    EXPECT_NE(newLog().find("no parking positions found"), std::string::npos);
    EXPECT_FALSE(g_parkingControlsLocked);
    // A calculation that finds enough plans every wanted aircraft, and the averages wait for them.
    gf_resetShell();
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 300, 30}, {"A3", 0, 600, 30}});
    for (Stand& st : g_stands)
        st.options = {opt("DLH" + st.name, "", "B738", "D-" + st.name, tst_bits({20}), 1)};
    gf_setParkSite({"EDDF", {}, "", false, 0});
    ASSERT_TRUE(lf_runStaticParking(nullptr));
    EXPECT_EQ(g_ptList.size(), 3u);
    EXPECT_TRUE(g_parkingControlsLocked);
    EXPECT_EQ(std::make_pair(gf_windowStats().staticParkedAvgMinutes, gf_windowStats().liveParkedAvgMinutes),
              std::make_pair(-1.0f, -1.0f));
    // Without static aircraft wanted no parked traffic is asked for: the calculation ends at once.
    ASSERT_TRUE(tst_startParkedReader());
    for (const int maxPark : {0, 1}) {
        SCOPED_TRACE(maxPark);
        MAX_PARK_SEL.set(maxPark);
        lf_computeStaticParking();
        EXPECT_EQ(gf_staticParkingPending(), maxPark > 0);
        if (maxPark > 0) ASSERT_TRUE(tst_awaitParkedAnswer());
    }
}

// Parked traffic finds a stand up to 110 m from where the feed saw it.
TEST_F(StaticPlaceTest, ParkedTrafficFindsAStandWithin110Metres) {
    for (const auto& [northM, planned] :
         {std::pair{0.0, true}, {109.5, true}, {110.5, false}, {200.0, false}}) {
        SCOPED_TRACE(northM);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}});
        lf_assignStandsToPt({tst_parked(0x3c0001, "DLH1", "B738", "D-A1", tst_offsetM(northM, 0), 2)});
        EXPECT_EQ(plan(), planned ? std::vector<std::string>{"A1 DLH1 2 1"} : std::vector<std::string>{});
    }
}

// The fit only fills up what parked traffic leaves of the wanted count; the plan is cut to the
// wanted count (none at 0 %) and places the aircraft seen longest ago first. Parked traffic is
// planned from a MAX_PARK_SEL of 1 on.
TEST_F(StaticPlaceTest, TheFitFillsOnlyWhatParkedTrafficLeaves) {
    struct Row {
        int percent, maxPark;
        std::vector<std::string> plan;
    };
    const Row rows[] = {
        {100, 50, {"A1 DLH1 3 1", "A2 DLH2 3 1", "A3 BAW3 0 1"}},
        {75, 50, {"A1 DLH1 3 1", "A2 DLH2 3 1", "A3 BAW3 0 1"}},
        {50, 50, {"A1 DLH1 3 1", "A2 DLH2 3 1"}},
        {25, 50, {"A1 DLH1 3 1"}},
        {0, 50, {}},
        {100, 1, {"A1 DLH1 3 1"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("{}% max {}", r.percent, r.maxPark));
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 300, 30}, {"A3", 0, 600, 30}, {"A4", 0, 900, 30}});
        g_stands[2].options = {opt("BAW3", "", "A320", "G-A3", tst_bits({20}), 1)};
        CUSTOM_PARKING_PERCENTAGE.set(r.percent);
        MAX_PARK_SEL.set(r.maxPark);
        gf_setParkSite({"EDDF", {}, "", false, 0});
        const std::vector<ParkedTrafficRecord> parked = {
            tst_parked(0x3c0001, "DLH1", "B738", "D-A1", g_stands[0].position(), 3),
            tst_parked(0x3c0002, "DLH2", "B738", "D-A2", g_stands[1].position(), 3)};
        newLog();
        ASSERT_TRUE(lf_runStaticParking(&parked));
        EXPECT_EQ(plan(), r.plan);
        EXPECT_EQ(newLog().find("no parking positions found") != std::string::npos, r.plan.empty());
    }
}

// A static carries the callsign its entry chose, the other when that one is empty, without the
// feed's trailing "_" and followed by "*" once.
TEST_F(StaticPlaceTest, AStaticCarriesItsEntrysCallsignStarredOnce) {
    struct Row {
        const char *callsign, *callsign2;
        uint8_t useFirst;
        const char* carried;
    };
    const Row rows[] = {{"DLH1", "DLH2", 1, "DLH1*"}, {"DLH1", "DLH2", 0, "DLH2*"},
                        {"", "DLH2", 1, "DLH2*"},     {"DLH1", "", 0, "DLH1*"},
                        {"DLH1_", "", 1, "DLH1*"},    {"DLH1__", "", 1, "DLH1*"},
                        {"DLH1*", "", 1, "DLH1*"},    {"", "", 1, ""}};
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("{} {} {}", r.callsign, r.callsign2, r.useFirst));
        PtEntry e;
        e.callsign = r.callsign, e.callsign2 = r.callsign2, e.useFirstCallsign = r.useFirst;
        EXPECT_EQ(lf_detcs(e), r.carried);
    }
}

}  // namespace
