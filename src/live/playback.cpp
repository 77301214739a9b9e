#include "live/playback.h"

#include <cmath>

#include "aircraft/type_database.h"
#include "live/removal.h"

namespace {

constexpr double kSamePositionDeg = 1e-8;
constexpr double kSnapDeg = 0.00015;

bool lf_within(const PosSample& a, const PosSample& b, double toleranceDeg) {
    return std::fabs(a.lat - b.lat) < toleranceDeg && std::fabs(a.lon - b.lon) < toleranceDeg;
}

// Due ticks wrap with the tick counter: compare by signed difference.
bool lf_notLater(int32_t due, int32_t than) {
    return static_cast<int32_t>(static_cast<uint32_t>(due) - static_cast<uint32_t>(than)) <= 0;
}

// Against the back sample: same position marks it stationary; a near miss snaps it onto the
// back sample. Neither may come from an aircraft in the air, nor interrupt a fast take-off roll.
bool lf_stationarySample(const LiveAircraft& ac, PosSample& s) {
    const PosSample& back = ac.stream.back();
    const bool same = lf_within(s, back, kSamePositionDeg);
    if (same) s.stationary = 1;
    if (ac.category == static_cast<int32_t>(AircraftCategory::Rotorcraft)) return true;
    const bool inTheAir = s.airborne || (ac.lifeState == active && !ac.onGround);
    if (same) {
        if (inTheAir) return false;
        if (ac.takeOffRoll && s.gs > 0 && back.gs >= 30) return false;
        s.gs = 0;
        return true;
    }
    if (lf_within(s, back, kSnapDeg)) {
        if (inTheAir) return false;
        if (ac.takeOffRoll && s.gs > 0 && back.gs >= 50) return false;
        const int32_t due = s.dueTick;  // the sample keeps its own time
        s = back;
        s.dueTick = due;
        s.gs = 0;
        s.stationary = 1;
        return true;
    }
    if (s.gs == 0 && (s.airborne || ac.takeOffRoll)) return back.gs < 50;
    return true;
}

}  // namespace

void decodeExisting(LiveAircraft& ac, PosSample sample) {
    if (ac.stream.size() > kMaxStreamSamples) {
        removeAircraftFromSim(ac);
        return;
    }
    if (ac.stream.empty()) return;
    if (!lf_stationarySample(ac, sample)) return;
    const PosSample& back = ac.stream.back();
    if (lf_notLater(sample.dueTick, back.dueTick))
        sample.dueTick = static_cast<int32_t>(static_cast<uint32_t>(back.dueTick) + 1);
    ac.stream.push_back(sample);
}
