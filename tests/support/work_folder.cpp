#include "support/work_folder.h"

#include "support/http_server.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "aircraft/type_database.h"
#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "airports/apf_read.h"
#include "airports/stand.h"
#include "airports/stock.h"
#include "airports/stand_options.h"
#include "aircraft/liveries_scanned.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/params.h"
#include "core/random.h"
#include "core/paths.h"
#include "core/run_state.h"
#include "core/slots.h"
#include "core/tasks.h"
#include "feed/traffic_reader.h"
#include "live/air_motion.h"
#include "live/ground_motion.h"
#include "live/intake.h"
#include "live/parking_slots.h"
#include "live/stand_choice.h"
#include "live/tick.h"
#include "scenery/scan_messages.h"
#include "scenery/scenery_apf.h"
#include "shell/run_thread.h"
#include "sim/sim_state.h"
#include "sim/sim_thread.h"

namespace fs = std::filesystem;

void tst_resetAll() {
    gf_closeLog();
    gf_setLogCapture(false);
    gf_resetParameters();
    gf_resetClocks();
    gf_resetRunControl();
    g_userClosing = false;
    gf_resetPaths();
    gf_resetSimState();
    gf_resetSlots();
    gf_resetRandom();
    gf_resetTasks();
    gf_resetLiveryState();
    // The site's worker ends before the address it may still be using changes.
    gf_resetSiteCache();
    // No test reaches the real site: tests that need one point it at their own server.
    setenv("TRELVO_DOWNLOAD_BASE", ("http://127.0.0.1:" + std::to_string(tst_deadLocalPort()) + "/").c_str(), 1);
    gf_resetTypeDatabase();
    gf_resetFeedProcess();
    gf_resetSimLinkAll();
    gf_resetShell();
    gf_resetIntakeProcess();
    gf_resetLiveTrafficProcess();
    gf_resetStands();
    gf_resetParkFile();
    gf_resetStandOptions();
    gf_resetParkingSlotsProcess();
    gf_resetAirMotionProcess();
    gf_resetStandChoice();
    gf_resetAirports();
    gf_resetParkingForNewFlight();
    gf_resetGroundMotion();
    gf_resetScanMessages();
    gf_resetSceneryApf();
}

void tst_writeFile(const fs::path& path, std::string_view content) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string tst_readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path tst_sourceDir() { return TRELVO_SOURCE_DIR; }

void WorkFolderTest::SetUp() {
    previous_ = fs::current_path();
    std::string tmpl = (fs::temp_directory_path() / "trelvo-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    folder_ = tmpl;
    fs::current_path(folder_);
    tst_resetAll();
}

void WorkFolderTest::TearDown() {
    tst_resetAll();
    fs::current_path(previous_);
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

void LoggedTest::SetUp() {
    WorkFolderTest::SetUp();
    gf_setLogCapture(true);
}
