#include "live/adding_stack.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "core/log.h"
#include "core/text.h"
#include "live/live_set.h"

std::mutex g_addingStackMutex;
std::vector<LiveTrafficRecord> g_addingStack;
std::deque<std::vector<LiveTrafficRecord>> g_snapshotBatches;
bool g_mainLoopRunning = false;

namespace {

// A shift beyond this many tenths of a second (about 115 days) is nonsense from the feed; the
// clamp keeps the integer conversion defined.
constexpr double kMaxShiftTenths = 1e8;

void lf_dropUnusable(std::vector<LiveTrafficRecord>& staging) {
    const size_t before = staging.size();
    std::erase_if(staging, [](const LiveTrafficRecord& r) { return !gf_isUsableRecord(r); });
    const size_t dropped = before - staging.size();
    if (dropped == 0) return;
    gf_logWarning(fmt::format("{}: {} record{} with an invalid time or position dropped",
                              "gf_addTrafficBatch", dropped, gf_plural(static_cast<long long>(dropped))));
}

void lf_stampDueTicks(std::vector<LiveTrafficRecord>& staging, int delaySeconds) {
    const double reference = gf_batchReferenceTime(staging);
    const uint32_t tick = gf_tickNow();
    for (LiveTrafficRecord& r : staging)
        r.sample.dueTick = gf_dueTick(tick, delaySeconds, r.timeStamp, reference);
}

bool lf_finite(double v) {
    return std::isfinite(v);
}

}  // namespace

int32_t gf_dueTick(uint32_t tick, int delaySeconds, double timeStamp, double referenceTime) {
    const double tenths =
        std::clamp(std::trunc(10.0 * (timeStamp - referenceTime)), -kMaxShiftTenths, kMaxShiftTenths);
    const uint32_t delayTicks = static_cast<uint32_t>(kTicksPerSecond) * static_cast<uint32_t>(delaySeconds);
    const uint32_t shift = static_cast<uint32_t>(10 * static_cast<int64_t>(tenths));
    return static_cast<int32_t>(tick + delayTicks + shift);
}

double gf_batchReferenceTime(const std::vector<LiveTrafficRecord>& batch) {
    if (batch.empty()) return 0;
    std::vector<double> stamps;
    stamps.reserve(std::max<size_t>(256, batch.size()));
    for (const LiveTrafficRecord& r : batch) stamps.push_back(r.timeStamp);
    const auto middle = stamps.begin() + static_cast<ptrdiff_t>(stamps.size() / 2);
    std::nth_element(stamps.begin(), middle, stamps.end());
    return *middle;
}

bool gf_isUsableRecord(const LiveTrafficRecord& r) {
    const PosSample& s = r.sample;
    if (!lf_finite(r.timeStamp) || !lf_finite(s.lat) || !lf_finite(s.lon) || !lf_finite(s.alt)) return false;
    if (!lf_finite(s.gs) || !lf_finite(s.track)) return false;
    return std::fabs(s.lat) <= 90.0 && std::fabs(s.lon) <= 180.0;
}

void gf_addTrafficBatch(std::vector<LiveTrafficRecord>& staging, int delaySeconds) {
    lf_dropUnusable(staging);
    lf_stampDueTicks(staging, delaySeconds);
    {
        std::lock_guard lock(g_addingStackMutex);
        if (delaySeconds != kLiveLoopDelaySeconds) {
            if (!staging.empty()) g_snapshotBatches.push_back(std::move(staging));
        } else if (g_mainLoopRunning && g_addingStack.empty()) {
            g_addingStack = std::move(staging);
        }
    }
    // A dropped batch is destroyed here, outside the lock.
    staging.clear();
}

void gf_setAddingAllowed(bool allowed) {
    std::lock_guard lock(g_addingStackMutex);
    g_mainLoopRunning = allowed;
}

bool gf_addingAllowed() {
    std::lock_guard lock(g_addingStackMutex);
    return g_mainLoopRunning;
}

void gf_takeStagedRecords(StagedRecords& out) {
    out.records.clear();
    out.snapshot = false;
    std::lock_guard lock(g_addingStackMutex);
    if (!g_snapshotBatches.empty()) {
        out.records.swap(g_snapshotBatches.front());
        g_snapshotBatches.pop_front();
        out.snapshot = true;
        return;
    }
    for (int i = 0; i < kRecordsPerTick && !g_addingStack.empty(); ++i) {
        out.records.push_back(std::move(g_addingStack.back()));
        g_addingStack.pop_back();
    }
}

void gf_resetAddingStack() {
    std::lock_guard lock(g_addingStackMutex);
    g_addingStack.clear();
    g_snapshotBatches.clear();
    g_mainLoopRunning = false;
}
