#include "core/tasks.h"

#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "shell/run_control.h"
#include "support/work_folder.h"

namespace {

using namespace std::chrono_literals;

class TasksTest : public WorkFolderTest {};

TEST_F(TasksTest, HardwareConcurrencyIsAtLeastOne) {
    g_hardwareConcurrency = 0;
    gf_initHardwareConcurrency();
    EXPECT_EQ(g_hardwareConcurrency.load(), std::max(1u, std::thread::hardware_concurrency()));
}

TEST_F(TasksTest, ReturnsAtOnceWhileASlotIsFree) {
    g_hardwareConcurrency = 2;
    for (int running : {-1, 0, 1}) {
        SCOPED_TRACE(running);
        g_runningWorkers = running;
        auto done = std::async(std::launch::async, gf_waitForTaskSlot);
        EXPECT_EQ(done.wait_for(10s), std::future_status::ready);
    }
}

TEST_F(TasksTest, WaitsUntilATaskIsDone) {
    g_hardwareConcurrency = 2;
    g_runningWorkers = 2;
    std::promise<void> started;
    auto done = std::async(std::launch::async, [&started] {
        started.set_value();
        gf_waitForTaskSlot();
        return g_runningWorkers.load();
    });
    started.get_future().wait();
    // Still full: the waiter must not have come back (a short look, not a time that must pass).
    EXPECT_EQ(done.wait_for(20ms), std::future_status::timeout);
    gf_taskDone();
    ASSERT_EQ(done.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(done.get(), 1);
}

TEST_F(TasksTest, AStoppedRunDoesNotHang) {
    g_hardwareConcurrency = 1;
    g_runningWorkers = 5;
    auto done = std::async(std::launch::async, gf_waitForTaskSlot);
    gf_stopRunWith(ExitState::UserClosedSim);
    EXPECT_EQ(done.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(g_runningWorkers.load(), 5);
}

TEST_F(TasksTest, TaskDoneCountsDownFromManyThreads) {
    g_runningWorkers = 4000;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 1000; ++i) gf_taskDone();
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(g_runningWorkers.load(), 0);
}

}  // namespace
