#include "live/spawn.h"

#include <fmt/format.h>

#include "core/params.h"
#include "core/slots.h"
#include "live/live_set.h"
#include "live/parking_slots.h"
#include "live/removal.h"
#include "live/respawn.h"
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

Candidate tst_at(double north, double east, double altFt, bool airborne = true, double gsKt = 250) {
    TrackPoint at = tst_pointNear(north, east, altFt);
    at.gsKt = gsKt;
    return {.at = at, .airborne = airborne};
}

// A record in buffer at tick 9900, its samples due at 10000 and 10600, the second 0.3 nm south.
LiveAircraft& tst_candidate(uint32_t hexid, const Candidate& c) {
    g_tickCounter = 9900;
    LiveAircraft ac;
    ac.hexid = hexid;
    ac.callsign = c.callsign, ac.airline = c.airline, ac.type = c.type, ac.regcode = c.regcode;
    for (int i = 0; i < 2; ++i)
        ac.stream.push_back({.lat = c.at.lat - 0.005 * i,
                             .lon = c.at.lon,
                             .alt = c.at.altFt,
                             .gs = c.at.gsKt,
                             .track = 180,
                             .dueTick = 10000 + 600 * i,
                             .airborne = uint8_t(c.airborne)});
    return gf_addLiveAircraft(std::move(ac));
}

void tst_userAt(bool onGround, double altFt = kHarnessElevFt, double gsKt = 0) {
    g_userPosition = {.lat = kHarnessLat,
                      .lon = kHarnessLon,
                      .altitudeFt = altFt,
                      .heightAboveGroundFt = altFt - kHarnessElevFt,
                      .groundSpeedKt = gsKt};
    g_userOnGround = onGround;
}

TEST_F(SpawnTest, CandidateNearTheUserIsHeldBackAndLosesItsFrontSample) {
    const double ft = 1 / kFeetPerNmRounded, low = kHarnessElevFt + 900, gnd = kHarnessElevFt;
    const struct Row {
        const char* what;
        bool userOnGround;
        double userAltFt, userGsKt;
        bool heldBefore;
        Candidate c;
        bool held;
        bool groundRule = true;  // COLLISION_USER_GND
    } rows[] = {
        {"in the air ahead at the same level", false, 5000, 250, false, tst_at(5, 0, 5500), true},
        {"in the air ahead, 3000 ft above", false, 5000, 250, false, tst_at(5, 0, 8000), false},
        {"in the air beside, 30000 ft off the track", false, 5000, 250, false, tst_at(5, 5, 5000), false},
        {"in the air ahead beyond 6 nm", false, 5000, 250, false, tst_at(6.5, 0, 5000), false},
        {"on the ground 499 ft off the low user's track", false, low, 150, false,
         tst_at(0, 499 * ft, gnd, false, 0), true},
        {"on the ground 500.6 ft off it", false, low, 150, false, tst_at(0, 500.6 * ft, gnd, false, 0),
         false},
        {"on the ground under a user 1000 ft up", false, gnd + 1000, 150, false,
         tst_at(0, 0.05, gnd, false, 0), false},
        {"100 m from the user on the ground", true, gnd, 0, false, tst_at(100 / 1852.0, 0, gnd, false, 0),
         true},
        {"160 m from the user on the ground", true, gnd, 0, false, tst_at(160 / 1852.0, 0, gnd, false, 0),
         false},
        {"100 m from the user on the ground, the rule off", true, gnd, 0, false,
         tst_at(100 / 1852.0, 0, gnd, false, 0), false, false},
        {"100 m from the user on the ground, flying over", true, gnd, 0, false,
         tst_at(100 / 1852.0, 0, gnd + 1500), false},
        {"held before, the user taxis", true, gnd, 15, true, tst_at(3, 0, 12000), true},
        {"held before, the user stopped", true, gnd, 0, true, tst_at(3, 0, 12000), false},
        {"held before, itself taxiing", true, gnd, 0, true, tst_at(3, 0, gnd, false, 12), true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        tst_userAt(r.userOnGround, r.userAltFt, r.userGsKt);
        COLLISION_USER_GND.set(r.groundRule);
        LiveAircraft& ac = tst_candidate(kHexid, r.c);
        ac.heldBack = r.heldBefore;
        lf_spawnDecision(ac);
        EXPECT_EQ(std::make_tuple(ac.lifeState, ac.stream.size(), ac.heldBack),
                  std::make_tuple(r.held ? buffer : adding2sim, r.held ? 1u : 2u,
                                  uint8_t(r.held && (r.heldBefore || !r.userOnGround))));
    }
}

TEST_F(SpawnTest, IdentityDecidesTheLiveryOrTheErasure) {
    const auto cand = [](const char* cs, const char* airline, const char* type, const char* reg) {
        return Candidate{cs, airline, type, reg};
    };
    const struct Row {
        const char* what;
        Candidate c;
        int depth;
        const char *callsign, *airline, *title;  // callsign nullptr: erased
    } rows[] = {
        {"no airline anywhere", cand("N172SP", "", "C172", ""), 4, "N172SP", "PVT", kTitlePvt172},
        {"no callsign, known registration", cand("@@@@@@@@", "", "A320", "D-ABCD"), 4, "D-ABCD", "DLH",
         kTitleDlh738},
        {"no callsign, unknown registration", cand("@@@@@@@@", "DLH", "B738", "D-NONE"), 4, nullptr, "DLH",
         ""},
        {"blocked", cand("BLK1", "DLH", "B738", ""), 4, nullptr, "DLH", ""},
        {"callsign too long", cand("TOOLONGCS", "DLH", "B738", ""), 4, nullptr, "DLH", ""},
        {"known unmatched", cand("DLH4AB", "DLH", "B744", "D-XYZ"), 4, nullptr, "DLH", ""},
        {"no livery: remembered", cand("XYZ1", "XYZ", "B744", "N744X"), 1, nullptr, "XYZ", ""},
    };
    BLOCK_CALLSIGN.set("BLK1");
    g_unmatchedAircraft.insert("DLH B744 D-XYZ");
    tst_userAt(true);
    uint32_t hexid = kHexid;  // one each: a title is remembered by hexid
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        MATCHING_DEPTH.set(r.depth);
        LiveAircraft& ac = tst_candidate(++hexid, r.c);
        lf_spawnDecision(ac);
        EXPECT_EQ(std::make_tuple(ac.lifeState, ac.eraseFlag, ac.airline, ac.liveryTitle),
                  std::make_tuple(r.callsign ? adding2sim : buffer, uint8_t(!r.callsign),
                                  std::string(r.airline), std::string_view(r.title)));
        if (r.callsign) EXPECT_EQ(ac.callsign, r.callsign);
        EXPECT_EQ(ac.isCargo, 0) << "no cargo registration";
    }
    EXPECT_TRUE(g_unmatchedAircraft.contains("XYZ B744 N744X"));
}

// A spawning aircraft takes the simulator's copy of its callsign with the ghost mark out; a
// candidate with the mark whose unmarked twin is in the simulator is its ghost and is erased.
TEST_F(SpawnTest, GhostOfACallsignGoesOrIsNeverSpawned) {
    const struct Row {
        const char *candidate, *inSim;
        uint32_t candidateAfter, inSimAfter;
        uint8_t erased;
    } rows[] = {{"DLH7CD", "DLH7CD_", adding2sim, removingfromsim, 0},
                {"DLH7CD_", "DLH7CD", buffer, active, 1},
                {"DLH7CD", "DLH7CE_", adding2sim, active, 0}};
    tst_userAt(true);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.candidate);
        g_liveRecords.clear();
        g_callsignList.clear();
        LiveAircraft twin;
        twin.hexid = kHexid + 50, twin.callsign = r.inSim, twin.airline = "DLH", twin.type = "B738";
        twin.lifeState = active, twin.objectId = 40, twin.flightState = flying;
        gf_addLiveAircraft(std::move(twin));
        Candidate c;
        c.callsign = r.candidate;
        lf_spawnDecision(tst_candidate(kHexid, c));
        const LiveAircraft* cand = gf_findLiveByHexid(kHexid);
        ASSERT_NE(cand, nullptr);
        EXPECT_EQ(
            std::make_tuple(cand->lifeState, cand->eraseFlag, gf_findLiveByHexid(kHexid + 50)->lifeState),
            std::make_tuple(r.candidateAfter, r.erased, r.inSimAfter));
    }
    g_liveRecords.clear();
    g_hexidStack.clear();
}

// The live limit counts every aircraft in the simulator or on its way there; a farther active
// one makes room, but only for a candidate the identity checks let through.
TEST_F(SpawnTest, LiveLimitCountsAircraftOnTheirWayAndMakesRoomForGoodCandidatesOnly) {
    const struct Row {
        const char* what;
        uint32_t first, second;  // life states of the two aircraft there; an active one is 30 nm out
        const char* callsign;
        uint32_t candidate, firstAfter;
    } rows[] = {
        {"one created, one respawning", adding2sim, liveryrespawn, "DLH4AB", buffer, adding2sim},
        {"one respawning, one created", liveryrespawn, adding2sim, "DLH4AB", buffer, liveryrespawn},
        {"removed and buffered ones do not count", removingfromsim, buffer, "DLH4AB", adding2sim,
         removingfromsim},
        {"a farther active one makes room", active, adding2sim, "DLH4AB", adding2sim, removingfromsim},
        {"not for a blocked callsign", active, adding2sim, "BLK1", buffer, active},
        {"not for an unreal callsign", active, adding2sim, "TOOLONGCS", buffer, active},
    };
    BLOCK_CALLSIGN.set("BLK1");
    MAX_LIVE_SEL.set(2);
    tst_userAt(true);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        uint32_t hexid = kHexid;
        for (const uint32_t state : {r.first, r.second}) {
            LiveAircraft other;
            other.hexid = ++hexid, other.callsign = "SWR" + std::to_string(hexid % 100), other.type = "B738";
            other.lifeState = state, other.objectId = hexid % 100;
            other.lat = kHarnessLat + 0.5, other.lon = kHarnessLon;
            gf_addLiveAircraft(std::move(other));
        }
        LiveAircraft& ac = tst_candidate(kHexid, Candidate{.callsign = r.callsign});
        lf_spawnDecision(ac);
        EXPECT_EQ(std::make_tuple(ac.lifeState, g_liveRecords[0].lifeState),
                  std::make_tuple(r.candidate, r.firstAfter));
    }
}

// Standing at the park airport it starts parked on the stand under it; elsewhere it taxis.
TEST_F(SpawnTest, GroundSpawnAtTheParkAirportTakesTheStandUnderIt) {
    const LatLon stand = gf_destinationPoint({kHarnessLat, kHarnessLon}, 0, 3000);
    tst_userAt(true);
    for (const bool parkSite : {true, false}) {
        SCOPED_TRACE(parkSite);
        g_liveRecords.clear();
        g_stands.clear();
        g_stands.emplace_back("V101", std::vector<StandOption>{}, stand.lat, stand.lon, gf_degToRad(250),
                              30.0, false, false, false);
        gf_numberStands();
        gf_setParkSite(parkSite ? ParkSite{"EDDF", {kHarnessLat, kHarnessLon}, "", false, 0} : ParkSite{});
        const Candidate c{.at = {stand.lat + 0.00005, stand.lon, kHarnessElevFt, 0, 90},
                          .airborne = false};  // 5 m off
        LiveAircraft& ac = tst_candidate(kHexid, c);
        ac.stream[1].lat = ac.stream[0].lat;  // standing still
        spawnLiveAc(ac);
        EXPECT_EQ(
            std::make_tuple(ac.lifeState, ac.flightState, ac.standId, g_stands[0].occupied, ac.stream.size()),
            std::make_tuple(uint32_t{adding2sim}, parkSite ? uint32_t{parked} : uint32_t{taxi},
                            parkSite ? 1u : 0u, parkSite, parkSite ? size_t{1} : size_t{2}));
        EXPECT_EQ(ac.lat, parkSite ? stand.lat : c.at.lat);
        if (parkSite) EXPECT_NEAR(ac.heading, gf_degToRad(250), 1e-12);
    }
    // A neighbour parked too close refuses the stand: the candidate is erased and goes no further.
    g_liveRecords.clear();
    g_stands.clear();
    const LatLon next = gf_destinationPoint(stand, gf_degToRad(90), 65);  // 20 m east
    g_stands.emplace_back("V101", std::vector<StandOption>{}, stand.lat, stand.lon, gf_degToRad(250), 30.0,
                          false, false, false);
    g_stands.emplace_back("V102", std::vector<StandOption>{}, next.lat, next.lon, gf_degToRad(250), 30.0,
                          false, false, false);
    gf_numberStands();
    gf_setParkSite(ParkSite{"EDDF", {kHarnessLat, kHarnessLon}, "", false, 0});
    LiveAircraft neighbour;
    neighbour.hexid = kHexid + 1, neighbour.callsign = "SWR9", neighbour.type = "B738";
    neighbour.lifeState = active, neighbour.flightState = parked, neighbour.standId = 2;
    gf_addLiveAircraft(std::move(neighbour));
    const Candidate c{.at = {stand.lat + 0.00005, stand.lon, kHarnessElevFt, 0, 90}, .airborne = false};
    LiveAircraft& ac = tst_candidate(kHexid, c);
    ac.stream[1].lat = ac.stream[0].lat;
    ASSERT_EQ(g_stands[0].neighbours, std::vector<uint32_t>{2});
    spawnLiveAc(ac);
    EXPECT_EQ(std::make_tuple(ac.eraseFlag, ac.lifeState, ac.flightState),
              std::make_tuple(uint8_t{1}, uint32_t{buffer}, uint32_t{birth}));
}

// Our own distances: on the ground 1.1 x (the B738's 17.9 m + the user's 18 m) = 39.5 m; in the
// air 0.1 nm across and 300 ft up or down.
TEST_F(SpawnTest, LiveAircraftTooCloseToTheUserIsRemoved) {
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
        COLLISION_USER_GND.set(r.ruleOn);
        COLLISION_USER_AIR.set(r.ruleOn);
        LiveAircraft& ac = tst_candidate(kHexid, {.at = tst_pointNear(r.northM / 1852)});
        ac.lifeState = active;
        ac.lat = ac.stream[0].lat, ac.lon = ac.stream[0].lon;
        ac.onGround = r.acOnGround ? 1 : 0;
        ac.altitude = r.altFt;
        ac.halfWingSpan = 17.9 / 1852;
        gf_removeTooCloseToUser({kHarnessLat, kHarnessLon}, r.userOnGround ? 0 : 5000, r.userOnGround);
        EXPECT_EQ(ac.lifeState, r.removed ? removingfromsim : active);
    }
}

// A spawned aircraft starts where and how its first report has it: nose up by its climb (at most
// 2400 ft/min counted), less so by half its descent (at most 3000 ft/min), 0.6 degrees nose down
// on the ground; the bank the report gives; the heading along its first leg, or its track when
// the next sample stands; on the ground it steers toward that heading at once.
TEST_F(SpawnTest, ASpawnedAircraftStartsWithTheAttitudeOfItsReport) {
    const struct Row {
        bool airborne;
        double vrateFpm;
        bool secondStands;
        double pitchDeg, headingDeg;
    } rows[] = {{true, 0, false, -3, 180},       {true, 600, false, -5.2, 180},
                {true, 3000, false, -11.8, 180}, {true, -600, false, -1.9, 180},
                {true, -4000, false, 2.5, 180},  {true, 0, true, -3, 90},
                {false, 600, false, 0.6, 180}};
    tst_userAt(false, 30000);
    uint32_t hexid = kHexid;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.airborne << " " << r.vrateFpm << " " << r.secondStands);
        g_liveRecords.clear();
        LiveAircraft& ac =
            tst_candidate(++hexid, tst_at(10, 0, r.airborne ? 5000 : kHarnessElevFt, r.airborne));
        for (PosSample& s : ac.stream) s.vrate = r.vrateFpm, s.track = 90, s.roll = 0.1;
        if (r.secondStands) ac.stream[1].stationary = 1;
        spawnLiveAc(ac);
        ASSERT_EQ(ac.lifeState, adding2sim);
        EXPECT_NEAR(ac.pitch, gf_degToRad(r.pitchDeg), 1e-12);
        EXPECT_NEAR(ac.heading, gf_degToRad(r.headingDeg), 1e-9);
        EXPECT_EQ(ac.dHeading, r.airborne ? 0.0 : ac.heading);
        EXPECT_EQ(ac.bank, 0.1);
        EXPECT_EQ(std::make_tuple(ac.lat, ac.lon, ac.altitude, ac.verticalSpeed),
                  std::make_tuple(ac.stream[0].lat, ac.stream[0].lon, ac.stream[0].alt, r.vrateFpm));
    }
}

// Parking at its spawn books its half-hour and checks max park at once: over the wanted number
// the oldest static gives way. One that taxis off counts for nothing.
TEST_F(SpawnTest, ParkingAtItsSpawnMakesRoomUnderMaxPark) {
    const LatLon stand = gf_destinationPoint({kHarnessLat, kHarnessLon}, 0, 3000);
    tst_userAt(true);
    g_currentSlot = gf_packSlot(20, 1);
    for (const bool onStand : {true, false}) {
        SCOPED_TRACE(onStand);
        g_liveRecords.clear();
        g_stands.clear();
        // Learned earlier today: parked from 05:00.
        const uint64_t before = uint64_t{1} << 10;
        const StandOption learned("DLH4AB", "", "DLH", "B738", "DLH4AB", before, 1, 1, 0, 1);
        g_stands.emplace_back("V101", std::vector<StandOption>{learned}, stand.lat, stand.lon, 0.0, 30.0,
                              false, false, false);
        gf_numberStands();
        gf_setParkSite(ParkSite{"EDDF", {kHarnessLat, kHarnessLon}, "", false, 1});
        g_staticAircraft.clear();
        g_hexidValues.clear();
        for (uint32_t i = 1; i <= 2; ++i) {
            AircraftRec st;
            st.hexid = i, st.callsign = fmt::format("DLH{}*", i), st.lifeState = active,
            st.objectId = 700 + i;
            st.noSourceHexid = 1, st.parkSlot = gf_packSlot(20 - static_cast<int>(i), 1);
            g_staticAircraft.push_back(st);
        }
        const double north = onStand ? 0.00005 : 0.01;
        const Candidate c{.at = {stand.lat + north, stand.lon, kHarnessElevFt, 0, 90}, .airborne = false};
        LiveAircraft& ac = tst_candidate(kHexid, c);
        ac.stream[1].lat = ac.stream[0].lat;
        spawnLiveAc(ac);
        ASSERT_EQ(ac.flightState, onStand ? uint32_t{parked} : uint32_t{taxi});
        EXPECT_EQ(ac.cargoStand, 0) << "a passenger stand";
        EXPECT_EQ(g_staticAircraft[0].lifeState, active);
        EXPECT_EQ(g_staticAircraft[1].lifeState, onStand ? uint32_t{removingfromsim} : uint32_t{active})
            << "the one parked longest ago";
        // The arrival adds its half-hour to today's option.
        ASSERT_EQ(g_stands[0].options.size(), 1u);
        EXPECT_EQ(g_stands[0].options[0].hh, onStand ? before | uint64_t{1} << 20 : before);
        const HexidSlot* kept = gf_findHexidSlot(kHexid);
        EXPECT_EQ(kept ? kept->slot : -1, onStand ? 20 : -1) << "the half-hour of its arrival";
    }
}

}  // namespace
