#include "airports/apf_save.h"

#include <csignal>
#include <sys/resource.h>

#include "airports/apf_fixture.h"
#include "airports/apf_read.h"
#include "airports/learned.h"
#include "airports/park_airports.h"
#include "airports/stand_options.h"
#include "airports/stock.h"
#include "platform/window_model.h"
#include "support/stand_builders.h"

namespace {

constexpr const char* kPath = "airports/learned/stock/LSZH.xml";

class ApfSaveTest : public ApfTest {
protected:
    void SetUp() override {
        ApfTest::SetUp();
        g_parkAirport.code = "LSZH";
        g_parkFileHeader = {"Zurich", "stock", 1416};
        tst_addStands({{"A1", 0, 0, 20}, {"A2", 100, 0, 20}, {"B1", 200, 0, 20}});
        // A1: one option of the archived file, one learned; A2: archived only; B1: radius learned.
        g_stands[0].options.emplace_back("SWR1", "", "SWR", "A320", "HB-JLT", 0b0110, 1, 3, 1, 1);
        g_stands[0].options.emplace_back("EZY7", "EZY8", "EZY", "A320", "G-EZAA", 0b1000, 2, 5, 0, 0);
        g_stands[1].options.emplace_back("DLH3", "", "DLH", "A320", "D-AIAB", 0b1, 1, 1, 1, 1);
        g_stands[2].radius_change = true;
    }
};

TEST_F(ApfSaveTest, KeepsOnlyWhatWasLearnedAndReadsBack) {
    g_parkFileUpdates = 3;
    gf_saveApf();
    EXPECT_EQ(gf_messageText(), "16:00:00 'airports/learned/stock/LSZH.xml' saved with 3 updates ");
    EXPECT_EQ(g_stands[0].options.size(), 1u);  // the archived option left the stands too
    EXPECT_TRUE(g_stands[1].options.empty());
    EXPECT_EQ(g_parkFileUpdates, 0);
    const std::string text = tst_readFile(kPath);
    EXPECT_EQ(text.find("id=\"A2\""), std::string::npos);  // nothing learned there: not written
    EXPECT_NE(text.find("<info name=\"simulator\" value=\"P3D\" />"), std::string::npos);
    // The next run reads the archived stands again and merges the learned file on top.
    gf_clearStands();
    tst_addStands({{"A1", 0, 0, 20}, {"A2", 100, 0, 20}, {"B1", 200, 0, 20}}, false);
    const double radius = g_stands[2].radius;
    lf_readLearned(kPath, "Zurich");
    ASSERT_EQ(g_stands[0].options.size(), 1u);
    const StandOption& o = g_stands[0].options[0];
    EXPECT_EQ(std::make_tuple(o.callsign, o.callsign2, o.reg, o.hh, o.day, o.real, o.origin),
              std::make_tuple("EZY7", "EZY8", "G-EZAA", 0b1000ull, 5u, 0u, 0u));
    EXPECT_TRUE(g_stands[1].options.empty());
    EXPECT_TRUE(g_stands[2].radius_change);
    EXPECT_DOUBLE_EQ(g_stands[2].radius, radius);
}

TEST_F(ApfSaveTest, ReportsCountsHandmadeParameterChangesAndPublisherFolders) {
    const std::tuple<int32_t, bool, bool, const char*> rows[] = {  // updates, handmade, parameters changed
        {2, true, false, "16:00:00 handmade 'airports/learned/stock/LSZH.xml' saved with 2 updates "},
        {1, false, false, "16:00:00 'airports/learned/stock/LSZH.xml' saved with 1 update "},
        {0, false, true, "16:00:00 'airports/learned/stock/LSZH.xml' saved with 0 updates and one or more parameter changes"},
    };
    for (const auto& [updates, handmade, changed, message] : rows) {
        SCOPED_TRACE(message);
        g_parkFileUpdates = updates, g_apfHandmade = handmade, g_parkParamsChanged = changed;
        gf_saveApf();
        EXPECT_EQ(gf_messageText(), message);
        EXPECT_FALSE(g_parkParamsChanged);
        // Handmade: every stand with every option and the quality factors.
        const std::string text = tst_readFile(kPath);
        EXPECT_EQ(text.find("DLH3") != std::string::npos, handmade);
        EXPECT_EQ(text.find("name=\"Qf_real\"") != std::string::npos, handmade);
    }
    g_parkFileHeader.publisher = "Fly Tampa";
    gf_saveApf();
    EXPECT_EQ(gf_messageText(), "16:00:00 'airports/learned/thirdparty/Fly Tampa/LSZH.xml' saved with 0 updates ");
    EXPECT_FALSE(tst_readFile("airports/learned/thirdparty/Fly Tampa/LSZH.xml").empty());
}

TEST_F(ApfSaveTest, FailedSaveKeepsTheOldFileAndSaysSo) {
    const std::string old = std::string("<old/>") + std::string(100, ' ');
    tst_writeFile(kPath, old);
    g_parkFileUpdates = 4;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{300, 300};  // the write beyond fails
    setrlimit(RLIMIT_FSIZE, &limit);
    gf_saveApf();
    limit = {RLIM_INFINITY, RLIM_INFINITY};
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(gf_messageText(), "16:00:00 saving 'airports/learned/stock/LSZH.xml' did not succeed");
    EXPECT_EQ(tst_readFile(kPath), old);
    EXPECT_FALSE(std::filesystem::exists(std::string(kPath) + ".tmp"));
    EXPECT_EQ(g_parkFileUpdates, 0);
}

TEST_F(ApfSiteTest, StockFilesAreFetchedOncePerRun) {
    constexpr const char* kLszh = "/P3D/archive/stock/LSZH.xml";
    for (const auto& [fault, available] : {std::pair{HttpFault::None, true}, {HttpFault::ServerError, false},
                                           {HttpFault::Cut, false}, {HttpFault::Stall, false}}) {
        SCOPED_TRACE(static_cast<int>(fault));
        gf_resetSiteCache();
        std::filesystem::remove("copy.xml");
        server_.setFault(kLszh, fault);
        const int before = server_.requestCount(kLszh);
        EXPECT_EQ(lf_fetchStockApf("LSZH"), available);
        EXPECT_FALSE(std::filesystem::exists("LSZH.xml"));
        // The probe's answer serves the next probes and the download of the same file.
        EXPECT_EQ(lf_fetchStockApf("LSZH"), available);
        EXPECT_EQ(lf_downloadFile("archive/stock/LSZH.xml", "copy.xml").empty(), available);
        EXPECT_EQ(server_.requestCount(kLszh) - before, 1);
        EXPECT_EQ(tst_readFile("copy.xml"), available ? "<meta/>" : "");
    }
    EXPECT_EQ(lf_downloadFile("archive/thirdparty/A%20B/EDDF.xml", "x.xml"),
              "failed to download: '" + url("/P3D/archive/thirdparty/A%20B/EDDF.xml") + "'");
    EXPECT_EQ(gf_siteTransferCount(), 2);
}

}  // namespace
