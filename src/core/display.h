// The window's display values and message line, which any room may set from any thread (every
// call takes the display's lock); the window model, the console and tests read them. Also the
// traffic range and live limit that the window's options set and lower rooms read.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Areas of the window that writers ask to repaint.
enum class Region : int {
    Status,       // the status panel, left 0, top 28, right 880, bottom 112
    Airports,     // the scan counters of the airport scan
    ParkingBand,  // the static-parking options, (0, 112) to (880, 392)
    Lamps,        // the status lamps, refreshed every 15 simulator seconds
    Count,
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
// Changes display values under the display's lock and asks for a repaint of the region.
void gf_editStats(const std::function<void(WindowStats&)>& edit, Region repaint = Region::Status);

void gf_repaint(Region region);
int gf_repaintCount(Region region);

// The rule that picks the traffic range from the user's situation (AUTO_RANGE on). It needs the
// user aircraft and the park airport, so the shell installs it at the start of a run.
using AutoRangeRule = void (*)();
void gf_setAutoRangeRule(AutoRangeRule rule);
// Applies the installed rule; does nothing while none is installed.
void gf_pickAutoRange();

// Message line, display values, repaint counts, range, live limit and the auto-range rule back
// to the start state (whole-process reset).
void gf_resetDisplay();

// RANGE as the user set it, kept while AUTO_RANGE is on and restored when it goes off.
extern std::atomic<int32_t> g_manualRange;
// The MAX_LIVE_SEL value the user chose; 500 at start.
extern std::atomic<int32_t> g_maxLiveValue;
// The traffic range in nautical miles; the traffic query radius is this x 1852 m.
extern std::atomic<double> g_rangeNm;
