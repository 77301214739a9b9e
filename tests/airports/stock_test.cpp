#include "airports/stock.h"

#include "airports/apf_fixture.h"

namespace {

constexpr const char* kLszhPath = "/P3D/archive/stock/LSZH.xml";

using StockTest = ApfSiteTest;

TEST_F(StockTest, EveryOutcomeIsFetchedOncePerRun) {
    struct Row {
        HttpFault fault;
        bool available;
    } rows[] = {{HttpFault::None, true},
                {HttpFault::ServerError, false},
                {HttpFault::Cut, false},
                {HttpFault::Stall, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.fault));
        gf_resetSiteCache();
        std::filesystem::remove("copy.xml");
        server_.setFault(kLszhPath, r.fault);
        int before = server_.requestCount(kLszhPath);
        EXPECT_EQ(lf_fetchStockApf("LSZH"), r.available);
        EXPECT_FALSE(std::filesystem::exists("LSZH.xml"));
        // The probe's answer serves the next probes and the download of the same file.
        EXPECT_EQ(lf_fetchStockApf("LSZH"), r.available);
        EXPECT_EQ(lf_downloadFile("archive/stock/LSZH.xml", "copy.xml").empty(), r.available);
        EXPECT_EQ(server_.requestCount(kLszhPath) - before, 1);
        EXPECT_EQ(tst_readFile("copy.xml"), r.available ? "<meta/>" : "");
    }
    EXPECT_EQ(gf_siteTransferCount(), 1);
}

TEST_F(StockTest, MissingFileIsNotAskedForAgainAndNamesTheAddress) {
    EXPECT_FALSE(lf_fetchStockApf("EDDF"));
    EXPECT_FALSE(lf_fetchStockApf("EDDF"));
    EXPECT_FALSE(std::filesystem::exists("EDDF.xml"));
    EXPECT_EQ(server_.requestCount("/P3D/archive/stock/EDDF.xml"), 1);
    gf_setLogCapture(false);
    gf_setLogCapture(true);
    EXPECT_EQ(lf_downloadFile("archive/thirdparty/A%20B/EDDF.xml", "x.xml"),
              fmt::format("failed to download: '{}'", url("/P3D/archive/thirdparty/A%20B/EDDF.xml")));
    EXPECT_EQ(gf_capturedLog(), fmt::format("failed to download: '{}'\n", url("/P3D/archive/thirdparty/A%20B/EDDF.xml")));
}

TEST_F(StockTest, OfflineLearningNeedsAQualityFactorAndThirtyOneWeeks) {
    struct Row {
        const char* params;
        bool suitable;
    } rows[] = {
        {R"(<parameter name="Qf_real" value="-1"/><parameter name="Qf_soft" value="0"/>
            <parameter name="RT_traffic_week" value="31"/>)", true},
        {R"(<parameter name="Qf_real" value="50"/><parameter name="RT_traffic_week" value="30"/>)", false},
        {R"(<parameter name="RT_traffic_week" value="40"/>)", false},
        {R"(<parameter name="Qf_real" value="5"/>)", false},
    };
    int n = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.params);
        std::string code = fmt::format("LS{:02}", n++);
        tst_writeFile(fmt::format("site/P3D/archive/stock/{}.xml", code), fmt::format("<parameters>{}</parameters>", r.params));
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        EXPECT_EQ(gf_checkStockApfForLearning(code), r.suitable);
        std::string expected = url("/P3D/archive/stock/") + code + ".xml\n";
        if (!r.suitable) expected += fmt::format("===> {} not suitable for offline learning\n", code);
        EXPECT_EQ(gf_capturedLog(), expected);
        EXPECT_FALSE(std::filesystem::exists(code + ".xml"));
    }
    gf_setLogCapture(false);
    gf_setLogCapture(true);
    server_.setFault("/P3D/archive/stock/LS00.xml", HttpFault::ServerError);
    EXPECT_TRUE(gf_checkStockApfForLearning("LS00"));  // the run's copy, not a second transfer
    EXPECT_FALSE(gf_checkStockApfForLearning("LSXX"));
    EXPECT_EQ(gf_capturedLog(), url("/P3D/archive/stock/LS00.xml") + "\n" + url("/P3D/archive/stock/LSXX.xml") +
                                    "\n===> Failed to download LSXX.xml\n");
}

}  // namespace
