#include "live/tick.h"

#include <filesystem>

#include <fmt/format.h>

#include "airports/stand.h"
#include "core/clock.h"
#include "core/display.h"
#include "core/params.h"
#include "core/run_state.h"
#include "live/air_motion.h"
#include "live/air_motion_legs.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "shell/run_thread.h"
#include "sim/flight_plan.h"
#include "sim/sim_state.h"
#include "support/sim_commands.h"
#include "support/tick_harness.h"

namespace {

using TickTest = TickHarness;

constexpr uint32_t kHexid = 0x3C6444;

bool tst_adding() {
    return TickHarness::live(kHexid) && TickHarness::live(kHexid)->lifeState == adding2sim;
}
bool tst_bound() {
    return TickHarness::live(kHexid)->objectId != 0;
}

// The commands sent to the object, but for the toggles of the stand-in's own light switch.
std::vector<std::string> tst_commandsOf(uint32_t objectId, size_t first) {
    std::vector<std::string> commands;
    for (const std::string& l : TickHarness::journalLines(fmt::format("{} ", objectId)))
        if (l.find("ALL_LIGHTS_TOGGLE") == std::string::npos) commands.push_back(l);
    commands.resize(std::min(commands.size(), first));
    return commands;
}

TEST_F(TickTest, AirborneAircraftGoesFromTheFeedThroughItsLifeAndOut) {
    startFlight();
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());
    // Spawned 100 ticks before its first point is due, its create sent on the next 50th tick.
    ASSERT_EQ(tickUntil(tst_adding), 501);
    EXPECT_EQ(live(kHexid)->liveryTitle, kTitleDlh738);
    EXPECT_EQ(live(kHexid)->flightState, flying);
    ASSERT_EQ(g_createDeque.size(), 1u);
    EXPECT_DOUBLE_EQ(g_createDeque.front().pitch, -3.0);
    tick(49);
    EXPECT_EQ(g_createDeque.size(), 1u);
    tick(1);
    EXPECT_TRUE(g_createDeque.empty()) << "handed to the simulator link at tick 550";
    // Found by the scan of tick 600, reported at 605; active 200 ticks later, toggled at 50 and 100.
    tickUntil(tst_bound);
    ASSERT_EQ(g_tickCounter, 605);
    const uint32_t id = live(kHexid)->objectId;
    EXPECT_EQ(journalLines("CREATE"),
              std::vector<std::string>{fmt::format("CREATE DLH4AB {}", kTitleDlh738)});
    EXPECT_TRUE(std::filesystem::exists(gf_flightPlanFileName(id))) << "it has a route";
    for (const auto& [ticks, toggles, state] : {std::tuple{48, 0u, adding2sim},
                                                {1, 1u, adding2sim},
                                                {50, 2u, adding2sim},
                                                {100, 2u, adding2sim},
                                                {1, 2u, active}}) {
        tick(ticks);
        EXPECT_EQ(journalLines(fmt::format("{} ALL_LIGHTS_TOGGLE", id)).size(), toggles);
        EXPECT_EQ(live(kHexid)->lifeState, state);
    }
    EXPECT_NE(newLog().find(fmt::format(" {} active as object {}, flying\n", gf_acLabel(*live(kHexid)), id)),
              std::string::npos);
    // Engines, spoilers and the lights of an aircraft at 12000 ft, then its positions.
    tick(5);
    std::vector<std::string> expected = {fmt::format("{} ENGINE_AUTO_START 0", id),
                                         fmt::format("{} SPOILERS_SET 0", id)};
    for (const std::string& l : tst_lightEvents(id, "1100101")) expected.push_back(l);
    EXPECT_EQ(tst_commandsOf(id, expected.size()), expected);
    const StandinObject object = gf_standinObject(id).value();
    EXPECT_TRUE(object.enginesRunning);
    EXPECT_DOUBLE_EQ(object.pos.lat, live(kHexid)->lat);
    EXPECT_DOUBLE_EQ(object.pos.altitude, 12000);
    EXPECT_NEAR(live(kHexid)->agl, 12000 - kHarnessElevFt, 1e-6) << "from the create report";
    EXPECT_NEAR(live(kHexid)->staticCgHeight, 11.0, 1e-9) << "the model's static data, asked for once";
    // Out again: queued, sent on the next multiple of 10 ticks, erased when the removal arrives.
    tick(3);
    removeAircraftFromSim(*live(kHexid));
    tickUntil([] { return g_removeDeque.empty(); }, 10);
    EXPECT_EQ(g_tickCounter % 10, 1);
    tickUntil([] { return live(kHexid) == nullptr; }, 100);
    EXPECT_EQ(journalLines("REMOVE"), std::vector<std::string>{fmt::format("REMOVE {}", id)});
    EXPECT_FALSE(std::filesystem::exists(gf_flightPlanFileName(id)));
}

// While an aircraft flares the scans run every 20 ticks: the create of 550 is found at 580.
TEST_F(TickTest, FastObjectScanFindsTheCreateAtTheNextTwentiethTick) {
    startFlight();
    g_fastObjectScan = true;
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());
    tickUntil(tst_adding);
    tickUntil(tst_bound);
    EXPECT_EQ(g_tickCounter, 585);
}

TEST_F(TickTest, TaxiingAircraftSpawnsEarlierAndStartsWithTaxiLightsThrottleAndFlaps) {
    startFlight();
    std::vector<TrackPoint> taxiing;
    for (int i = 0; i < 3; ++i)
        taxiing.push_back({kHarnessLat + 0.0167 * i / 60, kHarnessLon + 0.026, kHarnessElevFt, 10, 0});
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", taxiing);
    ASSERT_EQ(tickUntil(tst_adding), 301) << "300 ticks of lead on the ground while moving";
    EXPECT_EQ(live(kHexid)->flightState, taxi);
    EXPECT_EQ(g_createDeque.front().onGround, 1u);
    ASSERT_GE(tickUntil([] { return live(kHexid)->lifeState == active; }), 0);
    tick(5);
    const uint32_t id = live(kHexid)->objectId;
    std::vector<std::string> expected = {fmt::format("{} SPOILERS_SET 0", id),
                                         fmt::format("{} ENGINE_AUTO_START 0", id)};
    for (const std::string& l : tst_lightEvents(
             id, "1101011", {fmt::format("{} THROTTLE_SET 0", id), fmt::format("{} FLAPS_SET 3072", id)}))
        expected.push_back(l);
    EXPECT_EQ(tst_commandsOf(id, 100), expected);
}

// A create no scan finds (out of their radius) is withdrawn; its object goes once a scan meets it.
TEST_F(TickTest, CreateNoScanFindsIsWithdrawnAndItsObjectRemovedWhenItAppears) {
    startFlight();
    AUTO_RANGE.set(false);
    RANGE.set(2);
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());
    tickUntil([] { return g_tickCounter == 550 + kCreateBindLimitTicks; });
    EXPECT_EQ(live(kHexid)->lifeState, adding2sim);
    // As if it were meant for a stand: the withdrawn aircraft lets go of it.
    g_stands.emplace_back("A1", std::vector<StandOption>{}, kHarnessLat, kHarnessLon, 0.0, 30, false, false,
                          false);
    gf_numberStands();
    live(kHexid)->standId = 1;
    ASSERT_TRUE(gf_takeStand(*live(kHexid)));
    tick();
    EXPECT_EQ(live(kHexid)->withdrawn, 1);
    EXPECT_FALSE(g_stands[0].occupied);
    tick();
    EXPECT_EQ(live(kHexid), nullptr) << "erased at the end of the next update";
    EXPECT_NE(
        newLog().find(
            "===> lf_handleAddingStack EGLL->EDDF DLH4AB    DLH B738 not created within 30 s, withdrawn\n"),
        std::string::npos);
    RANGE.set(40);
    tickUntil([] { return gf_standinObjects().empty(); }, 300);
    EXPECT_EQ(
        newLog(),
        fmt::format("===> gf_handleSimEvents: object 3 of hexid {} has no aircraft, removed\n", kHexid));
}

// A spawned aircraft whose samples are all gone, or that has no callsign, when its create comes
// up is removed instead of created; an active aircraft whose samples are all gone, or that has
// no object, is removed.
TEST_F(TickTest, SpawnedAircraftWithoutSamplesIsRemovedNotCreated) {
    const struct Row {
        const char* callsign;
        bool samples;
        uint32_t lifeState;
        const char* log;  // how the first log line starts
    } rows[] = {
        {"DLH4AB", false, adding2sim, "lf_handleAddingStack stream empty ?"},
        {"", true, adding2sim, "lf_handleAddingStack  "},
        {"DLH4AB", false, active, "updateLiveAc stream empty ?"},
        {"DLH4AB", true, active, "updateLiveAc objectid=0? hexid: 3957828,cs:DLH4AB"},
    };
    startFlight();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.log);
        LiveAircraft& ac = g_liveRecords.emplace_back();
        ac.hexid = kHexid, ac.callsign = r.callsign, ac.lifeState = r.lifeState, ac.objectId = 0;
        if (r.samples)
            ac.stream = {PosSample{.lat = kHarnessLat,
                                   .lon = kHarnessLon,
                                   .alt = 3000,
                                   .dueTick = 100000,
                                   .airborne = 1,
                                   .stationary = 1}};
        if (r.lifeState == adding2sim) g_hexidStack = {kHexid};
        tick();
        EXPECT_TRUE(g_createDeque.empty() && g_hexidStack.empty());
        // Withdrawn (erased at the next update) when its create was due, erased at once when active.
        const LiveAircraft* left = live(kHexid);
        EXPECT_TRUE(r.lifeState == active ? left == nullptr : left && left->withdrawn == 1);
        tick();
        EXPECT_EQ(live(kHexid), nullptr);
        const std::string log = newLog();
        EXPECT_EQ(log.rfind(r.log, 0), 0u) << log;
    }
}

// The object scans run every 20th tick while an aircraft flares; a request the link refuses
// marks the link broken, so that the run restarts as after a lost link.
TEST_F(TickTest, ARefusedObjectScanMarksTheLinkBroken) {
    g_fastObjectScan = true;
    g_hSimConnect = reinterpret_cast<HANDLE>(uintptr_t{12345});  // no such connection
    for (const auto& [tick, refused] : {std::pair{19u, false}, std::pair{20u, true}}) {
        SCOPED_TRACE(tick);
        g_simError = false;
        g_tickCounter = tick;
        lf_handleAddingStack();
        EXPECT_EQ(g_simError.load(), refused);
        EXPECT_EQ(newLog(), refused ? "SimConnect request ac within range fails\n" : "");
    }
    g_hSimConnect = nullptr;
    g_simError = false;
}

// When its front sample falls due an aircraft takes the next leg's speeds: none while it stands.
TEST_F(TickTest, DueFrontSampleSetsTheSpeedsOfTheNextLeg) {
    for (const bool standing : {true, false}) {
        SCOPED_TRACE(standing);
        g_tickCounter = 1000;
        LiveAircraft& ac = g_liveRecords.emplace_back();
        ac.hexid = kHexid, ac.callsign = "DLH4AB", ac.lifeState = active, ac.objectId = 5;
        ac.flightState = taxi, ac.onGround = 1, ac.previousFlightState = flying;
        ac.lat = 50, ac.lon = 8;
        lf_clearCurve(ac);
        for (int i = 0; i < 3; ++i) {
            const double north = standing ? 0 : 0.001 * i;
            PosSample s{.lat = 50 + north, .lon = 8, .gs = standing ? 0.0 : 10.0, .vrate = 120};
            s.dueTick = 1000 + 500 * i;
            s.stationary = standing && i > 0;
            ac.stream.push_back(s);
        }
        updateLiveAc(ac);
        EXPECT_EQ(ac.nextAirspeed, standing ? 0 : 10);
        EXPECT_EQ(ac.trueAirspeed, standing ? 0 : 10);
        EXPECT_EQ(ac.verticalSpeed, ac.nextVrate / 60);
        g_liveRecords.clear();
    }
}

// Creates go one every 50 ticks, a live aircraft's before any static one's; removals one
// every 10 ticks.
TEST_F(TickTest, QueuedCreatesAndRemovalsGoOneAtATime) {
    g_createDeque = {{.callsign = "DLH4AB", .hexid = 1}};
    g_createDequeStatic = {{.callsign = "EZY1*", .hexid = 2}, {.callsign = "EZY2*", .hexid = 3}};
    g_removeDeque = {7, 8};
    struct Step {
        uint32_t tick;
        size_t live, statics, removals;
    } steps[] = {{49, 1, 2, 2},  {50, 0, 2, 1},  {51, 0, 2, 1}, {60, 0, 2, 0},
                 {100, 0, 1, 0}, {149, 0, 1, 0}, {150, 0, 0, 0}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.tick);
        g_tickCounter = step.tick;
        lf_sendQueued();
        EXPECT_EQ(std::make_tuple(g_createDeque.size(), g_createDequeStatic.size(), g_removeDeque.size()),
                  std::make_tuple(step.live, step.statics, step.removals));
    }
}

// A new run, and a new process, start without the last one's per-second queue.
TEST_F(TickTest, ResetsForgetThePerSecondQueue) {
    for (const auto reset : {&gf_resetLiveTraffic, &gf_resetLiveTrafficProcess}) {
        g_perSecondList = {0x3C6401, 0x3C6402};
        reset();
        EXPECT_TRUE(g_perSecondList.empty());
    }
}

// A stop raised during the per-second step (through the clock it reads) ends the pass there.
TEST_F(TickTest, StopDuringThePerSecondStepEndsThePass) {
    g_simRunning = true;
    g_simSeconds = 14;
    gf_setUtcClock([] {
        gf_stopRunWith(ExitState::NewFlight);
        return UtcTimePoint(std::chrono::seconds(1709647629));
    });
    g_perSecondFlag = 1;
    EXPECT_FALSE(lf_tick());
    EXPECT_EQ(g_simSeconds, 15);
    EXPECT_EQ(gf_repaintCount(Region::Lamps), 0);
}

}  // namespace
