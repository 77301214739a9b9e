#include "core/tasks.h"

#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "shell/run_control.h"
#include "support/work_folder.h"

namespace {

using namespace std::chrono_literals;

class TasksTest : public WorkFolderTest {};

// A waiter returns at once while a slot is free, waits while all are taken, and never hangs a
// stopped run.
TEST_F(TasksTest, WaitsForAFreeSlotUnlessTheRunStops) {
    g_hardwareConcurrency = 2;
    for (int running : {-1, 1}) {
        g_runningWorkers = running;
        EXPECT_EQ(std::async(std::launch::async, gf_waitForTaskSlot).wait_for(10s), std::future_status::ready);
    }
    g_runningWorkers = 2;
    auto done = std::async(std::launch::async, [] {
        gf_waitForTaskSlot();
        return g_runningWorkers.load();
    });
    EXPECT_EQ(done.wait_for(20ms), std::future_status::timeout);  // a short look, not a time that must pass
    gf_taskDone();
    ASSERT_EQ(done.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(done.get(), 1);
    g_hardwareConcurrency = 1;
    g_runningWorkers = 5;
    auto stopped = std::async(std::launch::async, gf_waitForTaskSlot);
    gf_stopRunWith(ExitState::UserClosedSim);
    EXPECT_EQ(stopped.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(g_runningWorkers.load(), 5);
}

}  // namespace
