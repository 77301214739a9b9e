#include "core/random.h"

#include <array>
#include <future>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "support/work_folder.h"

namespace {

class RandomTest : public WorkFolderTest {};

using Texts = std::vector<std::string>;

// Each thread draws from its own standard engine; the draws of others do not advance it.
TEST_F(RandomTest, EveryThreadHasItsOwnStandardEngine) {
    gf_seedRandom(7);
    std::mt19937 reference(7);
    auto drawsOfSeededThread = [] {
        gf_seedRandom(7);
        return std::array<uint32_t, 3>{gf_nextRandom(), gf_nextRandom(), gf_nextRandom()};
    };
    auto a = std::async(std::launch::async, drawsOfSeededThread);
    auto b = std::async(std::launch::async, drawsOfSeededThread);
    const auto da = a.get();
    EXPECT_EQ(da, b.get());
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(gf_nextRandom(), reference()) << i;
    EXPECT_EQ(da[0], std::mt19937(7)());
    gf_resetRandom();  // seeded from the system: 8 draws matching the old sequence are a 2^-256 chance
    bool allSame = true;
    for (int i = 0; i < 8; ++i) allSame = allSame && gf_nextRandom() == reference();
    EXPECT_FALSE(allSame);
}

TEST_F(RandomTest, VariationSignComesFromTheLowestBit) {
    std::mt19937 reference(11);
    gf_seedRandom(11);
    for (int i = 0; i < 64; ++i) EXPECT_DOUBLE_EQ(gf_randomVariation(100.0, 10.0), reference() & 1u ? 110.0 : 90.0);
    // No draw for a percent not above zero.
    for (double percent : {0.0, -5.0, std::nan("")}) EXPECT_EQ(gf_randomVariation(250.0, percent), 250.0);
    EXPECT_EQ(gf_nextRandom(), reference());
}

// Every order of three comes about alike; lists of fewer than two elements take no draw.
TEST_F(RandomTest, ShuffleReachesEveryOrderAlike) {
    gf_seedRandom(12345);
    std::map<Texts, int> seen;
    for (int i = 0; i < 6000; ++i) {
        Texts list{"x", "y", "z"};
        gf_shuffle(list);
        ++seen[list];
    }
    ASSERT_EQ(seen.size(), 6u);
    for (const auto& [order, count] : seen) EXPECT_NEAR(count, 1000, 150);
    gf_seedRandom(9);
    Texts one{"only"};
    gf_shuffle(one);
    EXPECT_EQ(gf_nextRandom(), std::mt19937(9)());
}

}  // namespace
