// The headless main window: per-control state, records shown in their controls, and the
// console's status line drawn from the display values (core/display.h). Written by the run
// thread and the UI thread (every call takes the model's lock); tests read it.
#pragma once
#include <string>

class IntParameter;

// Controls of the window that no parameter record is bound to.
namespace ctl {
enum : int {
    kRereadParkAirports = 1101,  // the Re-read button of the park airports
    kFlushStatic = 1102,         // the button that removes every static parked aircraft
};
}  // namespace ctl

// One control: check box, combo box, edit box or button.
struct ControlState {
    bool checked = false;
    bool enabled = true;
    int selected = -1;  // combo entry by its position in the record's choices; -1 none
    std::string text;   // edit boxes
};

// Control state by control id (a control never touched reads as enabled and clear).
ControlState gf_controlState(int controlId);
void gf_setChecked(int controlId, bool checked);
void gf_setEnabled(int controlId, bool enabled);
void gf_setSelected(int controlId, int index);
void gf_setControlText(int controlId, std::string text);

// Puts an integer record's value into its control: the combo entry, or the edit text.
void gf_showIntParameter(const IntParameter& record);
// Enables the static-parking controls while RT_PARKTRAFFIC_ONLY is off, disables them while
// it is on, and repaints the parking band.
void gf_enableParkingControls();
// Sets RANGE (clamped to its range), selects its combo entry and sets g_rangeNm from it.
void gf_setRange(int rangeNm);

// The console's one-line status, from the display values.
std::string gf_statusLine();

// Every control back to the start state (whole-process reset).
void gf_resetWindowModel();
