#include <array>
#include <cstdlib>
#include <fmt/format.h>
#include <future>
#include <random>
#include <stdexcept>

#include "core/clock.h"
#include "core/download.h"
#include "core/log.h"
#include "core/params.h"
#include "core/random.h"
#include "core/run_state.h"
#include "core/slots.h"
#include "core/tasks.h"
#include "support/http_server.h"
#include "support/work_folder.h"

namespace {

using namespace std::chrono_literals;

class ServicesTest : public WorkFolderTest {};

// The log keeps two older generations; nothing is written before it is opened.
TEST_F(ServicesTest, FirstLinePrefixesAndRotation) {
    gf_logLine("lost");
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
    tst_writeFile("Log.txt", "newest\n");
    tst_writeFile("Log0.txt", "older\n");
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733500800)); });  // Fri Dec 06 2024 16:00 UTC
    for (const char* version : {"1", "1.2.3"}) {
        ASSERT_TRUE(gf_openLog("Trelvo", version, "P3D v5"));
        gf_logLine("plain");
        gf_logWarning("careful");
        gf_logIndented("inner");
        LOG.set(false);
        gf_logDetail("hidden");
        LOG.set(true);
        gf_logDetail("shown");
        gf_closeLog();
    }
    const std::string body = "plain\n===> careful\n          inner\nshown\n";
    EXPECT_EQ(tst_readFile("Log.txt"), "Fri Dec 06 16:00:00 2024 (utc) Trelvo version 1.2.3 for P3D v5\n" + body);
    EXPECT_EQ(tst_readFile("Log0.txt"), "Fri Dec 06 16:00:00 2024 (utc) Trelvo version 1 for P3D v5\n" + body);
    EXPECT_EQ(tst_readFile("Log00.txt"), "newest\n");
    EXPECT_EQ(gf_logStamp(), "16:00:00");
    gf_setSimTimeInUse(true);
    EXPECT_EQ(gf_logStamp(), "16:00:00*");
}

// A waiter returns at once while a slot is free, waits while all are taken, and never hangs a
// stopped run.
TEST_F(ServicesTest, WaitsForAFreeSlotUnlessTheRunStops) {
    // Before the processors are counted one task runs: a first wait never blocks.
    EXPECT_EQ(std::async(std::launch::async, gf_waitForTaskSlot).wait_for(10s), std::future_status::ready);
    gf_taskDone();
    g_hardwareConcurrency = 2;
    for (int running : {-1, 1}) {
        g_runningWorkers = running;
        EXPECT_EQ(std::async(std::launch::async, gf_waitForTaskSlot).wait_for(10s), std::future_status::ready);
    }
    g_runningWorkers = 2;
    auto done = std::async(std::launch::async, [] {
        gf_waitForTaskSlot();
        return g_runningWorkers.load();
    });
    EXPECT_EQ(done.wait_for(20ms), std::future_status::timeout);  // a short look, not a time that must pass
    gf_taskDone();
    ASSERT_EQ(done.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(done.get(), 1);
    g_hardwareConcurrency = 1;
    g_runningWorkers = 5;
    auto stopped = std::async(std::launch::async, gf_waitForTaskSlot);
    gf_stopRunWith(ExitState::UserClosedSim);
    EXPECT_EQ(stopped.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(g_runningWorkers.load(), 5);
}

// The 100-ns clock counts the steady clock in its unit; a reset forgets the simulator's time.
TEST_F(ServicesTest, ClockUnitsAndTheSimulatorsTimeReset) {
    const int64_t steady100ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count() /
                                100;
    EXPECT_NEAR(static_cast<double>(gf_clock100ns()), static_cast<double>(steady100ns), 2e6);  // 0.2 s
    gf_setSimUtcSeconds(1709647629);
    EXPECT_EQ(gf_simUtcSeconds(), 1709647629);
    gf_resetClocks();
    EXPECT_EQ(gf_simUtcSeconds(), 0);
}

// Each thread draws from its own standard engine; the draws of others do not advance it. A
// variation's sign comes from the lowest bit of one draw; a percent not above zero draws nothing.
TEST_F(ServicesTest, EveryThreadHasItsOwnStandardEngine) {
    gf_seedRandom(11);
    std::mt19937 reference(11);
    auto drawsOfSeededThread = [] {
        gf_seedRandom(7);
        return std::array<uint32_t, 3>{gf_nextRandom(), gf_nextRandom(), gf_nextRandom()};
    };
    auto a = std::async(std::launch::async, drawsOfSeededThread);
    auto b = std::async(std::launch::async, drawsOfSeededThread);
    const auto da = a.get();
    EXPECT_EQ(da, b.get());
    EXPECT_EQ(da[0], std::mt19937(7)());
    for (int i = 0; i < 64; ++i) EXPECT_DOUBLE_EQ(gf_randomVariation(100.0, 10.0), reference() & 1u ? 110.0 : 90.0);
    for (double percent : {0.0, -5.0, std::nan("")}) EXPECT_EQ(gf_randomVariation(250.0, percent), 250.0);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(gf_nextRandom(), reference()) << i;
}

TEST_F(ServicesTest, FilesComeWholeAndFailuresLeaveNoContent) {
    gf_setLogCapture(true);
    tst_writeFile("site/P3D/archive/stock/EDDF.xml", "<parkpositions>\n</parkpositions>\n");
    std::string binary;
    for (int i = 0; i < 70000; ++i) binary.push_back(static_cast<char>(i * 7 & 0xff));
    tst_writeFile("site/P3D/input/dbase.enc", binary);
    HttpServer server(folder_ / "site");
    ASSERT_TRUE(server.start());
    CURL* handle = curl_easy_init();
    ASSERT_NE(handle, nullptr);
    // The setting, without its closing slash, names the folder above "P3D/".
    std::string base = server.baseUrl();
    if (base.ends_with('/')) base.pop_back();
    setenv("TRELVO_DOWNLOAD_BASE", base.c_str(), 1);
    EXPECT_EQ(gf_downloadBaseUrl(), base + "/P3D/");
    EXPECT_TRUE(gf_download(handle, gf_downloadBaseUrl() + "archive/stock/EDDF.xml", "EDDF.xml", false));
    EXPECT_TRUE(gf_download(handle, gf_downloadBaseUrl() + "input/dbase.enc", "dbase.enc", true));
    EXPECT_EQ(tst_readFile("EDDF.xml"), "<parkpositions>\n</parkpositions>\n");
    EXPECT_EQ(tst_readFile("dbase.enc"), binary);
    EXPECT_EQ(server.lastUserAgent(), "TRLV");
    EXPECT_EQ(server.requestCount(), 2);
    tst_writeFile("LOWW.xml", "older content");
    EXPECT_FALSE(gf_download(handle, gf_downloadBaseUrl() + "archive/stock/LOWW.xml", "LOWW.xml", false));
    EXPECT_EQ(tst_readFile("LOWW.xml"), "");
    EXPECT_FALSE(gf_download(handle, fmt::format("http://127.0.0.1:{}/P3D/x.xml", tst_deadLocalPort()), "x.xml", false));
    EXPECT_FALSE(gf_download(nullptr, gf_downloadBaseUrl() + "input/dbase.enc", "none.enc", true));
    EXPECT_FALSE(std::filesystem::exists("none.enc"));
    EXPECT_FALSE(gf_download(handle, gf_downloadBaseUrl() + "input/dbase.enc", "no/such/dbase.enc", true));
    EXPECT_EQ(server.requestCount(), 3);
    EXPECT_EQ(gf_capturedLog(), "Could not open output file: no/such/dbase.enc\n");
    curl_easy_cleanup(handle);
}

class SlotsTest : public WorkFolderTest {};

constexpr int64_t kFri1600 = 1733500800;  // Fri 2024-12-06 16:00:00 UTC
constexpr int64_t kMon0000 = kFri1600 + 2 * 86400 + 8 * 3600;

TEST_F(SlotsTest, SlotAndWeekdayOfUtcNow) {
    const struct {
        int64_t now;
        int shiftMinutes, slot, weekday;
    } rows[] = {
        {kFri1600 + 29 * 60 + 59, 0, 32, 5}, {kFri1600 + 30 * 60, 0, 33, 5}, {kMon0000 - 1, 0, 47, 7},
        {kMon0000, 0, 0, 1},                 {kMon0000, 1, 47, 7},             {kFri1600, (3 * 24 + 2) * 60, 28, 2},
        {kFri1600, -30, 33, 5},              {0, 0, 0, 4},                     {-1, 0, -1, -1},
        {60, 2, -1, -1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.now << " shifted " << r.shiftMinutes);
        gf_setUtcClock([now = r.now] { return UtcTimePoint(std::chrono::seconds(now)); });
        g_timeShiftMinutes = r.shiftMinutes;
        const uint64_t v = gf_slotAndWeekday();
        EXPECT_EQ(gf_slotOf(v), r.slot);
        EXPECT_EQ(gf_weekdayOf(v), r.weekday);
    }
    EXPECT_EQ(gf_packSlot(-1, -1), UINT64_MAX);
    EXPECT_EQ(gf_weekSlotOf(gf_packSlot(32, 5)), 4 * 48 + 32);
    EXPECT_EQ(gf_weekSlotOf(gf_packSlot(47, 7)), 335);
    for (uint64_t bad : {gf_packSlot(-1, -1), gf_packSlot(3, 0), gf_packSlot(3, 8), gf_packSlot(48, 1)})
        EXPECT_THROW(gf_weekSlotOf(bad), std::out_of_range) << bad;
    EXPECT_EQ(gf_checkWeekSlot(335), 335);
    EXPECT_THROW(gf_checkWeekSlot(336), std::out_of_range);
}

TEST_F(SlotsTest, HoursToBitsetSkipsBadTokensWithAWarning) {
    const struct {
        const char* text;
        const char* hours;
        const char* log;
    } rows[] = {
        {"", "", ""},
        {"0,47,9,19", "0,9,19,47", ""},
        {" 3 , 1,\t2 ", "1,2,3", ""},
        {"5,5", "5", ""},
        {"1,48,2", "1,2", "===> gf_hours2bitset invalid hour '48' in 1,48,2\n"},
        {"-1,07", "7", "===> gf_hours2bitset invalid hour '-1' in -1,07\n"},
        {"1,x,+3", "1",
         "===> gf_hours2bitset invalid hour 'x' in 1,x,+3\n===> gf_hours2bitset invalid hour '+3' in 1,x,+3\n"},
        {"4,,6", "4,6", "===> gf_hours2bitset invalid hour '' in 4,,6\n"},
        {"99999999999", "", "===> gf_hours2bitset invalid hour '99999999999' in 99999999999\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        EXPECT_EQ(gf_bitset2hours(gf_hours2bitset(r.text)), r.hours);
        EXPECT_EQ(gf_capturedLog(), r.log);
    }
    HalfHourSet all;
    EXPECT_TRUE(gf_hours2bitset(gf_bitset2hours(all.set())).all());
}

}  // namespace
