#include "feed/traffic_reader.h"

#include <cmath>
#include <condition_variable>
#include <mutex>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/geo.h"
#include "core/log.h"
#include "feed/feed_state.h"
#include "core/params.h"
#include "platform/scenario_source.h"
#include "shell/window.h"
#include "sim/sim_state.h"
#include "sim/sim_link.h"
#include "shell/run_control.h"
#include "support/work_folder.h"

namespace {

constexpr double kRunStart = 1700000000;  // UTC seconds of the scenario's t = 0

struct Batch {
    int delay;
    std::vector<LiveTrafficRecord> records;
};

class TrafficReaderTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        // The user aircraft where the tracks fly: the reader asks for the traffic around it.
        UserSnapshot user;
        user.lat = 47;
        user.lon = 8.5;
        gf_storeUserSnapshot(user);
        gf_setTrafficBatchSink([this](std::vector<LiveTrafficRecord>& batch, int delay) {
            batches_.push_back({delay, std::move(batch)});
        });
    }

    // A track whose latitude tells the row's time: 47 + t / 1000.
    static ScenarioTrack track(uint32_t hexid, std::string callsign, const std::vector<double>& times) {
        ScenarioTrack t{hexid, "SWR", "A320", "LEMD", "LSZH", std::move(callsign), "HB-JLT", {}};
        for (double time : times)
            t.rows.push_back({time, 47 + time / 1000, 8.5, 3000, 160, 137, -700, 0, true});
        return t;
    }
    static std::shared_ptr<Scenario> scenarioOf(std::vector<ScenarioTrack> tracks) {
        auto s = std::make_shared<Scenario>();
        s->tracks = std::move(tracks);
        return s;
    }
    static std::vector<double> rowTimes(const Batch& batch) {
        std::vector<double> times;
        for (const auto& r : batch.records) times.push_back(r.timeStamp - kRunStart);
        return times;
    }

    std::vector<Batch> batches_;
};

TEST_F(TrafficReaderTest, FirstPollDeliversFiveSnapshotsThenEveryPollHasDelayThirty) {
    std::vector<double> times;
    for (double t = -60; t <= 100; t += 4) times.push_back(t);
    ScenarioSource source(scenarioOf({track(0x4b1805, "SWR287", times)}));
    TrafficReader reader(source, kRunStart);

    reader.pollOnce(kRunStart + 10);  // data times -20, -14, -8, -2, 4
    reader.pollOnce(kRunStart + 12);  // data time 12
    reader.pollOnce(kRunStart + 13);  // data time 13: still the row of 12

    struct Row {
        int delay;
        double rowTime;  // the last row at or before the data time
    };
    const Row expected[] = {{0, -20}, {6, -16}, {12, -8}, {18, -4}, {24, 4}, {30, 12}, {30, 12}};
    ASSERT_EQ(batches_.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(batches_[i].delay, expected[i].delay);
        EXPECT_EQ(rowTimes(batches_[i]), std::vector<double>{expected[i].rowTime});
        EXPECT_DOUBLE_EQ(batches_[i].records[0].sample.lat, 47 + expected[i].rowTime / 1000);
    }
}

TEST_F(TrafficReaderTest, DecodesEveryField) {
    auto scenario = scenarioOf({track(0x4b1805, "SWR287", {0})});
    scenario->tracks[0].rows[0] = {0, 47.5, 8.25, 4500, 182, 137.5, -640, 190, true, -15.0, 180.0};
    ScenarioSource source(scenario);
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart + 6);  // only the last snapshot (data time 0) shows the track
    ASSERT_EQ(batches_.size(), 5u);
    ASSERT_EQ(batches_[4].records.size(), 1u);
    const LiveTrafficRecord& r = batches_[4].records[0];
    EXPECT_EQ(r.airline, "SWR");
    EXPECT_EQ(r.type, "A320");
    EXPECT_EQ(r.origin, "LEMD");
    EXPECT_EQ(r.destination, "LSZH");
    EXPECT_EQ(r.callsign, "SWR287");
    EXPECT_EQ(r.spawnCallsign, "");
    EXPECT_EQ(r.coupledCallsign, "");
    EXPECT_EQ(r.regcode, "HB-JLT");
    EXPECT_EQ(r.coupledSearched, 0);
    EXPECT_EQ(r.sample.lat, 47.5);
    EXPECT_EQ(r.sample.lon, 8.25);
    EXPECT_EQ(r.sample.alt, 4500);
    EXPECT_EQ(r.sample.gs, 182);
    EXPECT_EQ(r.sample.track, 137.5);
    EXPECT_EQ(r.sample.vrate, -640);
    EXPECT_EQ(r.sample.airspeed, 190);
    EXPECT_EQ(r.sample.airborne, 1);
    EXPECT_EQ(r.sample.stationary, 0);
    EXPECT_EQ(r.sample.dueTick, 0);
    EXPECT_EQ(r.sample.attitudeFlag, 1);
    EXPECT_DOUBLE_EQ(*r.sample.roll, -kPi / 12);
    EXPECT_DOUBLE_EQ(*r.sample.trueHeading, kPi);
    EXPECT_EQ(r.timeStamp, kRunStart);
    EXPECT_EQ(r.hexid, 0x4b1805u);
}

TEST_F(TrafficReaderTest, OnTheGroundTheAltitudeIsZeroAsTheServiceReportsIt) {
    auto scenario = scenarioOf({track(0x4b1805, "SWR287", {0})});
    scenario->tracks[0].rows[0] = {0, 47.45, 8.56, 1416, 12, 137.5, 0, 0, false, std::nullopt, std::nullopt};
    ScenarioSource source(scenario);
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart + 6);
    ASSERT_EQ(batches_.size(), 5u);
    ASSERT_EQ(batches_[4].records.size(), 1u);
    EXPECT_EQ(batches_[4].records[0].sample.alt, 0);
    EXPECT_EQ(batches_[4].records[0].sample.airborne, 0);
}

TEST_F(TrafficReaderTest, StaleReportsAndEndedTracksAreNotShown) {
    // Rows at 0, 10 and 40: a 30-second gap, and the track ends at 40.
    ScenarioSource source(scenarioOf({track(0x4b1805, "SWR287", {0, 10, 40})}));
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart - 100);  // the buffered snapshots: nothing yet
    struct Row {
        double dataTime;
        std::vector<double> shown;
    };
    const Row rows[] = {
        {-0.5, {}},  {0, {0}},   {9.9, {0}}, {20, {10}},  {30, {10}},  // exactly 20 s old: still shown
        {30.01, {}}, {39.9, {}}, {40, {40}}, {40.01, {}}, {100, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dataTime);
        batches_.clear();
        reader.pollOnce(kRunStart + row.dataTime);
        ASSERT_EQ(batches_.size(), 1u);
        EXPECT_EQ(rowTimes(batches_[0]), row.shown);
    }
}

TEST_F(TrafficReaderTest, StaticAddressesAreNeverDeliveredNorGathered) {
    ScenarioSource source(scenarioOf({track(10000, "STAT1", {0}), track(1, "STAT2", {0}),
                                      track(10001, "LIVE1", {0}), track(0xFFFFFF, "LIVE2", {0})}));
    TrafficReader reader(source, kRunStart);
    gf_startCallsignGathering();
    reader.pollOnce(kRunStart - 100);
    reader.pollOnce(kRunStart);
    ASSERT_EQ(batches_.size(), 6u);
    std::vector<uint32_t> hexids;
    for (const auto& r : batches_[5].records) hexids.push_back(r.hexid);
    EXPECT_EQ(hexids, (std::vector<uint32_t>{10001, 0xFFFFFF}));
    GatheredCallsigns gathered = gf_takeGatheredCallsigns();
    EXPECT_EQ(gathered.callsigns, (std::unordered_set<std::string>{"LIVE1", "LIVE2"}));
    EXPECT_EQ(gathered.hexids, (std::unordered_set<uint32_t>{10001, 0xFFFFFF}));
}

TEST_F(TrafficReaderTest, TrafficTimeIsNewestStampOfThePollOrZero) {
    ScenarioSource source(scenarioOf({track(0x4b1805, "A", {-30, -3, 2}), track(0x4b1806, "B", {-28, 3})}));
    TrafficReader reader(source, kRunStart);
    gf_setTrafficTime(123);
    // Snapshots at -29.5, -23.5, -17.5, -11.5 and -5.5: the newest row shown is B's -28; the
    // last snapshot is empty (both rows stale) but the poll as a whole brought records.
    reader.pollOnce(kRunStart + 0.5);
    EXPECT_TRUE(batches_.back().records.empty());
    EXPECT_EQ(gf_trafficTime(), kRunStart - 28);
    reader.pollOnce(kRunStart + 3);  // rows 2 and 3
    EXPECT_EQ(gf_trafficTime(), kRunStart + 3);
    reader.pollOnce(kRunStart + 60);  // both tracks ended
    EXPECT_EQ(gf_trafficTime(), 0);
    EXPECT_EQ(batches_.back().records.size(), 0u);
}

TEST_F(TrafficReaderTest, BatchesWithoutSinkAreDroppedButTimeIsKept) {
    gf_setTrafficBatchSink({});
    ScenarioSource source(scenarioOf({track(0x4b1805, "A", {0, 5})}));
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart);
    reader.pollOnce(kRunStart + 5);
    EXPECT_TRUE(batches_.empty());
    EXPECT_EQ(gf_trafficTime(), kRunStart + 5);
}

// Serves fixed reports; the parked answer can be held back until the test releases it.
class FakeSource : public TrafficSource {
  public:
    std::vector<TrafficReport> reports;
    TrafficArea asked;
    std::optional<double> qnh;
    std::optional<double> nearestQnh() override { return qnh; }
    void reportsAt(double, const TrafficArea& area, std::vector<TrafficReport>& out) override {
        asked = area;
        out.insert(out.end(), reports.begin(), reports.end());
    }
    bool parkedTraffic(std::vector<ParkedTrafficRecord>& out) override {
        std::unique_lock lock(mutex);
        ++parkedCalls;
        cv.notify_all();
        cv.wait(lock, [&] { return released; });
        if (!answer) return false;
        out.push_back(
            {"SWR", "A20N", fmt::format("ANSWER{}", parkedCalls), "HB-JDA", 47.45, 8.56, 0x4b1a2b, 3, ""});
        return true;
    }
    std::mutex mutex;
    std::condition_variable cv;
    bool released = true;
    bool answer = true;
    int parkedCalls = 0;
};

TEST_F(TrafficReaderTest, BadReportsAreDroppedAndReportedOnce) {
    gf_setLogCapture(true);
    FakeSource source;
    TrafficReport good{0x4b1805, "SWR", "A320", "", "", "SWR1", "", 0, 47, 8};
    TrafficReport noLat = good, farLat = good, farLon = good, badRoll = good;
    noLat.hexid = 0x400001, noLat.lat = std::nan("");
    farLat.hexid = 0x400002, farLat.lat = -90.5;
    farLon.hexid = 0x400003, farLon.lon = 180.5;
    badRoll.hexid = 0x400004, badRoll.rollDeg = std::numeric_limits<double>::infinity();
    TrafficReport wide = good;
    wide.hexid = 0x1000000;  // not a 24-bit address
    source.reports = {noLat, good, farLat, farLon, badRoll, wide};
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart);
    ASSERT_EQ(batches_.size(), 5u);
    for (const Batch& b : batches_) {
        ASSERT_EQ(b.records.size(), 1u);
        EXPECT_EQ(b.records[0].hexid, 0x4b1805u);
    }
    EXPECT_EQ(reader.badReports(), 25);
    EXPECT_EQ(gf_capturedLog(),
              "===> traffic report 400001 dropped: a number is not finite or out of range\n");
}

// The traffic is asked for around the user aircraft within the range the window shows; the QNH
// comes with it when the source gives one.
TEST_F(TrafficReaderTest, PollAsksAroundTheUserWithinTheRangeAndTakesTheQnh) {
    g_rangeNm = 25;
    FakeSource source;
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart);
    EXPECT_EQ(source.asked.center.lat, 47);
    EXPECT_EQ(source.asked.center.lon, 8.5);
    EXPECT_EQ(source.asked.radiusNm, 25);
    EXPECT_EQ(g_qnh.load(), 1013);
    source.qnh = 1030.5;
    reader.pollOnce(kRunStart + 2);
    EXPECT_EQ(g_qnh.load(), 1030.5);
}

// Finite but absurd numbers are dropped like bad ones; directions of any size are folded.
TEST_F(TrafficReaderTest, ReportsOutsidePhysicalBoundsAreDroppedAndTracksFolded) {
    struct Row {
        double altFt, gsKt, vrateFpm, rollDeg, trackDeg, headingDeg;
        bool kept;
        double wantTrackDeg, wantHeadingDeg;
    };
    const Row rows[] = {
        {1e300, 0, 0, 0, 0, 0, false, 0, 0},     {-2001, 0, 0, 0, 0, 0, false, 0, 0},
        {0, 1e300, 0, 0, 0, 0, false, 0, 0},     {0, -1, 0, 0, 0, 0, false, 0, 0},
        {0, 0, 40001, 0, 0, 0, false, 0, 0},     {0, 0, 0, 181, 0, 0, false, 0, 0},
        {100000, 2000, -40000, -180, -720, -90, true, 0, 270},
        {0, 0, 0, 0, 725, 360, true, 5, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.altFt << " ft " << row.gsKt << " kt " << row.trackDeg << " deg");
        batches_.clear();
        FakeSource source;
        TrafficReport report{0x4b1805, "SWR", "A320", "", "", "SWR1", "", 0, 47, 8, row.altFt, row.gsKt,
                             row.trackDeg, row.vrateFpm, 0, true, row.rollDeg, row.headingDeg};
        source.reports = {report};
        TrafficReader reader(source, kRunStart);
        reader.pollOnce(kRunStart);
        EXPECT_EQ(reader.badReports(), row.kept ? 0 : 5);
        ASSERT_EQ(batches_[0].records.size(), row.kept ? 1u : 0u);
        if (!row.kept) continue;
        EXPECT_DOUBLE_EQ(batches_[0].records[0].sample.track, row.wantTrackDeg);
        EXPECT_DOUBLE_EQ(*batches_[0].records[0].sample.trueHeading, gf_degToRad(row.wantHeadingDeg));
    }
}

// The first report of a hexid in a poll wins; a repeat is dropped, counted and logged once.
TEST_F(TrafficReaderTest, RepeatedAddressInOnePollIsDroppedAndReported) {
    gf_setLogCapture(true);
    FakeSource source;
    TrafficReport first{0x4b1805, "SWR", "A320", "", "", "SWR1", "", 0, 47, 8};
    TrafficReport repeat = first;
    repeat.callsign = "SWR3";
    source.reports = {first, repeat};
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart);
    ASSERT_EQ(batches_.size(), 5u);
    EXPECT_EQ(batches_[4].records.size(), 1u);
    EXPECT_EQ(batches_[4].records[0].callsign, "SWR1");
    EXPECT_EQ(reader.repeatedReports(), 5);
    EXPECT_EQ(gf_capturedLog(), "===> traffic report 4B1805 dropped: its hexid came twice in one poll\n");
}

class ReaderThreadTest : public TrafficReaderTest {
  protected:
    void TearDown() override {
        gf_stopTrafficReader();
        TrafficReaderTest::TearDown();
    }
};

TEST_F(ReaderThreadTest, ParkedTrafficIsDeliveredInOrder) {
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(static_cast<int64_t>(kRunStart))); });
    auto scenario = std::make_shared<Scenario>();
    scenario->parked = {{0x4b1a2b, "SWR", "A20N", "SWR12", "HB-JDA", 47.4531, 8.5620, 3, "gate A12"},
                        {0x3c6444, "DLH", "A321", "DLH4KT", "D-AISQ", 47.4540, 8.5630, 0, ""},
                        {0x500, "", "C172", "HBCZA", "HB-CZA", 47.46, 8.55, -2, "GA apron"}};
    ASSERT_TRUE(gf_startTrafficReader(std::make_unique<ScenarioSource>(scenario), kRunStart));
    EXPECT_FALSE(gf_startTrafficReader(std::make_unique<ScenarioSource>(scenario), kRunStart));
    ASSERT_TRUE(gf_requestParkedTraffic());
    std::vector<ParkedTrafficRecord> list = gf_takeParkedTraffic();
    ASSERT_EQ(list.size(), 3u);
    for (size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(i);
        const ScenarioParked& p = scenario->parked[i];
        EXPECT_EQ(list[i].airline, p.airline);
        EXPECT_EQ(list[i].type, p.type);
        EXPECT_EQ(list[i].callsign, p.callsign);
        EXPECT_EQ(list[i].regcode, p.registration);
        EXPECT_EQ(list[i].lat, p.lat);
        EXPECT_EQ(list[i].lon, p.lon);
        EXPECT_EQ(list[i].hexid, p.hexid);
        EXPECT_EQ(list[i].halfHourOffset, p.halfHoursAgo);
        EXPECT_EQ(list[i].info, p.info);
    }
    EXPECT_TRUE(gf_takeParkedTraffic().empty());
}

TEST_F(ReaderThreadTest, ParkedRequestWithoutReaderFailsAtOnce) {
    EXPECT_FALSE(gf_trafficReaderRunning());
    EXPECT_FALSE(gf_requestParkedTraffic(std::chrono::hours(1)));
}

TEST_F(ReaderThreadTest, SourceWithoutListAnswersFalse) {
    auto source = std::make_unique<FakeSource>();
    source->answer = false;
    ASSERT_TRUE(gf_startTrafficReader(std::move(source), kRunStart));
    EXPECT_FALSE(gf_requestParkedTraffic(std::chrono::hours(1)));
}

TEST_F(ReaderThreadTest, TimedOutRequestIgnoresTheLateAnswer) {
    auto owned = std::make_unique<FakeSource>();
    FakeSource* source = owned.get();
    source->released = false;
    ASSERT_TRUE(gf_startTrafficReader(std::move(owned), kRunStart));
    EXPECT_FALSE(gf_requestParkedTraffic(std::chrono::milliseconds(20)));
    {
        std::unique_lock lock(source->mutex);
        ASSERT_TRUE(
            source->cv.wait_for(lock, std::chrono::seconds(30), [&] { return source->parkedCalls == 1; }));
        source->released = true;
    }
    source->cv.notify_all();
    ASSERT_TRUE(gf_requestParkedTraffic());
    std::vector<ParkedTrafficRecord> list = gf_takeParkedTraffic();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].callsign, "ANSWER2");
}

TEST_F(ReaderThreadTest, ReaderEndsWhenTheRunStops) {
    ASSERT_TRUE(
        gf_startTrafficReader(std::make_unique<FakeSource>(), kRunStart, std::chrono::milliseconds(5)));
    EXPECT_TRUE(gf_trafficReaderRunning());
    gf_stopRunWith(ExitState::SimWasClosed);
    ASSERT_TRUE(gf_waitTrafficReaderEnded(std::chrono::seconds(30)));
    EXPECT_FALSE(gf_requestParkedTraffic(std::chrono::hours(1)));
    gf_resetRunControl();
    // The next run starts a new reader without an explicit stop of the old one.
    ASSERT_TRUE(gf_startTrafficReader(std::make_unique<FakeSource>(), kRunStart));
    EXPECT_TRUE(gf_requestParkedTraffic());
    gf_stopTrafficReader();
    EXPECT_FALSE(gf_trafficReaderRunning());
}

// Hands out a fresh set of aircraft on every poll, callsign "C<hexid>".
class CountingSource : public TrafficSource {
  public:
    void reportsAt(double, const TrafficArea&, std::vector<TrafficReport>& out) override {
        for (int i = 0; i < 20; ++i) {
            const uint32_t hexid = next_++;
            TrafficReport r{hexid};
            r.callsign = fmt::format("C{}", hexid);
            out.push_back(r);
        }
    }
    bool parkedTraffic(std::vector<ParkedTrafficRecord>&) override { return false; }

  private:
    uint32_t next_ = 0x100000;
};

TEST_F(ReaderThreadTest, GatheringUnderARunningReader) {
    std::mutex m;
    std::condition_variable cv;
    int polls = 0;
    gf_setTrafficBatchSink([&](std::vector<LiveTrafficRecord>&, int) {
        std::lock_guard lock(m);
        ++polls;
        cv.notify_all();
    });
    auto waitPolls = [&](int more) {
        std::unique_lock lock(m);
        const int target = polls + more;
        return cv.wait_for(lock, std::chrono::seconds(30), [&] { return polls >= target; });
    };
    ASSERT_TRUE(
        gf_startTrafficReader(std::make_unique<CountingSource>(), kRunStart, std::chrono::milliseconds(1)));
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        gf_startCallsignGathering();
        ASSERT_TRUE(waitPolls(2));
        GatheredCallsigns taken = gf_takeGatheredCallsigns();
        EXPECT_FALSE(gf_callsignGatheringOn());
        ASSERT_FALSE(taken.hexids.empty());
        EXPECT_EQ(taken.callsigns.size(), taken.hexids.size());
        for (uint32_t hexid : taken.hexids) EXPECT_EQ(taken.callsigns.count(fmt::format("C{}", hexid)), 1u);
    }
    ASSERT_TRUE(waitPolls(3));
    GatheredCallsigns late = gf_takeGatheredCallsigns();
    EXPECT_TRUE(late.callsigns.empty());
    EXPECT_TRUE(late.hexids.empty());
    gf_stopTrafficReader();
}

}  // namespace

namespace {

TEST_F(TrafficReaderTest, BlockedCallsignPushesOneBlockEventPerRecord) {
    BLOCK_CALLSIGN.set("EZY12AB");
    std::vector<double> times;
    for (double t = 0; t <= 60; t += 2) times.push_back(t);
    ScenarioSource source(scenarioOf({track(0x4b1805, "SWR287", times), track(0x400a1b, "EZY12AB", times)}));
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart + 40);  // five snapshots, each with both aircraft
    reader.pollOnce(kRunStart + 41);

    std::lock_guard lock(g_simEventMutex);
    ASSERT_EQ(g_simEventQueue.size(), 6u);
    for (const SimEventRec& e : g_simEventQueue) {
        EXPECT_EQ(e.kind, 5u);
        EXPECT_EQ(e.hexid, 0x400a1bu);
    }
}

TEST_F(TrafficReaderTest, EmptyBlockCallsignBlocksNothing) {
    ScenarioSource source(scenarioOf({track(0x400a1b, "", {0, 2, 4})}));
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart + 30);
    ASSERT_FALSE(batches_.front().records.empty());  // the record without a callsign was delivered
    std::lock_guard lock(g_simEventMutex);
    EXPECT_TRUE(g_simEventQueue.empty());
}

}  // namespace
