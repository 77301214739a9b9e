#include "airports/stock.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>

#include <curl/curl.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/apf_file.h"
#include "core/download.h"
#include "core/files.h"
#include "core/log.h"

namespace fs = std::filesystem;

namespace {

// What one site path gave this run: its bytes, or nothing when the transfer failed.
std::mutex g_siteCacheMutex;
std::map<std::string, std::optional<std::string>, std::less<>> g_siteCache;
// Site paths the site answered it does not hold (an HTTP 4xx), as against transfers that failed.
std::set<std::string, std::less<>> g_siteAbsent;
std::atomic<int> g_siteTransfers{0};

std::optional<std::optional<std::string>> lf_cached(std::string_view sitePath) {
    std::lock_guard lock(g_siteCacheMutex);
    auto it = g_siteCache.find(sitePath);
    if (it == g_siteCache.end()) return std::nullopt;
    return it->second;
}

void lf_remember(std::string_view sitePath, std::optional<std::string> bytes) {
    std::lock_guard lock(g_siteCacheMutex);
    g_siteCache.insert_or_assign(std::string(sitePath), std::move(bytes));
}

std::string lf_fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return std::move(out).str();
}

// One transfer on its own handle with the short limits of a wait on the run thread.
bool lf_transfer(const std::string& url, const fs::path& localPath, bool& absent) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), curl_easy_cleanup);
    if (handle) {
        curl_easy_setopt(handle.get(), CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerS);
        curl_easy_setopt(handle.get(), CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    }
    ++g_siteTransfers;
    auto start = std::chrono::steady_clock::now();
    bool ok = gf_download(handle.get(), url, localPath, false);
    long status = 0;
    if (!ok && handle) curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    absent = status >= 400 && status < 500;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds > kSlowTransferS) gf_logWarning(fmt::format("Download of {} took {:.1f} s", url, seconds));
    return ok;
}

// The site file in localPath, fetched at most once per run; false when it cannot be had.
bool lf_fetch(std::string_view sitePath, const fs::path& localPath) {
    if (std::optional<std::optional<std::string>> hit = lf_cached(sitePath)) {
        if (!*hit) return false;
        std::ofstream out(localPath, std::ios::binary | std::ios::trunc);
        out << **hit;
        return static_cast<bool>(out.flush());
    }
    bool absent = false;
    bool ok = lf_transfer(gf_downloadBaseUrl() + std::string(sitePath), localPath, absent);
    if (absent) {
        std::lock_guard lock(g_siteCacheMutex);
        g_siteAbsent.emplace(sitePath);
    }
    lf_remember(sitePath, ok ? std::optional<std::string>(lf_fileBytes(localPath)) : std::nullopt);
    return ok;
}

}  // namespace

std::string lf_copyPathText(std::string_view icao) {
    return std::string(icao) + ".xml";
}

bool lf_fetchStockApf(std::string_view icao) {
    fs::path local = lf_copyPathText(icao);
    bool ok = lf_fetch(fmt::format("archive/stock/{}", lf_copyPathText(icao)), local);
    gf_removeFileIfExists(local);
    return ok;
}

std::string lf_downloadFile(std::string_view sitePath, const fs::path& localPath) {
    if (lf_fetch(sitePath, localPath)) return {};
    std::string error = fmt::format("failed to download: '{}'", gf_downloadBaseUrl() + std::string(sitePath));
    gf_logLine(error);
    return error;
}

bool gf_checkStockApfForLearning(std::string_view icao) {
    std::string sitePath = fmt::format("archive/stock/{}", lf_copyPathText(icao));
    gf_logLine(gf_downloadBaseUrl() + sitePath);
    fs::path local = lf_copyPathText(icao);
    if (!lf_fetch(sitePath, local)) {
        gf_removeFileIfExists(local);
        gf_logWarning(fmt::format("Failed to download {}", local.string()));
        return false;
    }
    bool suitable = false;
    pugi::xml_document doc;
    if (!doc.load_file(local.c_str())) {
        gf_logWarning(fmt::format("Failed to load {}", local.string()));
    } else if (lf_apfParameterInt(doc, "Qf_real").value_or(-1) >= 0 ||
               lf_apfParameterInt(doc, "Qf_soft").value_or(-1) >= 0) {
        suitable = lf_apfParameterInt(doc, "RT_traffic_week").value_or(0) >= 31;
    }
    fs::remove(local);
    if (!suitable) gf_logWarning(fmt::format("{} not suitable for offline learning", icao));
    return suitable;
}

bool gf_siteFileAbsent(std::string_view sitePath) {
    std::lock_guard lock(g_siteCacheMutex);
    return g_siteAbsent.contains(sitePath);
}

int gf_siteTransferCount() {
    return g_siteTransfers.load();
}

void gf_resetSiteCache() {
    std::lock_guard lock(g_siteCacheMutex);
    g_siteCache.clear();
    g_siteAbsent.clear();
    g_siteTransfers = 0;
}
