#pragma once

// Samples and active aircraft around 47 N 8 E for the playback tests.

#include <limits>

#include "core/display.h"
#include "live/air_motion.h"
#include "live/air_motion_legs.h"
#include "live/ground_motion_legs.h"
#include "live/playback.h"
#include "live_fixture.h"
#include "support/sim_commands.h"

using PlaybackTest = LiveTest;
inline constexpr int32_t kNow = 100000;

inline PosSample tst_sample(double lat, double lon, double gs, bool airborne, int32_t due) {
    PosSample s{lat, lon, airborne ? 3000.0 : 0.0, gs, 45};
    s.dueTick = due;
    s.airborne = airborne;
    return s;
}

// A sample the distance away from 47 N 8 E in the direction given.
inline PosSample tst_away(double meters, double bearingDeg, double gs, bool airborne,
                          int32_t due = kNow + 3000) {
    const LatLon p =
        gf_destinationPoint({47.0, 8.0}, gf_degToRad(bearingDeg), gf_nmToFeet(gf_metersToNm(meters)));
    return tst_sample(p.lat, p.lon, gs, airborne, due);
}

// An active B738 (object 5) in the flight state where its front sample lies, on its stand there.
inline LiveAircraft tst_active(PosSample front, uint32_t flightState, int32_t category = 2) {
    g_tickCounter = kNow;
    LiveAircraft ac;
    ac.category = category;
    ac.hexid = 0x3c6601;
    ac.objectId = 5;
    ac.halfWingSpan = gf_metersToNm(17.9);
    ac.lifeState = active;
    ac.flightState = flightState;
    ac.onGround = !front.airborne;
    ac.lat = ac.standLat = front.lat;
    ac.lon = ac.standLon = front.lon;
    ac.altitude = front.alt;
    ac.standId = 3;
    ac.stream.push_back(front);
    lf_clearCurve(ac);
    return ac;
}

// The same at 47 N 8 E heading north, its front sample due 100 ticks ago.
inline LiveAircraft tst_here(uint32_t flightState, bool airborne, double gs = 0) {
    return tst_active(tst_sample(47.0, 8.0, gs, airborne, kNow - 100), flightState);
}
