#include "live/tick.h"

#include <deque>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "live/air_motion.h"
#include "live/aircraft_rec.h"
#include "live/intake.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"
#include "live/playback.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "live/spawn.h"
#include "live/static_calls.h"
#include "live/time_shift.h"
#include "sim/sim_link.h"
#include "sim/sim_state.h"

namespace {

// A live create sent to the simulator and the tick it went.
struct SentCreate {
    uint32_t hexid = 0;
    uint32_t tick = 0;
};
// Oldest first; run thread only.
std::deque<SentCreate> g_sentCreates;

bool lf_every(uint32_t ticks) {
    return gf_tickNow() % ticks == 0;
}

void lf_removeWithoutSamples(LiveAircraft& ac, std::string_view caller) {
    gf_logLine(fmt::format("{} stream empty ? {}, hexid:{}, objectid:{}, alt:{:.0f} ft, lalo:{}, TAS:{:.0f}",
                           caller, gf_acLabel(ac), ac.hexid, ac.objectId, ac.altitude,
                           fmt::format("{:.6f},{:.6f}", ac.lat, ac.lon), ac.trueAirspeed));
    removeAircraftFromSim(ac);
}

bool lf_frontDue(const LiveAircraft& ac) {
    return static_cast<int32_t>(gf_tickNow() - static_cast<uint32_t>(ac.stream.front().dueTick)) >= 0;
}

void lf_updateActive(LiveAircraft& ac) {
    if (ac.stream.empty()) return lf_removeWithoutSamples(ac, "updateLiveAc");
    if (lf_frontDue(ac)) {
        nextPosMain(ac);
        ac.verticalSpeed = ac.nextVrate / 60;
        ac.trueAirspeed = ac.stream.front().stationary ? 0 : ac.nextAirspeed;
    }
    if (ac.lifeState != active) return;
    if (!ac.stream.front().stationary) lf_tickMotion(ac);
    if (ac.objectId != 0) {
        gf_appendPosition({ac.lat, ac.lon, ac.pitch, ac.bank, ac.heading, ac.altitude, ac.verticalSpeed,
                           ac.trueAirspeed, ac.objectId});
        return;
    }
    gf_logLine(fmt::format("{} objectid=0? hexid: {},cs:{}, reg:{}, aimo:{} sz:{}", "updateLiveAc", ac.hexid,
                           ac.callsign, ac.regcode, gf_airlineTypeId(ac), ac.stream.size()));
    removeAircraftFromSim(ac);
}

void lf_updateByState(LiveAircraft& ac) {
    switch (ac.lifeState) {
        case buffer:
            return lf_spawnDecision(ac);
        case active:
            return lf_updateActive(ac);
        default:
            return;  // adding2sim, liveryrespawn, removingfromsim wait for the simulator
    }
}

AiCreateRec lf_createRecord(const LiveAircraft& ac) {
    AiCreateRec c;
    c.lat = ac.lat;
    c.lon = ac.lon;
    c.altitude = ac.altitude;
    c.pitch = gf_radToDeg(ac.pitch);
    c.bank = gf_radToDeg(ac.bank);
    c.heading = gf_radToDeg(ac.heading);
    c.onGround = ac.stream.front().airborne ? 0 : 1;
    c.airspeed = 0;
    c.callsign = ac.callsign;
    c.liveryTitle = ac.liveryTitle;
    c.hexid = ac.hexid;
    return c;
}

// The create of the aircraft spawned last. One that cannot be created is removed, which takes
// its hexid off the stack, instead of waiting in adding2sim for an object that never comes.
void lf_queueOneCreate() {
    if (g_hexidStack.empty()) return;
    const uint32_t hexid = g_hexidStack.back();
    LiveAircraft* ac = gf_findLiveByHexid(hexid);
    if (ac && ac->lifeState == adding2sim) {
        if (ac->callsign.empty()) {
            gf_logLine(fmt::format("{} {} objectid = 0?", "lf_handleAddingStack", gf_acLabel(*ac)));
            removeAircraftFromSim(*ac);
        } else if (ac->stream.empty()) {
            lf_removeWithoutSamples(*ac, "lf_handleAddingStack");
        } else {
            g_createDeque.push_back(lf_createRecord(*ac));
        }
    }
    if (!g_hexidStack.empty() && g_hexidStack.back() == hexid) g_hexidStack.pop_back();
}

// No connection (the link is being closed or not yet open): there is nobody to ask.
void lf_requestObjectScan() {
    const uint32_t every = g_fastObjectScan ? kFastObjectScanEveryTicks : kObjectScanEveryTicks;
    if (!lf_every(every)) return;
    std::lock_guard lock(g_simCommandMutex);
    if (g_simError || !g_hSimConnect) return;
    const auto radiusMeters = static_cast<uint32_t>(gf_nmToMeters(RANGE.value()));
    if (SimConnect_RequestDataOnSimObjectType(g_hSimConnect, kReqObjectScan, kDefObjectScan, radiusMeters,
                                              SimObjectType::Aircraft) >= 0)
        return;
    gf_logLine("SimConnect request ac within range fails");
    gf_simRequestError();
}

// Only the newest create of an aircraft is waited for: an older one (before a respawn) must not
// withdraw the create that waits now.
void lf_rememberSentCreate(uint32_t hexid) {
    std::erase_if(g_sentCreates, [&](const SentCreate& c) { return c.hexid == hexid; });
    g_sentCreates.push_back({hexid, gf_tickNow()});
}

// An object the scans never find (out of their radius, a model the simulator hides) would keep
// its aircraft in adding2sim for good, holding a place under the live limit. Its aircraft is
// withdrawn; an object that turns up later has no aircraft and is removed then.
void lf_withdrawUnboundCreates() {
    while (!g_sentCreates.empty() && gf_tickNow() - g_sentCreates.front().tick >= kCreateBindLimitTicks) {
        LiveAircraft* ac = gf_findLiveByHexid(g_sentCreates.front().hexid);
        g_sentCreates.pop_front();
        if (!ac || ac->lifeState != adding2sim || ac->objectId != 0 || ac->withdrawn) continue;
        gf_logWarning(fmt::format("{} {} not created within {} s, withdrawn", "lf_handleAddingStack",
                                  gf_acLabel(*ac), kCreateBindLimitTicks / 100));
        gf_leaveStand(*ac);
        ac->withdrawn = 1;
    }
}

}  // namespace

void lf_handleAddingStack() {
    gf_handleSimEvents();
    lf_updateAllLive();
    lf_sendQueued();
    gf_takeFromAddingStack();
    lf_queueOneCreate();
    lf_withdrawUnboundCreates();
    lf_requestObjectScan();
    if (lf_every(kUserCopyEveryTicks)) g_userPosition = gf_requestUserPosition();
    ++g_tickCounter;
}

void lf_updateAllLive() {
    bool anyFinished = false;
    for (LiveAircraft& ac : g_liveRecords) anyFinished = updateLiveAc(ac) || anyFinished;
    if (anyFinished) gf_eraseFinishedLive();
    gf_handOverPositions();
}

void lf_sendQueued() {
    if (lf_every(kRemoveEveryTicks) && !g_removeDeque.empty()) {
        gf_queueRemove(g_removeDeque.front());
        g_removeDeque.pop_front();
    }
    if (!lf_every(kCreateEveryTicks)) return;
    if (!g_createDeque.empty()) {
        gf_queueCreate(g_createDeque.front());
        lf_rememberSentCreate(g_createDeque.front().hexid);
        g_createDeque.pop_front();
        return;
    }
    if (!g_createDequeStatic.empty()) {
        gf_queueCreate(g_createDequeStatic.front());
        g_createDequeStatic.pop_front();
    }
    if (g_staticParkingCalls.placePlanned) g_staticParkingCalls.placePlanned();
}

bool updateLiveAc(LiveAircraft& ac) {
    if (ac.eraseFlag || ac.withdrawn) return true;
    try {
        lf_updateByState(ac);
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "updateLiveAc", e.what(), gf_acLabel(ac),
                               ac.stream.size(), gf_flightStateName(ac.flightState),
                               gf_lifeStateName(ac.lifeState)));
    }
    return ac.eraseFlag || ac.withdrawn;
}

void gf_resetLiveTraffic() {
    g_sentCreates.clear();
    gf_resetAirMotion();
    gf_resetSimEvents();
    gf_resetSpawn();
    gf_resetTimeShift();
}

void gf_resetLiveTrafficProcess() {
    std::deque<SentCreate>().swap(g_sentCreates);
    gf_resetAirMotionProcess();
    gf_resetSimEventsProcess();
    gf_resetSpawn();
    gf_resetTimeShift();
}
