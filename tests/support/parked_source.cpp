#include "support/parked_source.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "feed/traffic_reader.h"
#include "feed/traffic_source.h"

namespace {

// Far beyond any test: the reader polls once at its start and then only answers asks.
constexpr std::chrono::hours kNoMorePolls{24 * 365};
constexpr std::chrono::seconds kAnswerWait{10};

std::mutex g_parkedMutex;
std::vector<ParkedTrafficRecord> g_parked;

class ParkedOnlySource : public TrafficSource {
  public:
    void reportsAt(double, const TrafficArea&, std::vector<TrafficReport>&) override {}
    bool parkedTraffic(std::vector<ParkedTrafficRecord>& out) override {
        std::lock_guard lock(g_parkedMutex);
        out = g_parked;
        return true;
    }
};

}  // namespace

bool tst_startParkedReader() {
    return gf_startTrafficReader(std::make_unique<ParkedOnlySource>(), 0, kNoMorePolls);
}

void tst_setParked(std::vector<ParkedTrafficRecord> parked) {
    std::lock_guard lock(g_parkedMutex);
    g_parked = std::move(parked);
}

bool tst_awaitParkedAnswer() {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
    while (!gf_parkedTrafficAnswered()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

ParkedTrafficRecord tst_parked(uint32_t hexid, const std::string& callsign, const std::string& type,
                               const std::string& reg, LatLon position, int halfHoursAgo) {
    ParkedTrafficRecord r;
    r.airline = callsign.substr(0, 3);
    r.type = type;
    r.callsign = callsign;
    r.regcode = reg;
    r.lat = position.lat;
    r.lon = position.lon;
    r.hexid = hexid;
    r.halfHourOffset = halfHoursAgo;
    r.info = "test";
    return r;
}
