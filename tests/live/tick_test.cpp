#include "live/tick.h"

#include <fmt/format.h>

#include "core/log.h"
#include "core/params.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "platform/sim_standin.h"
#include "sim/sim_link.h"
#include "support/sim_commands.h"
#include "support/tick_harness.h"

namespace {

using TickTest = TickHarness;

constexpr uint32_t kHexid = 0x3C6444;

// Three points 6 s apart of an aircraft taxiing north at 10 kt, 1 nm east of the user.
std::vector<TrackPoint> tst_taxiing() {
    std::vector<TrackPoint> points;
    for (int i = 0; i < 3; ++i) {
        TrackPoint p = tst_pointNear(0.0167 * i, 1.0, kHarnessElevFt);
        p.gsKt = 10;
        p.trackDeg = 0;
        points.push_back(p);
    }
    return points;
}

// The commands sent to the object, but for the toggles of the stand-in's own light switch.
std::vector<std::string> tst_commandsOf(uint32_t objectId) {
    std::vector<std::string> commands;
    for (const std::string& l : TickHarness::journalLines(fmt::format("{} ", objectId)))
        if (l.find("ALL_LIGHTS_TOGGLE") == std::string::npos) commands.push_back(l);
    return commands;
}

TEST_F(TickTest, AirborneAircraftGoesFromTheFeedThroughItsLifeAndOut) {
    startFlight();
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());

    tick();
    ASSERT_NE(live(kHexid), nullptr);
    EXPECT_EQ(live(kHexid)->lifeState, buffer);
    EXPECT_EQ(live(kHexid)->stream.front().dueTick, 600);

    // Spawned 100 ticks before its first point is due, with its livery; the create record is
    // built in the same pass and sent on the next multiple of 50 ticks.
    ASSERT_GE(tickUntil([] { return live(kHexid)->lifeState == adding2sim; }), 0);
    EXPECT_EQ(g_tickCounter, 501);
    EXPECT_EQ(live(kHexid)->liveryTitle, kTitleDlh738);
    EXPECT_EQ(live(kHexid)->flightState, flying);
    ASSERT_EQ(g_createDeque.size(), 1u);
    EXPECT_EQ(g_createDeque.front().callsign, "DLH4AB");
    EXPECT_DOUBLE_EQ(g_createDeque.front().pitch, -3.0);
    EXPECT_EQ(g_createDeque.front().onGround, 0u);
    tick(49);
    EXPECT_EQ(g_createDeque.size(), 1u);
    tick(1);
    EXPECT_TRUE(g_createDeque.empty()) << "handed to the simulator link at tick 550";
    ASSERT_GE(tickUntil([] { return !journalLines("CREATE").empty(); }, 4), 0);
    EXPECT_EQ(journalLines("CREATE"),
              std::vector<std::string>{fmt::format("CREATE DLH4AB {}", kTitleDlh738)});

    // The object scan finds it; from the pass that binds it the object waits 200 ticks, its
    // lights toggled at 50 and 100.
    ASSERT_GE(tickUntil([] { return live(kHexid)->objectId != 0; }), 0);
    const int32_t bound = g_tickCounter;
    const uint32_t id = live(kHexid)->objectId;
    const std::string toggle = fmt::format("{} ALL_LIGHTS_TOGGLE", id);
    tick(bound + 48 - g_tickCounter);
    EXPECT_EQ(journalLines(toggle).size(), 0u);
    tick(1);
    EXPECT_EQ(journalLines(toggle).size(), 1u);
    tick(50);
    EXPECT_EQ(journalLines(toggle).size(), 2u);
    tick(bound + 199 - g_tickCounter);
    EXPECT_EQ(live(kHexid)->lifeState, adding2sim);
    EXPECT_EQ(journalLines(fmt::format("{} ENGINE", id)), std::vector<std::string>{});
    tick(1);
    EXPECT_EQ(live(kHexid)->lifeState, active);

    EXPECT_NE(newLog().find(fmt::format(" {} active as object {}, flying\n", gf_acLabel(*live(kHexid)), id)),
              std::string::npos);

    // Engines, spoilers and the lights of an aircraft at 12000 ft, then its positions; the
    // flight model's own commands follow once the first sample is flown.
    tick(5);
    std::vector<std::string> expected = {fmt::format("{} ENGINE_AUTO_START 0", id),
                                         fmt::format("{} SPOILERS_SET 0", id)};
    for (const std::string& l : tst_lightEvents(id, "1100101")) expected.push_back(l);
    std::vector<std::string> commands = tst_commandsOf(id);
    ASSERT_GE(commands.size(), expected.size());
    commands.resize(expected.size());
    EXPECT_EQ(commands, expected);
    const StandinObject object = gf_standinObject(id).value();
    EXPECT_TRUE(object.enginesRunning);
    EXPECT_DOUBLE_EQ(object.pos.lat, live(kHexid)->lat);
    EXPECT_DOUBLE_EQ(object.pos.altitude, 12000);
    EXPECT_NEAR(live(kHexid)->agl, 12000 - kHarnessElevFt, 1e-6)
        << "height above ground from the create report";
    EXPECT_NEAR(live(kHexid)->staticCgHeight, 11.0, 1e-9) << "the model's static data was asked for once";

    // Out again: queued, removed on a multiple of 10 ticks, erased when the removal arrives.
    removeAircraftFromSim(*live(kHexid));
    EXPECT_EQ(live(kHexid)->lifeState, removingfromsim);
    ASSERT_GE(tickUntil([] { return live(kHexid) == nullptr; }, 100), 0);
    EXPECT_EQ(journalLines("REMOVE"), std::vector<std::string>{fmt::format("REMOVE {}", id)});
    EXPECT_TRUE(gf_standinObjects().empty());
}

TEST_F(TickTest, TaxiingAircraftSpawnsEarlierAndStartsWithTaxiLightsThrottleAndFlaps) {
    startFlight();
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_taxiing());
    ASSERT_GE(tickUntil([] { return live(kHexid) && live(kHexid)->lifeState == adding2sim; }), 0);
    EXPECT_EQ(g_tickCounter, 301) << "300 ticks of lead on the ground while moving";
    EXPECT_EQ(live(kHexid)->flightState, taxi);
    EXPECT_EQ(g_createDeque.front().onGround, 1u);
    ASSERT_GE(tickUntil([] { return live(kHexid)->lifeState == active; }), 0);
    tick(5);
    const uint32_t id = live(kHexid)->objectId;
    std::vector<std::string> expected = {fmt::format("{} SPOILERS_SET 0", id),
                                         fmt::format("{} ENGINE_AUTO_START 0", id)};
    for (const std::string& l : tst_lightEvents(id, "1101011")) expected.push_back(l);
    expected.push_back(fmt::format("{} THROTTLE_SET 0", id));
    expected.push_back(fmt::format("{} FLAPS_SET 3072", id));
    EXPECT_EQ(tst_commandsOf(id), expected);
    EXPECT_EQ(live(kHexid)->throttleIndex, 0u);
    EXPECT_EQ(live(kHexid)->flapsIndex, 1u);
}

TEST_F(TickTest, CreatesGoOutOneEvery50TicksAndRemovalsOneEvery10) {
    startFlight();
    for (uint32_t i = 0; i < 3; ++i)
        feedTrack(kHexid + i, fmt::format("DLH{}", 10 + i), "DLH", "B738", tst_inbound(12000 + 1000 * i));
    ASSERT_GE(tickUntil([] { return g_createDeque.size() == 3; }), 0);
    EXPECT_EQ(g_tickCounter, 503) << "all three spawn at tick 500; one create record is built per tick";
    std::vector<int32_t> sentAt;
    for (int i = 0; i < 200 && sentAt.size() < 3; ++i) {
        const size_t before = g_createDeque.size();
        const int32_t now = g_tickCounter;
        tick();
        if (g_createDeque.size() < before) sentAt.push_back(now);
    }
    EXPECT_EQ(sentAt, (std::vector<int32_t>{550, 600, 650}));
    ASSERT_GE(tickUntil([] { return gf_countActiveLive() == 3; }), 0);
    for (uint32_t i = 0; i < 3; ++i) removeAircraftFromSim(*live(kHexid + i));
    std::vector<int32_t> removedAt;
    for (int i = 0; i < 40 && removedAt.size() < 3; ++i) {
        const size_t before = g_removeDeque.size();
        const int32_t now = g_tickCounter;
        tick();
        if (g_removeDeque.size() < before) removedAt.push_back(now);
    }
    ASSERT_EQ(removedAt.size(), 3u);
    EXPECT_EQ(removedAt[0] % 10, 0);
    EXPECT_EQ(removedAt[1] - removedAt[0], 10);
    EXPECT_EQ(removedAt[2] - removedAt[1], 10);
    ASSERT_GE(tickUntil([] { return g_liveRecords.empty(); }, 100), 0);
}

// An object the scans never find (here out of their radius) would hold its aircraft in
// adding2sim for good: the aircraft is withdrawn, and its object removed once a scan meets it.
TEST_F(TickTest, CreateNoScanFindsIsWithdrawnAndItsObjectRemovedWhenItAppears) {
    startFlight();
    AUTO_RANGE.set(false);
    RANGE.set(2);
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());
    ASSERT_GE(tickUntil([] { return g_tickCounter == 550 + kCreateBindLimitTicks; }), 0);
    ASSERT_NE(live(kHexid), nullptr);
    EXPECT_EQ(live(kHexid)->lifeState, adding2sim);
    tick();
    EXPECT_EQ(live(kHexid)->withdrawn, 1);
    tick();
    EXPECT_EQ(live(kHexid), nullptr);
    const std::string log = newLog();
    EXPECT_NE(log.find("===> lf_handleAddingStack EGLL->EDDF DLH4AB    DLH B738 not created within 30 s, withdrawn\n"),
              std::string::npos)
        << log;
    RANGE.set(40);
    ASSERT_GE(tickUntil([] { return gf_standinObjects().empty(); }, 300), 0);
    EXPECT_EQ(newLog(), fmt::format("===> gf_handleSimEvents: object 3 of hexid {} has no aircraft, removed\n", kHexid));
}

}  // namespace
