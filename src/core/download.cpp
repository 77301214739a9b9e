#include "core/download.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include <fmt/format.h>

#include "core/log.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kDefaultBaseUrl = "https://download.trelvo.net/";
// How long one wait for the socket may last: the stop function and the stall rule are looked
// at this often.
constexpr int kPollMs = 100;

std::once_flag g_curlOnce;

// curl_global_init is not thread-safe and must run before any handle does its first transfer.
void lf_initCurl() {
    std::call_once(g_curlOnce, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Where the answer goes: the body text or an open file, never more than max bytes.
struct Sink {
    std::string* body = nullptr;
    std::FILE* file = nullptr;
    size_t max = kMaxDownloadBytes;
    size_t bytes = 0;
    bool tooLarge = false;
    bool writeFailed = false;
};

size_t lf_write(char* data, size_t size, size_t count, void* userData) {
    auto& sink = *static_cast<Sink*>(userData);
    const size_t n = size * count;
    if (n > sink.max - sink.bytes) {
        sink.tooLarge = true;
        return 0;
    }
    if (sink.file != nullptr && std::fwrite(data, 1, n, sink.file) != n) {
        sink.writeFailed = true;
        return 0;
    }
    if (sink.body != nullptr) sink.body->append(data, n);
    sink.bytes += n;
    return n;
}

// Why the transfer library ended the transfer, when it was not the loop below.
TransferResult lf_classify(CURLcode code, long status, const Sink& sink, const TransferLimits& limits) {
    if (sink.tooLarge)
        return {TransferEnd::TooLarge, status,
                fmt::format("the answer is larger than {} MiB", limits.maxBytes >> 20)};
    if (sink.writeFailed) return {TransferEnd::LocalFile, status, "the local file could not be written"};
    if (code == CURLE_HTTP_RETURNED_ERROR || (code == CURLE_OK && status != 200)) {
        const char* redirect = status >= 300 && status < 400 ? " (a redirect)" : "";
        return {TransferEnd::Status, status, fmt::format("the site answered HTTP {}{}", status, redirect)};
    }
    switch (code) {
        case CURLE_OK:
            return {TransferEnd::Done, status, ""};
        case CURLE_OPERATION_TIMEDOUT:
            return {TransferEnd::TimedOut, status,
                    fmt::format("no whole answer within {} s", limits.totalTimeoutMs / 1000.0)};
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
            return {TransferEnd::Cut, status,
                    fmt::format("the connection was cut after {} bytes", sink.bytes)};
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_HOST:
            return {TransferEnd::NoConnection, status,
                    fmt::format("the site cannot be reached ({})", curl_easy_strerror(code))};
        default:
            return {TransferEnd::Failed, status,
                    fmt::format("the transfer failed ({})", curl_easy_strerror(code))};
    }
}

// Drives the transfer through a multi handle, so that the stop function and the stall rule are
// looked at every kPollMs even while the site sends nothing.
TransferResult lf_perform(CURL* handle, const std::string& url, Sink& sink, const TransferLimits& limits,
                          const TransferStop& stop) {
    lf_initCurl();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, "TRLV");
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
    // Transfers run on threads other than the main one; signals cannot carry time-outs there.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, lf_write);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), curl_multi_cleanup);
    if (!multi || curl_multi_add_handle(multi.get(), handle) != CURLM_OK)
        return {TransferEnd::Failed, 0, "the transfer could not be started"};
    auto windowStart = Clock::now();
    size_t windowBytes = 0;
    const auto stallWindow = std::chrono::milliseconds(limits.stallMs);
    const auto stallBytes = static_cast<size_t>(limits.stallBytesPerS * limits.stallMs / 1000);
    TransferResult ended{TransferEnd::Done, 0, ""};
    for (int running = 1;;) {
        curl_multi_perform(multi.get(), &running);
        if (running == 0) break;
        if (stop && stop()) {
            ended = {TransferEnd::Stopped, 0, "stopped"};
            break;
        }
        if (const auto now = Clock::now(); now - windowStart >= stallWindow) {
            if (sink.bytes - windowBytes < stallBytes) {
                ended = {TransferEnd::Stalled, 0,
                         fmt::format("the transfer stalled (fewer than {} bytes a second for {} s)",
                                     limits.stallBytesPerS, limits.stallMs / 1000.0)};
                break;
            }
            windowStart = now;
            windowBytes = sink.bytes;
        }
        curl_multi_poll(multi.get(), nullptr, 0, kPollMs, nullptr);
    }
    CURLcode code = CURLE_OK;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &left))
        if (message->msg == CURLMSG_DONE) code = message->data.result;
    curl_multi_remove_handle(multi.get(), handle);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &ended.status);
    if (ended.end != TransferEnd::Done) return ended;
    return lf_classify(code, ended.status, sink, limits);
}

}  // namespace

TransferResult gf_fetch(CURL* handle, const std::string& url, std::string& body, const TransferLimits& limits,
                        const TransferStop& stop) {
    body.clear();
    if (handle == nullptr) return {TransferEnd::Failed, 0, "no transfer handle"};
    Sink sink{&body, nullptr, limits.maxBytes};
    return lf_perform(handle, url, sink, limits, stop);
}

bool gf_download(CURL* handle, const std::string& url, const std::filesystem::path& localPath, bool binary) {
    if (handle == nullptr) return false;
    std::FILE* file = std::fopen(localPath.string().c_str(), binary ? "wb" : "w");
    if (file == nullptr) {
        gf_logLine(fmt::format("Could not open output file: {}", localPath.string()));
        return false;
    }
    const TransferLimits limits;
    Sink sink{nullptr, file, limits.maxBytes};
    const bool ok = lf_perform(handle, url, sink, limits, {}).ok();
    const bool closed = std::fclose(file) == 0;
    return ok && closed;
}

std::string gf_downloadBaseUrl() {
    const char* setting = std::getenv("TRELVO_DOWNLOAD_BASE");
    std::string base = setting != nullptr && *setting != '\0' ? setting : kDefaultBaseUrl;
    if (base.back() != '/') base.push_back('/');
    return base + "P3D/";
}
