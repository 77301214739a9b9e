// Transfers of parking files from the program's download site: the availability probe of an
// airport's stock file, the download of any site file, and the stock-file test of the airport
// scan. Every site path is fetched at most once per run: probes and downloads share one cache
// of what came back (or that nothing did). Run thread and scan tasks, each transfer on a handle
// of its own.
//
// A site path is joined to gf_downloadBaseUrl(): "archive/stock/LSZH.xml" becomes
// "<base>P3D/archive/stock/LSZH.xml"; blanks in publisher folders are written "%20".
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// A transfer the run thread waits for gives up when fewer than kStallBytesPerS bytes a second
// arrive for kStallSeconds (and after the downloader's connect time-out): a stalled site costs
// the main loop seconds, not a minute.
inline constexpr long kStallBytesPerS = 512;
inline constexpr long kStallSeconds = 3;
// A transfer slower than this is logged as "Download of {url} took {:.1f} s".
inline constexpr double kSlowTransferS = 1.0;

// code + ".xml": the name of the local copy of a probed stock file in the working folder.
std::string lf_copyPathText(std::string_view icao);
// Whether the site holds archive/stock/<ICAO>.xml. Leaves no local file behind.
bool lf_fetchStockApf(std::string_view icao);
// Downloads the site file into localPath: "" on success, else the error text
// "failed to download: '{url}'", which is also logged.
std::string lf_downloadFile(std::string_view sitePath, const std::filesystem::path& localPath);
// Whether the airport's stock file shows enough observed traffic for off-line learning: a
// quality factor of 0 or more and an "RT_traffic_week" of at least 31. Logs the address; warns
// "Failed to download {}", "Failed to load {}" or "{code} not suitable for offline learning".
bool gf_checkStockApfForLearning(std::string_view icao);

// Whether the site answered that it does not hold the file (HTTP 4xx) when it was last
// fetched; false for a file that came, was not asked for, or whose transfer failed.
bool gf_siteFileAbsent(std::string_view sitePath);

// Transfers made so far (cache misses), for the log and the tests.
int gf_siteTransferCount();
// Forgets what was fetched (per-run reset and whole-process reset).
void gf_resetSiteCache();
