#include "live/time_shift.h"

#include <cstdlib>

#include "core/slots.h"
#include "live/live_set.h"
#include "live/removal.h"
#include "live/static_calls.h"

namespace {

constexpr int64_t kSimTimeJumpSeconds = 30;
// The simulator's time at the previous per-second pass; 0 while unknown.
int64_t g_previousSimUtcSeconds = 0;

void lf_removeAllLive() {
    for (LiveAircraft& ac : g_liveRecords) {
        if (ac.lifeState == active || (ac.lifeState == adding2sim && !ac.removeWhenItAppears))
            removeAircraftFromSim(ac);
    }
    gf_eraseFinishedLive();
}

}  // namespace

void gf_setTimeShift(int minutes, bool startUp) {
    const bool changed = g_timeShiftMinutes.exchange(minutes) != minutes;
    if (!changed || startUp) return;
    lf_removeAllLive();
    if (g_staticParkingCalls.flushStatic) g_staticParkingCalls.flushStatic();
}

void gf_followSimulatorTime(int64_t simUtcSeconds, int64_t nowUtcSeconds) {
    if (simUtcSeconds == 0) return;
    const int64_t previous = g_previousSimUtcSeconds;
    g_previousSimUtcSeconds = simUtcSeconds;
    if (previous != 0 && std::llabs(simUtcSeconds - previous) < kSimTimeJumpSeconds) return;
    const int64_t aheadMinutes = (nowUtcSeconds - simUtcSeconds) / 60;
    gf_setTimeShift(aheadMinutes >= 1 ? static_cast<int>(aheadMinutes) : 0, false);
}

void gf_resetTimeShift() {
    g_previousSimUtcSeconds = 0;
}
