// The program's entry: one copy at a time, Log.txt, the user data folder, then the UI loop
// that runs the program until it quits.
#include <csignal>
#include <filesystem>
#include <system_error>

#include "aircraft/liveries_scanned.h"
#include "core/files.h"
#include "core/log.h"
#include "platform/known_folders.h"
#include "platform/single_instance.h"
#include "shell/requests.h"
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
    std::filesystem::path userData = gf_platformAppDataFolder() / "Trelvo";
    std::error_code ec;
    std::filesystem::create_directories(userData, ec);
    SingleInstanceLock instance;
    if (!instance.acquire(userData / g_instanceLockFile)) return -1;
    static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");
    lf_catchCloseSignals();
    // A rescan asked for in the window empties the livery tables at the next start-up.
    gf_setRunRequestHandler(RunRequest::NewLiveryScan, gf_clearLiveryTablesForRescan);
    gf_openLog("Trelvo", TRELVO_VERSION, "P3D v" + gf_simVersionFromPath());
    int code = gf_runUiLoop();
    gf_closeLog();
    return code;
}
