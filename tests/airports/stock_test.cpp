#include "airports/stock.h"

#include <thread>

#include <fmt/format.h>

#include "airports/airport_list.h"
#include "airports/apf_file.h"
#include "airports/apf_fixture.h"
#include "airports/park_airports.h"
#include "airports/stand.h"
#include "core/display.h"
#include "core/run_state.h"
#include "live/live_set.h"
#include "sim/sim_state.h"
#include "static/park_watch.h"
#include "support/airport_builders.h"

namespace fs = std::filesystem;

namespace {

constexpr LatLon kZurich{47.4647, 8.54917};
constexpr const char* kStockPath = "/P3D/archive/stock/LSZH.xml";
constexpr const char* kGround = "User aircraft on the ground at LSZH, ";
constexpr int64_t kMinute100ns = 600'000'000;

// The park airport's watch against a download site on loopback that answers LSZH's stock file
// as the row says. Zurich is the only airport; the user aircraft stands on it.
class StockTest : public ApfSiteTest {
  protected:
    void SetUp() override {
        ApfSiteTest::SetUp();
        tst_installAirportsXml(
            R"(<airports><airport code="LSZH" iata="ZRH" lat="47.4647" lon="8.54917" alt="1416"/>
                                  </airports>)");
        gf_readAirports();
        // Big enough that a trickle of 700 bytes a second takes a minute.
        std::string stands;
        for (int i = 0; i < 300; ++i)
            stands += fmt::format(R"(<parkpos id="S{}" latitude="{:.6f}" longitude="8.56" radius="30"/>)", i,
                                  47.46 + i * 0.0005);
        tst_writeFile("site/P3D/archive/stock/LSZH.xml",
                      tst_apfXml(R"(<parameter name="altitude" value="1416"/>)", stands));
        gf_setClock100ns([this] { return now_; });
        userAt(kZurich, 1416, true);
    }
    static void userAt(LatLon p, double altitudeFt, bool onGround) {
        UserSnapshot u;
        u.lat = p.lat, u.lon = p.lon, u.altitudeFt = altitudeFt, u.onGround = onGround;
        gf_storeUserSnapshot(u);
        g_userPosition = u;
    }
    // A fresh run against the same site.
    void freshRun() {
        tst_resetAll();
        setenv("TRELVO_DOWNLOAD_BASE", server_.baseUrl().c_str(), 1);
        gf_setClock100ns([this] { return now_; });
        gf_readAirports();
        gf_setLogCapture(true);
    }
    // A watch whose site questions have been answered first.
    void watchAfterAnswers() {
        tst_awaitSite();
        gf_watchParkAirport(false);
    }
    static int logged(const std::string& line) {
        const std::string log = gf_capturedLog();
        int n = 0;
        for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
        return n;
    }
    int64_t now_ = 1000 * kMinute100ns;
};

// Each way the site answers: what the watch decides, what is remembered, and when it asks again.
TEST_F(StockTest, EachAnswerOfTheSiteDecidesOnceAndOnlyFailuresAreAskedAgain) {
    struct Row {
        const char* name;
        HttpFault fault;
        TransferLimits limits;  // shortened where only a time-out ends the fault
        const char* reason;     // "" when the file came; the reason of the failure otherwise
    };
    TransferLimits stall, slow;
    stall.stallMs = 200;
    slow.totalTimeoutMs = 300;
    const Row rows[] = {
        {"200", HttpFault::None, {}, ""},
        {"404", HttpFault::None, {}, "no airport file found"},
        {"500", HttpFault::ServerError, {}, "the site answered HTTP 500"},
        {"cut", HttpFault::Cut, {}, "the connection was cut after 6 bytes"},
        {"stall", HttpFault::Stall, stall, "the transfer stalled (fewer than 512 bytes a second for 0.2 s)"},
        {"700 B/s", HttpFault::Trickle, slow, "no whole answer within 0.3 s"},
        {"huge", HttpFault::Huge, {}, "the answer is larger than 32 MiB"},
        {"redirect", HttpFault::Redirect, {}, "the site answered HTTP 302 (a redirect)"},
        {"HTML page", HttpFault::Html, {}, "the answer is not a parking file"},
    };
    const std::string stockFile = tst_readFile("site/P3D/archive/stock/LSZH.xml");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        freshRun();
        userAt(kZurich, 1416, true);
        gf_setSiteLimits(row.limits);
        server_.setFault(kStockPath, row.fault);
        if (std::string_view(row.name) == "404") fs::remove("site/P3D/archive/stock/LSZH.xml");
        const int before = server_.requestCount(kStockPath);

        gf_watchParkAirport(false);  // asks and goes on
        EXPECT_EQ(g_parkAirport.code + gf_messageText() + gf_capturedLog(), "");
        watchAfterAnswers();
        const bool present = !*row.reason;
        const bool absent = std::string_view(row.name) == "404";
        EXPECT_EQ(g_parkAirport.code, present ? "LSZH" : "");
        EXPECT_EQ(gf_messageText(),
                  present  ? ""
                  : absent ? std::string(kGround) + row.reason
                           : fmt::format("{}airport file not available: {}", kGround, row.reason));
        const std::string warning =
            fmt::format("===> Download of {}{} failed: {}; tried again in 5 minutes\n", server_.baseUrl(),
                        std::string(kStockPath).substr(1), row.reason);
        EXPECT_EQ(logged(warning), present || absent ? 0 : 1);
        if (present) {
            // The file was asked for with the choice and is read at the next watch.
            watchAfterAnswers();
            EXPECT_EQ(g_stands.size(), 300u);
            EXPECT_EQ(server_.requestCount(kStockPath) - before, 2);
            continue;
        }
        // Within the back-off nothing is asked; after it only a failure is asked again, and the
        // same failure is not logged twice.
        now_ += kSiteRetryMinutes * kMinute100ns - 1;
        watchAfterAnswers();
        EXPECT_EQ(server_.requestCount(kStockPath) - before, 1);
        now_ += 1;
        watchAfterAnswers();
        watchAfterAnswers();
        EXPECT_EQ(server_.requestCount(kStockPath) - before, absent ? 1 : 2);
        EXPECT_EQ(logged(warning), absent ? 0 : 1);
        EXPECT_EQ(g_parkAirport.code, "");
        server_.setFault(kStockPath, HttpFault::None);
        tst_writeFile("site/P3D/archive/stock/LSZH.xml", stockFile);
    }
}

// While the site holds a transfer open, every watch returns at once: on the ground the closest
// airport is not chosen, in the air the chosen one is neither read nor given up. Ctrl-C ends
// the transfer (not its time-out: "stopped" is the reason).
TEST_F(StockTest, AHeldTransferNeverHoldsTheWatch) {
    for (const HttpFault fault : {HttpFault::Stall, HttpFault::Trickle}) {
        for (const bool inTheAir : {false, true}) {
            SCOPED_TRACE(fmt::format("{} {}", fault == HttpFault::Stall ? "stall" : "700 B/s",
                                     inTheAir ? "air" : "ground"));
            freshRun();
            server_.setFault(kStockPath, fault);
            if (inTheAir) {
                g_parkAirports = {{"LSZH", "", kZurich, 0}};
                userAt({kZurich.lat + 0.1, kZurich.lon}, 5000, false);
            } else {
                userAt(kZurich, 1416, true);
            }
            gf_watchParkAirport(false);
            ASSERT_TRUE(server_.awaitHolding(std::chrono::seconds(60)));
            for (int pass = 0; pass < 3; ++pass) gf_watchParkAirport(false);
            EXPECT_TRUE(server_.holding());
            EXPECT_EQ(std::make_tuple(g_parkAirport.code, g_parkLoadPending),
                      std::make_tuple(std::string(inTheAir ? "LSZH" : ""), inTheAir));
            EXPECT_EQ(gf_messageText(), "");
            g_stopRun = true;
            tst_awaitSite();
            g_stopRun = false;
            gf_watchParkAirport(false);
            EXPECT_NE(gf_capturedLog().find("failed: stopped;"), std::string::npos) << gf_capturedLog();
            EXPECT_EQ(gf_messageText(), std::string(inTheAir ? "lf_readParkedFile LSZH: " : kGround) +
                                            "airport file not available: stopped");
            EXPECT_EQ(g_parkAirport.code, "");
        }
    }
}

// The file the probe found fails to download: the park airport is given up with the cause, and
// held back (not chosen again) until the back-off is over. A working copy that cannot be
// written is named as such, not as a failed download.
TEST_F(StockTest, AFailedDownloadIsNamedAndHoldsTheAirportBack) {
    gf_watchParkAirport(false);
    tst_awaitSite();
    server_.setFault(kStockPath, HttpFault::ServerError);
    gf_watchParkAirport(false);  // chosen; its file asked for
    EXPECT_TRUE(g_parkLoadPending);
    watchAfterAnswers();
    const std::string url = server_.baseUrl() + std::string(kStockPath).substr(1);
    EXPECT_EQ(gf_messageText(), fmt::format("failed to download: '{}': the site answered HTTP 500", url));
    EXPECT_EQ(g_parkAirport.code, "");
    watchAfterAnswers();
    EXPECT_EQ(gf_messageText(),
              fmt::format("{}airport file not available: the site answered HTTP 500", kGround));
    EXPECT_EQ(g_parkAirport.code, "");

    server_.setFault(kStockPath, HttpFault::None);
    fs::create_directories("airports/park_airport.xml");  // the working copy cannot be written
    now_ += kSiteRetryMinutes * kMinute100ns;
    watchAfterAnswers();
    EXPECT_EQ(g_parkAirport.code, "LSZH");
    watchAfterAnswers();
    const std::string notWritten = "airports/park_airport.xml could not be written: ";
    EXPECT_EQ(gf_messageText().substr(0, gf_messageText().rfind(": ") + 2),
              fmt::format("'{}' came, but {}", url, notWritten));
    EXPECT_EQ(g_parkAirport.code, "");
    watchAfterAnswers();
    EXPECT_EQ(gf_messageText().substr(0, gf_messageText().rfind(": ") + 2),
              fmt::format("{}airport file not available: {}", kGround, notWritten));
    EXPECT_EQ(g_parkAirport.code, "");
}

// On the ground between two airports the stand nearest to the user decides; the neighbour's
// stand comes from the site, and no airport is chosen before it has come.
TEST_F(StockTest, TheClosestAirportWaitsForTheNeighboursFile) {
    gf_resetAirports();
    tst_installAirportsXml(R"(<airports><airport code="LSZH" lat="47.4647" lon="8.54917" alt="1416"/>
                              <airport code="LSZA" lat="47.4647" lon="8.595" alt="1400"/></airports>)");
    gf_readAirports();
    const std::string altitude = R"(<parameter name="altitude" value="1416"/>)";
    tst_writeFile(
        "airports/my_thirdparty/LSZH.xml",
        tst_apfXml(altitude, R"(<parkpos id="H1" latitude="47.4647" longitude="8.54917" radius="30"/>)"));
    tst_writeFile(
        "site/P3D/archive/stock/LSZA.xml",
        tst_apfXml(altitude, R"(<parkpos id="X1" latitude="47.4647" longitude="8.565" radius="30"/>)"));
    userAt({47.4647, 8.565}, 1416, true);  // 0.64 nm from LSZH, 1.2 nm from LSZA, on LSZA's stand
    for (int pass = 0; pass < 2; ++pass) {
        watchAfterAnswers();
        EXPECT_EQ(g_parkAirport.code, "") << pass;
    }
    watchAfterAnswers();
    EXPECT_EQ(g_parkAirport.code, "LSZA");
}

// An airport code becomes part of a file name or an address only when it is plain; the off-line
// learning check writes no file at all.
TEST_F(StockTest, OnlyPlainCodesReachTheSiteAndNoLocalFileIsWritten) {
    // The characters either side of each range ('@' 'A'..'Z' '[', '`' 'a'..'z' '{', '/' '0'..'9' ':').
    const std::pair<const char*, bool> codes[] = {
        {"LSZH", true},  {"K1", true},         {"ABCD1234", true}, {"az09", true},
        {"A", false},    {"ABCDE1234", false}, {"../LSZH", false}, {"LS ZH", false},
        {"", false},     {"LSZH.xml", false},  {"LS@H", false},    {"LS[H", false},
        {"LS`H", false}, {"LS{H", false},      {"LS/H", false},    {"LS:H", false}};
    for (const auto& [code, plain] : codes) EXPECT_EQ(gf_isPlainAirportCode(code), plain) << code;
    tst_writeFile("parameters.xml", "<parameters/>");
    EXPECT_EQ(gf_probeStockApf("parameters").state, SiteState::Absent);
    EXPECT_EQ(gf_checkStockApfForLearning("parameters"), StockCheck::Unsuitable);
    EXPECT_EQ(server_.requestCount(), 0);
    EXPECT_EQ(tst_readFile("parameters.xml"), "<parameters/>");
    EXPECT_EQ(gf_checkStockApfForLearning("LSZH"), StockCheck::Unsuitable);  // no quality factor
    server_.setFault(kStockPath, HttpFault::Cut);
    EXPECT_EQ(gf_checkStockApfForLearning("LSZH"), StockCheck::TransferFailed);
    EXPECT_EQ(gf_checkStockApfForLearning("EDDF"), StockCheck::Unsuitable);  // not on the site
    EXPECT_FALSE(fs::exists("LSZH.xml") || fs::exists("EDDF.xml"));
}

// Ctrl-C while the start-up's learning check waits for a stalled site ends that transfer.
TEST_F(StockTest, CtrlCEndsTheLearningChecksTransfer) {
    server_.setFault(kStockPath, HttpFault::Stall);
    std::thread ctrlC([this] {
        server_.awaitHolding(std::chrono::seconds(60));
        g_stopRun = true;
    });
    EXPECT_EQ(gf_checkStockApfForLearning("LSZH"), StockCheck::TransferFailed);
    ctrlC.join();
    EXPECT_NE(gf_capturedLog().find("===> Failed to download LSZH.xml: stopped\n"), std::string::npos)
        << gf_capturedLog();
}

// Asking ahead for a file never takes an answer that came: the read that follows finds it.
TEST_F(StockTest, AskingAheadLeavesTheAnswerToTheRead) {
    const char* sitePath = "archive/stock/LSZH.xml";
    gf_askSiteFile(sitePath);
    tst_awaitSite();
    gf_askSiteFile(sitePath);
    EXPECT_EQ(lf_downloadFile(sitePath, "copy.xml"), std::optional<std::string>(""));
    EXPECT_EQ(tst_readFile("copy.xml"), tst_readFile("site/P3D/archive/stock/LSZH.xml"));
    EXPECT_EQ(server_.requestCount(kStockPath), 1);
}

// A file asked for in a run that ended is not handed to the next run: that one asks the site
// again and gets the file as it is now.
TEST_F(StockTest, AnAnswerOfAnEndedRunIsNotTakenInTheNext) {
    const char* sitePath = "archive/stock/LSZH.xml";
    gf_askSiteFile(sitePath);
    tst_awaitSite();
    freshRun();
    tst_writeFile("site/P3D/archive/stock/LSZH.xml",
                  tst_apfXml(R"(<parameter name="altitude" value="1417"/>)", ""));
    EXPECT_EQ(lf_downloadFile(sitePath, "copy.xml"), std::nullopt) << "asked anew";
    tst_awaitSite();
    EXPECT_EQ(lf_downloadFile(sitePath, "copy.xml"), std::optional<std::string>(""));
    EXPECT_EQ(tst_readFile("copy.xml"), tst_readFile("site/P3D/archive/stock/LSZH.xml"));
    EXPECT_EQ(server_.requestCount(kStockPath), 2);
}

// What the worker takes of a 200 answer is what the reader loads from the file it is written to.
// A parse that stops at a NUL byte would pass a copy's parse yet fail the reader's when the
// body ends in '<'.
TEST_F(StockTest, OnlyWhatTheReaderLoadsIsTakenAsAParkingFile) {
    using namespace std::string_literals;
    const std::string meta = R"(<meta><info name="author" value="x"/></meta>)";
    const struct {
        const char* name;
        std::string body;
        bool taken;
    } rows[] = {
        {"stock file", tst_apfXml(R"(<parameter name="altitude" value="1416"/>)", ""), true},
        {"meta alone", meta, true},
        {"HTML page", "<html><body><h1>Not Found</h1></body></html>", false},
        {"empty", "", false},
        {"cut short", meta.substr(0, meta.size() - 3), false},
        {"NUL, then an open tag at the end", meta + "x\0<"s, false},
        {"NUL, then text at the end", meta + "x\0d"s, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(gf_isParkingFile(row.body), row.taken);
        tst_writeFile("answer.xml", row.body);
        ApfSource source;
        pugi::xml_document doc;
        std::string reason;
        EXPECT_EQ(gf_loadApfDocument("answer.xml", source, doc, reason) && doc.child("meta"), row.taken)
            << reason;
    }
}

}  // namespace
