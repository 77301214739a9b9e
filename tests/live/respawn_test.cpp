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
// of another airline, one whose own livery is installed.
constexpr const char* kRegistrations = R"(<dbase><types>
<type icao="B738" cat="Large" span="35.8"/><type icao="A320" cat="Large" span="35.8"/></types><registrations>
<reg id="D-ABCD" airl="DLH" type="B738"/><reg id="D-EFGH" airl="DLH"/><reg id="D-AIZZ" airl="DLH" type="A320"/>
<reg id="D-AOPR" airl="DLH" opr="CLH" type="A320"/><reg id="G-EUUA" airl="BAW" type="A320"/></registrations></dbase>)";

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
    LiveAircraft& other = inFlight(kHexid + 1, "SWR12_", 9);
    LiveAircraft& ac = inFlight(kHexid, "DLH4AB");
    // A record "SWR12" of another aircraft: the copy "SWR12_" is a ghost.
    EXPECT_FALSE(lf_respawnCheck(ac, next("SWR12")));
    EXPECT_EQ(other.lifeState, removingfromsim);
    EXPECT_EQ(g_callsignList, std::vector<std::string>{"SWR12_"});
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
    ac.callsign = "DLH4AB", ac.regcode = "D-AIXX";
    gf_queueReplacementCheck(kHexid);
    gf_replaceStaticsStep(g_currentSlot);
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
    EXPECT_TRUE(g_perSecondList.empty());
}

// A block asked for in the window says in the log why the aircraft left, as one from the feed does.
TEST_F(RespawnTest, WindowBlockLogsTheRemoval) {
    LiveAircraft& ac = g_liveRecords.emplace_back(tst_liveAircraft(0x4B1803, active, 12));
    BLOCK_CALLSIGN.set("DLH4AB");
    gf_setLogCapture(true);
    gf_removeBlockedCallsign();
    EXPECT_EQ(gf_capturedLog(), gf_acLabel(ac) + " removed from simulator immediately while blocked\n");
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
    };
    GUID_CHANGES.set(true);
    g_regToLivery.emplace("D-OURS", kTitle);
    g_regToLivery.emplace("D-AIZZ-L", kOtherTitle);
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
