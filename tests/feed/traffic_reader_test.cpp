#include "feed/traffic_reader.h"

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include <fmt/format.h>

#include "core/clock.h"
#include "core/display.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "platform/scenario.h"
#include "platform/scenario_source.h"
#include "sim/sim_link.h"
#include "sim/sim_state.h"
#include "support/work_folder.h"

namespace {

constexpr double kRunStart = 1700000000;  // UTC seconds of the scenario's t = 0

struct Batch {
    int delay;
    std::vector<LiveTrafficRecord> records;
};

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
        out.push_back({"SWR", "A20N", fmt::format("ANSWER{}", parkedCalls), "HB-JDA", 47.45, 8.56, 0x4b1a2b, 3, ""});
        return true;
    }
    ~FakeSource() override {
        if (destroyed) *destroyed = true;
    }
    std::mutex mutex;
    std::condition_variable cv;
    bool released = true, answer = true, *destroyed = nullptr;
    int parkedCalls = 0;
};

class TrafficReaderTest : public LoggedTest {
protected:
    void SetUp() override {
        LoggedTest::SetUp();
        // The user aircraft where the tracks fly: the reader asks for the traffic around it.
        UserSnapshot user;
        user.lat = 47;
        user.lon = 8.5;
        gf_storeUserSnapshot(user);
        gf_setTrafficBatchSink([this](std::vector<LiveTrafficRecord>& batch, int delay) {
            batches_.push_back({delay, std::move(batch)});
        });
    }
    void TearDown() override {
        gf_stopTrafficReader();
        WorkFolderTest::TearDown();
    }
    // A track whose latitude tells the row's time: 47 + t / 1000.
    static ScenarioTrack track(uint32_t hexid, std::string callsign, const std::vector<double>& times) {
        ScenarioTrack t{hexid, "SWR", "A320", "LEMD", "LSZH", std::move(callsign), "HB-JLT", {}};
        for (double time : times) t.rows.push_back({time, 47 + time / 1000, 8.5, 3000, 160, 137, -700, 0, true});
        return t;
    }
    static std::shared_ptr<Scenario> scenarioOf(std::vector<ScenarioTrack> tracks) {
        auto s = std::make_shared<Scenario>();
        s->tracks = std::move(tracks);
        return s;
    }
    std::vector<double> rowTimes(size_t batch) const {
        std::vector<double> times;
        for (const auto& r : batches_.at(batch).records) times.push_back(r.timeStamp - kRunStart);
        return times;
    }
    std::vector<Batch> batches_;
};

// The first poll delivers five buffered snapshots six seconds apart; every later one the row
// at or before its data time, delayed 30 seconds.
TEST_F(TrafficReaderTest, FirstPollDeliversFiveSnapshotsThenEveryPollHasDelayThirty) {
    std::vector<double> times;
    for (double t = -60; t <= 100; t += 4) times.push_back(t);
    ScenarioSource source(scenarioOf({track(0x4b1805, "SWR287", times)}));
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart + 10);  // data times -20, -14, -8, -2, 4
    reader.pollOnce(kRunStart + 12);
    BLOCK_CALLSIGN.set("SWR287");  // one block event per record delivered
    reader.pollOnce(kRunStart + 13);  // still the row of 12
    {
        std::lock_guard lock(g_simEventMutex);
        ASSERT_EQ(g_simEventQueue.size(), 1u);
        EXPECT_EQ(fmt::format("{} {:x}", g_simEventQueue[0].kind, g_simEventQueue[0].hexid), "5 4b1805");
    }
    const std::pair<int, double> expected[] = {{0, -20}, {6, -16}, {12, -8}, {18, -4}, {24, 4}, {30, 12}, {30, 12}};
    ASSERT_EQ(batches_.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(batches_[i].delay, expected[i].first) << i;
        EXPECT_EQ(rowTimes(i), std::vector<double>{expected[i].second}) << i;
        EXPECT_DOUBLE_EQ(batches_[i].records[0].sample.lat, 47 + expected[i].second / 1000);
    }
}

// Every field decoded; addresses up to 10000 belong to static aircraft: never delivered nor gathered.
TEST_F(TrafficReaderTest, DecodesEveryFieldAndSkipsStaticAddresses) {
    auto scenario = scenarioOf({track(10000, "STAT1", {0}), track(0x4b1805, "SWR287", {0}), track(1, "STAT2", {0}),
                                track(10001, "SWR12", {0}), track(0xFFFFFF, "", {0})});
    scenario->tracks[1].rows[0] = {0, 47.5, 8.25, 4500, 182, 137.5, -640, 190, true, -15.0, 180.0};
    scenario->tracks[3].rows[0] = {0, 47.45, 8.56, 1416, 12, 725, 0, 0, false, std::nullopt, std::nullopt};
    scenario->tracks[4].rows[0].trueHeadingDeg = 90.0;  // a heading without a bank is an attitude too
    ScenarioSource source(scenario);
    TrafficReader reader(source, kRunStart);
    gf_startCallsignGathering();
    reader.pollOnce(kRunStart + 6);  // only the last snapshot (data time 0) shows the tracks
    ASSERT_EQ(batches_.size(), 5u);
    ASSERT_EQ(batches_[4].records.size(), 3u);
    EXPECT_EQ(batches_[4].records[2].hexid, 0xFFFFFFu);
    EXPECT_EQ(batches_[4].records[2].sample.attitudeFlag, 1);
    const LiveTrafficRecord& r = batches_[4].records[0];
    EXPECT_EQ(fmt::format("{} {} {} {} {} {} [{}] [{}] {}", r.airline, r.type, r.origin, r.destination, r.callsign,
                          r.regcode, r.spawnCallsign, r.coupledCallsign, r.coupledSearched),
              "SWR A320 LEMD LSZH SWR287 HB-JLT [] [] 0");
    const PosSample& s = r.sample;
    EXPECT_EQ(fmt::format("{} {} {} {} {} {} {} {} {} {} {}", s.lat, s.lon, s.alt, s.gs, s.track, s.vrate, s.airspeed,
                          s.airborne, s.stationary, s.dueTick, s.attitudeFlag),
              "47.5 8.25 4500 182 137.5 -640 190 1 0 0 1");
    EXPECT_DOUBLE_EQ(*s.roll, -kPi / 12);
    EXPECT_DOUBLE_EQ(*s.trueHeading, kPi);
    EXPECT_EQ(r.timeStamp, kRunStart);
    EXPECT_EQ(r.hexid, 0x4b1805u);
    // On the ground the altitude is zero, as the service reports it; no attitude, tracks folded.
    const LiveTrafficRecord& g = batches_[4].records[1];
    EXPECT_EQ(fmt::format("{} {} {} {} {}", g.hexid, g.sample.alt, g.sample.airborne, g.sample.attitudeFlag,
                          g.sample.track),
              "10001 0 0 0 5");
    EXPECT_TRUE(g_simEventQueue.empty()) << "an empty setting blocks no empty callsign";
    GatheredCallsigns gathered = gf_takeGatheredCallsigns();
    EXPECT_EQ(gathered.callsigns, (std::unordered_set<std::string>{"SWR287", "SWR12"}));
    EXPECT_EQ(gathered.hexids, (std::unordered_set<uint32_t>{0x4b1805, 10001, 0xFFFFFF}));
}

TEST_F(TrafficReaderTest, StaleReportsAndEndedTracksAreNotShown) {
    // Rows at 0, 10 and 40: a 30-second gap, and the track ends at 40.
    ScenarioSource source(scenarioOf({track(0x4b1805, "SWR287", {0, 10, 40})}));
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart + 37);  // snapshots at 7 .. 31: the last is empty, the newest stamp 10
    EXPECT_EQ(gf_trafficTime(), kRunStart + 10);
    const struct {
        double dataTime;
        std::vector<double> shown;
    } rows[] = {{-0.5, {}},  {0, {0}},   {9.9, {0}}, {30, {10}},  // exactly 20 s old: still shown
                {30.01, {}}, {39.9, {}}, {40, {40}}, {40.01, {}}};
    for (const auto& row : rows) {
        batches_.clear();
        reader.pollOnce(kRunStart + row.dataTime);
        ASSERT_EQ(batches_.size(), 1u);
        EXPECT_EQ(rowTimes(0), row.shown) << row.dataTime;
        EXPECT_EQ(gf_trafficTime(), row.shown.empty() ? 0 : kRunStart + row.shown[0]) << "the newest stamp or zero";
    }
}

// Numbers that are not finite or outside physical bounds drop the report (counted per
// snapshot, logged once); so does a repeated hexid in one poll, where the first one wins.
TEST_F(TrafficReaderTest, BadAndRepeatedReportsAreDroppedAndReportedOnce) {
    const struct {
        double lat, lon, altFt, gsKt, vrateFpm, rollDeg;
        uint32_t hexid;
    } bad[] = {{NAN, 8, 0, 0, 0, 0, 0x400001},  {-90.5, 8, 0, 0, 0, 0, 0x400002}, {47, 180.5, 0, 0, 0, 0, 0x400003},
               {47, 8, 0, 0, 0, INFINITY, 0x400004}, {47, 8, 0, 0, 0, 0, 0x1000000}, {47, 8, 1e300, 0, 0, 0, 0x400005},
               {47, 8, -2001, 0, 0, 0, 0x400006}, {47, 8, 0, -1, 0, 0, 0x400007},   {47, 8, 0, 2001, 0, 0, 0x400008},
               {47, 8, 0, 0, 40001, 0, 0x400009}, {47, 8, 0, 0, 0, 181, 0x40000a}};
    FakeSource source;
    for (const auto& b : bad)
        source.reports.push_back({b.hexid, "SWR", "A320", "", "", "BAD", "", 0, b.lat, b.lon, b.altFt, b.gsKt, 0,
                                  b.vrateFpm, 0, true, b.rollDeg, 0});
    // Every number at its bound is still sound.
    TrafficReport good{0x4b1805, "SWR", "A320", "", "", "SWR1", "", 0, -90, 180, 100000, 2000, -720, -40000, 2000, true,
                       -180, -90};
    TrafficReport repeat = good;
    repeat.callsign = "SWR3";
    repeat.rollDeg = 180;  // the other bound: sound, so counted as repeated, not as bad
    source.reports.insert(source.reports.begin() + 1, good);
    source.reports.push_back(repeat);
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart);
    ASSERT_EQ(batches_.size(), 5u);
    for (const Batch& b : batches_) {
        ASSERT_EQ(b.records.size(), 1u);
        EXPECT_EQ(b.records[0].callsign, "SWR1");
        EXPECT_EQ(b.records[0].sample.track, 0);
        EXPECT_DOUBLE_EQ(*b.records[0].sample.trueHeading, gf_degToRad(270));
    }
    EXPECT_EQ(reader.badReports(), 5 * static_cast<int>(std::size(bad)));
    EXPECT_EQ(reader.repeatedReports(), 5);
    EXPECT_EQ(gf_capturedLog(),
              "===> traffic report 400001 dropped: a number is not finite or out of range\n"
              "===> traffic report 4B1805 dropped: its hexid came twice in one poll\n");
}

// When the reader ends it sums up what it dropped over the whole run.
TEST_F(TrafficReaderTest, ReaderEndsWithTheCountsOfDroppedReports) {
    auto source = std::make_unique<FakeSource>();
    TrafficReport good{0x4b1805, "SWR", "A320", "",  "",   "SWR1", "",   0, 47,
                       8.5,      3000,  160,    137, -700, 160,    true, 0, 0};
    TrafficReport bad = good;
    bad.hexid = 0x400001, bad.altFt = NAN;
    source->reports = {good, bad, good};
    ASSERT_TRUE(gf_startTrafficReader(std::move(source), kRunStart, std::chrono::hours(1)));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (gf_trafficPollCount() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(gf_trafficPollCount(), 1);
    gf_stopTrafficReader();
    const std::string log = gf_capturedLog();
    // The first poll's five snapshots each dropped one of each.
    EXPECT_TRUE(
        log.ends_with("traffic reader: 5 bad reports dropped\n"
                      "traffic reader: 5 reports dropped: hexid repeated in one poll\n"))
        << log;
}

// The traffic is asked for around the user aircraft within the range the window shows; the QNH
// comes with it when the source gives one, kept within 900..1100 hPa, a non-finite one ignored.
TEST_F(TrafficReaderTest, PollAsksAroundTheUserWithinTheRangeAndTakesTheQnh) {
    g_rangeNm = 25;
    FakeSource source;
    TrafficReader reader(source, kRunStart);
    reader.pollOnce(kRunStart);
    EXPECT_EQ(fmt::format("{} {} {}", source.asked.center.lat, source.asked.center.lon, source.asked.radiusNm),
              "47 8.5 25");
    EXPECT_EQ(g_qnh.load(), 1013);
    for (auto [in, expected] : {std::pair{899.9, 900.0}, {1100.0, 1100.0}, {1100.1, 1100.0}, {0.0, 900.0},
                                {NAN, 900.0}, {1e9, 1100.0}, {1030.5, 1030.5}, {-INFINITY, 1030.5}}) {
        source.qnh = in;
        reader.pollOnce(kRunStart + 2);
        EXPECT_EQ(g_qnh.load(), expected) << in;
    }
}

// The scenario source serves, as the service would, the aircraft within the asked radius of the
// asked position, and the parked aircraft within 5 nm of its park airport (all without one).
TEST_F(TrafficReaderTest, ScenarioSourceServesTheAskedAreaAndTheParkAirportsSurroundings) {
    auto scenario = scenarioOf({track(0x4b1805, "IN", {0}), track(0x4b1806, "OUT", {0})});
    scenario->tracks[1].rows[0].lat = 47 + 10.1 / 60;  // 10.1 nm north of the area's centre
    scenario->tracks[0].rows[0].lat = 47 + 9.9 / 60;
    ScenarioSource source(scenario);
    std::vector<TrafficReport> reports;
    source.reportsAt(0, {{47, 8.5}, 10}, reports);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].callsign, "IN");
    scenario->airports = {{"LSZH", 47.458056, 8.548056, 1416}};
    scenario->parked = {{0x4b1a2b, "SWR", "A20N", "NEAR", "HB-JDA", 47.458056 + 4.9 / 60, 8.548056, 3, ""},
                        {0x4b1a2c, "SWR", "A20N", "FAR", "HB-JDB", 47.458056 + 5.1 / 60, 8.548056, 3, ""}};
    for (const std::string park : {"LSZH", ""}) {
        scenario->parkAirport = park;
        std::vector<ParkedTrafficRecord> parked;
        ASSERT_TRUE(source.parkedTraffic(parked));
        EXPECT_EQ(parked.size(), park.empty() ? 2u : 1u) << park;
        EXPECT_EQ(parked.at(0).callsign, "NEAR");
    }
}

// The reader thread serves parked traffic in delivery order, to a waiting request or to an ask
// taken later; none without a reader, and none after the run stopped.
TEST_F(TrafficReaderTest, ReaderThreadServesParkedTrafficUntilTheRunStops) {
    EXPECT_FALSE(gf_requestParkedTraffic(std::chrono::hours(1)));
    EXPECT_FALSE(gf_askParkedTraffic());
    auto scenario = std::make_shared<Scenario>();
    scenario->parked = {{0x4b1a2b, "SWR", "A20N", "SWR12", "HB-JDA", 47.4531, 8.5620, 3, "gate A12"},
                        {0x500, "", "C172", "HBCZA", "HB-CZA", 47.46, 8.55, -2, "GA apron"}};
    ASSERT_TRUE(gf_startTrafficReader(std::make_unique<ScenarioSource>(scenario), kRunStart, std::chrono::milliseconds(5)));
    EXPECT_FALSE(gf_startTrafficReader(std::make_unique<ScenarioSource>(scenario), kRunStart));
    // The thread polls by itself: its first poll hands over the five snapshots.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (gf_trafficPollCount() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(gf_requestParkedTraffic());
    std::vector<ParkedTrafficRecord> list = gf_takeParkedTraffic();
    ASSERT_EQ(list.size(), 2u);
    for (size_t i = 0; i < list.size(); ++i) {
        const ScenarioParked& p = scenario->parked[i];
        const ParkedTrafficRecord& r = list[i];
        EXPECT_EQ(std::tie(r.airline, r.type, r.callsign, r.regcode, r.lat, r.lon, r.hexid, r.halfHourOffset, r.info),
                  std::tie(p.airline, p.type, p.callsign, p.registration, p.lat, p.lon, p.hexid, p.halfHoursAgo, p.info));
    }
    EXPECT_TRUE(gf_takeParkedTraffic().empty());
    ASSERT_TRUE(gf_askParkedTraffic());
    while (!gf_parkedTrafficAnswered()) std::this_thread::yield();
    EXPECT_EQ(gf_takeParkedTrafficAnswer(), std::optional<bool>(true));
    EXPECT_EQ(gf_takeParkedTraffic().size(), 2u);
    EXPECT_EQ(gf_takeParkedTrafficAnswer(), std::nullopt) << "read once";
    gf_stopRunWith(ExitState::SimWasClosed);
    ASSERT_TRUE(gf_waitTrafficReaderEnded(std::chrono::seconds(30)));
    EXPECT_GE(batches_.size(), 5u);
    EXPECT_EQ(gf_capturedLog().find("dropped"), std::string::npos) << "nothing dropped, nothing said";
    EXPECT_FALSE(gf_requestParkedTraffic(std::chrono::hours(1)));
    gf_resetRunControl();
    // The next run starts a new reader without an explicit stop of the old one.
    auto empty = std::make_unique<FakeSource>();
    empty->answer = false;
    ASSERT_TRUE(gf_startTrafficReader(std::move(empty), kRunStart));
    EXPECT_FALSE(gf_requestParkedTraffic(std::chrono::hours(1))) << "the source has no list";
    gf_stopTrafficReader();
    EXPECT_FALSE(gf_trafficReaderRunning());
    // A new run stops the reader and starts without the last run's parked traffic or QNH.
    ASSERT_TRUE(gf_startTrafficReader(std::make_unique<ScenarioSource>(scenario), kRunStart));
    ASSERT_TRUE(gf_askParkedTraffic());
    while (!gf_parkedTrafficAnswered()) std::this_thread::yield();
    gf_setQnh(950);
    gf_resetFeedRun();
    EXPECT_FALSE(gf_trafficReaderRunning());
    EXPECT_FALSE(gf_parkedTrafficAnswered());
    EXPECT_TRUE(gf_takeParkedTraffic().empty());
    EXPECT_EQ(g_qnh.load(), 1013);
    gf_setQnh(950);
    gf_resetFeedProcess();
    EXPECT_EQ(g_qnh.load(), 1013);
}

// A request that timed out, or an ask given up while pending, gets no late answer.
TEST_F(TrafficReaderTest, GivenUpAsksIgnoreTheLateAnswer) {
    auto owned = std::make_unique<FakeSource>();
    FakeSource* source = owned.get();
    bool destroyed = false;
    source->destroyed = &destroyed;
    // Waits until the source holds its answer of call n, gives the ask up, then lets it answer.
    auto releaseAfter = [source](int calls, auto giveUp) {
        std::unique_lock lock(source->mutex);
        ASSERT_TRUE(source->cv.wait_for(lock, std::chrono::seconds(30), [&] { return source->parkedCalls == calls; }));
        giveUp();
        source->released = true;
        source->cv.notify_all();
    };
    source->released = false;
    ASSERT_TRUE(gf_startTrafficReader(std::move(owned), kRunStart));
    EXPECT_FALSE(gf_requestParkedTraffic(std::chrono::milliseconds(20)));
    releaseAfter(1, [] {});
    ASSERT_TRUE(gf_requestParkedTraffic());
    std::vector<ParkedTrafficRecord> list = gf_takeParkedTraffic();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].callsign, "ANSWER2");
    {
        std::lock_guard lock(source->mutex);
        source->released = false;
    }
    ASSERT_TRUE(gf_askParkedTraffic());
    releaseAfter(3, [] { EXPECT_EQ(gf_takeParkedTrafficAnswer(), std::nullopt); });
    gf_stopTrafficReader();
    EXPECT_TRUE(destroyed) << "a stopped reader lets its source go";
    EXPECT_FALSE(gf_parkedTrafficAnswered());
    EXPECT_TRUE(gf_takeParkedTraffic().empty());
}

// Gathering collects only while on; the take-over switches it off. Both resets clear it all.
TEST_F(TrafficReaderTest, GatheringAndResets) {
    gf_gatherCallsign("EZY12AB", 0x400001);  // off: ignored
    gf_startCallsignGathering();
    EXPECT_TRUE(gf_callsignGatheringOn());
    gf_gatherCallsign("SWR12", 0x4b1805);
    EXPECT_EQ(gf_takeGatheredCallsigns().hexids, (std::unordered_set<uint32_t>{0x4b1805}));
    EXPECT_FALSE(gf_callsignGatheringOn());
    for (void (*reset)() : {&gf_resetFeedState, &gf_resetFeedStateProcess}) {
        gf_setQnh(950);
        gf_setTrafficTime(1700000000.5);
        gf_setParkAirportSet(true);
        gf_setParkAirportElevation(1416.0);
        EXPECT_EQ(gf_parkAirportElevationFt(), std::optional<double>(1416.0));
        gf_startCallsignGathering();
        gf_gatherCallsign("SWR12", 0x4b1805);
        reset();
        EXPECT_EQ(g_qnh.load(), 1013);
        EXPECT_EQ(gf_trafficTime(), 0);
        EXPECT_FALSE(gf_parkAirportSet());
        EXPECT_FALSE(gf_parkAirportElevationFt().has_value());
        EXPECT_FALSE(gf_callsignGatheringOn());
        EXPECT_TRUE(gf_takeGatheredCallsigns().hexids.empty());
    }
}

using ScenarioTest = LoggedTest;

TEST_F(ScenarioTest, ReadsEveryFieldInItsPlaceAndWritesItBack) {
    // Every field set, with values that differ from their defaults.
    const Scenario s = gf_parseScenario(R"({
  "frame_rate": 24.5, "run_length_s": 120, "connection_loss_at_s": 95.25, "park_airport": "LSZH",
  "qnh_hpa": 1021.5, "pauses": [{"at_s": 60, "duration_s": 10}],
  "installed_titles": ["Airbus A320 Swiss \"HB-JLT\"", "Boeing 777-300ER Swiss"],
  "frame_dips": [{"at_s": 40, "duration_s": 5, "frame_rate": 12}],
  "airports": [{"icao": "LSZH", "lat": 47.458056, "lon": 8.548056, "elevation_ft": 1416}],
  "user": [{"t": 0, "lat": 47.4512, "lon": 8.5616, "alt_ft": 1416, "heading_deg": 160},
           {"t": 30, "lat": 47.46, "lon": 8.57, "alt_ft": 2400, "heading_deg": 280, "gs_kt": 150.5,
            "on_ground": false}],
  "tracks": [{"hexid": "4B1805", "airline": "SWR", "type": "A320", "origin": "LEMD",
              "destination": "LSZH", "callsign": "SWR287", "registration": "HB-JLT",
              "rows": [[-30, 47.6, 8.36, 5000, 180, 137, -700, 1],
                       [-20, 47.58, 8.39, 4880, 176, 136.5, -690, 1, 181, -1.5, 136.2],
                       [-15, 47.57, 8.40, 4820, 175, 136, -680, 1, 180, null, 135.9],
                       [-10, 47.56, 8.41, 4760, 174, 136, -680, 0, 0, 2.0]]},
             {"hexid": "000001", "rows": [[0, -33.9, 151.2, 0, 0, 0, 0, 0]]}],
  "parked": [{"hexid": "4b1a2b", "airline": "SWR", "type": "A20N", "callsign": "SWR12",
              "registration": "HB-JDA", "lat": 47.4531, "lon": 8.562, "half_hours_ago": 3, "info": "gate A12"},
             {"hexid": "abcdef", "type": "C172", "lat": -12.5, "lon": -77.25, "half_hours_ago": -2}]
})", "demo.json");
    EXPECT_EQ(fmt::format("{} {} {} {} {} {} {} {}", s.frameRate, *s.runLengthSeconds, *s.connectionLossAtSecond,
                          s.parkAirport, *s.qnhHpa, s.pauses.at(0).durationSeconds, s.installedTitles.at(0),
                          s.frameDips.at(0).frameRate),
              "24.5 120 95.25 LSZH 1021.5 10 Airbus A320 Swiss \"HB-JLT\" 12");
    const ScenarioRow& row = s.tracks.at(0).rows.at(1);
    EXPECT_EQ(fmt::format("{:X} {} {} {} {} {} {} {} {} {} {} {} {}", s.tracks[0].hexid, s.tracks[0].destination, row.t,
                          row.lat, row.lon, row.altFt, row.gsKt, row.trackDeg, row.vrateFpm, row.airspeedKt,
                          row.airborne, *row.rollDeg, *row.trueHeadingDeg),
              "4B1805 LSZH -20 47.58 8.39 4880 176 136.5 -690 181 true -1.5 136.2");
    EXPECT_FALSE(s.tracks[0].rows[2].rollDeg.has_value());
    EXPECT_FALSE(s.tracks[0].rows[3].airborne);
    EXPECT_EQ(fmt::format("{} {} {} {} {}", s.user[1].gsKt, s.user[1].onGround, s.parked[1].hexid, s.parked[1].lon,
                          s.parked[1].halfHoursAgo),
              "150.5 false 11259375 -77.25 -2");
    EXPECT_EQ(gf_parseScenario(gf_scenarioToJson(s), "written"), s);
    EXPECT_EQ(gf_parseScenario("{}", "demo.json"), Scenario{});
    tst_writeFile("good.json", gf_scenarioToJson(s));
    EXPECT_EQ(gf_readScenarioFile("good.json"), s);
    const Scenario demo = gf_readScenarioFile(tst_sourceDir() / "data/demo/scenario.json");
    EXPECT_EQ(demo.parkAirport, "LSZH");
    EXPECT_GE(demo.tracks.size(), 3u);
    EXPECT_EQ(gf_capturedLog(), "");
}

TEST_F(ScenarioTest, MalformedInputNamesFileAndPlace) {
    const std::pair<const char*, const char*> rows[] = {
        {R"({"frame_rate": 30,})",
         "demo.json: byte 19: [json.exception.parse_error.101] parse error at line 1, column 19: syntax error while "
         "parsing object key - unexpected '}'; expected string literal"},
        {R"({"tracks": [{"hexid": "000001", "rows": [[0, 1e999, 0, 0, 0, 0, 0, 0]]}]})",
         "demo.json: [json.exception.out_of_range.406] number overflow parsing '1e999'"},
        {R"({"run_lenght_s": 120})", "demo.json: run_lenght_s: unknown field"},
        {R"({"frame_rate": 1e-300})", "demo.json: frame_rate: must be between 1 and 1000"},
        {R"({"frame_rate": true})", "demo.json: frame_rate: expected a number"},
        {R"({"connection_loss_at_s": -1})", "demo.json: connection_loss_at_s: must be between 0 and 864000"},
        {R"({"park_airport": "LSZH"})", "demo.json: park_airport: names no airport of the scenario"},
        {R"({"airports": [{"icao": "LSZH", "lon": 8, "elevation_ft": 1416}]})", "demo.json: airports[0].lat: missing"},
        {R"({"airports": [{"icao": "LSZH", "lat": 95, "lon": 8, "elevation_ft": 1}]})",
         "demo.json: airports[0]: position out of range"},
        {R"({"tracks": [{"hexid": "4b18", "rows": []}]})", "demo.json: tracks[0].hexid: expected a 6-digit hex string"},
        {R"({"tracks": [{"hexid": "4b1805"}, {"hexid": "4b1806", "rows": [[0, 47, 8, 0, "fast", 0, 0, 0]]}]})",
         "demo.json: tracks[1].rows[0]: column 4 (gs_kt) is not a number"},
        {R"({"tracks": [{"hexid": "4b1805", "rows": [[0, 47, 8, 0, 0, 0, 0]]}]})",
         "demo.json: tracks[0].rows[0]: expected an array of 8 to 11 numbers"},
        {R"({"parked": [{"hexid": "4b1805", "lat": 47, "lon": 8, "half_hours_ago": 2147483648}]})",
         "demo.json: parked[0].half_hours_ago: expected a 32-bit integer"},
    };
    for (auto [json, error] : rows) {
        try {
            gf_parseScenario(json, "demo.json");
            ADD_FAILURE() << "no error: " << json;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), error) << json;
        }
    }
    EXPECT_THROW(gf_readScenarioFile("missing.json"), std::runtime_error);
}

// Rows that cannot be flown are dropped and counted once; of two tracks with one address at
// the same time the later goes, the same address on a later flight stays.
TEST_F(ScenarioTest, BadRowsAndOverlappingTracksAreDroppedAndCounted) {
    const char* text = R"({"tracks": [
      {"hexid": "4b1805", "callsign": "A", "rows": [[0, 47, 8, 0, 0, 0, 0, 1], [1, 90.5, 8, 0, 0, 0, 0, 1],
        [2, 47, -180.5, 0, 0, 0, 0, 1], [3, null, 8, 0, 0, 0, 0, 1], [null, 47, 8, 0, 0, 0, 0, 1],
        [0, 47.1, 8, 0, 0, 0, 0, 1], [4, 47, 8, 0, 0, 0, 0, 1, null], [4.5, 47, 8, 1e300, 0, 0, 0, 1],
        [4.6, 47, 8, 0, 1e300, 0, 0, 1], [20, -90, 180, 0, 0, -720, 0, 0]]},
      {"hexid": "4b1806", "callsign": "B", "rows": [[10, 47, 8, 0, 0, 0, 0, 1]]},
      {"hexid": "4b1805", "callsign": "C", "rows": [[20, 47, 8, 0, 0, 0, 0, 1], [30, 47, 8, 0, 0, 0, 0, 1]]},
      {"hexid": "4b1805", "callsign": "D", "rows": [[21, 47, 8, 0, 0, 0, 0, 1]]},
      {"hexid": "002710", "callsign": "E", "rows": [[0, 47, 8, 0, 0, 0, 0, 1]]}],
     "parked": [{"hexid": "4b1a2b", "lat": 47, "lon": 181}, {"hexid": "4b1a2c", "lat": 47, "lon": 8}]})";
    const Scenario s = gf_parseScenario(text, "demo.json");
    std::string kept;
    for (const ScenarioTrack& t : s.tracks) kept += t.callsign;
    EXPECT_EQ(kept, "ABDE");
    std::vector<double> times;
    for (const auto& row : s.tracks[0].rows) times.push_back(row.t);
    EXPECT_EQ(times, (std::vector<double>{0, 20}));
    ASSERT_EQ(s.parked.size(), 1u);
    EXPECT_EQ(s.parked[0].hexid, 0x4b1a2cu);
    EXPECT_EQ(gf_capturedLog(),
              "===> demo.json: dropped 8 track rows and 1 parked aircraft (time or position not finite, out of range "
              "or out of order)\n"
              "===> demo.json: dropped 1 track whose hexid an earlier track has at the same time (first: 4B1805 "
              "(tracks[2]))\n");
}

// The source serves what stands within 5 nm of the park airport (all without one) and the
// aircraft within the asked radius of the asked position.
TEST_F(ScenarioTest, SourceServesWhatThePlaceAsks) {
    auto scenario = std::make_shared<Scenario>();
    scenario->parkAirport = "LSZH";
    scenario->airports = {{"LSZH", 47.458056, 8.548056, 1416}};
    scenario->parked = {{0x4b1a2b, "SWR", "A20N", "SWR12", "HB-JDA", 47.4531, 8.562, 3, "gate A12"},
                        {0xabcdef, "", "C172", "", "", 47.458056 + 4.9 / 60, 8.548056, -2, ""},
                        {0xabcdf0, "", "C172", "", "", 47.458056 + 5.1 / 60, 8.548056, -2, ""}};
    ScenarioSource source(scenario);
    std::vector<ParkedTrafficRecord> parked;
    EXPECT_TRUE(source.parkedTraffic(parked));
    EXPECT_EQ(parked.size(), 2u);
    scenario->parkAirport.clear();
    parked.clear();
    source.parkedTraffic(parked);
    EXPECT_EQ(parked.size(), 3u);
    for (double northNm : {5.0, 30.0}) {
        ScenarioTrack& t = scenario->tracks.emplace_back();
        t.hexid = static_cast<uint32_t>(0x4b1800 + northNm);
        t.rows = {{0, 47 + northNm / 60, 8, 5000, 250, 180, 0, 0, true}};
    }
    const struct {
        double centerNorthNm, radiusNm;
        std::vector<uint32_t> served;
    } rows[] = {{0, 10, {0x4b1805}}, {0, 40, {0x4b1805, 0x4b181e}}, {30, 2, {0x4b181e}}, {60, 20, {}}};
    for (const auto& row : rows) {
        std::vector<TrafficReport> out;
        source.reportsAt(0, {{47 + row.centerNorthNm / 60, 8}, row.radiusNm}, out);
        std::vector<uint32_t> served;
        for (const TrafficReport& r : out) served.push_back(r.hexid);
        EXPECT_EQ(served, row.served) << row.centerNorthNm << " " << row.radiusNm;
    }
}

}  // namespace
