#include "airports/stock.h"

#include "airports/apf_fixture.h"

namespace {

using StockTest = ApfSiteTest;
constexpr const char* kLszhPath = "/P3D/archive/stock/LSZH.xml";

TEST_F(StockTest, EveryOutcomeIsFetchedOncePerRun) {
    const std::pair<HttpFault, bool> rows[] = {
        {HttpFault::None, true}, {HttpFault::ServerError, false}, {HttpFault::Cut, false}, {HttpFault::Stall, false}};
    for (const auto& [fault, available] : rows) {
        SCOPED_TRACE(static_cast<int>(fault));
        gf_resetSiteCache();
        std::filesystem::remove("copy.xml");
        server_.setFault(kLszhPath, fault);
        int before = server_.requestCount(kLszhPath);
        EXPECT_EQ(lf_fetchStockApf("LSZH"), available);
        EXPECT_FALSE(std::filesystem::exists("LSZH.xml"));
        // The probe's answer serves the next probes and the download of the same file.
        EXPECT_EQ(lf_fetchStockApf("LSZH"), available);
        EXPECT_EQ(lf_downloadFile("archive/stock/LSZH.xml", "copy.xml").empty(), available);
        EXPECT_EQ(server_.requestCount(kLszhPath) - before, 1);
        EXPECT_EQ(tst_readFile("copy.xml"), available ? "<meta/>" : "");
    }
    std::string missing = url("/P3D/archive/thirdparty/A%20B/EDDF.xml");
    EXPECT_EQ(lf_downloadFile("archive/thirdparty/A%20B/EDDF.xml", "x.xml"), "failed to download: '" + missing + "'");
    EXPECT_EQ(gf_siteTransferCount(), 2);
}

TEST_F(StockTest, OfflineLearningNeedsAQualityFactorAndThirtyOneWeeks) {
    const std::pair<const char*, bool> rows[] = {
        {R"(<parameter name="Qf_real" value="-1"/><parameter name="Qf_soft" value="0"/>
            <parameter name="RT_traffic_week" value="31"/>)", true},
        {R"(<parameter name="Qf_real" value="50"/><parameter name="RT_traffic_week" value="30"/>)", false},
        {R"(<parameter name="RT_traffic_week" value="40"/>)", false},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].first);
        std::string code = fmt::format("LS0{}", i);
        tst_writeFile(fmt::format("site/P3D/archive/stock/{}.xml", code), fmt::format("<parameters>{}</parameters>", rows[i].first));
        EXPECT_EQ(gf_checkStockApfForLearning(code), rows[i].second);
        EXPECT_FALSE(std::filesystem::exists(code + ".xml"));
    }
    gf_setLogCapture(false);
    gf_setLogCapture(true);
    server_.setFault("/P3D/archive/stock/LS00.xml", HttpFault::ServerError);
    EXPECT_TRUE(gf_checkStockApfForLearning("LS00"));  // the run's copy, not a second transfer
    EXPECT_FALSE(gf_checkStockApfForLearning("LS01"));
    EXPECT_FALSE(gf_checkStockApfForLearning("LSXX"));
    EXPECT_EQ(gf_capturedLog(), url("/P3D/archive/stock/LS00.xml") + "\n" + url("/P3D/archive/stock/LS01.xml") +
                                    "\n===> LS01 not suitable for offline learning\n" +
                                    url("/P3D/archive/stock/LSXX.xml") + "\n===> Failed to download LSXX.xml\n");
}

}  // namespace
