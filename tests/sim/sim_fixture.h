// Scripted stand-in runs for the simulator link tests: a small world around one airport, the
// link opened and stepped frame by frame, and helpers that act as the run thread.
#pragma once
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/sim_standin.h"
#include "sim/sim_link.h"
#include "sim/sim_thread.h"
#include "support/work_folder.h"

inline bool operator==(const SimEventRec& a, const SimEventRec& b) {
    return a.objectId == b.objectId && a.hexid == b.hexid && a.counter == b.counter && a.kind == b.kind &&
           a.value1 == b.value1 && a.value2 == b.value2;
}
inline void PrintTo(const SimEventRec& e, std::ostream* os) {
    *os << fmt::format("{{obj {} hexid {} counter {} kind {} v1 {} v2 {}}}", e.objectId, e.hexid, e.counter, e.kind, e.value1, e.value2);
}

inline constexpr double kAirportLat = 51.4700, kAirportLon = -0.4614, kAirportElevFt = 83.0;
inline constexpr const char* kA320 = "Airbus A320 BAW";

class SimLinkTest : public WorkFolderTest {
  protected:
    static Scenario baseScenario() {
        Scenario s;
        s.airports = {{"EGLL", kAirportLat, kAirportLon, kAirportElevFt}};
        s.user = {{0, kAirportLat, kAirportLon, kAirportElevFt, 270, 0, true}};
        s.installedTitles = {kA320};
        return s;
    }
    // Loads the world, opens the link and runs the first frame (the flight starts).
    void start(const Scenario& s = baseScenario()) {
        gf_standinLoad(s);
        ASSERT_TRUE(gf_simOpen());
        ASSERT_TRUE(gf_simFrame());
    }
    void frames(int n) { for (int i = 0; i < n; ++i) ASSERT_TRUE(gf_simFrame()) << "frame " << i; }
    // The run thread's object scan request.
    HRESULT scan(uint32_t radiusMeters = 100000) {
        std::lock_guard lock(g_simCommandMutex);
        return SimConnect_RequestDataOnSimObjectType(g_hSimConnect, kReqObjectScan, kDefObjectScan, radiusMeters,
                                                     SimObjectType::Aircraft);
    }
    std::vector<SimEventRec> drain() {
        std::lock_guard lock(g_simEventMutex);
        return std::exchange(g_simEventQueue, {});
    }
    static AiCreateRec createRec(const std::string& callsign, std::string_view title, uint32_t hexid, double altitudeFt,
                                 bool onGround) {
        AiCreateRec r;
        r.lat = kAirportLat + 0.01, r.lon = kAirportLon, r.altitude = altitudeFt, r.heading = 270;
        r.onGround = onGround ? 1 : 0, r.callsign = callsign, r.liveryTitle = title, r.hexid = hexid;
        return r;
    }
    // Queues BAW123 as object 3, sends it and lets it appear; the next scan finds it.
    void createAndAppear() {
        gf_queueCreate(createRec("BAW123", kA320, 0x4CA123, 3083, false));
        frames(4);
    }
    // Scan, one frame for the answers, and the events they gave.
    std::vector<SimEventRec> scanEvents() {
        EXPECT_EQ(scan(), S_OK);
        EXPECT_TRUE(gf_simFrame());
        return drain();
    }
};

inline SimEventRec ev(uint32_t objectId, uint32_t hexid, uint32_t kind, double value1 = 0, double value2 = 0) {
    return {objectId, hexid, 0, kind, value1, value2};
}
