#include "aircraft/scan_reports.h"

#include <algorithm>
#include <filesystem>

#include <fmt/format.h>

#include "aircraft/liveries_scanned.h"
#include "aircraft/regcodes.h"
#include "aircraft/type_database.h"
#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/text.h"

namespace fs = std::filesystem;

ReportList g_emptyCfgFiles;
ReportList g_invalidCfgFiles;
ReportList g_incompleteSections;
ReportList g_invalidAirlines;
ReportList g_invalidModels;
ReportList g_fixLines;
std::vector<std::string> g_conversionLines;

namespace {

std::string lf_fullPath(const char* file) { return fs::absolute(file).string(); }

std::string lf_flagText(bool flag) { return flag ? "true" : "false"; }

// Writes the file and logs its count line, and a warning when it could not be written.
void lf_writeReport(const std::vector<std::string>& lines, const char* file, const std::string& countLine) {
    const bool written = gf_writeTextFile(lines, file);
    gf_logLine(countLine);
    if (!written) gf_logWarning(fmt::format("Could not write {}", lf_fullPath(file)));
}

// The errors folder, one level, before an errors file; a failure ends the scan.
void lf_makeErrorsFolder() {
    if (!fs::exists(g_outputErrorsFolder)) fs::create_directory(g_outputErrorsFolder);
}

void lf_sort(std::vector<std::string>& lines) { std::sort(lines.begin(), lines.end()); }

// One sorted error report: its count line reads "{count} {what}{plural ending}, see {file}".
struct ErrorReport {
    ReportList& list;
    const char* file;
    const char* what;
    bool pluralEnding;
    bool unique;  // equal lines once in the file, counted all in the count line
};

void lf_writeErrorReport(const ErrorReport& report) {
    std::vector<std::string>& lines = report.list.lines();
    if (lines.empty()) return;
    const std::size_t count = lines.size();
    lf_sort(lines);
    if (report.unique) lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    lf_makeErrorsFolder();
    const std::string ending = report.pluralEnding ? gf_plural(static_cast<long long>(count)) : "";
    lf_writeReport(lines, report.file,
                   fmt::format("{} {}{}, see {}", count, report.what, ending, lf_fullPath(report.file)));
}

void lf_writeErrorFiles() {
    lf_writeErrorReport({g_invalidAirlines, g_invalidAirlinesFile, "invalid airline code", true, false});
    lf_writeErrorReport({g_invalidModels, g_invalidModelsFile, "invalid model code", true, false});
    if (!g_fixLines.lines().empty()) {
        lf_writeFixesFile();
        gf_logLine(fmt::format("{} code fixes, see {}", g_fixLines.lines().size(), lf_fullPath(g_fixesFile)));
    }
    lf_writeErrorReport({g_invalidCfgFiles, g_invalidCfgFilesFile, "invalid aircraft.cfg files", false, false});
    lf_writeErrorReport({g_incompleteSections, g_incompleteSectionsFile, "incomplete [fltsim.x] sections", false, true});
}

}  // namespace

void lf_addEmptyCfgFile(const std::string& path) { g_emptyCfgFiles.add(path); }
void lf_addInvalidCfgFile(const std::string& path) { g_invalidCfgFiles.add(path); }
void lf_addIncompleteSection(const std::string& path) { g_incompleteSections.add(path); }
void lf_addInvalidAirline(const std::string& code, const std::string& path) {
    g_invalidAirlines.add(fmt::format("{:12} in {} ", code, path));
}
void lf_addInvalidModel(const std::string& code, const std::string& path) {
    g_invalidModels.add(fmt::format("{:16} in {}", code, path));
}
void lf_addFixLine(std::string line) { g_fixLines.add(std::move(line)); }

void lf_removeOldScanFiles() {
    const fs::path errors = g_outputErrorsFolder;
    const fs::path files[] = {g_emptyCfgFilesFile,    g_inlineRegcodesFile,   g_invalidAirlinesFile,
                              g_invalidModelsFile,    g_fixesFile,            g_invalidCfgFilesFile,
                              g_incompleteSectionsFile, errors};
    try {
        for (const fs::path& file : files) fs::remove(file);
    } catch (const fs::filesystem_error& e) {
        gf_logLine(fmt::format("problems with removing previous files: {}", e.what()));
    }
}

void lf_applyDbaseCorrections() {
    for (LiveryData& livery : g_scannedLiveries) {
        if (livery.registration.empty()) continue;
        const std::optional<DbRecord> record = gf_findDbRecord(livery.registration);
        if (!record) continue;
        if (record->cargo != livery.cargo) {
            g_conversionLines.push_back(fmt::format("{:80} {} cargo {} => {}", livery.title, livery.registration,
                                                    lf_flagText(livery.cargo), lf_flagText(record->cargo)));
            livery.cargo = record->cargo;
        }
        const std::string& airline = record->opr.empty() ? record->airl : record->opr;
        if (livery.airline != airline) {
            g_conversionLines.push_back(
                fmt::format("{:80} {} airl {} => {}", livery.title, livery.registration, livery.airline, airline));
            livery.airline = airline;
        }
        // A record without a type says nothing about the livery's type.
        if (!record->type.empty() && livery.type != record->type) {
            g_conversionLines.push_back(
                fmt::format("{:80} {} model {} => {}", livery.title, livery.registration, livery.type, record->type));
            livery.type = record->type;
        }
    }
}

void lf_writeFixesFile() {
    // The writer makes the errors folder with every missing parent.
    if (const std::optional<std::string> why = gf_replaceTextFile(g_fixLines.lines(), g_fixesFile))
        gf_logLine(fmt::format("Error writing file {}: {}", lf_fullPath(g_fixesFile), *why));
}

void lf_writeScanReports() {
    const bool anyError = !g_invalidAirlines.lines().empty() || !g_invalidModels.lines().empty() ||
                          !g_fixLines.lines().empty() || !g_invalidCfgFiles.lines().empty() ||
                          !g_incompleteSections.lines().empty();
    gf_logLine(anyError ? "\nErrors:" : "\nNo errors");
    lf_writeErrorFiles();
    gf_logLine("\nInformation:");
    if (auto& lines = g_emptyCfgFiles.lines(); !lines.empty()) {
        lf_sort(lines);
        lf_writeReport(lines, g_emptyCfgFilesFile,
                       fmt::format("{} empty aircraft.cfg files, see {}", lines.size(),
                                   lf_fullPath(g_emptyCfgFilesFile)));
    }
    if (!g_conversionLines.empty())
        lf_writeReport(g_conversionLines, g_conversionsFile,
                       fmt::format("{} liveries updated with real live data from dbase, see {}",
                                   g_conversionLines.size(), lf_fullPath(g_conversionsFile)));
}

void lf_clearScannedLiveries() {
    for (ReportList* list : {&g_emptyCfgFiles, &g_invalidCfgFiles, &g_incompleteSections, &g_invalidAirlines,
                             &g_invalidModels, &g_fixLines})
        list->clear();
    g_conversionLines.clear();
    g_dontUseTitles.clear();
}
