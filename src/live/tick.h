// The per-tick driver of live traffic, called once per main-loop pass by the run thread: the
// simulator events, the update of every live aircraft with one compaction, the hand-over of the
// tick's positions, the pacing of creates and removals, the intake of traffic records, one new
// create record, the object scan request and the copy of the user aircraft's state.
#pragma once
#include <cstdint>

#include "live/aircraft.h"

// Ticks between two creates sent to the simulator, and between two removals.
inline constexpr uint32_t kCreateEveryTicks = 50;
inline constexpr uint32_t kRemoveEveryTicks = 10;
// Ticks between two object scans, normally and while a landing aircraft flares.
inline constexpr uint32_t kObjectScanEveryTicks = 100;
inline constexpr uint32_t kFastObjectScanEveryTicks = 20;
// Ticks between two copies of the user aircraft's state.
inline constexpr uint32_t kUserCopyEveryTicks = 100;
// A live create that no object scan has bound this many ticks after it was sent is withdrawn.
inline constexpr uint32_t kCreateBindLimitTicks = 3000;

// One pass of the driver; the tick counter advances at its end.
void lf_handleAddingStack();
// Updates every live aircraft in vector order, erases the finished records in one compaction
// and hands the tick's positions to the simulator thread.
void lf_updateAllLive();
// One removal every 10 ticks; one create every 50 ticks, live creates before static ones.
void lf_sendQueued();
// One tick of a live aircraft by its life state; true when the record is to be erased. A record
// already flagged for erasing is left alone.
bool updateLiveAc(LiveAircraft& ac);

// Per-run reset of the driver's subsystems (waiting objects, unmatched aircraft, followed
// simulator time); part of the intake's per-run reset, which empties the queues and the live set.
void gf_resetLiveTraffic();
// Whole-process reset of the same.
void gf_resetLiveTrafficProcess();
