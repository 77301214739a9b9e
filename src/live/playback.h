// Stream playback of live aircraft: accepting feed samples into an aircraft's stream by flight
// state, moving on to the next sample when the front one falls due, holding, dead reckoning and
// the end of a stream, and the per-tick motion between samples. Run thread; called by the intake
// (decodeExisting) and the per-tick driver (nextPosMain, lf_tickMotion).
#pragma once
#include <cstdint>

#include "live/aircraft.h"

// Largest stream accepted; a longer one removes the aircraft.
inline constexpr size_t kMaxStreamSamples = 200;
// Clamps of the due tick after a state change, ticks (ahead during the take-off roll).
inline constexpr int32_t kDueClampReset = 3000;
inline constexpr int32_t kDueAheadTakeOffRoll = 5000;
// Extension samples on the ground, parked and in the air, and their spacing in seconds.
inline constexpr int32_t kGroundExtensions = 10;
inline constexpr int32_t kParkedExtensions = 1;
inline constexpr int32_t kAirExtensions = 8;
inline constexpr int32_t kGroundExtensionSec = 3;
inline constexpr int32_t kAirExtensionSec = 8;
inline constexpr int32_t kParkedExtensionSec = 604800;
// A holding sample is due this many ticks after the front.
inline constexpr int32_t kHoldingTicks = 300;
// Stand check of a parked aircraft, nautical miles.
inline constexpr double kStandLimitNm = 85.0 / 1852.0;
inline constexpr double kStandRemoveNm = 200.0 / 1852.0;
inline constexpr double kStandStepNm = 3.0 / 1852.0;
// Passes of nextPosMain over one stream end before it counts as ended (see nextPosMain).
inline constexpr int kMaxNextPosPasses = 32;

// Appends a feed sample to the stream of an aircraft that already exists, or drops it: a stream
// above 200 samples, or a holding aircraft's sample beyond HOLDING_THRESHOLD_METERS, removes the
// aircraft; an unspawned aircraft (birth) takes it by the stationary test; any other by the check
// of its flight state, then the stop pruning, the strictly increasing due ticks and the
// touch-and-go or take-off roll it shows (started when it falls due). An aircraft on the ground
// that has stood since it appeared holds on scattered reports as a parked one does. An exception
// is logged ("decodeExisting exception <text>") and passed on.
void decodeExisting(LiveAircraft& ac, PosSample sample);
// The stationary test against the back sample: marks, snaps or refuses the sample; true accepts.
bool lf_stationarySample(const LiveAircraft& ac, PosSample& s);
// The check by flight state of a sample for an active aircraft; true accepts.
bool checkExtendingSituations(LiveAircraft& ac, PosSample& s);
// The check while approaching or rolling out after a landing; may drop back samples or restart
// the stream at the current position. True accepts.
bool checkNewPosDuringLanding(LiveAircraft& ac, PosSample& s);
// The stand check of a parked or parking aircraft: a parking one beyond 85 m (170 after parking)
// taxis on; a parked one beyond 200 m is removed; otherwise a parked one leaves when its reports
// keep going away, three steps and half a wing span in all (or at once beyond 85 m on its first
// report). True accepts.
bool lf_parkedSample(LiveAircraft& ac, PosSample& s);
// Leaving the stand: a running extension ends (a landed Heavy, Large or Buzjet parked briefly is
// towed), the stay is booked into the stand's options and the stand is left.
void lf_leaveStand(LiveAircraft& ac);

// A take-off roll or touch-and-go that a sample showed on arrival starts once that sample is due,
// unless the aircraft meanwhile left the ground, started a roll or rolled out. Called by
// nextPosMain.
void gf_startRollWhenDue(LiveAircraft& ac);

// Moves on when the front sample fell due: advances onto the next sample (in the air skipping
// stationary ones but for Rotorcraft), extends a stream that ran dry, or removes the aircraft at
// the stream's end (a departing one first booked on its likely stand). An exception is logged
// ("nextPosMain: <text> <label>, sz:<n>, fs:<state>, st:<life>") and passed on.
void nextPosMain(LiveAircraft& ac);
// The front sample is done: the next one's due tick and the per-tick increments are set (ground
// or air model) and the next becomes the front. Needs two samples.
void lf_advanceSample(LiveAircraft& ac);
// Due tick of the next sample in the air from the leg's length and speed, with the clamps.
void lf_nextPosAir(LiveAircraft& ac);
// The stream ran dry: arrival at a stand, holding on the ground, or dead reckoning by extension;
// true when a sample was appended.
bool lf_extendStream(LiveAircraft& ac);
// Appends one dead-reckoned sample from the front along the heading; extension = count.
void lf_deadReckon(LiveAircraft& ac, int32_t count);

// One tick of motion between samples: along the taxi curve or by the increments, then attitude
// and altitude (flare, touchdown, take-off steps of the flight model), then the position folded
// back into range. Allocates nothing.
void lf_tickMotion(LiveAircraft& ac);

// Turns the heading toward the target by currentTurnRate the shorter way, not within 0.5 degrees.
void gf_steerHeading(LiveAircraft& ac, double targetRad);
// dueBack and dueAhead back to 3000 (dueAhead 5000 during the take-off roll).
void gf_resetDueClamps(LiveAircraft& ac);
