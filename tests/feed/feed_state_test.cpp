#include "feed/feed_state.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/work_folder.h"

namespace {

class FeedStateTest : public WorkFolderTest {};

TEST_F(FeedStateTest, QnhIsClampedAndNonFiniteIgnored) {
    struct Row {
        double in;
        double expected;
    };
    const Row rows[] = {
        {1013.25, 1013.25},
        {899.9, 900},
        {900, 900},
        {1100, 1100},
        {1100.1, 1100},
        {0, 900},
        {1e9, 1100},
        {std::nan(""), 1100},  // kept from the row before
        {-std::numeric_limits<double>::infinity(), 1100},
        {987, 987},
    };
    EXPECT_EQ(g_qnh.load(), 1013);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        gf_setQnh(row.in);
        EXPECT_EQ(g_qnh.load(), row.expected);
    }
}

TEST_F(FeedStateTest, ResetsRestoreEveryValue) {
    using ResetFn = void (*)();
    for (ResetFn reset : {&gf_resetFeedState, &gf_resetFeedStateProcess}) {
        gf_setQnh(950);
        gf_setTrafficTime(1700000000.5);
        gf_setParkAirportSet(true);
        gf_setParkAirportElevation(1416.0);
        gf_startCallsignGathering();
        gf_gatherCallsign("SWR12", 0x4b1805);
        reset();
        EXPECT_EQ(g_qnh.load(), 1013);
        EXPECT_EQ(gf_trafficTime(), 0);
        EXPECT_FALSE(gf_parkAirportSet());
        EXPECT_FALSE(gf_parkAirportElevationFt().has_value());
        EXPECT_FALSE(gf_callsignGatheringOn());
        GatheredCallsigns taken = gf_takeGatheredCallsigns();
        EXPECT_TRUE(taken.callsigns.empty());
        EXPECT_TRUE(taken.hexids.empty());
    }
}

TEST_F(FeedStateTest, ParkAirportSettersAndClear) {
    gf_setParkAirportSet(true);
    EXPECT_TRUE(gf_parkAirportSet());
    EXPECT_FALSE(gf_parkAirportElevationFt().has_value());  // a parking file without "altitude"
    gf_setParkAirportElevation(1416.0);
    EXPECT_EQ(gf_parkAirportElevationFt(), std::optional<double>(1416.0));
    gf_clearParkAirport();
    EXPECT_FALSE(gf_parkAirportSet());
    EXPECT_FALSE(gf_parkAirportElevationFt().has_value());
}

TEST_F(FeedStateTest, GatheringCollectsOnlyWhileOnAndTakeOverSwitchesItOff) {
    gf_gatherCallsign("EZY12AB", 0x400001);  // off: ignored
    gf_startCallsignGathering();
    EXPECT_TRUE(gf_callsignGatheringOn());
    gf_gatherCallsign("SWR12", 0x4b1805);
    gf_gatherCallsign("SWR12", 0x4b1805);
    gf_gatherCallsign("", 0x4b1806);  // no callsign: only the hexid counts
    gf_gatherCallsign("DLH4KT", 0x3c6444);

    GatheredCallsigns taken = gf_takeGatheredCallsigns();
    EXPECT_FALSE(gf_callsignGatheringOn());
    EXPECT_EQ(taken.callsigns, (std::unordered_set<std::string>{"SWR12", "DLH4KT"}));
    EXPECT_EQ(taken.hexids, (std::unordered_set<uint32_t>{0x4b1805, 0x4b1806, 0x3c6444}));

    gf_gatherCallsign("AFR1234", 0x39c4d2);  // after the take-over: off again
    GatheredCallsigns again = gf_takeGatheredCallsigns();
    EXPECT_TRUE(again.callsigns.empty());
    EXPECT_TRUE(again.hexids.empty());
}

}  // namespace
