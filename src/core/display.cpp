#include "core/display.h"

#include <array>
#include <deque>
#include <mutex>

#include "core/log.h"
#include "core/params.h"

std::atomic<int32_t> g_manualRange{40};
std::atomic<int32_t> g_maxLiveValue{500};
std::atomic<double> g_rangeNm{40.0};

namespace {

constexpr int kMessageLifeSeconds = 25;
// Messages shown faster than the console polls wait here for it; more than this and the
// oldest go (the window itself only ever shows the last).
constexpr size_t kMaxPendingMessages = 32;

std::mutex g_displayMutex;  // taken for one read or write; the log lock may nest inside
std::string g_message;
bool g_messageIsError = false;
int g_messageAgeSeconds = 0;
std::deque<std::string> g_shownMessages;  // every text put on the message line, oldest first
WindowStats g_stats;
std::array<int, static_cast<size_t>(Region::Count)> g_repaints{};
std::atomic<AutoRangeRule> g_autoRangeRule{nullptr};

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

}  // namespace

void gf_showMessage(std::string_view text, bool log) {
    {
        std::lock_guard lock(g_displayMutex);
        if (g_messageIsError) return;
        lf_setMessageLocked(text, false);
    }
    if (log) gf_logLine(text);
}

void gf_showError(std::string_view text) {
    std::lock_guard lock(g_displayMutex);
    lf_setMessageLocked(text, true);
}

void gf_clearMessage() {
    std::lock_guard lock(g_displayMutex);
    g_message.clear();
    g_messageIsError = false;
    g_messageAgeSeconds = 0;
}

std::string gf_messageText() {
    std::lock_guard lock(g_displayMutex);
    return g_message;
}

std::vector<std::string> gf_takeShownMessages() {
    std::lock_guard lock(g_displayMutex);
    std::vector<std::string> texts(std::make_move_iterator(g_shownMessages.begin()),
                                   std::make_move_iterator(g_shownMessages.end()));
    g_shownMessages.clear();
    return texts;
}

bool gf_errorShown() {
    std::lock_guard lock(g_displayMutex);
    return g_messageIsError;
}

bool gf_messageSecondPassed() {
    std::lock_guard lock(g_displayMutex);
    // An error stays until the user's next action clears it; only plain messages expire.
    if (g_message.empty() || g_messageIsError) return false;
    if (++g_messageAgeSeconds < kMessageLifeSeconds) return false;
    g_message.clear();
    g_messageAgeSeconds = 0;
    return true;
}

WindowStats gf_windowStats() {
    std::lock_guard lock(g_displayMutex);
    return g_stats;
}

void gf_editStats(const std::function<void(WindowStats&)>& edit, Region repaint) {
    std::lock_guard lock(g_displayMutex);
    edit(g_stats);
    lf_repaintLocked(repaint);
}

void gf_repaint(Region region) {
    std::lock_guard lock(g_displayMutex);
    lf_repaintLocked(region);
}

int gf_repaintCount(Region region) {
    std::lock_guard lock(g_displayMutex);
    auto i = static_cast<size_t>(region);
    return i < g_repaints.size() ? g_repaints[i] : 0;
}

void gf_setAutoRangeRule(AutoRangeRule rule) {
    g_autoRangeRule = rule;
}

void gf_pickAutoRange() {
    if (AutoRangeRule rule = g_autoRangeRule.load()) rule();
}

void gf_resetDisplay() {
    {
        std::lock_guard lock(g_displayMutex);
        g_message.clear();
        g_messageIsError = false;
        g_messageAgeSeconds = 0;
        g_shownMessages.clear();
        g_stats = WindowStats{};
        g_repaints.fill(0);
    }
    g_manualRange = RANGE.def();
    g_maxLiveValue = 500;
    g_rangeNm = static_cast<double>(RANGE.def());
    g_autoRangeRule = nullptr;
}
