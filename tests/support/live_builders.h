// Builders of live aircraft records and create requests shared by the tests of the live set,
// removal, simulator events, parking conflicts and the run thread.
#pragma once
#include <cstdint>
#include <string>

#include "live/aircraft_rec.h"
#include "sim/sim_link.h"

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

// A create request as queued for the simulator thread; only the two keys a withdrawal looks at.
inline AiCreateRec tst_createRequest(std::string callsign, uint32_t hexid) {
    AiCreateRec c;
    c.callsign = std::move(callsign);
    c.hexid = hexid;
    return c;
}
