#include "core/download.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <fmt/format.h>

#include "core/log.h"

namespace {

constexpr const char* kDefaultBaseUrl = "https://download.trelvo.net/";

std::once_flag g_curlOnce;

// curl_global_init is not thread-safe and must run before any handle does its first transfer.
void lf_initCurl() {
    std::call_once(g_curlOnce, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t lf_writeToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file));
}

}  // namespace

bool gf_download(CURL* handle, const std::string& url, const std::filesystem::path& localPath, bool binary) {
    if (handle == nullptr) return false;
    lf_initCurl();
    std::FILE* file = std::fopen(localPath.string().c_str(), binary ? "wb" : "w");
    if (file == nullptr) {
        gf_logLine(fmt::format("Could not open output file: {}", localPath.string()));
        return false;
    }
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, "TRLV");
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kDownloadConnectTimeoutS);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, kDownloadTotalTimeoutS);
    // Scan tasks download from their own threads; signals cannot carry libcurl's time-outs there.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, lf_writeToFile);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, file);
    CURLcode result = curl_easy_perform(handle);
    bool closed = std::fclose(file) == 0;
    return result == CURLE_OK && closed;
}

std::string gf_downloadBaseUrl() {
    const char* setting = std::getenv("TRELVO_DOWNLOAD_BASE");
    std::string base = setting != nullptr && *setting != '\0' ? setting : kDefaultBaseUrl;
    if (base.back() != '/') base.push_back('/');
    return base + "P3D/";
}
