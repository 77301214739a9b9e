#include "live/sim_events.h"

#include <algorithm>
#include <type_traits>

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "aircraft/type_database.h"
#include "airports/stand.h"
#include "core/display.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/clock.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "core/random.h"
#include "core/run_state.h"
#include "feed/records.h"
#include "live/air_motion.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "live/respawn.h"
#include "sim/flight_plan.h"
#include "sim/sim_state.h"

std::vector<SimEventRec> g_waitingEvents;
bool g_fastObjectScan = false;

namespace {

constexpr uint32_t kFirstAiObjectId = 3;
constexpr int32_t kToggleAtTicks[] = {50, 100};
constexpr uint32_t kThrottleSteps[] = {0, 4914, 8191, 11468, 16383};
constexpr uint32_t kFlapsSteps[] = {0, 3072, 10240, 16383, 0};
constexpr double kLandingLightsCeilingFt = 10000;
constexpr double kCabinLightsAglFt = 2000;
constexpr double kMinStaticCgFt = 1.0, kMaxStaticCgFt = 35.0;
constexpr double kMinStaticPitchRad = gf_degToRad(-1.0), kMaxStaticPitchRad = gf_degToRad(2.5);
constexpr double kDefaultStaticPitchRad = 0.012217304763960306;  // 0.7 degrees
constexpr const char* kSimulatorShortName = "P3D";

// Records are erased outside the update loop by moving the last record into the place.
template <typename Rec>
void lf_eraseBySwap(std::vector<Rec>& records, Rec& rec) {
    // A live aircraft that goes without a removal of its own (refused create, removed by the
    // simulator) must not leave its stand marked occupied.
    if constexpr (std::is_same_v<Rec, LiveAircraft>) {
        gf_leaveStand(rec);
        gf_liveErasing(rec);
    }
    Rec& last = records.back();
    if (&rec != &last) rec = std::move(last);
    records.pop_back();
}

// An object no record owns must not stay in the simulator.
void lf_removeOrphan(uint32_t objectId, uint32_t hexid, std::string_view why) {
    gf_logWarning(
        fmt::format("{}: object {} of hexid {} {}, removed", "gf_handleSimEvents", objectId, hexid, why));
    gf_queueRemoval(objectId);
}

void lf_requestStaticCg(uint32_t objectId) {
    std::lock_guard lock(g_simCommandMutex);
    if (SimConnect_RequestDataOnSimObject(g_hSimConnect, kReqStaticCg, kDefStaticCg, objectId,
                                          SimPeriod::Once) >= 0)
        return;
    gf_logLine("SimConnect request StaticCG fails");
    gf_simRequestError();
}

void lf_allLightsToggle(uint32_t objectId) {
    std::lock_guard lock(g_simCommandMutex);
    const auto event = static_cast<uint32_t>(SimClientEvent::AllLightsToggle);
    if (SimConnect_TransmitClientEvent(g_hSimConnect, objectId, event, 0, kGroupAi, 0) >= 0) return;
    gf_logLine("SimConnect gf_allLightsToggle fails");
    gf_simRequestError();
}

// A created object is bound to the record that waits for it. The object of a record that is
// gone, or that already has another object, is taken out again; false then.
bool lf_bindCreated(AircraftRec* rec, const SimEventRec& e) {
    if (!rec) {
        lf_removeOrphan(e.objectId, e.hexid, "has no aircraft");
        return false;
    }
    if (rec->objectId != 0 && rec->objectId != e.objectId) {
        lf_removeOrphan(e.objectId, e.hexid, "duplicates the aircraft's object");
        return false;
    }
    rec->objectId = e.objectId;
    return true;
}

// A created live object waits 200 ticks before it is driven.
void lf_onLiveCreated(const SimEventRec& e) {
    if (e.objectId < kFirstAiObjectId) return;
    LiveAircraft* ac = gf_findLiveByHexid(e.hexid);
    if (!lf_bindCreated(ac, e)) return;
    ac->agl = e.value2;
    if (!ac->stream.empty() && !ac->stream.front().airborne) lf_parksOnCreate(*ac);
    lf_createFlightPlan(*ac);
    lf_requestStaticCg(e.objectId);
    g_waitingEvents.push_back(e);
}

// A created static object is bound at once, so that a removal before its activation finds the
// record instead of leaving it in adding2sim for good.
void lf_onStaticCreated(const SimEventRec& e) {
    if (e.objectId < kFirstAiObjectId) return;
    if (lf_bindCreated(gf_findStaticByHexid(e.hexid), e)) g_waitingEvents.push_back(e);
}

void lf_onObjectScan(const SimEventRec& e) {
    LiveAircraft* ac = gf_findLiveByObjectId(e.objectId);
    if (!ac) return;
    if (e.hexid == 1 && !ac->onGround && ac->takeOffCounter < 2 && ac->lifeState != removingfromsim &&
        ac->flightState != take_off) {
        if (ac->flareStage > 0 || ac->approachFlag) lf_onGroundSlots(*ac);
        ac->onGround = 1;
        ac->dAltitude = 0;
        ac->takeOffCounter = 1;
    }
    ac->agl = e.value2;
    if (ac->onGround || ac->takeOffCounter > 1) ac->altitude = e.value1 + ac->staticCgHeight;
}

void lf_onStaticCg(const SimEventRec& e) {
    LiveAircraft* ac = gf_findLiveByObjectId(e.objectId);
    if (!ac) return;
    if (e.value1 >= kMinStaticCgFt && e.value1 <= kMaxStaticCgFt) ac->staticCgHeight = e.value1;
    // Written so that a value that is no number takes the default as well.
    const bool plausible = e.value2 > kMinStaticPitchRad && e.value2 <= kMaxStaticPitchRad;
    ac->staticPitch = plausible ? e.value2 : kDefaultStaticPitchRad;
}

void lf_onCreateFailedEvent(const SimEventRec& e) {
    if (e.hexid > kMaxStaticHexid) {
        LiveAircraft* ac = gf_findLiveByHexid(e.hexid);
        if (!ac) return;
        gf_onCreateFailed(*ac);
        lf_eraseBySwap(g_liveRecords, *ac);
        return;
    }
    AircraftRec* st = gf_findStaticByHexid(e.hexid);
    if (!st) return;
    gf_onCreateFailed(*st);
    lf_eraseBySwap(g_staticAircraft, *st);
}

void lf_handleEvent(const SimEventRec& e) {
    switch (e.kind) {
        case kEvLiveCreated:
            return lf_onLiveCreated(e);
        case kEvStaticCreated:
            return lf_onStaticCreated(e);
        case kEvRemoved:
            return lf_onObjectRemoved(e.objectId);
        case kEvObjectScan:
            return lf_onObjectScan(e);
        case kEvStaticCg:
            return lf_onStaticCg(e);
        case kEvCreateFailed:
            return lf_onCreateFailedEvent(e);
        case kEvBlock:
            return lf_onBlocked(e.hexid);
        default:
            return;  // unknown kinds are ignored
    }
}

// Takes the handled events off the queue even when handling one of them throws, so that no
// event is handled twice.
struct TakeHandledEvents {
    size_t taken = 0;
    ~TakeHandledEvents() {
        if (taken == g_simEventQueue.size())
            g_simEventQueue.clear();
        else
            g_simEventQueue.erase(g_simEventQueue.begin(),
                                  g_simEventQueue.begin() + static_cast<ptrdiff_t>(taken));
    }
};

void lf_activateLive(SimEventRec& e) {
    LiveAircraft* ac = gf_findLiveByHexid(e.hexid);
    e.counter = -1;
    if (!ac || ac->objectId != e.objectId) return lf_removeOrphan(e.objectId, e.hexid, "lost its aircraft");
    lf_activate(*ac);
    if (!ac->removeWhenItAppears) return;
    ac->removeWhenItAppears = 0;
    removeAircraftFromSim(*ac);
}

void lf_logParked(const AircraftRec& st) {
    if (!LOG.value()) return;
    gf_logLine(fmt::format("{:8}: {:8} parked", gf_standNameOfId(st.standId), st.callsign));
}

void lf_activateStatic(SimEventRec& e) {
    AircraftRec* st = gf_findStaticByHexid(e.hexid);
    e.counter = -1;
    if (!st || st->objectId != e.objectId) return lf_removeOrphan(e.objectId, e.hexid, "lost its aircraft");
    st->lifeState = active;
    st->objectId = e.objectId;
    gf_stopParkedAircraft(*st);
    lf_logParked(*st);
    if (!st->removeWhenItAppears) return;
    st->removeWhenItAppears = 0;
    removeAircraftFromSim(*st);
}

// One waiting entry: true when it was finished.
bool lf_countWaiting(SimEventRec& e) {
    if (e.counter < kActivationTicks) {
        ++e.counter;
        const bool toggle = e.kind == kEvLiveCreated &&
                            std::find(std::begin(kToggleAtTicks), std::end(kToggleAtTicks), e.counter) !=
                                std::end(kToggleAtTicks);
        if (toggle) lf_allLightsToggle(e.objectId);
        return false;
    }
    if (e.kind == kEvLiveCreated)
        lf_activateLive(e);
    else
        lf_activateStatic(e);
    return true;
}

void lf_activateAirborne(const LiveAircraft& ac) {
    gf_queueClientEvent(ac.objectId, SimClientEvent::EngineAutoStart, 0);
    gf_airCommand(ac, SimClientEvent::SpoilersSet, 0);
    const uint32_t low = ac.altitude <= kLandingLightsCeilingFt ? 1 : 0;
    const uint32_t cabin = ac.agl >= kCabinLightsAglFt ? 1 : 0;
    gf_queueLights(ac.objectId, {1, 1, low, 0, 1, low, cabin});
}

void lf_activateOnGround(LiveAircraft& ac) {
    gf_airCommand(ac, SimClientEvent::SpoilersSet, 0);
    const bool parkedNow = ac.flightState == parked;
    const uint32_t nav = parkedNow ? (NAV_LIGHTS_WHILE_PARKED.value() ? 1 : 0) : 1;
    gf_queueClientEvent(ac.objectId,
                        parkedNow ? SimClientEvent::EngineAutoShutdown : SimClientEvent::EngineAutoStart, 0);
    const uint32_t taxiLights = ac.flightState == taxi ? 1 : 0;
    gf_queueLights(ac.objectId, {nav, parkedNow ? 0u : 1u, 0, taxiLights, 0, 1, 1});
    gf_airThrottle(ac, 0);
    gf_setFlaps(ac, ac.flightState == taxi ? 1 : 0);
}

}  // namespace

void gf_handleSimEvents() {
    std::lock_guard lock(g_simEventMutex);
    {
        TakeHandledEvents handled;
        while (handled.taken < g_simEventQueue.size()) {
            const SimEventRec e = g_simEventQueue[handled.taken++];
            lf_handleEvent(e);
        }
    }
    if (!g_waitingEvents.empty()) lf_handleCreatedObjects();
}

void lf_handleCreatedObjects() {
    bool finished = false;
    for (size_t i = 0; i < g_waitingEvents.size(); ++i)
        finished = lf_countWaiting(g_waitingEvents[i]) || finished;
    if (finished) std::erase_if(g_waitingEvents, [](const SimEventRec& e) { return e.counter < 0; });
}

void lf_activate(LiveAircraft& ac) {
    ac.lifeState = active;
    if (ac.stream.empty()) {
        gf_logLine(fmt::format("{} stream empty ? {}, hexid:{}, objectid:{}", "lf_activate", gf_acLabel(ac),
                               ac.hexid, ac.objectId));
        removeAircraftFromSim(ac);
        return;
    }
    if (ac.stream.front().airborne)
        lf_activateAirborne(ac);
    else
        lf_activateOnGround(ac);
    gf_logDetail(fmt::format("{} {} active as object {}, {}", gf_logStamp(), gf_acLabel(ac), ac.objectId,
                             gf_flightStateName(ac.flightState)));
}

void lf_onObjectRemoved(uint32_t objectId) {
    // An object gone before its activation waits for nothing any more.
    std::erase_if(g_waitingEvents, [&](const SimEventRec& e) { return e.objectId == objectId; });
    if (LiveAircraft* ac = gf_findLiveByObjectId(objectId)) {
        // The plan file is named after the object: the respawned object gets a file of its own.
        if (ac->flightPlanSent) gf_removeFlightPlan(objectId);
        ac->flightPlanSent = 0;
        if (ac->lifeState == liveryrespawn) {
            ac->lifeState = buffer;
            ac->throttleIndex = 5;
            ac->flapsIndex = 4;
            ac->objectId = 0;
            return;
        }
        gf_logDetail(fmt::format("{} {} left the simulator, {}", gf_logStamp(), gf_acLabel(*ac),
                                 gf_flightStateName(ac->flightState)));
        lf_eraseBySwap(g_liveRecords, *ac);
        return;
    }
    if (AircraftRec* st = gf_findStaticByObjectId(objectId)) lf_eraseBySwap(g_staticAircraft, *st);
}

bool gf_isRefusedTitle(std::string_view title) {
    return std::find(g_refusedTitles.begin(), g_refusedTitles.end(), title) != g_refusedTitles.end();
}

void gf_onCreateFailed(const AircraftRec& rec) {
    if (g_stopRun || g_userClosing) return;
    gf_showMessage(fmt::format("{} '{}' could not be created by your Sim!", rec.callsign, rec.liveryTitle),
                   true);
    if (!gf_isRefusedTitle(rec.liveryTitle)) g_refusedTitles.emplace_back(rec.liveryTitle);
    g_uncreatableTitles.insert(fmt::format("{} {}", rec.type, rec.airline));
    if (g_refusedTitles.size() < kMaxRefusedTitles) return;
    const std::string message =
        fmt::format("There are too many liveries that could not be created by {}!", kSimulatorShortName);
    gf_logLine(fmt::format("\n{}Error 81, {}\n", "===> ", message));
    throw qtk::UserErrorException(81, fmt::format("{}, see Log.txt", message));
}

void gf_setThrottle(AircraftRec& rec, uint32_t index) {
    if (index == rec.throttleIndex) return;
    if (index < std::size(kThrottleSteps))
        gf_queueClientEvent(rec.objectId, SimClientEvent::ThrottleSet, kThrottleSteps[index]);
    rec.throttleIndex = index;
}

void gf_setFlaps(AircraftRec& rec, uint32_t index) {
    if (index == rec.flapsIndex || !gf_airCommandAllowed(rec, SimClientEvent::FlapsSet)) return;
    if (index < std::size(kFlapsSteps))
        gf_queueClientEvent(rec.objectId, SimClientEvent::FlapsSet, kFlapsSteps[index]);
    else
        gf_logLine("gf_setFlaps: invalid flaps index");
    rec.flapsIndex = index;
}

void gf_stopParkedAircraft(AircraftRec& rec) {
    if (rec.throttleIndex != 0) {
        gf_queueClientEvent(rec.objectId, SimClientEvent::ThrottleSet, 0);
        rec.throttleIndex = 0;
    }
    gf_setFlaps(rec, 0);
    gf_queueClientEvent(rec.objectId, SimClientEvent::EngineAutoShutdown, 0);
    const uint32_t cabin = rec.cargoStand ? 0 : (gf_nextRandom() % 10 <= 8 ? 1 : 0);
    gf_queueLights(rec.objectId, {NAV_LIGHTS_WHILE_PARKED.value() ? 1u : 0u, 0, 0, 0, 0, 1, cabin});
}

void gf_resetSimEvents() {
    g_waitingEvents.clear();
    g_fastObjectScan = false;
}

void gf_resetSimEventsProcess() {
    gf_resetSimEvents();
    g_waitingEvents.shrink_to_fit();
}
