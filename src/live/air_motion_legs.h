// Leg arithmetic of the stream playback that the flight model needs: ticks to a sample, leg
// speed, the clamped due tick of the next sample, the turn ahead, the clamps' shrinking and the
// curve's clearing. Shared by the playback, the ground movement and the flight model.
#pragma once
#include <cstdint>

#include "live/aircraft.h"

// Fewest ticks of a leg: a due tick already past, or closer than this, counts as this.
inline constexpr int32_t kMinLegTicks = 25;
// Floor the due-tick clamps shrink to, and their step.
inline constexpr int32_t kDueClampFloor = 300;
inline constexpr int32_t kDueClampStep = 100;

// Angle brought into (-pi, pi].
double gf_normalizePi(double angleRad);
// The sample's due tick minus now, at least kMinLegTicks.
int32_t lf_ticksTo(const PosSample& sample);
// Speed of the leg front -> next, knots: the mean of the two ground speeds, or, when both are 0,
// the distance over the due difference (at least 25 ticks) but at least 1. Needs two samples.
double lf_legSpeed(const LiveAircraft& ac);
// The next sample's due tick from now + ticks, held within [next due - dueBack, next due +
// dueAhead] unless an extension runs, and never before now; in the air it is first moved half
// way towards the next due, by at most a tenth of ticks. Needs two samples.
void lf_setNextDue(LiveAircraft& ac, int32_t ticks);
// Turn at the next sample: bearing next -> the sample after it minus heading, in (-pi, pi];
// 0 with fewer than 3 samples.
double lf_turnAhead(const LiveAircraft& ac);
// dueBack and dueAhead shrink by 100, not below 1000.
void lf_shrinkDueClamps(LiveAircraft& ac);
// No curve: start and end parameter, E1 and N1 NaN, progress 0.
void lf_clearCurve(LiveAircraft& ac);
