#include "support/flight_lab_ground.h"

#include <cmath>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "airports/stand.h"
#include "live/stand_choice.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/params.h"
#include "core/slots.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"

namespace {

constexpr uint32_t kHexA = 0x3c6601;
constexpr uint32_t kHexB = 0x3c6602;
constexpr uint32_t kHexC = 0x3c6603;
// The heading of a ground aircraft turns at most three times its category's rate per tick (the
// fitted rate of a sharp curve); nothing on the apron moves faster than 40 kt.
constexpr double kTurnFactor = 3;
constexpr double kApronMaxKt = 40;
constexpr double kB738HalfSpanM = 17.9;
constexpr uint64_t kLabSlot = gf_packSlot(20, 3);

class GroundLab : public FlightLabGround {
  protected:
    void SetUp() override {
        FlightLabGround::SetUp();
        invariants.push_back(lab_groundSmoothness(kTurnFactor, kApronMaxKt));
        g_currentSlot = kLabSlot;
        watchPushback();
    }
    // Flight states the aircraft went through, as names.
    std::string statePath(uint32_t hexid) {
        std::string out;
        for (uint32_t s : statesOf(hexid))
            out += fmt::format("{}{}", out.empty() ? "" : " ", gf_flightStateName(s));
        return out;
    }
    // Ticks of the aircraft's life with an active taxi curve.
    int curveTicks(uint32_t hexid) const { return curveTicks_.count(hexid) ? curveTicks_.at(hexid) : 0; }
    void countCurves() {
        invariants.push_back(
            {"curve probe", [this](const std::optional<LabSnapshot>&, const LiveAircraft& ac) {
                 if (ac.lifeState == active && !std::isnan(ac.curve[6])) ++curveTicks_[ac.hexid];
                 return std::optional<std::string>();
             }});
    }
    std::map<uint32_t, int> curveTicks_;
    double pushedBackHeading_ = -1;
    bool markHeldPushedBack_ = false;
    // The heading with which the aircraft entered pushed_back, and whether it still held its stand.
    void watchPushback() {
        invariants.push_back(
            {"pushback probe", [this](const std::optional<LabSnapshot>& b, const LiveAircraft& ac) {
                 if (b && b->flightState == pushing_back && ac.flightState == pushed_back) {
                     pushedBackHeading_ = ac.heading;
                     const Stand* stand = gf_standById(ac.standId);
                     markHeldPushedBack_ = stand && stand->occupied && stand->occupantHexid == ac.hexid;
                 }
                 return std::optional<std::string>();
             }});
    }
};

LatLon lab_posOf(const TruthPoint& p) {
    return {p.lat, p.lon};
}
// From 400 m south, west of the stand row: a stop, north along the taxiway, a right-angle turn
// onto the stand lane, a left-angle turn into the stand, slowing, and the stop on stand A1.
Truth lab_taxiToA1(double speedKt = 15) {
    Truth t = lab_groundStart(-400, -80, 0);
    lab_stop(t, 10);
    lab_taxiTo(t, -250, -80, speedKt);
    lab_stop(t, 20);
    lab_taxiTo(t, -100, -80, speedKt);
    lab_taxiTo(t, -100, 0, 12);
    lab_taxiTo(t, -30, 0, 8);
    lab_taxiTo(t, 0, 0, 3);
    lab_stop(t, 120);
    return t;
}

// Standing on the stand origin for the seconds, facing north.
Truth lab_standing(double seconds, double northM = 0, double eastM = 0) {
    Truth t = lab_groundStart(northM, eastM, 0);
    lab_stop(t, seconds);
    return t;
}

TEST_F(GroundLab, TaxiWithStopsAndSharpTurnsParksOnTheStandAndBooksItOnce) {
    addStands({{"A1", 0, 0, 20}, {"A2", 0, 60, 20}});
    setSite();
    countCurves();
    const Truth t = lab_taxiToA1();
    addGround(kHexA, "DLH4AB", t);
    startGround();
    run(t.back().t + 30);
    const LiveAircraft* ac = live(kHexA);
    ASSERT_NE(ac, nullptr);
    EXPECT_EQ(statePath(kHexA), "taxi parking parked");
    EXPECT_EQ(ac->flightState, parked);
    EXPECT_EQ(ac->standId, 1u);
    EXPECT_LE(metresFromStand(kHexA, 1), 2.0);
    EXPECT_GT(curveTicks(kHexA), 100) << "the corners are flown along curves";
    EXPECT_EQ(eventsOf(kHexA, "ENGINE_AUTO_SHUTDOWN").size(), 1u);
    // The parked stream's extension follows the arrival at once; the aircraft still stands there
    // and keeps its stand marked.
    EXPECT_TRUE(g_stands[0].occupied);
    EXPECT_EQ(ac->extension, 1);
    EXPECT_NE(gf_capturedLog().find("A1      : DLH4AB   arrived at stand\n"), std::string::npos);
    // Standing on for minutes books nothing more.
    run(180);
    ASSERT_EQ(g_stands[0].options.size(), 1u);
    EXPECT_EQ(g_stands[0].options[0].callsign, "DLH4AB");
    EXPECT_EQ(g_stands[0].slotMapA.size() + g_stands[0].slotMapB.size(), 1u);
    EXPECT_TRUE(g_stands[1].options.empty());
    EXPECT_EQ(eventsOf(kHexA, "ENGINE_AUTO_SHUTDOWN").size(), 1u);
}

TEST_F(GroundLab, LongSlowLegBeforeASharpTurnIsSplitAndFlownSmoothly) {
    addStands({{"A1", 0, 0, 20}});
    setSite();
    countCurves();
    // 400 m at 8 kt (about 100 s) before a right angle: the slow-down sample goes in first.
    Truth t = lab_groundStart(-500, -400, 0);
    lab_stop(t, 6);
    lab_taxiTo(t, -100, -400, 8, 50);
    lab_taxiTo(t, -100, -100, 20);
    lab_taxiTo(t, -300, -100, 20);
    lab_stop(t, 30);
    addGround(kHexA, "DLH4AB", t);
    startGround();
    run(t.back().t + 30);
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(statePath(kHexA), "taxi");
    EXPECT_GT(curveTicks(kHexA), 100);
    EXPECT_LT(gf_nmToMeters(gf_haversineNm({live(kHexA)->lat, live(kHexA)->lon}, tst_offsetM(-300, -100))),
              2.0);
}

// Leaving a stand: standing on A1 for 90 s (spawned parked), then backwards out of it or
// forwards, and away along the apron to the west.
struct LeaveRow {
    const char* name;
    double pushM;     // metres pushed back; 0: pulls out forwards
    double swingDeg;  // reported track's swing over the pushback
    bool straightOnly;
    const char* states;
    double endHeadingDeg;  // when pushed back (or out of the pull-out), degrees
};

class LeaveLab : public GroundLab, public ::testing::WithParamInterface<LeaveRow> {};

TEST_P(LeaveLab, LeavesTheStandWithinItsDistance) {
    const LeaveRow& row = GetParam();
    STRAIGHT_PBS_ONLY.set(row.straightOnly);
    addStands({{"A1", 0, 0, 20}, {"A2", 0, 80, 20}});
    setSite();
    Truth t = lab_standing(90);
    if (row.pushM > 0) {
        lab_pushback(t, row.pushM, 3, row.swingDeg);
        lab_stop(t, 20);
        lab_corner(t, 270, 8);
        lab_taxiTo(t, -row.pushM, -200, 12, 4);
    } else {
        lab_taxiTo(t, 60, 0, 5);
        lab_taxiTo(t, 60, -200, 12, 4);
    }
    lab_stop(t, 10);
    addGround(kHexA, "DLH4AB", t);
    startGround();
    run(t.back().t + 30);
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(statePath(kHexA), row.states);
    const Stand& a1 = g_stands[0];
    const double halfSpanM = gf_nmToMeters(live(kHexA)->halfWingSpan);
    if (row.pushM > 0) {
        // 2.5 stand radii straight back, then at most one half span to the side.
        const double bound = 2.5 * gf_nmToMeters(a1.radius) + halfSpanM + 1;
        const double pushed = farthestIn(kHexA, a1.position(), {pushing_back, pushed_back});
        EXPECT_GT(pushed, 2.5 * gf_nmToMeters(a1.radius) - 1);
        EXPECT_LE(pushed, bound);
        EXPECT_NEAR(gf_radToDeg(pushedBackHeading_), row.endHeadingDeg, 3);
        EXPECT_TRUE(markHeldPushedBack_) << "the stand is let go when the aircraft taxis away";
    } else {
        EXPECT_NE(gf_capturedLog().find("A1      : DLH4AB   pulling out\n"), std::string::npos);
    }
    EXPECT_GE(eventsOf(kHexA, "ENGINE_AUTO_START").size(), 1u);
    // Away from the stand, forwards or backwards, the aircraft has let it go.
    EXPECT_FALSE(a1.occupied);
    EXPECT_EQ(live(kHexA)->standId, 0u);
    EXPECT_LT(gf_nmToMeters(gf_haversineNm({live(kHexA)->lat, live(kHexA)->lon}, lab_posOf(t.back()))), 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    Ground, LeaveLab,
    ::testing::Values(LeaveRow{"straight", 45, 0, false, "parked pushing_back pushed_back taxi", 0},
                      LeaveRow{"nose right", 45, 30, false, "parked pushing_back pushed_back taxi", 90},
                      LeaveRow{"nose left", 45, -30, false, "parked pushing_back pushed_back taxi", 270},
                      LeaveRow{"straight only", 45, 30, true, "parked pushing_back pushed_back taxi", 0},
                      LeaveRow{"pull out", 0, 0, false, "parked taxi", 0}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& c : n)
            if (c == ' ') c = '_';
        return n;
    });

// From 300 m south to a stop at (0, eastM), north-bound.
Truth lab_stopAt(double eastM, double startSec = 0) {
    Truth t = lab_groundStart(-300, eastM, 0);
    t.front().t = startSec;
    lab_stop(t, 6);
    lab_taxiTo(t, -40, eastM, 12, 4);
    lab_taxiTo(t, 0, eastM, 3);
    lab_stop(t, 120);
    return t;
}

Truth lab_delayed(Truth t, double seconds) {
    for (TruthPoint& p : t) p.t += seconds;
    return t;
}

struct ChoiceRow {
    const char* name;
    TestStand stand;
    const char* type;
    const char* parkedOn;  // "": keeps taxiing
    bool booked;
};

class ChoiceLab : public GroundLab, public ::testing::WithParamInterface<ChoiceRow> {};

TEST_P(ChoiceLab, StopNearAStandParksByItsKind) {
    const ChoiceRow& row = GetParam();
    addStands({row.stand});
    setSite();
    const double halfSpan = gf_halfWingspan(row.type);
    const double radiusBefore = g_stands[0].radius;
    const bool fitted = gf_standFits(halfSpan, g_stands[0]);
    const Truth t = lab_stopAt(0);
    addGround(kHexA, "DLH4AB", t, row.type);
    startGround();
    run(t.back().t + 30);
    const LiveAircraft* ac = live(kHexA);
    ASSERT_NE(ac, nullptr);
    if (*row.parkedOn == 0) {
        EXPECT_EQ(ac->flightState, taxi);
        EXPECT_EQ(ac->standId, 0u);
        EXPECT_EQ(g_stands[0].radius, radiusBefore);
        return;
    }
    EXPECT_EQ(ac->flightState, parked);
    EXPECT_EQ(gf_standNameOfId(ac->standId), row.parkedOn);
    EXPECT_EQ(ac->cargoStand, row.stand.cargo ? 1 : 0);
    EXPECT_EQ(g_stands[0].options.size(), row.booked ? 1u : 0u);
    // A stand too small by more than 1.8 m is taken within 20 m and grown to the aircraft.
    EXPECT_EQ(g_stands[0].radius_change, !fitted);
    if (!fitted) EXPECT_NEAR(gf_nmToMeters(g_stands[0].radius), gf_nmToMeters(halfSpan) - 1, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Ground, ChoiceLab,
    ::testing::Values(ChoiceRow{"fitting gate", {"A1", 0, 0, 20}, "B738", "A1", true},
                      ChoiceRow{"too small, within 20 m", {"S1", 0, 0, 25}, "B744", "S1", true},
                      ChoiceRow{"helipad refused", {"H1", 0, 0, 20, false, false, true}, "B738", "", false},
                      ChoiceRow{"cargo stand, not booked", {"C1", 0, 0, 20, true}, "B738", "C1", false},
                      ChoiceRow{"ramp stand", {"R1", 0, 0, 20, false, true}, "B738", "R1", true}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

class UserStandLab : public GroundLab, public ::testing::WithParamInterface<bool> {};

TEST_P(UserStandLab, StandOfTheUserIsNeverTaken) {
    const bool userOnStand = GetParam();
    addStands({{"A1", 0, 0, 20}});
    setSite(userOnStand ? "" : "A1");
    const Truth t = lab_stopAt(0);
    addGround(kHexA, "DLH4AB", t);
    // Stopping on the user, it would be removed for the user's sake; here only the stand counts.
    COLLISION_USER_GND.set(false);
    if (userOnStand)
        startGround(std::pair{0.0, 0.0});
    else
        startGround();
    run(t.back().t + 30);
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(live(kHexA)->flightState, taxi);
    EXPECT_EQ(live(kHexA)->standId, 0u);
    EXPECT_TRUE(g_stands[0].options.empty());
}

INSTANTIATE_TEST_SUITE_P(Ground, UserStandLab, ::testing::Values(false, true), [](const auto& info) {
    return std::string(info.param ? "UserStandsOnIt" : "ReservedForTheUser");
});

// A1 and A2 are 35 m apart with radii of 20 m: neighbours, and too close for two B738.
TEST_F(GroundLab, ParkingNextToAParkedNeighbourRemovesIt) {
    addStands({{"A1", 0, 0, 20}, {"A2", 0, 35, 20}});
    setSite();
    const Truth parkedOnA2 = lab_standing(400, 0, 35);
    const Truth t = lab_delayed(lab_stopAt(0), 20);
    addGround(kHexB, "DLH5CD", parkedOnA2);
    addGround(kHexA, "DLH4AB", t);
    startGround();
    run(t.back().t + 30);
    EXPECT_NE(
        gf_capturedLog().find(
            "A2      : DLH5CD   removed by parking DLH4AB at adjacent and possibly colliding stand A1\n"),
        std::string::npos);
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(live(kHexA)->flightState, parked);
}

TEST_F(GroundLab, AircraftAppearingNextToAParkedNeighbourIsNotSpawned) {
    addStands({{"A1", 0, 0, 20}, {"A2", 0, 35, 20}});
    setSite();
    addGround(kHexB, "DLH5CD", lab_standing(300, 0, 35));
    addGround(kHexA, "DLH4AB", lab_delayed(lab_standing(200), 60));
    startGround();
    run(200);
    ASSERT_NE(live(kHexB), nullptr);
    EXPECT_EQ(live(kHexB)->flightState, parked);
    EXPECT_TRUE(journalLines("CREATE DLH4AB").empty())
        << "the newcomer on the neighbour stand is never spawned";
}

TEST_F(GroundLab, StaticOccupantMakesWayForTheLiveAircraft) {
    addStands({{"A1", 0, 0, 20}});
    setSite();
    addStatic(17, "DLH17*", 1);
    const Truth t = lab_stopAt(0);
    addGround(kHexA, "DLH4AB", t);
    startGround();
    run(t.back().t + 30);
    EXPECT_NE(gf_capturedLog().find("A1      : DLH17*   D-S017 makes way for DLH4AB \n"), std::string::npos);
    EXPECT_TRUE(g_staticAircraft.empty());
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(live(kHexA)->flightState, parked);
}

// The occupant's feed went quiet, but nothing showed it leaving: it still stands there, and a
// newcomer that stops by the stand does not take it.
TEST_F(GroundLab, ParkedLiveOccupantKeepsItsStandWhileItsFeedIsQuiet) {
    addStands({{"A1", 0, 0, 20}});
    setSite();
    addGround(kHexB, "DLH5CD", lab_standing(60));
    const Truth t = lab_delayed(lab_stopAt(0), 60);
    addGround(kHexA, "DLH4AB", t);
    startGround();
    run(t.back().t + 30);
    EXPECT_EQ(gf_capturedLog().find("removed, DLH4AB wants to park there"), std::string::npos);
    ASSERT_NE(live(kHexB), nullptr);
    EXPECT_EQ(live(kHexB)->flightState, parked);
    EXPECT_EQ(g_stands[0].occupantHexid, kHexB);
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(live(kHexA)->standId, 0u);
}

// Two aircraft stop by A1 seconds apart and both drive onto it; the one that comes second must
// not park on top of the first.
TEST_F(GroundLab, SecondArrivalOnTheSameStandIsRemoved) {
    addStands({{"A1", 0, 0, 20}});
    setSite();
    const Truth first = lab_stopAt(0);
    Truth second = lab_groundStart(-300, 10, 0);
    lab_stop(second, 6);
    lab_taxiTo(second, -40, 10, 12, 4);
    lab_taxiTo(second, -2, 10, 3);
    lab_stop(second, 120);
    addGround(kHexA, "DLH4AB", first);
    addGround(kHexB, "DLH5CD", lab_delayed(second, 2));
    startGround();
    run(first.back().t + 40);
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(live(kHexA)->flightState, parked);
    EXPECT_EQ(g_stands[0].occupantHexid, kHexA);
    // Removed on its arrival; the feed brings it back, but the stand stays taken.
    EXPECT_TRUE(live(kHexB) == nullptr || (live(kHexB)->standId == 0 && live(kHexB)->flightState != parked));
}

TEST_F(GroundLab, MaxParkRemovesTheLongestParkedLiveAircraft) {
    addStands({{"A1", 0, 0, 20}, {"A2", 0, 100, 20}, {"A3", 0, 200, 20}});
    setSite("", 2);
    addGround(kHexA, "DLH4AB", lab_standing(400, 0, 0));
    addGround(kHexB, "DLH5CD", lab_delayed(lab_standing(300, 0, 100), 30));
    addGround(kHexC, "DLH6EF", lab_delayed(lab_stopAt(200), 60));
    startGround();
    run(300);
    EXPECT_NE(gf_capturedLog().find("A1      : DLH4AB live max park exceeded, removed\n"), std::string::npos);
    ASSERT_NE(live(kHexB), nullptr);
    ASSERT_NE(live(kHexC), nullptr);
    EXPECT_EQ(live(kHexB)->flightState, parked);
    EXPECT_EQ(live(kHexC)->flightState, parked);
}

TEST_F(GroundLab, MaxParkRemovesTheStaticPlacedLongestAgo) {
    addStands({{"A1", 0, 0, 20}, {"S1", 0, 150, 20}, {"S2", 0, 300, 20}});
    setSite("", 2);
    addStatic(21, "DLH21*", 2, gf_packSlot(18, 3));
    addStatic(22, "DLH22*", 3, gf_packSlot(10, 3));
    const Truth t = lab_stopAt(0);
    addGround(kHexA, "DLH4AB", t);
    startGround();
    run(t.back().t + 30);
    EXPECT_NE(gf_capturedLog().find("S2      : DLH22* static max park exceeded, removed\n"),
              std::string::npos);
    EXPECT_EQ(gf_findStaticByHexid(22), nullptr);
    EXPECT_NE(gf_findStaticByHexid(21), nullptr);
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(live(kHexA)->flightState, parked);
}

}  // namespace
