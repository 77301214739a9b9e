// Fixture of the ground tests: stands laid out in metres around one point (tst_addStands), live
// and static aircraft standing on them, the park airport there, and the log captured with LOG on.
#pragma once
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
        freshCase();
    }
    // Everything back to a fresh case inside a table-driven test.
    void freshCase() {
        tst_resetAll();
        gf_loadTypeDatabaseText(kTestTypeDatabase, "test dbase.xml");
        LOG.set(true);
        gf_setLogCapture(true);
        site_ = {"LSZH", kStandOrigin, "", true, 0};
    }
    // A live aircraft of the type (its span and category) standing on the stand (0: none).
    static LiveAircraft liveAc(uint32_t hexid, std::string callsign, std::string type, uint32_t standId = 0,
                               uint32_t lifeState = active, uint32_t flightState = parked) {
        LiveAircraft ac;
        static_cast<AircraftRec&>(ac) = staticAc(hexid, std::move(callsign), std::move(type), standId,
                                                 lifeState);
        ac.airline = ac.callsign.substr(0, 3);
        ac.regcode = "HB-" + std::to_string(hexid);
        ac.category = static_cast<int32_t>(gf_aircraftCategory(ac.type));
        ac.flightState = flightState;
        ac.objectId = lifeState == active ? hexid % 1000 + 3 : 0;
        ac.lat = ac.standLat;
        ac.lon = ac.standLon;
        return ac;
    }
    static AircraftRec staticAc(uint32_t hexid, std::string callsign, std::string type, uint32_t standId,
                                uint32_t lifeState = active) {
        AircraftRec st;
        st.hexid = hexid;
        st.callsign = st.spawnCallsign = std::move(callsign);
        st.type = std::move(type);
        st.regcode = "HB-S" + std::to_string(hexid);
        st.halfWingSpan = gf_halfWingspan(st.type);
        st.lifeState = lifeState;
        st.objectId = lifeState == active ? hexid + 500 : 0;
        if (const Stand* s = gf_standById(standId)) {
            st.standId = standId;
            st.standLat = s->latitude;
            st.standLon = s->longitude;
        }
        return st;
    }
    ParkSite site_;
};
