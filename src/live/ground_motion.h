// Ground movement of live aircraft: due ticks of taxi legs, turns along quadratic curves, the
// slow-down before sharp turns, pushback and pull-out, taxi and take-off-roll throttle, the
// choice of a stand on the way, the drive onto it and the arrival. Called per sample by the
// stream playback (lf_advanceSample, lf_extendStream) on the run thread.
#pragma once
#include <atomic>
#include <cstdint>

#include "core/geo.h"
#include "live/aircraft.h"

// Distances of the ground movement, nautical miles.
inline constexpr double kParkRadiusLandedNm = gf_metersToNm(55);
inline constexpr double kParkRadiusNm = gf_metersToNm(20);
inline constexpr double kParkTriggerNm = gf_metersToNm(35);
inline constexpr double kArrivalNm = gf_metersToNm(2);
inline constexpr double kSharpTurnLegNm = gf_metersToNm(50);
inline constexpr double kMidSampleLegNm = gf_metersToNm(100);
// Turns: above 3 degrees along a curve, up to 160; above 45 a long slow leg is split first.
inline constexpr double kCurveMinDeg = 3;
inline constexpr double kCurveMaxDeg = 160;
inline constexpr double kSharpTurnDeg = 45;
inline constexpr double kSharpTurnMaxKt = 43;
inline constexpr int32_t kSharpTurnLegTicks = 600;
// Speeds of the front and next sample differing by more than this split a long straight leg.
inline constexpr double kMidSampleSpeedStepKt = 5;
// A taxi pace: outside the rolls a leg is flown no slower when its positions move at least so
// fast, and no faster when they move slower.
inline constexpr double kTaxiPaceKt = 15;
// The next sample at most this fast (and the aircraft near the back sample) tries to park.
inline constexpr double kParkTriggerKt = 5;
// The drive onto a stand takes at least this long; the aircraft stands still this much later.
inline constexpr int32_t kDriveToStandMinTicks = 100;
inline constexpr int32_t kStandStillAfterTicks = 50;

// lf_advanceSample, for an aircraft on the ground: by flight state, the pushback step, the
// leaving of a stand (pull-out or pushback), the split of long legs, the turn curve or the
// straight rule, the parking test; always ends with lf_groundDueTick. An exception is logged
// ("nextPosGround: <text>, <label>, sz:<n>") and passed on.
void nextPosGround(LiveAircraft& ac);
// lf_advanceSample, after the increments are set: taxi state, throttle (idle, roll-out or
// take-off roll; a take-off roll that turned off the runway ends), clamps, ground attitude, curve
// step, speed shown and the take-off test.
void lf_groundMotion(LiveAircraft& ac);
// nextPosGround, and the playback for a Rotorcraft's stationary next sample: the next sample's
// due tick on the ground, with the turn rate fitted to the leg; outside the rolls the leg's speed
// is held between its positions' pace and kTaxiPaceKt.
void lf_groundDueTick(LiveAircraft& ac);

// nextPosGround: a sample between front and next (means of position, speed, altitude, due tick).
void lf_insertMidSample(LiveAircraft& ac);
// nextPosGround: a long straight leg between two speeds more than 5 kt apart is split.
void lf_straightStep(LiveAircraft& ac);
// nextPosGround and the pushback: a quadratic curve from the current position over the next
// sample to the one after it, which becomes the next sample.
void lf_buildTurnCurve(LiveAircraft& ac);

// nextPosGround for a parked aircraft leaving backwards: straight back 2.5 stand radii, then
// optionally one half span to the side. Nothing for a stand id that no stand has.
void lf_startPushback(LiveAircraft& ac);
// nextPosGround per sample while pushing back: the turn to the known side, then pushed_back.
void lf_pushbackTick(LiveAircraft& ac);
// nextPosGround for a parked aircraft leaving forwards: two half spans ahead of the stand.
void lf_pullOut(LiveAircraft& ac);

// nextPosGround's parking test (and the playback's extension): claims the nearest free stand
// around the back sample (55 m after a landing, else 20 m) and drives onto it.
void try2Park(LiveAircraft& ac, bool landed);
// try2Park: appends the drive onto the stand and the stop 50 ticks later.
void drive2Stand(LiveAircraft& ac, LatLon standPos);
// lf_extendStream when a parking aircraft's stream ends: an occupied stand removes the
// newcomer (the occupant keeps its mark); farther than 2 m taxis on; else parks and books.
void lf_arriveAtStand(LiveAircraft& ac);

// Taxi lights: NAV, BEACON, TAXI and LOGO on; LANDING, STROBES and CABIN off.
void gf_taxiLights(const LiveAircraft& ac);

// Per-run and whole-process reset: static parking off.
void gf_resetGroundMotion();
