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
#include "live/live_fixture.h"
#include "live/removal.h"
#include "live/parking_conflicts.h"
#include "live/sim_events.h"
#include "live/spawn.h"

namespace {

constexpr const char* kTitle = "Boeing 737-800 Lufthansa";
constexpr uint32_t kHexid = 0x4B1805;

// The test database and three registrations more: one flown by an operator for its airline, one
// of another airline, and D-ALIV, which has a livery of its own (as the unknown D-OURS and D-AIZZ-L).
constexpr const char* kRegistrations = R"(<dbase><types>
<type icao="B738" cat="Large" span="35.8"/><type icao="A320" cat="Large" span="35.8"/></types><registrations>
<reg id="D-ABCD" airl="DLH" type="B738"/><reg id="D-EFGH" airl="DLH"/><reg id="D-AIZZ" airl="DLH" type="A320"/>
<reg id="D-AOPR" airl="DLH" opr="CLH" type="A320"/><reg id="G-EUUA" airl="BAW" type="A320"/>
<reg id="D-ALIV" airl="DLH" type="A320"/></registrations></dbase>)";

class RespawnTest : public LiveTest {
  protected:
    void SetUp() override {
        LiveTest::SetUp();
        gf_loadTypeDatabaseText(kRegistrations, "respawn dbase.xml");
        g_liveRecords.reserve(16);  // the cases hold references across appends
    }
    // An active B738 "DLH4AB" D-AIXX EDDF-EGLL flying at (50, 8) at 11000 ft, its livery remembered.
    static LiveAircraft& inFlight(uint32_t hexid, const std::string& callsign = "DLH4AB", uint32_t objectId = 7) {
        const LiveTrafficRecord r = tst_record(hexid, 100, 50, 8, callsign);
        LiveAircraft ac = gf_constructLiveAircraft(r.sample, gf_makeAircraftRec(r), 100);
        ac.hexid = hexid;
        ac.lifeState = active;
        ac.objectId = objectId;
        ac.flightState = flying;
        ac.lat = 50.0, ac.lon = 8.0, ac.altitude = 11000, ac.heading = 1.5;
        ac.liveryTitle = g_titleByHexid[hexid] = kTitle;
        return g_liveRecords.emplace_back(std::move(ac));
    }
    static LiveTrafficRecord next(const std::string& callsign, const std::string& regcode = "D-AIXX",
                                  const std::string& origin = "EDDF") {
        LiveTrafficRecord r = tst_record(kHexid, 200, 50.0, 8.1, callsign);
        r.regcode = regcode;
        r.origin = origin;
        return r;
    }
};

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

TEST_F(RespawnTest, GhostsAreRemovedOrRefused) {
    // Only the callsign itself with the mark is its ghost.
    LiveAircraft& longer = inFlight(kHexid + 7, "SWR123_", 10);
    LiveAircraft& unmarked = inFlight(kHexid + 8, "SWR12X", 11);
    LiveAircraft& other = inFlight(kHexid + 1, "SWR12_", 9);
    LiveAircraft& ac = inFlight(kHexid, "DLH4AB");
    // A record "SWR12" of another aircraft: the copy "SWR12_" is a ghost.
    EXPECT_FALSE(lf_respawnCheck(ac, next("SWR12")));
    EXPECT_EQ(std::make_tuple(other.lifeState, longer.lifeState, unmarked.lifeState),
              std::make_tuple(uint32_t{removingfromsim}, uint32_t{active}, uint32_t{active}));
    EXPECT_EQ(g_callsignList, std::vector<std::string>{"SWR12_"});
    // Later records of the ghost are known as one (the spawn decision erases them), others not.
    EXPECT_EQ(std::make_tuple(gf_isKnownGhost("SWR12_"), gf_isKnownGhost("SWR13_"), gf_isKnownGhost("SWR12")),
              std::make_tuple(true, false, false));
    // A record "SWR12_" while "SWR12" flies is refused and changes nothing.
    LiveAircraft& third = inFlight(kHexid + 2, "EZY1");
    EXPECT_FALSE(lf_respawnCheck(third, next("SWR12_")));
    EXPECT_EQ(std::make_tuple(third.callsign, third.lifeState), std::make_tuple("EZY1", active));
    // An aircraft is never its own ghost.
    LiveAircraft& own = inFlight(kHexid + 3, "AFR7_");
    EXPECT_FALSE(lf_respawnCheck(own, next("AFR7")));
    EXPECT_EQ(std::make_tuple(own.callsign, own.lifeState), std::make_tuple("AFR7", liveryrespawn));
    EXPECT_EQ(g_callsignList, std::vector<std::string>{"SWR12_"});
    // Nor is it a ghost of itself when its own callsign gains the mark: the record is taken.
    GUID_CHANGES.set(false);
    LiveAircraft& marked = inFlight(kHexid + 4, "BAW9");
    EXPECT_TRUE(lf_respawnCheck(marked, next("BAW9_")));
    EXPECT_EQ(std::make_tuple(marked.callsign, marked.lifeState), std::make_tuple("BAW9_", active));
    // A bare mark is no ghost of an aircraft without a callsign.
    inFlight(kHexid + 5, "");
    LiveAircraft& bare = inFlight(kHexid + 6, "EZY2");
    EXPECT_TRUE(lf_respawnCheck(bare, next("_")));
    EXPECT_EQ(bare.callsign, "_");
    // The ghost list lives for the run.
    gf_resetIntake();
    EXPECT_FALSE(gf_isKnownGhost("SWR12_"));
}

// A static aircraft that is active gives way to its live counterpart, logged with the rule.
TEST_F(RespawnTest, StaticGivesWayToItsLiveCounterpart) {
    const struct Row {
        const char *liveCallsign, *liveReg;
        uint32_t staticState;
        const char* log;
    } rows[] = {
        {"DLH4AB", "D-AIXX", active, "sid==0? : DLH7*    D-AIXX removed, new airborne 'DLH4AB' has same regcode D-AIXX"},
        {"DLH7_", "", active, "sid==0? : DLH7*    'DLH7 ' removed, new airborne DLH7_ '' '' has coupled callsign"},
        {"DLH7", "", adding2sim, nullptr},
        {"_", "", active, nullptr},  // a bare mark matches no empty text
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.liveCallsign);
        g_staticAircraft.assign(1, tst_liveAircraft(17, r.staticState, 5));
        g_staticAircraft[0].callsign = "DLH7*";
        g_staticAircraft[0].spawnCallsign = "DLH7";
        g_staticAircraft[0].regcode = "D-AIXX";
        LiveAircraft ac = tst_liveAircraft(kHexid, active);
        ac.callsign = r.liveCallsign;
        ac.regcode = r.liveReg;
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        lf_replaceStatic(ac, false);
        EXPECT_EQ(g_staticAircraft[0].lifeState, r.log ? removingfromsim : r.staticState);
        EXPECT_EQ(gf_capturedLog(), r.log ? std::string(r.log) + "\n" : "");
    }
    // The per-second pass takes one queued hexid at a time; an empty queue does nothing.
    gf_replaceStaticsStep(g_currentSlot);
    g_staticAircraft[0].lifeState = active;
    LiveAircraft& ac = gf_addLiveAircraft(tst_liveAircraft(kHexid, active));
    ac.callsign = "DLH4AB", ac.regcode = "D-AIXX", ac.onGround = 1;
    gf_queueReplacementCheck(kHexid);
    gf_replaceStaticsStep(g_currentSlot);
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
    EXPECT_TRUE(g_perSecondList.empty());
    EXPECT_NE(gf_capturedLog().find("new on ground 'DLH4AB' has same regcode"), std::string::npos);
}

// A block asked for in the window says in the log why the aircraft left, as one from the feed does.
TEST_F(RespawnTest, WindowBlockLogsTheRemoval) {
    LiveAircraft& ac = g_liveRecords.emplace_back(tst_liveAircraft(0x4B1803, active, 12));
    BLOCK_CALLSIGN.set("DLH4AB");
    gf_setLogCapture(true);
    gf_removeBlockedCallsign();
    EXPECT_EQ(gf_capturedLog(), gf_acLabel(ac) + " removed from simulator immediately while blocked\n");
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

// Records of an aircraft a block took out build nothing only while it carries the callsign that
// is still blocked.
TEST_F(RespawnTest, BlockedAircraftIgnoredOnlyWhileTheBlockHolds) {
    const struct Row {
        const char* what;
        uint32_t hexid;
        const char *callsign, *blocked;
        bool newRun, built;
    } rows[] = {
        {"still blocked", kHexid, "DLH4AB", "DLH4AB", false, false},
        {"under a new callsign", kHexid, "DLH5CD", "DLH4AB", false, true},
        {"block lifted", kHexid, "DLH4AB", "", false, true},
        {"now flying the callsign blocked since", kHexid, "EZY1", "EZY1", false, true},
        {"another aircraft of the blocked callsign", kHexid + 1, "DLH4AB", "DLH4AB", false, true},
        {"a new run", kHexid, "DLH4AB", "DLH4AB", true, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        gf_resetIntake();
        BLOCK_CALLSIGN.set("DLH4AB");
        inFlight(kHexid).lifeState = buffer;
        gf_pushBlockEvent(kHexid);
        gf_handleSimEvents();
        gf_eraseFinishedLive();
        ASSERT_TRUE(g_liveRecords.empty());
        if (r.newRun) gf_resetIntake();  // its blocked aircraft are logged again when they come
        BLOCK_CALLSIGN.set(r.blocked);
        std::vector<LiveTrafficRecord> batch = {tst_record(r.hexid, 1000, 50.0, 8.0, r.callsign)};
        gf_addTrafficBatch(batch, 0);
        gf_takeFromAddingStack();
        EXPECT_EQ(gf_findLiveByHexid(r.hexid) != nullptr, r.built);
    }
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

// Static aircraft are tried in their order, each against every rule; the first that passes one
// is removed, one per call. A source hexid counts only where the static aircraft has one.
TEST_F(RespawnTest, ReplacementTakesTheFirstMatchingStaticOnePerCall) {
    struct Static {
        const char *spawnCallsign, *coupledCallsign, *regcode;
        uint32_t sourceHexid, noSourceHexid, lifeState;
    };
    const struct Row {
        const char* what;
        const char *callsign, *coupled;
        std::vector<Static> statics;
        int removed;  // index of the static removed; -1: none
        const char* log;
    } rows[] = {
        {"a source hexid only where there is one",
         "DLH4AB",
         "",
         {{"EZY1", "", "", kHexid, 1, active}},
         -1,
         ""},
        {"same hexid",
         "DLH4AB",
         "",
         {{"EZY1", "", "", kHexid, 0, active}},
         0,
         "sid==0? : S0*      removed, new airborne 'DLH4AB' has same hexid"},
        {"the first static, whatever its rule",
         "DLH4AB",
         "",
         {{"DLH4AB", "", "", 0, 1, active}, {"EZY1", "", "", kHexid, 0, active}},
         0,
         "sid==0? : S0*      'DLH4AB ' removed, new airborne DLH4AB 'DLH4AB' '' has same callsign"},
        {"a static not active is passed over",
         "DLH4AB",
         "",
         {{"DLH4AB", "", "", 0, 1, adding2sim}, {"EZY1", "", "D-AIXX", 0, 1, active}},
         1,
         "sid==0? : S1*      D-AIXX removed, new airborne 'DLH4AB' has same regcode D-AIXX"},
        {"the live aircraft's coupled callsign",
         "DLH4AB",
         "DLH4AC",
         {{"DLH4AC", "", "", 0, 1, active}},
         0,
         "sid==0? : S0*      'DLH4AC ' removed, new airborne DLH4AB 'DLH4AB' 'DLH4AC' has coupled callsign"},
        {"the static's coupled callsign",
         "DLH4AB",
         "",
         {{"DLH4AC", "DLH4AB", "", 0, 1, active}},
         0,
         "sid==0? : S0*      'DLH4AC DLH4AB' removed, new airborne DLH4AB 'DLH4AB' '' has coupled callsign"},
        {"no callsign", "", "", {{"", "", "D-AIXX", kHexid, 0, active}}, -1, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_staticAircraft.clear();
        for (const Static& s : r.statics) {
            const auto i = static_cast<uint32_t>(g_staticAircraft.size());
            AircraftRec& st = g_staticAircraft.emplace_back(tst_liveAircraft(17 + i, s.lifeState, 5 + i));
            st.callsign = fmt::format("S{}*", i);
            st.spawnCallsign = s.spawnCallsign, st.coupledCallsign = s.coupledCallsign,
            st.regcode = s.regcode;
            st.sourceHexid = s.sourceHexid, st.noSourceHexid = s.noSourceHexid;
        }
        LiveAircraft ac = tst_liveAircraft(kHexid, active);
        ac.callsign = ac.spawnCallsign = r.callsign;
        ac.coupledCallsign = r.coupled;
        ac.regcode = "D-AIXX";
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        lf_replaceStatic(ac, false);
        for (size_t i = 0; i < r.statics.size(); ++i)
            EXPECT_EQ(g_staticAircraft[i].lifeState,
                      static_cast<int>(i) == r.removed ? removingfromsim : r.statics[i].lifeState)
                << i;
        EXPECT_EQ(gf_capturedLog(), r.removed < 0 ? "" : std::string(r.log) + "\n");
    }
    // Two that match: one per call, in order.
    g_staticAircraft.assign(2, tst_liveAircraft(17, active, 5));
    for (AircraftRec& st : g_staticAircraft) st.regcode = "D-AIXX";
    LiveAircraft ac = tst_liveAircraft(kHexid, active);
    ac.regcode = "D-AIXX";
    lf_replaceStatic(ac, true);
    EXPECT_EQ(std::make_tuple(g_staticAircraft[0].lifeState, g_staticAircraft[1].lifeState),
              std::make_tuple(uint32_t{removingfromsim}, uint32_t{active}));
    lf_replaceStatic(ac, true);
    EXPECT_EQ(g_staticAircraft[1].lifeState, removingfromsim);
}

// A block from the feed (a kind 5 event) takes an aircraft out of the buffer or the simulator; one
// from the window only an active one. Either is logged.
TEST_F(RespawnTest, BlockFromTheFeedOrTheWindow) {
    const struct Row {
        const char* what;
        bool fromWindow;
        uint32_t lifeState;
        bool erased;
        uint32_t newLifeState;
        const char* log;
    } rows[] = {
        {"feed, in the buffer", false, buffer, true, buffer, "will be removed from buffer while blocked"},
        {"feed, active", false, active, false, removingfromsim,
         "removed from simulator immediately while blocked"},
        {"feed, being created", false, adding2sim, false, adding2sim, nullptr},
        {"feed, respawning", false, liveryrespawn, false, liveryrespawn, nullptr},
        {"window, active", true, active, false, removingfromsim,
         "removed from simulator immediately while blocked"},
        {"window, in the buffer", true, buffer, false, buffer, nullptr},
    };
    BLOCK_CALLSIGN.set("DLH4AB");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        gf_resetIntake();
        g_liveRecords.reserve(16);
        LiveAircraft& other = inFlight(kHexid + 1, "EZY1", 8);
        LiveAircraft& ac = inFlight(kHexid);
        ac.lifeState = r.lifeState;
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        if (r.fromWindow) {
            gf_removeBlockedCallsign();
        } else {
            gf_pushBlockEvent(kHexid);
            gf_handleSimEvents();
        }
        EXPECT_EQ(std::make_tuple(ac.eraseFlag, ac.lifeState, other.lifeState),
                  std::make_tuple(uint8_t(r.erased), r.newLifeState, uint32_t{active}));
        EXPECT_EQ(g_removeDeque,
                  r.newLifeState == removingfromsim ? std::deque<uint32_t>{7} : std::deque<uint32_t>{});
        EXPECT_EQ(gf_capturedLog(), r.log ? gf_acLabel(ac) + " " + r.log + "\n" : "");
    }
}

// A blocked callsign goes on reporting every poll: the aircraft is logged and taken out once, and
// its later records build nothing until the block ends.
TEST_F(RespawnTest, BlockedAircraftThatGoesOnReportingIsLoggedOnce) {
    BLOCK_CALLSIGN.set("DLH4AB");
    const auto poll = [](double t) {
        // As the decoder does: the block event, then the record itself, in a tick's order.
        gf_pushBlockEvent(kHexid);
        gf_handleSimEvents();
        gf_eraseFinishedLive();
        std::vector<LiveTrafficRecord> batch = {tst_record(kHexid, t, 50.0 + 0.01 * t, 8.0)};
        gf_addTrafficBatch(batch, 0);
        gf_takeFromAddingStack();
    };
    gf_setLogCapture(true);
    int built = 0;
    for (int i = 0; i < 10; ++i) {
        poll(1000 + 2 * i);
        built += gf_findLiveByHexid(kHexid) && g_liveRecords.front().stream.size() == 1 ? 1 : 0;
    }
    EXPECT_EQ(built, 1);
    const std::string log = gf_capturedLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_NE(log.find("will be removed from buffer while blocked"), std::string::npos);
    // Unblocked it comes back; blocked again it is logged again.
    BLOCK_CALLSIGN.set("");
    poll(1100);
    ASSERT_NE(gf_findLiveByHexid(kHexid), nullptr);
    BLOCK_CALLSIGN.set("DLH4AB");
    poll(1102);
    poll(1104);
    EXPECT_EQ(gf_findLiveByHexid(kHexid), nullptr);
    const std::string again = gf_capturedLog().substr(log.size());
    EXPECT_EQ(std::count(again.begin(), again.end(), '\n'), 1) << again;
}

}  // namespace
