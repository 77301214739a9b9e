#include "support/flight_lab_ground.h"

#include <fmt/format.h>

#include "airports/stand.h"
#include "core/log.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"

namespace {

constexpr uint32_t kHexA = 0x3c6601;

class GroundLab : public FlightLabGround {
  protected:
    void SetUp() override {
        FlightLabGround::SetUp();
        // A sharp curve turns at up to three times the category's rate; nothing on the apron
        // moves faster than 40 kt.
        invariants.push_back(lab_groundSmoothness(3, 40));
    }
    std::string statePath(uint32_t hexid) {
        std::string out;
        for (uint32_t s : statesOf(hexid)) out += fmt::format("{}{}", out.empty() ? "" : " ", gf_flightStateName(s));
        return out;
    }
    double metresTo(uint32_t hexid, LatLon p) {
        return gf_nmToMeters(gf_haversineNm({live(hexid)->lat, live(hexid)->lon}, p));
    }
};

// With stops and right angles onto stand A1, where it parks, books its stay once and stands with
// its engines off; then it pushes back 45 m with its nose swinging right (2.5 stand radii straight
// back, then half a span to the side, the stand held until it taxis away), and taxis off west.
TEST_F(GroundLab, TaxiParksStandsAndPushesBack) {
    tst_addStands({{"A1", 0, 0, 20}, {"A2", 0, 60, 20}});
    setSite();
    Truth t = lab_groundStart(-400, -80, 0);
    lab_stop(t, 10);
    lab_taxiTo(t, -250, -80, 15);
    lab_stop(t, 20);
    lab_taxiTo(t, -100, -80, 15);
    lab_taxiTo(t, -100, 0, 12);
    lab_taxiTo(t, -30, 0, 8);
    lab_taxiTo(t, 0, 0, 3);
    lab_stop(t, 240);
    const double parkedUntil = t.back().t;
    lab_pushback(t, 45, 3, 30);
    lab_stop(t, 20);
    lab_taxiTo(t, -45, -200, 12, 4);
    lab_stop(t, 10);
    addGround(kHexA, "DLH4AB", t);
    double pushedBackHeading = -1;
    uint32_t holderPushedBack = 0;
    invariants.push_back({"pushback probe", [&](const std::optional<LabSnapshot>& b, const LiveAircraft& ac) {
                              if (b && b->flightState == pushing_back && ac.flightState == pushed_back) {
                                  pushedBackHeading = gf_radToDeg(ac.heading);
                                  holderPushedBack = g_stands[0].occupantHexid;
                              }
                              return std::optional<std::string>();
                          }});
    startGround();
    run(parkedUntil - 60);
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(statePath(kHexA), "taxi parking parked");
    EXPECT_EQ(live(kHexA)->standId, 1u);
    EXPECT_LE(metresTo(kHexA, g_stands[0].position()), 2.0);
    EXPECT_EQ(eventsOf(kHexA, "ENGINE_AUTO_SHUTDOWN").size(), 1u);
    EXPECT_EQ(g_stands[0].occupantHexid, kHexA);
    ASSERT_EQ(g_stands[0].options.size(), 1u);
    EXPECT_EQ(g_stands[0].options[0].callsign, "DLH4AB");
    EXPECT_TRUE(g_stands[1].options.empty());
    EXPECT_NE(gf_capturedLog().find("A1      : DLH4AB   arrived at stand\n"), std::string::npos);

    run(t.back().t + 30 - (parkedUntil - 60));
    ASSERT_NE(live(kHexA), nullptr);
    EXPECT_EQ(statePath(kHexA), "taxi parking parked pushing_back pushed_back taxi");
    EXPECT_NEAR(pushedBackHeading, 90, 3);
    EXPECT_EQ(holderPushedBack, kHexA);
    EXPECT_EQ(eventsOf(kHexA, "ENGINE_AUTO_START").size(), 2u) << "taxiing in, and pushed back";
    EXPECT_FALSE(g_stands[0].occupied);
    EXPECT_EQ(live(kHexA)->standId, 0u);
    EXPECT_EQ(g_stands[0].options.size(), 1u) << "the stay goes into the same option";
    EXPECT_LT(metresTo(kHexA, tst_offsetM(-45, -200)), 2.0);
}

}  // namespace
