// The park airport's watch: choosing, loading and dropping the current park airport among the
// park airports (airports/park_airports.h), the reserved stand, the remembered user stand and the
// parking controls. It starts and ends static parking at the park airport and tells live traffic
// where to park. Run thread, except gf_rememberUserStand (simulator thread), which hands its
// finding over as a request.
#pragma once
#include <atomic>
#include <string>
#include <string_view>

#include "core/geo.h"

// Re-reads the park airports for the window; with checkStand the remembered stand of the
// current park airport becomes the reserved stand. out gets the text to show. False when the
// read failed.
bool gf_checkParkAirports(bool checkStand, std::string& out);

// The watch of the main loop (every 16 simulator seconds, and with loadNow once at the start).
void gf_watchParkAirport(bool loadNow);
// The current park airport is not set: choose one (in the air: the front entry in range; on the
// ground: the closest airport with a parking file).
void lf_findParkAirportInSight(LatLon user, bool loadNow);
// The current park airport is set: drop it when out of range or a nearer listed one is in sight.
void lf_checkParkAirportInSight(LatLon user);
// Makes the airport of that code the current park airport; false when the code is unknown.
bool lf_setParkAirport(std::string_view code);
// Loads the park airport's parking file now or at the next watch.
void lf_loadParkAirport(bool now);
// Locks the parking controls and starts gathering callsigns for static parking.
void lf_beginParkingCalculation(bool showMessage);
// Reads the park airport's parking file into g_stands; "" on success, else the error text.
std::string lf_readParkedFile();
// Ends static parking at the park airport: the learned data saved when changed, the park
// airport, its stands and the window's parking values cleared.
void lf_resetStaticParking();

// Simulator thread: remembers the stand nearest to the user aircraft when it stands still
// (at most 2 kt); the run thread writes it into the list and the file at its next tick.
void gf_rememberUserStand();
// Run thread: carries out what gf_rememberUserStand handed over.
void lf_storeRememberedStand();

void gf_lockParkingControls();
void gf_unlockParkingControls();

// Per-run and whole-process reset of the park airports: no park airport, list, reserved stand,
// stands or pending load; the controls unlocked. The live containers have resets of their own.
void gf_resetParkingForNewFlight();

// Name of the stand kept free for the user's aircraft at the park airport; empty: none.
extern std::string g_reservedStand;
// A park airport was chosen and its parking file is loaded at the next watch.
extern bool g_parkLoadPending;
// The park airport's file is read with little real traffic: live traffic learns soft options.
extern bool g_parkedFileRead;
// The parking controls are locked while static parking is calculated.
extern std::atomic<bool> g_parkingControlsLocked;
