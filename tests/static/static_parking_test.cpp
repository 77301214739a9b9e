#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>

#include "airports/apf_read.h"
#include "airports/apf_save.h"
#include "airports/park_airports.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/run_requests.h"
#include "feed/feed_state.h"
#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "shell/run_thread.h"
#include "static_fixture.h"

namespace {

// Real observations first, walking back over midnight into Sunday, then soft ones; an aircraft
// already planned is left out without losing its option's number, which the learned file keeps;
// helipads only with helicopters.
TEST_F(StaticTest, RealThenSoftPlanOnASmallAirportAndTheLearnedFileAfterIt) {
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
}

// Planned at the next cycle when the time cannot be read, and never on the reserved stand or the user's.
TEST_F(StaticTest, AnUnreadableTimePlansNothingAndIsTriedAgain) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}});
    for (Stand& s : g_stands) s.options = {opt("DLH" + s.name, "", "B738", "D-" + s.name, tst_bits({20}), 1)};
    g_userOnGround = true, g_userPosition.lat = g_stands[2].latitude, g_userPosition.lon = g_stands[2].longitude;
    gf_setParkSite({"", {}, "A2", false, 0});
    g_currentSlot = gf_packSlot(-1, -1);
    lf_computeStaticParking();
    EXPECT_TRUE(g_ptList.empty() && gf_staticParkingPending());
    g_currentSlot = tst_at(1, 20);
    gf_staticParkingCycle();
    EXPECT_EQ(plan(), std::vector<std::string>{"A1 DLHA1 0 1"});
}

// A static object removed before its activation, and a create the simulator refuses, leave no
// record behind; a live aircraft created parked on a stand takes its planned entries away.
TEST_F(StaticTest, StaticRecordsEndWithTheirObjects) {
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

// Half a simulated day: renewals every 20 minutes through the main loop, live aircraft arriving on stands and
// leaving after their parked time, planned ones turning live. No stand holds two aircraft, no object is unowned.
constexpr int kStands = 16, kRenewals = 36, kTicksPerRenewal = 4000;

TEST_F(StaticTest, SoakOfRenewalsWithLiveArrivalsAndDepartures) {
    static int64_t minutesNow;  // outlives the case: the clocks are reset after it
    minutesNow = 0;
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::sys_days{std::chrono::year{2026} / 12 / 7}) +
                                                     std::chrono::minutes(minutesNow); });  // a Monday
    gf_setClock100ns([] { return minutesNow * 600'000'000; });
    g_currentSlot = gf_slotAndWeekday();
    WEEK.set(true);
    CUSTOM_PARKING_PERCENTAGE.set(75);
    for (int i = 0; i < kStands; ++i) {  // on the harness airport, where the object scans find the statics
        const LatLon p = tst_offsetM(0, 100.0 * i);
        Stand& s = g_stands.emplace_back("S" + std::to_string(i), std::vector<StandOption>{},
                                         p.lat + kHarnessLat - kStandOrigin.lat, p.lon + kHarnessLon - kStandOrigin.lon,
                                         0.0, 30, false, false, false);
        for (uint32_t k = 0; k < 3; ++k) {
            const int first = (i * 3 + static_cast<int>(k) * 16) % 40;
            const std::string cs = (k == 1 ? "BAW" : "DLH") + std::to_string(100 * i + static_cast<int>(k));
            s.options.push_back(opt(cs, k == 0 ? cs + "X" : "", k == 1 ? "A320" : "B738", "R-" + cs,
                                    tst_range(first, first + 8), k + 1));
        }
    }
    gf_numberStands();
    gf_setParkSite({"EDDF", {kHarnessLat, kHarnessLon}, "", false, 0});
    startFlight();
    lf_computeStaticParking();
    tick(kTicksPerRenewal);
    size_t mostStatics = 0;
    for (int r = 1; r <= kRenewals; ++r) {
        SCOPED_TRACE(r);
        minutesNow += 20;
        // A live aircraft created parked on a stand, as the simulator events would report it.
        LiveAircraft ac = liveParkedOn(static_cast<uint32_t>(r * 5 % kStands + 1), 0x500000 + static_cast<uint32_t>(r),
                                       "SWR" + std::to_string(r), "B738");
        ac.objectId = 900000 + static_cast<uint32_t>(r), ac.steadySince = gf_clock100ns();
        ac.stream.front().stationary = 1, ac.stream.front().dueTick = 0x7fffffff, ac.onGround = 1;
        gf_takeStand(ac);
        lf_parksOnCreate(ac);
        g_liveRecords.push_back(std::move(ac));
        g_renewalRequested = true;
        tick(1500);
        if (r % 4 == 0) gf_gatherCallsign(g_stands[static_cast<size_t>(r % kStands)].options[0].callsign, 0x600000);
        tick(kTicksPerRenewal - 1500);
        // The simulator's answer for the live objects it does not model.
        for (size_t i = g_liveRecords.size(); i-- > 0;)
            if (g_liveRecords[i].lifeState == removingfromsim) lf_onObjectRemoved(g_liveRecords[i].objectId);
        ASSERT_FALSE(g_renewalRequested) << "the renewal ran";
        std::map<uint32_t, int> holders;  // stands holding more than one aircraft
        for (const AircraftRec& st : g_staticAircraft) holders[st.standId] += st.lifeState <= active;
        for (const LiveAircraft& live : g_liveRecords) holders[live.standId] += live.lifeState == active;
        for (const auto& [id, n] : holders) ASSERT_LE(n, 1) << gf_standNameOfId(id);
        ASSERT_EQ(unownedObjects(), std::vector<std::string>{});
        mostStatics = std::max(mostStatics, g_staticAircraft.size());
    }
    EXPECT_LE(g_staticAircraft.size() + g_ptList.size(), static_cast<size_t>(kStands));
    EXPECT_GE(mostStatics, 8u) << "the stands were filled";
    EXPECT_LE(g_liveRecords.size(), 6u) << "live aircraft left after their parked time";
}

// At Monday 01:00 the window of the last fit reaches back into Sunday's options only when it
// is wider than the half-hours of Monday.
TEST_F(StaticTest, RenewalKeepsWhatStillFitsAcrossTheWeeksWrap) {
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
TEST_F(StaticTest, RenewalRemovesLiveFlightsOrEverythingWhenFull) {
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
        EXPECT_EQ(std::vector<uint32_t>(g_removeDeque.begin(), g_removeDeque.end()), r.removed);
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

// The trim drops plans first, then kept statics, and live parked aircraft only with a wanted
// count of at least one.
TEST_F(StaticTest, RenewalTrimsPlansThenStaticsThenLive) {
    struct Row {
        int64_t wanted;
        size_t liveLeft, removedStatics;
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

}  // namespace
