#include "live/adding_stack.h"

#include <string>

#include "live_fixture.h"

namespace {

using AddingStackTest = LiveTest;

// Records of the hexids, all stamped at one time.
std::vector<LiveTrafficRecord> tst_batch(std::initializer_list<uint32_t> hexids) {
    std::vector<LiveTrafficRecord> batch;
    for (uint32_t hexid : hexids) batch.push_back(tst_record(hexid, 1000));
    return batch;
}

// What the run thread takes out in one tick: "s" for a snapshot, then the hexids in order.
std::string tst_takeOnce() {
    StagedRecords staged;
    gf_takeStagedRecords(staged);
    std::string taken = staged.snapshot ? "s" : "";
    for (const LiveTrafficRecord& r : staged.records) taken += " " + std::to_string(r.hexid);
    return taken;
}

// The buffered snapshots reach the run thread whole and oldest first, ahead of a live-loop batch
// that came before them (which then goes two records a tick from its back); a live-loop batch
// is dropped while another waits or while adding is off, a snapshot never.
TEST_F(AddingStackTest, SnapshotsGoWholeOldestFirstAheadOfTheLiveBatch) {
    gf_setAddingAllowed(true);
    std::vector<LiveTrafficRecord> staging = tst_batch({1, 2, 3});
    gf_addTrafficBatch(staging, kLiveLoopDelaySeconds);
    EXPECT_TRUE(staging.empty());
    staging = tst_batch({11, 12, 13});
    gf_addTrafficBatch(staging, 0);
    staging = tst_batch({21, 22});
    gf_addTrafficBatch(staging, 6);
    staging = tst_batch({4});
    gf_addTrafficBatch(staging, kLiveLoopDelaySeconds);
    EXPECT_TRUE(staging.empty()) << "a dropped batch leaves the staging vector empty too";
    gf_setAddingAllowed(false);
    staging = tst_batch({31});
    gf_addTrafficBatch(staging, 12);
    staging = tst_batch({5});
    gf_addTrafficBatch(staging, kLiveLoopDelaySeconds);
    std::vector<std::string> taken;
    for (int tick = 0; tick < 6; ++tick) taken.push_back(tst_takeOnce());
    EXPECT_EQ(taken, (std::vector<std::string>{"s 11 12 13", "s 21 22", "s 31", " 3 2", " 1", ""}));
}

// A new run starts without the traffic the last one had not taken in yet: no snapshot, no
// live-loop records, and adding off until the flight runs.
TEST_F(AddingStackTest, ANewRunStartsWithoutTheLastRunsTraffic) {
    gf_setAddingAllowed(true);
    std::vector<LiveTrafficRecord> staging = tst_batch({1, 2, 3});
    gf_addTrafficBatch(staging, kLiveLoopDelaySeconds);
    staging = tst_batch({11});
    gf_addTrafficBatch(staging, 0);
    gf_resetIntake();
    EXPECT_FALSE(gf_addingAllowed());
    EXPECT_EQ(tst_takeOnce(), "");
    staging = tst_batch({4});
    gf_addTrafficBatch(staging, kLiveLoopDelaySeconds);
    EXPECT_EQ(tst_takeOnce(), "") << "adding is off";
}

}  // namespace
