#include "sim/sim_thread.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "core/clock.h"
#include "core/log.h"
#include "core/run_state.h"
#include "sim/flight_plan.h"
#include "sim/sim_state.h"
#include "sim_fixture.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

// A create is found by its ATC ID in a scan a few frames later, each object binding the oldest
// create waiting for it; hexids above 10000 are live ones. Refusals and removes are reported once;
// scans report objects up to 2500 ft above the ground within their radius; CG requests are answered.
TEST_F(SimLinkTest, CreatesScansRefusalsAndRemovesAreReportedOnce) {
    start();
    gf_queueCreate(createRec("EZY1", kA320, 10001, kAirportElevFt + 2500, false));
    gf_queueCreate(createRec("EZY1", kA320, 10000, 5000, true));  // put on the ground
    gf_queueCreate(createRec("DLH4", "Not Installed A321", 0x3C4B21, 3000, false));
    frames(1);
    EXPECT_THAT(scanEvents(), ElementsAre(ev(0, 0x3C4B21, kEvCreateFailed)));
    frames(3);
    const SimEventRec low = ev(3, 0, kEvObjectScan, kAirportElevFt, 2500), parked = ev(4, 1, kEvObjectScan, kAirportElevFt, 11);
    EXPECT_THAT(scanEvents(), ElementsAre(ev(3, 10001, kEvLiveCreated, 0, 2500), low,
                                          ev(4, 10000, kEvStaticCreated, 0, 11), parked));
    EXPECT_EQ(gf_standinObject(3)->atcId + " " + gf_standinObject(3)->title, "EZY1 Airbus A320 BAW");
    gf_queueCreate(createRec("EZY1", kA320, 0x333333, kAirportElevFt + 2501, false));
    frames(2);
    gf_queueCreate(createRec("EZY1", kA320, 0x444444, 3083, false));
    frames(2);  // the first is visible, the second not yet
    EXPECT_THAT(scanEvents(), ElementsAre(low, parked, ev(5, 0x333333, kEvLiveCreated, 0, 2501)));
    frames(2);
    EXPECT_THAT(scanEvents(), ElementsAre(low, parked, ev(6, 0x444444, kEvLiveCreated, 0, 3000)));
    EXPECT_EQ(scan(100), S_OK);  // 0.6 nm away: outside 100 m
    {
        std::lock_guard lock(g_simCommandMutex);
        ASSERT_EQ(SimConnect_RequestDataOnSimObject(g_hSimConnect, kReqStaticCg, kDefStaticCg, 4, SimPeriod::Once), S_OK);
    }
    gf_queueRemove(4);
    gf_queueRemove(77);
    frames(2);
    EXPECT_THAT(drain(), ElementsAre(ev(4, 0, kEvStaticCg, 11.0, 0.0122), ev(4, 0, kEvRemoved)));
    EXPECT_FALSE(gf_standinObject(4));
}

// Lights, client events and data definition 401 reach the simulator in the order queued, once.
TEST_F(SimLinkTest, CommandListsAreSentInOrderOnce) {
    start();
    createAndAppear();
    const size_t before = gf_standinJournal().size();
    gf_queueLights(3, {1, 1, 0, 0, 1, 1, 0});
    gf_queueData401(3, 0, 0, 0);
    gf_queueClientEvent(3, SimClientEvent::SpoilersSet, 16383);
    gf_queueData401(3, 100, -100, -100);
    gf_queueCabinLights(3, 1);
    gf_queueClientEvent(3, SimClientEvent::EngineAutoStart, 0);
    gf_queueData401(3, 100, 100, 100);
    frames(1);
    const auto journal = gf_standinJournal();
    EXPECT_EQ(std::vector<std::string>(journal.begin() + before, journal.end()),
              (std::vector<std::string>{"3 NAV_LIGHTS_SET 1", "3 BEACON_LIGHTS_SET 1", "3 LANDING_LIGHTS_SET 0",
                                        "3 TAXI_LIGHTS_SET 0", "3 STROBES_SET 1", "3 LOGO_LIGHTS_SET 1",
                                        "3 CABIN_LIGHTS_SET 0", "3 DATA401 0 0 0", "3 SPOILERS_SET 16383",
                                        "3 DATA401 100 -100 -100", "3 CABIN_LIGHTS_SET 1", "3 ENGINE_AUTO_START 0",
                                        "3 DATA401 100 100 100"}));
    EXPECT_TRUE(gf_standinObject(3)->enginesRunning);
    gf_queueData401(3, 50, 50, 50);  // the next frame sends only what was queued since
    frames(2);
    const auto after = gf_standinJournal();
    EXPECT_EQ(std::vector<std::string>(after.begin() + journal.size(), after.end()),
              (std::vector<std::string>{"3 DATA401 50 50 50"}));
}

TEST_F(SimLinkTest, ScriptedEndsOfTheLink) {
    EXPECT_FALSE(gf_simOpen()) << "no simulator";
    EXPECT_FALSE(gf_simFrame());
    const struct {  // lastFrame: the frame on which the link ends (30 per second)
        const char* what; std::optional<double> lossAt, runLength; int lastFrame; bool simError; const char *exitState, *log;
    } rows[] = {
        {"connection loss", 2.0, std::nullopt, 60, true, "SIMCONNECT ERROR", "===> SimConnect connection lost\n"},
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
        int frame = 2;  // the frame rate is taken every thirty frames
        for (; gf_simFrame(); ++frame) EXPECT_EQ(g_frameRate.load(), frame < 30 ? 0.0f : 30.0f) << frame;
        EXPECT_EQ(frame, row.lastFrame);
        EXPECT_EQ(g_simError.load(), row.simError);
        EXPECT_TRUE(!g_simRunning && g_stopRun);
        EXPECT_EQ(gf_exitStateName(gf_exitState()), row.exitState);
        EXPECT_EQ(gf_capturedLog(), row.log);
        EXPECT_LT(scan(), 0) << "the run thread's calls fail too";
        EXPECT_FALSE(gf_simFrame());
    }
}

// The stand-in reports the simulation starting, stopping and starting again around a scripted
// pause, and stopping before it closes.
TEST_F(SimLinkTest, StandInReportsPausesAndTheStopBeforeItCloses) {
    Scenario s = baseScenario();
    s.frameRate = 10;
    s.runLengthSeconds = 2.0;
    s.pauses = {{0.5, 0.5}};
    gf_standinLoad(s);
    HANDLE h{};
    ASSERT_EQ(gf_standinOpen(&h), S_OK);
    ASSERT_EQ(gf_standinSubscribe(h, 7, "SimStop"), S_OK);
    ASSERT_EQ(gf_standinSubscribe(h, 8, "SimStart"), S_OK);
    std::vector<std::string> seen;
    for (int frame = 0; frame < 30; ++frame) {
        gf_standinStepFrame();
        SimReply r;
        while (gf_standinNextReply(h, &r) == S_OK) {
            if (r.kind == SimReplyKind::Quit) seen.push_back(fmt::format("{:.1f} quit", gf_standinTime()));
            if (r.kind == SimReplyKind::Event && (r.eventId == 7 || r.eventId == 8))
                seen.push_back(fmt::format("{:.1f} {}", gf_standinTime(), r.eventId == 7 ? "stop" : "start"));
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"0.1 start", "0.5 stop", "1.0 start", "2.0 stop", "2.0 quit"}));
}

TEST_F(SimLinkTest, ThreadRunsTheFlightUntilTheSimulatorCloses) {
    gf_stopRunWith(ExitState::UserClosedSim);
    EXPECT_FALSE(gf_waitForSimulator(std::chrono::seconds(20))) << "the run stopped";
    for (const bool closes : {true, false}) {
        SCOPED_TRACE(closes);
        tst_resetAll();
        Scenario s = baseScenario();
        s.frameRate = 200;
        if (closes) s.runLengthSeconds = 0.5;
        gf_startSimThread(s);
        ASSERT_TRUE(gf_waitForSimulator(std::chrono::seconds(20)));
        EXPECT_TRUE(g_userOnGroundKnown && gf_requestUserPosition().lat == kAirportLat);
        EXPECT_EQ(gf_simUtcSeconds(), gf_requestUserPosition().simUtcSeconds);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (closes && !g_stopRun && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        gf_stopSimThread();
        EXPECT_EQ(gf_exitState() == ExitState::SimWasClosed, closes);
        EXPECT_EQ(g_stopRun.load(), closes) << "stopping the thread is not stopping the run";
        EXPECT_TRUE(!g_simRunning && g_hSimConnect == nullptr && !gf_simFrame() && !g_simError);
    }
}

TEST_F(SimLinkTest, FlightPlanIsWrittenForSafeCodesAndTheSimulatorTakesIt) {
    const char* const bad[] = {"", "E", "EG LL", "EGLL<", "ABCDEFGHI", "EG\"L"};
    for (const char* code : bad)
        EXPECT_FALSE(gf_writeFlightPlan("flightplans/3.pln", code, "LSZH") ||
                     gf_writeFlightPlan("flightplans/3.pln", "LSZH", code))
            << code;
    EXPECT_FALSE(fs::exists("flightplans/3.pln"));
    ASSERT_TRUE(gf_writeFlightPlan(gf_flightPlanFileName(3), "EGLL", "LSZH"));
    // The whole file as the simulator reads it: the document, the plan and its two airport waypoints.
    EXPECT_EQ(tst_readFile("flightplans/3.pln"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<SimBase.Document Type=\"AceXML\" version=\"1,0\">\n"
              "    <Descr>AceXML Document</Descr>\n"
              "    <FlightPlan.FlightPlan>\n"
              "        <Title>EGLL to LSZH</Title>\n"
              "        <FPType>IFR</FPType>\n"
              "        <DepartureID>EGLL</DepartureID>\n"
              "        <DestinationID>LSZH</DestinationID>\n"
              "        <ATCWaypoint id=\"EGLL\">\n"
              "            <ATCWaypointType>Airport</ATCWaypointType>\n"
              "            <ICAO>\n                <ICAOIdent>EGLL</ICAOIdent>\n            </ICAO>\n"
              "        </ATCWaypoint>\n"
              "        <ATCWaypoint id=\"LSZH\">\n"
              "            <ATCWaypointType>Airport</ATCWaypointType>\n"
              "            <ICAO>\n                <ICAOIdent>LSZH</ICAOIdent>\n            </ICAO>\n"
              "        </ATCWaypoint>\n"
              "    </FlightPlan.FlightPlan>\n"
              "</SimBase.Document>\n");
    EXPECT_EQ(std::distance(fs::directory_iterator("flightplans"), fs::directory_iterator()), 1)
        << "no temporary file left behind";
    start();
    createAndAppear();
    std::lock_guard lock(g_simCommandMutex);
    EXPECT_EQ(SimConnect_AISetAircraftFlightPlan(g_hSimConnect, 3, "flightplans/3.pln", kReqFlightPlan), S_OK);
    EXPECT_EQ(gf_standinObject(3)->planDeparture + gf_standinObject(3)->planDestination, "EGLLLSZH");
}

TEST_F(SimLinkTest, CleaningRemovesOnlyOurPlans) {
    EXPECT_EQ(gf_cleanFlightPlans(), 0) << "no folder yet";
    for (const char* name : {"3.pln", "1234.pln", "abc.pln", "notes.txt", "7.pln.tmp"})
        tst_writeFile(fs::path("flightplans") / name, "x");
    fs::create_directories("flightplans/5.pln");
    EXPECT_EQ(gf_cleanFlightPlans(), 2);
    EXPECT_FALSE(fs::exists("flightplans/3.pln") || fs::exists("flightplans/1234.pln"));
    for (const char* name : {"abc.pln", "notes.txt", "7.pln.tmp", "5.pln"})
        EXPECT_TRUE(fs::exists(fs::path("flightplans") / name)) << name;
}

// While the simulator thread holds the lock, a tick at 50 frames a second or less drops its
// positions instead of waiting.
TEST_F(SimLinkTest, HandOverDropsTheTickWhenTheLockIsBusyAtLowFrameRate) {
    const struct { float frameRate; bool lockBusy, handedOver; } rows[] = {
        {30.0f, true, false}, {50.0f, true, false}, {30.0f, false, true}, {60.0f, false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.frameRate << (row.lockBusy ? " busy" : " free"));
        gf_clearPositionBuffers();
        g_frameRate = row.frameRate;
        const int before = g_simCommands.writingHalf;
        gf_appendPosition({1, 2, 0, 0, 0, 100, 0, 0, 3});
        bool result = false;
        std::unique_lock held(g_simCommandMutex, std::defer_lock);
        if (row.lockBusy) held.lock();
        std::thread([&] { result = gf_handOverPositions(); }).join();
        if (row.lockBusy) held.unlock();
        EXPECT_EQ(result, row.handedOver);
        EXPECT_TRUE(g_simCommands.positions[g_simCommands.writingHalf].empty());
        EXPECT_EQ(g_simCommands.writingHalf != before, row.handedOver);
        EXPECT_EQ(g_simCommands.positions[1 - g_simCommands.writingHalf].size(), row.handedOver ? 1u : 0u);
    }
    gf_appendPosition({});
    gf_clearPositionBuffers();
    EXPECT_TRUE(g_simCommands.positions[0].empty() && g_simCommands.positions[1].empty());
    gf_pushBlockEvent(0xABCDEF);
    EXPECT_THAT(drain(), ElementsAre(ev(0, 0xABCDEF, kEvBlock)));
}

// The run thread appends one position per tick and hands it over while the simulator thread
// sends frames: whatever the timing, the object only ever moves forward and ends at the last
// position handed over. The run thread also takes the event lock and then the command lock,
// as its event drain does, and asks for object scans under both.
TEST_F(SimLinkTest, DoubleBufferUnderContention) {
    for (const float frameRate : {60.0f, 30.0f}) {
        SCOPED_TRACE(frameRate);
        tst_resetAll();
        Scenario s = baseScenario();
        s.frameRate = frameRate;  // at 60 the frame events keep the published rate above 50
        start(s);
        createAndAppear();
        constexpr int kTicks = 3000;
        gf_appendPosition({0, 0, 0, 0, 0, 3000, 0, 0, 3});
        ASSERT_TRUE(gf_handOverPositions());
        ASSERT_TRUE(gf_simFrame());
        g_frameRate = frameRate;
        std::atomic<bool> done{false};
        std::vector<double> seen;
        std::thread sim([&] {
            while (!done) {
                ASSERT_TRUE(gf_simFrame());
                seen.push_back(gf_standinObject(3)->pos.lat);
            }
        });
        int lastHandedOver = 0, handedOver = 0;
        for (int tick = 1; tick <= kTicks; ++tick) {
            gf_appendPosition({static_cast<double>(tick), 0, 0, 0, 0, 3000, 0, 0, 3});
            if (gf_handOverPositions()) lastHandedOver = tick, ++handedOver;
            std::lock_guard events(g_simEventMutex);
            std::lock_guard commands(g_simCommandMutex);
            g_simEventQueue.clear();
            if (tick % 10 == 0)
                ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(g_hSimConnect, kReqObjectScan, kDefObjectScan,
                                                                100000, SimObjectType::Aircraft),
                          S_OK);
        }
        done = true;
        sim.join();
        ASSERT_TRUE(gf_simFrame());
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_EQ(gf_standinObject(3)->pos.lat, lastHandedOver);
        if (frameRate > 50) EXPECT_EQ(handedOver, kTicks);
    }
}

}  // namespace
