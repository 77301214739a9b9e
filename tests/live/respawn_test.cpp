#include "live/respawn.h"

#include "aircraft/matching.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "live/air_motion.h"
#include "live/live_fixture.h"
#include "live/removal.h"

namespace {

constexpr const char* kTitle = "Boeing 737-800 Lufthansa";
constexpr uint32_t kHexid = 0x4B1805;

class RespawnTest : public LiveTest {
  protected:
    void SetUp() override {
        LiveTest::SetUp();
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

}  // namespace
