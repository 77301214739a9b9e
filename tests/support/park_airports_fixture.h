// Park airport tests: the real airport list, Zurich's parking file in my_thirdparty with the two
// stands Z1 and Z2 east of the reference point, the site on loopback and the log captured.
#pragma once
#include <string>

#include <fmt/format.h>

#include "airports/apf_fixture.h"
#include "airports/park_airports.h"
#include "live/live_set.h"
#include "sim/sim_state.h"
#include "support/airport_builders.h"

inline constexpr LatLon kZurich{47.4647, 8.54917}, kStandZ1{47.4647, 8.5600}, kStandZ2{47.4647, 8.5620};

class ParkAirportsTest : public ApfTest {
  protected:
    void SetUp() override {
        ApfTest::SetUp();
        tst_installRealAirports();
        gf_readAirports();
        tst_writeFile(
            "airports/my_thirdparty/LSZH.xml",
            tst_apfXml(
                R"(<parameter name="airport_name" value="Zurich"/><parameter name="altitude" value="1416"/>
                                    <parameter name="publisher" value="Pub"/>)",
                fmt::format(R"(<parkpos id="Z1" latitude="{}" longitude="{}" radius="30"/>
                                                <parkpos id="Z2" latitude="{}" longitude="{}" radius="30"/>)",
                            kStandZ1.lat, kStandZ1.lon, kStandZ2.lat, kStandZ2.lon)));
        restartLog();
    }
    static std::string listed() {  // "CODE,stand CODE,stand ..." in list order
        std::string out;
        for (const ParkAirport& p : g_parkAirports) out += (out.empty() ? "" : " ") + p.code + "," + p.stand;
        return out;
    }
    static void userAt(LatLon p, double altitudeFt, bool onGround, double gsKt = 0) {
        UserSnapshot u;
        u.lat = p.lat, u.lon = p.lon, u.altitudeFt = altitudeFt, u.onGround = onGround,
        u.groundSpeedKt = gsKt;
        gf_storeUserSnapshot(u);
        g_userPosition = u;
    }
    static LatLon northOf(LatLon p, double nm) { return {p.lat + nm / 60.0, p.lon}; }
};
