// What a livery scan reports besides LiveriesScanned.xml: the lists the parse tasks fill, the
// corrections from the type database, and the report files under output/errors and
// output/info with their summary in Log.txt. Filled by the livery scan (aircraft/livery_scan.h);
// written on the run thread once its parse tasks have ended.
#pragma once
#include <mutex>
#include <string>
#include <vector>

// One report list: lines added by any parse task under the list's own lock; read and emptied
// by the run thread while no task runs.
class ReportList {
  public:
    void add(std::string line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
    }
    std::vector<std::string>& lines() { return lines_; }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

inline constexpr const char* g_invalidAirlinesFile = "output/errors/InvalidAirlineCodes.txt";
inline constexpr const char* g_invalidModelsFile = "output/errors/InvalidAircraftCodes.txt";
inline constexpr const char* g_fixesFile = "output/errors/Fixes.txt";
inline constexpr const char* g_invalidCfgFilesFile = "output/errors/InvalidAircraftCfgFiles.txt";
inline constexpr const char* g_incompleteSectionsFile = "output/errors/IncompleFltsimSections.txt";
inline constexpr const char* g_emptyCfgFilesFile = "output/info/AircraftCfgWithNoFltsimSection.txt";
inline constexpr const char* g_conversionsFile = "output/info/AirlineModelConversions.txt";

// The adders of the parse tasks; each line names the aircraft.cfg by its path text.
void lf_addEmptyCfgFile(const std::string& path);
void lf_addInvalidCfgFile(const std::string& path);
void lf_addIncompleteSection(const std::string& path);
// "{:12} in {} " of the code and the file.
void lf_addInvalidAirline(const std::string& code, const std::string& path);
// "{:16} in {}" of the code and the file.
void lf_addInvalidModel(const std::string& code, const std::string& path);
// A code fix, in arrival order.
void lf_addFixLine(std::string line);

// Start of a scan: the old report files and the errors folder go; the first failure is logged
// and ends the removal. LiveriesScanned.xml stays until the new one replaces it.
void lf_removeOldScanFiles();
// Airline, type and cargo flag of every scanned livery with a database record taken from the
// record; each change gives a line of AirlineModelConversions.txt.
void lf_applyDbaseCorrections();
// The report files and the "Errors:"/"Information:" summary in Log.txt.
void lf_writeScanReports();
// Fixes.txt from the code-fix lines.
void lf_writeFixesFile();
// Empties every report list, the conversion lines and the don't-use titles (scan start and end).
void lf_clearScannedLiveries();

extern ReportList g_emptyCfgFiles;
extern ReportList g_invalidCfgFiles;
extern ReportList g_incompleteSections;
extern ReportList g_invalidAirlines;
extern ReportList g_invalidModels;
extern ReportList g_fixLines;
// Lines of AirlineModelConversions.txt; run thread only.
extern std::vector<std::string> g_conversionLines;
