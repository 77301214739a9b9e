#include "platform/sim_standin.h"

#include "sim_fixture.h"

namespace {

TEST_F(SimLinkTest, GroundIsTheNearestAirportWithinThirtyMiles) {
    Scenario s;
    s.airports = {{"EGLL", 51.47, -0.4614, 83}, {"EGKK", 51.1481, -0.1903, 202}};
    gf_standinLoad(s);
    struct Row {
        const char* what;
        double lat, lon, groundFt;
    };
    const Row rows[] = {
        {"at EGLL", 51.47, -0.4614, 83},
        {"at EGKK", 51.1481, -0.1903, 202},
        {"between, nearer EGLL", 51.40, -0.40, 83},
        {"29.5 nm north of EGLL", 51.47 + 29.5 / 60, -0.4614, 83},
        {"30.5 nm north of EGLL", 51.47 + 30.5 / 60, -0.4614, 0},
        {"open sea", 50.0, -5.0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(gf_standinGroundFt(row.lat, row.lon), row.groundFt);
    }
}

TEST_F(SimLinkTest, CallsFailWithoutAConnection) {
    gf_standinLoad(baseScenario());
    SimReply r;
    EXPECT_LT(SimConnect_GetNextDispatch(nullptr, &r), 0);
    EXPECT_LT(SimConnect_TransmitClientEvent(nullptr, 3, 200, 0, kGroupAi, 0), 0);
    HANDLE h = nullptr;
    ASSERT_EQ(SimConnect_Open(&h, "test"), S_OK);
    EXPECT_EQ(SimConnect_GetNextDispatch(h, &r), S_FALSE);
    EXPECT_LT(SimConnect_TransmitClientEvent(h, 3, 200, 0, kGroupAi, 0), 0) << "event not mapped";
    EXPECT_EQ(SimConnect_Close(h), S_OK);
    gf_standinLoad(baseScenario());
    EXPECT_LT(SimConnect_GetNextDispatch(h, &r), 0) << "a handle of an earlier world is dead";
}

TEST_F(SimLinkTest, DataBlocksOfTheWrongSizeAreRefused) {
    start();
    SimSpoilerThrottleBlock block{100, 100, 100};
    std::lock_guard lock(g_simCommandMutex);
    EXPECT_LT(SimConnect_SetDataOnSimObject(g_hSimConnect, kDefSpoilerThrottle, 3, 0, 0, 16, &block), 0);
    EXPECT_LT(SimConnect_SetDataOnSimObject(g_hSimConnect, 999, 3, 0, 0, sizeof block, &block), 0);
}

}  // namespace
