// Shared fixture of the live-traffic tests: a fresh working folder, a small type database and
// builders of traffic records and live aircraft.
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
#include "sim/sim_link.h"
#include "support/work_folder.h"

// Types of every category and three registrations.
inline constexpr const char* kTestTypeDatabase = R"(<dbase><types>
<type icao="C172" cat="Light" span="11"/><type icao="C56X" cat="Buzjets" span="16"/>
<type icao="B738" cat="Large" span="35.8"/><type icao="B744" cat="Heavy" span="64.4"/>
<type icao="F16" cat="HighPerf" span="9.5"/><type icao="EC35" cat="Rotorcraft" span="10.2"/>
<type icao="A320" cat="Large" span="35.8"/></types><registrations><reg id="D-ABCD" airl="DLH" type="B738"/>
<reg id="D-EFGH" airl="DLH"/><reg id="D-AIZZ" airl="DLH" type="A320"/></registrations></dbase>)";

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

// A Lufthansa B738 "DLH4AB" in the life state, bound to the object (0: none yet), without samples.
inline LiveAircraft tst_liveAircraft(uint32_t hexid, uint32_t lifeState, uint32_t objectId = 0) {
    LiveAircraft ac;
    ac.hexid = hexid;
    ac.callsign = "DLH4AB";
    ac.airline = "DLH";
    ac.type = "B738";
    ac.lifeState = lifeState;
    ac.objectId = objectId;
    return ac;
}
