#include "platform/single_instance.h"

#include "support/work_folder.h"

namespace {

class SingleInstanceTest : public WorkFolderTest {};

TEST_F(SingleInstanceTest, SecondHolderIsRefusedUntilTheFirstLetsGo) {
    const auto file = folder_ / g_instanceLockFile;
    {
        SingleInstanceLock first, second;
        ASSERT_TRUE(first.acquire(file));
        EXPECT_TRUE(first.held());
        EXPECT_FALSE(second.acquire(file));
        EXPECT_FALSE(second.held());
    }
    SingleInstanceLock third, lost;
    EXPECT_TRUE(third.acquire(file));
    EXPECT_FALSE(lost.acquire(folder_ / "no-such-folder" / g_instanceLockFile));
}

}  // namespace
