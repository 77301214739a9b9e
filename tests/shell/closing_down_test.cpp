#include <chrono>
#include <mutex>

#include "live/live_set.h"
#include "platform/sim_standin.h"
#include "shell/run_control.h"
#include "shell/run_thread.h"
#include "sim/sim_link.h"
#include "sim/sim_thread.h"
#include "support/work_folder.h"

namespace {

using ClosingDownTest = WorkFolderTest;

// The user closes the program while a static aircraft and a live one that was just created stand
// in the simulator: the closing down takes both out before the link closes.
TEST_F(ClosingDownTest, UserClosingRemovesEveryAiObjectFromTheSimulator) {
    Scenario world;
    world.airports = {{"LSZH", 47.458056, 8.548056, 1416}};
    world.user = {{0, 47.4512, 8.5616, 1416, 0, 0, true}};
    world.installedTitles = {"Boeing 737-800 Swiss"};
    world.frameRate = 200;
    gf_startSimThread(world);
    ASSERT_TRUE(gf_waitForSimulator(std::chrono::seconds(20)));
    {
        std::lock_guard lock(g_simCommandMutex);
        for (const char* atcId : {"SWR12*", "SWR287"})
            ASSERT_EQ(gf_standinCreate(g_hSimConnect, "Boeing 737-800 Swiss", atcId, {}, 1), S_OK);
    }
    ASSERT_EQ(gf_standinObjects().size(), 2u);
    AircraftRec& st = g_staticAircraft.emplace_back();
    LiveAircraft& ac = g_liveRecords.emplace_back();
    st.hexid = 12, st.lifeState = active, st.objectId = gf_standinObjects()[0].id;
    ac.hexid = 0x4B1805, ac.lifeState = adding2sim, ac.objectId = gf_standinObjects()[1].id;
    g_userClosing = true;
    gf_stopRunWith(ExitState::UserClosedSim);
    lf_closingDown();
    EXPECT_TRUE(gf_standinObjects().empty());
    EXPECT_EQ(gf_standinUnknownRemoves(), 0);
}

}  // namespace
