#include "static/static_place.h"

#include <functional>
#include <mutex>

#include <fmt/format.h>

#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "shell/run_thread.h"
#include "sim/sim_link.h"
#include "static_fixture.h"

namespace {

using StaticPlaceTest = StaticTest;

// The entry at the back becomes a static aircraft in adding2sim with its create queued; its park
// half-hour lies three half-hours back, in Sunday.
TEST_F(StaticPlaceTest, PlacesTheBackEntryWithItsCreate) {
    tst_addStands({{"A1", 0, 0, 30}});
    g_stands[0].heading = gf_degToRad(90);
    g_currentSlot = tst_at(1, 1);
    g_staticHexidCounter = 41;
    g_ptList.push_back({0x3c4a11, 0, 1, 3, "DLH", "B738", "", "", "D-ABCD", 1});

    gf_placeStaticAircraft();

    ASSERT_EQ(g_staticAircraft.size(), 1u);
    const AircraftRec& st = g_staticAircraft[0];
    EXPECT_EQ(fmt::format("{} {} {} {} {:x} {}", st.callsign, st.hexid, st.lifeState, st.noSourceHexid,
                          st.sourceHexid, st.liveryTitle),
              fmt::format("DLH42* 42 {} 0 3c4a11 {}", uint32_t{adding2sim}, kTitleDlh738));
    EXPECT_EQ(st.parkSlot, tst_at(7, 46));
    ASSERT_EQ(g_createDequeStatic.size(), 1u);
    const AiCreateRec& c = g_createDequeStatic[0];
    EXPECT_EQ(fmt::format("{} {} {} {} {}", c.callsign, c.hexid, c.heading, c.onGround,
                          c.lat == g_stands[0].latitude),
              "DLH42* 42 90 1 true");
    EXPECT_TRUE(g_ptList.empty());
}

TEST_F(StaticPlaceTest, RunningNumbersAndCallsigns) {
    g_staticHexidCounter = 9998;
    g_staticAircraft = {staticOn(0, 9999, "A1", "B738", "", 0), staticOn(0, 0, "A2", "B738", "", 0)};
    EXPECT_EQ(gf_nextStaticHexid(), 1u) << "9999 and 0 are held";
    EXPECT_EQ(lf_normaliseCallsign("ABC123__"), "ABC123*");
    EXPECT_EQ(lf_normaliseCallsign("ABC1*"), "ABC1*");
    EXPECT_EQ(lf_detcs({0, 1, 1, 0, "ABC", "B738", "", "ABC2_", "", 1}), "ABC2*");
    EXPECT_EQ(lf_detcs({0, 1, 1, 0, "ABC", "B738", "", "", "", 1}), "");
    EXPECT_NE(newLog().find("===> lf_detcs callsign is empty.."), std::string::npos);
}

TEST_F(StaticPlaceTest, NoPlacementOnOrBesideAnOccupiedStand) {
    struct Row {
        const char* why;
        std::function<void()> arrange;
        const char* line;
    };
    const Row rows[] = {
        {"live on the stand", [this] { g_liveRecords.push_back(liveParkedOn(1, 30001, "SWR1", "B738")); },
         "A1      : no static parking for DLH5, live aircraft SWR1 standing here"},
        {"live beside", [this] { g_liveRecords.push_back(liveParkedOn(2, 30001, "SWR1", "B738")); },
         "A1      : no static parking for DLH5, live aircraft SWR1 is adjacent at A2, possibly colliding"},
        {"static beside", [this] { g_staticAircraft.push_back(staticOn(2, 7, "EZY7", "A320", "G-E", 0)); },
         "A1      : no static parking for DLH5, static aircraft EZY7* is adjacent at A2, possibly colliding"},
        {"unknown stand", [] { g_ptList.back().standId = 9; }, "===> stand with id sid==? not found"},
    };
    LOG.set(true);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 40, 30}});
        g_ptList = {{0, 1, 1, 0, "DLH", "B738", "DLH5", "", "D-A", 1}};
        r.arrange();
        newLog();
        const size_t statics = g_staticAircraft.size();
        gf_placeStaticAircraft();
        EXPECT_EQ(g_staticAircraft.size(), statics);
        EXPECT_TRUE(g_ptList.empty());
        EXPECT_NE(newLog().find(r.line), std::string::npos);
    }
}

// A newer parked-traffic record takes the stand from a static aircraft seen earlier; an older
// one leaves it standing and is dropped.
TEST_F(StaticPlaceTest, ParkedTrafficAgainstAStaticOnItsStand) {
    struct Row {
        int recordAge;
        const char* planned;
        uint32_t staticState;
        uint32_t liveHexid;
    };
    for (const Row r : {Row{3, "A1 BAW3 3 1", removingfromsim, 0}, Row{7, "A1 EZY7 5 1", active, 0},
                        Row{3, nullptr, active, 0x400001}}) {
        SCOPED_TRACE(r.recordAge);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}});
        g_staticAircraft.push_back(staticOn(1, 7, "EZY7", "A320", "G-E", gf_slotMinus(g_currentSlot, 5), 0));
        if (r.liveHexid) g_liveRecords.push_back(liveParkedOn(0, r.liveHexid, "X", "B738"));
        const ParkedTrafficRecord rec{
            "BAW",    "A320",      "BAW3", "G-B", g_stands[0].latitude, g_stands[0].longitude,
            0x400001, r.recordAge, ""};
        lf_assignStandsToPt({rec});
        EXPECT_EQ(plan(), r.planned ? std::vector<std::string>{r.planned} : std::vector<std::string>{});
        EXPECT_EQ(g_staticAircraft[0].lifeState, r.staticState);
        EXPECT_EQ(g_staticRemovalQueue.size(), r.staticState == active ? 0u : 1u);
    }
}

// Planned at the next cycle, and never on the reserved stand or the user's.
TEST_F(StaticPlaceTest, AnUnreadableTimePlansNothingAndIsTriedAgain) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}});
    for (Stand& s : g_stands) s.options = {opt("DLH" + s.name, "", "B738", "D-" + s.name, tst_bits({20}), 1)};
    g_userOnGround = true;  // the user's aircraft stands on A3
    g_userPosition.lat = g_stands[2].latitude;
    g_userPosition.lon = g_stands[2].longitude;
    ParkSite site;
    site.reservedStand = "A2";
    gf_setParkSite(site);
    g_currentSlot = gf_packSlot(-1, -1);
    lf_computeStaticParking();
    EXPECT_TRUE(g_ptList.empty());
    EXPECT_TRUE(gf_staticParkingPending());
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
    st.lifeState = adding2sim;
    st.objectId = 0;
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
    EXPECT_TRUE(g_staticAircraft.empty());
    EXPECT_TRUE(g_waitingEvents.empty());

    g_ptList = {{0, 1, 1, 0, "DLH", "B738", "DLH5", "", "D-A", 1}};
    LiveAircraft ac = liveParkedOn(1, 30001, "SWR1", "B738");
    lf_parksOnCreate(ac);
    EXPECT_TRUE(g_ptList.empty());
}

}  // namespace
