// Transfers from the program's download site (stock parking files). Called by the site's worker
// thread and, at start-up, by the run thread, each transfer on a handle of its own.
#pragma once
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include <curl/curl.h>

// The most one answer of the site may bring, bytes; a larger one fails the transfer. A stock
// parking file is well under 1 MiB.
inline constexpr size_t kMaxDownloadBytes = size_t{32} << 20;

// Limits of one transfer, so that a dead, stalled or trickling site cannot hold its caller for
// long. Tests shorten them.
struct TransferLimits {
    long connectTimeoutMs = 5000;
    long totalTimeoutMs = 60000;
    long stallBytesPerS = 512;  // a transfer stalls when fewer bytes than this a second arrive
    long stallMs = 3000;        // over this time
    size_t maxBytes = kMaxDownloadBytes;
};

// How a transfer ended.
enum class TransferEnd {
    Done,          // the site answered 200 and the whole answer came
    Status,        // the site answered another status (a redirect, 404, 500): see status
    TimedOut,      // the connection or the whole answer took longer than the time-outs
    Stalled,       // fewer than stallBytesPerS a second arrived over stallMs
    Cut,           // the connection ended before the whole answer came
    TooLarge,      // the answer is larger than maxBytes
    Stopped,       // the caller's stop function asked for the end
    NoConnection,  // the site cannot be reached (refused, unknown host)
    LocalFile,     // the local file could not be written
    Failed,        // anything else the transfer library reports; no handle
};

struct TransferResult {
    TransferEnd end = TransferEnd::Failed;
    long status = 0;     // the HTTP status; 0 when none came
    std::string reason;  // for messages and the log: "the site answered HTTP 500", ...; "" when Done
    bool ok() const { return end == TransferEnd::Done; }
};

// Asked about ten times a second during a transfer; true ends it (the run's stop flag: Ctrl-C
// must not wait for a stalled site).
using TransferStop = std::function<bool()>;

// Fetches url into body (emptied first) with the handle, within the limits. User agent "TRLV";
// no redirect is followed: only a 200 with its whole answer is Done.
TransferResult gf_fetch(CURL* handle, const std::string& url, std::string& body, const TransferLimits& limits,
                        const TransferStop& stop);

// Downloads url into localPath with the handle and the default limits. False at once without a
// handle. The local file is opened for writing ("wb" when binary, else "w") before the transfer;
// when it cannot be, logs "Could not open output file: {}" and returns false. True when the
// transfer succeeded. A failed transfer leaves the local file as far as it was written.
bool gf_download(CURL* handle, const std::string& url, const std::filesystem::path& localPath, bool binary);

// The download site's base address followed by "P3D/". The base address is the environment
// setting TRELVO_DOWNLOAD_BASE (a "/" is added when it does not end with one), by default
// "https://download.trelvo.net/".
std::string gf_downloadBaseUrl();
