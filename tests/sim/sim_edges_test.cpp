#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "core/clock.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/run_state.h"
#include "sim/flight_plan.h"
#include "sim/sim_state.h"
#include "sim_fixture.h"

namespace {

using std::chrono::hours;
using ::testing::ElementsAre;
constexpr auto kPatience = std::chrono::seconds(60);  // a wait that ends long before when all is well

std::string userText(const UserSnapshot& u) {
    return fmt::format("{} {} {} {} {} {} {} {} {} {}", u.lat, u.lon, u.pitch, u.bank, u.heading,
                       u.altitudeFt, u.heightAboveGroundFt, u.groundSpeedKt, u.onGround, u.simUtcSeconds);
}

// The process starts with no simulator: nothing published, and a frame without a link does nothing.
TEST(SimAtStart, NothingIsKnownBeforeTheFirstRun) {
    EXPECT_FALSE(gf_waitForSimulator(std::chrono::milliseconds(0)));
    EXPECT_FALSE(g_simRunning || g_simError || g_userOnGround || g_userOnGroundKnown);
    EXPECT_EQ(g_perSecondFlag.load(), 0);
    EXPECT_EQ(g_frameRate.load(), 0.0f);
    EXPECT_EQ(userText(gf_requestUserPosition()), "0 0 0 0 0 0 0 0 false 0");
    EXPECT_FALSE(gf_simFrame());
    EXPECT_FALSE(g_simError || g_stopRun) << "no link, so none was lost";
}

// The per-run reset forgets everything the last run published and every create it waited for,
// so a new world's objects bind the new run's creates and the frame rate is taken afresh.
TEST_F(SimLinkTest, ResetForgetsTheLastRun) {
    start();
    createAndAppear();
    EXPECT_THAT(scanEvents(), ElementsAre(ev(3, 0x4CA123, kEvLiveCreated, 0, 3000)));
    gf_queueCreate(createRec("EZY9", kA320, 0x4CA999, 3083, false));
    frames(40);  // sent, never scanned; frame rate and the simulator second published
    ASSERT_TRUE(g_simRunning && g_frameRate == 30.0f && g_perSecondFlag == 1 && g_userOnGround);
    g_simError = true;
    gf_queueRemove(3);
    gf_pushBlockEvent(0x4CA123);
    gf_simClose();
    gf_resetSimLink();
    EXPECT_FALSE(g_simRunning || g_simError || g_userOnGround || g_userOnGroundKnown);
    EXPECT_EQ(g_perSecondFlag.load(), 0);
    EXPECT_EQ(g_frameRate.load(), 0.0f);
    EXPECT_EQ(userText(gf_requestUserPosition()), "0 0 0 0 0 0 0 0 false 0");
    EXPECT_FALSE(gf_waitForSimulator(std::chrono::milliseconds(0)));
    EXPECT_TRUE(drain().empty());
    EXPECT_TRUE(g_simCommands.removes.empty());

    start();
    int frame = 1;
    while (g_frameRate == 0.0f && frame < 100) frames(1), ++frame;
    EXPECT_EQ(frame, 30) << "the frame count starts again";
    gf_queueCreate(createRec("EZY9", kA320, 0x4CA777, 3083, false));
    frames(4);
    EXPECT_THAT(scanEvents(), ElementsAre(ev(3, 0x4CA777, kEvLiveCreated, 0, 3000)));
}

// The user aircraft's report is taken only when it names a place on the earth; its ground state
// and its time are published with it.
TEST_F(SimLinkTest, UserReportIsTakenWithItsGroundState) {
    const struct {
        double lat, lon;
        bool onGround, taken;
    } rows[] = {{NAN, 8.5, true, false},      {47, NAN, true, false},    {INFINITY, 8.5, true, false},
                {47, -INFINITY, true, false}, {47.5, -8.25, true, true}, {-47.5, 8.25, false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.lat << " " << row.lon << " " << row.onGround);
        tst_resetAll();
        Scenario s = baseScenario();
        s.airports[0].lat = row.lat, s.airports[0].lon = row.lon;
        s.user[0] = {0, row.lat, row.lon, 2083, 90, 140, row.onGround};
        start(s);
        frames(1);
        EXPECT_EQ(gf_waitForSimulator(std::chrono::milliseconds(0)), row.taken);
        EXPECT_EQ(g_userOnGroundKnown.load(), row.taken);
        if (!row.taken) continue;
        const UserSnapshot u = gf_requestUserPosition();
        EXPECT_EQ(g_userOnGround.load(), row.onGround);
        EXPECT_EQ(fmt::format("{} {} {} {:.4f} {} {}", u.lat, u.lon, u.altitudeFt, u.heading, u.groundSpeedKt,
                              u.heightAboveGroundFt),
                  fmt::format("{} {} 2083 1.5708 140 {}", row.lat, row.lon, row.onGround ? 0 : 2000));
        EXPECT_EQ(u.onGround, row.onGround);
        EXPECT_GT(u.simUtcSeconds, 0);
        EXPECT_EQ(gf_simUtcSeconds(), u.simUtcSeconds);
    }
}

// The flight runs from the first frame, stops for a scripted pause and runs again; each
// simulator second raises the per-second flag once, and none passes while paused.
TEST_F(SimLinkTest, FlightStateFollowsThePausesAndTheSimulatorSeconds) {
    Scenario s = baseScenario();
    s.frameRate = 10;
    s.pauses = {{0.5, 1.0}};
    start(s);
    std::string seen = g_simRunning ? "R" : "-";
    for (int frame = 2; frame <= 35; ++frame) {
        frames(1);
        int raised = 1;
        seen += g_perSecondFlag.compare_exchange_strong(raised, 0) ? "1" : (g_simRunning ? "R" : "-");
    }
    // Frames at 0.1 s steps: paused from 0.5 to 1.5, the seconds at 2.0 and 3.0.
    EXPECT_EQ(seen, "RRRR----------RRRRR1RRRRRRRRR1RRRRR");
}

// Every happening reaches the run thread with its own kind: created live or static, refused,
// scanned, its centre of gravity, removed (the first AI object too) and blocked.
TEST_F(SimLinkTest, EveryHappeningHasItsOwnKind) {
    start();
    gf_queueCreate(createRec("BAW1", kA320, 0x4CA123, 3083, false));
    gf_queueCreate(createRec("GA1", kA320, 500, 83, true));
    gf_queueCreate(createRec("DLH4", "Not Installed A321", 0x3C4B21, 3000, false));
    frames(4);
    EXPECT_THAT(scanEvents(),
                ElementsAre(ev(0, 0x3C4B21, kEvCreateFailed), ev(3, 0x4CA123, kEvLiveCreated, 0, 3000),
                            ev(4, 500, kEvStaticCreated, 0, 11), ev(4, 1, kEvObjectScan, 83, 11)));
    {
        std::lock_guard lock(g_simCommandMutex);
        ASSERT_EQ(
            SimConnect_RequestDataOnSimObject(g_hSimConnect, kReqStaticCg, kDefStaticCg, 4, SimPeriod::Once),
            S_OK);
    }
    gf_queueRemove(3);
    frames(2);
    gf_pushBlockEvent(0x4CA123);
    EXPECT_THAT(drain(), ElementsAre(ev(4, 0, kEvStaticCg, 11.0, 0.0122), ev(3, 0, kEvRemoved),
                                     ev(0, 0x4CA123, kEvBlock)));
    const std::set<uint32_t> kinds = {kEvLiveCreated, kEvStaticCreated, kEvRemoved,     kEvObjectScan,
                                      kEvStaticCg,    kEvBlock,         kEvCreateFailed};
    EXPECT_EQ(kinds.size(), 7u) << "no two happenings share a kind";
}

// A create reaches the simulator with its record's place and attitude; a record that gives only
// its place comes level and without airspeed.
TEST_F(SimLinkTest, CreateCarriesItsRecordToTheSimulator) {
    start();
    AiCreateRec tilted = createRec("BAW2", kA320, 0x4CA124, 4083, false);
    tilted.pitch = 3, tilted.bank = -10, tilted.airspeed = 180;
    gf_queueCreate(createRec("BAW1", kA320, 0x4CA123, 3083, false));
    gf_queueCreate(tilted);
    frames(1);
    const struct {
        uint32_t id;
        double alt, pitchDeg, bankDeg, airspeed;
    } rows[] = {{3, 3083, 0, 0, 0}, {4, 4083, 3, -10, 180}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        const auto o = gf_standinObject(row.id);
        ASSERT_TRUE(o);
        EXPECT_EQ(
            fmt::format("{:.4f} {:.4f} {} {:.4f} {:.4f} {:.4f} {}", o->pos.lat, o->pos.lon, o->pos.altitude,
                        o->pos.pitch, o->pos.bank, o->pos.heading, o->pos.trueAirspeed),
            fmt::format("{:.4f} {:.4f} {} {:.4f} {:.4f} {:.4f} {}", kAirportLat + 0.01, kAirportLon, row.alt,
                        row.pitchDeg * kPi / 180, row.bankDeg * kPi / 180, 1.5 * kPi, row.airspeed));
    }
}

// A link that ended stays ended: later frames neither reach the simulator nor report a loss.
TEST_F(SimLinkTest, AnEndedLinkStaysEnded) {
    gf_setLogCapture(true);
    Scenario s = baseScenario();
    s.runLengthSeconds = 0.5;
    start(s);
    while (gf_simFrame()) {
    }
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(gf_simFrame());
    EXPECT_FALSE(g_simError.load());
    EXPECT_EQ(gf_exitState(), ExitState::SimWasClosed);
    EXPECT_EQ(gf_capturedLog(), "Simulator closed\n");
}

TEST_F(SimLinkTest, ClientEventNamesEndWithTheirRange) {
    const std::pair<uint32_t, const char*> rows[] = {{200, "ENGINE_AUTO_START"},
                                                     {201, "ENGINE_AUTO_SHUTDOWN"},
                                                     {213, "CABIN_LIGHTS_SET"},
                                                     {214, ""},
                                                     {199, ""},
                                                     {0, ""}};
    for (auto [id, name] : rows)
        EXPECT_STREQ(gf_clientEventName(static_cast<SimClientEvent>(id)), name) << id;
}

// Above 50 frames a second a busy lock is waited for: the tick's positions are handed over.
TEST_F(SimLinkTest, HandOverWaitsForABusyLockAboveFiftyFrames) {
    g_frameRate = 50.5f;
    gf_appendPosition({1, 2, 0, 0, 0, 100, 0, 0, 3});
    std::atomic<bool> entered{false}, returned{false};
    bool handedOver = false;
    std::unique_lock held(g_simCommandMutex);
    std::thread tick([&] {
        entered = true;
        handedOver = gf_handOverPositions();
        returned = true;
    });
    while (!entered) std::this_thread::yield();
    for (int i = 0; i < 2000 && !returned; ++i) std::this_thread::yield();
    EXPECT_FALSE(returned.load()) << "it waits for the lock";
    held.unlock();
    tick.join();
    EXPECT_TRUE(handedOver);
    EXPECT_EQ(g_simCommands.positions[1 - g_simCommands.writingHalf].size(), 1u);
}

TEST_F(SimLinkTest, FlightPlanCodesOfTwoAndEightCharactersAreWritten) {
    ASSERT_TRUE(gf_writeFlightPlan("flightplans/3.pln", "K1", "ABCD1234"));
    EXPECT_NE(tst_readFile("flightplans/3.pln").find("<Title>K1 to ABCD1234</Title>"), std::string::npos);
}

// Signals the end of the link from the simulator thread.
struct LinkEnd {
    std::mutex mutex;
    std::condition_variable cv;
    bool ended = false;
    std::function<void()> callback() {
        return [this] {
            std::lock_guard lock(mutex);
            ended = true;
            cv.notify_all();
        };
    }
    bool wait() {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, kPatience, [this] { return ended; });
    }
};

// The thread runs the simulator's frames no faster than the simulator's own time: a flight of
// 0.3 simulated seconds at 100 frames a second lasts about as long on the clock.
TEST_F(SimLinkTest, ThreadPacesTheFramesAtTheSimulatorsRate) {
    Scenario s = baseScenario();
    s.frameRate = 100;
    s.runLengthSeconds = 0.3;
    LinkEnd end;
    const auto started = std::chrono::steady_clock::now();
    gf_startSimThread([&] { gf_standinLoad(s); }, end.callback());
    ASSERT_TRUE(end.wait());
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(250));
    EXPECT_EQ(gf_exitState(), ExitState::SimWasClosed);
    gf_stopSimThread();
}

// A restart stops the running thread and is not ready until its own simulator answers; a run
// stopped before any simulator answered ends the thread, and its waiters, by itself. Closing
// waits for the removes the thread sends.
TEST_F(SimLinkTest, ThreadRestartsStopsAndSendsTheRemoves) {
    Scenario s = baseScenario();
    s.frameRate = 200;
    gf_startSimThread([&] { gf_standinLoad(s); });
    ASSERT_TRUE(gf_waitForSimulator(hours(1)));
    gf_queueRemove(77);
    EXPECT_TRUE(gf_waitRemovesSent(hours(1)));
    LinkEnd end;
    gf_startSimThread([] { gf_resetStandin(); }, end.callback());  // no simulator this time
    EXPECT_FALSE(gf_waitForSimulator(std::chrono::milliseconds(0))) << "the last run's readiness is gone";
    gf_stopRunWith(ExitState::UserClosedSim);
    EXPECT_FALSE(gf_waitForSimulator(hours(1)));
    ASSERT_TRUE(end.wait()) << "the thread ends with the run";
    gf_stopSimThread();  // joined: the link the thread closed after its end callback is seen here
    EXPECT_EQ(g_hSimConnect, nullptr);
}

}  // namespace
