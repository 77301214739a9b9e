#include "shell/run_control.h"

#include <thread>
#include <vector>

#include "support/work_folder.h"

namespace {

class RunControlTest : public WorkFolderTest {};

// The first stop wins, also among racing threads; later callers only see the flag.
TEST_F(RunControlTest, ExactlyOneOfManyRacingThreadsStoresItsState) {
    std::atomic<int> winners{0}, winningState{0};
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
    EXPECT_TRUE(g_stopRun);
    EXPECT_EQ(static_cast<int>(gf_exitState()), winningState.load());
    gf_resetRunControl();
    EXPECT_FALSE(g_stopRun);
    EXPECT_EQ(gf_exitState(), ExitState::NotYetSet);
    EXPECT_TRUE(gf_stopRunWith(ExitState::NewFlight));
    EXPECT_FALSE(gf_stopRunWith(ExitState::SystemError));
    EXPECT_EQ(gf_exitState(), ExitState::NewFlight);
}

}  // namespace
