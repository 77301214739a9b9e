#include "core/run_state.h"

#include <mutex>

std::atomic<bool> g_stopRun{false};
std::atomic<bool> g_userClosing{false};

namespace {
std::mutex g_exitMutex;
ExitState g_exitStateValue = ExitState::NotYetSet;
}  // namespace

std::string_view gf_exitStateName(ExitState state) {
    switch (state) {
        case ExitState::NotYetSet:
            return "NOT YET SET";
        case ExitState::SimWasClosed:
            return "SIM WAS CLOSED";
        case ExitState::NewFlight:
            return "NEW FLIGHT";
        case ExitState::NewSettings:
            return "NEW SETTINGS";
        case ExitState::UserClosedSim:
            return "USER CLOSED SIM";
        case ExitState::SimconnectError:
            return "SIMCONNECT ERROR";
        case ExitState::ReaderError:
            return "READER ERROR";
        case ExitState::SystemError:
            return "SYSTEM ERROR";
    }
    return "NOT YET SET";
}

int gf_restartDelaySeconds(ExitState state) {
    switch (state) {
        case ExitState::NewSettings:
            return 3;
        case ExitState::SimconnectError:
            return 9;
        case ExitState::ReaderError:
            return 15;
        default:
            return -1;
    }
}

int gf_programExitCode(ExitState state, bool errorShown) {
    if (state == ExitState::SystemError) return kExitSystemError;
    return errorShown ? kExitUserError : kExitNormal;
}

bool gf_stopRunWith(ExitState state) {
    std::lock_guard lock(g_exitMutex);
    bool first = g_exitStateValue == ExitState::NotYetSet;
    if (first) g_exitStateValue = state;
    g_stopRun = true;
    return first;
}

ExitState gf_exitState() {
    std::lock_guard lock(g_exitMutex);
    return g_exitStateValue;
}

void gf_resetRunControl() {
    std::lock_guard lock(g_exitMutex);
    g_exitStateValue = ExitState::NotYetSet;
    g_stopRun = false;
}
