// Shared fixture of the live-traffic tests: a fresh working folder, a small type database and
// builders of traffic records.
#pragma once
#include <string>

#include <gtest/gtest.h>

#include "aircraft/type_database.h"
#include "core/geo.h"
#include "feed/feed_state.h"
#include "feed/records.h"
#include "live/aircraft_rec.h"
#include "live/intake.h"
#include "live/live_set.h"
#include "support/work_folder.h"

// Types of every category and two registrations.
inline constexpr const char* kTestTypeDatabase = R"(<dbase><types>
<type icao="C172" cat="Light" span="11"/><type icao="C56X" cat="Buzjets" span="16"/>
<type icao="B738" cat="Large" span="35.8"/><type icao="B744" cat="Heavy" span="64.4"/>
<type icao="F16" cat="HighPerf" span="9.5"/><type icao="EC35" cat="Rotorcraft" span="10.2"/>
</types><registrations><reg id="D-ABCD" airl="DLH" type="B738"/><reg id="D-EFGH" airl="DLH"/>
</registrations></dbase>)";

class LiveTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_loadTypeDatabaseText(kTestTypeDatabase, "test dbase.xml");
    }
    void TearDown() override {
        gf_resetTypeDatabase();
        gf_resetFeedStateProcess();
        gf_resetIntakeProcess();
        WorkFolderTest::TearDown();
    }
};

// A record of an airborne B738 (DLH, D-AIXX, EDDF to EGLL, 12000 ft, 250 kt, track 90).
inline LiveTrafficRecord tst_record(uint32_t hexid, double timeStamp, double lat = 50.0, double lon = 8.0,
                                    std::string callsign = "DLH4AB", std::string type = "B738") {
    LiveTrafficRecord r;
    r.airline = "DLH";
    r.type = std::move(type);
    r.origin = "EDDF";
    r.destination = "EGLL";
    r.callsign = std::move(callsign);
    r.regcode = "D-AIXX";
    r.sample = {.lat = lat, .lon = lon, .alt = 12000, .gs = 250, .track = 90, .airborne = 1};
    r.timeStamp = timeStamp;
    r.hexid = hexid;
    return r;
}

// Lets the run thread process everything staged so far (snapshot batches and adding stack).
inline void tst_drainStaged(int maxTicks = 10000) {
    for (int i = 0; i < maxTicks; ++i, ++g_tickCounter) gf_takeFromAddingStack();
}

// A point north of (lat, lon) at the given distance in nautical miles (one degree is 60 nm).
inline LatLon tst_northOf(double lat, double lon, double nm) { return {lat + nm / 60.0, lon}; }
