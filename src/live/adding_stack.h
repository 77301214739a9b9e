// Hand-over of decoded traffic batches from the traffic reader thread to the run thread: due
// ticks, the adding stack of the live loop and the FIFO of the five buffered snapshots, all under
// g_addingStackMutex. The reader calls gf_addTrafficBatch; the run thread takes records out with
// gf_takeStagedRecords and processes them after the lock is released.
#pragma once
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "feed/records.h"

// Playback delay of every live-loop poll, seconds; the buffered snapshots use 0..24.
inline constexpr int kLiveLoopDelaySeconds = 30;
// Records the run thread takes from the adding stack per tick.
inline constexpr int kRecordsPerTick = 2;

// Due tick of a record: tick + 100 x delay + 10 x trunc(10 x (timeStamp - referenceTime)),
// wrapping as unsigned 32-bit arithmetic.
int32_t gf_dueTick(uint32_t tick, int delaySeconds, double timeStamp, double referenceTime);
// The reference time of a batch: the median time stamp (index count / 2 of the sorted stamps).
double gf_batchReferenceTime(const std::vector<LiveTrafficRecord>& batch);
// True when the time stamp, position, altitude, speed and track are finite and the latitude
// and longitude lie within +-90 and +-180 degrees.
bool gf_isUsableRecord(const LiveTrafficRecord& record);

// Reader thread, after each decoded poll. Drops unusable records (logged once per batch),
// stamps the due ticks and hands the batch over: a live-loop batch (delay 30) becomes the adding
// stack when adding is allowed and the stack is empty, else it is dropped; a buffered snapshot
// (any other delay) joins the snapshot FIFO whatever the adding-allowed flag says. Always
// leaves the staging vector empty. (The reader itself keeps the feed's traffic time.)
void gf_addTrafficBatch(std::vector<LiveTrafficRecord>& staging, int delaySeconds);
// Stores the adding-allowed flag under the adding-stack lock.
void gf_setAddingAllowed(bool allowed);
bool gf_addingAllowed();

// What the run thread takes out in one tick: the oldest snapshot batch whole when one is waiting
// (staging order), else up to two records from the back of the adding stack (in pop order).
struct StagedRecords {
    std::vector<LiveTrafficRecord> records;
    bool snapshot = false;
};
// Run thread: moves the tick's records out under the lock; out.records is replaced.
void gf_takeStagedRecords(StagedRecords& out);

// Per-run reset: adding stack and snapshot FIFO emptied, adding not allowed.
void gf_resetAddingStack();

// Guards g_addingStack, g_snapshotBatches and g_mainLoopRunning.
extern std::mutex g_addingStackMutex;
// Records of the current live-loop batch not yet processed; taken from the back.
extern std::vector<LiveTrafficRecord> g_addingStack;
// Buffered snapshot batches in arrival order, each processed whole before the adding stack.
extern std::deque<std::vector<LiveTrafficRecord>> g_snapshotBatches;
// The adding-allowed flag: set while a flight runs, cleared when it pauses or the run stops.
extern bool g_mainLoopRunning;
