// The headless main window: per-control state, the message line, the status and statistics
// values and repaint counts. Written by the run thread and the UI thread (every call takes
// the model's lock); the console shows it and tests read it.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Controls of the window that no parameter record is bound to.
namespace ctl {
enum : int {
    kRereadParkAirports = 1101,  // the Re-read button of the park airports
    kFlushStatic = 1102,         // the button that removes every static parked aircraft
};
}  // namespace ctl

// Areas of the window that writers ask to repaint.
enum class Region : int {
    Status,       // the status panel, left 0, top 28, right 880, bottom 112
    Airports,     // the scan counters of the airport scan
    ParkingBand,  // the static-parking options, (0, 112) to (880, 392)
    Lamps,        // the status lamps, refreshed every 15 simulator seconds
    Count,
};

// One control: check box, combo box, edit box or button.
struct ControlState {
    bool checked = false;
    bool enabled = true;
    int selected = -1;  // combo entry by its position in the record's choices; -1 none
    std::string text;   // edit boxes
};

// The display values of the status and statistics panels. Floats are -1 when unknown.
struct WindowStats {
    int liveCount = 0;    // live aircraft in the simulator, created or on their way
    int liveryCount = 0;  // "# liveries: {}"
    int tbloFileCount = 0;
    int orbxAirportsDone = 0;
    std::string parkAirportLabel;
    std::string publisher;
    std::string quality;
    bool handmade = false;
    int standCount = 0;
    std::string rtWeek;
    int parkFileUpdates = 0;
    int countdownMinutes = 0;  // minutes to the next renewal of static parking
    int staticParkedCount = 0;
    float staticParkedAvgMinutes = -1;
    int liveParkedCount = 0;
    float liveParkedAvgMinutes = -1;
    int wantedCount = 0;
    int wantedPercent = 0;
    bool softMark = false;
    bool reservedMark = false;
    bool loadedMark = false;
    std::string loadedText1, loadedText2;
    std::string statusText;
};

// Control state by control id (a control never touched reads as enabled and clear).
ControlState gf_controlState(int controlId);
void gf_setChecked(int controlId, bool checked);
void gf_setEnabled(int controlId, bool enabled);
void gf_setSelected(int controlId, int index);
void gf_setControlText(int controlId, std::string text);

// Shows the text on the message line (logged when asked); ignored while an error is shown.
void gf_showMessage(std::string_view text, bool log);
// Shows an error on the message line; it stays until gf_clearMessage.
void gf_showError(std::string_view text);
// Empties the message line and ends an error.
void gf_clearMessage();
std::string gf_messageText();
// Every text put on the message line since the last call, oldest first (the console's feed,
// so that a message replaced at once is still seen).
std::vector<std::string> gf_takeShownMessages();
bool gf_errorShown();
// One simulator second passed: a message (not an error) is cleared 25 seconds after it
// was shown. True when this call cleared it.
bool gf_messageSecondPassed();

// Copy of the display values.
WindowStats gf_windowStats();
// Changes display values under the model's lock and asks for a repaint of the region.
void gf_editStats(const std::function<void(WindowStats&)>& edit, Region repaint = Region::Status);

void gf_repaint(Region region);
int gf_repaintCount(Region region);

// The console's one-line status, from the display values.
std::string gf_statusLine();

// Everything back to the start state (whole-process reset).
void gf_resetWindowModel();
