#include <cmath>
#include <limits>

#include "core/log.h"
#include "core/params.h"
#include "feed/feed_state.h"
#include "live/air_motion.h"
#include "live/air_motion_legs.h"
#include "live/ground_motion_legs.h"
#include "live/playback.h"
#include "live/removal.h"
#include "live_fixture.h"
#include "shell/window.h"

namespace {

constexpr int32_t kNow = 100000;

class PlaybackStreamTest : public LiveTest {
  protected:
    void SetUp() override {
        LiveTest::SetUp();
        g_tickCounter = kNow;
        gf_setLogCapture(true);
    }
};

PosSample tst_at(double lat, double lon, double gs, bool airborne, int32_t due) {
    PosSample s;
    s.lat = lat;
    s.lon = lon;
    s.gs = gs;
    s.alt = airborne ? 9000 : 0;
    s.airborne = airborne ? 1 : 0;
    s.dueTick = due;
    return s;
}

LiveAircraft tst_active(PosSample front, uint32_t flightState, int32_t category = 2) {
    LiveAircraft ac;
    ac.hexid = 0x3c6601;
    ac.callsign = "DLH4AB";
    ac.category = category;
    ac.halfWingSpan = gf_metersToNm(17.9);
    ac.lifeState = active;
    ac.objectId = 7;
    ac.flightState = flightState;
    ac.onGround = front.airborne ? 0 : 1;
    ac.lat = front.lat;
    ac.lon = front.lon;
    ac.altitude = front.alt;
    ac.stream.push_back(front);
    lf_clearCurve(ac);
    return ac;
}

// The stream's end in the air: 8 samples 8 s apart, each at 95 % of the speed before; on an
// approach 90 % while 4 or more are left, then unchanged; then the stream has ended.
TEST_F(PlaybackStreamTest, AirExtensionsDecayTheSpeed) {
    struct Row {
        const char* name;
        uint8_t approach;
        double speeds[8];
    };
    const Row rows[] = {
        {"cruise",
         0,
         {190, 180.5, 171.475, 162.90125, 154.7561875, 147.018378125, 139.66745921875, 132.6840862578125}},
        {"approach", 1, {180, 162, 145.8, 131.22, 118.098, 118.098, 118.098, 118.098}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_active(tst_at(47.0, 8.0, 200, true, kNow), flying);
        ac.approachFlag = row.approach;
        ac.flareStage = 1;  // no glide-path sink, so that only the speed changes
        for (int i = 0; i < 8; ++i) {
            ASSERT_TRUE(lf_extendStream(ac)) << i;
            ASSERT_EQ(ac.stream.size(), 2u);
            EXPECT_EQ(ac.extension, 8 - i);
            EXPECT_NEAR(ac.stream.back().gs, row.speeds[i], 1e-9) << i;
            EXPECT_EQ(ac.stream.back().dueTick, ac.stream.front().dueTick + 800);
            const double nm = gf_haversineNm(gf_posOf(ac.stream.front()), gf_posOf(ac.stream.back()));
            EXPECT_NEAR(nm, row.speeds[i] * 8 / 3600, 1e-6) << "8 s along the heading";
            ac.stream.pop_front();
        }
        EXPECT_FALSE(lf_extendStream(ac));
        EXPECT_EQ(ac.extension, -1);
        EXPECT_FALSE(lf_extendStream(ac)) << "used up";
    }
}

// Down the glide path the dead-reckoned sample comes to the ground at the field's height: at an
// elevated park airport not at sea level.
TEST_F(PlaybackStreamTest, ApproachExtensionIsOnTheGroundAtTheFieldsHeight) {
    struct Row {
        const char* name;
        double parkLat;  // the park airport at 1416 ft
        double altFt;
        bool airborne;
    };
    const Row rows[] = {{"90 ft above the field", 47.0, 1416 + 90, true},
                        {"70 ft above the field", 47.0, 1416 + 70, false},
                        {"far from the park airport", 48.0, 1416 + 70, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_setParkAirportSet(true);
        gf_setParkAirportElevation(1416);
        gf_setParkAirportPositionSource([&] { return std::optional<LatLon>(LatLon{row.parkLat, 8.0}); });
        PosSample front = tst_at(47.0, 8.0, 140, true, kNow);
        front.alt = row.altFt;
        LiveAircraft ac = tst_active(front, flying);
        ac.approachFlag = 1;
        ASSERT_TRUE(lf_extendStream(ac));
        EXPECT_DOUBLE_EQ(ac.stream.back().alt, row.altFt - 8 * 10.005);
        EXPECT_EQ(ac.stream.back().airborne, row.airborne ? 1 : 0);
    }
}

TEST_F(PlaybackStreamTest, StreamEndNearTheRangeEdgeRemovesAtOnce) {
    g_userPosition.lat = 47.0;
    g_userPosition.lon = 8.0;
    g_rangeNm = 40.0;
    struct Row {
        double nm;
        bool extended;
    };
    for (const Row row : {Row{39.4, true}, Row{39.6, false}}) {
        SCOPED_TRACE(row.nm);
        g_liveRecords.push_back(tst_active(tst_at(47.0 + row.nm / 60, 8.0, 250, true, kNow), flying));
        nextPosMain(g_liveRecords.back());
        EXPECT_EQ(g_liveRecords.back().lifeState, row.extended ? active : removingfromsim);
        EXPECT_EQ(g_liveRecords.back().extension, row.extended ? 8 : 0);
    }
}

TEST_F(PlaybackStreamTest, HoldingEndsAfterTheMaximumWholeMinutes) {
    MAX_HOLDING_MINUTES.set(2);
    LiveAircraft ac = tst_active(tst_at(47.0, 8.0, 0, false, kNow), taxi);
    ASSERT_TRUE(lf_extendStream(ac));
    EXPECT_EQ(ac.holding, 1);
    EXPECT_EQ(ac.holdStartTick, static_cast<uint32_t>(kNow));
    EXPECT_EQ(ac.extension, 1);
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream.back().dueTick, kNow + 300);
    EXPECT_EQ(ac.stream.back().stationary, 1);
    ac.stream.pop_front();
    g_tickCounter = kNow + 3 * 6000 - 1;  // 2 whole minutes and a bit
    EXPECT_TRUE(lf_extendStream(ac));
    ac.stream.pop_front();
    g_tickCounter = kNow + 3 * 6000;
    EXPECT_FALSE(lf_extendStream(ac)) << "3 whole minutes";
}

TEST_F(PlaybackStreamTest, TaxiingNeighbourEndsHolding) {
    LiveAircraft other = tst_active(tst_at(47.0, 8.0004, 10, false, kNow), taxi);
    other.objectId = 8;
    g_liveRecords.push_back(other);
    LiveAircraft ac = tst_active(tst_at(47.0, 8.0, 0, false, kNow), taxi);
    ac.holding = 1;
    ac.holdStartTick = kNow - 10;
    EXPECT_FALSE(lf_extendStream(ac)) << "30 m apart, within 1.2 x (17.9 + 17.9) m";
    EXPECT_EQ(ac.holding, 0);
    EXPECT_EQ(ac.holdStartTick, 0u);
    g_liveRecords.back().lon = 8.0007;  // 53 m
    EXPECT_TRUE(lf_extendStream(ac));
}

TEST_F(PlaybackStreamTest, TwoStationarySamplesFallDueAtOnce) {
    LiveAircraft ac = tst_active(tst_at(47.0, 8.0, 0, false, kNow + 500), taxi);
    ac.stream.front().stationary = 1;
    ac.stream.front().gs = 3;
    decodeExisting(ac, tst_at(47.0, 8.0, 0, false, kNow + 900));
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream.front().dueTick, kNow + 1);
    EXPECT_EQ(ac.stream.front().gs, 0);
}

// The due tick of the next sample in the air: within [due - dueBack, due + dueAhead] unless an
// extension runs, never before now; a speed of 0, NaN or next to nothing gives a finite due tick.
TEST_F(PlaybackStreamTest, NextDueInTheAirKeepsItsClamps) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char* name;
        double frontKt, nextKt;
        int32_t nextDueIn;
        int32_t extension;
        int32_t dueIn;
    };
    // 1 nm at 360 kt is 1000 ticks.
    const Row rows[] = {
        {"as flown", 360, 360, 1000, 0, 1000},
        {"late report held back", 360, 360, 4500, 0, 1500},
        {"early report held ahead", 360, 360, -3500, 0, 0},
        {"extension unclamped", 360, 360, 4500, 2, 1000},
        {"both stopped: the reports' own pace", 0, 0, 1000, 0, 1000},
        {"no speed", nan, nan, 1000, 0, 4000},
        {"next to nothing", 0.001, 0.001, 1000, 0, 4000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LiveAircraft ac = tst_active(tst_at(47.0, 8.0, row.frontKt, true, kNow), flying);
        ac.dueBack = ac.dueAhead = 3000;
        ac.extension = row.extension;
        ac.stream.push_back(tst_at(47.0 + 1.0 / 60, 8.0, row.nextKt, true, kNow + row.nextDueIn));
        lf_nextPosAir(ac);
        EXPECT_EQ(ac.stream[1].dueTick, kNow + row.dueIn);
    }
}

TEST_F(PlaybackStreamTest, FrozenSpeedsNeitherThrowNorStopTheAircraft) {
    for (double kt : {0.0, std::numeric_limits<double>::quiet_NaN(), 0.001}) {
        SCOPED_TRACE(kt);
        LiveAircraft ac = tst_active(tst_at(47.0, 8.0, kt, true, kNow), flying);
        ac.stream.push_back(tst_at(47.0005, 8.0, kt, true, kNow + 1000));
        EXPECT_NO_THROW(nextPosMain(ac));
        ASSERT_EQ(ac.stream.size(), 1u);
        EXPECT_TRUE(std::isfinite(ac.dLat));
        EXPECT_GT(ac.dLat, 0);
    }
}

TEST_F(PlaybackStreamTest, LegAcrossTheAntimeridianTakesTheShortWay) {
    for (double sign : {1.0, -1.0}) {
        SCOPED_TRACE(sign);
        // 6 nm in 10 s: fast, so that the leg is flown and not taken for a jump in the feed.
        LiveAircraft ac = tst_active(tst_at(60.0, 179.9 * sign, 2200, true, kNow), flying);
        ac.stream.push_back(tst_at(60.0, -179.9 * sign, 2200, true, kNow + 1000));
        nextPosMain(ac);
        const int32_t ticks = ac.stream.front().dueTick - kNow;
        EXPECT_NEAR(ac.dLon * ticks, 0.2 * sign, 1e-9);
        for (int i = 0; i < ticks; ++i) lf_tickMotion(ac);
        EXPECT_NEAR(ac.lon, -179.9 * sign, 1e-6);
    }
}

TEST_F(PlaybackStreamTest, PositionIsFoldedBackOverThePole) {
    LiveAircraft ac = tst_active(tst_at(89.999, 10.0, 300, true, kNow), flying);
    ac.dLat = 0.002;
    ac.dLon = 0;
    ac.stream.push_back(tst_at(89.9, -170.0, 300, true, kNow + 1000));
    ac.stream.pop_front();
    lf_tickMotion(ac);
    EXPECT_NEAR(ac.lat, 89.999, 1e-9);
    EXPECT_NEAR(ac.lon, -170.0, 1e-9);
}

TEST_F(PlaybackStreamTest, CurveIsSampledAtItsEndsOnly) {
    std::array<double, 8> c{};
    c[kCurveStartLat] = 47.0;
    c[kCurveStartLon] = 8.0;
    c[kCurveStartParam] = 0;
    c[kCurveEndParam] = 1;
    c[kCurveN1] = 100;
    c[kCurveE1] = 0;
    c[kCurveN2] = 100;
    c[kCurveE2] = 100;
    LatLon p;
    double h = -1;
    ASSERT_TRUE(gf_sampleCurve(c, 0, p, h));
    EXPECT_DOUBLE_EQ(p.lat, 47.0);
    EXPECT_DOUBLE_EQ(p.lon, 8.0);
    EXPECT_DOUBLE_EQ(h, 0) << "toward the control point, due north";
    ASSERT_TRUE(gf_sampleCurve(c, 1, p, h));
    EXPECT_NEAR(p.lat, 47.0 + 100 / 111132.95, 1e-12);
    EXPECT_NEAR(p.lon, 8.0 + 100 / (111132.95 * std::cos(47.0 * kPi / 180)), 1e-12);
    EXPECT_NEAR(h, kPi / 2, 1e-12) << "due east at the end";
    EXPECT_FALSE(gf_sampleCurve(c, 1.0000001, p, h));
    EXPECT_FALSE(gf_sampleCurve(c, -0.0000001, p, h));
    c[kCurveStartLat] = 90.0;
    ASSERT_TRUE(gf_sampleCurve(c, 0.5, p, h));
    EXPECT_TRUE(std::isfinite(p.lon)) << "metres per degree of longitude held above 0 at the pole";
    c[kCurveE1] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(gf_sampleCurve(c, 0.5, p, h)) << "inactive";
}

TEST_F(PlaybackStreamTest, CurveProgressStopsShortOfItsEnd) {
    LiveAircraft ac = tst_active(tst_at(47.0, 8.0, 10, false, kNow + 1000), taxi);
    ac.curve = {47.0, 8.0, 0, 1, 100, 100, 0, 100};
    ac.curveProgress = 0.99;
    ac.curveStep = 0.5;
    ac.currentTurnRate = 0.01;
    lf_tickMotion(ac);
    EXPECT_DOUBLE_EQ(ac.curveProgress, 0.999999);
    LatLon p;
    double h = 0;
    ASSERT_TRUE(gf_sampleCurve(ac.curve, 0.999999, p, h));
    EXPECT_DOUBLE_EQ(ac.lat, p.lat);
    EXPECT_DOUBLE_EQ(ac.lon, p.lon);
}

// A landed aircraft leaving its stand while its parked extension runs is towed when its stay was
// short for its category.
TEST_F(PlaybackStreamTest, ShortStayOfALandedAircraftIsTowed) {
    struct Row {
        int32_t category;
        int32_t minutes;
        uint8_t towed;
    };
    const Row rows[] = {{3, 59, 1}, {3, 61, 0}, {2, 24, 1}, {2, 26, 0}, {1, 14, 1}, {1, 16, 0}, {0, 1, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(fmt::format("category {} after {} min", row.category, row.minutes));
        LiveAircraft ac = tst_active(tst_at(47.0, 8.0, 0, false, kNow), parked, row.category);
        ac.landed = 1;
        ac.extension = 1;
        // The parked sample was due that long ago; its extension is due a week after it.
        ac.stream.front().dueTick = kNow - row.minutes * 6000 + 60480000;
        lf_leaveStand(ac);
        EXPECT_EQ(ac.towed, row.towed);
        EXPECT_EQ(ac.landed, 0);
        EXPECT_EQ(ac.extension, 0);
        EXPECT_EQ(ac.stream.front().dueTick, kNow + 1);
        EXPECT_EQ(ac.dueBack, 3000);
    }
}

}  // namespace
