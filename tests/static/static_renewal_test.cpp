#include "static/static_renewal.h"

#include "airports/park_airports.h"
#include "core/clock.h"
#include "core/log.h"
#include "feed/traffic_reader.h"
#include "live/removal.h"
#include "live/stand_choice.h"
#include "shell/run_thread.h"
#include "static/park_watch.h"
#include "static_fixture.h"
#include "support/parked_source.h"

namespace {

using StaticRenewalTest = StaticTest;

// Over the wanted count the trim takes fitted statics before the parked traffic the feed has
// just confirmed, and within each kind the one parked longest ago first.
TEST_F(StaticRenewalTest, TrimTakesFittedStaticsBeforeConfirmedParkedTraffic) {
    struct Row {
        int percent;
        std::vector<uint32_t> removed;  // object ids, in the order of their removal
    };
    // Parked traffic SWR1..3 on P1..P3, parked 5, 6 and 7 half-hours ago; fitted DLH1..3 on
    // F1..F3, parked 1, 2 and 3 half-hours ago. With two wanted the parked traffic stops after
    // two records, and SWR3 goes for want of its record.
    const Row rows[] = {{67, {713, 712}}, {34, {703, 713, 712, 711}}, {100, {}}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.percent);
        gf_resetShell();
        tst_addStands({{"P1", 0, 0, 30},
                       {"P2", 0, 100, 30},
                       {"P3", 0, 200, 30},
                       {"F1", 0, 300, 30},
                       {"F2", 0, 400, 30},
                       {"F3", 0, 500, 30}});
        gf_setParkSite({"EDDF", {}, "", false, 0});
        CUSTOM_PARKING_PERCENTAGE.set(r.percent);
        std::vector<ParkedTrafficRecord> parked;
        for (uint32_t i = 1; i <= 3; ++i) {
            const std::string cs = "SWR" + std::to_string(i);
            AircraftRec st = staticOn(i, i, cs, "A320", "HB-" + cs,
                                      gf_slotMinus(g_currentSlot, 4 + static_cast<int>(i)), 0);
            st.sourceHexid = 0x4b0000 + i;
            g_staticAircraft.push_back(st);
            parked.push_back(tst_parked(st.sourceHexid, cs, "A320", st.regcode, g_stands[i - 1].position(),
                                        4 + static_cast<int>(i)));
            const std::string fitted = "DLH" + std::to_string(i);
            g_stands[i + 2].options = {opt(fitted, "", "B738", "D-" + fitted, tst_bits({20}), 1)};
            g_staticAircraft.push_back(staticOn(i + 3, 10 + i, fitted, "B738", "D-" + fitted,
                                                gf_slotMinus(g_currentSlot, static_cast<int>(i))));
        }
        ASSERT_TRUE(tst_startParkedReader());
        tst_setParked(parked);
        gf_startRenewal();
        ASSERT_TRUE(tst_awaitParkedAnswer());
        ASSERT_TRUE(gf_adjustParking(false));
        EXPECT_EQ(std::vector<uint32_t>(g_removeDeque.begin(), g_removeDeque.end()), r.removed);
        EXPECT_TRUE(g_ptList.empty());
        gf_stopTrafficReader();
    }
}

// The window of the last fit reaches over midnight exactly as far as within a day: w + 1
// half-hours from the current one back.
TEST_F(StaticRenewalTest, TheWindowIsAsWideOverMidnightAsWithinADay) {
    struct Row {
        int nowDay, nowSlot, optionDay, optionSlot;
        bool kept;
        int window = 5;
    };
    // A fit that ran out of half-hours (offset 48) looks back over the whole day and no further.
    const Row rows[] = {{1, 10, 1, 5, true},      {1, 10, 1, 4, false}, {1, 2, 7, 45, true},
                        {1, 2, 7, 44, false},     {1, 0, 7, 43, true},  {1, 0, 7, 42, false},
                        {3, 2, 2, 45, true},      {3, 2, 2, 44, false}, {1, 47, 1, 0, true, 48},
                        {1, 47, 7, 47, false, 48}};
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("{} {} {} {}", r.nowDay, r.nowSlot, r.optionDay, r.optionSlot));
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}});
        g_stands[0].options = {
            opt("DLH1", "", "B738", "D-A", tst_bits({r.optionSlot}), 1, static_cast<uint32_t>(r.optionDay))};
        g_staticAircraft.push_back(staticOn(1, 5, "DLH1", "B738", "D-A", tst_at(r.optionDay, r.optionSlot)));
        g_fitRealOffset = r.window;
        lf_diffStaticAgainstFit(tst_at(r.nowDay, r.nowSlot));
        EXPECT_EQ(g_staticCheckList.size(), r.kept ? 1u : 0u);
        EXPECT_EQ(g_staticRemovalQueue.size(), r.kept ? 0u : 1u);
    }
}

// An option without a registration still names its static by airline, type and callsign, also
// when the static carries the option's second callsign.
TEST_F(StaticRenewalTest, AnOptionWithoutRegistrationKeepsItsStatic) {
    struct Row {
        const char *optionCs, *optionCs2, *optionType, *carried, *spawn;
        bool kept;
    };
    const Row rows[] = {{"DLH1", "", "B738", "DLH1", "DLH1", true},
                        {"DLH1", "DLH2", "B738", "DLH2", "DLH1", true},
                        {"DLH9", "", "B738", "DLH1", "DLH1", false},
                        {"DLH1", "", "A320", "DLH1", "DLH1", false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("{} {} {} {}", r.optionCs, r.optionCs2, r.optionType, r.carried));
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}});
        g_stands[0].options = {opt(r.optionCs, r.optionCs2, r.optionType, "", tst_bits({20}), 1)};
        AircraftRec st = staticOn(1, 5, r.carried, "B738", "", g_currentSlot);
        st.spawnCallsign = r.spawn, st.coupledCallsign = r.optionCs2;
        g_staticAircraft.push_back(st);
        g_fitRealOffset = 0;
        lf_diffStaticAgainstFit(g_currentSlot);
        EXPECT_EQ(g_staticCheckList.size(), r.kept ? 1u : 0u);
        EXPECT_EQ(g_staticRemovalQueue.size(), r.kept ? 0u : 1u);
    }
}

// A kept static whose flight leaves after this half-hour under its second callsign is placed
// again with that callsign, keeping the half-hour it parked in; not while the next half-hour is
// still in its option, nor by an option of its callsign with another type.
TEST_F(StaticRenewalTest, ADepartingStaticIsPlacedAgainUnderItsSecondCallsign) {
    struct Row {
        std::vector<StandOption> options;
        bool renewed;
    };
    const Row rows[] = {{{opt("DLH1", "DLH2", "B738", "D-A", tst_bits({20}), 1)}, true},
                        {{opt("DLH1", "DLH2", "B738", "D-A", tst_bits({20, 21}), 1)}, false},
                        {{opt("DLH9", "", "B738", "D-A", tst_bits({20}), 1),
                          opt("DLH1", "DLH2", "A320", "D-B", tst_bits({20}), 2)},
                         false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.options.size() * 10 + r.renewed);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}});
        g_stands[0].options = r.options;
        AircraftRec st = staticOn(1, 5, "DLH1", "B738", "D-A", gf_slotMinus(g_currentSlot, 3));
        st.coupledCallsign = "DLH2";
        g_staticAircraft = {st};
        gf_setParkSite({"EDDF", {}, "", false, 0});
        gf_startRenewal();
        ASSERT_TRUE(gf_adjustParking(false));
        EXPECT_EQ(plan(), r.renewed ? std::vector<std::string>{"A1 DLH1 3 0"} : std::vector<std::string>{});
        EXPECT_EQ(std::vector<uint32_t>(g_removeDeque.begin(), g_removeDeque.end()),
                  r.renewed ? std::vector<uint32_t>{705} : std::vector<uint32_t>{});
    }
}

// More live aircraft on stands than wanted: the longest parked go before anything else.
TEST_F(StaticRenewalTest, TooManyLiveParkedGoLongestParkedFirst) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}, {"A3", 0, 200, 30}, {"A4", 0, 300, 30}});
    CUSTOM_PARKING_PERCENTAGE.set(50);
    gf_setParkSite({"EDDF", {}, "", false, 0});
    const int64_t now = gf_clock100ns();
    for (uint32_t i = 1; i <= 4; ++i) {
        g_liveRecords.push_back(liveParkedOn(i, 0x500000 + i, "SWR" + std::to_string(i), "B738"));
        g_liveRecords.back().steadySince = now - 600'000'000LL * (10 * i);  // SWR4 parked longest
    }
    gf_startRenewal();
    newLog();
    ASSERT_TRUE(gf_adjustParking(false));
    std::vector<std::string> removed;
    for (const LiveAircraft& ac : g_liveRecords)
        if (ac.lifeState == removingfromsim) removed.push_back(ac.callsign);
    EXPECT_EQ(removed, (std::vector<std::string>{"SWR3", "SWR4"}));
    EXPECT_NE(newLog().find("Parking adjustments: 2 more live ac than wanted"), std::string::npos);
}

// The renewal's plan places the aircraft seen longest ago first; equally old ones keep the order
// the feed listed them in.
TEST_F(StaticRenewalTest, TheRenewalPlansTheOldestFirstAndKeepsTheFeedsOrder) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 300, 30}, {"A3", 0, 600, 30}, {"A4", 0, 900, 30}});
    gf_setParkSite({"EDDF", {}, "", false, 0});
    ASSERT_TRUE(tst_startParkedReader());
    tst_setParked({tst_parked(0x3c0003, "DLH3", "B738", "D-A3", g_stands[2].position(), 2),
                   tst_parked(0x3c0001, "DLH1", "B738", "D-A1", g_stands[0].position(), 2),
                   tst_parked(0x3c0004, "DLH4", "B738", "D-A4", g_stands[3].position(), 5),
                   tst_parked(0x3c0002, "DLH2", "B738", "D-A2", g_stands[1].position(), 2)});
    gf_startRenewal();
    ASSERT_TRUE(tst_awaitParkedAnswer());
    ASSERT_TRUE(gf_adjustParking(false));
    EXPECT_EQ(plan(), (std::vector<std::string>{"A4 DLH4 5 1", "A3 DLH3 2 1", "A1 DLH1 2 1", "A2 DLH2 2 1"}));
}

// Soft options fill the renewal only with PARK_SOFT or PARK_FAKE on.
TEST_F(StaticRenewalTest, SoftOptionsFillTheRenewalWhenAllowed) {
    for (const auto& [soft, fake, planned] :
         {std::tuple{false, false, false}, {true, false, true}, {false, true, true}}) {
        SCOPED_TRACE(fmt::format("{} {}", soft, fake));
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}});
        g_stands[0].options = {opt("EZY1", "", "A320", "HB-1", tst_bits({20}), 1, 1, 0)};
        PARK_SOFT.set(soft);
        PARK_FAKE.set(fake);
        gf_setParkSite({"EDDF", {}, "", false, 0});
        gf_startRenewal();
        ASSERT_TRUE(gf_adjustParking(false));
        EXPECT_EQ(plan(), planned ? std::vector<std::string>{"A1 EZY1 0 1"} : std::vector<std::string>{});
        EXPECT_EQ(gf_windowStats().softMark, planned);
    }
}

// A PT entry for the aircraft a fitted static already shows on its stand is taken by the static;
// over the trim, the live aircraft on the last listed stand goes.
TEST_F(StaticRenewalTest, ThePlanDropsWhatTheStaticsAlreadyShow) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}});
    g_staticAircraft = {staticOn(2, 5, "DLH1", "B738", "D-A", g_currentSlot)};
    g_ptList = {{0, 1, 2, 0, "DLH", "B738", "DLH1", "", "D-A", 1},
                {0, 1, 1, 0, "BAW", "A320", "BAW2", "", "G-B", 1}};
    lf_diffStaticAgainstFit(g_currentSlot);
    EXPECT_EQ(plan(), std::vector<std::string>{"A1 BAW2 0 1"});
    EXPECT_EQ(g_staticCheckList.size(), 1u);
    g_ptList.clear();
    g_staticCheckList.clear();
    g_liveOnStand = {{"SWR1", 1, 10}, {"SWR2", 2, 50}};
    g_liveRecords = {liveParkedOn(1, 0x500001, "SWR1", "B738"), liveParkedOn(2, 0x500002, "SWR2", "B738")};
    lf_trimToWanted(1);
    EXPECT_EQ(g_liveRecords[0].lifeState, active);
    EXPECT_EQ(g_liveRecords[1].lifeState, removingfromsim);
}

// Parked traffic against the fitted statics (not in a full renewal): an entry for the stand of a
// static seen no later than the static was placed gives way to it; a newer one drives the static
// off; an entry for the static's own aircraft elsewhere is dropped when airline and type agree.
TEST_F(StaticRenewalTest, ParkedTrafficAndFittedStaticsTheNewerKeepsTheStand) {
    struct Row {
        const char* name;
        uint32_t entryStand;
        const char *entryCallsign, *entryType;
        int entryAge;
        bool full;
        uint32_t noSource, lifeState;
        bool entryKept, staticQueued;
    };
    const Row rows[] = {
        {"older record on its stand", 1, "BAW2", "A320", 5, false, 1, active, false, false},
        {"record as old on its stand", 1, "BAW2", "A320", 3, false, 1, active, false, false},
        {"newer record on its stand", 1, "BAW2", "A320", 1, false, 1, active, true, true},
        {"record of this half-hour on its stand", 1, "BAW2", "A320", 0, false, 1, active, true, true},
        {"its own aircraft elsewhere", 2, "DLH1", "B738", 1, false, 1, active, false, false},
        {"its callsign with another type", 2, "DLH1", "A320", 1, false, 1, active, true, false},
        {"another aircraft elsewhere", 2, "BAW2", "A320", 1, false, 1, active, true, false},
        {"a full renewal", 1, "BAW2", "A320", 1, true, 1, active, true, false},
        {"a static of parked traffic", 1, "BAW2", "A320", 1, false, 0, active, true, false},
        {"a static still being created", 1, "BAW2", "A320", 1, false, 1, adding2sim, true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 300, 30}});
        AircraftRec st = staticOn(1, 5, "DLH1", "B738", "D-A", gf_slotMinus(g_currentSlot, 3), r.noSource);
        st.lifeState = r.lifeState;
        g_staticAircraft = {st};
        PtEntry e;
        e.noSourceHexid = 0, e.standId = static_cast<int32_t>(r.entryStand), e.slotOffset = r.entryAge;
        e.airline = std::string(r.entryCallsign).substr(0, 3), e.type = r.entryType,
        e.callsign = r.entryCallsign;
        g_ptList = {e};
        lf_dropStaticsNotInPt(r.full, g_currentSlot);
        EXPECT_EQ(g_ptList.size(), r.entryKept ? 1u : 0u);
        EXPECT_EQ(g_staticRemovalQueue.size(), r.staticQueued ? 1u : 0u);
    }
}

// Another aircraft planned on a fitted static's stand: the newer of the two keeps it. An entry
// seen no later than the static was placed gives way; a static of unknown time counts as placed
// in this half-hour.
TEST_F(StaticRenewalTest, AnotherAircraftOnAStaticsStandTheNewerStays) {
    struct Row {
        int staticAge;  // -1: unknown
        int entryAge;
        bool staticStays;
    };
    const Row rows[] = {{3, 4, true},  {3, 3, true},  {3, 2, false},
                        {3, 0, false}, {-1, 0, true}, {-1, 1, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("{} {}", r.staticAge, r.entryAge));
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}});
        const uint64_t placed = r.staticAge < 0 ? 0 : gf_slotMinus(g_currentSlot, r.staticAge);
        g_staticAircraft = {staticOn(1, 5, "DLH1", "B738", "D-A", placed)};
        g_ptList = {{0, 1, 1, r.entryAge, "BAW", "A320", "BAW2", "", "G-B", 1}};
        lf_diffStaticAgainstFit(g_currentSlot);
        EXPECT_EQ(plan(), r.staticStays ? std::vector<std::string>{}
                                        : std::vector<std::string>{fmt::format("A1 BAW2 {} 1", r.entryAge)});
        EXPECT_EQ(g_staticRemovalQueue.size(), r.staticStays ? 0u : 1u);
        EXPECT_EQ(g_staticCheckList.size(), r.staticStays ? 1u : 0u);
    }
}

// The queued statics leave: each the one of that hexid on that stand, while shown or going; the
// queue empties, and planned aircraft still waiting keep the parking controls locked.
TEST_F(StaticRenewalTest, QueuedStaticsLeaveAndThePlanKeepsTheControlsLocked) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 300, 30}});
    for (const bool planned : {false, true}) {
        SCOPED_TRACE(planned);
        gf_unlockParkingControls();
        g_staticAircraft = {staticOn(1, 5, "DLH1", "B738", "D-A", g_currentSlot),
                            staticOn(2, 5, "DLH5", "B738", "D-E", g_currentSlot),
                            staticOn(1, 6, "DLH2", "B738", "D-B", g_currentSlot),
                            staticOn(2, 7, "DLH3", "B738", "D-C", g_currentSlot)};
        g_staticAircraft[2].lifeState = adding2sim;
        g_staticRemovalQueue = {{"DLH1*", 1, 5}, {"DLH2*", 1, 6}, {"DLH3*", 2, 7}};
        g_ptList.clear();
        if (planned) g_ptList.push_back(PtEntry{});
        lf_removeQueuedStatics();
        std::vector<uint32_t> states;
        for (const AircraftRec& s : g_staticAircraft) states.push_back(s.lifeState);
        EXPECT_EQ(states, (std::vector<uint32_t>{removingfromsim, active, adding2sim, removingfromsim}));
        EXPECT_TRUE(g_staticRemovalQueue.empty());
        EXPECT_EQ(g_parkingControlsLocked.load(), planned);
    }
}

// A planned aircraft on a neighbour stand whose wings would reach a fitted static: the newer of
// the two stays (the static's stand still fits it); one far enough away leaves both.
TEST_F(StaticRenewalTest, APlannedNeighbourTooCloseAndTheStaticTheNewerStays) {
    struct Row {
        const char* type;  // of the neighbour's plan
        int age;
        bool planKept, staticKept;
    };
    const Row rows[] = {{"B744", 1, true, false}, {"B744", 5, false, true}, {"C172", 1, true, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(fmt::format("{} {}", r.type, r.age));
        gf_resetShell();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 50, 30}});
        ASSERT_EQ(g_stands[0].neighbours, std::vector<uint32_t>{2});
        g_stands[0].options = {opt("DLH1", "", "B738", "D-A", tst_bits({20}), 1)};
        AircraftRec st = staticOn(1, 5, "DLH1", "B738", "D-A", gf_slotMinus(g_currentSlot, 3));
        st.halfWingSpan = gf_halfWingspan("B738");
        g_staticAircraft = {st};
        PtEntry e;
        e.standId = 2, e.slotOffset = r.age, e.airline = "BAW", e.type = r.type, e.callsign = "BAW2";
        g_ptList = {e};
        g_fitRealOffset = 5;
        lf_diffStaticAgainstFit(g_currentSlot);
        EXPECT_EQ(g_ptList.size(), r.planKept ? 1u : 0u);
        EXPECT_EQ(g_staticCheckList.size(), r.staticKept ? 1u : 0u);
        EXPECT_EQ(g_staticRemovalQueue.size(), r.staticKept ? 0u : 1u);
    }
}

}  // namespace
