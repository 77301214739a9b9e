// The program's entry: Ctrl-C and termination requests close the window, then the program
// runs (shell/program.h) and its exit code is the process's.
#include <atomic>
#include <csignal>

#include "shell/program.h"
#include "shell/ui_loop.h"

namespace {

// Ctrl-C and a termination request are the user closing the window.
extern "C" void lf_onCloseSignal(int) {
    g_windowCloseAsked = true;
}

void lf_catchCloseSignals() {
    std::signal(SIGINT, lf_onCloseSignal);
    std::signal(SIGTERM, lf_onCloseSignal);
}

}  // namespace

int main() {
    static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");
    lf_catchCloseSignals();
    return gf_runProgram();
}
