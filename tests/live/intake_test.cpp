#include <atomic>
#include <cmath>
#include <thread>

#include <fmt/format.h>

#include "core/log.h"
#include "core/params.h"
#include "core/run_state.h"
#include "feed/traffic_reader.h"
#include "feed/traffic_source.h"
#include "live/adding_stack.h"
#include "live/intake.h"
#include "live/removal.h"
#include "live_fixture.h"

namespace {

using IntakeTest = LiveTest;

// Hands the records over as one buffered snapshot and lets the run thread process it.
void tst_feed(std::vector<LiveTrafficRecord> batch) {
    gf_addTrafficBatch(batch, 0);
    gf_takeFromAddingStack();
}

// A record 0.01 degrees further north per second, at the speed and track, in the air or not.
LiveTrafficRecord tst_at(double t, double gs, double track = 90, bool airborne = true) {
    LiveTrafficRecord r = tst_record(50001, 1000 + t, 50.0 + 0.01 * t, 8.0);
    r.sample.gs = gs;
    r.sample.track = track;
    r.sample.airborne = airborne;
    r.sample.alt = airborne ? 12000 : 0;
    return r;
}

TEST_F(IntakeTest, FiltersOfAKnownAircraft) {
    struct Row {
        const char* name;
        double dt, backGs, newGs, newTrack;
        bool airborne, accepted;
    };
    const Row rows[] = {
        {"1.0 s after the previous one", 1.0, 250, 250, 95, true, false},
        {"1.01 s after", 1.01, 250, 250, 95, true, true},
        {"ten times faster", 10, 20, 200, 95, true, false},
        {"just below ten times faster", 10, 20, 199, 95, true, true},
        {"crawl to 80 kt", 10, 5, 80, 95, false, false},
        {"crawl to 79 kt", 10, 5, 79, 95, false, true},
        {"200 kt steady, 4.37 s", 4.37, 200, 200, 91, true, false},
        {"200 kt steady, 4.38 s", 4.38, 200, 200, 91, true, true},
        {"taxi 30 kt steady, 1.2 s", 1.2, 30, 30, 90, false, false},
        {"taxi 31 kt is no taxi", 1.2, 31, 31, 90, false, true},
        {"taxi 1 kt, capped at 15 s", 15.5, 1, 1, 90, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_resetIntake();
        tst_feed({tst_at(0, row.backGs, 90, row.airborne)});
        tst_feed({tst_at(row.dt, row.newGs, row.newTrack, row.airborne)});
        ASSERT_EQ(g_liveRecords.size(), 1u);
        EXPECT_EQ(g_liveRecords[0].stream.size(), row.accepted ? 2u : 1u);
        EXPECT_EQ(g_liveRecords[0].lastSampleTime, row.accepted ? 1000 + row.dt : 1000);
    }
}

// A change of speed is refused once; the report after it that confirms the new speed is taken
// (also a stop at 0 kt); one that jumps against both the newest sample and the report before is not.
TEST_F(IntakeTest, SpeedChangeConfirmedByTheNextReportIsTaken) {
    struct Row {
        const char* name;
        double first, speeds[3];
        size_t streamSize;
    };
    const Row rows[] = {
        {"take-off after a gap", 5, {160, 158, 161}, 3},
        {"one spike", 5, {160, 6, 7}, 3},
        {"jumps back and forth", 5, {160, 5, 160}, 2},
        {"a stop at 0 kt after the roll-out", 120, {0, 0, 0}, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_resetIntake();
        tst_feed({tst_at(0, row.first, 90, false)});
        for (int i = 0; i < 3; ++i) tst_feed({tst_at(20 + 20 * i, row.speeds[i], 90 + 10 * i, false)});
        EXPECT_EQ(g_liveRecords[0].stream.size(), row.streamSize);
    }
}

TEST_F(IntakeTest, NewAircraftRules) {
    struct Row {
        const char* name;
        std::string type, reg, callsign;
        bool created;
        std::string typeAfter;
    };
    const Row rows[] = {
        {"same callsign and type as a live one", "B738", "D-AIXX", "DLH4AB", false, ""},
        {"no callsign is never a duplicate", "B738", "D-AIXX", "", true, "B738"},
        {"empty type from the registration", "", "D-ABCD", "DLH5CD", true, "B738"},
        {"unknown type replaced by the registration's", "XXXX", "D-ABCD", "DLH5CD", true, "B738"},
        {"unknown type, registration without type", "XXXX", "D-EFGH", "DLH5CD", false, ""},
        {"a known type stays when the registration's differs", "B744", "D-ABCD", "DLH5CD", true, "B744"},
        {"empty type, no registration", "", "", "DLH5CD", false, ""},
        {"light aircraft while they are off", "C172", "D-AIXX", "DLH5CD", false, ""},
        {"business jet", "C56X", "D-AIXX", "DLH5CD", true, "C56X"},
        {"high performance aircraft while they are off", "F16", "D-AIXX", "DLH5CD", false, ""},
        {"helicopter while they are on", "EC35", "D-AIXX", "DLH5CD", true, "EC35"},
        {"heavy", "B744", "D-AIXX", "DLH5CD", true, "B744"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_resetIntake();
        LIGHT_AIRCRAFT.set(false);
        HIGH_PERF_AIRCRAFT.set(false);
        HELICOPTERS.set(true);
        tst_feed({tst_record(60001, 1000, 50.0, 8.0, "DLH4AB", "B738")});
        LiveTrafficRecord r = tst_record(60002, 1000, 51.0, 9.0, row.callsign, row.type);
        r.regcode = row.reg;
        tst_feed({r});
        ASSERT_EQ(g_liveRecords.size(), row.created ? 2u : 1u);
        if (row.created) EXPECT_EQ(g_liveRecords[1].type, row.typeAfter);
    }
}

// Lowering the live limit removes the active aircraft farthest from the user until the limit
// holds; room for a new aircraft is made only by one more than 0.1 nm farther than it.
TEST_F(IntakeTest, RoomIsMadeByTheFarthestActiveAircraft) {
    g_userPosition.lat = 50.0;
    g_userPosition.lon = 8.0;
    const auto fill = [] {
        g_liveRecords.clear();
        for (uint32_t i = 1; i <= 12; ++i) {
            LiveAircraft& a = gf_addLiveAircraft(tst_liveAircraft(70000 + i, active, 100 + i));
            a.lat = 50.0 + i / 60.0, a.lon = 8.0;  // i nm north
        }
        LiveAircraft& waiting = gf_addLiveAircraft(tst_liveAircraft(79999, buffer));
        waiting.lat = 50.5, waiting.lon = 8.0;
    };
    const auto removed = [] {
        std::string out;
        for (const LiveAircraft& a : g_liveRecords)
            if (a.lifeState == removingfromsim) out += fmt::format("{} ", a.hexid - 70000);
        return out;
    };
    fill();
    MAX_LIVE_SEL.set(10);
    gf_applyMaxLive();
    EXPECT_EQ(removed(), "11 12 ");
    EXPECT_EQ(gf_countActiveLive(), 10);
    gf_applyMaxLive();
    EXPECT_EQ(removed(), "11 12 ") << "the limit holds";
    struct Row {
        double candidateNm;
        bool roomWithoutRemoval;
        const char* removed;
    } rows[] = {{5, false, "12 "}, {11.95, true, ""}, {11.85, false, "12 "}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.candidateNm);
        fill();
        EXPECT_EQ(lf_makeRoom(row.candidateNm), row.roomWithoutRemoval);
        EXPECT_EQ(removed(), row.removed);
    }
    MAX_LIVE_SEL.set(500);
    g_liveRecords.clear();
}

// A new aircraft of a live one's callsign and type is a duplicate; the check follows the live
// aircraft's callsign and type as they change: the new ones are taken, the given-up ones free.
TEST_F(IntakeTest, DuplicateCheckFollowsIdentityChanges) {
    struct Row {
        const char* name;
        uint32_t lifeState;  // of the aircraft when its second record comes
        std::string firstCallsign, callsign, reg;
        std::string takenCallsign, takenType, freedCallsign, freedType;
    };
    const Row rows[] = {
        {"callsign after the first reports, in the buffer", buffer, "", "DLH4AB", "D-AIXX", "DLH4AB", "B738",
         "", ""},
        {"new callsign in the buffer", buffer, "DLH4AB", "DLH5CD", "D-AIXX", "DLH5CD", "B738", "DLH4AB",
         "B738"},
        {"new callsign while active", active, "DLH4AB", "DLH5CD", "D-AIXX", "DLH5CD", "B738", "DLH4AB",
         "B738"},
        {"type from the database while active", active, "DLH4AB", "DLH4AB", "D-AIZZ", "DLH4AB", "A320",
         "DLH4AB", "B738"},
    };
    for (const bool guidChanges : {true, false})
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.name << (guidChanges ? ", respawned" : ", flying on"));
            gf_resetIntake();
            GUID_CHANGES.set(guidChanges);
            tst_feed({tst_record(70001, 1000, 50.0, 8.0, row.firstCallsign)});
            ASSERT_EQ(g_liveRecords.size(), 1u);
            g_liveRecords[0].lifeState = row.lifeState;
            LiveTrafficRecord second = tst_record(70001, 1010, 50.1, 8.0, row.callsign);
            second.regcode = row.reg;
            tst_feed({second});
            ASSERT_EQ(std::make_tuple(g_liveRecords[0].callsign, g_liveRecords[0].type),
                      std::make_tuple(row.takenCallsign, row.takenType));
            tst_feed({tst_record(70002, 1020, 51.0, 9.0, row.takenCallsign, row.takenType)});
            EXPECT_EQ(gf_findLiveByHexid(70002), nullptr) << "a second object of one flight";
            if (row.freedCallsign.empty()) continue;
            tst_feed({tst_record(70003, 1020, 52.0, 9.0, row.freedCallsign, row.freedType)});
            EXPECT_NE(gf_findLiveByHexid(70003), nullptr) << "the given-up callsign is free";
        }
}

// Positions within 108 ft of the park airport's elevation (below 10000 ft) are parked traffic.
TEST_F(IntakeTest, AltitudeRuleAgainstTheParkAirportElevation) {
    struct Row {
        bool parkSet;
        double elevation, altitude;
        bool created;
    };
    const Row rows[] = {{true, 1450, 1500, false}, {true, 1450, 1558, false}, {true, 1450, 1559, true},
                        {true, 1450, 0, true},     {true, 9950, 10000, true}, {false, 0, 50, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.elevation << " " << row.altitude);
        gf_resetIntake();
        gf_setParkAirportSet(row.parkSet);
        gf_setParkAirportElevation(row.parkSet ? std::optional<double>(row.elevation) : std::nullopt);
        LiveTrafficRecord r = tst_at(0, 250);
        r.sample.alt = row.altitude;
        tst_feed({r});
        EXPECT_EQ(g_liveRecords.size(), row.created ? 1u : 0u);
    }
    // A known aircraft still in the buffer takes no such sample; one in the simulator does.
    gf_setParkAirportSet(true);
    gf_setParkAirportElevation(1450);
    for (uint32_t state : {buffer, active}) {
        gf_resetIntake();
        tst_feed({tst_at(0, 250)});
        g_liveRecords[0].lifeState = state;
        LiveTrafficRecord r = tst_at(10, 250);
        r.sample.alt = 1500;
        tst_feed({r});
        EXPECT_EQ(g_liveRecords[0].stream.size(), state == buffer ? 1u : 2u) << state;
    }
}

// Due ticks: now plus the delay, shifted by each stamp's whole tenths from the batch median.
TEST_F(IntakeTest, DueTicksFollowTheBatchMedian) {
    struct Row {
        const char* name;
        uint32_t tick;
        int delay;
        std::vector<double> stamps;
        std::vector<uint32_t> due;
    };
    const Row rows[] = {
        {"one record", 5000, 30, {100.0}, {8000}},
        {"two: the later is the reference", 5000, 30, {100.0, 101.55}, {8000 - 150, 8000}},
        {"odd count: the middle stamp", 0, 12, {103.0, 100.0, 101.5}, {1200 + 150, 1200 - 150, 1200}},
        {"truncation toward zero", 0, 0, {20.0, 19.96, 20.04}, {0, 0, 0}},
        {"32-bit wrap", 0xFFFFFF00u, 30, {50.0, 49.0}, {0xFFFFFF00u + 3000u, 0xFFFFFF00u + 2900u}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_resetIntake();
        gf_setAddingAllowed(true);
        g_tickCounter = static_cast<int32_t>(row.tick);
        std::vector<LiveTrafficRecord> batch;
        for (size_t i = 0; i < row.stamps.size(); ++i) batch.push_back(tst_record(20000 + i, row.stamps[i]));
        gf_addTrafficBatch(batch, row.delay);
        StagedRecords staged;
        size_t seen = 0;
        for (gf_takeStagedRecords(staged); !staged.records.empty(); gf_takeStagedRecords(staged))
            for (const LiveTrafficRecord& r : staged.records) {
                ASSERT_LT(r.hexid - 20000, row.due.size());
                EXPECT_EQ(static_cast<uint32_t>(r.sample.dueTick), row.due[r.hexid - 20000]);
                ++seen;
            }
        EXPECT_EQ(seen, row.due.size());
    }
}

// Ctrl-C (or a stopped run) while a snapshot of a large poll is taken in: the rest of it waits
// for no one; without either the whole snapshot is taken.
TEST_F(IntakeTest, ClosingStopsASnapshotBetweenRecords) {
    const struct Row {
        std::atomic<bool>* flag;
        size_t added;
    } rows[] = {{&g_userClosing, 0}, {&g_stopRun, 0}, {nullptr, 1000}};
    uint32_t hexid = 80000;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.added);
        std::vector<LiveTrafficRecord> batch;
        for (int i = 0; i < 1000; ++i, ++hexid)
            batch.push_back(tst_record(hexid, 1000, 50.0, 8.0, fmt::format("T{}", hexid)));
        const size_t before = g_liveRecords.size();
        if (row.flag) *row.flag = true;
        tst_feed(std::move(batch));
        if (row.flag) *row.flag = false;
        EXPECT_EQ(g_liveRecords.size() - before, row.added);
    }
}

// A record whose time or position cannot be used never reaches the live set; the batch says how
// many it lost.
TEST_F(IntakeTest, UnusableRecordsAreDroppedWithACount) {
    gf_setLogCapture(true);
    std::vector<LiveTrafficRecord> batch = {tst_record(50001, 1000), tst_record(50002, 1000, NAN),
                                            tst_record(50003, 1000, 50.0, 181.0),
                                            tst_record(50004, INFINITY)};
    tst_feed(std::move(batch));
    ASSERT_EQ(g_liveRecords.size(), 1u);
    EXPECT_EQ(g_liveRecords[0].hexid, 50001u);
    EXPECT_EQ(gf_capturedLog(),
              "===> gf_addTrafficBatch: 3 records with an invalid time or position dropped\n");
}

// Every record the reader thread hands over arrives once and in feed order (also under TSan).
TEST_F(IntakeTest, ReaderThreadFeedsWhileTheRunThreadTakes) {
    constexpr int kAircraft = 20, kPolls = 40;
    gf_setAddingAllowed(true);
    std::atomic<bool> readerDone{false};
    std::thread reader([&] {
        for (int poll = 0; poll < kPolls; ++poll) {
            std::vector<LiveTrafficRecord> staging;
            for (int a = 0; a < kAircraft; ++a) {
                staging.push_back(tst_record(90000 + a, 1000 + 2 * poll, 40.0 + 0.01 * poll, 0.1 * a,
                                             fmt::format("T{}", a)));
                staging.back().sample.track = poll % 2 ? 95 : 90;  // every poll is a new sample
            }
            gf_addTrafficBatch(staging, poll < 5 ? 6 * poll : 30);
            std::this_thread::yield();
        }
        readerDone = true;
    });
    auto staged = [] {
        std::lock_guard lock(g_addingStackMutex);
        return !g_snapshotBatches.empty() || !g_addingStack.empty();
    };
    while (!readerDone.load() || staged()) {
        gf_takeFromAddingStack();
        ++g_tickCounter;
    }
    reader.join();
    ASSERT_EQ(g_liveRecords.size(), static_cast<size_t>(kAircraft));
    for (const LiveAircraft& ac : g_liveRecords) {
        ASSERT_GE(ac.stream.size(), 5u) << ac.callsign << ": all five snapshots";
        for (size_t i = 1; i < ac.stream.size(); ++i)
            EXPECT_GT(ac.stream[i].lat, ac.stream[i - 1].lat) << ac.callsign << ": feed order";
    }
}

// Connected, the intake takes what the traffic reader polls: the first poll's snapshots reach
// the adding stack without anybody handing them over.
TEST_F(IntakeTest, TheReaderFeedsTheIntakeOnceConnected) {
    struct OneAircraft : TrafficSource {
        void reportsAt(double, const TrafficArea&, std::vector<TrafficReport>& out) override {
            out = {{0x4b1805, "SWR", "A320", "LEMD", "LSZH", "SWR287", "HB-JLT", 0, 47, 8.5, 3000, 160, 137,
                    -700, 160, true, 0.0, 137.0}};
        }
        bool parkedTraffic(std::vector<ParkedTrafficRecord>&) override { return true; }
    };
    gf_setTrafficBatchSink({});
    gf_connectIntake();
    ASSERT_TRUE(gf_startTrafficReader(std::make_unique<OneAircraft>(), 1700000000, std::chrono::hours(1)));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    size_t batches = 0;
    while (batches < 5 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
        std::lock_guard lock(g_addingStackMutex);
        batches = g_snapshotBatches.size();
    }
    gf_stopTrafficReader();
    EXPECT_EQ(batches, 5u) << "the first poll's five snapshots";
    gf_setAddingAllowed(true);
    gf_takeFromAddingStack();
    ASSERT_EQ(g_liveRecords.size(), 1u);
    EXPECT_EQ(g_liveRecords[0].callsign, "SWR287");
}

}  // namespace
