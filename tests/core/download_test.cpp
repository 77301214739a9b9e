#include <string>

#include <fmt/format.h>

#include "core/download.h"
#include "support/http_server.h"
#include "support/work_folder.h"

namespace {

using DownloadTest = WorkFolderTest;

std::string lf_answer(int status, std::string_view body, size_t length) {
    return fmt::format("HTTP/1.1 {} Whatever\r\nContent-Length: {}\r\nConnection: close\r\n\r\n{}", status,
                       length, body);
}

// Only a 200 is an answer; every other status is named, 300 to 399 as a redirect, and an
// answer is taken up to exactly the most it may bring.
TEST_F(DownloadTest, StatusesAndSizeLimitsAtTheirEdges) {
    TransferLimits exact, oneShort;
    exact.maxBytes = 1000;
    oneShort.maxBytes = 999;
    const std::string body(1000, 'k');
    const struct {
        const char* name;
        std::string answer;
        TransferLimits limits;
        TransferEnd end;
        long status;
        std::string reason;
        std::string body;
    } rows[] = {
        {"whole at the limit", lf_answer(200, body, 1000), exact, TransferEnd::Done, 200, "", body},
        {"a byte over the limit", lf_answer(200, body, 1000), oneShort, TransferEnd::TooLarge, 200,
         "the answer is larger than 0 MiB", ""},
        {"empty", lf_answer(200, "", 0), {}, TransferEnd::Done, 200, "", ""},
        {"299", lf_answer(299, "ok", 2), {}, TransferEnd::Status, 299, "the site answered HTTP 299", "ok"},
        {"300",
         lf_answer(300, "", 0),
         {},
         TransferEnd::Status,
         300,
         "the site answered HTTP 300 (a redirect)",
         ""},
        {"399",
         lf_answer(399, "", 0),
         {},
         TransferEnd::Status,
         399,
         "the site answered HTTP 399 (a redirect)",
         ""},
        {"400", lf_answer(400, "", 0), {}, TransferEnd::Status, 400, "the site answered HTTP 400", ""},
        {"cut short",
         lf_answer(200, "abcdefgh", 20),
         {},
         TransferEnd::Cut,
         200,
         "the connection was cut after 8 bytes",
         "abcdefgh"},
        {"no answer", "", {}, TransferEnd::Cut, 0, "the connection was cut after 0 bytes", ""},
    };
    CURL* handle = curl_easy_init();
    ASSERT_NE(handle, nullptr);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ScriptedHttpServer server(r.answer, false);
        ASSERT_TRUE(server.start());
        std::string got = "left from before";
        const TransferResult result = gf_fetch(handle, server.url(), got, r.limits, {});
        EXPECT_EQ(result.end, r.end);
        EXPECT_EQ(result.status, r.status);
        EXPECT_EQ(result.reason, r.reason);
        if (r.end != TransferEnd::TooLarge) EXPECT_EQ(got, r.body);
        EXPECT_LE(got.size(), r.limits.maxBytes);
        EXPECT_EQ(server.requestCount(), 1) << "no second try";
    }
    curl_easy_cleanup(handle);
}

// A transfer stalls when one window brings fewer bytes than the rate times the window: counted
// per window, so that bytes of an earlier window do not carry a later one, and with the byte
// count rounded down. The row a byte short sets its total time-out between its first and second
// window, so a stall seen a window late shows as a time-out.
TEST_F(DownloadTest, StallsAreCountedPerWindow) {
    TransferLimits flowedThenStopped, justShort;
    flowedThenStopped.stallBytesPerS = 2000;  // 200 bytes a window of 100 ms
    flowedThenStopped.stallMs = 100;
    flowedThenStopped.totalTimeoutMs = 3000;  // far past the stall: a missed stall ends as a time-out
    justShort.stallBytesPerS = 2500;  // 2500 bytes a window of 1 s
    justShort.stallMs = 1000;
    // Past the first window and before the second, which would stall with the same words.
    justShort.totalTimeoutMs = 1700;
    const struct {
        const char* name;
        std::string sent;
        TransferLimits limits;
        std::string reason;
    } rows[] = {
        {"flowed, then nothing", lf_answer(200, std::string(300, 'f'), 5000), flowedThenStopped,
         "the transfer stalled (fewer than 2000 bytes a second for 0.1 s)"},
        {"a byte short in the first window", lf_answer(200, std::string(2499, 's'), 5000), justShort,
         "the transfer stalled (fewer than 2500 bytes a second for 1 s)"},
    };
    CURL* handle = curl_easy_init();
    ASSERT_NE(handle, nullptr);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ScriptedHttpServer server(r.sent, true);
        ASSERT_TRUE(server.start());
        std::string got;
        const TransferResult result = gf_fetch(handle, server.url(), got, r.limits, {});
        EXPECT_EQ(result.end, TransferEnd::Stalled);
        EXPECT_EQ(result.reason, r.reason);
        EXPECT_FALSE(result.ok());
    }
    curl_easy_cleanup(handle);
}

// A download writes into the local file as the answer comes: a cut answer leaves what came.
TEST_F(DownloadTest, CutDownloadLeavesWhatCame) {
    tst_writeFile("site/P3D/x.xml", "x");
    HttpServer server(folder_ / "site");
    ASSERT_TRUE(server.start());
    server.setFault("/P3D/x.xml", HttpFault::Cut);
    CURL* handle = curl_easy_init();
    ASSERT_NE(handle, nullptr);
    EXPECT_FALSE(gf_download(handle, server.baseUrl() + "P3D/x.xml", "x.xml", true));
    EXPECT_EQ(tst_readFile("x.xml"), "<meta>");
    server.setFault("/P3D/x.xml", HttpFault::None);
    EXPECT_TRUE(gf_download(handle, server.baseUrl() + "P3D/x.xml", "x.xml", true));
    EXPECT_EQ(tst_readFile("x.xml"), "x");
    curl_easy_cleanup(handle);
}

}  // namespace
