#include "shell/program.h"

#include <filesystem>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "aircraft/liveries_scanned.h"
#include "core/display.h"
#include "core/files.h"
#include "core/log.h"
#include "core/run_requests.h"
#include "core/run_state.h"
#include "platform/known_folders.h"
#include "platform/single_instance.h"
#include "shell/ui_loop.h"

int gf_runProgram() {
    std::filesystem::path userData = gf_platformAppDataFolder() / "Trelvo";
    std::error_code ec;
    std::filesystem::create_directories(userData, ec);
    SingleInstanceLock instance;
    const std::filesystem::path lockFile = userData / g_instanceLockFile;
    if (!instance.acquire(lockFile)) {
        if (instance.heldElsewhere()) {
            gf_showError(fmt::format("Trelvo is already running (another copy holds {}); this copy ends",
                                     lockFile.string()));
        } else {
            gf_showError(fmt::format("Error: cannot open {}: {}", lockFile.string(), instance.failure()));
        }
        gf_showWindowOnConsole();
        return instance.heldElsewhere() ? kExitAlreadyRunning : kExitUserError;
    }
    // A rescan asked for in the window empties the livery tables at the next start-up.
    gf_setRunRequestHandler(RunRequest::NewLiveryScan, gf_clearLiveryTablesForRescan);
    std::string whyNoLog;
    if (!gf_openLog("Trelvo", TRELVO_VERSION, "P3D v" + gf_simVersionFromPath(), &whyNoLog))
        gf_showMessage(fmt::format("Warning: cannot write Log.txt in {}: {}; the program runs without a log",
                                   std::filesystem::current_path(ec).string(), whyNoLog),
                       false);
    int code = gf_runUiLoop();
    gf_closeLog();
    return code;
}
