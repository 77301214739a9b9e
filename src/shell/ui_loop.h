// The UI loop on the process's main thread: starts run threads, counts down to a restart,
// turns the window being closed (Ctrl-C) into an orderly end of the run, and writes the
// window's message line and status to the console. Other threads reach it by messages.
#pragma once
#include <atomic>
#include <chrono>
#include <optional>

enum class UiCommand : int {
    StartRun,      // start a new run thread
    RestartAfter,  // the run ended: start the next one after delaySeconds
    Quit,          // the run ended: the program quits
};

struct UiMessage {
    UiCommand command = UiCommand::StartRun;
    int delaySeconds = 0;  // RestartAfter only
    int exitCode = 0;      // Quit only: the process's exit code (ProgramExitCode)
};

// Hands a message to the UI loop (any thread).
void gf_postUiMessage(UiMessage message);
// The oldest message, waiting at most the timeout; nothing when none came.
std::optional<UiMessage> gf_waitUiMessage(std::chrono::milliseconds timeout);

// Runs the UI loop until the program quits; the process's exit code (the Quit message's).
int gf_runUiLoop();
// Writes what the window shows and the console has not shown yet: every message since the
// last call, and the status line when the lamps were repainted.
void gf_showWindowOnConsole();

// Forgets queued messages and the close request (whole-process reset).
void gf_resetUiLoop();

// The user closed the window: set by the signal handler, nothing else happens there.
extern std::atomic<bool> g_windowCloseAsked;
