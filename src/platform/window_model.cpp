#include "platform/window_model.h"

#include <array>
#include <deque>
#include <map>
#include <mutex>

#include <fmt/format.h>

#include "core/log.h"

namespace {

constexpr int kMessageLifeSeconds = 25;
// Messages shown faster than the console polls wait here for it; more than this and the
// oldest go (the window itself only ever shows the last).
constexpr size_t kMaxPendingMessages = 32;

std::mutex g_windowMutex;  // taken for one read or write; the log lock may nest inside
std::map<int, ControlState> g_controls;
std::string g_message;
bool g_messageIsError = false;
int g_messageAgeSeconds = 0;
std::deque<std::string> g_shownMessages;  // every text put on the message line, oldest first
WindowStats g_stats;
std::array<int, static_cast<size_t>(Region::Count)> g_repaints{};

void lf_setMessageLocked(std::string_view text, bool isError) {
    if (text != g_message) {
        if (g_shownMessages.size() == kMaxPendingMessages) g_shownMessages.pop_front();
        g_shownMessages.emplace_back(text);
    }
    g_message = text;
    g_messageIsError = isError;
    g_messageAgeSeconds = 0;
}

void lf_repaintLocked(Region region) {
    auto i = static_cast<size_t>(region);
    if (i < g_repaints.size()) ++g_repaints[i];
}

std::string lf_floatOrDash(float v) {
    return v < 0 ? std::string("-") : fmt::format("{:.0f}", v);
}

}  // namespace

ControlState gf_controlState(int controlId) {
    std::lock_guard lock(g_windowMutex);
    auto it = g_controls.find(controlId);
    return it == g_controls.end() ? ControlState{} : it->second;
}

void gf_setChecked(int controlId, bool checked) {
    std::lock_guard lock(g_windowMutex);
    g_controls[controlId].checked = checked;
}

void gf_setEnabled(int controlId, bool enabled) {
    std::lock_guard lock(g_windowMutex);
    g_controls[controlId].enabled = enabled;
}

void gf_setSelected(int controlId, int index) {
    std::lock_guard lock(g_windowMutex);
    g_controls[controlId].selected = index;
}

void gf_setControlText(int controlId, std::string text) {
    std::lock_guard lock(g_windowMutex);
    g_controls[controlId].text = std::move(text);
}

void gf_showMessage(std::string_view text, bool log) {
    {
        std::lock_guard lock(g_windowMutex);
        if (g_messageIsError) return;
        lf_setMessageLocked(text, false);
    }
    if (log) gf_logLine(text);
}

void gf_showError(std::string_view text) {
    std::lock_guard lock(g_windowMutex);
    lf_setMessageLocked(text, true);
}

void gf_clearMessage() {
    std::lock_guard lock(g_windowMutex);
    g_message.clear();
    g_messageIsError = false;
    g_messageAgeSeconds = 0;
}

std::string gf_messageText() {
    std::lock_guard lock(g_windowMutex);
    return g_message;
}

std::vector<std::string> gf_takeShownMessages() {
    std::lock_guard lock(g_windowMutex);
    std::vector<std::string> texts(std::make_move_iterator(g_shownMessages.begin()),
                                   std::make_move_iterator(g_shownMessages.end()));
    g_shownMessages.clear();
    return texts;
}

bool gf_errorShown() {
    std::lock_guard lock(g_windowMutex);
    return g_messageIsError;
}

bool gf_messageSecondPassed() {
    std::lock_guard lock(g_windowMutex);
    // An error stays until the user's next action clears it; only plain messages expire.
    if (g_message.empty() || g_messageIsError) return false;
    if (++g_messageAgeSeconds < kMessageLifeSeconds) return false;
    g_message.clear();
    g_messageAgeSeconds = 0;
    return true;
}

WindowStats gf_windowStats() {
    std::lock_guard lock(g_windowMutex);
    return g_stats;
}

void gf_editStats(const std::function<void(WindowStats&)>& edit, Region repaint) {
    std::lock_guard lock(g_windowMutex);
    edit(g_stats);
    lf_repaintLocked(repaint);
}

void gf_repaint(Region region) {
    std::lock_guard lock(g_windowMutex);
    lf_repaintLocked(region);
}

int gf_repaintCount(Region region) {
    std::lock_guard lock(g_windowMutex);
    auto i = static_cast<size_t>(region);
    return i < g_repaints.size() ? g_repaints[i] : 0;
}

std::string gf_statusLine() {
    WindowStats s = gf_windowStats();
    return fmt::format(
        "live: {} | # liveries: {} | park airport: {} | stands: {} | static parked: {} (avg {} min) | live "
        "parked: {} (avg {} min) | wanted: {} ({}%) | renewal in {} min{}{}",
        s.liveCount, s.liveryCount, s.parkAirportLabel.empty() ? "-" : s.parkAirportLabel, s.standCount,
        s.staticParkedCount, lf_floatOrDash(s.staticParkedAvgMinutes), s.liveParkedCount,
        lf_floatOrDash(s.liveParkedAvgMinutes), s.wantedCount, s.wantedPercent, s.countdownMinutes,
        s.statusText.empty() ? "" : " | ", s.statusText);
}

void gf_resetWindowModel() {
    std::lock_guard lock(g_windowMutex);
    g_controls.clear();
    g_message.clear();
    g_messageIsError = false;
    g_messageAgeSeconds = 0;
    g_shownMessages.clear();
    g_stats = WindowStats{};
    g_repaints.fill(0);
}
