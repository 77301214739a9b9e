#include "feed/feed_state.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/work_folder.h"

namespace {

class FeedStateTest : public WorkFolderTest {};

TEST_F(FeedStateTest, QnhIsClampedAndNonFiniteIgnored) {
    EXPECT_EQ(g_qnh.load(), 1013);
    const std::pair<double, double> rows[] = {{899.9, 900}, {1100, 1100},         {1100.1, 1100},
                                              {0, 900},     {std::nan(""), 900},  {1e9, 1100},
                                              {987, 987},   {-std::numeric_limits<double>::infinity(), 987}};
    for (auto [in, expected] : rows) {
        gf_setQnh(in);
        EXPECT_EQ(g_qnh.load(), expected) << in;
    }
}

// Gathering collects only while on; the take-over switches it off. Both resets clear it all.
TEST_F(FeedStateTest, GatheringAndResets) {
    gf_gatherCallsign("EZY12AB", 0x400001);  // off: ignored
    gf_startCallsignGathering();
    EXPECT_TRUE(gf_callsignGatheringOn());
    gf_gatherCallsign("SWR12", 0x4b1805);
    gf_gatherCallsign("", 0x4b1806);  // no callsign: only the hexid counts
    GatheredCallsigns taken = gf_takeGatheredCallsigns();
    EXPECT_FALSE(gf_callsignGatheringOn());
    EXPECT_EQ(taken.callsigns, (std::unordered_set<std::string>{"SWR12"}));
    EXPECT_EQ(taken.hexids, (std::unordered_set<uint32_t>{0x4b1805, 0x4b1806}));
    for (void (*reset)() : {&gf_resetFeedState, &gf_resetFeedStateProcess}) {
        gf_setQnh(950);
        gf_setTrafficTime(1700000000.5);
        gf_setParkAirportSet(true);
        gf_setParkAirportElevation(1416.0);
        EXPECT_EQ(gf_parkAirportElevationFt(), std::optional<double>(1416.0));
        gf_startCallsignGathering();
        gf_gatherCallsign("SWR12", 0x4b1805);
        reset();
        EXPECT_EQ(g_qnh.load(), 1013);
        EXPECT_EQ(gf_trafficTime(), 0);
        EXPECT_FALSE(gf_parkAirportSet());
        EXPECT_FALSE(gf_parkAirportElevationFt().has_value());
        EXPECT_FALSE(gf_callsignGatheringOn());
        EXPECT_TRUE(gf_takeGatheredCallsigns().hexids.empty());
    }
}

}  // namespace
