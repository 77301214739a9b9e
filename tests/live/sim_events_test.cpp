#include "live/sim_events.h"

#include <filesystem>

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "aircraft/regcodes.h"
#include "aircraft/type_database.h"
#include "airports/stand.h"
#include "core/errors.h"
#include "core/log.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "live/respawn.h"
#include "live/tick.h"
#include "platform/window_model.h"
#include "sim/flight_plan.h"
#include "support/live_builders.h"
#include "support/sim_commands.h"
#include "support/stand_builders.h"
#include "support/tick_harness.h"

namespace {

using SimEventsTest = TickHarness;

constexpr uint32_t kHexid = 0x3C6444;

bool tst_created() {
    return !TickHarness::journalLines("CREATE").empty();
}

SimEventRec tst_event(uint32_t kind, uint32_t objectId, uint32_t hexid, double v1 = 0, double v2 = 0) {
    return {objectId, hexid, 0, kind, v1, v2};
}

LiveAircraft& tst_addLive(uint32_t hexid, uint32_t lifeState, uint32_t objectId, bool airborne = true) {
    LiveAircraft ac = tst_liveAircraft(hexid, lifeState, objectId);
    PosSample s;
    s.airborne = airborne ? 1 : 0;
    ac.stream.push_back(s);
    g_liveRecords.push_back(ac);
    return g_liveRecords.back();
}

TEST_F(SimEventsTest, RemovalWhileTheCreateIsQueuedWithdrawsItAndNothingReachesTheSimulator) {
    startFlight();
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());
    feedTrack(kHexid + 1, "DLH5CD", "DLH", "B738", tst_inbound(13000));
    ASSERT_GE(tickUntil([] { return live(kHexid) && live(kHexid)->lifeState == adding2sim; }), 0);
    // Both spawned in the same pass: one create record is built, the other hexid still waits.
    ASSERT_EQ(g_createDeque.size(), 1u);
    ASSERT_EQ(g_hexidStack.size(), 1u);
    LiveAircraft* queued = live(g_createDeque.front().hexid);
    LiveAircraft* waiting = live(g_hexidStack.back());
    const std::string queuedCs = queued->callsign;
    removeAircraftFromSim(*queued);
    removeAircraftFromSim(*waiting);
    EXPECT_TRUE(g_createDeque.empty());
    EXPECT_TRUE(g_hexidStack.empty());
    tick();
    EXPECT_TRUE(g_liveRecords.empty()) << "withdrawn records are erased at the end of the next update";
    tick(200);
    EXPECT_EQ(journalLines("CREATE"), std::vector<std::string>{});
}

TEST_F(SimEventsTest, RemovalAfterTheCreateWasSentRemovesTheObjectRightAfterItsActivation) {
    startFlight();
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());
    ASSERT_GE(tickUntil(tst_created), 0);
    removeAircraftFromSim(*live(kHexid));
    EXPECT_EQ(live(kHexid)->removeWhenItAppears, 1);
    removeAircraftFromSim(*live(kHexid));
    EXPECT_EQ(live(kHexid)->lifeState, adding2sim);
    ASSERT_GE(tickUntil([] { return live(kHexid)->lifeState != adding2sim; }), 0);
    EXPECT_EQ(live(kHexid)->lifeState, removingfromsim) << "activated and removed in the same pass";
    EXPECT_EQ(live(kHexid)->removeWhenItAppears, 0);
    const uint32_t id = live(kHexid)->objectId;
    ASSERT_GE(tickUntil([] { return live(kHexid) == nullptr; }, 100), 0);
    const std::vector<std::string> journal = gf_standinJournal();
    const auto started = std::find(journal.begin(), journal.end(), fmt::format("{} ENGINE_AUTO_START 0", id));
    const auto removed = std::find(journal.begin(), journal.end(), fmt::format("REMOVE {}", id));
    EXPECT_LT(started, removed);
    EXPECT_NE(removed, journal.end());
    EXPECT_TRUE(gf_standinObjects().empty());
}

TEST_F(SimEventsTest, RemovalAskedTwiceRemovesTheObjectOnce) {
    startFlight();
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());
    ASSERT_GE(tickUntil([] { return live(kHexid) && live(kHexid)->lifeState == active; }), 0);
    removeAircraftFromSim(*live(kHexid));
    removeAircraftFromSim(*live(kHexid));
    EXPECT_EQ(g_removeDeque.size(), 1u);
    ASSERT_GE(tickUntil([] { return live(kHexid) == nullptr; }, 100), 0);
    tick(50);
    EXPECT_EQ(journalLines("REMOVE").size(), 1u);
    EXPECT_EQ(gf_standinUnknownRemoves(), 0);
}

TEST_F(SimEventsTest, ObjectCreatedForNoAircraftIsRemovedWithAWarning) {
    startFlight();
    AiCreateRec c;
    c.lat = kHarnessLat + 0.1;
    c.lon = kHarnessLon;
    c.altitude = 5000;
    c.callsign = "GHOST1";
    c.liveryTitle = kTitleDlh738;
    c.hexid = 0x999999;
    gf_queueCreate(c);
    ASSERT_GE(tickUntil([] { return !journalLines("REMOVE").empty(); }, 300), 0);
    EXPECT_EQ(journalLines("REMOVE"), std::vector<std::string>{"REMOVE 3"});
    EXPECT_EQ(newLog(), "===> gf_handleSimEvents: object 3 of hexid 10066329 has no aircraft, removed\n");
    tick(10);
    EXPECT_TRUE(gf_standinObjects().empty());
    EXPECT_TRUE(g_waitingEvents.empty()) << "never waits for an activation";
}

TEST_F(SimEventsTest, WaitingObjectWhoseRecordWasErasedIsRemovedNotRetried) {
    startFlight();
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());
    ASSERT_GE(tickUntil([] { return live(kHexid) && live(kHexid)->objectId != 0; }), 0);
    const uint32_t id = live(kHexid)->objectId;
    g_liveRecords.clear();  // as the end of a run's reset would, or a record lost to a fault
    newLog();
    ASSERT_GE(tickUntil([] { return gf_standinObjects().empty(); }, 400), 0);
    EXPECT_EQ(newLog(),
              fmt::format("===> gf_handleSimEvents: object {} of hexid {} lost its aircraft, removed\n", id,
                          kHexid));
    EXPECT_TRUE(g_waitingEvents.empty());
}

TEST_F(SimEventsTest, SharedCallsignWithdrawsOnlyTheCreateOfTheRemovedAircraft) {
    startFlight();
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());
    feedTrack(kHexid + 1, "DLH4AB", "BAW", "A320", tst_inbound(13000));
    ASSERT_GE(tickUntil([] { return g_createDeque.size() == 2; }), 0);
    removeAircraftFromSim(*live(kHexid));
    ASSERT_EQ(g_createDeque.size(), 1u);
    EXPECT_EQ(g_createDeque.front().hexid, kHexid + 1);
    EXPECT_EQ(live(kHexid)->withdrawn, 1);
    ASSERT_GE(tickUntil([] { return live(kHexid + 1)->lifeState == active; }), 0);
    EXPECT_EQ(live(kHexid), nullptr);
    EXPECT_EQ(journalLines("CREATE"),
              std::vector<std::string>{fmt::format("CREATE DLH4AB {}", kTitleBaw320)});
}

TEST_F(SimEventsTest, TwentyDistinctRefusedTitlesEndTheRunWithError81) {
    startFlight();
    // 21 aircraft, two of them with the same refused title: it counts once. The newest spawn
    // is created first, so the two RAA aircraft go first.
    for (char c = 'B'; c <= 'T'; ++c)
        feedTrack(kHexid + static_cast<uint32_t>(c), fmt::format("RA{}{}", c, 100), fmt::format("RA{}", c),
                  "B738", tst_inbound());
    feedTrack(kHexid + 'A', "RAA100", "RAA", "B738", tst_inbound());
    feedTrack(kHexid + 1, "RAA200", "RAA", "B738", tst_inbound(13000));
    int code = 0;
    try {
        tickUntil([] { return false; }, 3000);
    } catch (const qtk::UserErrorException& e) {
        code = e.code();
        EXPECT_STREQ(e.what(),
                     "81: There are too many liveries that could not be created by P3D!, see Log.txt");
    }
    ASSERT_EQ(code, 81);
    EXPECT_EQ(g_refusedTitles.size(), 20u);
    EXPECT_EQ(g_uncreatableTitles.size(), 20u);
    EXPECT_EQ(journalLines("CREATE").size(), 21u);
    const std::string log = gf_capturedLog();
    EXPECT_NE(log.find("RAA200 'Refused 737 RAA' could not be created by your Sim!\n"), std::string::npos)
        << "the callsign as it stands";
    EXPECT_NE(
        log.find("\n\n===> Error 81, There are too many liveries that could not be created by P3D!\n\n"),
        std::string::npos);
    EXPECT_EQ(g_liveRecords.size(), 1u) << "every refused record but the last is erased";
    g_liveRecords.clear();
}

TEST_F(SimEventsTest, DrainTakesEachEventOffBeforeHandlingIt) {
    for (int i = 0; i < 19; ++i) g_refusedTitles.push_back(fmt::format("Title {}", i));
    LiveAircraft& refused = tst_addLive(kHexid, adding2sim, 0);
    refused.liveryTitle = "Refused once more";
    tst_addLive(kHexid + 1, removingfromsim, 7);
    gf_pushSimEvent(tst_event(kEvCreateFailed, 0, kHexid));
    gf_pushSimEvent(tst_event(kEvRemoved, 7, 0));
    EXPECT_THROW(gf_handleSimEvents(), qtk::UserErrorException);
    ASSERT_EQ(g_simEventQueue.size(), 1u);
    EXPECT_EQ(g_simEventQueue.front().kind, kEvRemoved);
    gf_handleSimEvents();
    EXPECT_TRUE(g_simEventQueue.empty());
    EXPECT_EQ(gf_findLiveByHexid(kHexid + 1), nullptr);
    EXPECT_EQ(g_refusedTitles.size(), 20u) << "the refusal was handled once";
}

TEST_F(SimEventsTest, RefusedTitleEntersTheListOnce) {
    AircraftRec rec;
    rec.callsign = "DLH4AB";
    rec.airline = "DLH";
    rec.type = "B738";
    rec.liveryTitle = "Some title";
    gf_onCreateFailed(rec);
    gf_onCreateFailed(rec);
    EXPECT_EQ(g_refusedTitles, std::vector<std::string>{"Some title"});
    EXPECT_EQ(g_uncreatableTitles, std::set<std::string>{"B738 DLH"});
    EXPECT_EQ(gf_messageText(), "DLH4AB 'Some title' could not be created by your Sim!");
}

TEST_F(SimEventsTest, FlightPlanThatCannotBeDeletedIsAWarningAndTheRecordGoes) {
    LiveAircraft& ac = tst_addLive(kHexid, removingfromsim, 5);
    ac.flightPlanSent = 1;
    tst_writeFile(gf_flightPlanFileName(5) / "keep.txt", "a folder where the plan should be");
    gf_pushSimEvent(tst_event(kEvRemoved, 5, 0));
    gf_pushSimEvent(tst_event(kEvRemoved, 5, 0));
    EXPECT_NO_THROW(gf_handleSimEvents());
    EXPECT_TRUE(g_liveRecords.empty());
    EXPECT_TRUE(g_simEventQueue.empty());
    EXPECT_EQ(newLog().rfind("===> Warning: could not remove flightplans/5.pln, errorcode: ", 0), 0u);
}

TEST_F(SimEventsTest, LiveryRespawnGoesBackToBufferWhenItsObjectIsRemoved) {
    LiveAircraft& ac = tst_addLive(kHexid, liveryrespawn, 9);
    ac.throttleIndex = 2;
    ac.flapsIndex = 1;
    gf_pushSimEvent(tst_event(kEvRemoved, 9, 0));
    gf_handleSimEvents();
    ASSERT_EQ(g_liveRecords.size(), 1u);
    EXPECT_EQ(g_liveRecords[0].lifeState, buffer);
    EXPECT_EQ(g_liveRecords[0].objectId, 0u);
    EXPECT_EQ(g_liveRecords[0].throttleIndex, 5u);
    EXPECT_EQ(g_liveRecords[0].flapsIndex, 4u);
}

TEST_F(SimEventsTest, StaticCentreOfGravityIsTakenWithinItsBounds) {
    struct Row {
        double height, pitchRad;
        double expectHeight, expectPitch;
    };
    const double kDefault = 0.012217304763960306;
    const Row rows[] = {
        {0.5, 0.01, 8.0, 0.01},
        {40, 0.01, 8.0, 0.01},
        {1.0, gf_degToRad(3), 1.0, kDefault},
        {35.0, gf_degToRad(-1), 35.0, kDefault},
        {12.5, gf_degToRad(2.5), 12.5, gf_degToRad(2.5)},
        {12.5, std::nan(""), 12.5, kDefault},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.height << " " << r.pitchRad);
        g_liveRecords.clear();
        LiveAircraft& ac = tst_addLive(kHexid, active, 4);
        ac.staticCgHeight = 8.0;
        gf_pushSimEvent(tst_event(kEvStaticCg, 4, 0, r.height, r.pitchRad));
        gf_handleSimEvents();
        EXPECT_EQ(g_liveRecords[0].staticCgHeight, r.expectHeight);
        EXPECT_DOUBLE_EQ(g_liveRecords[0].staticPitch, r.expectPitch);
    }
}

TEST_F(SimEventsTest, ObjectScanOnTheGroundSetsTouchdownAndAltitude) {
    LiveAircraft& ac = tst_addLive(kHexid, active, 4);
    ac.staticCgHeight = 11;
    ac.altitude = 900;
    ac.dAltitude = -3;
    gf_pushSimEvent(tst_event(kEvObjectScan, 4, 0, 364, 400));
    gf_handleSimEvents();
    EXPECT_EQ(g_liveRecords[0].onGround, 0);
    EXPECT_EQ(g_liveRecords[0].agl, 400);
    EXPECT_EQ(g_liveRecords[0].altitude, 900) << "in the air the altitude is its own";
    gf_pushSimEvent(tst_event(kEvObjectScan, 4, 1, 364, 2));
    gf_handleSimEvents();
    EXPECT_EQ(g_liveRecords[0].onGround, 1);
    EXPECT_EQ(g_liveRecords[0].dAltitude, 0);
    EXPECT_EQ(g_liveRecords[0].altitude, 375);
}

TEST_F(SimEventsTest, ThrottleAndFlapsStepsAreSentOnceEach) {
    AircraftRec rec;
    rec.objectId = 6;
    gf_setThrottle(rec, 4);
    gf_setThrottle(rec, 4);
    gf_setThrottle(rec, 9);
    gf_setThrottle(rec, 1);
    gf_setFlaps(rec, 4);  // the step a new aircraft starts with: nothing
    gf_setFlaps(rec, 2);
    gf_setFlaps(rec, 4);
    gf_setFlaps(rec, 5);
    gf_setFlaps(rec, 5);
    EXPECT_EQ(tst_queuedCommands(), (std::vector<std::string>{"6 THROTTLE_SET 16383", "6 THROTTLE_SET 4914",
                                                              "6 FLAPS_SET 10240", "6 FLAPS_SET 0"}));
    EXPECT_EQ(newLog(), "gf_setFlaps: invalid flaps index\n");
    EXPECT_EQ(rec.flapsIndex, 5u);
    rec.category = static_cast<int32_t>(AircraftCategory::Rotorcraft);
    gf_setFlaps(rec, 1);
    EXPECT_EQ(tst_queuedCommands(), std::vector<std::string>{});
}

TEST_F(SimEventsTest, StaticAircraftParksAfterItsWaitWithItsStandInTheLog) {
    g_stands.emplace_back("V12", std::vector<StandOption>{}, 50.03, 8.56, 0.0, 30.0, false, false, false);
    gf_numberStands();
    AircraftRec st;
    st.hexid = 17;
    st.callsign = "DLH4AB*";
    st.standId = 1;
    st.lifeState = adding2sim;
    g_staticAircraft.push_back(st);
    gf_pushSimEvent(tst_event(kEvStaticCreated, 8, 17));
    for (int i = 0; i < 200; ++i) gf_handleSimEvents();
    EXPECT_EQ(g_staticAircraft[0].lifeState, adding2sim);
    EXPECT_EQ(tst_queuedCommands(), std::vector<std::string>{}) << "no light toggles for a static aircraft";
    gf_handleSimEvents();
    EXPECT_EQ(g_staticAircraft[0].lifeState, active);
    EXPECT_EQ(g_staticAircraft[0].objectId, 8u);
    std::vector<std::string> sent = {"8 THROTTLE_SET 0", "8 FLAPS_SET 0", "8 ENGINE_AUTO_SHUTDOWN 0"};
    for (const std::string& l : tst_lightEvents(8, "1000010")) sent.push_back(l);
    sent.pop_back();  // the cabin is lit by chance
    std::vector<std::string> queued = tst_queuedCommands();
    ASSERT_EQ(queued.size(), 10u);
    queued.pop_back();
    EXPECT_EQ(queued, sent);
    EXPECT_EQ(newLog(), "V12     : DLH4AB*  parked\n");
    EXPECT_TRUE(g_waitingEvents.empty());
}

TEST_F(SimEventsTest, ActivationWithoutSamplesRemovesTheAircraft) {
    LiveAircraft& ac = tst_addLive(kHexid, adding2sim, 12);
    ac.stream.clear();
    lf_activate(ac);
    EXPECT_EQ(ac.lifeState, removingfromsim);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>{12});
    EXPECT_EQ(newLog(),
              "lf_activate stream empty ?          DLH4AB    DLH B738, hexid:3957828, objectid:12\n");
}

}  // namespace

namespace {

// A live aircraft erased by the drain itself (its create refused, or its object removed by the
// simulator) takes no removal of its own: its stand must be freed all the same.
TEST_F(SimEventsTest, AircraftErasedByTheDrainFreesItsStand) {
    struct Row {
        const char* name;
        uint32_t lifeState;
        SimEventRec event;
    };
    const Row rows[] = {
        {"create refused", adding2sim, tst_event(kEvCreateFailed, 0, kHexid)},
        {"removed by the simulator", active, tst_event(kEvRemoved, 42, 0)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_liveRecords.clear();
        g_stands.clear();
        tst_addStands({{"A1", 0, 0, 20}});
        LiveAircraft& ac = tst_addLive(kHexid, row.lifeState, row.lifeState == active ? 42 : 0, false);
        ac.liveryTitle = "Boeing 737-800 Lufthansa";
        ac.standId = 1;
        ASSERT_TRUE(gf_takeStand(ac));
        gf_pushSimEvent(row.event);
        gf_handleSimEvents();
        EXPECT_TRUE(g_liveRecords.empty());
        EXPECT_FALSE(g_stands[0].occupied);
    }
}

}  // namespace

namespace {

// Touchdown runs only for an aircraft that was landing (flaring or on approach); any other
// aircraft reported on the ground just becomes onGround.
TEST_F(SimEventsTest, GroundReportStartsTheTouchdownOnlyForALandingAircraft) {
    struct Row {
        const char* name;
        uint8_t approachFlag;
        uint32_t flareStage;
        uint8_t landed;
    };
    const Row rows[] = {{"on approach", 1, 0, 1}, {"flaring", 0, 2, 1}, {"neither", 0, 0, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_liveRecords.clear();
        LiveAircraft& ac = tst_addLive(kHexid, active, 42);
        ac.approachFlag = row.approachFlag;
        ac.flareStage = row.flareStage;
        gf_pushSimEvent(tst_event(kEvObjectScan, 42, 1, 364, 0));
        gf_handleSimEvents();
        EXPECT_EQ(g_liveRecords[0].onGround, 1);
        EXPECT_EQ(g_liveRecords[0].landed, row.landed);
        EXPECT_EQ(g_liveRecords[0].landingRoll, row.landed);
    }
}

// A created aircraft with an origin and a destination gets its flight plan at once.
TEST_F(SimEventsTest, CreatedAircraftWithARouteGetsItsFlightPlan) {
    startFlight();
    std::vector<LiveTrafficRecord> batch;
    for (size_t i = 0; i < 3; ++i) {
        LiveTrafficRecord r =
            tst_trafficRecord(kHexid, "DLH4AB", "DLH", "B738", tst_inbound()[i], 100.0 + 6 * i);
        r.origin = "EDDM";
        r.destination = "EDDF";
        batch.push_back(r);
    }
    feed({batch[0]}, 6);
    feed({batch[1]}, 12);
    feed({batch[2]}, 18);
    ASSERT_GE(tickUntil([] { return live(kHexid) && live(kHexid)->objectId != 0; }), 0);
    LiveAircraft* ac = live(kHexid);
    EXPECT_EQ(ac->flightPlanSent, 1);
    EXPECT_TRUE(std::filesystem::exists(gf_flightPlanFileName(ac->objectId)));
}

}  // namespace

namespace {

TEST_F(SimEventsTest, LiveAircraftLeavingTheSimulatorIsADetailLine) {
    LiveAircraft& ac = tst_addLive(kHexid, removingfromsim, 42);
    ac.flightState = flying;
    newLog();
    gf_pushSimEvent(tst_event(kEvRemoved, 42, 0));
    gf_handleSimEvents();
    EXPECT_TRUE(g_liveRecords.empty());
    const std::string log = newLog();
    EXPECT_NE(log.find("         DLH4AB    DLH B738 left the simulator, flying\n"), std::string::npos) << log;
}

}  // namespace

namespace {

// The registration turns out to carry another livery, which the simulator refuses: the old object
// goes, the record goes with the refused create, and nothing is left between the two.
TEST_F(SimEventsTest, RespawnWhoseNewTitleIsRefusedEndsWithTheRecord) {
    startFlight();
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound(12000, 5));
    ASSERT_GE(tickUntil([] { return live(kHexid) && live(kHexid)->lifeState == active; }), 0) << newLog();
    const uint32_t oldObject = live(kHexid)->objectId;
    g_regToLivery.emplace("N739DL", kTitleDal739);
    LiveTrafficRecord r = tst_trafficRecord(kHexid, "DLH4AB", "DLH", "B738", tst_pointNear(2), 1e9);
    r.regcode = "N739DL";
    ASSERT_FALSE(lf_respawnCheck(*live(kHexid), r));
    EXPECT_EQ(live(kHexid)->flightState, birth);
    ASSERT_GE(tickUntil([] { return live(kHexid) == nullptr; }), 0);
    EXPECT_EQ(journalLines("REMOVE"), std::vector<std::string>{fmt::format("REMOVE {}", oldObject)});
    EXPECT_EQ(journalLines("CREATE").back(), fmt::format("CREATE DLH4AB {}", kTitleDal739));
    EXPECT_TRUE(gf_isRefusedTitle(kTitleDal739));
}

}  // namespace
