// What the run thread has queued for the simulator thread, as text lines the tests compare whole:
// "7 GEAR_SET 1", "7 DATA401 100 -100 -100"; and the seven light events of an object.
#pragma once
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "sim/sim_link.h"

// Everything queued, in the order the simulator thread sends it (each lever block after the
// client events queued before it). Empties both lists.
inline std::vector<std::string> tst_queuedCommands() {
    std::lock_guard lock(g_simCommandMutex);
    std::vector<std::string> out;
    auto& c = g_simCommands;
    for (size_t i = 0, d = 0; i <= c.clientEvents.size(); ++i) {
        for (; d < c.dataSets.size() && c.dataSets[d].afterEvents <= i; ++d) {
            const auto& v = c.dataSets[d].values;
            out.push_back(fmt::format("{} DATA401 {} {} {}", c.dataSets[d].objectId, v.spoilersPct, v.throttle1Pct,
                                      v.throttle2Pct));
        }
        if (i == c.clientEvents.size()) break;
        const auto& e = c.clientEvents[i];
        out.push_back(fmt::format("{} {} {}", e.objectId, gf_clientEventName(static_cast<SimClientEvent>(e.eventId)), e.data));
    }
    c.clientEvents.clear();
    c.dataSets.clear();
    return out;
}

// The seven light events of the object in the order they are sent, values "NBLTSLC" (nav,
// beacon, landing, taxi, strobes, logo, cabin; '1' on, '0' off), then the lines of `then`.
inline std::vector<std::string> tst_lightEvents(uint32_t objectId, std::string_view onOff,
                                                std::vector<std::string> then = {}) {
    static constexpr const char* kNames[] = {"NAV_LIGHTS_SET", "BEACON_LIGHTS_SET", "LANDING_LIGHTS_SET",
                                             "TAXI_LIGHTS_SET", "STROBES_SET", "LOGO_LIGHTS_SET", "CABIN_LIGHTS_SET"};
    std::vector<std::string> out;
    for (size_t i = 0; i < 7; ++i) out.push_back(fmt::format("{} {} {}", objectId, kNames[i], onOff.at(i)));
    out.insert(out.end(), then.begin(), then.end());
    return out;
}
