#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "feed/traffic_reader.h"
#include "sim/sim_state.h"
#include "support/work_folder.h"

namespace {

using std::chrono::hours;
constexpr double kRunStart = 1700000000;
constexpr auto kPatience = std::chrono::seconds(60);  // a wait that ends long before when all is well

// A sound report: every number well within its bounds.
TrafficReport soundReport(uint32_t hexid = 0x4b1805) {
    return {hexid, "SWR", "A320", "LEMD", "LSZH", "SWR287", "HB-JLT", 0,   47,
            8.5,   3000,  160,    137,    -700,   160,      true,     0.0, 137.0};
}

// A source whose polls and parked answers the test lets through one gate each.
class GateSource : public TrafficSource {
  public:
    std::mutex mutex;
    std::condition_variable cv;
    bool pollsOpen = true, parkedOpen = true;
    int polls = 0, parkedCalls = 0;
    std::vector<TrafficReport> firstReports;  // served by the first reportsAt only
    bool throws = false;

    void reportsAt(double, const TrafficArea&, std::vector<TrafficReport>& out) override {
        std::unique_lock lock(mutex);
        ++polls;
        cv.notify_all();
        cv.wait(lock, [&] { return pollsOpen; });
        if (throws) throw std::runtime_error("service gone");
        if (polls == 1) out = firstReports;
    }
    bool parkedTraffic(std::vector<ParkedTrafficRecord>& out) override {
        std::unique_lock lock(mutex);
        ++parkedCalls;
        cv.wait(lock, [&] { return parkedOpen; });
        out.push_back({"SWR", "A20N", "SWR12", "HB-JDA", 47.45, 8.56, 0x4b1a2b, parkedCalls, ""});
        return true;
    }
    void set(bool GateSource::*gate, bool open) {
        std::lock_guard lock(mutex);
        this->*gate = open;
        cv.notify_all();
    }
    bool waitPolls(int n) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, kPatience, [&] { return polls >= n; });
    }
    int pollsSoFar() {
        std::lock_guard lock(mutex);
        return polls;
    }
};

bool waitPollCount(int n) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (gf_trafficPollCount() < n)
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        else
            std::this_thread::yield();
    return true;
}

class ReaderThreadTest : public LoggedTest {
  protected:
    void SetUp() override {
        LoggedTest::SetUp();
        gf_setTrafficBatchSink(
            [this](std::vector<LiveTrafficRecord>& batch, int) { batches_ += !batch.empty(); });
    }
    // Starts a reader over a gate source that polls once an hour.
    GateSource* startGated(bool pollsOpen = true, std::vector<TrafficReport> firstReports = {}) {
        auto owned = std::make_unique<GateSource>();
        GateSource* source = owned.get();
        source->pollsOpen = pollsOpen;
        source->firstReports = std::move(firstReports);
        EXPECT_TRUE(gf_startTrafficReader(std::move(owned), kRunStart, hours(1)));
        return source;
    }
    int batches_ = 0;
};

// The process starts with nothing known of the feed: no traffic time, no gathering, no park
// airport, the standard QNH and no reader to ask.
TEST(FeedAtStart, NothingIsKnownBeforeTheFirstRun) {
    EXPECT_EQ(gf_trafficTime(), 0);
    EXPECT_FALSE(gf_callsignGatheringOn());
    EXPECT_FALSE(gf_parkAirportSet());
    EXPECT_FALSE(gf_parkAirportElevationFt().has_value());
    EXPECT_EQ(g_qnh.load(), 1013);
    EXPECT_FALSE(gf_trafficReaderRunning());
    EXPECT_EQ(gf_trafficPollCount(), 0);
    EXPECT_FALSE(gf_askParkedTraffic());
    EXPECT_FALSE(gf_parkedTrafficAnswered());
}

// Each number of a report at its bound is sound; just past it, or not finite, the report is
// dropped and counted as bad. Static addresses are skipped without counting.
TEST_F(ReaderThreadTest, EveryNumberIsCheckedAtBothBounds) {
    using R = TrafficReport;
    const struct {
        const char* what;
        std::function<void(R&)> set;
        bool delivered, counted;
    } rows[] = {
        {"alt -2000", [](R& r) { r.altFt = -2000; }, true, false},
        {"alt below", [](R& r) { r.altFt = -2000.01; }, false, true},
        {"alt 100000", [](R& r) { r.altFt = 100000; }, true, false},
        {"alt above", [](R& r) { r.altFt = 100000.01; }, false, true},
        {"gs 0", [](R& r) { r.gsKt = 0; }, true, false},
        {"gs negative", [](R& r) { r.gsKt = -0.01; }, false, true},
        {"gs 2000", [](R& r) { r.gsKt = 2000; }, true, false},
        {"gs above", [](R& r) { r.gsKt = 2000.01; }, false, true},
        {"airspeed 0", [](R& r) { r.airspeedKt = 0; }, true, false},
        {"airspeed negative", [](R& r) { r.airspeedKt = -0.01; }, false, true},
        {"airspeed 2000", [](R& r) { r.airspeedKt = 2000; }, true, false},
        {"airspeed above", [](R& r) { r.airspeedKt = 2000.01; }, false, true},
        {"vrate -40000", [](R& r) { r.vrateFpm = -40000; }, true, false},
        {"vrate below", [](R& r) { r.vrateFpm = -40000.01; }, false, true},
        {"vrate 40000", [](R& r) { r.vrateFpm = 40000; }, true, false},
        {"vrate above", [](R& r) { r.vrateFpm = 40000.01; }, false, true},
        {"roll -180", [](R& r) { r.rollDeg = -180; }, true, false},
        {"roll below", [](R& r) { r.rollDeg = -180.01; }, false, true},
        {"roll 180", [](R& r) { r.rollDeg = 180; }, true, false},
        {"roll above", [](R& r) { r.rollDeg = 180.01; }, false, true},
        {"no roll, no heading", [](R& r) { r.rollDeg.reset(), r.trueHeadingDeg.reset(); }, true, false},
        {"lat 90", [](R& r) { r.lat = 90; }, true, false},
        {"lat above", [](R& r) { r.lat = 90.01; }, false, true},
        {"lat below", [](R& r) { r.lat = -90.01; }, false, true},
        {"lon -180", [](R& r) { r.lon = -180; }, true, false},
        {"lon above", [](R& r) { r.lon = 180.01; }, false, true},
        {"lon below", [](R& r) { r.lon = -180.01; }, false, true},
        {"hexid 10001", [](R& r) { r.hexid = 10001; }, true, false},
        {"hexid 10000", [](R& r) { r.hexid = 10000; }, false, false},
        {"hexid 0", [](R& r) { r.hexid = 0; }, false, false},
        {"hexid FFFFFF", [](R& r) { r.hexid = 0xFFFFFF; }, true, false},
        {"hexid past 24 bits", [](R& r) { r.hexid = 0x1000000; }, false, true},
        {"heading far round", [](R& r) { r.trueHeadingDeg = 1e6; }, true, false},
        {"t NaN", [](R& r) { r.t = NAN; }, false, true},
        {"lat NaN", [](R& r) { r.lat = NAN; }, false, true},
        {"lon NaN", [](R& r) { r.lon = NAN; }, false, true},
        {"alt NaN", [](R& r) { r.altFt = NAN; }, false, true},
        {"gs NaN", [](R& r) { r.gsKt = NAN; }, false, true},
        {"track NaN", [](R& r) { r.trackDeg = NAN; }, false, true},
        {"track infinite", [](R& r) { r.trackDeg = -INFINITY; }, false, true},
        {"vrate NaN", [](R& r) { r.vrateFpm = NAN; }, false, true},
        {"airspeed NaN", [](R& r) { r.airspeedKt = NAN; }, false, true},
        {"roll NaN", [](R& r) { r.rollDeg = NAN; }, false, true},
        {"heading NaN", [](R& r) { r.trueHeadingDeg = NAN; }, false, true},
        {"heading infinite", [](R& r) { r.trueHeadingDeg = INFINITY; }, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        GateSource source;
        source.firstReports = {soundReport()};
        row.set(source.firstReports[0]);
        std::vector<size_t> sizes;
        gf_setTrafficBatchSink(
            [&](std::vector<LiveTrafficRecord>& batch, int) { sizes.push_back(batch.size()); });
        TrafficReader reader(source, kRunStart);
        reader.pollOnce(kRunStart);  // the first snapshot alone brings the report
        ASSERT_EQ(sizes.size(), 5u);
        EXPECT_EQ(sizes[0], row.delivered ? 1u : 0u);
        EXPECT_EQ(reader.badReports(), row.counted ? 1 : 0);
        EXPECT_EQ(gf_trafficTime(), row.delivered ? kRunStart : 0);
    }
}

// The thread polls once per interval: a poll counts once its batches are handed over, and asks
// for parked traffic wake it at once without bringing the next poll forward.
TEST_F(ReaderThreadTest, PollsOncePerIntervalAndAnswersAsksAtOnce) {
    EXPECT_FALSE(gf_startTrafficReader(nullptr, kRunStart)) << "no source, no reader";
    EXPECT_FALSE(gf_trafficReaderRunning());
    for (int run = 0; run < 2; ++run) {  // a restart counts its polls from zero
        SCOPED_TRACE(run);
        GateSource* source = startGated(false);
        ASSERT_TRUE(source->waitPolls(1));
        EXPECT_EQ(gf_trafficPollCount(), 0) << "the first poll is still under way";
        source->set(&GateSource::pollsOpen, true);
        ASSERT_TRUE(waitPollCount(1));
        for (int ask = 1; ask <= 2; ++ask) {
            ASSERT_TRUE(gf_requestParkedTraffic(hours(1)));
            const std::vector<ParkedTrafficRecord> list = gf_takeParkedTraffic();
            ASSERT_EQ(list.size(), 1u);
            EXPECT_EQ(list[0].halfHourOffset, ask) << "each ask has its own answer";
        }
        EXPECT_EQ(source->pollsSoFar(), kBufferedSnapshots) << "no poll before the hour is up";
        EXPECT_EQ(gf_trafficPollCount(), 1);
        gf_stopTrafficReader();
        EXPECT_FALSE(gf_trafficReaderRunning());
    }
}

// A source that fails ends the run as a reader error; an asker waiting on the reader, and a
// reader that ends because the run stopped, let their waiters go at once.
TEST_F(ReaderThreadTest, ReaderEndsWithTheRunAndReleasesItsWaiters) {
    GateSource* source = startGated(false);
    ASSERT_TRUE(source->waitPolls(1));
    std::thread stopper([source] {
        gf_stopRunWith(ExitState::UserClosedSim);
        source->set(&GateSource::pollsOpen, true);
    });
    EXPECT_FALSE(gf_requestParkedTraffic(hours(1))) << "the reader ended before it took the ask up";
    stopper.join();
    EXPECT_TRUE(gf_waitTrafficReaderEnded(hours(1)));
    EXPECT_EQ(gf_exitState(), ExitState::UserClosedSim);
    gf_stopTrafficReader();

    gf_resetRunControl();
    source = startGated(false);
    ASSERT_TRUE(source->waitPolls(1));
    source->throws = true;
    std::thread opener([source] { source->set(&GateSource::pollsOpen, true); });
    EXPECT_TRUE(gf_waitTrafficReaderEnded(hours(1)));
    opener.join();
    EXPECT_TRUE(g_stopRun.load());
    EXPECT_EQ(gf_exitState(), ExitState::ReaderError);
    EXPECT_EQ(gf_capturedLog(), "===> trafficReader exception: service gone\n");
}

// One dropped report of each kind over the run is summed up in the singular.
TEST_F(ReaderThreadTest, EndOfRunSumsUpASingleDroppedReport) {
    TrafficReport bad = soundReport(0x400001);
    bad.gsKt = -5;
    startGated(true, {soundReport(), bad, soundReport()});
    ASSERT_TRUE(waitPollCount(1));
    gf_stopTrafficReader();
    EXPECT_EQ(gf_capturedLog(),
              "===> traffic report 400001 dropped: a number is not finite or out of range\n"
              "===> traffic report 4B1805 dropped: its hexid came twice in one poll\n"
              "traffic reader: 1 bad report dropped\n"
              "traffic reader: 1 report dropped: hexid repeated in one poll\n");
}

// A delivered list belongs to the ask that brought it: a new ask, the per-run reset and the
// whole-process reset forget a list nobody took; the process reset also drops the batch sink.
TEST_F(ReaderThreadTest, UntakenParkedListsAreForgotten) {
    GateSource* source = startGated();
    ASSERT_TRUE(gf_requestParkedTraffic(hours(1)));
    source->set(&GateSource::parkedOpen, false);
    ASSERT_TRUE(gf_askParkedTraffic());
    EXPECT_EQ(gf_takeParkedTrafficAnswer(), std::nullopt) << "still pending: given up";
    EXPECT_TRUE(gf_takeParkedTraffic().empty()) << "the new ask dropped the old list";
    source->set(&GateSource::parkedOpen, true);
    for (void (*reset)() : {&gf_resetFeedRun, &gf_resetFeedProcess}) {
        if (!gf_trafficReaderRunning()) startGated();
        ASSERT_TRUE(gf_requestParkedTraffic(hours(1)));
        reset();
        EXPECT_FALSE(gf_trafficReaderRunning()) << "the reset stops the reader";
        EXPECT_TRUE(gf_takeParkedTraffic().empty());
    }
    GateSource polled;
    polled.firstReports = {soundReport()};
    TrafficReader(polled, kRunStart).pollOnce(kRunStart);
    EXPECT_EQ(batches_, 0) << "no sink after the process reset";
}

}  // namespace
