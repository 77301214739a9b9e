#include "live/live_set.h"

#include <algorithm>

std::vector<LiveAircraft> g_liveRecords;
std::vector<AircraftRec> g_staticAircraft;
std::atomic<int32_t> g_tickCounter{0};
UserSnapshot g_userPosition;

namespace {

template <typename Rec>
Rec* lf_findBy(std::vector<Rec>& records, uint32_t AircraftRec::*field, uint32_t value) {
    for (Rec& r : records)
        if (r.*field == value) return &r;
    return nullptr;
}

template <typename Rec>
void lf_eraseFinished(std::vector<Rec>& records) {
    std::erase_if(records, [](const AircraftRec& r) { return r.eraseFlag || r.withdrawn; });
}

}  // namespace

LiveAircraft* gf_findLiveByHexid(uint32_t hexid) {
    return lf_findBy(g_liveRecords, &AircraftRec::hexid, hexid);
}
LiveAircraft* gf_findLiveByObjectId(uint32_t objectId) {
    return lf_findBy(g_liveRecords, &AircraftRec::objectId, objectId);
}
AircraftRec* gf_findStaticByHexid(uint32_t hexid) {
    return lf_findBy(g_staticAircraft, &AircraftRec::hexid, hexid);
}
AircraftRec* gf_findStaticByObjectId(uint32_t objectId) {
    return lf_findBy(g_staticAircraft, &AircraftRec::objectId, objectId);
}

uint32_t gf_tickNow() {
    return static_cast<uint32_t>(g_tickCounter.load());
}

int gf_countActiveLive() {
    return static_cast<int>(std::count_if(g_liveRecords.begin(), g_liveRecords.end(),
                                          [](const LiveAircraft& a) { return a.lifeState == active; }));
}

void gf_eraseFinishedLive() {
    lf_eraseFinished(g_liveRecords);
}
void gf_eraseFinishedStatics() {
    lf_eraseFinished(g_staticAircraft);
}

void gf_resetLiveSet() {
    g_liveRecords.clear();
    g_staticAircraft.clear();
    g_userPosition = {};
}

void gf_resetLiveSetProcess() {
    gf_resetLiveSet();
    g_liveRecords.shrink_to_fit();
    g_staticAircraft.shrink_to_fit();
    g_tickCounter = 0;
}
