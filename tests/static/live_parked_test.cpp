#include "static/live_parked.h"

#include "core/clock.h"
#include "core/log.h"
#include "live/removal.h"
#include "live/stand_choice.h"
#include "static_fixture.h"

namespace {

constexpr int64_t kMinute = 600'000'000;  // 100-ns clock ticks
constexpr int64_t kNow = 1000 * kMinute;

class LiveParkedTest : public StaticTest {
  protected:
    void SetUp() override {
        StaticTest::SetUp();
        gf_setClock100ns([] { return kNow; });
    }
    static LiveAircraft& parkedFor(uint32_t standId, uint32_t hexid, const std::string& callsign,
                                   const std::string& type, int64_t minutes) {
        g_liveRecords.push_back(liveParkedOn(standId, hexid, callsign, type));
        g_liveRecords.back().steadySince = kNow - minutes * kMinute;
        return g_liveRecords.back();
    }
    static std::vector<std::string> removedLive() {
        std::vector<std::string> out;
        for (const LiveAircraft& ac : g_liveRecords)
            if (ac.lifeState == removingfromsim) out.push_back(ac.callsign);
        return out;
    }
};

// Live aircraft parked longer than 90 minutes (Heavy: 180) leave unless INITIAL_LOAD_ONLY is on;
// one the feed shows on its stand counts as just parked. The list is shortest parked first.
TEST_F(LiveParkedTest, LongParkedLiveAircraftLeave) {
    for (const bool initialOnly : {false, true}) {
        SCOPED_TRACE(initialOnly);
        g_liveRecords.clear();
        INITIAL_LOAD_ONLY.set(initialOnly);
        parkedFor(1, 0x500001, "HVY120", "B744", 120);
        parkedFor(2, 0x500002, "HVY181", "B744", 181);
        parkedFor(3, 0x500003, "LRG90", "B738", 90);
        parkedFor(4, 0x500004, "LRG91", "B738", 91);
        parkedFor(5, 0x500005, "SEEN", "B738", 500).standSampleSeen = 1;
        parkedFor(6, 0x500006, "TAXI", "B738", 500).flightState = taxi;
        gf_removeOldParked();
        std::vector<std::string> listed;
        for (const LiveOnStand& l : g_liveOnStand)
            listed.push_back(fmt::format("{} {} {}", l.callsign, l.standId, l.minutesParked));
        if (initialOnly) {
            EXPECT_EQ(listed, (std::vector<std::string>{"SEEN 5 0", "LRG90 3 90", "LRG91 4 91",
                                                        "HVY120 1 120", "HVY181 2 181"}));
            EXPECT_EQ(removedLive(), std::vector<std::string>{});
        } else {
            EXPECT_EQ(listed, (std::vector<std::string>{"SEEN 5 0", "LRG90 3 90", "HVY120 1 120"}));
            EXPECT_EQ(removedLive(), (std::vector<std::string>{"HVY181", "LRG91"}));
        }
    }
}

// The n longest parked live aircraft go, each with its line; more than there are takes them all.
TEST_F(LiveParkedTest, TheLongestParkedGoFirst) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}});
    for (const auto& [n, removed] : {std::pair<int64_t, std::vector<std::string>>{0, {}},
                                     {2, {"SWR2", "SWR3"}},
                                     {5, {"SWR1", "SWR2", "SWR3"}}}) {
        SCOPED_TRACE(n);
        g_liveRecords.clear();
        parkedFor(1, 0x500001, "SWR1", "B738", 10);
        parkedFor(2, 0x500002, "SWR2", "B738", 40);
        parkedFor(3, 0x500003, "SWR3", "B738", 30);
        newLog();
        gf_removeLiveParked(n);
        EXPECT_EQ(removedLive(), removed);
        if (n == 2)
            EXPECT_EQ(newLog(),
                      "live parked          SWR2          B738 at A2 removed\n"
                      "live parked          SWR3          B738 at A3 removed\n");
    }
}

// Average parked times in the window and the console: sum of half-hours / (2 x count) + half an
// hour; statics being removed still count, statics with WEEK on show none; an aircraft parked
// before its half-hour was known counts with no time of its own.
TEST_F(LiveParkedTest, AverageParkedTimesReachTheWindow) {
    parkedFor(1, 0x500001, "SWR1", "B738", 0).parkSlot = gf_slotMinus(g_currentSlot, 1);
    parkedFor(2, 0x500002, "SWR2", "B738", 0).parkSlot = gf_slotMinus(g_currentSlot, 3);
    parkedFor(3, 0x500003, "TAXI", "B738", 0).flightState = taxi;
    // Parked before its half-hour was known: it counts, with no time of its own.
    parkedFor(7, 0x500007, "SWR7", "B738", 0).parkSlot = 0;
    EXPECT_EQ(gf_liveParkedStats(true), 3);
    EXPECT_FLOAT_EQ(gf_windowStats().liveParkedAvgMinutes, 70);
    g_staticAircraft = {staticOn(4, 5, "DLH1", "B738", "D-A", gf_slotMinus(g_currentSlot, 2)),
                        staticOn(5, 6, "DLH2", "B738", "D-B", gf_slotMinus(g_currentSlot, 4)),
                        staticOn(6, 7, "DLH3", "B738", "D-C", gf_slotMinus(g_currentSlot, 9))};
    g_staticAircraft[1].lifeState = removingfromsim;
    g_staticAircraft[2].lifeState = adding2sim;
    EXPECT_EQ(gf_countStaticAircraft(true), 2);
    EXPECT_FLOAT_EQ(gf_windowStats().staticParkedAvgMinutes, 120);
    EXPECT_NE(gf_statusLine().find("static parked: 0 (avg 120 min) | live parked: 0 (avg 70 min)"),
              std::string::npos)
        << gf_statusLine();
    g_liveRecords.clear();
    gf_liveParkedStats(true);
    EXPECT_FLOAT_EQ(gf_windowStats().liveParkedAvgMinutes, 0);
    WEEK.set(true);
    g_staticAircraft.pop_back();
    g_staticAircraft.pop_back();
    EXPECT_EQ(gf_countStaticAircraft(true), 1);
    EXPECT_FLOAT_EQ(gf_windowStats().staticParkedAvgMinutes, 120);
}

// One aircraft per call leaves the reserved stand: a static first, then a live parked one.
TEST_F(LiveParkedTest, TheReservedStandIsFreedOneAircraftAtATime) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}});
    g_staticAircraft = {staticOn(2, 5, "DLH2", "B738", "D-B", g_currentSlot),
                        staticOn(1, 6, "DLH1", "B738", "D-A", g_currentSlot)};
    parkedFor(2, 0x500002, "SWR2", "B738", 5);
    parkedFor(1, 0x500001, "SWR1", "B738", 5);
    const ParkSite site{"EDDF", {}, "A1", false, 0};
    gf_clearReservedStand(site);
    EXPECT_EQ(
        std::make_tuple(g_staticAircraft[0].lifeState, g_staticAircraft[1].lifeState, removedLive().size()),
        std::make_tuple(active, removingfromsim, size_t{0}));
    gf_clearReservedStand(site);
    EXPECT_EQ(removedLive(), std::vector<std::string>{"SWR1"});
    gf_clearReservedStand(site);
    gf_clearReservedStand({"EDDF", {}, "B9", false, 0});
    EXPECT_EQ(removedLive(), std::vector<std::string>{"SWR1"});
    EXPECT_EQ(g_staticAircraft[0].lifeState, active);
}

// Each sweep removes the first active static that an active live aircraft on the ground
// duplicates, by callsign with "*" or by registration.
TEST_F(LiveParkedTest, TheSweepRemovesOneDuplicateStaticPerCall) {
    parkedFor(1, 0x500001, "DLH1", "B738", 5).onGround = 1;
    parkedFor(2, 0x500002, "SWR9", "B738", 5).onGround = 1;
    g_liveRecords.back().regcode = "D-B";
    parkedFor(3, 0x500003, "DLH3", "B738", 5).onGround = 0;  // not on the ground
    g_staticAircraft = {staticOn(4, 5, "DLH3", "B738", "D-C", g_currentSlot),
                        staticOn(5, 6, "DLH2", "B738", "D-B", g_currentSlot),
                        staticOn(6, 7, "DLH1", "B738", "D-A", g_currentSlot)};
    const auto states = [] {
        std::vector<uint32_t> out;
        for (const AircraftRec& st : g_staticAircraft) out.push_back(st.lifeState);
        return out;
    };
    gf_sweepDuplicateStatics();
    EXPECT_EQ(states(), (std::vector<uint32_t>{active, active, removingfromsim}));
    gf_sweepDuplicateStatics();
    EXPECT_EQ(states(), (std::vector<uint32_t>{active, removingfromsim, removingfromsim}));
    gf_sweepDuplicateStatics();
    EXPECT_EQ(states(), (std::vector<uint32_t>{active, removingfromsim, removingfromsim}));
}

// The flush: an active static is removed, a queued create is withdrawn and its record erased,
// a create already sent removes its object as soon as it appears.
TEST_F(LiveParkedTest, TheFlushTakesEveryStaticOut) {
    g_staticAircraft = {staticOn(1, 5, "DLH1", "B738", "D-A", g_currentSlot),
                        staticOn(2, 6, "DLH2", "B738", "D-B", g_currentSlot),
                        staticOn(3, 7, "DLH3", "B738", "D-C", g_currentSlot)};
    g_staticAircraft[1].lifeState = g_staticAircraft[2].lifeState = adding2sim;
    g_createDequeStatic.push_back({});
    g_createDequeStatic.back().callsign = "DLH2*", g_createDequeStatic.back().hexid = 6;
    gf_flushStatic();
    ASSERT_EQ(g_staticAircraft.size(), 2u);
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
    EXPECT_EQ(std::make_tuple(g_staticAircraft[1].callsign, g_staticAircraft[1].removeWhenItAppears),
              std::make_tuple(std::string("DLH3*"), uint8_t{1}));
    EXPECT_TRUE(g_createDequeStatic.empty());
}

}  // namespace
