#include "live/removal.h"

#include <algorithm>
#include <mutex>

#include <fmt/format.h>

#include "core/log.h"
#include "feed/records.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/parking_conflicts.h"

std::vector<uint32_t> g_hexidStack;
std::deque<AiCreateRec> g_createDeque;
std::deque<AiCreateRec> g_createDequeStatic;
std::deque<uint32_t> g_removeDeque;

namespace {

// A spawned aircraft whose create record was not built yet has nothing on its way either.
bool lf_withdrawFromHexidStack(const AircraftRec& rec) {
    return std::erase(g_hexidStack, rec.hexid) > 0;
}

void lf_withdrawOrWait(AircraftRec& rec) {
    if (lf_withdrawFromHexidStack(rec) || gf_removeQueuedCreate(g_createDeque, rec.callsign, rec.hexid) ||
        gf_removeQueuedCreate(g_createDequeStatic, rec.callsign, rec.hexid)) {
        rec.withdrawn = 1;
        return;
    }
    // The create is on its way: the activation removes the object once it exists.
    rec.removeWhenItAppears = 1;
}

// An object in the simulator whose removal was not asked for yet (a respawn has asked already).
void lf_queueObjectRemoval(AircraftRec& rec) {
    if (rec.lifeState == active) return removeAircraftFromSim(rec);
    // Created but not yet activated: the activation that would remove it never comes now.
    if (rec.lifeState != adding2sim || rec.objectId == 0) return;
    gf_queueRemoval(rec.objectId);
    rec.lifeState = removingfromsim;
}

}  // namespace

void removeAircraftFromSim(AircraftRec& rec) {
    if (rec.lifeState == buffer) {
        gf_leaveStand(rec);
        rec.eraseFlag = 1;
        return;
    }
    if (rec.lifeState == adding2sim) {
        if (!rec.removeWhenItAppears) lf_withdrawOrWait(rec);
        // An object still on its way keeps the stand until it appears and is removed.
        if (rec.withdrawn) gf_leaveStand(rec);
        return;
    }
    // The removal was sent already (a respawn sends its own): a second one would reach an object
    // id the simulator may have given to a new object by then.
    if (rec.lifeState == removingfromsim) return;
    gf_leaveStand(rec);
    const bool removalSent = rec.lifeState == liveryrespawn;
    rec.lifeState = removingfromsim;
    if (removalSent) return;
    if (rec.objectId != 0) {
        gf_queueRemoval(rec.objectId);
        return;
    }
    gf_logLine(
        fmt::format("{} removing act {}, with objectid=0 ?", "removeAircraftFromSim", gf_acLabel(rec)));
    // No removal event can come for an object that never existed: drop the record instead.
    if (gf_isLiveAircraft(rec))
        rec.eraseFlag = 1;
    else
        rec.withdrawn = 1;
}

bool gf_removeQueuedCreate(std::deque<AiCreateRec>& queue, std::string_view callsign, uint32_t hexid) {
    if (callsign.empty()) return false;
    return std::erase_if(
               queue, [&](const AiCreateRec& c) { return c.callsign == callsign && c.hexid == hexid; }) > 0;
}

bool gf_queueRemoval(uint32_t objectId) {
    if (std::find(g_removeDeque.begin(), g_removeDeque.end(), objectId) != g_removeDeque.end()) return false;
    g_removeDeque.push_back(objectId);
    return true;
}

void gf_removeAllObjectsNow() {
    for (AircraftRec& st : g_staticAircraft) lf_queueObjectRemoval(st);
    for (LiveAircraft& ac : g_liveRecords) lf_queueObjectRemoval(ac);
    {
        std::lock_guard lock(g_simCommandMutex);
        g_simCommands.removes.insert(g_simCommands.removes.end(), g_removeDeque.begin(), g_removeDeque.end());
    }
    g_removeDeque.clear();
}

void gf_resetRemovalQueues() {
    g_hexidStack.clear();
    std::deque<AiCreateRec>().swap(g_createDeque);
    std::deque<AiCreateRec>().swap(g_createDequeStatic);
    std::deque<uint32_t>().swap(g_removeDeque);
}
