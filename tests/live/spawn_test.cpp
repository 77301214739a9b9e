#include "live/spawn.h"

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "airports/stand.h"
#include "core/params.h"
#include "live/live_set.h"
#include "live/removal.h"
#include "live/stand_choice.h"
#include "sim/sim_state.h"
#include "support/tick_harness.h"

namespace {

using SpawnTest = TickHarness;

constexpr uint32_t kHexid = 0x4B1805;

struct Candidate {
    std::string callsign = "DLH4AB", airline = "DLH", type = "B738", regcode;
    TrackPoint at = tst_pointNear(10);
    bool airborne = true;
};

// A record in buffer with two samples due at 10000 and 10600, the second 0.3 nm south of the
// first; the tick is 9900 (the spawn is due). The user stands at the airport heading north.
LiveAircraft& tst_candidate(uint32_t hexid, const Candidate& c) {
    g_tickCounter = 9900;
    LiveAircraft ac;
    ac.hexid = hexid;
    ac.callsign = c.callsign;
    ac.airline = c.airline;
    ac.type = c.type;
    ac.regcode = c.regcode;
    for (int i = 0; i < 2; ++i)
        ac.stream.push_back({.lat = c.at.lat - 0.005 * i, .lon = c.at.lon, .alt = c.at.altFt, .gs = c.at.gsKt,
                             .track = 180, .dueTick = 10000 + 600 * i, .airborne = uint8_t(c.airborne)});
    return gf_addLiveAircraft(std::move(ac));
}

void tst_userAt(bool onGround, double altFt = kHarnessElevFt, double gsKt = 0) {
    g_userPosition = {};
    g_userPosition.lat = kHarnessLat;
    g_userPosition.lon = kHarnessLon;
    g_userPosition.altitudeFt = altFt;
    g_userPosition.heightAboveGroundFt = altFt - kHarnessElevFt;
    g_userPosition.groundSpeedKt = gsKt;
    g_userOnGround = onGround;
}

TEST_F(SpawnTest, CandidateNearTheUserIsHeldBackAndLosesItsFrontSample) {
    const double kOffTrackNm = 1 / kFeetPerNmRounded;  // a foot beside the user's heading
    struct Row {
        const char* what;
        bool userOnGround;
        double userAltFt, userGsKt;
        bool heldBefore;
        Candidate c;
        bool held;
    };
    const auto at = [](double north, double east, double alt, bool air = true, double gs = 250) {
        Candidate c;
        c.at = tst_pointNear(north, east, alt);
        c.at.gsKt = gs;
        c.airborne = air;
        return c;
    };
    const double low = kHarnessElevFt + 900, ground = kHarnessElevFt;
    const Row rows[] = {
        {"in the air ahead at the same level", false, 5000, 250, false, at(5, 0, 5500), true},
        {"in the air ahead, 3000 ft above", false, 5000, 250, false, at(5, 0, 8000), false},
        {"in the air beside, 30000 ft off the track", false, 5000, 250, false, at(5, 5, 5000), false},
        {"in the air ahead beyond 6 nm", false, 5000, 250, false, at(6.5, 0, 5000), false},
        {"on the ground 499 ft off the low user's track", false, low, 150, false, at(0, 499 * kOffTrackNm, ground, false, 0), true},
        {"on the ground 500.6 ft off it", false, low, 150, false, at(0, 500.6 * kOffTrackNm, ground, false, 0), false},
        {"on the ground under a user 1000 ft up", false, ground + 1000, 150, false, at(0, 0.05, ground, false, 0), false},
        {"standing 100 m from the user on the ground", true, ground, 0, false, at(100 / 1852.0, 0, ground, false, 0), true},
        {"held before while the user taxis", true, ground, 15, true, at(3, 0, 12000), true},
        {"held before, the user stopped", true, ground, 0, true, at(3, 0, 12000), false},
        {"held before, taxiing on the ground", true, ground, 0, true, at(3, 0, ground, false, 12), true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        g_hexidStack.clear();
        tst_userAt(r.userOnGround, r.userAltFt, r.userGsKt);
        LiveAircraft& ac = tst_candidate(kHexid, r.c);
        ac.heldBack = r.heldBefore;
        lf_spawnDecision(ac);
        EXPECT_EQ(ac.lifeState, r.held ? buffer : adding2sim);
        EXPECT_EQ(ac.stream.size(), r.held ? 1u : 2u);
        EXPECT_EQ(ac.heldBack, r.held && (r.heldBefore || !r.userOnGround) ? 1 : 0);
    }
}

// Our own distances: on the ground 1.1 x (the B738's 17.9 m + the user's 18 m) = 39.5 m; in the
// air 0.1 nm across and 300 ft up or down.
TEST_F(SpawnTest, LiveAircraftTooCloseToTheUserIsRemoved) {
    struct Row {
        const char* what;
        bool userOnGround, acOnGround;
        double northM, altFt;  // of the aircraft; the user flies at 5000 ft
        bool ruleOn, removed;
    };
    const Row rows[] = {
        {"ground, 39 m", true, true, 39, 0, true, true},           {"ground, 40 m", true, true, 40, 0, true, false},
        {"ground, rule off", true, true, 10, 0, false, false},     {"ground user, one flying over", true, false, 10, 500, true, false},
        {"air, 180 m, 300 ft above", false, false, 180, 5300, true, true}, {"air, 190 m", false, false, 190, 5000, true, false},
        {"air, 301 ft below", false, false, 10, 4699, true, false}, {"air, rule off", false, false, 10, 5000, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        COLLISION_USER_GND.set(r.ruleOn);
        COLLISION_USER_AIR.set(r.ruleOn);
        Candidate c;
        c.at = tst_pointNear(r.northM / 1852);
        LiveAircraft& ac = tst_candidate(kHexid, c);
        ac.lifeState = active;
        ac.objectId = 5;
        ac.lat = c.at.lat;
        ac.lon = c.at.lon;
        ac.onGround = r.acOnGround;
        ac.altitude = r.altFt;
        ac.halfWingSpan = 17.9 / 1852;
        gf_removeTooCloseToUser({kHarnessLat, kHarnessLon}, r.userOnGround ? 0 : 5000, r.userOnGround);
        EXPECT_EQ(ac.lifeState, r.removed ? removingfromsim : active);
    }
}

TEST_F(SpawnTest, IdentityDecidesTheLiveryOrTheErasure) {
    struct Row {
        const char* what;
        Candidate c;
        int depth;
        const char* callsign;  // after the decision; nullptr: erased
        const char* airline;
        const char* title;
    };
    const auto cand = [](const char* cs, const char* airline, const char* type, const char* reg) {
        Candidate c;
        c.callsign = cs, c.airline = airline, c.type = type, c.regcode = reg;
        return c;
    };
    BLOCK_CALLSIGN.set("BLK1");
    g_unmatchedAircraft.insert("DLH B744 D-XYZ");
    const Row rows[] = {
        {"no airline anywhere", cand("N172SP", "", "C172", ""), 4, "N172SP", "PVT", kTitlePvt172},
        {"no callsign, known registration", cand("@@@@@@@@", "", "A320", "D-ABCD"), 4, "D-ABCD", "DLH", kTitleDlh738},
        {"no callsign, unknown registration", cand("@@@@@@@@", "DLH", "B738", "D-NONE"), 4, nullptr, "DLH", ""},
        {"blocked", cand("BLK1", "DLH", "B738", ""), 4, nullptr, "DLH", ""},
        {"callsign too long", cand("TOOLONGCS", "DLH", "B738", ""), 4, nullptr, "DLH", ""},
        {"known unmatched", cand("DLH4AB", "DLH", "B744", "D-XYZ"), 4, nullptr, "DLH", ""},
        {"no livery: remembered", cand("XYZ1", "XYZ", "B744", "N744X"), 1, nullptr, "XYZ", ""},
    };
    tst_userAt(true);
    uint32_t hexid = kHexid;  // one each: a title is remembered by hexid
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        MATCHING_DEPTH.set(r.depth);
        LiveAircraft& ac = tst_candidate(++hexid, r.c);
        lf_spawnDecision(ac);
        EXPECT_EQ(ac.lifeState, r.callsign ? adding2sim : buffer);
        EXPECT_EQ(ac.eraseFlag, r.callsign ? 0 : 1);
        if (r.callsign) EXPECT_EQ(ac.callsign, r.callsign);
        EXPECT_EQ(ac.airline, r.airline);
        EXPECT_EQ(ac.liveryTitle, r.title);
    }
    EXPECT_TRUE(g_unmatchedAircraft.contains("XYZ B744 N744X"));
    EXPECT_TRUE(g_removeDeque.empty());
}

TEST_F(SpawnTest, LiveLimitCountsCreatesUnderWayAndMakesRoomFromTheFarthest) {
    MAX_LIVE_SEL.set(10);
    tst_userAt(true);
    for (uint32_t i = 0; i < 10; ++i) {  // active at 2 .. 9 nm, two creates under way
        Candidate c;
        c.callsign = fmt::format("ACT{}", i);
        c.at = tst_pointNear(2.0 + i);
        LiveAircraft& ac = tst_candidate(0x500000 + i, c);
        ac.lifeState = i < 8 ? active : adding2sim;
        ac.objectId = i < 8 ? 10 + i : 0;
        ac.lat = c.at.lat;
        ac.lon = c.at.lon;
    }
    Candidate far, near;
    far.at = tst_pointNear(9.05);
    LiveAircraft& noRoom = tst_candidate(kHexid, far);
    lf_spawnDecision(noRoom);
    EXPECT_EQ(noRoom.eraseFlag, 1) << "no active aircraft is more than 0.1 nm farther";
    near.at = tst_pointNear(4.0);
    LiveAircraft& room = tst_candidate(kHexid + 1, near);
    lf_spawnDecision(room);
    EXPECT_EQ(room.lifeState, adding2sim);
    EXPECT_EQ(gf_findLiveByHexid(0x500007)->lifeState, removingfromsim) << "the farthest, at 9 nm, gives way";
    EXPECT_EQ(gf_countLiveInSim(), 10);
}

// Nose up in a climb, less so in a descent: the rate is limited to 2400 ft/min up and 3000 down.
TEST_F(SpawnTest, PositionBlockFromTheFrontSample) {
    const double rows[][2] = {{0, -3}, {1200, -7.4}, {6000, -11.8}, {-1200, -0.8}, {-9000, 2.5}};
    tst_userAt(true);
    for (const auto& [vrateFpm, pitchDeg] : rows) {
        SCOPED_TRACE(vrateFpm);
        g_liveRecords.clear();
        LiveAircraft& ac = tst_candidate(kHexid, {});
        ac.stream[0].vrate = vrateFpm;
        ac.stream[0].roll = 0.1;
        spawnLiveAc(ac);
        EXPECT_NEAR(ac.pitch, gf_degToRad(pitchDeg), 1e-12);
        EXPECT_EQ(ac.bank, 0.1);
        EXPECT_NEAR(ac.heading, kPi, 1e-9) << "towards the second sample, due south";
    }
}

// An aircraft that appears standing on the ground at the park airport starts parked on the
// free stand under it; without a park airport it taxis from where it is.
TEST_F(SpawnTest, GroundSpawnAtTheParkAirportTakesTheStandUnderIt) {
    const LatLon stand = gf_destinationPoint({kHarnessLat, kHarnessLon}, 0, 3000);
    tst_userAt(true);
    for (const bool parkSite : {true, false}) {
        SCOPED_TRACE(parkSite);
        g_liveRecords.clear();
        g_stands.clear();
        g_stands.emplace_back("V101", std::vector<StandOption>{}, stand.lat, stand.lon, gf_degToRad(250), 30.0,
                              false, false, false);
        gf_numberStands();
        gf_setParkSite(parkSite ? ParkSite{"EDDF", {kHarnessLat, kHarnessLon}, "", false, 0} : ParkSite{});
        Candidate c;
        c.airborne = false;
        c.at = {stand.lat + 0.00005, stand.lon, kHarnessElevFt, 0, 90, 0};  // about 5 m off the stand
        LiveAircraft& ac = tst_candidate(kHexid, c);
        ac.stream[1].lat = ac.stream[0].lat;  // standing still
        spawnLiveAc(ac);
        ASSERT_EQ(ac.lifeState, adding2sim);
        EXPECT_EQ(ac.flightState, parkSite ? parked : taxi);
        EXPECT_EQ(ac.standId, parkSite ? 1u : 0u);
        EXPECT_EQ(g_stands[0].occupied, parkSite);
        ASSERT_EQ(ac.stream.size(), parkSite ? 1u : 2u);
        EXPECT_EQ(ac.lat, parkSite ? stand.lat : c.at.lat);
        if (parkSite) EXPECT_NEAR(ac.heading, gf_degToRad(250), 1e-12);
    }
}

}  // namespace
