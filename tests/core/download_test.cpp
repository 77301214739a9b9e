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

class DownloadTest : public WorkFolderTest {};

TEST_F(DownloadTest, FilesComeWholeAndFailuresLeaveNoContent) {
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
    EXPECT_FALSE(fs::exists("none.enc"));
    EXPECT_FALSE(gf_download(handle, gf_downloadBaseUrl() + "input/dbase.enc", "no/such/dbase.enc", true));
    EXPECT_EQ(server.requestCount(), 3);
    EXPECT_EQ(gf_capturedLog(), "Could not open output file: no/such/dbase.enc\n");
    curl_easy_cleanup(handle);
}

}  // namespace
