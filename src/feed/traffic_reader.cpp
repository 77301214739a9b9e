#include "feed/traffic_reader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include <fmt/format.h>

#include "core/clock.h"
#include "core/display.h"
#include "core/errands.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "core/run_state.h"
#include "feed/feed_state.h"
#include "sim/sim_link.h"
#include "sim/sim_state.h"

namespace {
using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr uint32_t kMaxHexid = 0xFFFFFF;

// Lock order: the sink lock is held while the sink runs, so the sink may take the intake's
// locks but nothing may call gf_setTrafficBatchSink while holding them.
std::mutex g_sinkMutex;
TrafficBatchSink g_sink;

// Guards the reader's state below. The thread object itself is touched only by start and stop.
std::mutex g_readerMutex;
std::condition_variable g_readerCv;  // wakes the reader (stop, request) and the asker (answer, end)
std::thread g_readerThread;
std::unique_ptr<TrafficSource> g_source;  // used only by the reader thread while it runs
std::unique_ptr<TrafficReader> g_reader;
bool g_readerStop = false;
bool g_readerRunning = false;
std::atomic<int> g_pollCount{0};

// The parked traffic the source gave for one ask; delivered false when it gave none.
struct ParkedAnswer {
    bool delivered = false;
    std::vector<ParkedTrafficRecord> list;
};

void lf_wakeReader() {
    std::lock_guard lock(g_readerMutex);
    g_readerCv.notify_all();
}

// The asks for parked traffic (their own lock, taken inside g_readerMutex, never around it). One
// question at a time: a new ask replaces the one before.
constexpr int kParkedAsk = 0;
Errands<int, ParkedAnswer> g_parkedAsks(lf_wakeReader);
// The list of the answer taken last, until the asker takes it. The asker's thread only.
std::vector<ParkedTrafficRecord> g_parkedList;

double lf_utcSeconds() {
    return std::chrono::duration<double>(gf_utcNow().time_since_epoch()).count();
}

TrafficArea lf_queryArea() {
    const UserSnapshot user = gf_requestUserPosition();
    return {{user.lat, user.lon}, g_rangeNm.load()};
}

bool lf_finite(std::optional<double> v) {
    return !v || std::isfinite(*v);
}

bool lf_reportIsSound(const TrafficReport& r) {
    for (double v : {r.t, r.lat, r.lon, r.altFt, r.gsKt, r.trackDeg, r.vrateFpm, r.airspeedKt})
        if (!std::isfinite(v)) return false;
    if (!lf_finite(r.rollDeg) || !lf_finite(r.trueHeadingDeg)) return false;
    if (!gf_withinPhysicalBounds(r.altFt, r.gsKt, r.vrateFpm, r.airspeedKt, r.rollDeg)) return false;
    return std::abs(r.lat) <= 90 && std::abs(r.lon) <= 180 && r.hexid <= kMaxHexid;
}


void lf_handOver(std::vector<LiveTrafficRecord>& batch, int delaySeconds) {
    std::lock_guard lock(g_sinkMutex);
    if (g_sink) g_sink(batch, delaySeconds);
}

void lf_serveParkedRequest(std::unique_lock<std::mutex>& lock, uint64_t number) {
    lock.unlock();
    ParkedAnswer answer;
    answer.delivered = g_source->parkedTraffic(answer.list);
    g_parkedAsks.answer(kParkedAsk, number, std::move(answer));
    lock.lock();
    g_readerCv.notify_all();
}

void lf_readerLoop(milliseconds pollInterval) {
    std::unique_lock lock(g_readerMutex);
    auto nextPoll = steady_clock::now();
    while (!g_readerStop && !g_stopRun.load()) {
        if (const auto question = g_parkedAsks.takeUp()) {
            lf_serveParkedRequest(lock, question->second);
            continue;
        }
        if (steady_clock::now() >= nextPoll) {
            lock.unlock();
            g_reader->pollOnce(lf_utcSeconds());
            ++g_pollCount;
            lock.lock();
            nextPoll = steady_clock::now() + pollInterval;
            continue;
        }
        g_readerCv.wait_until(lock, nextPoll, [] { return g_readerStop || g_parkedAsks.waiting(); });
    }
}

void lf_readerThread(milliseconds pollInterval) {
    try {
        lf_readerLoop(pollInterval);
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("trafficReader exception: {}", e.what()));
        gf_stopRunWith(ExitState::ReaderError);
    }
    std::lock_guard lock(g_readerMutex);
    if (g_reader->badReports() > 0)
        gf_logLine(fmt::format("traffic reader: {} bad report{} dropped", g_reader->badReports(),
                               g_reader->badReports() == 1 ? "" : "s"));
    if (g_reader->repeatedReports() > 0)
        gf_logLine(fmt::format("traffic reader: {} report{} dropped: hexid repeated in one poll",
                               g_reader->repeatedReports(), g_reader->repeatedReports() == 1 ? "" : "s"));
    g_readerRunning = false;
    g_readerCv.notify_all();
}
}  // namespace

void gf_setTrafficBatchSink(TrafficBatchSink sink) {
    std::lock_guard lock(g_sinkMutex);
    g_sink = std::move(sink);
}

TrafficReader::TrafficReader(TrafficSource& source, double runStartUtc)
    : source_(source), runStartUtc_(runStartUtc) {}

void TrafficReader::pollOnce(double nowUtc) {
    double newest = 0;
    blockCallsign_ = BLOCK_CALLSIGN.value();
    const TrafficArea area = lf_queryArea();
    if (firstPollDone_) {
        deliver(nowUtc, kLiveDelaySeconds, area, newest);
    } else {
        firstPollDone_ = true;
        for (int k = 0; k < kBufferedSnapshots; ++k)
            deliver(nowUtc - kLiveDelaySeconds + kSnapshotSpacingSeconds * k, kSnapshotSpacingSeconds * k, area,
                    newest);
    }
    // Set once the whole poll is handed over, so that an empty snapshot of a poll that did
    // bring records cannot leave the time at 0.
    gf_setTrafficTime(newest);
    if (const std::optional<double> qnh = source_.nearestQnh()) gf_setQnh(*qnh);
}

void TrafficReader::deliver(double dataTimeUtc, int delaySeconds, const TrafficArea& area, double& newest) {
    reports_.clear();
    staging_.clear();
    hexidsOfPoll_.clear();
    source_.reportsAt(dataTimeUtc - runStartUtc_, area, reports_);
    for (const TrafficReport& report : reports_) {
        LiveTrafficRecord& record = staging_.emplace_back();
        if (!decode(report, record)) {
            staging_.pop_back();
            continue;
        }
        newest = std::max(newest, record.timeStamp);
    }
    lf_handOver(staging_, delaySeconds);
    staging_.clear();
}

bool TrafficReader::decode(const TrafficReport& report, LiveTrafficRecord& record) {
    if (report.hexid <= kMaxStaticHexid) return false;
    if (!lf_reportIsSound(report)) {
        if (badReports_++ == 0)
            gf_logWarning(fmt::format("traffic report {:06X} dropped: a number is not finite or out of range",
                                      report.hexid));
        return false;
    }
    if (!hexidsOfPoll_.insert(report.hexid).second) {
        if (repeatedReports_++ == 0)
            gf_logWarning(fmt::format("traffic report {:06X} dropped: its hexid came twice in one poll", report.hexid));
        return false;
    }
    record.airline = report.airline;
    record.type = report.type;
    record.origin = report.origin;
    record.destination = report.destination;
    record.callsign = report.callsign;
    record.regcode = report.registration;
    PosSample& s = record.sample;
    s.lat = report.lat;
    s.lon = report.lon;
    s.alt = report.altFt;
    s.gs = report.gsKt;
    s.track = gf_wrapDeg360(report.trackDeg);
    s.vrate = report.vrateFpm;
    s.airspeed = report.airspeedKt;
    s.airborne = report.airborne ? 1 : 0;
    if (report.rollDeg) s.roll = gf_degToRad(*report.rollDeg);
    if (report.trueHeadingDeg) s.trueHeading = gf_degToRad(gf_wrapDeg360(*report.trueHeadingDeg));
    s.attitudeFlag = (s.roll || s.trueHeading) ? 1 : 0;
    record.timeStamp = runStartUtc_ + report.t;
    record.hexid = report.hexid;
    gf_gatherCallsign(record.callsign, record.hexid);
    // The user asked to block this callsign: live traffic removes the aircraft when the
    // event reaches it.
    if (!blockCallsign_.empty() && record.callsign == blockCallsign_) gf_pushBlockEvent(record.hexid);
    return true;
}

bool gf_startTrafficReader(std::unique_ptr<TrafficSource> source, double runStartUtc,
                           milliseconds pollInterval) {
    std::unique_lock lock(g_readerMutex);
    if (g_readerRunning || !source) return false;
    if (g_readerThread.joinable()) {
        // A reader that ended by itself (g_stopRun) but was never stopped.
        lock.unlock();
        g_readerThread.join();
        lock.lock();
    }
    g_source = std::move(source);
    g_reader = std::make_unique<TrafficReader>(*g_source, runStartUtc);
    g_pollCount = 0;
    g_readerStop = false;
    g_readerRunning = true;
    g_readerThread = std::thread(lf_readerThread, pollInterval);
    return true;
}

void gf_stopTrafficReader() {
    {
        std::lock_guard lock(g_readerMutex);
        g_readerStop = true;
    }
    g_readerCv.notify_all();
    if (g_readerThread.joinable()) g_readerThread.join();
    std::lock_guard lock(g_readerMutex);
    g_reader.reset();
    g_source.reset();
    g_readerStop = false;
}

int gf_trafficPollCount() { return g_pollCount; }

bool gf_trafficReaderRunning() {
    std::lock_guard lock(g_readerMutex);
    return g_readerRunning;
}

bool gf_waitTrafficReaderEnded(milliseconds timeout) {
    std::unique_lock lock(g_readerMutex);
    return g_readerCv.wait_for(lock, timeout, [] { return !g_readerRunning; });
}

bool gf_requestParkedTraffic(milliseconds timeout) {
    if (!gf_askParkedTraffic()) return false;
    {
        std::unique_lock lock(g_readerMutex);
        g_readerCv.wait_for(lock, timeout,
                            [] { return g_parkedAsks.answered(kParkedAsk) || !g_readerRunning; });
    }
    return gf_takeParkedTrafficAnswer().value_or(false);
}

bool gf_askParkedTraffic() {
    if (!gf_trafficReaderRunning()) return false;
    g_parkedList.clear();
    g_parkedAsks.ask(kParkedAsk);
    return true;
}

std::optional<bool> gf_takeParkedTrafficAnswer() {
    std::optional<ParkedAnswer> answer = g_parkedAsks.take(kParkedAsk);
    if (!answer) {
        g_parkedAsks.giveUp(kParkedAsk);
        return std::nullopt;
    }
    g_parkedList = std::move(answer->list);
    return answer->delivered;
}

bool gf_parkedTrafficAnswered() {
    return g_parkedAsks.answered(kParkedAsk);
}

std::vector<ParkedTrafficRecord> gf_takeParkedTraffic() {
    return std::exchange(g_parkedList, {});
}

void gf_resetFeedRun() {
    gf_stopTrafficReader();
    g_parkedAsks.clear();
    g_parkedList.clear();
    gf_resetFeedState();
}

void gf_resetFeedProcess() {
    gf_resetFeedRun();
    gf_setTrafficBatchSink({});
    gf_resetFeedStateProcess();
}
