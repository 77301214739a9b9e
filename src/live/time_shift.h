// The time shift: the minutes by which the program's clock runs ahead of the time it plays the
// traffic and the parking slots for. Set by the run's per-second pass when the simulator's own
// time is followed (SIM_TIME); a change removes every live aircraft, whose timing no longer fits.
#pragma once
#include <cstdint>

// Stores the shift in g_timeShiftMinutes. A changed shift (not at start-up) removes all live
// aircraft: active ones and those whose create is under way (a still queued create is withdrawn
// and its record erased at once). Run thread, outside the tick's update loop.
void gf_setTimeShift(int minutes, bool startUp);

// The per-second follow of the simulator's clock: when the simulator's time is known and moved
// by 30 seconds or more since the previous call, the shift becomes the whole minutes by which
// UTC now is ahead of it (0 when less than one).
void gf_followSimulatorTime(int64_t simUtcSeconds, int64_t nowUtcSeconds);

// Per-run reset: the simulator's time of the previous second is forgotten.
void gf_resetTimeShift();
