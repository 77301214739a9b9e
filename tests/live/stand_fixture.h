// Fixture of the stand choice and parking conflict tests: stands laid out in metres around one
// point, live and static aircraft standing on them, and the captured log with LOG on.
#pragma once
#include <string>

#include "airports/stand.h"
#include "core/log.h"
#include "core/params.h"
#include "live/removal.h"
#include "live/stand_choice.h"
#include "live_fixture.h"
#include "support/stand_builders.h"

class StandTest : public LiveTest {
  protected:
    void SetUp() override {
        LiveTest::SetUp();
        LOG.set(true);
        gf_setLogCapture(true);
        site_.code = "LSZH";
        site_.position = kStandOrigin;
        site_.parkedFileRead = true;
    }

    // Everything back to a fresh case inside a table-driven test (the fixture's start again).
    void freshCase() {
        tst_resetAll();
        gf_loadTypeDatabaseText(kTestTypeDatabase, "test dbase.xml");
        LOG.set(true);
        gf_setLogCapture(true);
    }

    // Appends the stands to g_stands and numbers them (ids 1..N in order).
    static void addStands(std::initializer_list<TestStand> stands) { tst_addStands(stands); }

    // A live aircraft of the type with the type's span and category, holding the stand (0: none).
    static LiveAircraft liveAc(uint32_t hexid, std::string callsign, std::string type, uint32_t standId = 0,
                               uint32_t lifeState = active, uint32_t flightState = parked) {
        LiveAircraft ac;
        ac.hexid = hexid;
        ac.callsign = std::move(callsign);
        ac.spawnCallsign = ac.callsign;
        ac.airline = ac.callsign.substr(0, 3);
        ac.type = std::move(type);
        ac.regcode = "HB-" + std::to_string(hexid);
        ac.halfWingSpan = gf_halfWingspan(ac.type);
        ac.category = static_cast<int32_t>(gf_aircraftCategory(ac.type));
        ac.lifeState = lifeState;
        ac.flightState = flightState;
        ac.objectId = lifeState == active ? hexid % 1000 + 3 : 0;
        if (const Stand* s = gf_standById(standId)) {
            ac.standId = standId;
            ac.standLat = s->latitude;
            ac.standLon = s->longitude;
            ac.lat = s->latitude;
            ac.lon = s->longitude;
        }
        return ac;
    }

    // A static aircraft of the type placed on the stand.
    static AircraftRec staticAc(uint32_t hexid, std::string callsign, std::string type, uint32_t standId,
                                uint32_t lifeState = active) {
        AircraftRec st;
        st.hexid = hexid;
        st.callsign = std::move(callsign);
        st.spawnCallsign = st.callsign;
        st.type = std::move(type);
        st.regcode = "HB-S" + std::to_string(hexid);
        st.halfWingSpan = gf_halfWingspan(st.type);
        st.lifeState = lifeState;
        st.objectId = lifeState == active ? hexid + 500 : 0;
        st.standId = standId;
        if (const Stand* s = gf_standById(standId)) {
            st.standLat = s->latitude;
            st.standLon = s->longitude;
        }
        return st;
    }

    // The lines logged since the fixture started capturing.
    static std::string logged() { return gf_capturedLog(); }

    ParkSite site_;
};
