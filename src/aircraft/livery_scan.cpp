#include "aircraft/livery_scan.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include <fmt/format.h>

#include "aircraft/addon_discovery.h"
#include "aircraft/aircraft_cfg.h"
#include "aircraft/liveries_scanned.h"
#include "aircraft/regcodes.h"
#include "aircraft/scan_reports.h"
#include "core/charset.h"
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

namespace fs = std::filesystem;

namespace {

constexpr int kMaxFolderNumber = 10;

bool lf_stopping() { return g_stopRun || g_userClosing; }

bool lf_isAircraftCfgName(const std::string& name) {
    constexpr std::string_view kName = "aircraft.cfg";
    return name.size() == kName.size() && std::equal(name.begin(), name.end(), kName.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
           });
}

// The aircraft.cfg files of one folder: where they lie and their path texts as the folder
// text continued, which name them in the reports and order them.
struct FolderScan {
    std::vector<std::pair<std::string, fs::path>> files;  // sorted by path text
    std::vector<std::vector<LiveryData>> found;           // per file, written by its task only
    std::atomic<std::size_t> next{0};                     // the next file a task takes
};

// The walk builds every file's path by appending to the root's, so the root is its prefix.
std::string lf_pathText(const std::string& folder, const fs::path& root, const fs::path& file) {
    std::size_t cut = std::min(file.native().size(), root.native().size());
    if (cut < file.native().size() && file.native()[cut] == '/') ++cut;
    std::string tail = file.native().substr(cut);
    std::replace(tail.begin(), tail.end(), '/', '\\');
    return gf_joinSimPath(folder, tail);
}

// Walks the folder tree without following directory links; unreadable folders are passed over.
void lf_findCfgFiles(const std::string& folder, FolderScan& scan) {
    const fs::path root = gf_hostPath(folder);
    std::vector<fs::path> pending{root};
    while (!pending.empty() && !lf_stopping()) {
        const fs::path dir = std::move(pending.back());
        pending.pop_back();
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            // The entry's type comes with the folder listing: no status call per entry.
            std::error_code typeError;
            const bool link = it->is_symlink(typeError);
            if (!link && it->is_directory(typeError)) pending.push_back(it->path());
            else if (!typeError && lf_isAircraftCfgName(it->path().filename().string()))
                scan.files.emplace_back(lf_pathText(folder, root, it->path()), it->path());
        }
    }
    std::sort(scan.files.begin(), scan.files.end());
    scan.found.resize(scan.files.size());
}

void lf_parseFile(const std::string& text, const fs::path& file, std::vector<LiveryData>& liveries) {
    std::string bytes;
    if (!gf_readFileBytes(file, bytes)) return lf_addInvalidCfgFile(text);
    CfgFindings findings = gf_parseAircraftCfg(gf_decodeToUtf8(bytes));
    if (findings.invalid) return lf_addInvalidCfgFile(text);
    if (findings.noFltsimSection) lf_addEmptyCfgFile(text);
    for (int i = 0; i < findings.incompleteSections; ++i) lf_addIncompleteSection(text);
    for (const std::string& code : findings.invalidAirlines) lf_addInvalidAirline(code, text);
    for (const std::string& code : findings.invalidModels) lf_addInvalidModel(code, text);
    for (const std::string& fix : findings.fixes) lf_addFixLine(fmt::format("{} in {}", fix, text));
    liveries = std::move(findings.liveries);
}

// One parse task: takes files until none is left or the run stops. A file whose parse fails is
// recorded as invalid and the task goes on; the task's slot is given back as it ends.
void lf_parseTask(FolderScan& scan) {
    for (std::size_t i = scan.next++; i < scan.files.size() && !lf_stopping(); i = scan.next++) {
        const auto& [text, file] = scan.files[i];
        try {
            lf_parseFile(text, file, scan.found[i]);
        } catch (const std::exception& e) {
            scan.found[i].clear();
            lf_addInvalidCfgFile(text);
            gf_logLine(fmt::format("lf_parseTask exception: {} in {}", e.what(), text));
        }
    }
    gf_taskDone();
}

// The folder's liveries in file order; a title met before in this folder is passed over.
void lf_keepFolderLiveries(int folderNumber, FolderScan& scan) {
    std::unordered_set<std::string_view> titlesSeen;
    for (std::vector<LiveryData>& liveries : scan.found)
        for (LiveryData& livery : liveries) {
            if (titlesSeen.contains(livery.title)) continue;
            livery.folderNumber = folderNumber;
            g_scannedLiveries.push_back(std::move(livery));
            titlesSeen.insert(g_scannedLiveries.back().title);  // list nodes stay where they are
        }
}

void lf_runParseTasks(FolderScan& scan) {
    std::vector<std::thread> tasks;
    const std::size_t wanted = std::min<std::size_t>(scan.files.size(), g_hardwareConcurrency.load());
    while (tasks.size() < wanted) {
        gf_waitForTaskSlot();
        if (lf_stopping()) break;
        ++g_runningWorkers;
        try {
            tasks.emplace_back(lf_parseTask, std::ref(scan));
        } catch (const std::system_error& e) {
            gf_taskDone();
            gf_logLine(fmt::format("lf_scanLiveryFolder exception: {}", e.what()));
            break;
        }
    }
    // Without a thread of its own the folder is parsed here, one file after another.
    if (tasks.empty() && wanted > 0 && !lf_stopping()) {
        ++g_runningWorkers;
        lf_parseTask(scan);
    }
    for (std::thread& task : tasks) task.join();
}

bool lf_liveryOrder(const LiveryData& a, const LiveryData& b) {
    return std::tie(a.airline, a.type, a.title, a.registration, a.cargo) <
           std::tie(b.airline, b.type, b.title, b.registration, b.cargo);
}

// For each airline and type only the liveries of the lowest folder number that has the pair.
void lf_keepLowestFolders() {
    std::unordered_map<LiveryKey, int, LiveryKeyHash> lowest;
    for (const LiveryData& l : g_scannedLiveries) {
        const auto [it, inserted] = lowest.try_emplace({l.airline, l.type}, l.folderNumber);
        if (!inserted) it->second = std::min(it->second, l.folderNumber);
    }
    g_scannedLiveries.remove_if(
        [&lowest](const LiveryData& l) { return l.folderNumber > lowest.at({l.airline, l.type}); });
}

// The entry is an existing folder; otherwise its log line says why it is skipped.
bool lf_isFolder(const std::string& entry) {
    const fs::path host = gf_hostPath(entry);
    std::error_code ec;
    const fs::file_status status = fs::status(host, ec);
    if (ec && status.type() != fs::file_type::not_found) throw fs::filesystem_error("exists", host, ec);
    if (!fs::exists(status)) {
        gf_logLine(fmt::format("{} does not exist, skipped!", entry));
        return false;
    }
    if (!fs::is_directory(status)) {
        gf_logLine(fmt::format("{} is not a folder name, skipped!", entry));
        return false;
    }
    return true;
}

void lf_postProcess(std::size_t folderCount, std::size_t total) {
    if (folderCount > 1) gf_logLine(fmt::format("{} in total", total));
    lf_applyDbaseCorrections();
    if (LIG_PRIORITIZE.value()) lf_keepLowestFolders();
    g_scannedLiveries.sort(lf_liveryOrder);
    g_scannedLiveries.unique(lf_sameLivery);
    if (!lf_writeLiveriesScanned())
        throw fs::filesystem_error("lf_writeLiveriesScanned", fs::path(g_liveriesScannedFile),
                                   std::make_error_code(std::errc::io_error));
    g_scannedLiveries.clear();
    lf_writeScanReports();
    lf_clearScannedLiveries();
}

// Every list of a scan is emptied on the way out, whichever way that is.
struct ScanListsGuard {
    ScanListsGuard() = default;
    ~ScanListsGuard() {
        lf_clearScannedLiveries();
        g_scannedLiveries.clear();
    }
    ScanListsGuard(const ScanListsGuard&) = delete;
    ScanListsGuard& operator=(const ScanListsGuard&) = delete;
};

std::vector<std::string> lf_manualFolders() {
    std::vector<std::string> folders;
    folders.reserve(kMaxFolderNumber);
    for (const TextParameter* p : gf_liveryFolderParams())
        if (!p->value().empty()) folders.push_back(p->value());
    return folders;
}

ScanOutcome lf_scan() {
    const ScanListsGuard guard;
    const bool automatic = LIG_AUTOMATIC.value();
    g_simulatorName = "P3D";
    gf_showMessage(fmt::format("Scanning {} for liveries ...",
                               LIG_PRIORITIZE.value() && !automatic ? "prioritized " : ""),
                   false);
    gf_logLine(fmt::format("\n++++++++++++++++++++++++ liveries scan {} starts ++++++++++++++++++++++++++++++++",
                           automatic ? "automatic" : "manual"));
    std::vector<std::string> folders;
    if (automatic) {
        folders.reserve(kMaxFolderNumber);
        lf_readP3DAddOnsAircraft(folders);
        lf_readSimObjectsCfg(folders);
    } else {
        folders = lf_manualFolders();
        if (folders.empty())
            throw qtk::UserErrorException(
                48, "Set lfolder parameter(-s) to your liveries first, see Manual 5.1 (or check Liveries automatic)");
    }
    const ScanOutcome outcome = lf_scanLiveryFolders(folders);
    if (outcome == ScanOutcome::NoLiveries) {
        if (!automatic) throw qtk::UserErrorException(53, "no liveries found");
        throw qtk::UserErrorException(43, "Automatic scan has not found any liveries, switch off automatic and set "
                                          "lfolder parameter(-s), Manual 5.1");
    }
    return outcome;
}

}  // namespace

bool lf_sameLivery(const LiveryData& a, const LiveryData& b) {
    return a.title == b.title && a.airline == b.airline && a.type == b.type && a.registration == b.registration &&
           a.cargo == b.cargo;
}

void lf_scanLiveryFolder(int folderNumber, const std::string& folder) {
    FolderScan scan;
    lf_findCfgFiles(folder, scan);
    lf_runParseTasks(scan);
    lf_keepFolderLiveries(folderNumber, scan);
}

ScanOutcome lf_scanLiveryFolders(const std::vector<std::string>& folders) {
    g_scannedLiveries.clear();
    lf_clearScannedLiveries();
    lf_removeOldScanFiles();
    lf_processRegcodeSources();
    int counter = 0;
    std::size_t total = 0;
    for (const std::string& entry : folders) {
        if (entry.empty() || !lf_isFolder(entry)) continue;
        counter = std::min(counter + 1, kMaxFolderNumber);
        if (lf_stopping()) continue;
        const std::size_t before = g_scannedLiveries.size();
        lf_scanLiveryFolder(counter, entry);
        const std::size_t n = g_scannedLiveries.size() - before;
        const std::string where = fmt::format("found in {}", entry);
        gf_logLine(n < 1 ? fmt::format("No liveries {}", where)
                         : fmt::format("{} liverie{} {}", n, gf_plural(static_cast<long long>(n)), where));
        total += n;
    }
    if (lf_stopping()) return ScanOutcome::Stopped;
    if (g_scannedLiveries.empty()) {
        gf_editStats([](WindowStats& stats) { stats.liveryCount = 0; });
        return ScanOutcome::NoLiveries;
    }
    lf_postProcess(folders.size(), total);
    gf_clearMessage();
    return ScanOutcome::Written;
}

void gf_scanLiveries() {
    if (SCAN_LIVERIES.value()) {
        if (lf_scan() == ScanOutcome::Stopped) {
            gf_logLine("liveries scan stopped: nothing written, the scan runs at the next start");
            gf_clearMessage();
            return;
        }
        SCAN_LIVERIES.set(false);
        gf_saveParameter(SCAN_LIVERIES);
        gf_setChecked(SCAN_LIVERIES.controlId(), false);
        gf_repaint(Region::Status);
        gf_logLine("\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n");
    }
    lf_processScannedLiveries();
}
