// Respawn tests of identity changes: the route, registration and callsign checks, where a respawn
// starts, and the coupled-callsign search.
#include "live/respawn.h"

#include <algorithm>

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "aircraft/regcodes.h"
#include "airports/park_airports.h"
#include "airports/stand.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "live/adding_stack.h"
#include "live/air_motion.h"
#include "live/removal.h"
#include "live/respawn_fixture.h"
#include "live/parking_conflicts.h"
#include "live/sim_events.h"
#include "live/spawn.h"

namespace {

TEST_F(RespawnTest, IdentityChangesRespawnOnlyWithGuidChanges) {
    struct Row {
        const char* what;
        uint32_t lifeState;
        const char *callsign, *regcode, *origin;
        bool guidChanges, takeOffRoll, accepted;
        uint32_t newLifeState, flightState;
        const char *newCallsign, *newRegcode, *type;
        bool titleKept;
    } rows[] = {
        {"same callsign", active, "DLH4AB", "D-AIXX", "EDDF", true, false, true, active, flying, "DLH4AB", "D-AIXX", "B738", true},
        {"new flight number", active, "DLH5CD", "D-AIXX", "EDDF", true, false, false, liveryrespawn, flying, "DLH5CD", "D-AIXX", "B738", true},
        {"kept without guid changes", active, "DLH5CD", "D-AIXX", "EDDF", false, false, true, active, flying, "DLH5CD", "D-AIXX", "B738", true},
        {"callsign became the registration", active, "D-AIXX", "D-AIXX", "EDDF", true, false, true, active, flying, "DLH4AB", "D-AIXX", "B738", true},
        {"take-off roll keeps all", active, "DLH5CD", "D-AIZZ", "EDDF", true, true, true, active, flying, "DLH4AB", "D-AIXX", "B738", true},
        {"other aircraft: new livery", active, "DLH4AB", "D-AIZZ", "EDDF", true, false, false, liveryrespawn, birth, "DLH4AB", "D-AIZZ", "A320", false},
        {"other aircraft, no respawn", active, "DLH4AB", "D-AIZZ", "EDDF", false, false, true, active, flying, "DLH4AB", "D-AIZZ", "A320", true},
        {"in buffer: only what the record has", buffer, "DLH5CD", "", "", true, false, true, buffer, flying, "DLH5CD", "D-AIXX", "B738", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        g_removeDeque.clear();
        GUID_CHANGES.set(r.guidChanges);
        LiveAircraft& ac = inFlight(kHexid);
        ac.lifeState = r.lifeState;
        ac.takeOffRoll = r.takeOffRoll;
        EXPECT_EQ(lf_respawnCheck(ac, next(r.callsign, r.regcode, r.origin)), r.accepted);
        EXPECT_EQ(std::make_tuple(ac.lifeState, ac.flightState, ac.callsign, ac.regcode, ac.type, ac.origin),
                  std::make_tuple(r.newLifeState, r.flightState, std::string(r.newCallsign), std::string(r.newRegcode),
                                  std::string(r.type), std::string("EDDF")));
        EXPECT_EQ(ac.liveryTitle == kTitle, r.titleKept);
        EXPECT_EQ(g_titleByHexid.contains(ac.hexid), r.titleKept);
        const bool respawned = r.newLifeState == liveryrespawn;
        EXPECT_EQ(g_removeDeque.size(), respawned ? 1u : 0u);
        if (!respawned) continue;
        // Created again where it is now, with its heading, from a sample due at the next tick.
        ASSERT_EQ(ac.stream.size(), 2u);
        EXPECT_EQ(std::make_tuple(ac.stream[0].lat, ac.stream[0].alt, ac.stream[0].dueTick),
                  std::make_tuple(50.0, 11000.0, static_cast<int32_t>(gf_tickNow() + 1)));
        EXPECT_TRUE(ac.respawnHeadingValid && ac.respawnHeading == 1.5);
    }
}

// The route: a filled end or a new route is a new identity, except the return leg of a
// turnaround at the park airport; an aircraft on the ground gets a new route as it taxis.
TEST_F(RespawnTest, RouteCheck) {
    const struct Row {
        const char* what;
        const char *acOrigin, *acDest, *recOrigin, *recDest;
        bool onGround;
        uint32_t flightState;
        bool respawned;
        const char *origin, *dest;
        uint32_t newFlightState;
    } rows[] = {
        {"same route", "EDDF", "EGLL", "EDDF", "EGLL", false, flying, false, "EDDF", "EGLL", flying},
        {"only the destination differs", "EDDF", "EGLL", "EDDF", "LFPG", false, flying, false, "EDDF", "EGLL",
         flying},
        {"an empty end filled", "EDDF", "", "LFPG", "EGLL", false, flying, true, "EDDF", "EGLL", flying},
        {"new route in the air", "EDDF", "EGLL", "LFPG", "LEMD", false, flying, true, "LFPG", "LEMD", flying},
        {"new route pushed back", "EDDF", "EGLL", "LFPG", "LEMD", true, pushed_back, true, "LFPG", "LEMD",
         taxi},
        {"new route parked", "EDDF", "EGLL", "LFPG", "LEMD", true, parked, true, "LFPG", "LEMD", parked},
        {"new route parking", "EDDF", "EGLL", "LFPG", "LEMD", true, parking, true, "LFPG", "LEMD", parking},
        {"turnaround at the park airport", "FRA", "EGLL", "EGLL", "FRA", false, flying, false, "FRA", "EGLL",
         flying},
        {"turnaround elsewhere", "MUC", "EGLL", "EGLL", "MUC", false, flying, true, "EGLL", "MUC", flying},
    };
    GUID_CHANGES.set(true);
    g_parkAirport.iata = "FRA";
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        LiveAircraft& ac = inFlight(kHexid);
        ac.origin = r.acOrigin, ac.destination = r.acDest;
        ac.onGround = r.onGround, ac.flightState = r.flightState, ac.targetHeading = 0;
        LiveTrafficRecord rec = next("DLH4AB");
        rec.origin = r.recOrigin, rec.destination = r.recDest;
        EXPECT_EQ(lf_respawnCheck(ac, rec), !r.respawned);
        EXPECT_EQ(std::make_tuple(ac.lifeState, ac.origin, ac.destination, ac.flightState),
                  std::make_tuple(r.respawned ? liveryrespawn : active, std::string(r.origin),
                                  std::string(r.dest), r.newFlightState));
        EXPECT_EQ(ac.targetHeading, r.newFlightState == taxi ? 1.5 : 0.0);
        EXPECT_EQ(ac.liveryTitle, kTitle) << "a new route keeps the livery";
    }
    // In the buffer the record's route is taken as it comes, an empty end changing nothing.
    g_liveRecords.clear();
    LiveAircraft& buffered = inFlight(kHexid);
    buffered.lifeState = buffer;
    LiveTrafficRecord rec = next("DLH4AB", "D-AIXX", "LFPG");
    rec.destination = "";
    EXPECT_TRUE(lf_respawnCheck(buffered, rec));
    EXPECT_EQ(std::make_tuple(buffered.origin, buffered.destination), std::make_tuple("LFPG", "EGLL"));
    rec.origin = "", rec.destination = "LEMD";
    EXPECT_TRUE(lf_respawnCheck(buffered, rec));
    EXPECT_EQ(std::make_tuple(buffered.origin, buffered.destination), std::make_tuple("LFPG", "LEMD"));
}

// Only an active aircraft that neither pushes back nor plays an extension of its stream, and is
// not in its take-off roll or approach, is checked; any other takes the record as it stands.
TEST_F(RespawnTest, RespawnCheckOnlyWhereTheAircraftCanBeCreatedAgain) {
    const struct Row {
        const char* what;
        uint32_t lifeState, flightState;
        int32_t extension;
        bool approach, checked;
    } rows[] = {
        {"active", active, flying, 0, false, true},
        {"extensions exhausted", active, flying, -1, false, true},
        {"playing an extension", active, flying, 1, false, false},
        {"pushing back", active, pushing_back, 0, false, false},
        {"on its approach", active, flying, 0, true, false},
        {"being created", adding2sim, flying, 0, false, false},
        {"being removed", removingfromsim, flying, 0, false, false},
    };
    GUID_CHANGES.set(true);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        LiveAircraft& ac = inFlight(kHexid);
        ac.lifeState = r.lifeState, ac.flightState = r.flightState, ac.extension = r.extension;
        ac.approachFlag = r.approach;
        EXPECT_EQ(lf_respawnCheck(ac, next("DLH5CD", "D-AIZZ")), !r.checked);
        EXPECT_EQ(std::make_tuple(ac.callsign, ac.regcode, ac.lifeState),
                  r.checked
                      ? std::make_tuple(std::string("DLH5CD"), std::string("D-AIZZ"), uint32_t{liveryrespawn})
                      : std::make_tuple(std::string("DLH4AB"), std::string("D-AIXX"), r.lifeState));
    }
}

// A new livery is matched from birth at the next spawn; only an aircraft parked on its stand
// stays parked there.
TEST_F(RespawnTest, ForgetLiveryParkedOnItsStandStaysParked) {
    const struct Row {
        const char* what;
        uint32_t flightState, standId, after;
    } rows[] = {
        {"parked on its stand", parked, 1, parked},
        {"parked without a stand", parked, 0, birth},
        {"driving onto a stand", parking, 1, birth},
        {"flying", flying, 0, birth},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        LiveAircraft& ac = inFlight(kHexid);
        ac.flightState = r.flightState, ac.standId = r.standId;
        lf_forgetLivery(ac);
        EXPECT_EQ(std::make_tuple(ac.flightState, ac.liveryTitle, g_titleByHexid.contains(kHexid)),
                  std::make_tuple(r.after, std::string_view(), false));
    }
}

// The registration: the database's airline and type are taken when the callsign names that
// airline (or the aircraft flew under its registration), unless its operator is the aircraft's
// airline; a registration with its own livery is a new identity only with another title.
TEST_F(RespawnTest, RegistrationCheck) {
    constexpr const char* kOtherTitle = "Airbus A320 Lufthansa";
    const struct Row {
        const char* what;
        const char *acAirline, *acCallsign, *acReg, *recCallsign, *recReg;
        bool respawned;
        const char* type;
        bool titleKept;
    } rows[] = {
        {"another registration, same airline and type", "DLH", "DLH4AB", "D-AIXX", "DLH4AB", "D-ABCD", false,
         "B738", true},
        {"another type, callsign of that airline", "DLH", "DLH4AB", "D-AIXX", "DLH4AB", "D-AIZZ", true,
         "A320", false},
        {"another type, callsign without airline", "DLH", "DLH4AB", "D-AIXX", "", "D-AIZZ", false, "B738",
         true},
        {"another airline's aircraft, callsign of ours", "DLH", "DLH4AB", "D-AIXX", "DLH4AB", "G-EUUA", false,
         "B738", true},
        {"the operator is the aircraft's airline", "CLH", "CLH4AB", "D-AIXX", "CLH4AB", "D-AOPR", false,
         "B738", true},
        {"the operator's aircraft, callsign of its airline", "DLH", "DLH4AB", "D-AIXX", "DLH4AB", "D-AOPR",
         true, "A320", false},
        {"flown under its registration", "DLH", "D-AIXX", "D-AIXX", "D-AIXX", "D-AIZZ", true, "A320", false},
        {"first registration, the database agrees", "DLH", "DLH4AB", "", "DLH4AB", "D-ABCD", false, "B738",
         true},
        {"first registration, another type", "DLH", "DLH4AB", "", "DLH4AB", "D-AIZZ", true, "A320", false},
        {"first registration, the database has no type", "DLH", "DLH4AB", "", "DLH4AB", "D-EFGH", false,
         "B738", true},
        {"first registration, another airline without type", "BAW", "BAW12", "", "BAW12", "D-EFGH", true,
         "B738", false},
        {"first registration, its own livery is ours", "DLH", "DLH4AB", "", "DLH4AB", "D-OURS", false, "B738",
         true},
        {"first registration, its own livery is another", "DLH", "DLH4AB", "", "DLH4AB", "D-AIZZ-L", true,
         "B738", false},
        {"first registration, flown by its operator", "CLH", "CLH4AB", "", "CLH4AB", "D-AOPR", false, "B738",
         true},
        {"first registration, its own livery of another type", "DLH", "DLH4AB", "", "DLH4AB", "D-ALIV", true,
         "A320", false},
    };
    GUID_CHANGES.set(true);
    g_regToLivery.emplace("D-OURS", kTitle);
    g_regToLivery.emplace("D-AIZZ-L", kOtherTitle);
    g_regToLivery.emplace("D-ALIV", kOtherTitle);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        LiveAircraft& ac = inFlight(kHexid, r.acCallsign);
        ac.airline = r.acAirline, ac.regcode = r.acReg;
        EXPECT_EQ(lf_respawnCheck(ac, next(r.recCallsign, r.recReg)), !r.respawned);
        EXPECT_EQ(std::make_tuple(ac.lifeState, ac.regcode, ac.type, ac.liveryTitle == kTitle),
                  std::make_tuple(r.respawned ? liveryrespawn : active, std::string(r.recReg),
                                  std::string(r.type), r.titleKept));
        EXPECT_EQ(ac.flightState, r.titleKept ? flying : birth);
    }
}

// The respawn starts where the aircraft is; one parked stays on its stand facing as it did.
TEST_F(RespawnTest, RespawnStartsFromWhereTheAircraftIs) {
    const struct Row {
        const char* what;
        uint32_t flightState, objectId;
        double acLon;
        uint32_t lifeState;
        bool frontStationary;
        double newLon;
        const char* log;
    } rows[] = {
        {"flying away from its front sample", flying, 7, 7.9, liveryrespawn, false, 7.9, ""},
        {"flying at its front sample", flying, 7, 8.0, liveryrespawn, true, 8.0, ""},
        {"flying within 1e-8 degrees of it", flying, 7, 8.0 + 5e-9, liveryrespawn, true, 8.0 + 5e-9, ""},
        {"flying 2e-8 degrees off it", flying, 7, 8.0 + 2e-8, liveryrespawn, false, 8.0 + 2e-8, ""},
        {"parked", parked, 7, 7.9, liveryrespawn, true, 8.0, ""},
        {"without an object", flying, 0, 7.9, buffer, false, 7.9, "with objectid=0 ?"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        g_removeDeque.clear();
        LiveAircraft& ac = inFlight(kHexid, "DLH4AB", r.objectId);
        ac.flightState = r.flightState;
        ac.lon = r.acLon, ac.bank = 0.1;
        ac.stream.push_back(ac.stream.front());
        ac.stream.back().lat = 50.1;
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        liveryRespawn(ac);
        const bool parkedNow = r.flightState == parked;
        ASSERT_EQ(ac.stream.size(), parkedNow ? 2u : 3u) << "parked: cut to its front sample";
        const PosSample& n = ac.stream[0];
        EXPECT_EQ(std::make_tuple(ac.lifeState, ac.stream[1].stationary, n.lon, n.alt, n.dueTick),
                  std::make_tuple(r.lifeState, uint8_t(r.frontStationary), r.newLon,
                                  parkedNow ? 12000.0 : 11000.0, static_cast<int32_t>(gf_tickNow() + 1)));
        EXPECT_EQ(n.stationary, uint8_t(parkedNow));
        EXPECT_EQ(n.roll, parkedNow ? std::nullopt : std::optional<double>(0.1));
        if (parkedNow) EXPECT_DOUBLE_EQ(n.track, gf_radToDeg(1.5));
        EXPECT_EQ(g_removeDeque, r.objectId ? std::deque<uint32_t>{r.objectId} : std::deque<uint32_t>{});
        EXPECT_NE(gf_capturedLog().find(r.log), std::string::npos);
        EXPECT_EQ(std::make_tuple(ac.respawnHeadingValid, ac.respawnHeading),
                  std::make_tuple(uint8_t{1}, 1.5));
    }
    g_liveRecords.clear();
    LiveAircraft& empty = inFlight(kHexid);
    empty.stream.clear();
    liveryRespawn(empty);
    EXPECT_EQ(empty.lifeState, active);
    EXPECT_NE(gf_capturedLog().find("liveryRespawn: stream empty\n"), std::string::npos);
}

// The removal of a respawning aircraft is on its way: taking it out for good sends no second one.
TEST_F(RespawnTest, RespawningAircraftRemovedIsNotRemovedTwice) {
    LiveAircraft& ac = inFlight(kHexid);
    liveryRespawn(ac);
    ASSERT_EQ(g_removeDeque, std::deque<uint32_t>{7});
    g_removeDeque.clear();  // sent to the simulator
    removeAircraftFromSim(ac);
    EXPECT_EQ(ac.lifeState, removingfromsim);
    EXPECT_TRUE(g_removeDeque.empty());
    gf_pushSimEvent({7, 0, 0, kEvRemoved, 0, 0});
    gf_handleSimEvents();
    EXPECT_EQ(gf_findLiveByHexid(kHexid), nullptr) << "erased when its object is gone, not respawned";
}

// A parked aircraft being created again holds its stand from the buffer: taken out there for a
// block, from the feed or found by the spawn decision, it leaves the stand free.
TEST_F(RespawnTest, RespawningParkedAircraftTakenOutOfTheBufferFreesItsStand) {
    BLOCK_CALLSIGN.set("DLH4AB");
    for (const bool fromFeed : {true, false}) {
        SCOPED_TRACE(fromFeed ? "block event" : "spawn decision");
        g_liveRecords.clear();
        g_stands.assign(1, Stand("V1", {}, 50, 8, 0, 30, false, false, false));
        gf_numberStands();
        LiveAircraft& ac = inFlight(kHexid);
        ac.flightState = parked, ac.standId = 1;
        ASSERT_TRUE(gf_takeStand(ac));
        liveryRespawn(ac);
        gf_pushSimEvent({7, 0, 0, kEvRemoved, 0, 0});
        gf_handleSimEvents();
        ASSERT_EQ(std::make_tuple(ac.lifeState, g_stands[0].occupied),
                  std::make_tuple(uint32_t{buffer}, true));
        if (fromFeed) {
            gf_pushBlockEvent(kHexid);
            gf_handleSimEvents();
        } else {
            lf_spawnDecision(ac);
        }
        EXPECT_EQ(std::make_tuple(ac.eraseFlag, g_stands[0].occupied), std::make_tuple(uint8_t{1}, false));
    }
}

// The callsign pair: a stand option of the same airline and weekday within 10 half-hours (14 for
// a Heavy) of now, never past midnight, that names the aircraft's callsign.
TEST_F(RespawnTest, CoupledCallsignSearch) {
    constexpr int kMon = 1, kSun = 7;
    const struct Row {
        const char* what;
        int slot, weekday;
        bool heavy;
        int optionSlot, optionDay;
        const char *airline, *callsign, *callsign2, *acCallsign;
        uint32_t index;
        bool found;
    } rows[] = {
        {"slot 3 sees slot 13", 3, kMon, false, 13, kMon, "DLH", "DLH4AB", "DLH4AC", "DLH4AB", 1, true},
        {"slot 3 misses slot 14", 3, kMon, false, 14, kMon, "DLH", "DLH4AB", "DLH4AC", "DLH4AB", 1, false},
        {"slot 3 sees slot 0", 3, kMon, false, 0, kMon, "DLH", "DLH4AB", "DLH4AC", "DLH4AB", 1, true},
        {"a Heavy at slot 47 sees slot 33", 47, kMon, true, 33, kMon, "DLH", "DLH4AB", "DLH4AC", "DLH4AB", 1,
         true},
        {"a Heavy at slot 47 misses slot 32", 47, kMon, true, 32, kMon, "DLH", "DLH4AB", "DLH4AC", "DLH4AB",
         1, false},
        {"a Large at slot 47 misses slot 36", 47, kMon, false, 36, kMon, "DLH", "DLH4AB", "DLH4AC", "DLH4AB",
         1, false},
        {"Sunday 47 misses Monday 0", 47, kSun, false, 0, kMon, "DLH", "DLH4AB", "DLH4AC", "DLH4AB", 1,
         false},
        {"Sunday 47 misses Sunday 0 (no wrap)", 47, kSun, false, 0, kSun, "DLH", "DLH4AB", "DLH4AC", "DLH4AB",
         1, false},
        {"Monday 1 misses Sunday 46", 1, kMon, false, 46, kSun, "DLH", "DLH4AB", "DLH4AC", "DLH4AB", 1,
         false},
        {"Monday 1 sees Monday 0", 1, kMon, false, 0, kMon, "DLH", "DLH4AB", "DLH4AC", "DLH4AB", 1, true},
        {"found by the second callsign", 20, kMon, false, 20, kMon, "DLH", "DLH4AC", "DLH4AB", "DLH4AB", 1,
         true},
        {"ghost mark left out", 20, kMon, false, 20, kMon, "DLH", "DLH4AB", "DLH4AC", "DLH4AB_", 1, true},
        {"another airline", 20, kMon, false, 20, kMon, "BAW", "DLH4AB", "DLH4AC", "DLH4AB", 1, false},
        {"no second callsign", 20, kMon, false, 20, kMon, "DLH", "DLH4AB", "", "DLH4AB", 1, false},
        {"an option that takes part in nothing", 20, kMon, false, 20, kMon, "DLH", "DLH4AB", "DLH4AC",
         "DLH4AB", 0, false},
        {"another callsign", 20, kMon, false, 20, kMon, "DLH", "DLH4AX", "DLH4AC", "DLH4AB", 1, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        g_stands.clear();
        // A first option that fits in all but the slot: the search goes on past it.
        std::vector<StandOption> options = {{"DLH4AB", "DLH4AZ", "DLH", "B738", "", 0, 1, 1, 1, 1}};
        options.emplace_back(r.callsign, r.callsign2, r.airline, "B738", "", uint64_t{1} << r.optionSlot,
                             r.index, r.optionDay, 1, 1);
        g_stands.emplace_back("A1", std::vector<StandOption>{}, 50, 8, 0, 30, false, false, false);
        g_stands.emplace_back("A2", options, 50, 8, 0, 30, false, false, false);
        LiveAircraft& ac = inFlight(kHexid, r.acCallsign);
        if (r.heavy) ac.category = static_cast<int32_t>(AircraftCategory::Heavy);
        ac.spawnCallsign = r.acCallsign;
        lf_searchForCoupledCsAroundThisTime(gf_packSlot(r.slot, r.weekday), ac);
        EXPECT_EQ(std::make_tuple(ac.spawnCallsign, ac.coupledCallsign),
                  r.found ? std::make_tuple(std::string(r.callsign), std::string(r.callsign2))
                          : std::make_tuple(std::string(r.acCallsign), std::string()));
    }
    // The first stand's option wins; the per-second pass searches once per aircraft.
    g_stands[0].options = {{"DLH4AB", "DLH4AD", "DLH", "B738", "", uint64_t{1} << 20, 1, kMon, 1, 1}};
    g_stands[1].options = {{"DLH4AB", "DLH4AE", "DLH", "B738", "", uint64_t{1} << 20, 1, kMon, 1, 1}};
    LiveAircraft& ac = g_liveRecords.front();
    ac.coupledSearched = 0;
    gf_queueReplacementCheck(kHexid);
    gf_replaceStaticsStep(gf_packSlot(20, kMon));
    EXPECT_EQ(std::make_tuple(ac.spawnCallsign, ac.coupledCallsign, ac.coupledSearched),
              std::make_tuple(std::string("DLH4AB"), std::string("DLH4AD"), uint8_t{1}));
    ac.coupledCallsign.clear();
    gf_queueReplacementCheck(kHexid);
    gf_replaceStaticsStep(gf_packSlot(20, kMon));
    EXPECT_EQ(ac.coupledCallsign, "") << "searched once";
}

}  // namespace
