// The traffic reader: a thread that polls a traffic source, decodes its reports into live
// traffic records and hands each poll's batch over; it also fetches the parked traffic on
// request. The run thread starts and stops it; live traffic receives the batches.
#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

#include "feed/records.h"
#include "feed/traffic_source.h"

inline constexpr int kLiveDelaySeconds = 30;       // playback delay of every poll after the first
inline constexpr int kBufferedSnapshots = 5;       // snapshots the first poll delivers
inline constexpr int kSnapshotSpacingSeconds = 6;  // data time and delay step between them
inline constexpr std::chrono::milliseconds kPollInterval{2000};
inline constexpr std::chrono::milliseconds kParkedTrafficWait{10000};

// Receives one decoded batch with its playback delay (seconds) on the reader thread. It may
// take the records out of the vector; the reader empties it afterwards in any case.
using TrafficBatchSink = std::function<void(std::vector<LiveTrafficRecord>& batch, int delaySeconds)>;
// Sets where batches go; an empty sink drops them.
void gf_setTrafficBatchSink(TrafficBatchSink sink);

// One reader's polling and decoding, without the thread, so that a poll can be stepped with a
// given time. The thread loop calls pollOnce with the UTC clock's time.
class TrafficReader {
  public:
    TrafficReader(TrafficSource& source, double runStartUtc);
    // One poll at nowUtc (UTC seconds), around the user aircraft within the traffic range
    // (g_rangeNm) as they stand at the poll. The first hands over five snapshots, oldest first:
    // snapshot k holds the data of nowUtc - 30 + 6k with the delay 6k. Every later poll hands
    // over the data of nowUtc with the delay 30. Sets the feed's traffic time to the newest
    // time stamp of the poll (0 when it brought no record), and the QNH when the source gives one.
    void pollOnce(double nowUtc);
    // Reports dropped because a number was not finite, out of range or out of physical bounds.
    int badReports() const { return badReports_; }
    // Reports dropped because an earlier report of the same poll had their hexid: one
    // aircraft cannot be in two places, and live traffic would follow neither.
    int repeatedReports() const { return repeatedReports_; }

  private:
    void deliver(double dataTimeUtc, int delaySeconds, const TrafficArea& area, double& newest);
    bool decode(const TrafficReport& report, LiveTrafficRecord& record);

    TrafficSource& source_;
    double runStartUtc_;
    bool firstPollDone_ = false;
    std::string blockCallsign_;  // BLOCK_CALLSIGN as it stood at the start of the poll
    int badReports_ = 0;
    int repeatedReports_ = 0;
    std::unordered_set<uint32_t> hexidsOfPoll_;
    std::vector<TrafficReport> reports_;
    std::vector<LiveTrafficRecord> staging_;
};

// Starts the reader thread over the source; runStartUtc (UTC seconds) is the source's time 0.
// Polls every pollInterval until gf_stopTrafficReader or g_stopRun. False when one runs already.
bool gf_startTrafficReader(std::unique_ptr<TrafficSource> source, double runStartUtc,
                           std::chrono::milliseconds pollInterval = kPollInterval);
// Polls the running reader has completed since it started (0 until its first answer).
int gf_trafficPollCount();
// Asks the thread to stop, joins it and drops the source.
void gf_stopTrafficReader();
// True from the start until the thread's loop has ended.
bool gf_trafficReaderRunning();
// Waits up to timeout for the thread's loop to end (after g_stopRun); true when it has.
bool gf_waitTrafficReaderEnded(std::chrono::milliseconds timeout);

// Asks the reader for the parked traffic around the park airport and waits up to timeout for
// it. True when a list was delivered; false at once when no reader runs, and false when the
// source gave none, the wait ran out or the reader ended. An answer that comes after its
// asker gave up is thrown away.
bool gf_requestParkedTraffic(std::chrono::milliseconds timeout = kParkedTrafficWait);
// The list the last successful request delivered, in delivery order; taken out.
std::vector<ParkedTrafficRecord> gf_takeParkedTraffic();

// Per-run reset (closing down): stops the reader, forgets the parked list, resets the feed
// state. The batch sink stays: it is wired once per process.
void gf_resetFeedRun();
// Whole-process reset: the per-run reset and no batch sink.
void gf_resetFeedProcess();
