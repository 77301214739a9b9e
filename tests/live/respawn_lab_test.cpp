// Respawns through the real tick against the stand-in simulator: a new identity in flight and on a
// stand, and a respawn whose create waits while an older create of the aircraft runs out.
#include <algorithm>

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "aircraft/regcodes.h"
#include "airports/stand.h"
#include "core/log.h"
#include "core/params.h"
#include "live/aircraft_rec.h"
#include "live/live_set.h"
#include "live/parking_slots.h"
#include "live/removal.h"
#include "live/stand_choice.h"
#include "live/tick.h"
#include "platform/window_model.h"
#include "sim/sim_link.h"
#include "support/flight_lab.h"

namespace {

constexpr uint32_t kHexid = 0x4B1805;

std::vector<StandinObject> tst_objectsCalled(const std::string& atcId) {
    std::vector<StandinObject> found;
    for (const StandinObject& o : gf_standinObjects())
        if (o.atcId == atcId) found.push_back(o);
    return found;
}

// A flight whose feed gives the aircraft's registration after a minute: the registration has its
// own livery, installed or not.
class RespawnLab : public FlightLab {
  protected:
    void SetUp() override {
        FlightLab::SetUp();
        // The lab's paths know no respawn: a new livery is matched from birth while the old
        // object goes, and the removal and the new spawn may fall into one tick.
        for (LabInvariant& inv : invariants)
            if (inv.name == "state changes")
                inv.check = [states = inv.check](const std::optional<LabSnapshot>& b,
                                                 const LiveAircraft& ac) {
                    const bool respawn = (ac.lifeState == liveryrespawn && ac.flightState == birth) ||
                                         (b && b->lifeState == liveryrespawn && ac.lifeState == adding2sim);
                    return respawn ? std::optional<std::string>() : states(b, ac);
                };
    }
    // Two minutes level at 250 kt, fed point by point every 2 s with the 30 s delay; after a
    // minute the records bring the registration, whose own livery is the title.
    void fly(const std::string& registration, const char* title) {
        g_regToLivery.emplace(registration, title);
        Truth truth = lab_start(50.0, 8.0, 12000, 250, 90);
        lab_straight(truth, 120);
        startWorld(50.0, 8.0);
        for (const TruthPoint& p : truth) {
            LiveTrafficRecord r =
                tst_trafficRecord(kHexid, "DLH4AB", "DLH", "B738",
                                  {p.lat, p.lon, p.altFt, p.gsKt, p.trackDeg, p.vrateFpm}, 1000 + p.t);
            if (p.t >= 60) r.regcode = registration;
            feed({r}, 30);
            run(2);
            if (HasFailure()) return;
        }
    }
};

// A registration with another livery: the object is removed and created again with that title.
TEST_F(RespawnLab, NewIdentityGivesANewObjectWithTheNewTitle) {
    fly("D-ABYK", kTitleDlh744);
    run(40);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(journalLines("CREATE"),
              (std::vector<std::string>{fmt::format("CREATE DLH4AB {}", kTitleDlh738),
                                        fmt::format("CREATE DLH4AB {}", kTitleDlh744)}));
    EXPECT_EQ(journalLines("REMOVE").size(), 1u) << "the first object";
    const std::vector<StandinObject> objects = tst_objectsCalled("DLH4AB");
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].title, kTitleDlh744);
    ASSERT_NE(live(kHexid), nullptr);
    EXPECT_EQ(std::make_tuple(live(kHexid)->lifeState, live(kHexid)->objectId, live(kHexid)->liveryTitle),
              std::make_tuple(uint32_t{active}, objects[0].id, std::string_view(kTitleDlh744)));
}

// A registration whose livery the simulator refuses: neither the object nor the record is left.
TEST_F(RespawnLab, RefusedTitleGivesNeitherObjectNorRecord) {
    fly("N739DL", kTitleDal739);
    ASSERT_FALSE(HasFailure());
    const std::vector<std::string> creates = journalLines("CREATE");
    ASSERT_EQ(creates.size(), 2u);
    EXPECT_EQ(creates[1], fmt::format("CREATE DLH4AB {}", kTitleDal739));
    EXPECT_TRUE(tst_objectsCalled("DLH4AB").empty());
    EXPECT_NE(
        gf_capturedLog().find(fmt::format("DLH4AB '{}' could not be created by your Sim!\n", kTitleDal739)),
        std::string::npos);
    // Its later records, refused their livery, are dropped before they come near the simulator.
    run(40);
    EXPECT_EQ(live(kHexid), nullptr);
    EXPECT_EQ(journalLines("CREATE").size(), 2u);
}

// A parked aircraft whose registration brings another livery is created again where it stands:
// its stand stays its own and no other is taken, no half-hour is booked again, it stays parked;
// only the title is new. With a free stand beside it or none.
class ParkedRespawn : public TickHarness, public ::testing::WithParamInterface<bool> {};

TEST_P(ParkedRespawn, KeepsItsStandOnlyTheTitleChanges) {
    const LatLon at = gf_destinationPoint({kHarnessLat, kHarnessLon}, 0, 3000);
    g_stands.emplace_back("V101", std::vector<StandOption>{}, at.lat, at.lon, gf_degToRad(250), 20.0, false,
                          false, false);
    const LatLon beside = gf_destinationPoint(at, gf_degToRad(90), 164);  // 50 m east
    if (GetParam())
        g_stands.emplace_back("V102", std::vector<StandOption>{}, beside.lat, beside.lon, gf_degToRad(250),
                              20.0, false, false, false);
    gf_numberStands();
    gf_setParkSite({"EDDF", {kHarnessLat, kHarnessLon}, "", false, 0});
    g_regToLivery.emplace("D-ABYK", kTitleDlh744);
    startFlight();
    // Reports of an aircraft standing still are taken 15 s apart.
    const TrackPoint still{at.lat, at.lon, kHarnessElevFt, 0, 0};
    for (int i = 0; i < 3; ++i)
        feed({tst_trafficRecord(kHexid, "DLH4AB", "DLH", "B738", still, 1000 + 16 * i)}, 6 * (i + 1));
    ASSERT_GE(tickUntil([] { return live(kHexid) && live(kHexid)->lifeState == active; }), 0);
    ASSERT_EQ(std::make_tuple(live(kHexid)->flightState, live(kHexid)->standId),
              std::make_tuple(uint32_t{parked}, 1u));
    const uint32_t firstObject = live(kHexid)->objectId;
    const size_t options = g_stands[0].options.size(), bookings = g_hexidValues.size();
    const int32_t slot = gf_findHexidSlot(kHexid) ? gf_findHexidSlot(kHexid)->slot : -1;

    // As after its drive onto the stand: a still sample to come, no stream extension running.
    LiveAircraft& standing = *live(kHexid);
    standing.stream.push_back(standing.stream.front());
    standing.stream.back().dueTick = static_cast<int32_t>(gf_tickNow() + 6000);
    standing.extension = 0;
    LiveTrafficRecord record = tst_trafficRecord(kHexid, "DLH4AB", "DLH", "B738", still, 1050);
    record.regcode = "D-ABYK";
    feed({record}, 24);
    ASSERT_GE(tickUntil([&] {
                  return live(kHexid) && live(kHexid)->objectId != firstObject &&
                         live(kHexid)->lifeState == active;
              }),
              0);
    const LiveAircraft& ac = *live(kHexid);
    EXPECT_EQ(std::make_tuple(ac.flightState, ac.standId, ac.liveryTitle),
              std::make_tuple(uint32_t{parked}, 1u, std::string_view(kTitleDlh744)));
    EXPECT_EQ(std::make_tuple(g_stands[0].occupied, g_stands[0].occupantHexid),
              std::make_tuple(true, kHexid));
    if (GetParam()) EXPECT_FALSE(g_stands[1].occupied);
    EXPECT_EQ(std::make_tuple(g_stands[0].options.size(), g_hexidValues.size()),
              std::make_tuple(options, bookings));
    EXPECT_EQ(gf_findHexidSlot(kHexid) ? gf_findHexidSlot(kHexid)->slot : -1, slot);
    const std::vector<StandinObject> objects = tst_objectsCalled("DLH4AB");
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].title, kTitleDlh744);
    EXPECT_LT(gf_haversineNm({objects[0].pos.lat, objects[0].pos.lon}, at), gf_metersToNm(1));
}

INSTANTIATE_TEST_SUITE_P(Respawn, ParkedRespawn, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "BesideAFreeStand" : "NoOtherStand"; });

using RespawnTick = TickHarness;

// The bind limit judges the create that waits: a respawn's create, sent a while after the
// aircraft's first, is withdrawn 30 s after itself and not 30 s after the first one.
TEST_F(RespawnTick, RespawnCreateIsJudgedByItsOwnBindLimit) {
    startFlight();
    AUTO_RANGE.set(false);
    feedTrack(kHexid, "DLH4AB", "DLH", "B738", tst_inbound());
    const auto createSent = [] {
        return live(kHexid) && live(kHexid)->lifeState == adding2sim && g_hexidStack.empty() &&
               g_createDeque.empty();
    };
    ASSERT_GE(tickUntil(createSent), 0);
    const uint32_t firstSent = gf_tickNow() - 1;
    ASSERT_GE(tickUntil([] { return live(kHexid)->lifeState == active; }), 0);
    RANGE.set(2);  // the new object is never found
    feed({tst_trafficRecord(kHexid, "DLH5CD", "DLH", "B738", tst_pointNear(8.75), 1018)}, 24);
    ASSERT_GE(tickUntil([] { return live(kHexid)->lifeState == liveryrespawn; }), 0);
    ASSERT_GE(tickUntil(createSent), 0);
    const uint32_t respawnSent = gf_tickNow() - 1;
    ASSERT_LT(respawnSent, firstSent + kCreateBindLimitTicks);
    newLog();
    tickUntil([&] { return gf_tickNow() == firstSent + kCreateBindLimitTicks + 2; });
    ASSERT_NE(live(kHexid), nullptr);
    EXPECT_EQ(std::make_tuple(live(kHexid)->lifeState, live(kHexid)->withdrawn),
              std::make_tuple(uint32_t{adding2sim}, uint8_t{0}));
    ASSERT_GE(tickUntil([] { return live(kHexid) == nullptr; }), 0);
    EXPECT_EQ(gf_tickNow(), respawnSent + kCreateBindLimitTicks + 2)
        << "withdrawn, then erased at the next update";
    EXPECT_NE(
        newLog().find(
            "===> lf_handleAddingStack EGLL->EDDF DLH5CD    DLH B738 not created within 30 s, withdrawn\n"),
        std::string::npos);
    RANGE.set(40);
    tickUntil([] { return tst_objectsCalled("DLH5CD").empty(); }, 300);
}

}  // namespace
