#include "shell/run_control.h"

#include <thread>
#include <vector>

#include "support/work_folder.h"

namespace {

class RunControlTest : public WorkFolderTest {};

TEST_F(RunControlTest, NamesAndRestartDelaysOfEveryState) {
    struct Row {
        ExitState state;
        const char* name;
        int delay;
    };
    const Row rows[] = {
        {ExitState::NotYetSet, "NOT YET SET", -1},
        {ExitState::SimWasClosed, "SIM WAS CLOSED", -1},
        {ExitState::NewFlight, "NEW FLIGHT", -1},
        {ExitState::NewSettings, "NEW SETTINGS", 3},
        {ExitState::UserClosedSim, "USER CLOSED SIM", -1},
        {ExitState::SimconnectError, "SIMCONNECT ERROR", 9},
        {ExitState::ReaderError, "READER ERROR", 15},
        {ExitState::SystemError, "SYSTEM ERROR", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(gf_exitStateName(row.state), row.name);
        EXPECT_EQ(gf_restartDelaySeconds(row.state), row.delay);
    }
}

TEST_F(RunControlTest, FirstStopWinsAndLaterCallersOnlySeeTheFlag) {
    EXPECT_FALSE(g_stopRun);
    EXPECT_TRUE(gf_stopRunWith(ExitState::ReaderError));
    EXPECT_FALSE(gf_stopRunWith(ExitState::SystemError));
    EXPECT_TRUE(g_stopRun);
    EXPECT_EQ(gf_exitState(), ExitState::ReaderError);

    gf_resetRunControl();
    EXPECT_FALSE(g_stopRun);
    EXPECT_EQ(gf_exitState(), ExitState::NotYetSet);
    EXPECT_TRUE(gf_stopRunWith(ExitState::NewFlight));
    EXPECT_EQ(gf_exitState(), ExitState::NewFlight);
}

TEST_F(RunControlTest, ExactlyOneOfManyRacingThreadsStoresItsState) {
    std::atomic<int> winners{0};
    std::atomic<int> winningState{0};
    std::vector<std::thread> threads;
    for (int s = 1; s <= 7; ++s) {
        threads.emplace_back([s, &winners, &winningState] {
            if (gf_stopRunWith(static_cast<ExitState>(s))) {
                ++winners;
                winningState = s;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(winners, 1);
    EXPECT_EQ(static_cast<int>(gf_exitState()), winningState.load());
}

}  // namespace
