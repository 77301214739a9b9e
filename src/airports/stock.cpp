#include "airports/stock.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include <curl/curl.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/apf_file.h"
#include "core/atomic_file.h"
#include "core/clock.h"
#include "core/errands.h"
#include "core/log.h"
#include "core/run_state.h"

namespace fs = std::filesystem;

// An error page of the site (an HTML "not found" answered with 200) has no top-level meta block.
// Parsed as the reader parses the file the answer is written to, so that what is taken loads.
bool gf_isParkingFile(std::string_view body) {
    pugi::xml_document doc;
    std::string reason;
    return gf_parseApfText(body, doc, reason) && doc.child("meta");
}

namespace {

constexpr int64_t kRetry100ns = int64_t{kSiteRetryMinutes} * 60 * 10'000'000;
constexpr size_t kMinCodeLength = 2;
constexpr size_t kMaxCodeLength = 8;

// One question to the site: the probe of a file (present or not) or its download.
struct SiteQuestion {
    std::string url;
    bool probe = false;
    auto operator<=>(const SiteQuestion&) const = default;
};

// What the run thread knows of one question.
struct Remembered {
    std::string file;  // the file's name without ".xml": the airport code
    SiteState state = SiteState::Pending;
    std::string reason;
    int64_t retryAt = 0;  // 100-ns clock: a failure is asked again from then on
    std::string logged;   // the failure last logged, so that a steady fault is logged once
};

// The worker's side. g_workerMutex guards the worker's wake-up, its limits, and the start of the
// thread; the questions and answers have their own lock (taken inside this one, never around it).
std::mutex g_workerMutex;
std::condition_variable g_workerCv;  // wakes the worker (question, end) and the waiters (answer)
std::thread g_worker;
std::atomic<bool> g_workerStop{false};
TransferLimits g_limits;
std::atomic<int> g_siteTransfers{0};

void lf_wakeWorker() {
    std::lock_guard lock(g_workerMutex);
    g_workerCv.notify_all();
}

Errands<SiteQuestion, SiteAnswer> g_errands(lf_wakeWorker);

// The run thread's side.
std::map<SiteQuestion, Remembered> g_memory;
uint64_t g_waits = 0;

std::string lf_stockSitePath(std::string_view icao) {
    return fmt::format("archive/stock/{}.xml", icao);
}

std::string lf_fileOf(std::string_view sitePath) {
    return fs::path(std::string(sitePath)).stem().string();
}

// One transfer on a handle of its own, on the worker (or, at start-up, the run thread). Touches
// nothing of the run thread.
SiteAnswer lf_serve(const SiteQuestion& q, const TransferLimits& limits, const TransferStop& stop) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), curl_easy_cleanup);
    std::string body;
    ++g_siteTransfers;
    const TransferResult r = gf_fetch(handle.get(), q.url, body, limits, stop);
    if (r.end == TransferEnd::Status && r.status == 404) return {SiteState::Absent, r.reason, {}};
    if (!r.ok()) return {SiteState::Failed, r.reason, {}};
    if (!gf_isParkingFile(body)) return {SiteState::Failed, "the answer is not a parking file", {}};
    if (q.probe) body = {};
    return {SiteState::Present, "", std::move(body)};
}

void lf_workerLoop() {
    std::unique_lock lock(g_workerMutex);
    while (!g_workerStop) {
        std::optional<std::pair<SiteQuestion, uint64_t>> question = g_errands.takeUp();
        if (!question) {
            g_workerCv.wait(lock, [] { return g_workerStop || g_errands.waiting(); });
            continue;
        }
        const TransferLimits limits = g_limits;
        lock.unlock();
        SiteAnswer answer;
        try {
            answer =
                lf_serve(question->first, limits, [] { return g_workerStop.load() || g_stopRun.load(); });
        } catch (const std::exception& e) {
            answer = {SiteState::Failed, e.what(), {}};
        }
        g_errands.answer(question->first, question->second, std::move(answer));
        lock.lock();
        g_workerCv.notify_all();
    }
}

void lf_ask(const SiteQuestion& q) {
    {
        std::lock_guard lock(g_workerMutex);
        if (!g_worker.joinable()) g_worker = std::thread(lf_workerLoop);
    }
    g_errands.ask(q);
}

// The remembered answer still holds: absent for the run, a probe's present for the run, a
// failure until its back-off is over. A download that came is handed out once.
bool lf_holds(const SiteQuestion& q, const Remembered& r) {
    if (r.state == SiteState::Failed) return gf_clock100ns() < r.retryAt;
    return r.state == SiteState::Absent || (r.state == SiteState::Present && q.probe);
}

// A failure is asked again once its back-off is over; a steady one is logged once.
void lf_rememberFailure(Remembered& r, const std::string& reason, const std::string& what) {
    r.state = SiteState::Failed;
    r.reason = reason;
    r.retryAt = gf_clock100ns() + kRetry100ns;
    if (r.logged == reason) return;
    r.logged = reason;
    gf_logWarning(fmt::format("{}; tried again in {} minutes", what, kSiteRetryMinutes));
}

SiteAnswer lf_takeIn(const SiteQuestion& q, Remembered& r, SiteAnswer answer) {
    r.state = answer.state;
    r.reason = answer.reason;
    if (answer.state == SiteState::Failed)
        lf_rememberFailure(r, answer.reason, fmt::format("Download of {} failed: {}", q.url, answer.reason));
    return answer;
}

// The answer to q as far as it is known; asks when nothing holds.
SiteAnswer lf_answer(const SiteQuestion& q, std::string_view file) {
    auto [it, fresh] = g_memory.try_emplace(q);
    Remembered& r = it->second;
    r.file = file;
    if (!fresh && r.state == SiteState::Pending) {
        if (std::optional<SiteAnswer> answer = g_errands.take(q)) return lf_takeIn(q, r, std::move(*answer));
        ++g_waits;
        return {};
    }
    if (!fresh && lf_holds(q, r)) return {r.state, r.reason, {}};
    r.state = SiteState::Pending;
    lf_ask(q);
    ++g_waits;
    return {};
}

SiteQuestion lf_download(std::string_view sitePath) {
    return {gf_downloadBaseUrl() + std::string(sitePath), false};
}

TransferLimits lf_limits() {
    std::lock_guard lock(g_workerMutex);
    return g_limits;
}

}  // namespace

bool gf_isPlainAirportCode(std::string_view icao) {
    if (icao.size() < kMinCodeLength || icao.size() > kMaxCodeLength) return false;
    for (char c : icao)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

SiteAnswer gf_probeStockApf(std::string_view icao) {
    if (!gf_isPlainAirportCode(icao)) return {SiteState::Absent, "not an airport code", {}};
    return lf_answer({gf_downloadBaseUrl() + lf_stockSitePath(icao), true}, icao);
}

bool lf_fetchStockApf(std::string_view icao) {
    return gf_probeStockApf(icao).state == SiteState::Present;
}

std::optional<std::string> lf_downloadFile(std::string_view sitePath, const fs::path& localPath) {
    const SiteQuestion q = lf_download(sitePath);
    const SiteAnswer answer = lf_answer(q, lf_fileOf(sitePath));
    if (answer.state == SiteState::Pending) return std::nullopt;
    if (answer.state != SiteState::Present)
        return fmt::format("failed to download: '{}': {}", q.url, answer.reason);
    const std::optional<std::string> failure = gf_replaceFileContent(localPath, answer.body);
    if (!failure) return std::string();
    // Not the site's fault, yet asking again at once would fail the same way.
    const std::string reason = fmt::format("{} could not be written: {}", localPath.string(), *failure);
    const std::string error = fmt::format("'{}' came, but {}", q.url, reason);
    lf_rememberFailure(g_memory[q], reason, error);
    return error;
}

void gf_askSiteFile(std::string_view sitePath) {
    const SiteQuestion q = lf_download(sitePath);
    auto it = g_memory.find(q);
    if (it != g_memory.end() && (it->second.state == SiteState::Pending || lf_holds(q, it->second))) return;
    lf_answer(q, lf_fileOf(sitePath));
}

std::optional<SiteAnswer> gf_siteHoldsBack(std::string_view icao) {
    std::optional<SiteAnswer> held;
    for (auto& [q, r] : g_memory) {
        if (r.file != icao) continue;
        if (r.state == SiteState::Pending && q.probe)
            if (std::optional<SiteAnswer> answer = g_errands.take(q)) lf_takeIn(q, r, std::move(*answer));
        // A download that came waits for its taker; only one still on its way holds back.
        if (r.state == SiteState::Pending && !g_errands.answered(q)) return SiteAnswer{};
        if (r.state == SiteState::Failed && lf_holds(q, r))
            held = SiteAnswer{SiteState::Failed, r.reason, {}};
    }
    return held;
}

uint64_t gf_siteWaits() {
    return g_waits;
}

StockCheck gf_checkStockApfForLearning(std::string_view icao) {
    if (!gf_isPlainAirportCode(icao)) {
        gf_logWarning(fmt::format("{} not suitable for offline learning", icao));
        return StockCheck::Unsuitable;
    }
    const SiteQuestion q = lf_download(lf_stockSitePath(icao));
    gf_logLine(q.url);
    const SiteAnswer answer = lf_serve(q, lf_limits(), [] { return g_stopRun.load(); });
    if (answer.state != SiteState::Present) {
        gf_logWarning(fmt::format("Failed to download {}.xml: {}", icao, answer.reason));
        return answer.state == SiteState::Failed ? StockCheck::TransferFailed : StockCheck::Unsuitable;
    }
    pugi::xml_document doc;
    if (!doc.load_buffer(answer.body.data(), answer.body.size())) {
        gf_logWarning(fmt::format("Failed to load {}.xml", icao));
        return StockCheck::Unsuitable;
    }
    bool suitable = false;
    if (lf_apfParameterInt(doc, "Qf_real").value_or(-1) >= 0 ||
        lf_apfParameterInt(doc, "Qf_soft").value_or(-1) >= 0)
        suitable = lf_apfParameterInt(doc, "RT_traffic_week").value_or(0) >= 31;
    if (!suitable) gf_logWarning(fmt::format("{} not suitable for offline learning", icao));
    return suitable ? StockCheck::Suitable : StockCheck::Unsuitable;
}

int gf_siteTransferCount() {
    return g_siteTransfers.load();
}

bool gf_waitForSiteAnswers(std::chrono::milliseconds timeout) {
    std::unique_lock lock(g_workerMutex);
    return g_workerCv.wait_for(lock, timeout, [] { return !g_errands.anyPending(); });
}

void gf_setSiteLimits(const TransferLimits& limits) {
    std::lock_guard lock(g_workerMutex);
    g_limits = limits;
}

void gf_resetSiteCache() {
    {
        std::lock_guard lock(g_workerMutex);
        g_workerStop = true;
        g_limits = {};
    }
    g_workerCv.notify_all();
    if (g_worker.joinable()) g_worker.join();
    g_workerStop = false;
    g_errands.clear();
    g_memory.clear();
    g_waits = 0;
    g_siteTransfers = 0;
}
