#include "platform/single_instance.h"

#include "support/work_folder.h"

namespace {

class SingleInstanceTest : public WorkFolderTest {};

TEST_F(SingleInstanceTest, SecondHolderIsRefusedUntilTheFirstLetsGo) {
    auto file = folder_ / g_instanceLockFile;
    {
        SingleInstanceLock first;
        ASSERT_TRUE(first.acquire(file));
        EXPECT_TRUE(first.held());

        SingleInstanceLock second;
        EXPECT_FALSE(second.acquire(file));
        EXPECT_FALSE(second.held());
    }
    SingleInstanceLock third;
    EXPECT_TRUE(third.acquire(file));
}

TEST_F(SingleInstanceTest, MissingFolderRefusesTheLock) {
    SingleInstanceLock lock;
    EXPECT_FALSE(lock.acquire(folder_ / "no-such-folder" / g_instanceLockFile));
    EXPECT_FALSE(lock.held());
}

}  // namespace
