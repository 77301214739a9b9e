// Fixture of the respawn tests: a type database with the registrations the cases need and an
// active aircraft in flight whose livery is remembered.
#pragma once
#include <string>

#include "aircraft/matching.h"
#include "aircraft/type_database.h"
#include "live/live_fixture.h"

inline constexpr const char* kTitle = "Boeing 737-800 Lufthansa";
inline constexpr uint32_t kHexid = 0x4B1805;

// The test database and three registrations more: one flown by an operator for its airline, one
// of another airline, and D-ALIV, which has a livery of its own (as the unknown D-OURS and D-AIZZ-L).
inline constexpr const char* kRegistrations = R"(<dbase><types>
<type icao="B738" cat="Large" span="35.8"/><type icao="A320" cat="Large" span="35.8"/></types><registrations>
<reg id="D-ABCD" airl="DLH" type="B738"/><reg id="D-EFGH" airl="DLH"/><reg id="D-AIZZ" airl="DLH" type="A320"/>
<reg id="D-AOPR" airl="DLH" opr="CLH" type="A320"/><reg id="G-EUUA" airl="BAW" type="A320"/>
<reg id="D-ALIV" airl="DLH" type="A320"/></registrations></dbase>)";

class RespawnTest : public LiveTest {
  protected:
    void SetUp() override {
        LiveTest::SetUp();
        gf_loadTypeDatabaseText(kRegistrations, "respawn dbase.xml");
        g_liveRecords.reserve(16);  // the cases hold references across appends
    }
    // An active B738 "DLH4AB" D-AIXX EDDF-EGLL flying at (50, 8) at 11000 ft, its livery remembered.
    static LiveAircraft& inFlight(uint32_t hexid, const std::string& callsign = "DLH4AB",
                                  uint32_t objectId = 7) {
        const LiveTrafficRecord r = tst_record(hexid, 100, 50, 8, callsign);
        LiveAircraft ac = gf_constructLiveAircraft(r.sample, gf_makeAircraftRec(r), 100);
        ac.hexid = hexid;
        ac.lifeState = active;
        ac.objectId = objectId;
        ac.flightState = flying;
        ac.lat = 50.0, ac.lon = 8.0, ac.altitude = 11000, ac.heading = 1.5;
        ac.liveryTitle = g_titleByHexid[hexid] = kTitle;
        return g_liveRecords.emplace_back(std::move(ac));
    }
    static LiveTrafficRecord next(const std::string& callsign, const std::string& regcode = "D-AIXX",
                                  const std::string& origin = "EDDF") {
        LiveTrafficRecord r = tst_record(kHexid, 200, 50.0, 8.1, callsign);
        r.regcode = regcode;
        r.origin = origin;
        return r;
    }
};
