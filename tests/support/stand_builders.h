// Stands laid out in metres around one point, for the tests of stands, stand choice, parking
// slots and the conflicts on the apron.
#pragma once
#include <cmath>
#include <initializer_list>
#include <vector>

#include "airports/stand.h"
#include "core/geo.h"

inline constexpr LatLon kStandOrigin{47.45, 8.55};

// The point so many metres north and east of the origin.
inline LatLon tst_offsetM(double northM, double eastM) {
    const double degPerM = 1.0 / 1852.0 / 60.0;
    return {kStandOrigin.lat + northM * degPerM,
            kStandOrigin.lon + eastM * degPerM / std::cos(gf_degToRad(kStandOrigin.lat))};
}

struct TestStand {
    const char* name;
    double northM, eastM, radiusM;
    bool cargo = false, ramp = false, heli = false;
};

// Appends the stands to g_stands (heading north) and, unless told otherwise, numbers them (ids
// 1..N in order).
inline void tst_addStands(std::initializer_list<TestStand> stands, bool number = true) {
    for (const TestStand& t : stands) {
        const LatLon p = tst_offsetM(t.northM, t.eastM);
        g_stands.emplace_back(t.name, std::vector<StandOption>{}, p.lat, p.lon, 0.0, t.radiusM, t.cargo,
                              t.ramp, t.heli);
    }
    if (number) gf_numberStands();
}
