#include "core/download.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include <fmt/format.h>

#include <gtest/gtest.h>

#include "core/log.h"
#include "support/http_server.h"
#include "support/work_folder.h"

namespace fs = std::filesystem;

namespace {

class DownloadTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_setLogCapture(true);
        tst_writeFile("site/P3D/archive/stock/EDDF.xml", "<parkpositions>\n</parkpositions>\n");
        std::string binary;
        for (int i = 0; i < 70000; ++i) binary.push_back(static_cast<char>(i * 7 & 0xff));
        tst_writeFile("site/P3D/input/dbase.enc", binary);
        server_ = std::make_unique<HttpServer>(folder_ / "site");
        ASSERT_TRUE(server_->start());
        handle_ = curl_easy_init();
        ASSERT_NE(handle_, nullptr);
    }
    void TearDown() override {
        curl_easy_cleanup(handle_);
        server_.reset();
        WorkFolderTest::TearDown();
    }
    std::unique_ptr<HttpServer> server_;
    CURL* handle_ = nullptr;
};

TEST_F(DownloadTest, TextAndBinaryFiles) {
    struct Row {
        const char* path;
        const char* local;
        bool binary;
    };
    const Row rows[] = {
        {"archive/stock/EDDF.xml", "EDDF.xml", false},
        {"input/dbase.enc", "dbase.enc", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        std::string url = server_->baseUrl() + "P3D/" + row.path;
        EXPECT_TRUE(gf_download(handle_, url, row.local, row.binary));
        EXPECT_EQ(tst_readFile(row.local), tst_readFile(fs::path("site/P3D") / row.path));
        EXPECT_EQ(server_->lastUserAgent(), "TRLV");
    }
    EXPECT_EQ(server_->requestCount(), 2);
    EXPECT_EQ(gf_capturedLog(), "");
}

TEST_F(DownloadTest, NotFoundFailsAndLeavesTheFile) {
    tst_writeFile("LOWW.xml", "older content");
    EXPECT_FALSE(gf_download(handle_, server_->baseUrl() + "P3D/archive/stock/LOWW.xml", "LOWW.xml", false));
    EXPECT_TRUE(fs::exists("LOWW.xml"));
    EXPECT_EQ(tst_readFile("LOWW.xml"), "");
    EXPECT_EQ(server_->requestCount(), 1);
}

TEST_F(DownloadTest, DeadPortFails) {
    int port = tst_deadLocalPort();
    ASSERT_NE(port, 0);
    EXPECT_FALSE(gf_download(handle_, fmt::format("http://127.0.0.1:{}/P3D/x.xml", port), "x.xml", false));
    EXPECT_TRUE(fs::exists("x.xml"));
}

TEST_F(DownloadTest, NoHandleFailsAtOnce) {
    EXPECT_FALSE(gf_download(nullptr, server_->baseUrl() + "P3D/input/dbase.enc", "dbase.enc", true));
    EXPECT_FALSE(fs::exists("dbase.enc"));
    EXPECT_EQ(server_->requestCount(), 0);
}

TEST_F(DownloadTest, UnopenableLocalPathFails) {
    EXPECT_FALSE(gf_download(handle_, server_->baseUrl() + "P3D/input/dbase.enc", "no/such/dbase.enc", true));
    EXPECT_EQ(gf_capturedLog(), "Could not open output file: no/such/dbase.enc\n");
    EXPECT_EQ(server_->requestCount(), 0);
}

// The setting, with or without its closing slash, names the folder above "P3D/".
TEST_F(DownloadTest, BaseUrlReachesTheServedFolder) {
    std::string base = server_->baseUrl();
    if (base.ends_with('/')) base.pop_back();
    setenv("TRELVO_DOWNLOAD_BASE", base.c_str(), 1);
    EXPECT_EQ(gf_downloadBaseUrl(), base + "/P3D/");
    EXPECT_TRUE(gf_download(handle_, gf_downloadBaseUrl() + "archive/stock/EDDF.xml", "EDDF.xml", false));
    EXPECT_EQ(tst_readFile("EDDF.xml"), "<parkpositions>\n</parkpositions>\n");
}

}  // namespace
