#include "live/live_set.h"

#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>

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

// Callsign and type as one key; the tab appears in neither.
void lf_keyOf(std::string_view callsign, std::string_view type, std::string& key) {
    key.assign(callsign);
    key.push_back('\t');
    key.append(type);
}

struct KeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// Finds live aircraft without searching the whole set for every record of a large poll.
// byHexid holds where each hexid's aircraft stood when it was indexed; erasing records only
// moves the others towards the front (in order, or the last one into the gap), so a position
// that no longer fits is repaired by looking back from it. byKey counts the live aircraft of
// each callsign-and-type. Erasures and key changes are told to the index; a size it does not
// expect (an aircraft added or erased elsewhere) or a reset makes it rebuild itself.
struct LiveIndex {
    std::unordered_map<uint32_t, uint32_t> byHexid;
    std::unordered_map<std::string, int, KeyHash, std::equal_to<>> byKey;
    size_t expectedSize = 0;
    bool stale = true;
    std::string key;  // scratch, so that a lookup allocates nothing

    void addKey(std::string_view callsign, std::string_view type, int delta) {
        if (callsign.empty()) return;
        lf_keyOf(callsign, type, key);
        auto it = byKey.find(std::string_view(key));
        if (it == byKey.end()) {
            if (delta > 0) byKey.emplace(key, delta);
            return;
        }
        it->second += delta;
        if (it->second <= 0) byKey.erase(it);
    }
    void add(const LiveAircraft& ac, uint32_t position) {
        byHexid.try_emplace(ac.hexid, position);
        addKey(ac.callsign, ac.type, 1);
    }
    void forget(const LiveAircraft& ac) {
        addKey(ac.callsign, ac.type, -1);
        --expectedSize;
    }
    void rebuild() {
        byHexid.clear();
        byKey.clear();
        for (size_t i = 0; i < g_liveRecords.size(); ++i) add(g_liveRecords[i], static_cast<uint32_t>(i));
        expectedSize = g_liveRecords.size();
        stale = false;
    }
    void sync() {
        if (stale || expectedSize != g_liveRecords.size()) rebuild();
    }
    LiveAircraft* find(uint32_t hexid) {
        auto it = byHexid.find(hexid);
        if (it == byHexid.end()) return nullptr;
        size_t i = std::min<size_t>(it->second, g_liveRecords.size());
        while (i > 0) {
            --i;
            if (g_liveRecords[i].hexid != hexid) continue;
            it->second = static_cast<uint32_t>(i);
            return &g_liveRecords[i];
        }
        byHexid.erase(it);
        return nullptr;
    }
};
LiveIndex g_liveIndex;

bool lf_isLiveRecord(const LiveAircraft& aircraft) {
    const std::less<const LiveAircraft*> before;
    const LiveAircraft* first = g_liveRecords.data();
    return !before(&aircraft, first) && before(&aircraft, first + g_liveRecords.size());
}

}  // namespace

LiveAircraft* gf_findLiveByHexid(uint32_t hexid) {
    g_liveIndex.sync();
    auto it = g_liveIndex.byHexid.find(hexid);
    // The position itself is checked first: the common case costs one comparison.
    if (it != g_liveIndex.byHexid.end() && it->second < g_liveRecords.size() &&
        g_liveRecords[it->second].hexid == hexid)
        return &g_liveRecords[it->second];
    return g_liveIndex.find(hexid);
}

LiveAircraft& gf_addLiveAircraft(LiveAircraft&& aircraft) {
    g_liveIndex.sync();
    g_liveRecords.push_back(std::move(aircraft));
    const size_t position = g_liveRecords.size() - 1;
    g_liveIndex.add(g_liveRecords[position], static_cast<uint32_t>(position));
    g_liveIndex.expectedSize = g_liveRecords.size();
    return g_liveRecords[position];
}

bool gf_liveWithCallsignAndType(std::string_view callsign, std::string_view type) {
    g_liveIndex.sync();
    lf_keyOf(callsign, type, g_liveIndex.key);
    return g_liveIndex.byKey.contains(std::string_view(g_liveIndex.key));
}

void gf_setCallsignAndType(LiveAircraft& aircraft, std::string_view callsign, std::string_view type) {
    if (aircraft.callsign == callsign && aircraft.type == type) return;
    // Copies first: a view may point into the record itself.
    std::string newCallsign(callsign), newType(type);
    const bool indexed = lf_isLiveRecord(aircraft);
    // Synced before the change, so that a rebuild cannot count the new key twice.
    if (indexed) {
        g_liveIndex.sync();
        g_liveIndex.addKey(aircraft.callsign, aircraft.type, -1);
    }
    if (aircraft.callsign != newCallsign) {
        aircraft.callsign = std::move(newCallsign);
        aircraft.spawnCallsign = aircraft.callsign;
        aircraft.coupledCallsign.clear();
    }
    aircraft.type = std::move(newType);
    if (indexed) g_liveIndex.addKey(aircraft.callsign, aircraft.type, 1);
}

void gf_liveErasing(const LiveAircraft& aircraft) {
    g_liveIndex.sync();
    g_liveIndex.forget(aircraft);
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
    g_liveIndex.sync();
    for (const LiveAircraft& ac : g_liveRecords)
        if (ac.eraseFlag || ac.withdrawn) g_liveIndex.forget(ac);
    lf_eraseFinished(g_liveRecords);
}
void gf_eraseFinishedStatics() {
    lf_eraseFinished(g_staticAircraft);
}

void gf_resetLiveSet() {
    g_liveRecords.clear();
    g_liveIndex.stale = true;
    g_staticAircraft.clear();
    g_userPosition = {};
}

void gf_resetLiveSetProcess() {
    gf_resetLiveSet();
    g_liveRecords.shrink_to_fit();
    g_staticAircraft.shrink_to_fit();
    g_liveIndex = LiveIndex{};
    g_tickCounter = 0;
}
