#include "sim/sim_link.h"

#include "sim/sim_state.h"

std::mutex g_simCommandMutex;
std::mutex g_simEventMutex;
SimCommandLists g_simCommands;
std::vector<SimEventRec> g_simEventQueue;
HANDLE g_hSimConnect = nullptr;

namespace {

constexpr const char* kClientEventNames[kClientEventCount] = {
    "ENGINE_AUTO_START", "ENGINE_AUTO_SHUTDOWN", "THROTTLE_SET",    "FLAPS_SET",         "SPOILERS_SET",
    "GEAR_SET",          "ALL_LIGHTS_TOGGLE",    "NAV_LIGHTS_SET",  "BEACON_LIGHTS_SET", "LANDING_LIGHTS_SET",
    "TAXI_LIGHTS_SET",   "STROBES_SET",          "LOGO_LIGHTS_SET", "CABIN_LIGHTS_SET",
};

constexpr std::array<SimClientEvent, 7> kLightEvents = {
    SimClientEvent::NavLightsSet,   SimClientEvent::BeaconLightsSet, SimClientEvent::LandingLightsSet,
    SimClientEvent::TaxiLightsSet,  SimClientEvent::StrobesSet,      SimClientEvent::LogoLightsSet,
    SimClientEvent::CabinLightsSet,
};

void lf_appendEvent(uint32_t objectId, SimClientEvent event, uint32_t data) {
    g_simCommands.clientEvents.push_back({objectId, static_cast<uint32_t>(event), data});
}

}  // namespace

const char* gf_clientEventName(SimClientEvent event) {
    auto index = static_cast<uint32_t>(event) - static_cast<uint32_t>(SimClientEvent::EngineAutoStart);
    return index < kClientEventCount ? kClientEventNames[index] : "";
}

void gf_queueCreate(const AiCreateRec& rec) {
    std::lock_guard lock(g_simCommandMutex);
    g_simCommands.creates.push_back(rec);
}

void gf_queueRemove(uint32_t objectId) {
    std::lock_guard lock(g_simCommandMutex);
    g_simCommands.removes.push_back(objectId);
}

void gf_queueClientEvent(uint32_t objectId, SimClientEvent event, uint32_t data) {
    std::lock_guard lock(g_simCommandMutex);
    lf_appendEvent(objectId, event, data);
}

void gf_queueLights(uint32_t objectId, const std::array<uint32_t, 7>& values) {
    std::lock_guard lock(g_simCommandMutex);
    for (size_t i = 0; i < kLightEvents.size(); ++i) lf_appendEvent(objectId, kLightEvents[i], values[i]);
}

void gf_queueCabinLights(uint32_t objectId, uint32_t value) {
    gf_queueClientEvent(objectId, SimClientEvent::CabinLightsSet, value);
}

void gf_queueData401(uint32_t objectId, double spoilersPct, double throttle1Pct, double throttle2Pct) {
    std::lock_guard lock(g_simCommandMutex);
    g_simCommands.dataSets.push_back(
        {objectId, {spoilersPct, throttle1Pct, throttle2Pct}, g_simCommands.clientEvents.size()});
}

void gf_appendPosition(const PosUpdateRec& rec) {
    // The writing half belongs to the run thread; only the swap needs the lock.
    g_simCommands.positions[g_simCommands.writingHalf].push_back(rec);
}

namespace {
void lf_swapHalves() {
    g_simCommands.writingHalf = 1 - g_simCommands.writingHalf;
    g_simCommands.positions[g_simCommands.writingHalf].clear();
}
}  // namespace

bool gf_handOverPositions() {
    std::unique_lock lock(g_simCommandMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        // A slow simulator holds the lock for long: dropping one tick beats stalling the loop.
        if (g_frameRate.load() <= 50.0f) {
            g_simCommands.positions[g_simCommands.writingHalf].clear();
            return false;
        }
        lock.lock();
    }
    lf_swapHalves();
    return true;
}

void gf_clearPositionBuffers() {
    std::lock_guard lock(g_simCommandMutex);
    for (auto& half : g_simCommands.positions) half.clear();
}

void gf_pushSimEvent(const SimEventRec& rec) {
    std::lock_guard lock(g_simEventMutex);
    g_simEventQueue.push_back(rec);
}

void gf_pushBlockEvent(uint32_t hexid) {
    SimEventRec rec;
    rec.hexid = hexid;
    rec.kind = kEvBlock;
    gf_pushSimEvent(rec);
}

void gf_resetSimLists() {
    std::lock_guard events(g_simEventMutex);
    std::lock_guard commands(g_simCommandMutex);
    g_simEventQueue.clear();
    g_simCommands = SimCommandLists{};
}
