#include "sim/sim_thread.h"

#include <chrono>
#include <thread>

#include "core/clock.h"
#include "core/log.h"
#include "shell/run_control.h"
#include "sim/sim_state.h"
#include "sim_fixture.h"

namespace {

using ::testing::ElementsAre;

constexpr uint32_t kLiveHex = 0x4CA123;

TEST_F(SimLinkTest, LiveCreateFoundByAtcIdInTheNextScan) {
    start();
    gf_queueCreate(createRec("BAW123", kA320, kLiveHex, 3083, false));
    frames(1);
    EXPECT_TRUE(scanEvents().empty()) << "a create is answered a few frames later";
    frames(3);
    EXPECT_THAT(scanEvents(), ElementsAre(ev(3, kLiveHex, kEvLiveCreated, 0, 3000)));
    EXPECT_TRUE(scanEvents().empty()) << "an object is reported as created once";
    auto obj = gf_standinObject(3);
    ASSERT_TRUE(obj);
    EXPECT_EQ(obj->atcId, "BAW123");
    EXPECT_EQ(obj->title, kA320);
}

TEST_F(SimLinkTest, CreateOnTheGroundReportsHeightAndScanRow) {
    start();
    createAndAppear("BAW9", kA320, kLiveHex, 5000, true);  // a create on the ground is put on it
    EXPECT_THAT(scanEvents(), ElementsAre(ev(3, kLiveHex, kEvLiveCreated, 0, 11.0),
                                          ev(3, 1, kEvObjectScan, kAirportElevFt, 11.0)));
}

TEST_F(SimLinkTest, StaticCreateIsKindOne) {
    start();
    createAndAppear("EZY12*", kA320, 42, 0, true);
    auto events = scanEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], ev(3, 42, kEvStaticCreated, 0, 11.0));
}

TEST_F(SimLinkTest, RefusedTitleIsKindSixWithTheHexid) {
    start();
    gf_queueCreate(createRec("DLH4", "Not Installed A321", 0x3C4B21, 3000, false));
    frames(2);
    EXPECT_THAT(drain(), ElementsAre(ev(0, 0x3C4B21, kEvCreateFailed)));
    EXPECT_TRUE(gf_standinObjects().empty());
}

TEST_F(SimLinkTest, RemoveIsKindTwoAndUnknownRemoveOnlyCounted) {
    start();
    createAndAppear("BAW123", kA320, kLiveHex, 3083, false);
    scanEvents();
    gf_queueRemove(3);
    gf_queueRemove(77);
    frames(2);
    EXPECT_THAT(drain(), ElementsAre(ev(3, 0, kEvRemoved)));
    EXPECT_FALSE(gf_standinObject(3));
    EXPECT_EQ(gf_standinUnknownRemoves(), 1);
}

// Creates sharing an ATC id are bound oldest first, in one scan or in two.
TEST_F(SimLinkTest, CreatesSharingAnAtcIdAreBoundOldestFirst) {
    start();
    gf_queueCreate(createRec("EZY1", kA320, 0x111111, 3083, false));
    gf_queueCreate(createRec("EZY1", kA320, 0x222222, 3083, false));
    frames(4);
    EXPECT_THAT(scanEvents(), ElementsAre(ev(3, 0x111111, kEvLiveCreated, 0, 3000),
                                          ev(4, 0x222222, kEvLiveCreated, 0, 3000)));
    gf_queueCreate(createRec("EZY1", kA320, 0x333333, 3083, false));
    frames(2);
    gf_queueCreate(createRec("EZY1", kA320, 0x444444, 3083, false));
    frames(2);  // the first object is visible, the second not yet
    EXPECT_THAT(scanEvents(), ElementsAre(ev(5, 0x333333, kEvLiveCreated, 0, 3000)));
    frames(2);
    EXPECT_THAT(scanEvents(), ElementsAre(ev(6, 0x444444, kEvLiveCreated, 0, 3000)));
}

TEST_F(SimLinkTest, ClientEventsChangeLightsAndEngines) {
    start();
    createAndAppear("BAW123", kA320, kLiveHex, 3083, false);
    gf_queueLights(3, {1, 1, 0, 0, 1, 1, 0});
    frames(1);
    EXPECT_EQ(gf_standinObject(3)->lights,
              (std::array<bool, 7>{true, true, false, false, true, true, false}));
    auto journal = gf_standinJournal();
    ASSERT_GE(journal.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(journal.end() - 7, journal.end()),
              (std::vector<std::string>{"3 NAV_LIGHTS_SET 1", "3 BEACON_LIGHTS_SET 1",
                                        "3 LANDING_LIGHTS_SET 0", "3 TAXI_LIGHTS_SET 0", "3 STROBES_SET 1",
                                        "3 LOGO_LIGHTS_SET 1", "3 CABIN_LIGHTS_SET 0"}));

    gf_queueClientEvent(3, SimClientEvent::AllLightsToggle, 0);
    gf_queueCabinLights(3, 1);
    gf_queueClientEvent(3, SimClientEvent::EngineAutoStart, 0);
    gf_queueClientEvent(3, SimClientEvent::ThrottleSet, 4914);
    gf_queueClientEvent(3, SimClientEvent::FlapsSet, 10240);
    gf_queueClientEvent(3, SimClientEvent::SpoilersSet, 16383);
    gf_queueClientEvent(3, SimClientEvent::GearSet, 0);
    frames(1);
    auto obj = *gf_standinObject(3);
    // The toggle flipped every light; the cabin was then switched on again.
    EXPECT_EQ(obj.lights, (std::array<bool, 7>{false, false, true, true, false, false, true}));
    EXPECT_TRUE(obj.enginesRunning);
    EXPECT_EQ(obj.throttle, 4914u);
    EXPECT_EQ(obj.flaps, 10240u);
    EXPECT_EQ(obj.spoilers, 16383u);
    EXPECT_EQ(obj.gear, 0u);

    gf_queueClientEvent(3, SimClientEvent::EngineAutoShutdown, 0);
    frames(1);
    EXPECT_FALSE(gf_standinObject(3)->enginesRunning);
}

TEST_F(SimLinkTest, Data401IsSentInOrderWithTheClientEvents) {
    start();
    createAndAppear("BAW123", kA320, kLiveHex, 3083, false);
    size_t before = gf_standinJournal().size();
    gf_queueData401(3, 0, 0, 0);
    gf_queueClientEvent(3, SimClientEvent::SpoilersSet, 16383);
    gf_queueData401(3, 100, -100, -100);
    gf_queueClientEvent(3, SimClientEvent::FlapsSet, 3072);
    gf_queueClientEvent(3, SimClientEvent::ThrottleSet, 0);
    gf_queueData401(3, 100, 100, 100);
    frames(1);
    auto journal = gf_standinJournal();
    EXPECT_EQ(std::vector<std::string>(journal.begin() + before, journal.end()),
              (std::vector<std::string>{"3 DATA401 0 0 0", "3 SPOILERS_SET 16383", "3 DATA401 100 -100 -100",
                                        "3 FLAPS_SET 3072", "3 THROTTLE_SET 0", "3 DATA401 100 100 100"}));
    auto levers = gf_standinObject(3)->levers;
    EXPECT_EQ(levers.spoilersPct, 100);
    EXPECT_EQ(levers.throttle1Pct, 100);
    frames(1);
    EXPECT_EQ(gf_standinJournal().size(), journal.size()) << "lists are sent once";
}

TEST_F(SimLinkTest, PositionsOfTheHandedOverHalfReachTheObject) {
    start();
    createAndAppear("BAW123", kA320, kLiveHex, 3083, true);
    PosUpdateRec p{kAirportLat, kAirportLon + 0.02, 0.01, 0.0, 1.5, kAirportElevFt + 500, -10, 140, 3};
    gf_appendPosition(p);
    frames(1);
    EXPECT_EQ(gf_standinObject(3)->pos.lon, kAirportLon) << "the writing half is not sent";
    ASSERT_TRUE(gf_handOverPositions());
    frames(1);
    auto obj = *gf_standinObject(3);
    EXPECT_EQ(obj.pos.lon, kAirportLon + 0.02);
    EXPECT_EQ(obj.pos.altitude, kAirportElevFt + 500);
    EXPECT_EQ(obj.pos.heading, 1.5);
    EXPECT_EQ(obj.pos.trueAirspeed, 140);
    EXPECT_FALSE(obj.onGround);
    EXPECT_THAT(scanEvents(), ElementsAre(ev(3, kLiveHex, kEvLiveCreated, 0, 500),
                                          ev(3, 0, kEvObjectScan, kAirportElevFt, 500)));
}

TEST_F(SimLinkTest, StaticCentreOfGravityByCategory) {
    gf_standinSetCategoryOf([](std::string_view title) {
        return title == kC172 ? 0 : title == kB777 ? 3 : 2;
    });
    start();
    createAndAppear("C1*", kC172, 1, 0, true);
    createAndAppear("C2*", kB777, 2, 0, true);
    createAndAppear("C3*", kA320, 3, 0, true);
    drain();
    for (uint32_t id : {3u, 4u, 5u, 99u}) ASSERT_EQ(requestCg(id), S_OK);
    frames(1);
    EXPECT_THAT(drain(), ElementsAre(ev(3, 0, kEvStaticCg, 4.5, 0.0), ev(4, 0, kEvStaticCg, 17.5, 0.0140),
                                     ev(5, 0, kEvStaticCg, 11.0, 0.0122)));
}

TEST_F(SimLinkTest, ScanReportsOnlyObjectsNearTheGroundAndWithinTheRadius) {
    start();
    createAndAppear("LOW", kA320, 0x100001, kAirportElevFt + 2500, false);
    createAndAppear("HIGH", kA320, 0x100002, kAirportElevFt + 2501, false);
    scanEvents();  // binds both
    EXPECT_THAT(scanEvents(), ElementsAre(ev(3, 0, kEvObjectScan, kAirportElevFt, 2500)));
    EXPECT_EQ(scan(100), S_OK);  // 0.6 nm away: outside 100 m
    frames(1);
    EXPECT_TRUE(drain().empty());
}

TEST_F(SimLinkTest, PerSecondFlagOncePerSimulatorSecondAndFrameRateEveryThirtyFrames) {
    Scenario s = baseScenario();
    s.frameDips = {{1.0, 3.0, 10.0}};  // frames 31 to 60 at 10 per second
    start(s);                          // frame 1
    std::vector<int> raisedAt;
    std::vector<std::pair<int, float>> rates;
    for (int frame = 2; frame <= 120; ++frame) {
        ASSERT_TRUE(gf_simFrame());
        int one = 1;
        if (g_perSecondFlag.compare_exchange_strong(one, 0)) raisedAt.push_back(frame);
        if (frame == 29 || frame == 30 || frame == 60 || frame == 90)
            rates.push_back({frame, g_frameRate.load()});
    }
    EXPECT_EQ(raisedAt, (std::vector<int>{30, 40, 50, 60, 90, 120}));
    EXPECT_EQ(rates, (std::vector<std::pair<int, float>>{{29, 0.0f}, {30, 30.0f}, {60, 10.0f}, {90, 30.0f}}));
    EXPECT_NEAR(gf_standinTime(), 6.0, 1e-9);
}

// A scripted pause stops the simulation (no seconds counted) and starts it again.
TEST_F(SimLinkTest, PauseStopsAndStartsTheSimulation) {
    Scenario s = baseScenario();
    s.pauses = {{1.0, 1.0}};
    start(s);  // frame 1
    std::vector<int> raisedAt, runningChangedAt;
    bool running = g_simRunning;
    for (int frame = 2; frame <= 90; ++frame) {
        ASSERT_TRUE(gf_simFrame());
        int one = 1;
        if (g_perSecondFlag.compare_exchange_strong(one, 0)) raisedAt.push_back(frame);
        if (g_simRunning != running) runningChangedAt.push_back(frame);
        running = g_simRunning;
    }
    EXPECT_EQ(raisedAt, (std::vector<int>{60, 90}));
    EXPECT_EQ(runningChangedAt, (std::vector<int>{30, 60}));
}

TEST_F(SimLinkTest, UserAircraftStateFromTheScenarioPath) {
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733500800)); });
    Scenario s = baseScenario();
    s.user = {{0, 51.0, -1.0, 83, 350, 0, true}, {10, 52.0, -2.0, 3083, 10, 200, false}};
    start(s);
    frames(149);  // t = 5 s
    UserSnapshot u = gf_requestUserPosition();
    EXPECT_NEAR(u.lat, 51.5, 1e-9);
    EXPECT_NEAR(u.lon, -1.5, 1e-9);
    EXPECT_NEAR(u.altitudeFt, 1583, 1e-6);
    EXPECT_NEAR(u.heading, 0.0, 1e-9);  // 350 -> 10 turns through north
    EXPECT_NEAR(u.groundSpeedKt, 100, 1e-9);
    EXPECT_NEAR(u.heightAboveGroundFt, 1583, 1e-6) << "more than 30 nm from the airport: sea level";
    EXPECT_FALSE(u.onGround);
    EXPECT_EQ(u.simUtcSeconds, 1733500805);
    EXPECT_EQ(gf_simUtcSeconds(), 1733500805);
    EXPECT_TRUE(g_userOnGroundKnown);
    EXPECT_FALSE(g_userOnGround);
    EXPECT_TRUE(g_simRunning);
}

TEST_F(SimLinkTest, ScriptedEndsOfTheLink) {
    struct Row {
        const char* what;
        std::optional<double> lossAt, runLength;
        int lastFrame;  // the frame on which the link ends (30 per second)
        bool simError;
        const char* exitState;
        const char* log;
    };
    const Row rows[] = {
        {"connection loss", 2.0, std::nullopt, 60, true, "SIMCONNECT ERROR",
         "===> SimConnect connection lost\n"},
        {"run length", std::nullopt, 1.0, 30, false, "SIM WAS CLOSED", "Simulator closed\n"},
        {"loss after the end", 3.0, 1.0, 30, false, "SIM WAS CLOSED", "Simulator closed\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        tst_resetAll();
        gf_setLogCapture(true);
        Scenario s = baseScenario();
        s.connectionLossAtSecond = row.lossAt;
        s.runLengthSeconds = row.runLength;
        start(s);
        int frame = 2;
        while (gf_simFrame()) ++frame;
        EXPECT_EQ(frame, row.lastFrame);
        EXPECT_EQ(g_simError.load(), row.simError);
        EXPECT_FALSE(g_simRunning);
        EXPECT_TRUE(g_stopRun);
        EXPECT_EQ(gf_exitStateName(gf_exitState()), row.exitState);
        EXPECT_EQ(gf_capturedLog(), row.log);
        EXPECT_LT(scan(), 0) << "the run thread's calls fail too";
        EXPECT_FALSE(gf_simFrame());
    }
}

TEST_F(SimLinkTest, OpenFailsWithoutASimulatorAndFramesNeedAConnection) {
    EXPECT_FALSE(gf_simOpen());
    EXPECT_FALSE(gf_simFrame());
    EXPECT_EQ(g_hSimConnect, nullptr);
}

TEST_F(SimLinkTest, PerRunResetEmptiesListsAndForgetsPendingCreates) {
    start();
    gf_queueCreate(createRec("BAW123", kA320, kLiveHex, 3083, false));
    frames(4);  // sent and visible, not yet found
    gf_queueClientEvent(3, SimClientEvent::GearSet, 1);
    gf_appendPosition({});
    gf_pushBlockEvent(5);
    gf_simClose();
    gf_resetSimLink();
    EXPECT_TRUE(g_simCommands.clientEvents.empty());
    EXPECT_TRUE(g_simCommands.positions[0].empty());
    EXPECT_TRUE(drain().empty());
    ASSERT_TRUE(gf_simOpen());
    EXPECT_TRUE(scanEvents().empty()) << "a create of the previous run is not reported";
}

TEST_F(SimLinkTest, ThreadRunsTheFlightUntilTheSimulatorCloses) {
    Scenario s = baseScenario();
    s.frameRate = 200;
    s.runLengthSeconds = 0.5;
    gf_startSimThread(s);
    ASSERT_TRUE(gf_waitForSimulator(std::chrono::seconds(20)));
    EXPECT_TRUE(g_userOnGroundKnown);
    EXPECT_EQ(gf_requestUserPosition().lat, kAirportLat);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!g_stopRun && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    gf_stopSimThread();
    EXPECT_EQ(gf_exitState(), ExitState::SimWasClosed);
    EXPECT_FALSE(g_simRunning);
    EXPECT_EQ(g_hSimConnect, nullptr);
}

TEST_F(SimLinkTest, WaitForSimulatorGivesUpWhenTheRunStops) {
    gf_stopRunWith(ExitState::UserClosedSim);
    EXPECT_FALSE(gf_waitForSimulator(std::chrono::seconds(20)));
}

TEST_F(SimLinkTest, StopClosesARunningLink) {
    Scenario s = baseScenario();
    s.frameRate = 200;
    gf_startSimThread(s);
    ASSERT_TRUE(gf_waitForSimulator(std::chrono::seconds(20)));
    gf_stopSimThread();
    EXPECT_FALSE(g_stopRun) << "stopping the thread is not stopping the run";
    EXPECT_FALSE(g_simRunning);
    EXPECT_EQ(g_hSimConnect, nullptr);
    EXPECT_FALSE(gf_simFrame());
}

}  // namespace
