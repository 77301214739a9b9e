#include <map>
#include <memory>
#include <set>

#include <fmt/format.h>

#include "airports/park_airports.h"
#include "airports/stand.h"
#include "live/live_set.h"
#include "platform/sim_standin.h"
#include "static/park_watch.h"
#include "static/static_fit.h"
#include "support/flight_lab.h"

namespace {

// Removals go out one per 10 ticks: a few dozen queued at once leave within this.
constexpr uint32_t kRemovalTicks = 1000;
// A create is found by the object scans and reported within this.
constexpr uint32_t kCreateTicks = 300;

// How long something has held, in ticks: the first tick each key was seen in the condition.
class Since {
  public:
    // Ticks the key has held until now; keys not named since the last call are forgotten.
    uint32_t held(uint32_t key) {
        now_.insert(key);
        return gf_tickNow() - first_.try_emplace(key, gf_tickNow()).first->second;
    }
    void endOfTick() {
        std::erase_if(first_, [&](const auto& e) { return !now_.count(e.first); });
        now_.clear();
    }

  private:
    std::map<uint32_t, uint32_t> first_;
    std::set<uint32_t> now_;
};

std::optional<std::string> lab_staticsLeave(Since& since) {
    std::optional<std::string> broken;
    for (const AircraftRec& st : g_staticAircraft)
        if (st.lifeState == removingfromsim && since.held(st.hexid) > kRemovalTicks && !broken)
            broken = fmt::format("{} on {} removingfromsim for {} ticks", st.callsign,
                                 gf_standNameOfId(st.standId), since.held(st.hexid));
    since.endOfTick();
    return broken;
}

std::optional<std::string> lab_objectsOwned(Since& since) {
    std::optional<std::string> broken;
    for (const StandinObject& o : gf_standinObjects()) {
        if (gf_findLiveByObjectId(o.id) || gf_findStaticByObjectId(o.id)) continue;
        if (since.held(o.id) > kCreateTicks && !broken)
            broken =
                fmt::format("object {} {} without a record for {} ticks", o.id, o.atcId, since.held(o.id));
    }
    since.endOfTick();
    return broken;
}

bool lab_staticStays(const AircraftRec& st) {
    return st.lifeState <= active && !st.removeWhenItAppears && !st.withdrawn && !st.eraseFlag;
}

std::optional<std::string> lab_oneAircraftPerStand() {
    std::map<uint32_t, std::vector<std::string>> holders;
    for (const AircraftRec& st : g_staticAircraft)
        if (st.standId != 0 && lab_staticStays(st)) holders[st.standId].push_back(st.callsign);
    for (const LiveAircraft& ac : g_liveRecords)
        if (ac.standId != 0 && ac.flightState == parked &&
            (ac.lifeState == active || ac.lifeState == adding2sim) && !ac.removeWhenItAppears &&
            !ac.withdrawn && !ac.eraseFlag)
            holders[ac.standId].push_back(ac.callsign);
    for (const auto& [standId, names] : holders)
        if (names.size() > 1)
            return fmt::format("{} held by {} and {}", gf_standNameOfId(standId), names[0], names[1]);
    return std::nullopt;
}

std::optional<std::string> lab_lockedWhilePlanned() {
    if (g_ptList.empty() || g_parkingControlsLocked) return std::nullopt;
    return fmt::format("parking controls unlocked with {} planned aircraft waiting", g_ptList.size());
}

}  // namespace

std::vector<LabWorldInvariant> lab_staticWorldInvariants() {
    auto removing = std::make_shared<Since>();
    auto unowned = std::make_shared<Since>();
    return {{"statics leave", [removing] { return lab_staticsLeave(*removing); }},
            {"objects owned", [unowned] { return lab_objectsOwned(*unowned); }},
            {"one aircraft per stand", lab_oneAircraftPerStand},
            {"controls locked while planned", lab_lockedWhilePlanned}};
}
