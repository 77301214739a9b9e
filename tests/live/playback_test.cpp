#include "live/playback.h"

#include "live/removal.h"
#include "live_fixture.h"

namespace {

using PlaybackTest = LiveTest;

PosSample tst_sample(double lat, double lon, double gs, bool airborne, int32_t due) {
    PosSample s;
    s.lat = lat;
    s.lon = lon;
    s.gs = gs;
    s.airborne = airborne ? 1 : 0;
    s.alt = airborne ? 3000 : 0;
    s.track = 45;
    s.dueTick = due;
    return s;
}

LiveAircraft tst_aircraft(PosSample first, int32_t category = 2) {
    LiveAircraft ac;
    ac.category = category;
    ac.stream.push_back(first);
    return ac;
}

TEST_F(PlaybackTest, StationaryTestOfAnUnspawnedAircraft) {
    struct Row {
        const char* name;
        PosSample back;
        PosSample next;
        int32_t category;
        uint8_t takeOffRoll;
        bool accepted;
        uint8_t stationary;
        double gs;
    };
    const PosSample ground = tst_sample(50.0, 8.0, 12, false, 1000);
    const PosSample air = tst_sample(50.0, 8.0, 140, true, 1000);
    const Row rows[] = {
        {"same position on the ground", ground, tst_sample(50.0, 8.0, 3, false, 1600), 2, 0, true, 1, 0},
        {"same position in the air", air, tst_sample(50.0, 8.0, 140, true, 1600), 2, 0, false, 0, 0},
        {"same position, rotorcraft", air, tst_sample(50.0, 8.0, 0, true, 1600), 5, 0, true, 1, 0},
        {"same position, fast take-off roll", tst_sample(50.0, 8.0, 30, false, 1000),
         tst_sample(50.0, 8.0, 5, false, 1600), 2, 1, false, 0, 0},
        {"same position, slow take-off roll", tst_sample(50.0, 8.0, 29, false, 1000),
         tst_sample(50.0, 8.0, 5, false, 1600), 2, 1, true, 1, 0},
        {"near miss on the ground snaps", ground, tst_sample(50.0001, 8.0001, 4, false, 1600), 2, 0, true, 1,
         0},
        {"near miss in the air", air, tst_sample(50.0001, 8.0001, 140, true, 1600), 2, 0, false, 0, 0},
        {"near miss, take-off roll at 50 kt", tst_sample(50.0, 8.0, 50, false, 1000),
         tst_sample(50.0001, 8.0, 60, false, 1600), 2, 1, false, 0, 0},
        {"moving", ground, tst_sample(50.001, 8.0, 15, false, 1600), 2, 0, true, 0, 15},
        {"zero speed in the air after a slow sample", tst_sample(50.0, 8.0, 49, true, 1000),
         tst_sample(50.01, 8.0, 0, true, 1600), 2, 0, true, 0, 0},
        {"zero speed in the air after a fast sample", air, tst_sample(50.01, 8.0, 0, true, 1600), 2, 0, false,
         0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_aircraft(row.back, row.category);
        ac.takeOffRoll = row.takeOffRoll;
        decodeExisting(ac, row.next);
        ASSERT_EQ(ac.stream.size(), row.accepted ? 2u : 1u);
        if (!row.accepted) continue;
        const PosSample& s = ac.stream.back();
        EXPECT_EQ(s.stationary, row.stationary);
        EXPECT_EQ(s.gs, row.gs);
        EXPECT_EQ(s.dueTick, 1600) << "a sample keeps its own due tick";
    }
}

TEST_F(PlaybackTest, SnappedSampleTakesTheBackPosition) {
    LiveAircraft ac = tst_aircraft(tst_sample(50.0, 8.0, 12, false, 1000));
    decodeExisting(ac, tst_sample(50.0001, 8.0001, 4, false, 1600));
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream[1].lat, 50.0);
    EXPECT_EQ(ac.stream[1].lon, 8.0);
}

TEST_F(PlaybackTest, DueTicksStayStrictlyIncreasingAcrossTheWrap) {
    LiveAircraft ac = tst_aircraft(tst_sample(50.0, 8.0, 200, true, INT32_MAX - 10));
    decodeExisting(ac, tst_sample(50.01, 8.0, 200, true, INT32_MAX - 20));
    decodeExisting(ac, tst_sample(50.02, 8.0, 200, true, INT32_MIN + 5));
    decodeExisting(ac, tst_sample(50.03, 8.0, 200, true, INT32_MIN + 5));
    ASSERT_EQ(ac.stream.size(), 4u);
    EXPECT_EQ(ac.stream[1].dueTick, INT32_MAX - 9);
    EXPECT_EQ(ac.stream[2].dueTick, INT32_MIN + 5) << "past the wrap is later, not earlier";
    EXPECT_EQ(ac.stream[3].dueTick, INT32_MIN + 6);
}

TEST_F(PlaybackTest, OverlongStreamRemovesTheAircraft) {
    LiveAircraft ac = tst_aircraft(tst_sample(50.0, 8.0, 200, true, 0));
    for (int i = 1; i <= 200; ++i) decodeExisting(ac, tst_sample(50.0 + 0.01 * i, 8.0, 200, true, i * 100));
    ASSERT_EQ(ac.stream.size(), 201u);
    EXPECT_EQ(ac.eraseFlag, 0);
    decodeExisting(ac, tst_sample(60.0, 8.0, 200, true, 30000));
    EXPECT_EQ(ac.stream.size(), 201u);
    EXPECT_EQ(ac.eraseFlag, 1) << "a buffered aircraft is removed by its erase flag";
}

TEST_F(PlaybackTest, EmptyStreamDropsTheSample) {
    LiveAircraft ac;
    decodeExisting(ac, tst_sample(50.0, 8.0, 200, true, 0));
    EXPECT_TRUE(ac.stream.empty());
}

}  // namespace
