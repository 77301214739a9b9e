#include "live/air_motion_legs.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/geo.h"
#include "live/live_set.h"

namespace {

constexpr double kTicksPerHour = 360000;

// Due ticks wrap with the tick counter: differences are taken unsigned and read signed.
int32_t lf_tickDiff(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b);
}

LatLon lf_at(const PosSample& s) {
    return {s.lat, s.lon};
}

}  // namespace

double gf_normalizePi(double angleRad) {
    double a = std::fmod(angleRad, 2 * kPi);
    if (a <= -kPi) a += 2 * kPi;
    if (a > kPi) a -= 2 * kPi;
    return a;
}

int32_t lf_ticksTo(const PosSample& sample) {
    return std::max(lf_tickDiff(static_cast<uint32_t>(sample.dueTick), gf_tickNow()), kMinLegTicks);
}

double lf_legSpeed(const LiveAircraft& ac) {
    const PosSample& f = ac.stream[0];
    const PosSample& n = ac.stream[1];
    if (f.gs != 0 || n.gs != 0) return (f.gs + n.gs) / 2;
    const int32_t ticks = std::max(
        lf_tickDiff(static_cast<uint32_t>(n.dueTick), static_cast<uint32_t>(f.dueTick)), kMinLegTicks);
    return std::max(gf_haversineNm(lf_at(f), lf_at(n)) * kTicksPerHour / ticks, 1.0);
}

void lf_setNextDue(LiveAircraft& ac, int32_t ticks) {
    PosSample& n = ac.stream[1];
    const uint32_t now = gf_tickNow();
    const uint32_t due = static_cast<uint32_t>(n.dueTick);
    uint32_t candidate = now + static_cast<uint32_t>(ticks);
    if (ac.extension < 1) {
        int32_t off = lf_tickDiff(candidate, due);
        // In the air a leg timed by speed alone keeps any lag it starts with: each leg takes back
        // half of it, at most a tenth of the leg, so the aircraft stays on the delay unnoticed.
        if (!ac.onGround) {
            const int32_t nudge = std::clamp(off / 2, -ticks / 10, ticks / 10);
            candidate -= static_cast<uint32_t>(nudge);
            off -= nudge;
        }
        if (off > ac.dueAhead) candidate = due + static_cast<uint32_t>(ac.dueAhead);
        if (off < -ac.dueBack) candidate = due - static_cast<uint32_t>(ac.dueBack);
    }
    if (lf_tickDiff(candidate, now) < 0) candidate = now;
    n.dueTick = static_cast<int32_t>(candidate);
}

double lf_turnAhead(const LiveAircraft& ac) {
    if (ac.stream.size() < 3) return 0;
    return gf_normalizePi(gf_bearingRad(lf_at(ac.stream[1]), lf_at(ac.stream[2])) - ac.heading);
}

void lf_shrinkDueClamps(LiveAircraft& ac) {
    ac.dueBack = std::max(ac.dueBack - kDueClampStep, kDueClampFloor);
    ac.dueAhead = std::max(ac.dueAhead - kDueClampStep, kDueClampFloor);
}

void lf_clearCurve(LiveAircraft& ac) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    ac.curve[2] = ac.curve[3] = nan;  // start and end parameter
    ac.curve[6] = ac.curve[7] = nan;  // control point E1, N1
    ac.curveProgress = 0;
}
