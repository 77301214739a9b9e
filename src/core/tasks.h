// Scan task slots: the two scans (liveries, airports) run at most one parsing task per hardware
// thread. The scan driver waits for a slot, raises g_runningWorkers and starts the task; the
// task lowers the count with gf_taskDone when it ends.
#pragma once
#include <atomic>
#include <cstdint>

// Sets g_hardwareConcurrency from the machine (never below 1); the run thread calls it before
// any scan.
void gf_initHardwareConcurrency();
// Returns once g_runningWorkers < g_hardwareConcurrency, sleeping in steps of 10 microseconds
// until then; also returns when g_stopRun is set, so a stopped run never hangs here.
void gf_waitForTaskSlot();
// Lowers g_runningWorkers by one (atomically); called by every task as it ends.
void gf_taskDone();

// Restores one hardware thread and no running task (whole-process reset).
void gf_resetTasks();

// Number of hardware threads, 1 or more.
extern std::atomic<uint32_t> g_hardwareConcurrency;
// Scan tasks running now, shared by both scans.
extern std::atomic<int32_t> g_runningWorkers;
