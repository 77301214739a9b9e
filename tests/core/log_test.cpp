#include "core/log.h"

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/params.h"
#include "support/work_folder.h"

namespace {

class LogTest : public WorkFolderTest {};

TEST_F(LogTest, FirstLineAndPrefixes) {
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733500800)); });  // Fri Dec 06 2024 16:00 UTC
    ASSERT_TRUE(gf_openLog("Trelvo", "1.2.3", "P3D v5"));
    gf_logLine("plain");
    gf_logWarning("careful");
    gf_logIndented("inner");
    LOG.set(false);
    gf_logDetail("hidden");
    LOG.set(true);
    gf_logDetail("shown");
    gf_closeLog();
    EXPECT_EQ(tst_readFile("Log.txt"),
              "Fri Dec 06 16:00:00 2024 (utc) Trelvo version 1.2.3 for P3D v5\n"
              "plain\n===> careful\n          inner\nshown\n");
}

TEST_F(LogTest, RotatesTwoGenerations) {
    tst_writeFile("Log.txt", "newest\n");
    tst_writeFile("Log0.txt", "older\n");
    tst_writeFile("Log00.txt", "oldest\n");
    ASSERT_TRUE(gf_openLog("Trelvo", "1", "P3D v5"));
    gf_closeLog();
    EXPECT_EQ(tst_readFile("Log00.txt"), "older\n");
    EXPECT_EQ(tst_readFile("Log0.txt"), "newest\n");
    EXPECT_NE(tst_readFile("Log.txt").find("(utc) Trelvo version 1 for P3D v5"), std::string::npos);
}

TEST_F(LogTest, ClosedLogWritesNothing) {
    gf_logLine("lost");
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
}

TEST_F(LogTest, LogStampMarksSimulatorTime) {
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(3600 * 5 + 60 * 7 + 9)); });
    EXPECT_EQ(gf_logStamp(), "05:07:09");
    gf_setSimTimeInUse(true);
    EXPECT_EQ(gf_logStamp(), "05:07:09*");
}

}  // namespace
