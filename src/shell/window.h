// The window's option handling: parameter records shown in their controls, the handlers of
// check boxes, combo boxes and buttons (UI thread), and the traffic range that both the
// window and the main loop set. Handlers never touch run-thread data: they post requests.
#pragma once
#include <atomic>
#include <cstdint>
#include <string_view>

#include "core/params.h"

// Puts an integer record's value into its control: the combo entry, or the edit text.
void gf_showIntParameter(const IntParameter& record);
// Puts every bound record's value into its control (start-up, after the parameters load).
void gf_showParameterControls();
// Enables the static-parking controls while RT_PARKTRAFFIC_ONLY is off, disables them while
// it is on, and repaints the parking band.
void gf_enableParkingControls();

// The user switched a check box (UI thread).
void lf_handleCheckBoxes(int controlId, bool checked);
// The user picked the combo entry at that position of the record's choices (UI thread).
void lf_handleCombos(int controlId, int index);
// The user pressed a button (UI thread).
void lf_handleButtons(int controlId);
// The user entered a destination airport (UI thread): the run thread puts it in front; an
// empty entry clears the destination.
void lf_handleDestination(std::string_view text);
// The block box: BLOCK_CALLSIGN takes the trimmed text; a callsign is removed at the next second.
void lf_handleBlockCallsign(std::string_view text);

// Sets RANGE (clamped to its range), selects its combo entry and sets g_rangeNm from it.
void gf_setRange(int rangeNm);
// Recounts the live aircraft in the simulator and the static parked ones for the window;
// repaints the status panel only when a count changed. Run thread, once a second.
void gf_refreshCounts();
// The traffic range for the user's situation; see gf_autoRange.
int gf_autoRangeNm(bool onGround, bool nearParkAirport, double altitudeFt);
// Picks the range from the user aircraft's latest state and applies it with gf_setRange.
void gf_autoRange();

// Back to the start values (whole-process reset).
void gf_resetWindow();

// RANGE as the user set it, kept while AUTO_RANGE is on and restored when it goes off.
extern std::atomic<int32_t> g_manualRange;
// The MAX_LIVE_SEL value the user chose; 500 at start.
extern std::atomic<int32_t> g_maxLiveValue;
// The traffic range in nautical miles; the traffic query radius is this x 1852 m.
extern std::atomic<double> g_rangeNm;
