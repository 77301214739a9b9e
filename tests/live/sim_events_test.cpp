#include "live/sim_events.h"

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "core/display.h"
#include "core/errors.h"
#include "core/params.h"
#include "core/random.h"
#include "live/live_fixture.h"
#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "sim/flight_plan.h"
#include "support/sim_commands.h"
#include "support/stand_builders.h"
#include "support/tick_harness.h"

namespace {

using SimEventsTest = TickHarness;

constexpr uint32_t kHexid = 0x3C6444;

SimEventRec tst_event(uint32_t kind, uint32_t objectId, uint32_t hexid, double v1 = 0, double v2 = 0) {
    return {objectId, hexid, 0, kind, v1, v2};
}

LiveAircraft& tst_addLive(uint32_t hexid, uint32_t lifeState, uint32_t objectId, bool airborne = true) {
    LiveAircraft ac = tst_liveAircraft(hexid, lifeState, objectId);
    ac.stream.push_back({});
    ac.stream.back().airborne = airborne;
    return gf_addLiveAircraft(std::move(ac));
}

// Twenty refused titles end the run; the events after the one that throws wait for the next drain.
TEST_F(SimEventsTest, DrainTakesEachEventOffBeforeHandlingIt) {
    for (int i = 0; i < 19; ++i) g_refusedTitles.push_back(fmt::format("Title {}", i));
    tst_addLive(kHexid, adding2sim, 0).liveryTitle = "Refused once more";
    tst_addLive(kHexid + 1, removingfromsim, 7);
    gf_pushSimEvent(tst_event(kEvCreateFailed, 0, kHexid));
    gf_pushSimEvent(tst_event(kEvRemoved, 7, 0));
    EXPECT_THROW(
        try { gf_handleSimEvents(); } catch (const qtk::UserErrorException& e) {
            EXPECT_STREQ(e.what(),
                         "81: There are too many liveries that could not be created by P3D!, see Log.txt");
            throw;
        },
        qtk::UserErrorException);
    EXPECT_EQ(gf_messageText(), "DLH4AB 'Refused once more' could not be created by your Sim!");
    EXPECT_NE(newLog().find("DLH4AB 'Refused once more' could not be created by your Sim!\n"),
              std::string::npos);
    EXPECT_EQ(g_uncreatableTitles, std::set<std::string>{"B738 DLH"});
    ASSERT_EQ(g_simEventQueue.size(), 1u);
    EXPECT_EQ(g_simEventQueue.front().kind, kEvRemoved);
    gf_handleSimEvents();
    EXPECT_TRUE(g_simEventQueue.empty());
    EXPECT_EQ(gf_findLiveByHexid(kHexid + 1), nullptr);
    EXPECT_EQ(g_refusedTitles.size(), 20u) << "the refusal was handled once";
}

// A refused create or a removal frees the stand and erases the record; a respawning one waits.
TEST_F(SimEventsTest, EventsThatEndAnObject) {
    tst_addStands({{"A1", 0, 0, 20}, {"A2", 100, 0, 20}});
    LiveAircraft& refused = tst_addLive(kHexid, adding2sim, 0, false);
    refused.standId = 1;
    ASSERT_TRUE(gf_takeStand(refused));
    LiveAircraft& gone = tst_addLive(kHexid + 1, active, 42, false);
    gone.standId = 2;
    gone.flightState = flying;
    ASSERT_TRUE(gf_takeStand(gone));
    LiveAircraft& respawning = tst_addLive(kHexid + 2, liveryrespawn, 9);
    respawning.throttleIndex = 2;
    respawning.flapsIndex = 1;
    for (const SimEventRec& e :
         {tst_event(kEvCreateFailed, 0, kHexid), tst_event(kEvRemoved, 42, 0), tst_event(kEvRemoved, 9, 0)})
        gf_pushSimEvent(e);
    newLog();
    gf_handleSimEvents();
    EXPECT_FALSE(g_stands[0].occupied || g_stands[1].occupied);
    ASSERT_EQ(g_liveRecords.size(), 1u);
    const LiveAircraft& r = g_liveRecords[0];
    EXPECT_EQ(std::make_tuple(r.hexid, r.lifeState, r.objectId, r.throttleIndex, r.flapsIndex),
              std::make_tuple(kHexid + 2, uint32_t{buffer}, 0u, 5u, 4u));
    EXPECT_NE(newLog().find("         DLH4AB    DLH B738 left the simulator, flying\n"), std::string::npos);
}

// The flight plan file is named after the object: a respawning aircraft's old one goes with it.
TEST_F(SimEventsTest, RespawnRemovalDeletesTheOldFlightPlan) {
    tst_writeFile(gf_flightPlanFileName(9), "plan of object 9");
    tst_writeFile(gf_flightPlanFileName(10), "plan of object 10");
    LiveAircraft& ac = tst_addLive(kHexid, liveryrespawn, 9);
    ac.flightPlanSent = 1;
    gf_pushSimEvent(tst_event(kEvRemoved, 9, 0));
    gf_handleSimEvents();
    EXPECT_FALSE(std::filesystem::exists(gf_flightPlanFileName(9)));
    EXPECT_TRUE(std::filesystem::exists(gf_flightPlanFileName(10)));
    EXPECT_EQ(std::make_tuple(ac.lifeState, ac.objectId, ac.flightPlanSent),
              std::make_tuple(uint32_t{buffer}, 0u, uint8_t{0}));
}

// A created object for an aircraft that is gone, or that holds another object already, is taken
// out again with a warning; the aircraft keeps its own object.
TEST_F(SimEventsTest, CreatedObjectWithoutItsAircraftIsRemoved) {
    LiveAircraft& ac = tst_addLive(kHexid, active, 9);
    gf_pushSimEvent(tst_event(kEvLiveCreated, 10, kHexid));
    gf_pushSimEvent(tst_event(kEvLiveCreated, 11, kHexid + 7));
    newLog();
    gf_handleSimEvents();
    EXPECT_EQ(ac.objectId, 9u);
    EXPECT_EQ(g_removeDeque, (std::deque<uint32_t>{10, 11}));
    EXPECT_EQ(
        newLog(),
        fmt::format("===> gf_handleSimEvents: object 10 of hexid {} duplicates the aircraft's object, "
                    "removed\n===> gf_handleSimEvents: object 11 of hexid {} has no aircraft, removed\n",
                    kHexid, kHexid + 7));
}

// After 200 ticks a static aircraft gets the parked lights (nav lights as set); never a lit cabin
// on a cargo stand.
TEST_F(SimEventsTest, StaticAircraftParksAfterItsWaitWithItsStandInTheLog) {
    tst_addStands({{"V12", 0, 0, 30}});
    for (const auto& [cargo, nav] : {std::pair{false, true}, std::pair{true, false}}) {
        SCOPED_TRACE(cargo);
        NAV_LIGHTS_WHILE_PARKED.set(nav);
        gf_seedRandom(7);
        g_staticAircraft.assign(1, tst_liveAircraft(17, adding2sim));
        g_staticAircraft[0].callsign = "DLH4AB*";
        g_staticAircraft[0].standId = 1;
        g_staticAircraft[0].cargoStand = cargo;
        gf_pushSimEvent(tst_event(kEvStaticCreated, 8, 17));
        for (int i = 0; i < 200; ++i) gf_handleSimEvents();
        EXPECT_EQ(g_staticAircraft[0].lifeState, adding2sim);
        EXPECT_EQ(tst_queuedCommands(), std::vector<std::string>{})
            << "no light toggles for a static aircraft";
        gf_handleSimEvents();
        EXPECT_EQ(g_staticAircraft[0].lifeState, active);
        std::vector<std::string> sent = {"8 THROTTLE_SET 0", "8 FLAPS_SET 0", "8 ENGINE_AUTO_SHUTDOWN 0"};
        for (const std::string& l : tst_lightEvents(8, cargo ? "0000010" : "1000011")) sent.push_back(l);
        EXPECT_EQ(tst_queuedCommands(), sent);
        EXPECT_EQ(newLog(), "V12     : DLH4AB*  parked\n");
        EXPECT_TRUE(g_waitingEvents.empty());
    }
}

// The model's centre of gravity is taken between 1 and 35 ft, its standing pitch between -1 and
// 2.5 degrees (0.7 otherwise); anything else keeps what the aircraft had.
TEST_F(SimEventsTest, StaticCentreOfGravityWithinItsBounds) {
    const struct Row {
        double cgFt, pitchRad, cgAfter, pitchAfter;
    } rows[] = {{1.0, 0.0, 1.0, 0.0},    {0.9, 0.0, 6.0, 0.0},           {35.0, 0.04, 35.0, 0.04},
                {35.1, 0.04, 6.0, 0.04}, {11.0, -0.02, 11.0, 0.0122173}, {11.0, 0.05, 11.0, 0.0122173}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.cgFt << " ft, " << r.pitchRad);
        g_liveRecords.clear();
        LiveAircraft& ac = tst_addLive(kHexid, active, 9);
        ac.staticCgHeight = 6;
        gf_pushSimEvent(tst_event(kEvStaticCg, 9, 0, r.cgFt, r.pitchRad));
        gf_handleSimEvents();
        EXPECT_EQ(ac.staticCgHeight, r.cgAfter);
        EXPECT_NEAR(ac.staticPitch, r.pitchAfter, 1e-7);
    }
}

// An object scan that finds a flying aircraft on the ground lands it there (no altitude drift),
// unless it is taking off or in the air by the scan; one that flares or is on the approach starts
// its touchdown and landing roll there. The ground's height plus its centre of gravity is the
// altitude of an aircraft on the ground and of one that climbs after its take-off.
TEST_F(SimEventsTest, ObjectScanPutsAnAircraftOnTheGround) {
    const struct Row {
        const char* name;
        uint32_t state, onGroundScan;
        int32_t flareStage;
        uint8_t approach;
        int32_t takeOffCounter;
        uint8_t onGround, landingRoll;
        double altitude;
    } rows[] = {
        {"flying", flying, 1, 0, 0, 0, 1, 0, 1406},
        {"flaring", flying, 1, 1, 0, 0, 1, 1, 1406},
        {"on the approach", flying, 1, 0, 1, 0, 1, 1, 1406},
        {"taking off", take_off, 1, 0, 0, 0, 0, 0, 5000},
        {"in the air by the scan", flying, 0, 0, 0, 0, 0, 0, 5000},
        {"climbing after its take-off", flying, 1, 0, 0, 2, 0, 0, 1406},
        {"after its first take-off scan", flying, 1, 0, 0, 1, 1, 0, 1406},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        g_liveRecords.clear();
        LiveAircraft& ac = tst_addLive(kHexid, active, 9);
        ac.flightState = r.state, ac.dAltitude = -3, ac.staticCgHeight = 6, ac.altitude = 5000;
        ac.flareStage = r.flareStage, ac.approachFlag = r.approach, ac.takeOffCounter = r.takeOffCounter;
        ac.touchdownTicks = 100;
        gf_pushSimEvent(tst_event(kEvObjectScan, 9, r.onGroundScan, 1400, 2));
        gf_handleSimEvents();
        EXPECT_EQ(ac.onGround, r.onGround);
        EXPECT_EQ(ac.dAltitude, r.onGround ? 0 : -3);
        EXPECT_EQ(ac.landingRoll, r.landingRoll);
        EXPECT_EQ(ac.agl, 2);
        EXPECT_EQ(ac.altitude, r.altitude);
        tst_queuedCommands();
    }
}

// Activated in the air: engines on, spoilers in, landing and logo lights at and below 10000 ft,
// the cabin lit from 2000 ft above the ground.
TEST_F(SimEventsTest, AirborneActivationLightsByHeight) {
    const struct Row {
        double altitude, agl;
        const char* lights;
    } rows[] = {{10000, 2000, "1110111"}, {10000.5, 1999.5, "1100100"}, {12000, 12000, "1100101"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.altitude);
        g_liveRecords.clear();
        LiveAircraft& ac = tst_addLive(kHexid, adding2sim, 9);
        ac.altitude = r.altitude, ac.agl = r.agl;
        tst_queuedCommands();
        lf_activate(ac);
        EXPECT_EQ(ac.lifeState, active);
        std::vector<std::string> sent = {"9 ENGINE_AUTO_START 0", "9 SPOILERS_SET 0"};
        for (const std::string& l : tst_lightEvents(9, r.lights)) sent.push_back(l);
        EXPECT_EQ(tst_queuedCommands(), sent);
    }
}

// Each created live object waits its own 200 ticks, with the lights toggled at 50 and 100, then
// is driven; an object removed while it waits takes only its own wait along. A new run forgets
// the objects still waiting.
TEST_F(SimEventsTest, CreatedObjectsWaitEachOnItsOwn) {
    startFlight();
    tst_addLive(kHexid, adding2sim, 0);
    tst_addLive(kHexid + 1, adding2sim, 0);
    gf_pushSimEvent(tst_event(kEvLiveCreated, 9, kHexid));
    gf_pushSimEvent(tst_event(kEvLiveCreated, 10, kHexid + 1));
    gf_handleSimEvents();
    ASSERT_EQ(g_waitingEvents.size(), 2u);
    for (int i = 1; i < 100; ++i) gf_handleSimEvents();
    gf_pushSimEvent(tst_event(kEvRemoved, 9, 0));
    gf_handleSimEvents();
    EXPECT_EQ(gf_findLiveByHexid(kHexid), nullptr);
    ASSERT_EQ(g_waitingEvents.size(), 1u);
    EXPECT_EQ(g_waitingEvents[0].objectId, 10u);
    for (int i = 101; i <= 200; ++i) gf_handleSimEvents();
    const LiveAircraft* ac = gf_findLiveByHexid(kHexid + 1);
    ASSERT_NE(ac, nullptr);
    EXPECT_EQ(ac->lifeState, active);
    EXPECT_EQ(ac->objectId, 10u);
    EXPECT_TRUE(g_waitingEvents.empty());
    EXPECT_FALSE(g_simError) << "the light toggles went through";

    // One whose samples are all gone by then cannot be driven: its object goes at once.
    LiveAircraft empty = tst_liveAircraft(kHexid + 3, adding2sim, 0);
    gf_addLiveAircraft(std::move(empty));
    gf_pushSimEvent(tst_event(kEvLiveCreated, 12, kHexid + 3));
    for (int i = 0; i <= 200; ++i) gf_handleSimEvents();
    EXPECT_EQ(gf_findLiveByHexid(kHexid + 3)->lifeState, removingfromsim);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>{12});

    tst_addLive(kHexid + 2, adding2sim, 0);
    gf_pushSimEvent(tst_event(kEvLiveCreated, 11, kHexid + 2));
    gf_handleSimEvents();
    gf_resetSimEvents();
    for (int i = 0; i <= 200; ++i) gf_handleSimEvents();
    EXPECT_EQ(gf_findLiveByHexid(kHexid + 2)->lifeState, adding2sim);
}

}  // namespace
