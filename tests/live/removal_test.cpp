#include "live/removal.h"

#include "airports/stand.h"
#include "core/log.h"
#include "live/parking_conflicts.h"
#include "live_fixture.h"
#include "support/live_builders.h"
#include "support/stand_builders.h"

namespace {

using RemovalTest = LiveTest;

TEST_F(RemovalTest, BufferedRecordIsFlaggedForErasing) {
    LiveAircraft ac = tst_liveAircraft(20001, buffer);
    removeAircraftFromSim(ac);
    EXPECT_EQ(ac.eraseFlag, 1);
    EXPECT_EQ(ac.lifeState, buffer);
    EXPECT_TRUE(g_removeDeque.empty());
}

TEST_F(RemovalTest, QueuedCreateIsWithdrawnByCallsignAndHexid) {
    g_createDeque = {tst_createRequest("DLH4AB", 20002), tst_createRequest("DLH4AB", 20001),
                     tst_createRequest("BAW1", 20003)};
    LiveAircraft ac = tst_liveAircraft(20001, adding2sim);
    removeAircraftFromSim(ac);
    EXPECT_EQ(ac.withdrawn, 1);
    EXPECT_EQ(ac.removeWhenItAppears, 0);
    ASSERT_EQ(g_createDeque.size(), 2u) << "the other aircraft with the same callsign keeps its create";
    EXPECT_EQ(g_createDeque[0].hexid, 20002u);
    EXPECT_EQ(g_createDeque[1].hexid, 20003u);
}

TEST_F(RemovalTest, StaticCreateIsWithdrawnFromTheStaticQueue) {
    g_createDequeStatic = {tst_createRequest("DLH4AB*", 17), tst_createRequest("DLH4AB*", 18)};
    AircraftRec st;
    st.hexid = 18;
    st.callsign = "DLH4AB*";
    st.lifeState = adding2sim;
    removeAircraftFromSim(st);
    EXPECT_EQ(st.withdrawn, 1);
    ASSERT_EQ(g_createDequeStatic.size(), 1u);
    EXPECT_EQ(g_createDequeStatic[0].hexid, 17u);
}

TEST_F(RemovalTest, RemovalAskedAfterTheCreateWasSentHappensAfterActivation) {
    LiveAircraft ac = tst_liveAircraft(20001, adding2sim);
    removeAircraftFromSim(ac);
    EXPECT_EQ(ac.removeWhenItAppears, 1);
    EXPECT_EQ(ac.withdrawn, 0);
    removeAircraftFromSim(ac);
    EXPECT_EQ(ac.lifeState, adding2sim) << "a second request while the create is under way changes nothing";

    // The activation binds the object and asks again.
    ac.lifeState = active;
    ac.objectId = 42;
    removeAircraftFromSim(ac);
    EXPECT_EQ(ac.lifeState, removingfromsim);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>{42});
}

TEST_F(RemovalTest, ActiveAircraftFreesItsStandAndIsQueuedOnce) {
    tst_addStands({{"A1", 0, 0, 20}, {"A2", 500, 0, 20}});
    LiveAircraft ac = tst_liveAircraft(20001, active, 42);
    ac.standId = 2;
    ASSERT_TRUE(gf_takeStand(ac));
    g_stands[0].occupied = true;
    removeAircraftFromSim(ac);
    EXPECT_FALSE(g_stands[1].occupied);
    EXPECT_TRUE(g_stands[0].occupied);
    EXPECT_EQ(ac.lifeState, removingfromsim);
    removeAircraftFromSim(ac);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>{42}) << "an object id is queued once";
    g_removeDeque.clear();  // sent to the simulator
    removeAircraftFromSim(ac);
    EXPECT_TRUE(g_removeDeque.empty()) << "nor sent again";
    EXPECT_EQ(ac.eraseFlag, 0);
}

TEST_F(RemovalTest, StaticAircraftLeavesTheStandsAlone) {
    tst_addStands({{"A1", 0, 0, 20}});
    g_stands[0].occupied = true;
    AircraftRec st;
    st.hexid = 17;
    st.standId = 1;
    st.lifeState = active;
    st.objectId = 7;
    removeAircraftFromSim(st);
    EXPECT_TRUE(g_stands[0].occupied);
    EXPECT_EQ(g_removeDeque, std::deque<uint32_t>{7});
}

TEST_F(RemovalTest, RecordWithoutObjectIdWaitsForNoRemovalEvent) {
    gf_openLog("Trelvo", "test", "P3D");
    gf_setLogCapture(true);
    g_liveRecords.push_back(tst_liveAircraft(20001, active));
    g_liveRecords[0].regcode = "D-AIXX";
    g_liveRecords[0].origin = "EDDF";
    g_liveRecords[0].destination = "EGLL";
    removeAircraftFromSim(g_liveRecords[0]);
    EXPECT_EQ(g_liveRecords[0].lifeState, removingfromsim);
    EXPECT_EQ(g_liveRecords[0].eraseFlag, 1);
    EXPECT_TRUE(g_removeDeque.empty());
    EXPECT_NE(gf_capturedLog().find("removeAircraftFromSim removing act EDDF->EGLL DLH4AB   D-AIXX DLH B738, "
                                    "with objectid=0 ?\n"),
              std::string::npos)
        << gf_capturedLog();
    gf_eraseFinishedLive();
    EXPECT_TRUE(g_liveRecords.empty());

    AircraftRec st;
    st.hexid = 17;
    st.lifeState = active;
    g_staticAircraft.push_back(st);
    g_staticAircraft.push_back(st);
    g_staticAircraft[1].hexid = 18;
    removeAircraftFromSim(g_staticAircraft[0]);
    EXPECT_EQ(g_staticAircraft[0].withdrawn, 1);
    gf_eraseFinishedStatics();
    ASSERT_EQ(g_staticAircraft.size(), 1u);
    EXPECT_EQ(g_staticAircraft[0].hexid, 18u);
}

TEST_F(RemovalTest, QueuedCreateHelper) {
    g_createDeque = {tst_createRequest("", 20001)};
    EXPECT_FALSE(gf_removeQueuedCreate(g_createDeque, "", 20001)) << "an empty callsign withdraws nothing";
    EXPECT_FALSE(gf_removeQueuedCreate(g_createDeque, "DLH4AB", 20001));
    EXPECT_EQ(g_createDeque.size(), 1u);
    EXPECT_TRUE(gf_queueRemoval(5));
    EXPECT_FALSE(gf_queueRemoval(5));
    EXPECT_TRUE(gf_queueRemoval(6));
    EXPECT_EQ(g_removeDeque, (std::deque<uint32_t>{5, 6}));
}

}  // namespace
