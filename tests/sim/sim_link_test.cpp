#include "sim/sim_link.h"

#include <atomic>
#include <condition_variable>
#include <thread>

#include "sim/sim_state.h"
#include "sim_fixture.h"

namespace {

using ::testing::ElementsAre;

TEST_F(SimLinkTest, BlockPushIsKindFiveWithTheHexid) {
    gf_pushBlockEvent(0xABCDEF);
    EXPECT_THAT(drain(), ElementsAre(ev(0, 0xABCDEF, kEvBlock)));
}

TEST_F(SimLinkTest, ClientEventNames) {
    struct Row {
        SimClientEvent event;
        const char* name;
    };
    const Row rows[] = {
        {SimClientEvent::EngineAutoStart, "ENGINE_AUTO_START"},
        {SimClientEvent::AllLightsToggle, "ALL_LIGHTS_TOGGLE"},
        {SimClientEvent::StrobesSet, "STROBES_SET"},
        {SimClientEvent::CabinLightsSet, "CABIN_LIGHTS_SET"},
        {static_cast<SimClientEvent>(999), ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(gf_clientEventName(row.event), row.name);
    }
}

// Holds the command lock on another thread, as the simulator thread does while it sends.
class LockHolder {
  public:
    LockHolder() : thread_([this] { run(); }) {
        std::unique_lock lock(m_);
        cv_.wait(lock, [this] { return held_; });
    }
    ~LockHolder() {
        {
            std::lock_guard lock(m_);
            release_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

  private:
    void run() {
        std::lock_guard command(g_simCommandMutex);
        std::unique_lock lock(m_);
        held_ = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return release_; });
    }
    std::mutex m_;
    std::condition_variable cv_;
    bool held_ = false, release_ = false;
    std::thread thread_;
};

TEST_F(SimLinkTest, HandOverDropsTheTickWhenTheLockIsBusyAtLowFrameRate) {
    struct Row {
        float frameRate;
        bool lockBusy;
        bool handedOver;
    };
    const Row rows[] = {
        {30.0f, true, false}, {50.0f, true, false}, {30.0f, false, true}, {60.0f, false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.frameRate << (row.lockBusy ? " busy" : " free"));
        gf_clearPositionBuffers();
        g_frameRate = row.frameRate;
        int before = g_simCommands.writingHalf;
        gf_appendPosition({1, 2, 0, 0, 0, 100, 0, 0, 3});
        bool result;
        if (row.lockBusy) {
            LockHolder holder;
            result = gf_handOverPositions();
        } else {
            result = gf_handOverPositions();
        }
        EXPECT_EQ(result, row.handedOver);
        EXPECT_TRUE(g_simCommands.positions[g_simCommands.writingHalf].empty());
        EXPECT_EQ(g_simCommands.writingHalf != before, row.handedOver);
        EXPECT_EQ(g_simCommands.positions[1 - g_simCommands.writingHalf].size(), row.handedOver ? 1u : 0u);
    }
}

// The run thread appends one position per tick and hands it over while the simulator thread
// sends frames: whatever the timing, the object only ever moves forward and ends at the last
// position handed over. The run thread also takes the event lock and then the command lock,
// as its event drain does, and asks for object scans under both.
void lf_contention(SimLinkTest* test, float frameRate, bool expectAllHandedOver) {
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
        if (tick % 10 == 0) {
            ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(g_hSimConnect, kReqObjectScan, kDefObjectScan,
                                                            100000, SimObjectType::Aircraft),
                      S_OK);
        }
    }
    done = true;
    sim.join();
    ASSERT_TRUE(gf_simFrame());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(gf_standinObject(3)->pos.lat, lastHandedOver);
    if (expectAllHandedOver) EXPECT_EQ(handedOver, kTicks);
}

TEST_F(SimLinkTest, DoubleBufferUnderContentionAtHighFrameRate) {
    Scenario s = baseScenario();
    s.frameRate = 60;  // the frame events keep the published rate above 50
    start(s);
    createAndAppear("BAW123", kA320, 0x4CA123, 3083, false);
    lf_contention(this, 60.0f, true);
}

TEST_F(SimLinkTest, DoubleBufferUnderContentionAtLowFrameRate) {
    start();
    createAndAppear("BAW123", kA320, 0x4CA123, 3083, false);
    lf_contention(this, 30.0f, false);
}

TEST_F(SimLinkTest, FlightNotRunningEmptiesBothHalves) {
    gf_appendPosition({});
    gf_handOverPositions();
    gf_appendPosition({});
    gf_clearPositionBuffers();
    EXPECT_TRUE(g_simCommands.positions[0].empty());
    EXPECT_TRUE(g_simCommands.positions[1].empty());
}

}  // namespace
