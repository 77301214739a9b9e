// Respawn tests of what is taken out: ghosts, static aircraft that give way to their live
// counterparts, and blocked callsigns (from the feed or the window).
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

// A marked callsign is a ghost while its unmarked twin, other than the aircraft asking and not
// on its way out, is live; a lone mark is nobody's ghost.
TEST_F(RespawnTest, GhostKnownByItsLiveTwin) {
    struct Row {
        const char *callsign, *twin;
        uint32_t twinState, skip;
        bool ghost;
    } rows[] = {{"K_", "K", active, 0, true},
                {"SWR12_", "SWR12", active, 0, true},
                {"SWR12_", "SWR12", removingfromsim, 0, false},
                {"SWR12_", "SWR12", active, kHexid, false},
                {"_", "", active, 0, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.callsign) + " " + r.twin);
        g_liveRecords.clear();
        inFlight(kHexid, r.twin).lifeState = r.twinState;
        EXPECT_EQ(lf_ghostKnown(r.callsign, r.skip), r.ghost);
    }
    g_liveRecords.clear();
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
        {"DLH4AB", "D-AIXX", active,
         "sid==0? : DLH7*    D-AIXX removed, new airborne 'DLH4AB' has same regcode D-AIXX"},
        {"DLH7_", "", active,
         "sid==0? : DLH7*    'DLH7 ' removed, new airborne DLH7_ '' '' has coupled callsign"},
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
