#include <atomic>
#include <mutex>
#include <thread>

#include "core/log.h"
#include "core/params.h"
#include <fmt/format.h>
#include "live/adding_stack.h"
#include "live/removal.h"
#include "feed/traffic_reader.h"
#include "shell/requests.h"
#include "shell/run_control.h"
#include "live_fixture.h"
#include "support/live_builders.h"

namespace {

using IntakeTest = LiveTest;

std::vector<LiveTrafficRecord> tst_batch(std::initializer_list<LiveTrafficRecord> records) {
    return records;
}

// Hands one record over as a buffered snapshot and lets the run thread process it.
void tst_feed(LiveTrafficRecord r) {
    std::vector<LiveTrafficRecord> batch{std::move(r)};
    gf_addTrafficBatch(batch, 0);
    gf_takeFromAddingStack();
}

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
        {"two records: the later is the reference", 5000, 30, {100.0, 101.55}, {8000 - 150, 8000}},
        {"odd count: the middle stamp", 0, 12, {103.0, 100.0, 101.5}, {1200 + 150, 1200 - 150, 1200}},
        {"even count: index count / 2",
         0,
         6,
         {10.0, 11.0, 12.0, 13.0},
         {600 - 200, 600 - 100, 600, 600 + 100}},
        {"truncation toward zero", 0, 0, {20.0, 19.96, 20.04}, {0, 0, 0}},
        {"32-bit wrap of the tick",
         0xFFFFFF00u,
         30,
         {50.0, 49.0},
         {0xFFFFFF00u + 3000u, 0xFFFFFF00u + 3000u - 100u}},
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
        std::vector<LiveTrafficRecord> out;
        do {
            gf_takeStagedRecords(staged);
            for (LiveTrafficRecord& r : staged.records) out.push_back(r);
        } while (!staged.records.empty());
        ASSERT_EQ(out.size(), row.due.size());
        for (const LiveTrafficRecord& r : out)
            EXPECT_EQ(static_cast<uint32_t>(r.sample.dueTick), row.due[r.hexid - 20000])
                << "record " << r.hexid;
    }
}

TEST_F(IntakeTest, LiveBatchIsDroppedWhileTheStackHoldsRecordsOrAddingIsOff) {
    std::vector<LiveTrafficRecord> batch = tst_batch({tst_record(20001, 10), tst_record(20002, 10)});
    gf_addTrafficBatch(batch, 30);
    EXPECT_TRUE(batch.empty());
    EXPECT_TRUE(g_addingStack.empty()) << "adding is off";

    gf_setAddingAllowed(true);
    batch = tst_batch({tst_record(20001, 10, 50, 8, "A1"), tst_record(20002, 10, 50, 8, "A2"),
                       tst_record(20003, 10, 50, 8, "A3")});
    gf_addTrafficBatch(batch, 30);
    EXPECT_TRUE(batch.empty());
    ASSERT_EQ(g_addingStack.size(), 3u);

    gf_takeFromAddingStack();  // two from the back
    ASSERT_EQ(g_addingStack.size(), 1u);
    batch = tst_batch({tst_record(20004, 12)});
    gf_addTrafficBatch(batch, 30);
    EXPECT_TRUE(batch.empty());
    ASSERT_EQ(g_addingStack.size(), 1u) << "a batch arriving while records are left is dropped whole";
    EXPECT_EQ(g_addingStack[0].hexid, 20001u);
    ASSERT_EQ(g_liveRecords.size(), 2u);
    EXPECT_EQ(g_liveRecords[0].hexid, 20003u) << "the stack is worked from the back";
    EXPECT_EQ(g_liveRecords[1].hexid, 20002u);
}

TEST_F(IntakeTest, SnapshotsAreProcessedWholeInArrivalOrderAheadOfTheLiveBatch) {
    gf_setAddingAllowed(true);
    // The same aircraft in three snapshots six seconds apart, then a live poll.
    for (int k = 0; k < 3; ++k) {
        std::vector<LiveTrafficRecord> batch =
            tst_batch({tst_record(30001, 100 + 6 * k, 50.0 + 0.01 * k), tst_record(30002 + k, 100 + 6 * k)});
        gf_addTrafficBatch(batch, 6 * k);
    }
    std::vector<LiveTrafficRecord> live = tst_batch({tst_record(30001, 118, 50.05), tst_record(30009, 118)});
    gf_addTrafficBatch(live, 30);

    StagedRecords staged;
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        gf_takeStagedRecords(staged);
        EXPECT_TRUE(staged.snapshot);
        ASSERT_EQ(staged.records.size(), 2u);
        EXPECT_EQ(staged.records[0].hexid, 30001u) << "staging order within a snapshot";
        EXPECT_EQ(staged.records[0].timeStamp, 100 + 6 * k);
        EXPECT_EQ(staged.records[1].hexid, static_cast<uint32_t>(30002 + k));
    }
    gf_takeStagedRecords(staged);
    EXPECT_FALSE(staged.snapshot);
    ASSERT_EQ(staged.records.size(), 2u);
    EXPECT_EQ(staged.records[0].hexid, 30009u);
}

TEST_F(IntakeTest, OlderSnapshotsReachTheStreamBeforeNewerOnes) {
    g_tickCounter = 1000;
    for (int k = 0; k < 5; ++k) {
        std::vector<LiveTrafficRecord> batch = tst_batch({tst_record(30001, 100 + 6 * k, 50.0 + 0.01 * k)});
        gf_addTrafficBatch(batch, 6 * k);
    }
    tst_drainStaged(5);
    ASSERT_EQ(g_liveRecords.size(), 1u);
    const LiveAircraft& ac = g_liveRecords[0];
    ASSERT_EQ(ac.stream.size(), 5u) << "every snapshot is a sample; none fell to the one-second filter";
    for (int k = 0; k < 5; ++k) EXPECT_EQ(ac.stream[k].dueTick, 1000 + 600 * k);
    EXPECT_EQ(ac.lastSampleTime, 124);
}

TEST_F(IntakeTest, RecordsWithInvalidTimeOrPositionAreDroppedAndCountedOnce) {
    gf_openLog("Trelvo", "test", "P3D");
    gf_setLogCapture(true);
    std::vector<LiveTrafficRecord> batch =
        tst_batch({tst_record(40001, NAN), tst_record(40002, 100, 91.0), tst_record(40003, 100, 50, -180.5),
                   tst_record(40004, 100, INFINITY), tst_record(40005, 100)});
    gf_addTrafficBatch(batch, 0);
    tst_drainStaged(2);
    ASSERT_EQ(g_liveRecords.size(), 1u);
    EXPECT_EQ(g_liveRecords[0].hexid, 40005u);
    EXPECT_EQ(g_liveRecords[0].stream[0].dueTick, 0) << "the median is taken over the usable records only";
    const std::string log = gf_capturedLog();
    EXPECT_NE(log.find("===> gf_addTrafficBatch: 4 records with an invalid time or position dropped\n"),
              std::string::npos)
        << log;
}

TEST_F(IntakeTest, FiltersOfAKnownAircraft) {
    struct Row {
        const char* name;
        double dt;
        double backGs, newGs;
        double backTrack, newTrack;
        bool airborne;
        bool accepted;
    };
    const Row rows[] = {
        {"1.0 s after the previous one", 1.0, 250, 250, 90, 95, true, false},
        {"1.01 s after", 1.01, 250, 250, 90, 95, true, true},
        {"older sample", -3, 250, 250, 90, 95, true, false},
        {"ten times faster", 10, 20, 200, 90, 95, true, false},
        {"just below ten times faster", 10, 20, 199, 90, 95, true, true},
        {"ten times slower", 10, 200, 20, 90, 95, true, false},
        {"crawl to 80 kt", 10, 5, 80, 90, 95, false, false},
        {"crawl to 79 kt", 10, 5, 79, 90, 95, false, true},
        {"80 kt to a crawl", 10, 80, 5, 90, 95, false, false},
        {"200 kt steady, 4.37 s", 4.37, 200, 200, 90, 91, true, false},
        {"200 kt steady, 4.38 s", 4.38, 200, 200, 90, 91, true, true},
        {"200 kt turning, 2 s", 2, 200, 200, 90, 91.5, true, true},
        {"120 kt steady is not fast, 2 s", 2, 120, 120, 90, 90, true, true},
        {"taxi 10 kt steady, 3.88 s", 3.88, 10, 10, 90, 92, false, false},
        {"taxi 10 kt steady, 3.9 s", 3.9, 10, 10, 90, 92, false, true},
        {"standing, 15 s", 15, 0, 0, 90, 90, false, false},
        {"standing, 15.5 s", 15.5, 0, 0, 90, 90, false, true},
        {"taxi 1 kt, capped at 15 s", 15.5, 1, 1, 90, 90, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_resetIntake();
        LiveTrafficRecord first = tst_record(50001, 1000, 50.0, 8.0);
        first.sample.gs = row.backGs;
        first.sample.track = row.backTrack;
        first.sample.airborne = row.airborne;
        first.sample.alt = row.airborne ? 12000 : 0;
        tst_feed(first);
        ASSERT_EQ(g_liveRecords.size(), 1u);
        LiveTrafficRecord next = tst_record(50001, 1000 + row.dt, 50.01, 8.01);
        next.sample.gs = row.newGs;
        next.sample.track = row.newTrack;
        next.sample.airborne = row.airborne;
        next.sample.alt = row.airborne ? 12000 : 0;
        tst_feed(next);
        EXPECT_EQ(g_liveRecords[0].stream.size(), row.accepted ? 2u : 1u);
        EXPECT_EQ(g_liveRecords[0].lastSampleTime, row.accepted ? 1000 + row.dt : 1000);
    }
}

// A change of speed is refused once; the report after it that confirms the new speed is taken;
// one that jumps against both the newest sample and the report before is not.
TEST_F(IntakeTest, SpeedChangeConfirmedByTheNextReportIsTaken) {
    struct Row {
        const char* name;
        double speeds[3];  // after a first report at 5 kt
        size_t streamSize;
    };
    const Row rows[] = {
        {"take-off after a gap", {160, 158, 161}, 3},
        {"one spike", {160, 6, 7}, 3},
        {"jumps back and forth", {160, 5, 160}, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_resetIntake();
        LiveTrafficRecord first = tst_record(50001, 1000, 50.0, 8.0);
        first.sample.gs = 5;
        first.sample.airborne = 0;
        first.sample.alt = 0;
        tst_feed(first);
        for (int i = 0; i < 3; ++i) {
            LiveTrafficRecord r = tst_record(50001, 1020 + 20 * i, 50.0 + 0.01 * (i + 1), 8.0);
            r.sample.gs = row.speeds[i];
            r.sample.airborne = 0;
            r.sample.alt = 0;
            tst_feed(r);
        }
        EXPECT_EQ(g_liveRecords[0].stream.size(), row.streamSize);
    }
}

TEST_F(IntakeTest, SteadyTrackFilterIsOffWhileTheStreamIsExtended) {
    tst_feed(tst_record(50001, 1000, 50.0));
    g_liveRecords[0].extension = 1;
    tst_feed(tst_record(50001, 1002, 50.01));
    EXPECT_EQ(g_liveRecords[0].stream.size(), 2u);
}

TEST_F(IntakeTest, KnownAircraftInRemovalOrRespawnTakesNoSamples) {
    for (uint32_t state : {liveryrespawn, removingfromsim}) {
        SCOPED_TRACE(state);
        gf_resetIntake();
        tst_feed(tst_record(50001, 1000, 50.0));
        g_liveRecords[0].lifeState = state;
        tst_feed(tst_record(50001, 1010, 50.1));
        EXPECT_EQ(g_liveRecords[0].stream.size(), 1u);
        EXPECT_EQ(g_liveRecords[0].lastSampleTime, 1000);
    }
}

TEST_F(IntakeTest, NewAircraftRules) {
    struct Row {
        const char* name;
        std::string type;
        std::string reg;
        std::string callsign;
        bool created;
        std::string typeAfter;
    };
    const Row rows[] = {
        {"same callsign and type as a live one", "B738", "D-AIXX", "DLH4AB", false, ""},
        {"same callsign, other type", "B744", "D-AIXX", "DLH4AB", true, "B744"},
        {"no callsign is never a duplicate", "B738", "D-AIXX", "", true, "B738"},
        {"empty type from the registration", "", "D-ABCD", "DLH5CD", true, "B738"},
        {"unknown type replaced by the registration's", "XXXX", "D-ABCD", "DLH5CD", true, "B738"},
        {"unknown type, registration without type", "XXXX", "D-EFGH", "DLH5CD", false, ""},
        {"unknown type, unknown registration", "XXXX", "N12345", "DLH5CD", false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_resetIntake();
        tst_feed(tst_record(60001, 1000, 50.0, 8.0, "DLH4AB", "B738"));
        LiveTrafficRecord r = tst_record(60002, 1000, 51.0, 9.0, row.callsign, row.type);
        r.regcode = row.reg;
        tst_feed(r);
        ASSERT_EQ(g_liveRecords.size(), row.created ? 2u : 1u);
        if (row.created) EXPECT_EQ(g_liveRecords[1].type, row.typeAfter);
    }
}

// The index keeps finding the right aircraft while records are erased in order or by moving
// the last into the gap, renamed at spawn, or added without the intake.
TEST_F(IntakeTest, IndexFollowsErasuresRenamesAndDirectAdds) {
    for (uint32_t h : {60001u, 60002u, 60003u, 60004u})
        tst_feed(tst_record(h, 1000, 50.0, 8.0, fmt::format("DLH{}", h), "B738"));
    ASSERT_EQ(g_liveRecords.size(), 4u);
    g_liveRecords[0].eraseFlag = 1;
    g_liveRecords[2].eraseFlag = 1;
    gf_eraseFinishedLive();
    EXPECT_EQ(gf_findLiveByHexid(60004), &g_liveRecords[1]);
    EXPECT_EQ(gf_findLiveByHexid(60002), &g_liveRecords[0]);
    EXPECT_EQ(gf_findLiveByHexid(60001), nullptr);
    EXPECT_FALSE(gf_liveWithCallsignAndType("DLH60001", "B738"));
    EXPECT_TRUE(gf_liveWithCallsignAndType("DLH60004", "B738"));
    EXPECT_FALSE(gf_liveWithCallsignAndType("DLH60004", "B744"));

    gf_liveErasing(g_liveRecords[0]);
    g_liveRecords[0] = std::move(g_liveRecords.back());
    g_liveRecords.pop_back();
    EXPECT_EQ(gf_findLiveByHexid(60004), &g_liveRecords[0]);
    EXPECT_FALSE(gf_liveWithCallsignAndType("DLH60002", "B738"));

    g_liveRecords[0].callsign = "D-ABCD";
    gf_liveKeyChanged("DLH60004", "B738", g_liveRecords[0]);
    EXPECT_TRUE(gf_liveWithCallsignAndType("D-ABCD", "B738"));
    EXPECT_FALSE(gf_liveWithCallsignAndType("DLH60004", "B738"));

    g_liveRecords.push_back(tst_liveAircraft(70001, active));
    EXPECT_EQ(gf_findLiveByHexid(70001), &g_liveRecords[1]);
    EXPECT_TRUE(gf_liveWithCallsignAndType("DLH4AB", "B738"));

    // A record of an erased aircraft makes a new one; a known one adds a sample to its own.
    tst_feed(tst_record(60001, 1000, 50.0, 8.0, "DLH60001", "B738"));
    tst_feed(tst_record(60004, 1005, 50.1, 8.0, "D-ABCD", "B738"));
    ASSERT_EQ(g_liveRecords.size(), 3u);
    EXPECT_EQ(g_liveRecords[2].hexid, 60001u);
    EXPECT_EQ(g_liveRecords[0].stream.size(), 2u);
}

// Ctrl-C while a snapshot of a large poll is being taken in: the rest of it waits for no one.
TEST_F(IntakeTest, ClosingStopsASnapshotBetweenRecords) {
    std::vector<LiveTrafficRecord> batch;
    for (uint32_t h = 0; h < 1000; ++h) batch.push_back(tst_record(80000 + h, 1000, 50.0, 8.0, "", "B738"));
    gf_addTrafficBatch(batch, 0);
    g_userClosing = true;
    gf_takeFromAddingStack();
    EXPECT_TRUE(g_liveRecords.empty());
}

TEST_F(IntakeTest, CategoryGates) {
    struct Row {
        const char* type;
        BoolParameter* gate;
    };
    const Row rows[] = {{"C172", &LIGHT_AIRCRAFT}, {"F16", &HIGH_PERF_AIRCRAFT},
                        {"EC35", &HELICOPTERS},    {"C56X", nullptr},
                        {"B738", nullptr},         {"B744", nullptr}};
    for (const Row& row : rows) {
        for (bool on : {true, false}) {
            SCOPED_TRACE(std::string(row.type) + (on ? " gates on" : " gates off"));
            gf_resetIntake();
            for (BoolParameter* p : {&LIGHT_AIRCRAFT, &HIGH_PERF_AIRCRAFT, &HELICOPTERS}) p->set(on);
            tst_feed(tst_record(60001, 1000, 50.0, 8.0, "ABC123", row.type));
            EXPECT_EQ(g_liveRecords.size(), (on || !row.gate) ? 1u : 0u);
        }
    }
}

TEST_F(IntakeTest, AltitudeRuleAgainstTheParkAirportElevation) {
    struct Row {
        bool parkSet;
        double elevation;
        double altitude;
        bool created;
    };
    const Row rows[] = {
        {true, 1450, 1500, false}, {true, 1450, 1558, false}, {true, 1450, 1559, true},
        {true, 1450, 0, true},     {true, 1450, 1700, true},  {true, 9950, 10000, true},
        {false, 0, 50, true},      {false, 0, 1500, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "elevation " << row.elevation << " altitude " << row.altitude);
        gf_resetIntake();
        gf_setParkAirportSet(row.parkSet);
        gf_setParkAirportElevation(row.parkSet ? std::optional<double>(row.elevation) : std::nullopt);
        LiveTrafficRecord r = tst_record(60001, 1000, 10.0, 10.0);
        r.sample.alt = row.altitude;
        tst_feed(r);
        EXPECT_EQ(g_liveRecords.size(), row.created ? 1u : 0u);
    }
}

TEST_F(IntakeTest, NewAircraftIsBuiltFromTheRecord) {
    g_tickCounter = 700;
    LiveTrafficRecord r = tst_record(70001, 1234.5, 50.5, 8.5, "DLH4AB", "B744");
    r.spawnCallsign = "junk";
    r.coupledCallsign = "junk";
    r.coupledSearched = 1;
    tst_feed(r);
    ASSERT_EQ(g_liveRecords.size(), 1u);
    const LiveAircraft& ac = g_liveRecords[0];
    EXPECT_EQ(ac.hexid, 70001u);
    EXPECT_EQ(ac.spawnCallsign, "DLH4AB");
    EXPECT_EQ(ac.coupledCallsign, "");
    EXPECT_EQ(ac.coupledSearched, 0);
    EXPECT_EQ(ac.category, 3);
    EXPECT_EQ(ac.maxClimbStep, 0.5);
    EXPECT_EQ(ac.slowTaxiSpeed, 3);
    EXPECT_DOUBLE_EQ(ac.turnRate, gf_degToRad(0.05));
    EXPECT_EQ(ac.currentTurnRate, ac.turnRate);
    EXPECT_EQ(ac.lifeState, buffer);
    EXPECT_EQ(ac.flightState, birth);
    EXPECT_EQ(ac.lastSampleTime, 1234.5);
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_EQ(ac.stream[0].dueTick, 700);
    EXPECT_EQ(ac.stream[0].lat, 50.5);
}

// 40 active aircraft 1..40 nm north of the user.
void tst_fortyActive() {
    g_userPosition.lat = 50.0;
    g_userPosition.lon = 8.0;
    for (int i = 0; i < 40; ++i) {
        LiveAircraft ac = tst_liveAircraft(80000 + i, active, 100 + i);
        ac.callsign = fmt::format("TST{}", i);
        const LatLon p = tst_northOf(50.0, 8.0, 1.0 + ((i * 7) % 40));
        ac.lat = p.lat;
        ac.lon = p.lon;
        g_liveRecords.push_back(ac);
    }
}

TEST_F(IntakeTest, LoweringMaxLiveRemovesTheFarthestOnTheRunThread) {
    tst_fortyActive();
    gf_connectIntake();
    MAX_LIVE_SEL.set(30);
    gf_postRunRequest(RunRequest::ApplyMaxLive);  // as the window does
    EXPECT_EQ(gf_countActiveLive(), 40) << "the request waits for the run thread";
    gf_carryOutRunRequest(RunRequest::ApplyMaxLive);
    EXPECT_EQ(gf_countActiveLive(), 30);
    ASSERT_EQ(g_removeDeque.size(), 10u);
    for (const LiveAircraft& ac : g_liveRecords) {
        const double nm = gf_haversineNm({50.0, 8.0}, {ac.lat, ac.lon});
        SCOPED_TRACE(ac.callsign);
        EXPECT_EQ(ac.lifeState, nm > 30.5 ? removingfromsim : active);
    }
    gf_carryOutRunRequest(RunRequest::ApplyMaxLive);
    EXPECT_EQ(g_removeDeque.size(), 10u) << "a request is carried out once";
}

TEST_F(IntakeTest, MakeRoomNeedsAnAircraftMoreThanATenthFarther) {
    tst_fortyActive();
    EXPECT_TRUE(lf_makeRoom(39.95)) << "the farthest is 40 nm: not 0.1 nm farther";
    EXPECT_EQ(gf_countActiveLive(), 40);
    EXPECT_FALSE(lf_makeRoom(39.85));
    EXPECT_EQ(gf_countActiveLive(), 39);
    ASSERT_EQ(g_removeDeque.size(), 1u);
    EXPECT_EQ(gf_findLiveByObjectId(g_removeDeque[0])->lifeState, removingfromsim);
    g_liveRecords.clear();
    EXPECT_TRUE(lf_makeRoom(-1));
}

TEST_F(IntakeTest, ReservationsRunOncePerProcess) {
    gf_reserveLiveLists();
    EXPECT_GE(g_liveRecords.capacity(), 512u);
    EXPECT_GE(g_staticAircraft.capacity(), 256u);
    g_liveRecords.shrink_to_fit();
    gf_reserveLiveLists();
    EXPECT_LT(g_liveRecords.capacity(), 512u);
}

// The reader thread hands over snapshots and live polls while the run thread ticks; every
// record must arrive once, in order, without the run thread ever seeing a half-moved batch.
TEST_F(IntakeTest, ReaderThreadFeedsWhileTheRunThreadTicks) {
    constexpr int kAircraft = 50;
    constexpr int kPolls = 60;
    gf_setAddingAllowed(true);
    std::atomic<bool> readerDone{false};
    std::thread reader([&] {
        for (int poll = 0; poll < kPolls; ++poll) {
            std::vector<LiveTrafficRecord> staging;
            for (int a = 0; a < kAircraft; ++a) {
                staging.push_back(tst_record(90000 + a, 1000 + 2 * poll, 40.0 + 0.01 * poll, 0.1 * a,
                                             fmt::format("T{}", a)));
                staging.back().sample.track = poll % 2 ? 95 : 90;  // no steady track: every poll counts
            }
            gf_addTrafficBatch(staging, poll < 5 ? 6 * poll : 30);
            EXPECT_TRUE(staging.empty());
            std::this_thread::yield();
        }
        readerDone = true;
    });
    auto staged = [] {
        std::lock_guard lock(g_addingStackMutex);
        return !g_snapshotBatches.empty() || !g_addingStack.empty();
    };
    int ticks = 0;
    while (!readerDone.load() || staged()) {
        gf_takeFromAddingStack();
        ++g_tickCounter;
        if (++ticks > 10'000'000) break;
    }
    reader.join();
    gf_takeFromAddingStack();
    ASSERT_EQ(g_liveRecords.size(), static_cast<size_t>(kAircraft));
    for (const LiveAircraft& ac : g_liveRecords) {
        SCOPED_TRACE(ac.callsign);
        ASSERT_GE(ac.stream.size(), 5u) << "all five snapshots";
        for (size_t i = 1; i < ac.stream.size(); ++i) {
            EXPECT_GT(ac.stream[i].lat, ac.stream[i - 1].lat) << "samples in feed order";
            EXPECT_GT(ac.stream[i].dueTick - ac.stream[i - 1].dueTick, 0);
        }
    }
}

}  // namespace

namespace {

// A source that shows one aircraft at every time asked for.
class OneAircraftSource : public TrafficSource {
  public:
    void reportsAt(double runSeconds, const TrafficArea&, std::vector<TrafficReport>& out) override {
        TrafficReport r;
        r.hexid = 0x3C4A5B;
        r.type = "B738";
        r.callsign = "DLH4AB";
        r.t = runSeconds;
        r.lat = 47.0 + runSeconds / 1000.0;
        r.lon = 8.5;
        r.altFt = 5000;
        r.gsKt = 200;
        r.trackDeg = runSeconds;  // a turning track: no sample is too close to the last
        r.airborne = true;
        out.push_back(r);
    }
    bool parkedTraffic(std::vector<ParkedTrafficRecord>&) override { return false; }
};

TEST_F(IntakeTest, ReaderBatchesReachTheIntakeOnceConnected) {
    gf_connectIntake();
    OneAircraftSource source;
    TrafficReader reader(source, 1000.0);
    g_tickCounter = 50;
    reader.pollOnce(1100.0);  // five buffered snapshots
    {
        std::lock_guard lock(g_addingStackMutex);
        EXPECT_EQ(g_snapshotBatches.size(), 5u);
    }
    tst_drainStaged(5);
    ASSERT_EQ(g_liveRecords.size(), 1u);
    ASSERT_EQ(g_liveRecords[0].stream.size(), 5u);
    EXPECT_EQ(g_liveRecords[0].stream[0].dueTick, 50);
    EXPECT_EQ(g_liveRecords[0].stream[4].dueTick, 50 + 2400);

    gf_setAddingAllowed(true);
    reader.pollOnce(1102.0);
    std::lock_guard lock(g_addingStackMutex);
    ASSERT_EQ(g_addingStack.size(), 1u);
    EXPECT_EQ(g_addingStack[0].sample.dueTick, 55 + 3000);
}

}  // namespace
