// What the simulator reports about the AI objects, handled on the run thread: binding a created
// object to its record, the 200-tick wait before it is driven, its activation, removals, object
// scans, static centre-of-gravity replies and refused creates; and the throttle, flaps and
// shutdown commands of one aircraft. The per-tick driver (live/tick.h) drains the events first.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "live/aircraft.h"
#include "sim/sim_link.h"

// Ticks a created object waits before it is driven; the lights are toggled at 50 and 100.
inline constexpr int32_t kActivationTicks = 200;
// Refused liveries (distinct titles) that end the run with user error 81.
inline constexpr size_t kMaxRefusedTitles = 20;

// Drains g_simEventQueue in queue order under g_simEventMutex, taking each event off the queue
// before it is handled, then counts and activates the waiting created objects. A user error
// (81) or another failure leaves the events not yet taken in the queue.
void gf_handleSimEvents();
// Counts the waiting created objects and activates those that waited 200 ticks; an object whose
// record is gone is queued for removal and dropped with a warning. Under g_simEventMutex.
void lf_handleCreatedObjects();
// First commands to a created live object (engines, spoilers, lights, throttle, flaps); life
// state active. An aircraft without samples is logged and removed instead.
void lf_activate(LiveAircraft& ac);
// A removed object: a live aircraft in liveryrespawn goes back to buffer, any other live one is
// erased at once (its flight plan file deleted), else the static aircraft with that object id.
void lf_onObjectRemoved(uint32_t objectId);
// The simulator could not create the aircraft: message, the title refused (once), and error 81
// when 20 distinct titles were refused. Nothing while the run is stopping.
void gf_onCreateFailed(const AircraftRec& rec);
// True when the simulator refused the title.
bool gf_isRefusedTitle(std::string_view title);

// THROTTLE_SET for steps 0..4 (0, 4914, 8191, 11468, 16383), nothing for a step already sent or
// a larger one; the step is remembered either way.
void gf_setThrottle(AircraftRec& rec, uint32_t index);
// FLAPS_SET for steps 0..4 (0, 3072, 10240, 16383, 0); nothing for a step already sent or a
// Rotorcraft; a larger step is logged and remembered without a command.
void gf_setFlaps(AircraftRec& rec, uint32_t index);
// A static aircraft arriving on its stand: throttle and flaps 0, engines off, parked lights
// (cabin on 9 times in 10, never on a cargo stand).
void gf_stopParkedAircraft(AircraftRec& rec);

// Per-run reset: no waiting objects, normal scan rate (storage kept).
void gf_resetSimEvents();
// Whole-process reset: as above with the storage released.
void gf_resetSimEventsProcess();

// Created objects waiting for activation (counter: ticks waited, -1 done); run thread, handled
// under g_simEventMutex.
extern std::vector<SimEventRec> g_waitingEvents;
// A landing aircraft is in its flare: the AI objects are asked for every 20 ticks, not 100.
extern bool g_fastObjectScan;
