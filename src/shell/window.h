// The window's option handling: parameter records shown in their controls and the handlers of
// check boxes, combo boxes and buttons (UI thread). Handlers never touch run-thread data: they
// post requests.
#pragma once
#include <string_view>

// Puts every bound record's value into its control (start-up, after the parameters load).
void gf_showParameterControls();

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

// The traffic range for the user's situation; see gf_autoRange.
int gf_autoRangeNm(bool onGround, bool nearParkAirport, double altitudeFt);
// Picks the range from the user aircraft's latest state and applies it with gf_setRange.
void gf_autoRange();
