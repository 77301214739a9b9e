#include "core/log.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#include <fmt/format.h>

#include "core/clock.h"
#include "core/params.h"

namespace fs = std::filesystem;

namespace {
std::mutex g_logMutex;  // leaf lock: nothing is taken while it is held
std::ofstream g_logStream;
bool g_capture = false;
std::string g_captured;

void lf_copyOver(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (!fs::exists(from, ec)) return;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
}

void lf_write(std::string_view prefix, std::string_view text) {
    std::lock_guard lock(g_logMutex);
    if (g_capture) {
        g_captured.append(prefix);
        g_captured.append(text);
        g_captured.push_back('\n');
    }
    if (!g_logStream.is_open()) return;
    g_logStream << prefix << text << '\n';
    g_logStream.flush();
}
}  // namespace

bool gf_openLog(std::string_view programName, std::string_view version, std::string_view target,
                std::string* whyNot) {
    {
        std::lock_guard lock(g_logMutex);
        if (g_logStream.is_open()) g_logStream.close();
        lf_copyOver("Log0.txt", "Log00.txt");
        lf_copyOver("Log.txt", "Log0.txt");
        errno = 0;
        g_logStream.open("Log.txt", std::ios::out | std::ios::trunc | std::ios::binary);
        if (!g_logStream.is_open()) {
            if (whyNot) *whyNot = errno != 0 ? std::strerror(errno) : "cannot be opened";
            return false;
        }
    }
    gf_logLine(fmt::format("{} (utc) {} version {} for {}", gf_formatUtcTime(gf_utcNow()), programName, version,
                           target));
    return true;
}

void gf_closeLog() {
    std::lock_guard lock(g_logMutex);
    if (g_logStream.is_open()) g_logStream.close();
    g_captured.clear();
}

bool gf_logIsOpen() {
    std::lock_guard lock(g_logMutex);
    return g_logStream.is_open();
}

void gf_logLine(std::string_view text) { lf_write("", text); }
void gf_logWarning(std::string_view text) { lf_write("===> ", text); }
void gf_logIndented(std::string_view text) { lf_write("          ", text); }

void gf_logDetail(std::string_view text) {
    if (LOG.value()) lf_write("", text);
}

void gf_setLogCapture(bool on) {
    std::lock_guard lock(g_logMutex);
    g_capture = on;
    if (!on) g_captured.clear();
}

std::string gf_capturedLog() {
    std::lock_guard lock(g_logMutex);
    return g_captured;
}
