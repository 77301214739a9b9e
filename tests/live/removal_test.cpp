#include "live/removal.h"

#include "airports/stand.h"
#include "core/log.h"
#include "live/parking_conflicts.h"
#include "live_fixture.h"
#include "support/live_builders.h"
#include "support/stand_builders.h"

namespace {

using RemovalTest = LiveTest;

// The removal acts by life state and never erases a record itself; a live aircraft frees its
// stand unless its object is still on its way.
TEST_F(RemovalTest, RemovalActsByLifeState) {
    tst_addStands({{"A1", 0, 0, 20}, {"A2", 500, 0, 20}});
    g_createDeque = {tst_createRequest("DLH4AB", 20002), tst_createRequest("DLH4AB", 20001)};
    g_createDequeStatic = {tst_createRequest("DLH4AB*", 17)};
    g_hexidStack = {20003};
    struct Row {
        const char* what;
        LiveAircraft ac;
        uint32_t lifeState;
        uint8_t eraseFlag, withdrawn, removeWhenItAppears;
        bool standFree;
    };
    const auto rec = [](uint32_t hexid, uint32_t lifeState, uint32_t objectId = 0) {
        LiveAircraft ac = tst_liveAircraft(hexid, lifeState, objectId);
        ac.standId = 1;
        return ac;
    };
    Row rows[] = {
        {"buffered", rec(20009, buffer), buffer, 1, 0, 0, true},
        {"its create queued", rec(20001, adding2sim), adding2sim, 0, 1, 0, true},
        {"its create record not built", rec(20003, adding2sim), adding2sim, 0, 1, 0, true},
        {"a static create queued", rec(17, adding2sim), adding2sim, 0, 1, 0, false},
        {"its create sent", rec(20004, adding2sim), adding2sim, 0, 0, 1, false},
        {"active", rec(20005, active, 42), removingfromsim, 0, 0, 0, true},
        {"active, no object", rec(20006, active), removingfromsim, 1, 0, 0, true},
        {"static, no object", rec(18, active), removingfromsim, 0, 1, 0, false},
        {"removal sent", rec(20007, removingfromsim, 43), removingfromsim, 0, 0, 0, false},
    };
    rows[3].ac.callsign = "DLH4AB*";
    for (Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_stands[0].occupied = true;
        g_stands[0].occupantHexid = r.ac.hexid;
        removeAircraftFromSim(r.ac);
        EXPECT_EQ(std::make_tuple(r.ac.lifeState, r.ac.eraseFlag, r.ac.withdrawn, r.ac.removeWhenItAppears),
                  std::make_tuple(r.lifeState, r.eraseFlag, r.withdrawn, r.removeWhenItAppears));
        EXPECT_EQ(g_stands[0].occupied, !r.standFree);
    }
    removeAircraftFromSim(rows[5].ac);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>{42}) << "an object id is queued once";
    ASSERT_EQ(g_createDeque.size(), 1u) << "the other aircraft with the same callsign keeps its create";
    EXPECT_EQ(g_createDeque[0].hexid, 20002u);
    EXPECT_TRUE(g_createDequeStatic.empty());
    EXPECT_TRUE(g_hexidStack.empty());
}

// The index by hexid finds every aircraft however it was added, after erasures and after the
// same aircraft comes back.
TEST_F(RemovalTest, LiveAircraftAreFoundByHexidAfterErasures) {
    g_liveRecords.reserve(8);
    g_liveRecords.push_back(tst_liveAircraft(20001, buffer));
    EXPECT_EQ(gf_findLiveByHexid(20001), &g_liveRecords[0]);
    g_liveRecords.push_back(tst_liveAircraft(20002, buffer));
    EXPECT_EQ(gf_findLiveByHexid(20002), &g_liveRecords[1]) << "added without the index";
    gf_addLiveAircraft(tst_liveAircraft(20003, buffer));
    g_liveRecords[0].eraseFlag = 1;
    gf_eraseFinishedLive();
    EXPECT_EQ(gf_findLiveByHexid(20001), nullptr);
    EXPECT_EQ(gf_findLiveByHexid(20003), &g_liveRecords[1]);
    gf_addLiveAircraft(tst_liveAircraft(20001, buffer));
    EXPECT_EQ(gf_findLiveByHexid(20001), &g_liveRecords[2]) << "back after it went";
    EXPECT_TRUE(gf_liveWithCallsignAndType("DLH4AB", "B738"));
    EXPECT_FALSE(gf_liveWithCallsignAndType("DLH4AB", "A320"));
}

}  // namespace
