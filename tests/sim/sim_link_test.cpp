#include "sim/sim_link.h"

#include <atomic>
#include <thread>

#include "sim/sim_state.h"
#include "sim_fixture.h"

namespace {

using ::testing::ElementsAre;

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
        createAndAppear("BAW123", kA320, 0x4CA123, 3083, false);
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
