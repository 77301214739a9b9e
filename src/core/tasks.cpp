#include "core/tasks.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/run_state.h"

std::atomic<uint32_t> g_hardwareConcurrency{1};
std::atomic<int32_t> g_runningWorkers{0};

void gf_initHardwareConcurrency() {
    g_hardwareConcurrency = std::max(1u, std::thread::hardware_concurrency());
}

namespace {
bool lf_slotFree() {
    return static_cast<int64_t>(g_runningWorkers.load()) < static_cast<int64_t>(g_hardwareConcurrency.load());
}
}  // namespace

void gf_waitForTaskSlot() {
    while (!lf_slotFree() && !g_stopRun.load()) std::this_thread::sleep_for(std::chrono::microseconds(10));
}

void gf_taskDone() {
    g_runningWorkers.fetch_sub(1);
}

void gf_resetTasks() {
    g_hardwareConcurrency = 1;
    g_runningWorkers = 0;
}
