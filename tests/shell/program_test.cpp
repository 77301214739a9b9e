#include "shell/program.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include <fmt/format.h>

#include "core/atomic_file.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "core/run_state.h"
#include "live/static_calls.h"
#include "platform/single_instance.h"
#include "shell/ui_loop.h"
#include "static/live_parked.h"
#include "static/static_place.h"
#include "shell_fixture.h"

namespace fs = std::filesystem;

namespace {

// The whole program in the test's folder: what the console shows and the exit code.
class ProgramTest : public ShellRunTest {
  protected:
    void SetUp() override {
        ShellRunTest::SetUp();
        setenv("TRELVO_APPDATA", (folder_ / "appdata").c_str(), 1);
        tst_writeFile("scenario.json", kShortScenario);
    }
    int run(std::string& console) {
        testing::internal::CaptureStdout();
        int code = gf_runProgram();
        console = testing::internal::GetCapturedStdout();
        return code;
    }
    fs::path lockFile() const { return folder_ / "appdata" / "Trelvo" / g_instanceLockFile; }
};

// Each failure that ends the program or loses data is on the console, with an exit code that
// is not 0; a program that only lost its log runs on and ends normally.
TEST_F(ProgramTest, FailuresReachTheConsoleAndTheExitCode) {
    const std::string settings = "<parameters><parameter name=\"RANGE\" value=\"12\"/>"
                                 "<parameter name=\"SCAN_LIVERIES\" value=\"false\"/></parameters>";
    struct Row {
        const char* what;
        void (*arrange)();
        int code;
        const char* line;  // on the console; {} is the run folder
    };
    const Row rows[] = {
        {"log cannot be opened", [] { fs::create_directory("Log.txt"); }, kExitNormal,
         "Warning: cannot write Log.txt in {}: Is a directory; the program runs without a log\n"},
        {"disk full at the closing save",
         [] {
             gf_setFileSync([](int) {
                 errno = ENOSPC;
                 return -1;
             });
         },
         kExitUserError,
         "Error: settings not saved. Could not write parameters.xml: No space left on device; the file keeps "
         "its previous content\n"},
        {"scenario value out of range", [] { tst_writeFile("scenario.json", R"({"run_length_s": -5})"); },
         kExitUserError,
         "Error 99: Cannot read scenario.json: scenario.json: run_length_s: must be between 0 and 864000\n"},
        {"folder in the way", [] { tst_writeFile("airports", "x"); }, kExitUserError,
         "Error 5: Cannot create the folder airports in the run folder: Not a directory\n"},
        {"type database missing", [] { fs::remove("input/dbase.enc"); }, kExitUserError,
         "Error 99: input/dbase.enc: cannot be read: No such file or directory\n"},
        {"type database damaged",
         [] {
             std::string bytes = tst_readFile("input/dbase.enc");
             bytes[30] ^= 1;
             tst_writeFile("input/dbase.enc", bytes);
         },
         kExitUserError, "Error 99: input/dbase.enc: cannot be decrypted: corrupted chunk at offset 24\n"},
        {"disk full under the plain type database",
         [] { fs::create_symlink("/dev/full", "input/dbase.xml"); }, kExitUserError,
         "Error 99: input/dbase.enc: cannot be decrypted into input/dbase.xml: No space left on device\n"},
        {"airport list missing", [] { fs::remove("input/airports.enc"); }, kExitUserError,
         "Error 88: input/airports.enc: cannot be read: No such file or directory\n"},
        {"airport list damaged", [] { tst_writeFile("input/airports.enc", "not an encrypted stream"); },
         kExitUserError, "Error 88: input/airports.enc: cannot be decrypted: truncated header\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path runFolder = folder_ / row.what;
        fs::create_directory(runFolder);
        fs::current_path(runFolder);
        tst_resetAll();
        gf_setFileSync(nullptr);
        ShellRunTest::arrangeInputs();
        tst_writeFile("scenario.json", kShortScenario);
        tst_writeFile("parameters.xml", settings);
        row.arrange();
        std::string console;
        EXPECT_EQ(run(console), row.code);
        EXPECT_NE(console.find(fmt::format(fmt::runtime(row.line), runFolder.string())), std::string::npos)
            << console;
        EXPECT_FALSE(fs::exists("parameters.xml.tmp"));
        EXPECT_FALSE(fs::exists(fs::symlink_status("input/dbase.xml")))
            << "the plain type database is removed";
        EXPECT_FALSE(fs::exists("input/airports.xml")) << "the plain airport list is removed";
        // Whatever went wrong, the user's settings are still there.
        EXPECT_NE(tst_readFile("parameters.xml").find(R"(name="RANGE" value="12")"), std::string::npos);
    }
    fs::current_path(folder_);
}

TEST_F(ProgramTest, SecondCopySaysThatOneIsRunning) {
    fs::create_directories(lockFile().parent_path());
    auto first = std::make_unique<SingleInstanceLock>();
    ASSERT_TRUE(first->acquire(lockFile()));
    std::string console;
    EXPECT_EQ(run(console), kExitAlreadyRunning);
    EXPECT_EQ(console, fmt::format("Trelvo is already running (another copy holds {}); this copy ends\n",
                                   lockFile().string()));
    first.reset();  // let go
    EXPECT_TRUE(SingleInstanceLock().acquire(lockFile()));
}

// Live traffic reaches static parking only through the calls the program installs at start-up.
TEST_F(ProgramTest, StartUpConnectsLiveTrafficToStaticParking) {
    tst_writeFile("parameters.xml",
                  "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\"/></parameters>");
    g_staticParkingCalls = {};
    std::string console;
    EXPECT_EQ(run(console), kExitNormal) << console;
    EXPECT_NE(g_staticParkingCalls.placePlanned, nullptr);
    EXPECT_EQ(g_staticParkingCalls.dropPlannedOnStand, &gf_dropPlannedOnStand);
    EXPECT_EQ(g_staticParkingCalls.flushStatic, &gf_flushStatic);
    EXPECT_FALSE(gf_logIsOpen()) << "the log is closed as the program ends";
    EXPECT_NE(tst_readFile("Log.txt").find("Exiting: SIM WAS CLOSED\n"), std::string::npos);
}

// An unexpected error ends the program as SYSTEM ERROR: shown with its text, exit code 1.
TEST_F(ProgramTest, SystemErrorIsShownAndFails) {
    gf_setRunRequestHandler(RunRequest::NewLiveryScan, [] { throw std::runtime_error("disk on fire"); });
    gf_postRunRequest(RunRequest::NewLiveryScan);
    testing::internal::CaptureStdout();
    EXPECT_EQ(gf_runUiLoop(), kExitSystemError);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "SYSTEM ERROR: disk on fire\n");
}

TEST_F(ShellRunTest, ClosingTheWindowDuringARunClosesDownInOrder) {
    // The previous run ended just now: the run holds in its wait after it, so the close
    // arrives while it runs.
    tst_writeFile("parameters.xml",
                  "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\" />"
                  "<parameter name=\"LAST_EPOCH_TIME\" value=\"1709647629\" /></parameters>");
    std::thread user([] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        // The run holds in that wait once the start-up and the scans are done.
        while (gf_capturedLog().find("airports scan ends") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        g_windowCloseAsked = true;
    });
    EXPECT_EQ(gf_runUiLoop(), 0);
    user.join();
    EXPECT_EQ(gf_capturedLog(),
              std::string(kStartUpLog) + kAirportScanLog + kParkAirportsLog + "Exiting: USER CLOSED SIM\n");
    EXPECT_TRUE(g_userClosing);
    EXPECT_DOUBLE_EQ(LAST_EPOCH_TIME.value(), static_cast<double>(gf_epochSeconds(kShellNow)));
}

}  // namespace
