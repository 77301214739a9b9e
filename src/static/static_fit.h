// The static parking fit: which observed aircraft stands on which stand of the park airport at
// the current half-hour of the week. It fills the PT list (planned static aircraft) that the
// placement turns into simulator objects. Called by the static-parking calculation and the
// renewal; run thread only.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "airports/stand.h"
#include "live/aircraft.h"

// One planned static aircraft.
struct PtEntry {
    uint32_t sourceHexid = 0;    // hexid of the parked-traffic record; 0 for an entry of the fit
    uint32_t noSourceHexid = 1;  // 1: from the fit; 0: from parked traffic
    int32_t standId = 0;         // 1..N
    int32_t slotOffset = 0;      // half-hours since it was observed (0: now)
    std::string airline, type;
    std::string callsign;   // the option's first callsign
    std::string callsign2;  // its second callsign; empty when none
    std::string reg;
    uint8_t useFirstCallsign = 1;  // 1: the static aircraft carries callsign; 0: callsign2
};

// Fit modes.
inline constexpr int kFitSoft = 0;
inline constexpr int kFitReal = 1;
inline constexpr int kFitBoth = 2;

// Half-hour arithmetic of the week (336 half-hours, Monday 00:00 is 0).
// Weekday 1..7 and slot 0..47: nothing is fitted or renewed with any other value.
bool gf_isValidSlot(uint64_t slotValue);
// (weekday - 1) x 48 + slot of a valid slot value.
int gf_weekHalfHour(uint64_t slotValue);
// The slot value so many half-hours before (negative: after) the given one, over the week's wrap.
uint64_t gf_slotMinus(uint64_t slotValue, int halfHours);
// Half-hours from then forward to now, 0..335 (a park slot of Sunday night is a few
// half-hours before Monday morning, not most of a week after it).
int gf_halfHoursSince(uint64_t nowSlot, uint64_t thenSlot);

// Texts that name an aircraft: equal and not empty.
inline bool gf_sameName(std::string_view a, std::string_view b) {
    return !a.empty() && a == b;
}
// The static callsign made of this one: not empty and followed by "*" it is the static's callsign.
bool gf_isStarredOf(std::string_view staticCallsign, std::string_view callsign);
// The callsign, or the callsign followed by "_", is in the set; an empty one never is.
bool lf_callsignInSet(const std::unordered_set<std::string>& set, std::string_view callsign);

// Wanted number of static aircraft from MAX_PARK_SEL and the parking percentage; shows the
// count and its percentage of the stands in the window.
int64_t lf_wantedParkedCount();
// Logs the day and half-hour of g_currentSlot; returns that slot value.
uint64_t lf_logDayAndHour();
// Real options first, then soft ones when PARK_SOFT or PARK_FAKE is on and more are wanted.
void lf_fitRealThenSoft(uint64_t slotValue, int64_t wanted, int64_t extra);
// One fit in a mode; its picks go to the PT list, cut to wanted - extra entries.
void lf_fitParkedTraffic(uint64_t slotValue, int64_t wanted, int64_t extra, int mode);
// Passes from the current half-hour back by MAX_FIT; true when the taken stands reached wanted
// (the picks of that pass stay in results, earlier passes went to the PT list).
bool lf_fitStands(uint64_t slotValue, int mode, int64_t wanted, std::vector<PtEntry>& results);
// One pass at the half-hour offset before the slot value; appends its picks to results.
void lf_searchStands(uint64_t slotValue, int mode, int offset, std::vector<PtEntry>& results);
// The option of a static aircraft from the fit still on this stand comes first; otherwise the
// candidates are shuffled.
void lf_orderStandCandidates(std::vector<uint32_t>& candidates, const Stand& stand);
// The option's aircraft is planned, live, static or parked elsewhere already.
bool lf_isAircraftPresent(const StandOption& option);

// The option of that day names the aircraft (registration, airline, type) and holds a half-hour
// from slot down to slot - window (not below 0) / from 47 down to 47 - window (not below 0).
bool lf_isOptInSlotWindow(const AircraftRec& ac, int day, int slot, int window, const StandOption& option);
bool lf_isOptInDayEndWindow(const AircraftRec& ac, int day, int window, const StandOption& option);

// The next half-hour after the slot value is in the option's set: the same day's next bit, or
// after slot 47 bit 0 of an option of the stand for the next day with the same airline and type.
bool gf_optionGoesOn(const Stand& stand, const StandOption& option, uint64_t slotValue);

// Per-run and whole-process reset: empty PT list, offsets 0 and -1.
void gf_resetStaticFit();

// The PT list; the placement takes entries from its back.
extern std::vector<PtEntry> g_ptList;
// Offset of the last pass of the last real and soft fit (-1: no soft fit since the real one).
extern int32_t g_fitRealOffset;
extern int32_t g_fitSoftOffset;
