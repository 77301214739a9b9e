#include "sim/sim_thread.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "airports/park_airports.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/run_state.h"
#include "platform/sim_standin.h"
#include "sim/sim_link.h"
#include "sim/sim_state.h"

namespace {

constexpr uint32_t kFirstAiObjectId = 3;
constexpr uint32_t kLiveHexidAbove = 10000;
constexpr double kScanReportAglFt = 2500.0;
constexpr int kFrameRateEvery = 30;
constexpr auto kOpenRetry = std::chrono::milliseconds(100);
constexpr auto kSentCheckStep = std::chrono::milliseconds(5);

// A create that was sent and not yet found in an object scan.
struct PendingCreate {
    uint32_t requestId = 0;
    std::string atcId;
    uint32_t hexid = 0;
};

// The simulator thread's own state.
struct LinkState {
    bool open = false;
    std::vector<PendingCreate> pending;  // in the order sent
    std::vector<uint32_t> bound;         // objects already reported as created
    uint32_t nextRequest = kReqCreateFirst;
    int frames = 0;
};

LinkState g_link;
std::thread g_simThread;
std::atomic<bool> g_simThreadStop{false};
std::mutex g_readyMutex;
std::condition_variable g_readyCv;
bool g_simReady = false;  // guarded by g_readyMutex

void lf_setReady(bool ready) {
    {
        std::lock_guard lock(g_readyMutex);
        if (g_simReady == ready) return;
        g_simReady = ready;
    }
    g_readyCv.notify_all();
}

void lf_linkLost() {
    gf_logWarning("SimConnect connection lost");
    g_simRunning = false;
    gf_simRequestError();
}

bool lf_setUp(HANDLE h) {
    bool ok = true;
    for (int i = 0; i < kClientEventCount; ++i) {
        auto event = static_cast<SimClientEvent>(static_cast<uint32_t>(SimClientEvent::EngineAutoStart) + i);
        ok = ok && SimConnect_MapClientEventToSimEvent(h, static_cast<uint32_t>(event),
                                                       gf_clientEventName(event)) >= 0;
    }
    const std::pair<uint32_t, const char*> systemEvents[] = {
        {kSysSimStart, "SimStart"},
        {kSysSimStop, "SimStop"},
        {kSysOneSecond, "1sec"},
        {kSysFrame, "Frame"},
        {kSysObjectRemoved, "ObjectRemoved"},
    };
    for (const auto& [id, name] : systemEvents)
        ok = ok && SimConnect_SubscribeToSystemEvent(h, id, name) >= 0;
    return ok && SimConnect_RequestDataOnSimObject(h, kReqUserAircraft, kDefUserAircraft, kObjectIdUser,
                                                   SimPeriod::SimFrame) >= 0;
}

bool lf_sendPositions(HANDLE h) {
    bool ok = true;
    for (const auto& p : g_simCommands.positions[1 - g_simCommands.writingHalf]) {
        SimPositionBlock block{p.lat,     p.lon,      p.pitch,         p.bank,
                               p.heading, p.altitude, p.verticalSpeed, p.trueAirspeed};
        ok =
            SimConnect_SetDataOnSimObject(h, kDefPosition, p.objectId, 0, 0, sizeof block, &block) >= 0 && ok;
    }
    return ok;
}

// Client events and data definition 401 in the order they were queued.
bool lf_sendEventsAndData(HANDLE h) {
    auto& c = g_simCommands;
    bool ok = true;
    size_t d = 0;
    for (size_t i = 0; i <= c.clientEvents.size(); ++i) {
        for (; d < c.dataSets.size() && c.dataSets[d].afterEvents <= i; ++d) {
            const auto& set = c.dataSets[d];
            ok = SimConnect_SetDataOnSimObject(h, kDefSpoilerThrottle, set.objectId, 0, 0, sizeof set.values,
                                               &set.values) >= 0 &&
                 ok;
        }
        if (i == c.clientEvents.size()) break;
        const auto& e = c.clientEvents[i];
        ok = SimConnect_TransmitClientEvent(h, e.objectId, e.eventId, e.data, kGroupAi, 0) >= 0 && ok;
    }
    c.clientEvents.clear();
    c.dataSets.clear();
    return ok;
}

bool lf_sendCreatesAndRemoves(HANDLE h) {
    auto& c = g_simCommands;
    bool ok = true;
    for (const auto& rec : c.creates) {
        SimInitPosition init{rec.lat,  rec.lon,     rec.altitude, rec.pitch,
                             rec.bank, rec.heading, rec.onGround, rec.airspeed};
        uint32_t request = g_link.nextRequest++;
        ok = SimConnect_AICreateNonATCAircraft(h, std::string(rec.liveryTitle).c_str(), rec.callsign.c_str(),
                                               init, request) >= 0 &&
             ok;
        g_link.pending.push_back({request, rec.callsign, rec.hexid});
    }
    for (uint32_t id : c.removes) ok = SimConnect_AIRemoveObject(h, id, kReqRemove) >= 0 && ok;
    c.creates.clear();
    c.removes.clear();
    return ok;
}

// Runs on the frame event with the command lock held; no event is pushed from here.
bool lf_sendCommandLists() {
    std::lock_guard lock(g_simCommandMutex);
    HANDLE h = g_hSimConnect;
    bool ok = lf_sendPositions(h);
    ok = lf_sendEventsAndData(h) && ok;
    return lf_sendCreatesAndRemoves(h) && ok;
}

void lf_push(uint32_t objectId, uint32_t hexid, uint32_t kind, double value1, double value2) {
    gf_pushSimEvent({objectId, hexid, 0, kind, value1, value2});
}

void lf_storeUser(const SimUserBlock& u) {
    if (!std::isfinite(u.lat) || !std::isfinite(u.lon) || std::abs(u.lat) > 90 || std::abs(u.lon) > 180)
        return;
    UserSnapshot s;
    s.lat = u.lat, s.lon = u.lon, s.pitch = u.pitch, s.bank = u.bank, s.heading = u.heading;
    s.altitudeFt = u.altitudeFt, s.heightAboveGroundFt = u.heightAboveGroundFt,
    s.groundSpeedKt = u.groundSpeedKt;
    s.onGround = u.onGround != 0;
    s.simUtcSeconds = std::isfinite(u.zuluEpochSeconds) ? static_cast<int64_t>(u.zuluEpochSeconds) : 0;
    gf_storeUserSnapshot(s);
    gf_setSimUtcSeconds(s.simUtcSeconds);
    lf_setReady(true);
}

// A created object is found by its ATC ID; each object binds the oldest create waiting for it.
void lf_scanRow(uint32_t objectId, const SimScanRow& row) {
    if (objectId < kFirstAiObjectId) return;
    std::string atcId(row.atcId, strnlen(row.atcId, sizeof row.atcId));
    bool bound = std::find(g_link.bound.begin(), g_link.bound.end(), objectId) != g_link.bound.end();
    auto create = std::find_if(g_link.pending.begin(), g_link.pending.end(),
                               [&](const PendingCreate& p) { return p.atcId == atcId; });
    if (!bound && create != g_link.pending.end()) {
        uint32_t kind = create->hexid > kLiveHexidAbove ? kEvLiveCreated : kEvStaticCreated;
        lf_push(objectId, create->hexid, kind, 0, row.heightAboveGroundFt);
        g_link.bound.push_back(objectId);
        g_link.pending.erase(create);
    }
    if (!std::isfinite(row.groundElevationFt) || !std::isfinite(row.heightAboveGroundFt)) return;
    if (row.heightAboveGroundFt > kScanReportAglFt) return;
    lf_push(objectId, row.onGround != 0 ? 1 : 0, kEvObjectScan, row.groundElevationFt,
            row.heightAboveGroundFt);
}

void lf_objectData(const SimReply& r) {
    if (r.requestId == kReqUserAircraft)
        lf_storeUser(r.user);
    else if (r.requestId == kReqObjectScan)
        lf_scanRow(r.objectId, r.row);
    else if (r.requestId == kReqStaticCg)
        lf_push(r.objectId, 0, kEvStaticCg, r.cg.cgHeightFt, r.cg.pitchRad);
}

void lf_systemEvent(const SimReply& r) {
    switch (r.eventId) {
        case kSysSimStart:
            g_simRunning = true;
            break;
        case kSysSimStop:
            g_simRunning = false;
            break;
        case kSysOneSecond:
            g_perSecondFlag = 1;
            break;
        case kSysObjectRemoved:
            if (r.objectId < kFirstAiObjectId) break;
            std::erase(g_link.bound, r.objectId);
            lf_push(r.objectId, 0, kEvRemoved, 0, 0);
            break;
        default:
            break;
    }
}

void lf_exception(const SimReply& r) {
    auto create = std::find_if(g_link.pending.begin(), g_link.pending.end(),
                               [&](const PendingCreate& p) { return p.requestId == r.requestId; });
    if (create == g_link.pending.end()) return;
    lf_push(0, create->hexid, kEvCreateFailed, 0, 0);
    g_link.pending.erase(create);
}

// False when the link ends with this reply.
bool lf_handleReply(const SimReply& r) {
    switch (r.kind) {
        case SimReplyKind::Quit:
            gf_logLine("Simulator closed");
            g_simRunning = false;
            gf_stopRunWith(ExitState::SimWasClosed);
            return false;
        case SimReplyKind::Frame:
            if (++g_link.frames % kFrameRateEvery == 0) g_frameRate = r.frameRate;
            if (lf_sendCommandLists()) return true;
            lf_linkLost();
            return false;
        case SimReplyKind::Event:
            lf_systemEvent(r);
            return true;
        case SimReplyKind::ObjectData:
            lf_objectData(r);
            return true;
        case SimReplyKind::Exception:
            lf_exception(r);
            return true;
    }
    return true;
}

bool lf_dispatch() {
    SimReply r;
    for (;;) {
        HRESULT hr = SimConnect_GetNextDispatch(g_hSimConnect, &r);
        if (hr == S_FALSE) return true;
        if (hr < 0) {
            lf_linkLost();
            return false;
        }
        if (!lf_handleReply(r)) return false;
    }
}

bool lf_stopping() {
    return g_simThreadStop || g_stopRun;
}

// Sleeps until the time point or until the thread is asked to stop.
void lf_pauseUntil(std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(g_readyMutex);
    g_readyCv.wait_until(lock, until, [] { return g_simThreadStop.load(); });
}

void lf_simThread() {
    while (!lf_stopping() && !gf_simOpen()) lf_pauseUntil(std::chrono::steady_clock::now() + kOpenRetry);
    auto next = std::chrono::steady_clock::now();
    // A stopped run still needs the link: its closing down removes the AI objects through it.
    while (!g_simThreadStop) {
        auto frame = std::chrono::duration<double>(gf_standinFrameSeconds());
        if (!gf_simFrame()) break;
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(frame);
        lf_pauseUntil(next);
    }
    gf_rememberUserStand();
    gf_simClose();
}

}  // namespace

bool gf_simOpen() {
    HANDLE h = nullptr;
    if (SimConnect_Open(&h, "Trelvo") != S_OK) return false;
    if (!lf_setUp(h)) {
        SimConnect_Close(h);
        return false;
    }
    {
        std::lock_guard lock(g_simCommandMutex);
        g_hSimConnect = h;
    }
    g_link.open = true;
    return true;
}

bool gf_simFrame() {
    if (!g_link.open) return false;
    gf_standinStepFrame();
    if (lf_dispatch()) return true;
    g_link.open = false;
    return false;
}

void gf_simClose() {
    HANDLE h = nullptr;
    {
        std::lock_guard lock(g_simCommandMutex);
        std::swap(h, g_hSimConnect);
    }
    if (h) SimConnect_Close(h);
    g_link.open = false;
    g_simRunning = false;
}

void gf_startSimThread(const Scenario& scenario) {
    gf_stopSimThread();
    gf_standinLoad(scenario);
    g_simThreadStop = false;
    lf_setReady(false);
    g_simThread = std::thread(lf_simThread);
}

void gf_stopSimThread() {
    {
        std::lock_guard lock(g_readyMutex);
        g_simThreadStop = true;
    }
    g_readyCv.notify_all();
    if (g_simThread.joinable()) g_simThread.join();
}

bool gf_waitForSimulator(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(g_readyMutex);
    while (!g_simReady) {
        // The run can be stopped by any thread; look at it between short waits.
        if (g_stopRun || std::chrono::steady_clock::now() >= deadline) return false;
        g_readyCv.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + kOpenRetry));
    }
    return true;
}

bool gf_waitRemovesSent(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard lock(g_simCommandMutex);
            if (g_simCommands.removes.empty()) return true;
            if (!g_hSimConnect) return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kSentCheckStep);
    }
}

void gf_resetSimLink() {
    gf_resetSimLists();
    g_link.pending.clear();
    g_link.bound.clear();
    g_link.frames = 0;
    lf_setReady(false);
    gf_resetSimState();
}

void gf_resetSimLinkAll() {
    gf_stopSimThread();
    gf_simClose();
    gf_resetSimLink();
    g_link = LinkState{};
    g_simThreadStop = false;
    gf_resetStandin();
}
