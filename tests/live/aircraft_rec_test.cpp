#include "live/aircraft_rec.h"

#include <cmath>

#include "live_fixture.h"

namespace {

using AircraftRecTest = LiveTest;

// The flight limits of every category as documented; a new record takes its category's row, its
// pitches varied by 2.5 % and 5 % either way.
TEST_F(AircraftRecTest, EveryCategoryTakesItsDocumentedFlightLimits) {
    struct Row {
        const char* type;
        CategoryMotion m;
    };
    const Row rows[] = {
        {"C172", {-9, -15, 0.15, 0.5, 5, 250, 250, 100, 200}},  {"C56X", {-8, -18, 0.1, 0.75, 4.5, 300, 300, 200, 250}},
        {"B738", {-6, -16.5, 0.07, 0.6, 4, 400, 350, 200, 300}}, {"B744", {-5, -12.5, 0.05, 0.5, 3, 450, 450, 250, 400}},
        {"F16", {-6, -20, 0.1, 1.0, 4.5, 150, 150, 100, 200}},   {"EC35", {-20, -30, 0.2, 0.75, 5, 100, 100, 100, 100}},
    };
    for (int32_t category = 0; category < 6; ++category) {
        const Row& row = rows[category];
        SCOPED_TRACE(row.type);
        const CategoryMotion& m = gf_categoryMotion(category);
        EXPECT_EQ(std::make_tuple(m.rotationPitchDeg, m.climbPitchDeg, m.turnRateDeg, m.maxClimbStepFt, m.slowTaxiSpeedKt),
                  std::make_tuple(row.m.rotationPitchDeg, row.m.climbPitchDeg, row.m.turnRateDeg, row.m.maxClimbStepFt,
                                  row.m.slowTaxiSpeedKt));
        EXPECT_EQ(std::make_tuple(m.flareTicks, m.touchdownTicks, m.rotationTicks, m.climbTicks),
                  std::make_tuple(row.m.flareTicks, row.m.touchdownTicks, row.m.rotationTicks, row.m.climbTicks));
        const AircraftRec rec = gf_makeAircraftRec(tst_record(20001, 100, 50, 8, "DLH4AB", row.type));
        EXPECT_EQ(rec.category, category);
        EXPECT_EQ(std::make_tuple(rec.flareTicks, rec.touchdownTicks, rec.rotationTicks, rec.climbTicks),
                  std::make_tuple(m.flareTicks, m.touchdownTicks, m.rotationTicks, m.climbTicks));
        EXPECT_NEAR(gf_radToDeg(rec.turnRate), row.m.turnRateDeg, 1e-12);
        EXPECT_NEAR(std::fabs(gf_radToDeg(rec.rotationPitch) - row.m.rotationPitchDeg), std::fabs(row.m.rotationPitchDeg) * 0.025, 1e-9);
        EXPECT_NEAR(std::fabs(gf_radToDeg(rec.climbPitch) - row.m.climbPitchDeg), std::fabs(row.m.climbPitchDeg) * 0.05, 1e-9);
    }
    EXPECT_THROW(gf_categoryMotion(6), std::out_of_range);
    EXPECT_THROW(gf_categoryMotion(-1), std::out_of_range);
}

}  // namespace
