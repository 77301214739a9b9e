#include "live/respawn.h"

#include "aircraft/matching.h"
#include "airports/stand.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "airports/park_airports.h"
#include "live/air_motion.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "live/spawn.h"
#include "live/live_fixture.h"
#include "shell/requests.h"
#include "shell/window.h"
#include "sim/sim_link.h"
#include "support/live_builders.h"

namespace {

constexpr const char* kTitle = "Boeing 737-800 Lufthansa";

class RespawnTest : public LiveTest {
protected:
    void SetUp() override {
        LiveTest::SetUp();
        gf_loadTypeDatabaseText(R"(<dbase><types><type icao="B738" cat="Large" span="35.8"/>
            <type icao="A320" cat="Large" span="35.8"/><type icao="B744" cat="Heavy" span="64.4"/></types>
            <registrations><reg id="D-AIZZ" airl="DLH" type="A320"/></registrations></dbase>)",
                                "dbase.xml");
        g_liveRecords.reserve(16);  // the cases hold references across appends
    }
    // An active B738 "DLH4AB" D-AIXX flying at (50, 8), bound to its object, its livery remembered.
    LiveAircraft& inFlight(uint32_t hexid, const std::string& callsign = "DLH4AB", uint32_t objectId = 7) {
        LiveAircraft ac = tst_liveAircraft(hexid, active, objectId);
        ac.callsign = callsign;
        ac.regcode = "D-AIXX";
        ac.origin = "EDDF";
        ac.destination = "EGLL";
        ac.flightState = flying;
        ac.lat = 50.0;
        ac.lon = 8.0;
        ac.altitude = 11000;
        ac.heading = 1.5;
        ac.liveryTitle = kTitle;
        g_titleByHexid[hexid] = kTitle;
        ac.stream.push_back(tst_record(hexid, 100).sample);
        g_liveRecords.push_back(ac);
        return g_liveRecords.back();
    }
    static LiveTrafficRecord next(uint32_t hexid, const std::string& callsign, const std::string& regcode = "D-AIXX") {
        LiveTrafficRecord r = tst_record(hexid, 200, 50.0, 8.1, callsign);
        r.regcode = regcode;
        return r;
    }
};

TEST_F(RespawnTest, IdentityChangesRespawnOnlyWithGuidChanges) {
    struct Row {
        const char* what;
        const char* callsign;
        const char* regcode;
        bool guidChanges, takeOffRoll;
        bool accepted;
        uint32_t lifeState, flightState;
        const char* newCallsign;
        const char* type;
        bool titleKept;
    } rows[] = {
        {"same callsign", "DLH4AB", "D-AIXX", true, false, true, active, flying, "DLH4AB", "B738", true},
        {"new flight number", "DLH5CD", "D-AIXX", true, false, false, liveryrespawn, flying, "DLH5CD", "B738", true},
        {"kept without guid changes", "DLH5CD", "D-AIXX", false, false, true, active, flying, "DLH5CD", "B738", true},
        {"callsign became the registration", "D-AIXX", "D-AIXX", true, false, true, active, flying, "DLH4AB", "B738",
         true},
        {"take-off roll keeps all", "DLH5CD", "D-AIZZ", true, true, true, active, flying, "DLH4AB", "B738", true},
        {"other aircraft: new livery", "DLH4AB", "D-AIZZ", true, false, false, liveryrespawn, birth, "DLH4AB", "A320",
         false},
        {"other aircraft, no respawn: livery and state kept", "DLH4AB", "D-AIZZ", false, false, true, active, flying,
         "DLH4AB", "A320", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        g_removeDeque.clear();
        GUID_CHANGES.set(r.guidChanges);
        LiveAircraft& ac = inFlight(0x4B1805);
        ac.takeOffRoll = r.takeOffRoll;
        EXPECT_EQ(lf_respawnCheck(ac, next(ac.hexid, r.callsign, r.regcode)), r.accepted);
        EXPECT_EQ(std::make_tuple(ac.lifeState, ac.flightState, ac.callsign, ac.type),
                  std::make_tuple(r.lifeState, r.flightState, std::string(r.newCallsign), std::string(r.type)));
        EXPECT_EQ(ac.liveryTitle == kTitle, r.titleKept);
        EXPECT_EQ(g_titleByHexid.contains(ac.hexid), r.titleKept);
        const bool respawned = r.lifeState == liveryrespawn;
        EXPECT_EQ(g_removeDeque.size(), respawned ? 1u : 0u);
        if (!respawned) continue;
        // Created again where it is now, with its heading, from a sample due at the next tick.
        ASSERT_EQ(ac.stream.size(), 2u);
        EXPECT_EQ(std::make_tuple(ac.stream[0].lat, ac.stream[0].alt, ac.stream[0].dueTick),
                  std::make_tuple(50.0, 11000.0, static_cast<int32_t>(gf_tickNow() + 1)));
        EXPECT_TRUE(ac.respawnHeadingValid && ac.respawnHeading == 1.5);
    }
}

TEST_F(RespawnTest, RouteChecks) {
    struct Row {
        const char* what;
        const char* origin;
        const char* recordOrigin;
        const char* recordDestination;
        bool accepted;
        const char* route;
        uint32_t flightState;
    } rows[] = {
        {"empty origin filled", "", "EDDF", "EGLL", false, "EDDF EGLL", pushed_back},
        {"new route: taxi", "EDDF", "LSZH", "LFPG", false, "LSZH LFPG", taxi},
        {"turnaround at the park airport", "ZRH", "LHR", "ZRH", true, "ZRH EGLL", pushed_back},
    };
    g_parkAirport.iata = "ZRH";
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_liveRecords.clear();
        LiveAircraft& ac = inFlight(0x4B1805);
        ac.origin = r.origin;
        ac.onGround = 1;
        ac.flightState = pushed_back;
        LiveTrafficRecord record = next(ac.hexid, "DLH4AB");
        record.origin = r.recordOrigin;
        record.destination = r.recordDestination;
        EXPECT_EQ(lf_respawnCheck(ac, record), r.accepted);
        EXPECT_EQ(ac.origin + " " + ac.destination, r.route);
        EXPECT_EQ(ac.flightState, r.flightState);
    }
}

TEST_F(RespawnTest, RespawnWithoutObjectGoesBackToBuffer) {
    LiveAircraft& ac = inFlight(0x4B1805, "DLH4AB", 0);
    liveryRespawn(ac);
    EXPECT_EQ(ac.lifeState, buffer);
    EXPECT_EQ(ac.stream.size(), 2u);
    EXPECT_TRUE(g_removeDeque.empty());
}

TEST_F(RespawnTest, GhostsAreRemovedOrRefused) {
    LiveAircraft& other = inFlight(0x4B1806, "SWR12_", 9);
    LiveAircraft& ac = inFlight(0x4B1805, "DLH4AB");
    // A record "SWR12" of another aircraft: the copy "SWR12_" is a ghost.
    EXPECT_FALSE(lf_respawnCheck(ac, next(ac.hexid, "SWR12")));
    EXPECT_EQ(other.lifeState, removingfromsim);
    EXPECT_EQ(g_callsignList, std::vector<std::string>{"SWR12_"});
    EXPECT_TRUE(gf_isKnownGhost("SWR12_"));
    // A record "SWR12_" while "SWR12" flies is refused and changes nothing.
    LiveAircraft& third = inFlight(0x4B1807, "EZY1");
    EXPECT_FALSE(lf_respawnCheck(third, next(third.hexid, "SWR12_")));
    EXPECT_EQ(std::make_tuple(third.callsign, third.lifeState), std::make_tuple("EZY1", active));
}

TEST_F(RespawnTest, AnAircraftIsNeverItsOwnGhost) {
    LiveAircraft& ac = inFlight(0x4B1805, "SWR12_");
    EXPECT_FALSE(lf_respawnCheck(ac, next(ac.hexid, "SWR12")));
    EXPECT_EQ(std::make_tuple(ac.callsign, ac.lifeState), std::make_tuple("SWR12", liveryrespawn));
    EXPECT_TRUE(g_callsignList.empty());
}

TEST_F(RespawnTest, CoupledCallsignWindowStaysWithinTheDay) {
    struct Row {
        int slot;
        const char* type;
        int optionSlot;
        bool found;
    } rows[] = {
        {47, "B744", 33, true}, {47, "B744", 32, false}, {3, "B738", 13, true},
        {3, "B738", 14, false}, {3, "B738", 0, true},
    };
    g_stands.emplace_back("A1", std::vector<StandOption>{}, 50.0, 8.0, 0.0, 30.0, false, false, false);
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.slot << " " << r.type << " " << r.optionSlot);
        g_stands[0].options = {StandOption("DLH7", "DLH8", "DLH", "B738", "D-AIXX", uint64_t{1} << r.optionSlot, 1, 2, 1, 1)};
        LiveAircraft ac = tst_liveAircraft(0x4B1805, active);
        ac.callsign = "DLH8_";
        ac.category = gf_aircraftCategory(r.type) == AircraftCategory::Heavy ? 3 : 2;
        lf_searchForCoupledCsAroundThisTime(gf_packSlot(r.slot, 2), ac);
        EXPECT_EQ(ac.coupledCallsign, r.found ? "DLH8" : "");
        EXPECT_EQ(ac.spawnCallsign, r.found ? "DLH7" : "");
    }
}

TEST_F(RespawnTest, StaticGivesWayToItsLiveCounterpart) {
    struct Row {
        const char* what;
        const char* liveCallsign;
        const char* liveCoupled;
        const char* liveReg;
        uint32_t sourceHexid;
        bool removed;
        const char* log;
    } rows[] = {
        {"same hexid", "DLH4AB", "", "", 0x4B1805, true, "sid==0? : DLH7*    removed, new airborne 'DLH4AB' has same hexid"},
        {"same registration", "DLH4AB", "", "D-AIXX", 0, true,
         "sid==0? : DLH7*    D-AIXX removed, new airborne 'DLH4AB' has same regcode D-AIXX"},
        {"same callsign", "DLH7", "", "", 0, true,
         "sid==0? : DLH7*    'DLH7 ' removed, new airborne DLH7 '' '' has same callsign"},
        {"ghost of the callsign", "DLH7_", "", "", 0, true,
         "sid==0? : DLH7*    'DLH7 ' removed, new airborne DLH7_ '' '' has coupled callsign"},
        {"coupled callsign", "DLH9", "DLH7", "", 0, true,
         "sid==0? : DLH7*    'DLH7 ' removed, new airborne DLH9 '' 'DLH7' has coupled callsign"},
        {"a bare mark matches no empty text", "_", "", "", 0, false, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_staticAircraft.assign(1, tst_liveAircraft(17, active, 5));
        AircraftRec& st = g_staticAircraft[0];
        st.callsign = "DLH7*";
        st.spawnCallsign = "DLH7";
        st.regcode = "D-AIXX";
        st.sourceHexid = r.sourceHexid;
        st.noSourceHexid = r.sourceHexid ? 0 : 1;
        LiveAircraft ac = tst_liveAircraft(0x4B1805, active);
        ac.callsign = r.liveCallsign;
        ac.coupledCallsign = r.liveCoupled;
        ac.regcode = r.liveReg;
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        lf_replaceStatic(ac, false);
        EXPECT_EQ(st.lifeState, r.removed ? removingfromsim : active);
        EXPECT_EQ(gf_capturedLog(), *r.log ? std::string(r.log) + "\n" : "");
    }
}

TEST_F(RespawnTest, PerSecondEntryOfAnErasedAircraftIsDropped) {
    gf_queueReplacementCheck(0x4B1899);
    LiveAircraft& ac = inFlight(0x4B1805);
    gf_queueReplacementCheck(ac.hexid);
    gf_replaceStaticsStep(gf_packSlot(10, 2));
    EXPECT_EQ(g_perSecondList.size(), 1u);
    g_staticAircraft.assign(1, tst_liveAircraft(17, active, 5));
    g_staticAircraft[0].regcode = ac.regcode;
    gf_replaceStaticsStep(gf_packSlot(10, 2));
    EXPECT_TRUE(g_perSecondList.empty());
    EXPECT_EQ(ac.coupledSearched, 1);
    EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
}

TEST_F(RespawnTest, BlockedCallsignLeavesFromFeedAndWindow) {
    LiveAircraft& buffered = g_liveRecords.emplace_back(tst_liveAircraft(0x4B1801, buffer));
    LiveAircraft& inSim = inFlight(0x4B1802, "EZS1094", 11);
    LiveAircraft& other = inFlight(0x4B1803, "EZS1095", 12);
    gf_pushBlockEvent(buffered.hexid);
    gf_pushBlockEvent(inSim.hexid);
    gf_handleSimEvents();
    EXPECT_EQ(buffered.eraseFlag, 1);
    EXPECT_EQ(inSim.lifeState, removingfromsim);
    // From the window: the next second removes the aircraft of that callsign.
    lf_handleBlockCallsign(" EZS1095 ");
    ASSERT_TRUE(gf_takeRunRequest(RunRequest::BlockCallsign));
    gf_removeBlockedCallsign();
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "EZS1095");
    EXPECT_EQ(other.lifeState, removingfromsim);
}

}  // namespace
