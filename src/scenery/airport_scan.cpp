#include "scenery/airport_scan.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <future>
#include <thread>

#include <fmt/format.h>

#include "airports/apf_file.h"
#include "airports/apf_lookup.h"
#include "airports/stock.h"
#include "core/display.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/log.h"
#include "core/params.h"
#include "core/params_file.h"
#include "core/paths.h"
#include "core/run_state.h"
#include "core/tasks.h"
#include "core/text.h"
#include "platform/sim_paths.h"
#include "platform/window_model.h"
#include "scenery/bgl_file.h"
#include "scenery/scan_messages.h"
#include "scenery/scenery_apf.h"
#include "scenery/scenery_cfg.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kScanMessageRoom = 2048;
constexpr int kFilesystemErrorCode = 5;
constexpr const char* kContactAddress = "airports@trelvo.net";

bool lf_stopping() { return g_stopRun || g_userClosing; }

TextParameter* const kFolderParameters[] = {&afolder0, &afolder1, &afolder2, &afolder3, &afolder4,
                                            &afolder5, &afolder6, &afolder7, &afolder8, &afolder9};

std::string lf_lowerExtension(const fs::path& file) {
    std::string ext = file.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// A parking file the user made by hand stays wherever a scan cleans: in my_ORBX and
// my_thirdparty only what a scan wrote goes, in TBLO everything else.
bool lf_cleaned(const fs::path& file, bool scanFilesOnly) {
    const std::string ext = lf_lowerExtension(file);
    if (ext == ".xml" && gf_isHandmadeApf(file)) {
        if (!scanFilesOnly) gf_logLine(fmt::format("{} kept: hand-made", file.generic_string()));
        return false;
    }
    return !scanFilesOnly || ext == ".txt" || ext == ".part" || ext == ".xml";
}

// Creates the folder when missing, then removes the files of the last scan.
void lf_prepareScanFolder(const fs::path& folder, bool scanFilesOnly = true) {
    gf_logLine(fmt::format("Cleaning folder: {}", folder.string()));
    try {
        fs::create_directories(folder);
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file() && lf_cleaned(entry.path(), scanFilesOnly)) fs::remove(entry.path());
    } catch (const fs::filesystem_error& e) {
        throw qtk::UserErrorException(kFilesystemErrorCode, fmt::format("Filesystem error: {}", e.what()));
    }
}

void lf_prepareTblo() {
    try {
        if (!fs::exists(g_tbloFolderName)) {
            fs::create_directories(g_tbloFolderName);
            return;
        }
    } catch (const fs::filesystem_error& e) {
        throw qtk::UserErrorException(kFilesystemErrorCode, fmt::format("Filesystem error: {}", e.what()));
    }
    lf_prepareScanFolder(g_tbloFolderName, false);
}

std::vector<std::string> lf_scanFolderList() {
    if (!AFG_AUTOMATIC.value()) {
        std::vector<std::string> folders = lf_foldersFromParameters();
        if (folders.empty())
            throw qtk::UserErrorException(49, "Set afolder parameter(-s) to your add-on airports first, see Manual 6.1");
        return folders;
    }
    std::vector<std::string> folders;
    folders.reserve(10);
    lf_readSceneryCfg(folders);
    lf_readSceneryAddOns(folders);
    return folders;
}

// The tasks a folder walk started, oldest first. Every one is waited for before the walk ends.
class TaskQueue {
public:
    explicit TaskQueue(const std::string& folder) : folder_(folder) {}
    ~TaskQueue() { drain(); }

    void start(const fs::path& file, std::string pathText) {
        ++g_runningWorkers;
        try {
            tasks_.push_back(std::async(std::launch::async, [file, text = std::move(pathText)] { lf_processBGLfile(file, text); }));
        } catch (...) {
            gf_taskDone();
            throw;
        }
    }

    // Waits for the oldest task once more tasks are held than there are hardware threads.
    void throttle(const std::string& entryText) {
        if (tasks_.size() <= g_hardwareConcurrency.load()) return;
        try {
            lf_waitOldest();
        } catch (const std::exception& e) {
            gf_scanMessage(fmt::format("{} airports search aborted, futs inner, \n{}\n{}\n{}", "===> ", e.what(),
                                       tasks_.size(), entryText));
        }
    }

    void drain() {
        while (!tasks_.empty()) {
            try {
                lf_waitOldest();
            } catch (const std::exception& e) {
                gf_scanMessage(fmt::format("{} airports search in {} aborted, futs outer error: {}", "===> ", folder_, e.what()));
            }
        }
    }

private:
    void lf_waitOldest() {
        std::future<void> oldest = std::move(tasks_.front());
        tasks_.pop_front();
        oldest.get();
    }

    const std::string& folder_;
    std::deque<std::future<void>> tasks_;
};

bool lf_isSceneryFile(const fs::directory_entry& entry, const std::string& text) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".BGL" && ext != ".bgl") return false;
    if (text.find("statics") != std::string::npos || text.find("_heliports") != std::string::npos) return false;
    return entry.is_regular_file() && lf_bglHasAirport(entry.path());
}

// The entry's path as the simulator would write it: the folder's text, then backslashes.
std::string lf_entryText(const std::string& folder, const fs::path& root, const fs::path& entry) {
    std::string tail = entry.lexically_relative(root).generic_string();
    std::replace(tail.begin(), tail.end(), '/', '\\');
    return gf_joinSimPath(folder, tail);
}

// Looks at one entry; false when the walk is to stop.
bool lf_scanEntry(fs::recursive_directory_iterator& it, const std::string& folder, const fs::path& root, TaskQueue& tasks) {
    // A tree of many files ends at a stop request whatever its entries are.
    if (lf_stopping()) return false;
    const std::string text = lf_entryText(folder, root, it->path());
    if (gf_inStockAirportsPath(text)) {
        if (it->is_directory()) it.disable_recursion_pending();
        return true;
    }
    if (!lf_isSceneryFile(*it, text)) return true;
    gf_waitForTaskSlot();
    if (lf_stopping()) return false;
    tasks.start(it->path(), text);
    tasks.throttle(text);
    return true;
}

void lf_iteratorProblem(const std::string& folder, const std::error_code& ec) {
    gf_scanMessage(fmt::format("{} airports search in folder {} aborted because of iterator problem: {}", "===> ", folder,
                               ec.message()));
}

// Copies the scan's parking files that the site's stock files show fit for off-line learning
// into TBLO. After the first failed transfer no further airport is probed.
void lf_archiveApfs(const std::vector<std::string>& list, const fs::path& folder, bool orbx) {
    if (list.empty()) return;
    std::size_t done = 0;
    std::size_t unchecked = 0;
    for (const std::string& icao : list) {
        // A stock file the site does not hold makes the airport unfit; a failed transfer says
        // nothing about it.
        const StockCheck check = unchecked ? StockCheck::TransferFailed : gf_checkStockApfForLearning(icao);
        if (check == StockCheck::TransferFailed) {
            ++unchecked;
            continue;
        }
        if (check == StockCheck::Unsuitable) {
            ++done;
            continue;
        }
        const fs::path source = folder / gf_apfXmlPath(icao);
        const fs::path target = fs::path(g_tbloFolderName) / gf_apfXmlPath(icao);
        if (!fs::copy_file(source, target, fs::copy_options::overwrite_existing)) {
            gf_logWarning(orbx ? fmt::format("failed to copy {}", source.string())
                               : fmt::format("'{}' failed to copy '{}'", source.string(), target.string()));
            continue;
        }
        ++done;
        gf_logLine(fmt::format("{} copied to {}", icao, target.string()));
        if (fs::exists(folder / gf_apfTxtPath(icao))) fs::remove(source);
    }
    if (unchecked)
        gf_logWarning(fmt::format("{} airport{} not checked for off line learning: the download site failed", unchecked,
                                  gf_plural(static_cast<long long>(unchecked))));
    const auto count = static_cast<int>(gf_countFiles(g_tbloFolderName));
    gf_editStats([&](WindowStats& s) {
        if (orbx) s.orbxAirportsDone = done == list.size() ? 1 : 0;
        s.tbloFileCount = count;
    }, Region::Airports);
    if (count != 0) {
        gf_logWarning(fmt::format("\nzip folder '{}', and mail to {}", g_tbloFolderName, kContactAddress));
    } else if (!unchecked) {
        gf_logLine(orbx ? "All your ORBX airports are done, no off line learning needed."
                        : "All your third party airports are done, no off line learning needed.");
        if (!orbx) fs::remove_all(g_tbloFolderName);
    }
}

void lf_scanFolder(const std::string& folder) {
    if (folder.empty()) return;
    const fs::path host = gf_hostPath(folder);
    const fs::file_status status = fs::status(host);
    if (!fs::exists(status)) {
        gf_showMessage(folder + " does not exist, skipped!", true);
    } else if (!fs::is_directory(status)) {
        gf_showMessage(folder + " is not a folder name, skipped!", true);
    } else if (!gf_inStockAirportsPath(folder)) {
        lf_scanFolderTree(folder);
    }
}

// The parking files of the folder that the copy step may take to TBLO: hand-made ones stay
// where they are, each with the scan message "{ICAO}.xml kept: hand-made".
std::vector<std::string> lf_scanMadeApfs(const fs::path& folder) {
    std::vector<std::string> names = gf_listXmlFiles(folder);
    std::erase_if(names, [&folder](const std::string& icao) {
        if (!gf_isHandmadeApf(folder / gf_apfXmlPath(icao))) return false;
        gf_scanMessage(fmt::format("{} kept: hand-made", gf_apfXmlPath(icao)));
        return true;
    });
    return names;
}

void lf_writeScanLog() {
    const std::vector<std::string> messages = gf_takeScanMessages();
    if (gf_writeTextFile(messages, kAirportsScanLog))
        gf_logLine(fmt::format("{} written", kAirportsScanLog));
    else
        gf_logWarning(fmt::format("{} could not be written", kAirportsScanLog));
}

// Generated files carry "P3D" and are never marked hand-made, whatever park airport was read
// last; the run thread sets both before any task starts and restores the flag afterwards.
struct ScanWriterState {
    bool handmade = g_apfHandmade;
    ScanWriterState() {
        g_simulatorName = "P3D";
        g_apfHandmade = false;
    }
    ~ScanWriterState() { g_apfHandmade = handmade; }
};

}  // namespace

std::vector<std::string> lf_foldersFromParameters() {
    std::vector<std::string> folders;
    for (TextParameter* p : kFolderParameters) {
        std::string value = p->value();
        if (value.empty()) continue;
        if (gf_inStockAirportsPath(value))
            throw qtk::UserErrorException(42, fmt::format("parameter {} points to stock airports instead of add-on airports!", p->name()));
        gf_logLine(fmt::format("From parameter {}: {}", p->name(), value));
        folders.push_back(std::move(value));
    }
    return folders;
}

void lf_scanFolderTree(const std::string& folder) {
    gf_scanMessage("Scanning for addon airports in " + folder);
    const fs::path root = gf_hostPath(folder);
    TaskQueue tasks(folder);
    std::error_code ec;
    fs::recursive_directory_iterator it(root, ec);
    if (ec) return lf_iteratorProblem(folder, ec);
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        try {
            if (!lf_scanEntry(it, folder, root, tasks)) break;
        } catch (const std::exception& e) {
            gf_scanMessage(fmt::format("{} airports search in folder {} aborted, cause: {}", "===> ", folder, e.what()));
        }
    }
    if (ec) lf_iteratorProblem(folder, ec);
    tasks.drain();
}

bool lf_scanFolders(const std::vector<std::string>& folders) {
    gf_logLine(fmt::format("The scan will search {} folder{}", folders.size(), gf_plural(static_cast<long long>(folders.size()))));
    std::error_code ec;
    fs::remove(kAirportsScanLog, ec);
    if (ec) gf_logLine("problems with removing previous files (maybe still open?): " + ec.message());
    gf_editStats([](WindowStats& s) { s.tbloFileCount = 0; }, Region::Airports);
    gf_takeScanMessages(kScanMessageRoom);
    for (const std::string& folder : folders) {
        if (lf_stopping()) break;
        lf_scanFolder(folder);
    }
    const std::vector<std::string> thirdparty = lf_scanMadeApfs(g_myThirdpartyFolder);
    const std::vector<std::string> orbx = lf_scanMadeApfs(g_myOrbxFolder);
    lf_writeScanLog();
    gf_clearMessage();
    gf_editStats([&](WindowStats& s) { s.orbxAirportsDone = orbx.empty() ? 1 : 0; }, Region::Airports);
    if (!lf_stopping()) {
        lf_archiveApfs(orbx, g_myOrbxFolder, true);
        lf_archiveApfs(thirdparty, g_myThirdpartyFolder, false);
    }
    if (g_airportFilesChanged) gf_logLine("Airports scan successful");
    return g_airportFilesChanged;
}

void gf_scanAddonAirports() {
    gf_showMessage("Scanning for addon airports ...", false);
    gf_logLine(fmt::format("\n++++++++++++++++++++++++ airports scan {} starts +++++++++++++++++++++++++++++",
                           AFG_AUTOMATIC.value() ? "automatic " : "manual "));
    if (g_stockAirportsPath.empty()) gf_logLine("The stock airports folder is not known: no folder counts as stock airports");
    lf_prepareTblo();
    const std::vector<std::string> folders = lf_scanFolderList();
    lf_prepareScanFolder(g_myOrbxFolder);
    lf_prepareScanFolder(g_myThirdpartyFolder);
    g_airportFilesChanged = false;
    bool found = false;
    {
        ScanWriterState writerState;
        found = lf_scanFolders(folders);
    }
    if (lf_stopping()) {
        gf_logWarning("Airports scan stopped before its end: SCAN_AIRPORTS stays set");
    } else {
        if (!found) gf_showMessage("Warning: Scan has not found any add-on airports", true);
        SCAN_AIRPORTS.set(false);
        gf_saveParameter(SCAN_AIRPORTS);
        gf_setChecked(SCAN_AIRPORTS.controlId(), false);
    }
    gf_repaint(Region::Status);
    std::error_code ec;
    if (gf_countFiles(g_tbloFolderName) == 0) fs::remove_all(g_tbloFolderName, ec);
    gf_repaint(Region::Status);
    gf_logLine("-------------------------- airports scan ends    ----------------------------\n");
}
