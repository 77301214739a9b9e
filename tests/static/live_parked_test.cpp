#include "static/live_parked.h"

#include "core/clock.h"
#include "live/removal.h"
#include "static_fixture.h"
#include "support/live_builders.h"

namespace {

using LiveParkedTest = StaticTest;

constexpr int64_t kMinute = 600'000'000;

TEST_F(LiveParkedTest, LongParkedLiveAircraftLeaveUnlessOnlyTheInitialLoadCounts) {
    struct Row {
        const char* type;
        int64_t minutes;
        bool initialLoadOnly;
        bool stays;
    };
    const Row rows[] = {
        {"B744", 120, false, true},  {"B738", 91, false, false}, {"B738", 90, false, true},
        {"B744", 181, false, false}, {"B738", 91, true, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.type) + " " + std::to_string(r.minutes));
        INITIAL_LOAD_ONLY.set(r.initialLoadOnly);
        g_liveRecords = {liveParkedOn(4, 30001, "SWR1", r.type), liveParkedOn(5, 30002, "SWR2", "B738")};
        g_liveRecords[0].steadySince = gf_clock100ns() - r.minutes * kMinute;
        g_liveRecords[1].standSampleSeen = 1;
        gf_removeOldParked();
        ASSERT_EQ(g_liveOnStand.size(), r.stays ? 2u : 1u);
        EXPECT_EQ(g_liveOnStand.front().callsign, "SWR2") << "shortest parked first";
        if (r.stays) EXPECT_EQ(g_liveOnStand.back().minutesParked, r.minutes);
        EXPECT_EQ(g_liveRecords[0].lifeState, r.stays ? active : removingfromsim);
    }
}

TEST_F(LiveParkedTest, ReservedStandFreesOneAircraftAndAnUnknownNameNone) {
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

// Removing all static aircraft flushes them (queued creates withdrawn, sent ones removed as they
// appear), takes the stands from live aircraft on the ground and gives MAX_LIVE_SEL back.
TEST_F(LiveParkedTest, RemovingAllStaticAircraft) {
    AircraftRec queued = staticOn(1, 5, "DLH5", "B738", "D-A", 0);
    queued.lifeState = adding2sim;
    queued.objectId = 0;
    AircraftRec sent = queued;
    sent.hexid = 6;
    sent.callsign = "DLH6*";
    g_createDequeStatic.push_back(tst_createRequest("DLH5*", 5));
    g_staticAircraft = {queued, sent, staticOn(2, 7, "DLH7", "B738", "D-B", 0)};
    g_liveRecords = {liveParkedOn(3, 30001, "SWR1", "B738"), liveParkedOn(4, 30002, "SWR2", "B738")};
    g_liveRecords[1].flightState = flying;
    g_ptList = {{0, 1, 1, 0, "DLH", "B738", "DLH9", "", "D-C", 1}};
    MAX_LIVE_SEL.set(100);

    gf_removeAllStaticAircraft();

    ASSERT_EQ(g_staticAircraft.size(), 2u);
    EXPECT_EQ(g_staticAircraft[0].hexid, 6u);
    EXPECT_EQ(g_staticAircraft[0].removeWhenItAppears, 1);
    EXPECT_EQ(g_staticAircraft[1].lifeState, removingfromsim);
    EXPECT_TRUE(g_createDequeStatic.empty());
    EXPECT_TRUE(g_ptList.empty());
    EXPECT_EQ(g_liveRecords[0].standId, 0u);
    EXPECT_EQ(g_liveRecords[1].lifeState, active) << "in the air it keeps flying";
    EXPECT_EQ(std::vector<uint32_t>(g_removeDeque.begin(), g_removeDeque.end()),
              (std::vector<uint32_t>{707, 801}));
    EXPECT_EQ(MAX_LIVE_SEL.value(), 500);
}

// Parked since Sunday 23:30, counted at Monday 00:30: two half-hours, not most of a week.
TEST_F(LiveParkedTest, ParkedTimesCountOverTheWeeksWrap) {
    g_currentSlot = tst_at(1, 1);
    LiveAircraft ac = liveParkedOn(1, 30001, "SWR1", "B738");
    ac.parkSlot = tst_at(7, 47);
    g_liveRecords.push_back(ac);
    EXPECT_EQ(gf_liveParkedStats(true), 1);
    EXPECT_FLOAT_EQ(gf_windowStats().liveParkedAvgMinutes, 90.0f);
    g_staticAircraft.push_back(staticOn(1, 5, "DLH5", "B738", "D-A", tst_at(7, 47)));
    EXPECT_EQ(gf_countStaticAircraft(true), 1);
    EXPECT_FLOAT_EQ(gf_windowStats().staticParkedAvgMinutes, 90.0f);
}

TEST_F(LiveParkedTest, SweepRemovesOneStaticThatDuplicatesALiveAircraft) {
    LiveAircraft ac = liveParkedOn(1, 30001, "DLH5", "B738");
    ac.onGround = 1;
    g_liveRecords.push_back(ac);
    ac.callsign = "SWR9";
    ac.regcode = "D-Q";
    g_liveRecords.push_back(ac);
    g_staticAircraft = {staticOn(2, 4, "DLH4", "B738", "", 0), staticOn(3, 5, "DLH5", "B738", "D-Q", 0),
                        staticOn(4, 6, "DLH6", "B738", "D-Q", 0)};
    gf_sweepDuplicateStatics();
    EXPECT_EQ(g_staticAircraft[0].lifeState, active) << "an empty registration names nobody";
    EXPECT_EQ(g_staticAircraft[1].lifeState, removingfromsim);
    EXPECT_EQ(g_staticAircraft[2].lifeState, active) << "one per sweep";
}

}  // namespace
