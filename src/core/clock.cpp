#include "core/clock.h"

#include <atomic>
#include <ctime>
#include <mutex>

#include <fmt/format.h>

namespace {
std::mutex g_clockMutex;
std::function<UtcTimePoint()> g_utcClock;
std::function<int64_t()> g_clock100ns;
std::atomic<int64_t> g_simUtcSeconds{0};
std::atomic<bool> g_simTimeInUse{false};
}  // namespace

UtcTimePoint gf_utcNow() {
    std::function<UtcTimePoint()> clock;
    {
        std::lock_guard lock(g_clockMutex);
        clock = g_utcClock;
    }
    return clock ? clock() : std::chrono::system_clock::now();
}

int64_t gf_clock100ns() {
    std::function<int64_t()> clock;
    {
        std::lock_guard lock(g_clockMutex);
        clock = g_clock100ns;
    }
    if (clock) return clock();
    auto ns = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(ns).count() / 100;
}

void gf_setUtcClock(std::function<UtcTimePoint()> clock) {
    std::lock_guard lock(g_clockMutex);
    g_utcClock = std::move(clock);
}

void gf_setClock100ns(std::function<int64_t()> clock) {
    std::lock_guard lock(g_clockMutex);
    g_clock100ns = std::move(clock);
}

int64_t gf_epochSeconds(UtcTimePoint t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

void gf_setSimUtcSeconds(int64_t epochSeconds) { g_simUtcSeconds = epochSeconds; }
int64_t gf_simUtcSeconds() { return g_simUtcSeconds; }
void gf_setSimTimeInUse(bool inUse) { g_simTimeInUse = inUse; }
bool gf_simTimeInUse() { return g_simTimeInUse; }

std::string gf_formatUtcTime(UtcTimePoint t) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t secs = static_cast<std::time_t>(gf_epochSeconds(t));
    std::tm tm{};
    gmtime_r(&secs, &tm);
    return fmt::format("{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}", kDays[tm.tm_wday], kMonths[tm.tm_mon],
                       tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
}

std::string gf_logStamp() {
    std::time_t t = static_cast<std::time_t>(gf_epochSeconds(gf_utcNow()));
    std::tm tm{};
    gmtime_r(&t, &tm);
    return fmt::format("{:02}:{:02}:{:02}{}", tm.tm_hour, tm.tm_min, tm.tm_sec, g_simTimeInUse ? "*" : "");
}

void gf_resetClocks() {
    {
        std::lock_guard lock(g_clockMutex);
        g_utcClock = nullptr;
        g_clock100ns = nullptr;
    }
    g_simUtcSeconds = 0;
    g_simTimeInUse = false;
}
