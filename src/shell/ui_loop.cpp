#include "shell/ui_loop.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "core/display.h"
#include "core/run_state.h"
#include "platform/console_input.h"
#include "platform/window_model.h"
#include "shell/run_thread.h"
#include "shell/window.h"

std::atomic<bool> g_windowCloseAsked{false};

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kUiPollPeriod = std::chrono::milliseconds(100);

std::mutex g_uiMutex;
std::condition_variable g_uiWake;
std::deque<UiMessage> g_uiMessages;

// The lamp repaints the console has shown the status line for.
int g_consoleLampRepaints = 0;

// Everything the UI loop keeps between two messages.
struct UiState {
    std::thread run;
    std::optional<Clock::time_point> restartAt;
    bool closing = false;
    bool quit = false;
    int exitCode = kExitNormal;
};

void lf_startRun(UiState& ui) {
    if (ui.run.joinable()) ui.run.join();
    if (ui.closing) return;
    ui.run = std::thread(lf_runThread);
}

// Closing the window only asks the run to stop; its closing down answers with Quit. With no
// run going (a restart countdown) the program quits at once.
void lf_closeWindow(UiState& ui) {
    ui.closing = true;
    g_userClosing = true;
    gf_stopRunWith(ExitState::UserClosedSim);
    if (!ui.run.joinable()) ui.quit = true;
}

void lf_handle(UiState& ui, const UiMessage& m) {
    switch (m.command) {
        case UiCommand::StartRun:
            lf_startRun(ui);
            break;
        case UiCommand::RestartAfter:
            if (ui.run.joinable()) ui.run.join();
            if (ui.closing)
                ui.quit = true;
            else
                ui.restartAt = Clock::now() + std::chrono::seconds(m.delaySeconds);
            break;
        case UiCommand::Quit:
            ui.quit = true;
            ui.exitCode = m.exitCode;
            break;
    }
}

// Lines piped to the console type into the window's block box.
void lf_readConsole() {
    for (const std::string& line : gf_takeConsoleLines())
        if (auto callsign = gf_consoleBoxText(line, "BLOCK_CALLSIGN")) lf_handleBlockCallsign(*callsign);
}

}  // namespace

void gf_postUiMessage(UiMessage message) {
    {
        std::lock_guard lock(g_uiMutex);
        g_uiMessages.push_back(message);
    }
    g_uiWake.notify_one();
}

std::optional<UiMessage> gf_waitUiMessage(std::chrono::milliseconds timeout) {
    std::unique_lock lock(g_uiMutex);
    if (!g_uiWake.wait_for(lock, timeout, [] { return !g_uiMessages.empty(); })) return std::nullopt;
    UiMessage m = g_uiMessages.front();
    g_uiMessages.pop_front();
    return m;
}

void gf_showWindowOnConsole() {
    for (const std::string& message : gf_takeShownMessages())
        if (!message.empty()) fmt::print("{}\n", message);
    int lamps = gf_repaintCount(Region::Lamps);
    if (lamps != g_consoleLampRepaints) {
        g_consoleLampRepaints = lamps;
        fmt::print("{}\n", gf_statusLine());
    }
    std::fflush(stdout);
}

int gf_runUiLoop() {
    UiState ui;
    gf_showWindowOnConsole();
    gf_postUiMessage({UiCommand::StartRun, 0});
    while (!ui.quit) {
        if (g_windowCloseAsked && !ui.closing) lf_closeWindow(ui);
        if (auto m = gf_waitUiMessage(kUiPollPeriod)) lf_handle(ui, *m);
        lf_readConsole();
        if (ui.restartAt && Clock::now() >= *ui.restartAt) {
            ui.restartAt.reset();
            lf_startRun(ui);
        }
        gf_showWindowOnConsole();
    }
    if (ui.run.joinable()) ui.run.join();
    gf_showWindowOnConsole();
    return ui.exitCode;
}

void gf_resetUiLoop() {
    std::lock_guard lock(g_uiMutex);
    g_uiMessages.clear();
    g_windowCloseAsked = false;
    g_consoleLampRepaints = 0;
}
