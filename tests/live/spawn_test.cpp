#include "live/spawn.h"

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "airports/stand.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "live/live_set.h"
#include "live/removal.h"
#include "live/stand_choice.h"
#include "live/tick.h"
#include "sim/sim_state.h"
#include "support/tick_harness.h"

namespace {

using SpawnTest = TickHarness;

constexpr uint32_t kHexid = 0x4B1805;

struct Candidate {
    std::string callsign = "DLH4AB";
    std::string airline = "DLH";
    std::string type = "B738";
    std::string regcode;
    TrackPoint at = tst_pointNear(10);
    bool airborne = true;
    int32_t dueTick = 10000;
};

// A record in buffer with two samples 600 ticks apart, the second a little farther along.
LiveAircraft& tst_candidate(uint32_t hexid, const Candidate& c) {
    LiveAircraft ac;
    ac.hexid = hexid;
    ac.callsign = c.callsign;
    ac.airline = c.airline;
    ac.type = c.type;
    ac.regcode = c.regcode;
    for (int i = 0; i < 2; ++i) {
        PosSample s;
        s.lat = c.at.lat - 0.005 * i;
        s.lon = c.at.lon;
        s.alt = c.at.altFt;
        s.gs = c.at.gsKt;
        s.track = 180;
        s.airborne = c.airborne ? 1 : 0;
        s.dueTick = c.dueTick + 600 * i;
        ac.stream.push_back(s);
    }
    g_liveRecords.push_back(ac);
    return g_liveRecords.back();
}

LiveAircraft& tst_active(uint32_t hexid, double northNm) {
    Candidate c;
    c.callsign = fmt::format("ACT{}", hexid % 1000);
    c.at = tst_pointNear(northNm);
    LiveAircraft& ac = tst_candidate(hexid, c);
    ac.lifeState = active;
    ac.objectId = hexid % 1000;
    ac.lat = c.at.lat;
    ac.lon = c.at.lon;
    return ac;
}

void tst_userAt(double lat, double lon, bool onGround, double headingDeg = 0, double altFt = kHarnessElevFt) {
    g_userPosition.lat = lat;
    g_userPosition.lon = lon;
    g_userPosition.heading = gf_degToRad(headingDeg);
    g_userPosition.altitudeFt = altFt;
    g_userPosition.heightAboveGroundFt = altFt - kHarnessElevFt;
    g_userOnGround = onGround;
}

TEST_F(SpawnTest, LeadTimeIs100TicksInTheAirAnd300WhileTaxiing) {
    struct Row {
        const char* what;
        bool airborne;
        double gsKt;
        int32_t firstTick;
    };
    const Row rows[] = {
        {"airborne", true, 250, 9900}, {"taxiing", false, 12, 9700}, {"standing", false, 0, 9900}};
    tst_userAt(kHarnessLat, kHarnessLon, true);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        g_hexidStack.clear();
        Candidate c;
        c.airborne = r.airborne;
        c.at.gsKt = r.gsKt;
        c.at.altFt = r.airborne ? 12000 : kHarnessElevFt;
        tst_candidate(kHexid, c);
        g_tickCounter = r.firstTick - 1;
        lf_spawnDecision(g_liveRecords[0]);
        EXPECT_EQ(g_liveRecords[0].lifeState, buffer);
        g_tickCounter = r.firstTick;
        lf_spawnDecision(g_liveRecords[0]);
        EXPECT_EQ(g_liveRecords[0].lifeState, adding2sim);
        EXPECT_EQ(g_hexidStack, std::vector<uint32_t>{kHexid});
        EXPECT_EQ(g_liveRecords[0].flightState, r.airborne ? flying : taxi);
    }
}

TEST_F(SpawnTest, SingleSampleIsErasedWhenDueAndMixedStreamsLoseTheirFront) {
    g_tickCounter = 9900;
    tst_candidate(kHexid, {}).stream.pop_back();
    LiveAircraft& mixed = tst_candidate(kHexid + 1, {});
    PosSample ground = mixed.stream.back();
    ground.airborne = 0;
    ground.dueTick += 600;
    mixed.stream.push_back(ground);
    lf_spawnDecision(g_liveRecords[0]);
    EXPECT_EQ(g_liveRecords[0].eraseFlag, 1);
    lf_spawnDecision(g_liveRecords[1]);
    EXPECT_EQ(g_liveRecords[1].stream.size(), 2u);
    EXPECT_EQ(g_liveRecords[1].lifeState, buffer);
    g_tickCounter = 11100;
    lf_spawnDecision(g_liveRecords[1]);
    EXPECT_EQ(g_liveRecords[1].stream.size(), 1u) << "still mixing air and ground";
    lf_spawnDecision(g_liveRecords[1]);
    EXPECT_EQ(g_liveRecords[1].eraseFlag, 1);
}

TEST_F(SpawnTest, CandidateNextToTheUserOnTheGroundWaitsUntilItsSamplesRunOut) {
    tst_userAt(kHarnessLat, kHarnessLon, true);
    Candidate c;
    c.airborne = false;
    c.at = tst_pointNear(100.0 / 1852.0, 0, kHarnessElevFt);
    c.at.gsKt = 0;
    g_tickCounter = 9900;
    LiveAircraft& ac = tst_candidate(kHexid, c);
    ac.stream[1].lat = ac.stream[0].lat;
    lf_spawnDecision(ac);
    EXPECT_EQ(ac.stream.size(), 1u);
    EXPECT_EQ(ac.lifeState, buffer);
    g_tickCounter = 10600;
    lf_spawnDecision(ac);
    EXPECT_EQ(ac.eraseFlag, 1);

    // With the rule off it spawns.
    COLLISION_USER_GND.set(false);
    g_tickCounter = 9900;
    LiveAircraft& again = tst_candidate(kHexid + 1, c);
    lf_spawnDecision(again);
    EXPECT_EQ(again.lifeState, adding2sim);
}

TEST_F(SpawnTest, CandidateAheadOfTheUserInTheAirIsHeldBackUntilItLeavesTheWatch) {
    struct Row {
        const char* what;
        double northNm, eastNm, altFt;
        bool held;
    };
    // The user flies north at 5000 ft.
    const Row rows[] = {
        {"ahead, same level", 5, 0, 5500, true},
        {"ahead, 3000 ft above", 5, 0, 8000, false},
        {"beside, 30000 ft off the track", 5, 5, 5000, false},
        {"beyond 6 nm", 6.5, 0, 5000, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        g_hexidStack.clear();
        tst_userAt(kHarnessLat, kHarnessLon, false, 0, 5000);
        Candidate c;
        c.at = tst_pointNear(r.northNm, r.eastNm, r.altFt);
        g_tickCounter = 9900;
        LiveAircraft& ac = tst_candidate(kHexid, c);
        lf_spawnDecision(ac);
        EXPECT_EQ(ac.heldBack, r.held ? 1 : 0);
        EXPECT_EQ(ac.lifeState, r.held ? buffer : adding2sim);
    }
}

// Our own distances: on the ground 1.1 x (the B738's 17.9 m + the user's 18 m) = 39.5 m; in the
// air 0.1 nm across and 300 ft up or down.
TEST_F(SpawnTest, LiveAircraftTooCloseToTheUserIsRemovedOncePerSecond) {
    struct Row {
        const char* what;
        bool userOnGround, acOnGround;
        double northM, altFt;  // the aircraft from the user (5000 ft in the air)
        bool ruleOn, removed;
    };
    const Row rows[] = {
        {"ground, 39 m", true, true, 39, 0, true, true},
        {"ground, 40 m", true, true, 40, 0, true, false},
        {"ground, rule off", true, true, 10, 0, false, false},
        {"ground user, aircraft flying over", true, false, 10, 500, true, false},
        {"air, 180 m and 300 ft above", false, false, 180, 5300, true, true},
        {"air, 190 m", false, false, 190, 5000, true, false},
        {"air, 301 ft below", false, false, 10, 4699, true, false},
        {"air, rule off", false, false, 10, 5000, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        g_removeDeque.clear();
        COLLISION_USER_GND.set(r.ruleOn);
        COLLISION_USER_AIR.set(r.ruleOn);
        LiveAircraft& ac = tst_active(kHexid, r.northM / 1852);
        ac.onGround = r.acOnGround ? 1 : 0;
        ac.altitude = r.altFt;
        ac.halfWingSpan = 17.9 / 1852;
        gf_removeTooCloseToUser({kHarnessLat, kHarnessLon}, r.userOnGround ? 0 : 5000, r.userOnGround);
        EXPECT_EQ(ac.lifeState, r.removed ? removingfromsim : active);
    }
}

TEST_F(SpawnTest, HeldBackOnTheGroundStaysHeldWhileTheUserMoves) {
    tst_userAt(kHarnessLat, kHarnessLon, true);
    g_userPosition.groundSpeedKt = 15;
    Candidate c;
    c.at = tst_pointNear(3);
    g_tickCounter = 9900;
    LiveAircraft& ac = tst_candidate(kHexid, c);
    ac.heldBack = 1;
    lf_spawnDecision(ac);
    EXPECT_EQ(ac.stream.size(), 1u) << "held: the user taxis";
    ac.stream.push_back(ac.stream.front());
    ac.stream.back().lat -= 0.005;
    g_userPosition.groundSpeedKt = 0;
    g_tickCounter = 10600;
    lf_spawnDecision(ac);
    EXPECT_EQ(ac.lifeState, adding2sim);
    EXPECT_EQ(ac.heldBack, 0) << "cleared by the spawn";
}

TEST_F(SpawnTest, LiveLimitCountsCreatesUnderWayAndMakesRoomFromTheFarthest) {
    MAX_LIVE_SEL.set(10);
    tst_userAt(kHarnessLat, kHarnessLon, true);
    for (uint32_t i = 0; i < 8; ++i) tst_active(0x500000 + i, 2.0 + i);  // 2 .. 9 nm
    // Two creates under way, neither waiting in a queue any more: they count all the same.
    for (uint32_t i = 0; i < 2; ++i) tst_candidate(0x600000 + i, {}).lifeState = adding2sim;
    g_tickCounter = 9900;

    Candidate far;
    far.at = tst_pointNear(9.05);
    LiveAircraft& noRoom = tst_candidate(kHexid, far);
    lf_spawnDecision(noRoom);
    EXPECT_EQ(noRoom.eraseFlag, 1) << "no active aircraft is more than 0.1 nm farther";
    EXPECT_EQ(gf_countActiveLive(), 8);

    Candidate near;
    near.callsign = "DLH77";
    near.at = tst_pointNear(4.0);
    LiveAircraft& room = tst_candidate(kHexid + 1, near);
    lf_spawnDecision(room);
    EXPECT_EQ(room.lifeState, adding2sim);
    EXPECT_EQ(gf_findLiveByHexid(0x500007)->lifeState, removingfromsim) << "the farthest, at 9 nm, gives way";
    EXPECT_EQ(gf_countLiveInSim(), 10);
}

TEST_F(SpawnTest, CandidateErasedForWhatItIsMakesNoRoom) {
    MAX_LIVE_SEL.set(2);
    BLOCK_CALLSIGN.set("BLK1");
    tst_userAt(kHarnessLat, kHarnessLon, true);
    tst_active(0x500000, 8);
    tst_active(0x500001, 9);
    g_unmatchedAircraft.insert("DLH  B744 D-XYZ");
    struct Row {
        const char* what;
        Candidate c;
    };
    Candidate blocked, unreal, unmatched;
    blocked.callsign = "BLK1";
    unreal.callsign = "TOOLONGCS";
    unmatched.type = "B744";
    unmatched.regcode = "D-XYZ";
    const Row rows[] = {{"blocked", blocked}, {"unreal callsign", unreal}, {"known unmatched", unmatched}};
    g_tickCounter = 9900;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        LiveAircraft& ac = tst_candidate(kHexid, r.c);
        lf_spawnDecision(ac);
        EXPECT_EQ(ac.eraseFlag, 1);
        EXPECT_EQ(gf_countActiveLive(), 2);
        EXPECT_TRUE(g_removeDeque.empty());
        g_liveRecords.pop_back();
    }
}

TEST_F(SpawnTest, IdentityFromTheCallsignAndTheRegistration) {
    struct Row {
        const char* what;
        Candidate c;
        bool spawned;
        const char* callsign;
        const char* airline;
        const char* title;
    };
    Candidate pvt, noReg, withReg;
    pvt.callsign = "N172SP";
    pvt.airline = "";
    pvt.type = "C172";
    noReg.callsign = "@@@@@@@@";
    noReg.regcode = "D-NONE";
    withReg.callsign = "@@@@@@@@";
    withReg.airline = "";
    withReg.type = "A320";
    withReg.regcode = "D-ABCD";
    const Row rows[] = {
        {"no airline anywhere", pvt, true, "N172SP", "PVT", kTitlePvt172},
        {"no callsign, unknown registration", noReg, false, "@@@@@@@@", "DLH", ""},
        {"no callsign, known registration", withReg, true, "D-ABCD", "DLH", kTitleDlh738},
    };
    tst_userAt(kHarnessLat, kHarnessLon, true);
    g_tickCounter = 9900;
    uint32_t hexid = kHexid;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        LiveAircraft& ac = tst_candidate(++hexid, r.c);
        lf_spawnDecision(ac);
        EXPECT_EQ(ac.lifeState, r.spawned ? adding2sim : buffer);
        EXPECT_EQ(ac.eraseFlag, r.spawned ? 0 : 1);
        EXPECT_EQ(ac.callsign, r.callsign);
        EXPECT_EQ(ac.airline, r.airline);
        EXPECT_EQ(ac.liveryTitle, r.title);
    }
}

TEST_F(SpawnTest, NoLiveryErasesAndRemembersTheAircraftAsUnmatched) {
    tst_userAt(kHarnessLat, kHarnessLon, true);
    MATCHING_DEPTH.set(1);
    Candidate c;
    c.airline = "XYZ";
    c.type = "B744";
    c.regcode = "N744X";
    g_tickCounter = 9900;
    LiveAircraft& ac = tst_candidate(kHexid, c);
    lf_spawnDecision(ac);
    EXPECT_EQ(ac.eraseFlag, 1);
    EXPECT_TRUE(g_unmatchedAircraft.contains("XYZ B744 N744X"));
}

TEST_F(SpawnTest, RememberedTitleIsKeptUnlessTheSimulatorRefusedIt) {
    lf_rememberLivery(kHexid, kTitleBaw320);
    EXPECT_EQ(lf_liveryOfHexid(kHexid), kTitleBaw320);
    g_refusedTitles.push_back(kTitleBaw320);
    EXPECT_EQ(lf_liveryOfHexid(kHexid), "");
    EXPECT_FALSE(g_titleByHexid.contains(kHexid));
}

TEST_F(SpawnTest, PositionBlockFromTheFrontSample) {
    struct Row {
        double vrateFpm;
        double pitchDeg;
    };
    const Row rows[] = {{0, -3}, {1200, -7.4}, {6000, -11.8}, {-1200, -0.8}, {-9000, 2.5}};
    tst_userAt(kHarnessLat, kHarnessLon, true);
    g_tickCounter = 9900;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.vrateFpm);
        g_liveRecords.clear();
        LiveAircraft& ac = tst_candidate(kHexid, {});
        ac.stream[0].vrate = r.vrateFpm;
        ac.stream[0].roll = 0.1;
        lf_spawnDecision(ac);
        ASSERT_EQ(ac.lifeState, adding2sim);
        EXPECT_NEAR(ac.pitch, gf_degToRad(r.pitchDeg), 1e-12);
        EXPECT_EQ(ac.bank, 0.1);
        EXPECT_NEAR(ac.heading, kPi, 1e-9) << "towards the second sample, due south";
        EXPECT_EQ(ac.dHeading, 0);
    }
}

TEST_F(SpawnTest, EmptyCallsignAtCreateTimeRemovesTheAircraft) {
    startFlight();
    tst_userAt(kHarnessLat, kHarnessLon, true);
    g_tickCounter = 9900;
    LiveAircraft& ac = tst_candidate(kHexid, {});
    lf_spawnDecision(ac);
    ASSERT_EQ(ac.lifeState, adding2sim);
    ac.callsign.clear();
    newLog();
    tick();
    EXPECT_EQ(newLog(), "lf_handleAddingStack                    DLH B738 objectid = 0?\n");
    EXPECT_TRUE(g_hexidStack.empty());
    EXPECT_TRUE(g_createDeque.empty());
    tick();
    EXPECT_TRUE(g_liveRecords.empty());
}

}  // namespace

namespace {

// An aircraft that appears standing on the ground at the park airport starts parked on the
// free stand under it; without a park airport it taxis from where it is.
TEST_F(SpawnTest, GroundSpawnAtTheParkAirportTakesTheStandUnderIt) {
    struct Row {
        const char* name;
        bool parkSiteSet;
        uint32_t flightState;
    };
    const Row rows[] = {{"park airport set", true, parked},
                        {"no park airport", false, taxi},
                        {"refused by the stand check", true, birth}};
    tst_userAt(kHarnessLat + 0.05, kHarnessLon, true);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        g_liveRecords.clear();
        g_stands.clear();
        g_hexidStack.clear();
        const LatLon standPos = gf_destinationPoint({kHarnessLat, kHarnessLon}, 0, 3000);
        g_stands.emplace_back("V101", std::vector<StandOption>{}, standPos.lat, standPos.lon, gf_degToRad(250),
                              30.0, false, false, false);
        gf_numberStands();
        gf_setParkSite(row.parkSiteSet ? ParkSite{"EDDF", {kHarnessLat, kHarnessLon}, "", false, 0} : ParkSite{});
        Candidate c;
        c.airborne = false;
        c.at = {standPos.lat + 0.00005, standPos.lon, kHarnessElevFt, 0, 90, 0};  // about 5 m off the stand
        if (row.flightState == birth) {  // a parked B738 with its feed on the stand
            LiveAircraft& occupant = tst_candidate(kHexid + 1, c);
            occupant.callsign = "EZY9";
            occupant.lifeState = active;
            occupant.flightState = parked;
            occupant.standId = 1;
            occupant.standSampleSeen = 1;
        }
        LiveAircraft& ac = tst_candidate(kHexid, c);
        ac.stream[1].lat = ac.stream[0].lat;  // standing still
        gf_setLogCapture(true);
        const size_t logSeen = gf_capturedLog().size();
        spawnLiveAc(ac);
        EXPECT_EQ(ac.flightState, row.flightState);
        if (row.flightState == birth) {
            EXPECT_EQ(ac.eraseFlag, 1);
            EXPECT_EQ(ac.lifeState, buffer);
            EXPECT_TRUE(g_hexidStack.empty());
            EXPECT_EQ(gf_capturedLog().find("birth ->", logSeen), std::string::npos);
            continue;
        }
        ASSERT_EQ(ac.lifeState, adding2sim);
        if (!row.parkSiteSet) {
            EXPECT_EQ(ac.standId, 0u);
            EXPECT_FALSE(g_stands[0].occupied);
            continue;
        }
        EXPECT_EQ(ac.standId, 1u);
        EXPECT_TRUE(g_stands[0].occupied);
        ASSERT_EQ(ac.stream.size(), 1u);
        EXPECT_EQ(ac.stream[0].lat, standPos.lat);
        EXPECT_EQ(ac.stream[0].lon, standPos.lon);
        EXPECT_NEAR(ac.heading, gf_degToRad(250), 1e-12);
        EXPECT_EQ(ac.lat, standPos.lat);
    }
}

}  // namespace
