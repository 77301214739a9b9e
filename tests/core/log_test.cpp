#include "core/log.h"

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/params.h"
#include "support/work_folder.h"

namespace {

class LogTest : public WorkFolderTest {};

// The log keeps two older generations; nothing is written before it is opened.
TEST_F(LogTest, FirstLinePrefixesAndRotation) {
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

}  // namespace
