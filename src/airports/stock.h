// Parking files from the program's download site: the availability probe of an airport's stock
// file, the download of any site file, and the stock-file test of the airport scan.
//
// The run loop never waits on the network: the watch and the reader ask, a worker thread does
// the transfer, and the answer is used on a later pass. What the site said is remembered for
// the run: a 404 ("absent") and a probe's "present" for the whole run; a failed transfer (time-
// out, stall, cut, 5xx, redirect, an answer that is not a parking file, one larger than 32 MiB)
// for kSiteRetryMinutes, after which the next ask tries again. Run thread, except where noted.
//
// A site path is joined to gf_downloadBaseUrl(): "archive/stock/LSZH.xml" becomes
// "<base>P3D/archive/stock/LSZH.xml"; blanks in publisher folders are written "%20".
#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/download.h"

// A failed transfer is tried again after this many minutes.
inline constexpr int kSiteRetryMinutes = 5;

// What the run thread knows of one file of the site.
enum class SiteState {
    Pending,  // asked; the worker has not answered yet
    Present,  // the site holds a parking file there (a download's answer carries it in body)
    Absent,   // the site answered 404: so for the rest of the run
    Failed,   // the transfer failed (reason); asked again after kSiteRetryMinutes
};

struct SiteAnswer {
    SiteState state = SiteState::Pending;
    std::string reason;  // Absent and Failed: what the site or the transfer said
    std::string body;    // a download that is Present: the file
};

// Whether a stock file of the site is fit for off-line learning (the airport scan).
enum class StockCheck { Suitable, Unsuitable, TransferFailed };

// Whether a 200 answer of the site is a parking file: it parses as XML and has a top-level
// meta block. Anything else is a failed transfer. Any thread.
bool gf_isParkingFile(std::string_view body);

// Letters and digits only, 2 to 8 of them: only such a code becomes part of a file name or an
// address.
bool gf_isPlainAirportCode(std::string_view icao);

// The probe of archive/stock/<ICAO>.xml: asks when nothing is known yet or a failure's back-off
// is over. A code that is not plain is Absent at once.
SiteAnswer gf_probeStockApf(std::string_view icao);
// Whether the site is known to hold the airport's stock file now (the probe is Present).
bool lf_fetchStockApf(std::string_view icao);

// The download of a site file, asked like the probe, written to localPath: nothing while the
// site has not answered; "" when written (the file is handed out once: a later call downloads
// again); else the error text for the caller to show: "failed to download: '{url}': {reason}",
// or "'{url}' came, but {localPath} could not be written: {reason}" (both remembered like a
// failed transfer; a failure of the site is logged where its answer comes in).
std::optional<std::string> lf_downloadFile(std::string_view sitePath, const std::filesystem::path& localPath);
// Asks for the site file ahead of the call of lf_downloadFile that will take it, unless a
// question about it is pending or its answer is remembered.
void gf_askSiteFile(std::string_view sitePath);

// What holds the airport back: a question about one of its site files (any "<ICAO>.xml") still
// pending, or one that failed within its back-off (with the reason). Takes in the answers that
// came. Nothing when the site holds nothing back.
std::optional<SiteAnswer> gf_siteHoldsBack(std::string_view icao);
// How many times a pending answer was met so far; a caller compares it before and after its
// lookups to learn whether one of them waits for the site.
uint64_t gf_siteWaits();

// The airport scan, at start-up: downloads the stock file on the calling thread and tells
// whether it shows enough observed traffic for off-line learning (a quality factor of 0 or more
// and an "RT_traffic_week" of at least 31). Logs the address; warns "Failed to download {}: {}",
// "Failed to load {}" or "{code} not suitable for offline learning". No local file is written.
StockCheck gf_checkStockApfForLearning(std::string_view icao);

// Transfers made so far, for the log and the tests. Any thread.
int gf_siteTransferCount();
// Waits up to timeout until every question asked has its answer; true when it has (tests).
bool gf_waitForSiteAnswers(std::chrono::milliseconds timeout);
// The limits of later transfers (tests shorten the time-outs).
void gf_setSiteLimits(const TransferLimits& limits);
// Ends the worker (its transfer within a tenth of a second) and forgets what was asked and
// answered: the per-run reset at closing down and the whole-process reset.
void gf_resetSiteCache();
