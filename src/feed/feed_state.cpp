#include "feed/feed_state.h"

#include <algorithm>
#include <cmath>
#include <mutex>

std::atomic<double> g_qnh{kStandardQnhHpa};

namespace {
std::atomic<double> g_trafficTime{0};

std::atomic<bool> g_gathering{false};
std::mutex g_gatherMutex;  // guards the two gathered sets and the switch-off of g_gathering
GatheredCallsigns g_gathered;

std::mutex g_parkAirportMutex;
bool g_parkAirportIsSet = false;
std::optional<double> g_parkAirportElevation;
}  // namespace

double gf_trafficTime() {
    return g_trafficTime.load();
}
void gf_setTrafficTime(double utcSeconds) {
    g_trafficTime.store(utcSeconds);
}

void gf_startCallsignGathering() {
    g_gathering.store(true);
}
bool gf_callsignGatheringOn() {
    return g_gathering.load();
}

void gf_gatherCallsign(std::string_view callsign, uint32_t hexid) {
    if (!g_gathering.load(std::memory_order_relaxed)) return;
    std::lock_guard lock(g_gatherMutex);
    // Checked again under the lock: a take-over between the two checks must not be followed
    // by an insert into the freshly emptied sets.
    if (!g_gathering.load()) return;
    if (!callsign.empty()) g_gathered.callsigns.emplace(callsign);
    g_gathered.hexids.insert(hexid);
}

GatheredCallsigns gf_takeGatheredCallsigns() {
    std::lock_guard lock(g_gatherMutex);
    g_gathering.store(false);
    GatheredCallsigns taken = std::move(g_gathered);
    g_gathered = {};
    return taken;
}

void gf_setParkAirportSet(bool set) {
    std::lock_guard lock(g_parkAirportMutex);
    g_parkAirportIsSet = set;
}

void gf_setParkAirportElevation(std::optional<double> elevationFt) {
    std::lock_guard lock(g_parkAirportMutex);
    g_parkAirportElevation = elevationFt;
}

void gf_clearParkAirport() {
    std::lock_guard lock(g_parkAirportMutex);
    g_parkAirportIsSet = false;
    g_parkAirportElevation.reset();
}

bool gf_parkAirportSet() {
    std::lock_guard lock(g_parkAirportMutex);
    return g_parkAirportIsSet;
}

std::optional<double> gf_parkAirportElevationFt() {
    std::lock_guard lock(g_parkAirportMutex);
    return g_parkAirportElevation;
}

void gf_setQnh(double hPa) {
    if (!std::isfinite(hPa)) return;
    g_qnh.store(std::clamp(hPa, kMinQnhHpa, kMaxQnhHpa));
}

void gf_resetFeedState() {
    g_trafficTime.store(0);
    gf_takeGatheredCallsigns();
    gf_clearParkAirport();
    g_qnh.store(kStandardQnhHpa);
}

void gf_resetFeedStateProcess() {
    gf_resetFeedState();
}
