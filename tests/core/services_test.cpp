#include <algorithm>
#include <array>
#include <cstdlib>
#include <fmt/format.h>
#include <future>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "core/clock.h"
#include "core/download.h"
#include "core/errands.h"
#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "core/random.h"
#include "core/run_state.h"
#include "core/slots.h"
#include "core/tasks.h"
#include "core/xml_meta.h"
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
    EXPECT_TRUE(gf_simTimeInUse());
    // A log that cannot be opened says why, and nothing is written.
    EXPECT_FALSE(gf_logIsOpen());
    std::filesystem::remove("Log.txt");
    std::filesystem::create_directory("Log.txt");
    std::string why;
    EXPECT_FALSE(gf_openLog("Trelvo", "1", "P3D v5", &why));
    EXPECT_EQ(why, "Is a directory");
    EXPECT_FALSE(gf_logIsOpen());
    std::filesystem::remove("Log.txt");
    ASSERT_TRUE(gf_openLog("Trelvo", "1", "P3D v5"));
    EXPECT_TRUE(gf_logIsOpen());
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
    gf_setClock100ns([] { return int64_t{42}; });
    EXPECT_EQ(gf_clock100ns(), 42);
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733500800)); });
    gf_setSimTimeInUse(true);
    gf_resetClocks();
    EXPECT_EQ(gf_simUtcSeconds(), 0);
    EXPECT_GT(gf_clock100ns(), 42) << "the steady clock again";
    EXPECT_FALSE(gf_simTimeInUse());
    EXPECT_NEAR(static_cast<double>(gf_epochSeconds(gf_utcNow())),
                static_cast<double>(gf_epochSeconds(std::chrono::system_clock::now())), 5.0)
        << "the system clock again";
    // Scans run one task per processor, at least one.
    g_hardwareConcurrency = 0;
    gf_initHardwareConcurrency();
    EXPECT_EQ(g_hardwareConcurrency.load(), std::max(1u, std::thread::hardware_concurrency()));
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

// The meta block follows what the document already holds, its four entries in their order.
TEST_F(ServicesTest, WritesTheFourInfosInOrderAndReadsThemBack) {
    // Fri Dec 06 2024 16:00 UTC
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733500800)); });
    g_simulatorName = "P3D";
    pugi::xml_document doc;
    doc.append_child("first");
    ASSERT_TRUE(gf_writeMetaInfo(doc));
    std::ostringstream out;
    doc.save(out, "\t", pugi::format_default | pugi::format_no_declaration);
    const std::string saved = out.str();
    EXPECT_EQ(saved, std::string("<first />\n<meta>\n\t<info name=\"author\" value=\"Trelvo\" />\n"
                                 "\t<info name=\"date\" value=\"Fri Dec 06 16:00:00 2024\" />\n"
                                 "\t<info name=\"version\" value=\"") +
                         TRELVO_VERSION + "\" />\n\t<info name=\"simulator\" value=\"P3D\" />\n</meta>\n");
    pugi::xml_document loaded;
    ASSERT_TRUE(loaded.load_string(saved.c_str()));
    EXPECT_TRUE(gf_readMetaInfo(loaded, version));
    EXPECT_EQ(version.value(), TRELVO_VERSION);
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
    EXPECT_FALSE(gf_download(handle, gf_downloadBaseUrl() + "input/dbase.enc", "/dev/full", true))
        << "disk full";
    curl_easy_cleanup(handle);
}

// Every way a transfer ends reaches the caller as its kind, the site's status and a reason the
// messages and the log show.
TEST_F(ServicesTest, FetchNamesHowEachTransferEnded) {
    const std::string file(700, 'p');
    tst_writeFile("site/P3D/LSZH.xml", file);
    HttpServer server(folder_ / "site");
    ASSERT_TRUE(server.start());
    CURL* handle = curl_easy_init();
    ASSERT_NE(handle, nullptr);
    const TransferLimits plain;
    TransferLimits stall, slow, flowing, small;
    stall.stallMs = 200;
    slow.totalTimeoutMs = 300;
    flowing.stallBytesPerS = 100;  // a trickle of 700 bytes a second is slow, not stalled
    flowing.stallMs = 500;
    small.maxBytes = size_t{1} << 20;
    const struct {
        const char* name;
        HttpFault fault;
        TransferLimits limits;
        TransferEnd end;
        long status;  // -1: whatever the site had said when the caller stopped
        std::string reason;
        const char* body;  // nullptr: a part that depends on timing
    } rows[] = {
        {"200", HttpFault::None, plain, TransferEnd::Done, 200, "", file.c_str()},
        {"slow but flowing", HttpFault::Trickle, flowing, TransferEnd::Done, 200, "", file.c_str()},
        {"404", HttpFault::None, plain, TransferEnd::Status, 404, "the site answered HTTP 404", ""},
        {"500", HttpFault::ServerError, plain, TransferEnd::Status, 500, "the site answered HTTP 500", ""},
        {"redirect", HttpFault::Redirect, plain, TransferEnd::Status, 302,
         "the site answered HTTP 302 (a redirect)", ""},
        {"cut", HttpFault::Cut, plain, TransferEnd::Cut, 200, "the connection was cut after 6 bytes",
         "<meta>"},
        {"stall", HttpFault::Stall, stall, TransferEnd::Stalled, 200,
         "the transfer stalled (fewer than 512 bytes a second for 0.2 s)", ""},
        {"too slow", HttpFault::Trickle, slow, TransferEnd::TimedOut, 200, "no whole answer within 0.3 s",
         nullptr},
        {"huge", HttpFault::Huge, small, TransferEnd::TooLarge, 200, "the answer is larger than 1 MiB",
         nullptr},
        {"stopped", HttpFault::Stall, plain, TransferEnd::Stopped, -1, "stopped", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        server.setFault("/P3D/LSZH.xml", r.fault);
        const std::string path = r.status == 404 ? "P3D/EGLL.xml" : "P3D/LSZH.xml";
        std::string body = "left from before";
        const bool stop = r.end == TransferEnd::Stopped;
        const TransferResult got =
            gf_fetch(handle, server.baseUrl() + path, body, r.limits, [stop] { return stop; });
        EXPECT_EQ(got.end, r.end);
        EXPECT_EQ(got.ok(), r.end == TransferEnd::Done);
        if (r.status >= 0) EXPECT_EQ(got.status, r.status);
        EXPECT_EQ(got.reason, r.reason);
        EXPECT_LE(body.size(), r.limits.maxBytes);
        if (r.body != nullptr) EXPECT_EQ(body, r.body);
    }
    std::string body = "old";
    const TransferResult dead =
        gf_fetch(handle, fmt::format("http://127.0.0.1:{}/P3D/x.xml", tst_deadLocalPort()), body, {}, {});
    EXPECT_EQ(dead.end, TransferEnd::NoConnection);
    EXPECT_EQ(dead.status, 0);
    EXPECT_EQ(dead.reason, "the site cannot be reached (Couldn't connect to server)");
    body = "old";
    const TransferResult none = gf_fetch(nullptr, server.baseUrl() + "P3D/LSZH.xml", body, {}, {});
    EXPECT_EQ(none.end, TransferEnd::Failed);
    EXPECT_EQ(none.reason, "no transfer handle");
    EXPECT_EQ(body, "");
    curl_easy_cleanup(handle);
}

// An answer is kept only while its question is still the one asked: a question asked again,
// given up or cleared throws its late answer away; each answer is taken once.
TEST(Errands, LateAnswersAreThrownAwayAndEachAnswerIsTakenOnce) {
    int wakes = 0;
    Errands<int, std::string> errands([&wakes] { ++wakes; });
    using Taken = std::optional<std::pair<int, uint64_t>>;
    EXPECT_FALSE(errands.waiting());
    EXPECT_FALSE(errands.anyPending());
    errands.ask(1);
    errands.ask(2);
    EXPECT_EQ(wakes, 2);
    EXPECT_TRUE(errands.waiting());
    EXPECT_TRUE(errands.pending(1) && errands.anyPending() && !errands.answered(1));
    EXPECT_FALSE(errands.pending(7)) << "never asked";
    EXPECT_EQ(errands.take(1), std::nullopt) << "not answered yet";
    const Taken first = errands.takeUp(), second = errands.takeUp();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->first, 1);
    EXPECT_EQ(second->first, 2);
    EXPECT_LT(first->second, second->second);
    EXPECT_EQ(errands.takeUp(), std::nullopt);
    EXPECT_FALSE(errands.waiting());
    errands.answer(1, first->second, "one");
    EXPECT_TRUE(errands.answered(1) && !errands.pending(1));
    EXPECT_TRUE(errands.anyPending()) << "2 is still out";
    EXPECT_EQ(errands.take(1), std::optional<std::string>("one"));
    EXPECT_EQ(errands.take(1), std::nullopt) << "taken once";
    // Asked again while the worker answers the old question: the old answer is late.
    errands.ask(2);
    errands.answer(2, second->second, "late");
    EXPECT_TRUE(errands.pending(2) && !errands.answered(2));
    const Taken again = errands.takeUp();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->first, 2);
    errands.answer(2, again->second, "two");
    EXPECT_EQ(errands.take(2), std::optional<std::string>("two"));
    EXPECT_FALSE(errands.anyPending());
    // A question asked twice before the worker came is taken up once.
    errands.ask(3);
    errands.ask(3);
    EXPECT_TRUE(errands.takeUp());
    EXPECT_EQ(errands.takeUp(), std::nullopt);
    // Given up: the answer that comes later is thrown away.
    errands.giveUp(3);
    errands.answer(3, 5, "gone");
    EXPECT_FALSE(errands.answered(3) || errands.pending(3));
    errands.ask(4);
    errands.clear();
    EXPECT_FALSE(errands.waiting() || errands.anyPending());
    EXPECT_EQ(errands.takeUp(), std::nullopt);
    EXPECT_EQ(wakes, 6);
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
    // A reset forgets the shift and the slot of the last run.
    g_currentSlot = gf_packSlot(3, 2);
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(kMon0000)); });
    gf_resetSlots();
    EXPECT_EQ(g_currentSlot.load(), gf_packSlot(-1, -1));
    EXPECT_EQ(gf_slotAndWeekday(), gf_packSlot(0, 1));
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
         "===> gf_hours2bitset invalid hour 'x' in 1,x,+3\n===> gf_hours2bitset invalid hour '+3' in "
         "1,x,+3\n"},
        {"4,,6", "4,6", "===> gf_hours2bitset invalid hour '' in 4,,6\n"},
        {"2, 3x", "2", "===> gf_hours2bitset invalid hour '3x' in 2, 3x\n"},  // a number, then more
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
    // Single half-hours are set and read at checked positions only.
    HalfHourSet some;
    gf_slotSet(some, 0);
    gf_slotSet(some, 47);
    gf_slotSet(some, 9);
    gf_slotSet(some, 9, false);
    EXPECT_EQ(gf_bitset2hours(some), "0,47");
    EXPECT_TRUE(gf_slotTest(some, 47));
    EXPECT_FALSE(gf_slotTest(some, 9));
    for (int bad : {-1, 48}) {
        EXPECT_THROW(gf_slotSet(some, bad), std::out_of_range) << bad;
        EXPECT_THROW(gf_slotTest(some, bad), std::out_of_range) << bad;
    }
}

TEST_F(SlotsTest, CheckedAccessRaisesTheBitsetPositionText) {
    HalfHourSet set;
    gf_slotSet(set, 0);
    gf_slotSet(set, 47);
    EXPECT_TRUE(gf_slotTest(set, 47));
    EXPECT_FALSE(gf_slotTest(set, 46));
    gf_slotSet(set, 47, false);
    for (int bad : {-1, 48, -2147483647 - 1}) {
        EXPECT_THROW(gf_slotTest(set, bad), std::out_of_range) << bad;
        EXPECT_THROW(gf_slotSet(set, bad), std::out_of_range) << bad;
    }
    EXPECT_EQ(gf_bitset2hours(set), "0");
    EXPECT_EQ(gf_checkWeekSlot(335), 335);
    EXPECT_THROW(gf_checkWeekSlot(336), std::out_of_range);
    EXPECT_THROW(gf_checkWeekSlot(-1), std::out_of_range);
}

}  // namespace
