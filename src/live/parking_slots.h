// Half-hour bookkeeping of live aircraft at the park airport's stands: when an aircraft standing
// at a stand books the current half-hour into the stand's options, how a stay over several
// half-hours (also over midnight and the week's end) is booked backwards, and the per-stand
// week-slot maps behind it. Called on the run thread by spawn, playback, parking and stand choice.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "airports/stand.h"
#include "airports/stand_options.h"
#include "live/aircraft.h"

// Longest stay, in half-hours, that is booked backwards (the stay must be shorter).
inline constexpr int kCargoStayLimit = 12;
inline constexpr int kHeavyStayLimit = 8;
inline constexpr int kOtherStayLimit = 6;

// A live aircraft booked at a stand and the half-hour slot (0..47) of that booking.
struct HexidSlot {
    uint32_t hexid = 0;
    int32_t slot = 0;
};

// Books a live aircraft standing at a stand into the stand's real options (slotMapA). The slot
// value now is the packed weekday and half-hour. True when the booking step completed (counted
// in g_parkFileUpdates); false for an aircraft without registration and callsign, a stand id
// no stand has (0 included), an option read from the parking file for today that lacks now's
// half-hour, or an error, which logs "lt_addStandOption: hh_now: <slot>, <text>".
// Callers: the spawn at a stand (leaving clear, now = the current slot value), the arrival at a
// stand (leaving clear, now = the aircraft's parkSlot) and the stream playback when the
// aircraft leaves its stand (lf_leaveStand, leaving set, now = the current slot value). The
// third parameter is not used.
bool lt_addStandOption(uint32_t standId, const LiveAircraft& ac, bool unused, uint64_t now, bool leaving);

// The same step for soft options (slotMapB): the departure booking of the stand choice books a
// departing aircraft on the stand it most likely used; lf_departureKnownStand calls it with
// extra set, lf_bookDepartureStand with extra clear.
bool gf_releaseStandSlots(uint32_t standId, const LiveAircraft& ac, bool extra, uint64_t now, bool leaving);

// The stay test of an aircraft booked earlier (entry) and seen again now: true when nothing is
// to be booked (option index 0, same half-hour) or when the stay of n half-hours (counted over
// the week, so Sunday to Monday counts forward) is at least 1 and below the aircraft's limit;
// then the n half-hours up to now are booked backwards into the entry's option (on another
// weekday into a new option of today and, before midnight, the entry's option) and the entry
// takes now and the option booked. False, with nothing booked, for a longer stay or when no
// option of today can be appended. Used by the booking step of both operations above.
bool lf_slotFits(uint64_t now, Stand& stand, uint32_t optionIndex, StandSlotEntry& entry,
                 const LiveAircraft& ac, std::string_view key, uint32_t real);

// Books the n half-hours up to now across midnight: the earlier option gets the ones before
// midnight, the new option the ones after it; the callsign goes into both options.
void gf_bookOptionSlots(Stand& stand, uint64_t now, std::string_view callsign, int n, uint32_t earlierIndex,
                        uint32_t newIndex);

// The n slot numbers 0..47 from now's slot backwards (slot 0 is followed by 47 of the day
// before). n outside 0..336 or a slot outside 0..47 raises std::out_of_range("invalid bitset
// position").
SlotList gf_slotsBefore(int n, uint64_t now);

// Half-hours from the slot value from to the slot value to over the week, 0..335 (a later
// half-hour of the week in from counts across the week's end). A weekday outside 1..7 or a slot
// outside 0..47 raises std::out_of_range("invalid bitset position").
int gf_weekHalfHoursSince(uint64_t from, uint64_t to);

// The longest stay booked backwards for the aircraft: 12 cargo, 8 Heavy, 6 others.
int gf_stayLimit(const AircraftRec& ac);

// The entry of g_hexidValues of that hexid; nullptr when none.
HexidSlot* gf_findHexidSlot(uint32_t hexid);
// Sets the entry's slot, adding the entry when missing; a slot outside 0..47 raises
// std::out_of_range("invalid bitset position"). Called by the spawn at a stand, the arrival at
// a stand and the departure booking.
void gf_setHexidSlot(uint32_t hexid, int slot);
// Removes the entry; false when there was none. Called by the departure booking when refused.
bool gf_removeHexidSlot(uint32_t hexid);

// Per-run reset (closing down): no booked hexids, storage kept.
void gf_resetParkingSlots();
// Whole-process reset: as above with the storage released.
void gf_resetParkingSlotsProcess();

// Live aircraft booked at a stand with the half-hour of that booking. Run thread.
extern std::vector<HexidSlot> g_hexidValues;
