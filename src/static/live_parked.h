// Live aircraft parked at the park airport as static parking sees them: the flush of every
// static aircraft, the reserved stand, counts and parked times for the window, the list of live
// aircraft on stands with the removal of those parked too long, and the sweep for live aircraft
// that duplicate a static one. Called by the main loop, the time shift and the renewal; run thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/display.h"
#include "live/stand_choice.h"

// One live aircraft standing on a stand of the park airport.
struct LiveOnStand {
    std::string callsign;
    uint32_t standId = 0;
    int32_t minutesParked = 0;
};

// Live parked aircraft stay this long (minutes) unless INITIAL_LOAD_ONLY is on.
inline constexpr int32_t kMaxParkedMinutes = 90;
inline constexpr int32_t kMaxParkedMinutesHeavy = 180;

// Every static aircraft leaves: active ones are removed, queued creates withdrawn (the record
// erased), creates already sent removed as their objects appear.
void gf_flushStatic();
// Removes one aircraft from the reserved stand: the first active static on it, else the first
// active parked live aircraft. A name that matches no stand removes nothing.
void gf_clearReservedStand(const ParkSite& site = gf_parkSite());
// Counts the active parked live aircraft; with withAge also shows their average parked time.
int64_t gf_liveParkedStats(bool withAge);
// Recounts the live aircraft in the simulator and the static parked ones for the window;
// repaints the status panel only when a count changed. Run thread, once a second.
void gf_refreshCounts();
// Shows an average parked time in the window field: sumHalfHours / (2 x count) + 0.5 hours, in
// minutes (0 without aircraft); repaints only when it changed.
void gf_showAverageParked(float WindowStats::*field, int64_t sumHalfHours, int64_t count);
// Rebuilds g_liveOnStand (shortest parked first), removing live aircraft parked too long.
void gf_removeOldParked();
// Removes the n longest parked live aircraft.
void gf_removeLiveParked(int64_t n);
// On seconds that are multiples of 61: the first active static aircraft that duplicates an active
// live aircraft on the ground (its callsign with "*", or its registration) is removed.
void gf_sweepDuplicateStatics();

// Per-run and whole-process reset: the list emptied.
void gf_resetLiveParked();

// Asked for by the window (flush) and by the park airport (the reserved stand changed); carried
// out by the main loop's per-second pass and 15-second cycle.
extern std::atomic<bool> g_flushStaticRequested;
extern std::atomic<bool> g_clearReservedStandRequested;
// Live aircraft on stands, shortest parked first; rebuilt by gf_removeOldParked.
extern std::vector<LiveOnStand> g_liveOnStand;
