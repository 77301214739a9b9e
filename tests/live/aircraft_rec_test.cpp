#include "live/aircraft_rec.h"

#include <cmath>

#include "core/clock.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/params.h"
#include "core/random.h"
#include "live_fixture.h"

namespace {

using AircraftRecTest = LiveTest;

TEST_F(AircraftRecTest, RealCallsigns) {
    struct Row {
        const char* callsign;
        bool real;
    };
    const Row rows[] = {{"", false},          {"@@@@@@@@", false}, {"ABCDEFGH", true},
                        {"ABCDEFGHI", false}, {"D", true},         {"@@@@@@@", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.callsign);
        EXPECT_EQ(gf_hasRealCallsign(row.callsign), row.real);
    }
}

TEST_F(AircraftRecTest, AirlineOfCallsign) {
    struct Row {
        const char* text;
        std::optional<std::string> airline;
    };
    const Row rows[] = {
        {"DLH", std::nullopt},  {"DLH4", "DLH"},
        {"dlh4", "DLH"},        {"BAW123A", "BAW"},
        {"DL1H", std::nullopt}, {"DLHA1", std::nullopt},
        {"1DLH", std::nullopt}, {"D-AB1", std::nullopt},
        {"", std::nullopt},     {"\xC3\xA4xy1", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(gf_airlineOfCallsign(row.text), row.airline);
    }
    AircraftRec rec;
    rec.airline = "PVT";
    rec.callsign = "N123AB";
    EXPECT_FALSE(gf_airlineFromCallsign(rec));
    EXPECT_EQ(rec.airline, "PVT");
    rec.callsign = "ezy12";
    EXPECT_TRUE(gf_airlineFromCallsign(rec));
    EXPECT_EQ(rec.airline, "EZY");
}

TEST_F(AircraftRecTest, Labels) {
    AircraftRec rec;
    rec.airline = "DLH";
    rec.type = "B738";
    rec.callsign = "DLH4AB";
    rec.regcode = "D-ABCD";
    EXPECT_EQ(gf_routeText(rec), "        ");
    rec.destination = "FRA";
    EXPECT_EQ(gf_routeText(rec), "   ->FRA");
    rec.origin = "MUC";
    EXPECT_EQ(gf_routeText(rec), "MUC->FRA");
    EXPECT_EQ(gf_callsignText(rec), "DLH4AB  ");
    EXPECT_EQ(gf_describeAc(rec), "MUC->FRA DLH4AB   D-ABCD");
    EXPECT_EQ(gf_acLabel(rec), "MUC->FRA DLH4AB   D-ABCD DLH B738");
    EXPECT_EQ(gf_acLabelCopy(rec), gf_acLabel(rec));
    EXPECT_EQ(gf_acShortLabel(rec), "DLH4AB   D-ABCD DLH B738");
    EXPECT_EQ(gf_acIdWithReg(rec), "DLH B738 D-ABCD");
    rec.regcode.clear();
    rec.airline = "ZZ";
    rec.type = "C56";
    EXPECT_EQ(gf_describeAc(rec), "MUC->FRA DLH4AB   ");
    EXPECT_EQ(gf_acIdWithReg(rec), "ZZ  C56  ");
}

TEST_F(AircraftRecTest, StateNamesAndTheirRange) {
    EXPECT_EQ(gf_flightStateName(pushing_back), "pushing_back");
    EXPECT_EQ(gf_flightStateName(take_off), "take_off");
    EXPECT_EQ(gf_flightStateName(birth), "birth");
    EXPECT_EQ(gf_lifeStateName(buffer), "buffer");
    EXPECT_EQ(gf_lifeStateName(liveryrespawn), "liveryrespawn");
    EXPECT_EQ(gf_lifeStateName(removingfromsim), "removingfromsim");
    for (auto call : {+[] { gf_flightStateName(8); }, +[] { gf_lifeStateName(5); },
                      +[] { gf_categoryMotion(6); }, +[] { gf_categoryMotion(-1); }}) {
        try {
            call();
            ADD_FAILURE() << "no error raised";
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "invalid unordered_map<K, T> key");
        }
    }
}

TEST_F(AircraftRecTest, MakeTakesTheCategoryValues) {
    struct Row {
        const char* type;
        int32_t category;
        double rotationDeg, climbDeg, turnDeg;
        int32_t flare, touchdown, rotation, climb;
    };
    const Row rows[] = {
        {"C172", 0, -9, -15, 0.15, 250, 250, 100, 200},   {"C56X", 1, -8, -18, 0.1, 300, 300, 200, 250},
        {"B738", 2, -6, -16.5, 0.07, 400, 350, 200, 300}, {"B744", 3, -5, -12.5, 0.05, 450, 450, 250, 400},
        {"F16", 4, -6, -20, 0.1, 150, 150, 100, 200},     {"EC35", 5, -20, -30, 0.2, 100, 100, 100, 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        LiveTrafficRecord r = tst_record(20001, 100, 50, 8, "DLH4AB", row.type);
        r.spawnCallsign = "S";
        r.coupledCallsign = "C";
        r.coupledSearched = 1;
        const AircraftRec rec = gf_makeAircraftRec(r);
        EXPECT_EQ(rec.category, row.category);
        EXPECT_EQ(rec.spawnCallsign, "S");
        EXPECT_EQ(rec.coupledCallsign, "C");
        EXPECT_EQ(rec.coupledSearched, 1);
        EXPECT_EQ(rec.halfWingSpan, gf_halfWingspan(row.type));
        EXPECT_GT(rec.halfWingSpan, 0);
        const double rotation = gf_radToDeg(rec.rotationPitch);
        const double climb = gf_radToDeg(rec.climbPitch);
        EXPECT_NEAR(std::fabs(rotation - row.rotationDeg), std::fabs(row.rotationDeg) * 0.025, 1e-9);
        EXPECT_NEAR(std::fabs(climb - row.climbDeg), std::fabs(row.climbDeg) * 0.05, 1e-9);
        EXPECT_NEAR(gf_radToDeg(rec.turnRate), row.turnDeg, 1e-12);
        EXPECT_EQ(rec.flareTicks, row.flare);
        EXPECT_EQ(rec.touchdownTicks, row.touchdown);
        EXPECT_EQ(rec.rotationTicks, row.rotation);
        EXPECT_EQ(rec.climbTicks, row.climb);
        EXPECT_EQ(rec.hexid, 0u);
        EXPECT_EQ(rec.currentTurnRate, 0);
        EXPECT_EQ(rec.maxClimbStep, 0);
        EXPECT_EQ(rec.slowTaxiSpeed, 0);
    }
}

TEST_F(AircraftRecTest, LightAircraftRotatesToOneOfTwoPitches) {
    gf_seedRandom(1);
    bool seen[2] = {false, false};
    for (int i = 0; i < 64; ++i) {
        const double deg =
            gf_radToDeg(gf_makeAircraftRec(tst_record(20001, 100, 50, 8, "X", "C172")).rotationPitch);
        ASSERT_TRUE(std::fabs(deg + 9.225) < 1e-9 || std::fabs(deg + 8.775) < 1e-9) << deg;
        seen[deg < -9] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1]);
}

AircraftRec tst_fullRec() {
    AircraftRec s;
    s.airline = "DLH";
    s.type = "B738";
    s.callsign = "DLH4AB";
    s.regcode = "D-ABCD";
    s.halfWingSpan = 0.01;
    s.staticCgHeight = 7;
    s.hexid = 0x3C4A5B;
    s.category = 2;
    s.liveryTitle = "Boeing 737-800 Lufthansa";
    s.touchdownSign = 1;
    s.objectId = 99;
    s.standId = 4;
    s.lifeState = active;
    s.throttleIndex = 2;
    s.removeWhenItAppears = 1;
    s.eraseFlag = 1;
    return s;
}

TEST_F(AircraftRecTest, CopyTakesIdentityAndStaticPartOnly) {
    const AircraftRec s = tst_fullRec();
    AircraftRec d;
    gf_copyAircraftRec(d, s);
    EXPECT_EQ(d.callsign, "DLH4AB");
    EXPECT_EQ(d.hexid, s.hexid);
    EXPECT_EQ(d.liveryTitle, s.liveryTitle);
    EXPECT_EQ(d.touchdownSign, 1);
    EXPECT_EQ(d.staticCgHeight, 7);
    EXPECT_EQ(d.objectId, 0u);
    EXPECT_EQ(d.standId, 0u);
    EXPECT_EQ(d.lifeState, buffer);
    EXPECT_EQ(d.throttleIndex, 5u);
    EXPECT_EQ(d.removeWhenItAppears, 0);
    EXPECT_EQ(d.eraseFlag, 0);
}

TEST_F(AircraftRecTest, ConstructedLiveAircraftStartsInBirth) {
    PosSample first;
    first.lat = 50;
    first.dueTick = 1234;
    const LiveAircraft ac = gf_constructLiveAircraft(first, tst_fullRec(), 1700000000.5);
    EXPECT_EQ(ac.callsign, "DLH4AB");
    EXPECT_EQ(ac.objectId, 0u);
    EXPECT_EQ(ac.standId, 0u);
    EXPECT_EQ(ac.lifeState, buffer);
    EXPECT_EQ(ac.throttleIndex, 5u);
    EXPECT_EQ(ac.flapsIndex, 4u);
    EXPECT_EQ(ac.noSourceHexid, 1u);
    EXPECT_EQ(ac.removeWhenItAppears + ac.eraseFlag + ac.withdrawn, 0);
    EXPECT_EQ(ac.flightState, birth);
    EXPECT_EQ(ac.previousFlightState, birth);
    EXPECT_EQ(ac.dueBack, 1000);
    EXPECT_EQ(ac.dueAhead, 1000);
    EXPECT_EQ(ac.takeOffCounter, 1);
    EXPECT_EQ(ac.agl, 2500);
    EXPECT_EQ(ac.lastSampleTime, 1700000000.5);
    EXPECT_EQ(ac.curve[5], 0);
    EXPECT_TRUE(std::isnan(ac.curve[6]));
    EXPECT_TRUE(std::isnan(ac.curve[7]));
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_EQ(ac.stream[0].dueTick, 1234);
    EXPECT_EQ(ac.lat, 0) << "the position block waits for the spawn";
}

TEST_F(AircraftRecTest, ConstructedStaticAircraftHoldsItsStand) {
    const AircraftRec st = gf_constructStaticAircraft(tst_fullRec(), 12, 50.1, 8.2, 1.5, true);
    EXPECT_EQ(st.callsign, "DLH4AB");
    EXPECT_EQ(st.standId, 12u);
    EXPECT_EQ(st.standLat, 50.1);
    EXPECT_EQ(st.standLon, 8.2);
    EXPECT_EQ(st.standHeading, 1.5);
    EXPECT_EQ(st.cargoStand, 1);
    EXPECT_EQ(st.objectId, 0u);
    EXPECT_EQ(st.lifeState, buffer);
    EXPECT_EQ(st.throttleIndex, 5u);
    EXPECT_EQ(st.flapsIndex, 4u);
    EXPECT_EQ(st.noSourceHexid, 1u);
    EXPECT_EQ(st.parkSlot, 0u);
    EXPECT_EQ(st.sourceHexid, 0u);
}

}  // namespace

namespace {

TEST_F(AircraftRecTest, FlightStateChangeKeepsThePreviousStateAndLogsRealChangesOnly) {
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(3600 * 7 + 60 * 5 + 3)); });
    gf_setLogCapture(true);
    LiveAircraft ac;
    ac.callsign = "SWR287";
    ac.flightState = flying;
    gf_setFlightState(ac, taxi);
    gf_setFlightState(ac, taxi);
    EXPECT_EQ(ac.flightState, taxi);
    EXPECT_EQ(ac.previousFlightState, taxi) << "the second call keeps what it left, which was taxi";
    LOG.set(false);
    gf_setFlightState(ac, parked);
    EXPECT_EQ(ac.previousFlightState, taxi);
    EXPECT_EQ(gf_capturedLog(), "07:05:03 SWR287   flying -> taxi\n");
}

}  // namespace
