// Downloads from the program's download site (stock parking files, newer data files). Called
// by the run thread and the scan tasks, each with its own transfer handle.
#pragma once
#include <filesystem>
#include <string>

#include <curl/curl.h>

// Seconds a transfer may take to connect, and in all, so that a dead site cannot hang a run.
inline constexpr long kDownloadConnectTimeoutS = 5;
inline constexpr long kDownloadTotalTimeoutS = 60;

// Downloads url into localPath with the handle. False at once without a handle. The local file
// is opened for writing ("wb" when binary, else "w") before the transfer; when it cannot be,
// logs "Could not open output file: {}" and returns false. User agent "TRLV"; an HTTP error
// answer (400 and above) fails the transfer. True when the transfer succeeded. A failed
// transfer leaves the local file as far as it was written; it is not removed.
bool gf_download(CURL* handle, const std::string& url, const std::filesystem::path& localPath, bool binary);

// The download site's base address followed by "P3D/". The base address is the environment
// setting TRELVO_DOWNLOAD_BASE (a "/" is added when it does not end with one), by default
// "https://download.trelvo.net/".
std::string gf_downloadBaseUrl();
