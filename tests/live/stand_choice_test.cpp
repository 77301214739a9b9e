#include "live/stand_choice.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "core/clock.h"
#include "core/slots.h"
#include "live/parking_slots.h"
#include "sim/sim_state.h"
#include "stand_fixture.h"

namespace {

using StandChoiceTest = StandTest;

StandOption tst_realOption(std::string callsign, uint32_t day, int slot) {
    return StandOption(std::move(callsign), "", "SWR", "A320", "HB-JLA", uint64_t{1} << slot, 1, day, 1, 1);
}

TEST_F(StandChoiceTest, NearestFreeStandBySizeKindAndOccupation) {
    struct Row {
        const char *what, *type;
        TestStand stand;
        double distanceM;
        bool occupied, found;
        double radiusAfterM;
    };
    // A B738 has a half span of 17.9 m, an EC35 one of 5.1 m.
    const Row rows[] = {
        {"1.7 m too small fits anywhere in the radius", "B738", {"S", 0, 0, 16.2}, 40, false, true, 16.2},
        {"1.9 m too small: taken within 20 m, enlarged", "B738", {"S", 0, 0, 16.0}, 15, false, true, 16.9},
        {"1.9 m too small is refused beyond 20 m", "B738", {"S", 0, 0, 16.0}, 25, false, false, 16.0},
        {"beyond the search radius", "B738", {"S", 0, 0, 30}, 56, false, false, 30},
        {"occupied", "B738", {"S", 0, 0, 30}, 5, true, false, 30},
        {"airliner on a helipad", "B738", {"S", 0, 0, 30, false, false, true}, 5, false, false, 30},
        {"helicopter on a helipad", "EC35", {"S", 0, 0, 10, false, false, true}, 5, false, true, 10},
        {"helicopter on a ramp stand", "EC35", {"S", 0, 0, 10, false, true, false}, 5, false, false, 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshCase();
        tst_addStands({row.stand});
        g_stands[0].occupied = row.occupied;
        const LiveAircraft ac = liveAc(30001, "SWR12", row.type);
        const int32_t updatesBefore = g_parkFileUpdates;
        const Stand* found = gf_nearestFreeStand(tst_offsetM(row.distanceM, 0), ac, gf_metersToNm(55), false);
        EXPECT_EQ(found, row.found ? &g_stands[0] : nullptr);
        EXPECT_NEAR(g_stands[0].radius, gf_metersToNm(row.radiusAfterM), 1e-12);
        const bool enlarged = row.radiusAfterM != row.stand.radiusM;
        EXPECT_EQ(g_stands[0].radius_change, enlarged);
        EXPECT_EQ(g_parkFileUpdates - updatesBefore, enlarged ? 1 : 0);
    }
}

TEST_F(StandChoiceTest, NearestFreeStandPrefersAStandThatKnowsTheAircraft) {
    // Nothing within the 55 m searched: a known fitting stand within 85 m is taken with prefer.
    tst_addStands({{"FAR", 70, 0, 30}, {"KNOWN", 0, 80, 30}, {"TOO", 0, 80, 30}});
    g_stands[1].options.push_back(tst_realOption("SWR12", 1, 0));
    g_stands[2].options.push_back(tst_realOption("SWR12", 1, 0));  // as near: the first wins
    g_stands[0].options.push_back(tst_realOption("EZY1", 1, 0));
    const LatLon here = tst_offsetM(0, 0);
    struct Row {
        const char *what, *callsign;
        bool prefer;
        const char* found;
    };
    const Row rows[] = {{"known", "SWR12", true, "KNOWN"},
                        {"without prefer", "SWR12", false, "none"},
                        {"no callsign", "", true, "none"},
                        {"unknown callsign", "DLH4", true, "none"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Stand* s =
            gf_nearestFreeStand(here, liveAc(30001, row.callsign, "B738"), gf_metersToNm(55), row.prefer);
        EXPECT_EQ(s ? s->name : std::string("none"), row.found);
    }
    EXPECT_EQ(std::make_tuple(g_stands[1].radius, g_stands[1].radius_change, g_parkFileUpdates),
              std::make_tuple(gf_metersToNm(30), false, 0))
        << "the known stand fits as it is";
    // A too-small stand right here, met first, switches the preference off although it is not taken.
    g_stands.insert(g_stands.begin(), Stand("SMALL", {}, tst_offsetM(30, 0).lat, tst_offsetM(30, 0).lon, 0.0,
                                            10.0, false, false, false));
    gf_numberStands();
    EXPECT_EQ(gf_nearestFreeStand(here, liveAc(30001, "SWR12", "B738"), gf_metersToNm(55), true), nullptr);
}

TEST_F(StandChoiceTest, StandAtSpawn) {
    struct Row {
        const char* what;
        bool stationary = true;
        double nextGs = 0, backNorthM = 0;
        const char* parkCode = "LSZH";
        double airportNorthNm = 0;
        const char* reserved = "";
        bool userOnA1 = false;
        const char* neighbourType = nullptr;  // a live aircraft parked on A2 (35 m east)
        bool pushbackOnA1 = false;            // an aircraft confirmed on A1 pushing back
        bool parkedOnA1 = false;              // an unconfirmed parked aircraft that would give way
        bool staticOnA1 = false;
        bool found = false;
        uint8_t eraseFlag = 0;
    };
    const Row rows[] = {
        {.what = "free stand", .found = true},
        {.what = "no park airport", .parkCode = ""},
        {.what = "park airport 6 nm away", .airportNorthNm = 6},
        {.what = "reserved stand", .reserved = "A1"},
        {.what = "another stand reserved", .reserved = "A2", .found = true},
        {.what = "the user's stand", .userOnA1 = true},
        {.what = "a parked B738 next door", .neighbourType = "B738", .eraseFlag = 1},
        {.what = "a parked C172 next door", .neighbourType = "C172", .found = true},
        {.what = "an aircraft pushing back from it", .pushbackOnA1 = true, .eraseFlag = 1},
        {.what = "an occupant gives way", .parkedOnA1 = true, .found = true},
        {.what = "occupant, B738 next door", .neighbourType = "B738", .parkedOnA1 = true, .eraseFlag = 1},
        {.what = "a static aircraft makes way", .staticOnA1 = true, .found = true},
        {.what = "rolling to a stop on it", .stationary = 0, .nextGs = 3, .backNorthM = 30, .found = true},
        {.what = "rolling too fast", .stationary = false, .nextGs = 6, .backNorthM = 30},
        {.what = "rolling on past it", .stationary = false, .nextGs = 3, .backNorthM = 36},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshCase();
        tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 35, 30}});
        ParkSite site = site_;
        site.code = row.parkCode;
        site.position = tst_offsetM(row.airportNorthNm * 1852, 0);
        site.reservedStand = row.reserved;
        g_userOnGround = row.userOnA1;
        g_userPosition.lat = g_stands[0].latitude;
        g_userPosition.lon = g_stands[0].longitude;
        if (row.neighbourType) g_liveRecords.push_back(liveAc(30002, "EZY2", row.neighbourType, 2));
        if (row.pushbackOnA1) g_liveRecords.push_back(liveAc(30003, "EZY3", "B738", 1, active, pushing_back));
        for (LiveAircraft& other : g_liveRecords) other.standSampleSeen = 1;
        if (row.parkedOnA1) g_liveRecords.push_back(liveAc(30004, "EZY4", "B738", 1));
        if (row.staticOnA1) g_staticAircraft.push_back(staticAc(11, "EZY1*", "B738", 1));
        LiveAircraft ac = liveAc(30001, "SWR12", "B738");
        ac.stream.resize(2);
        for (PosSample& p : ac.stream) {
            p.lat = tst_offsetM(5 + (&p == &ac.stream[1] ? row.backNorthM : 0), 0).lat;
            p.lon = kStandOrigin.lon;
            p.stationary = row.stationary;
            p.gs = row.stationary ? 0 : 4;
        }
        ac.stream[1].gs = row.nextGs;

        const Stand* s = lf_standAtSpawn(ac, site);
        EXPECT_EQ(s, row.found ? &g_stands[0] : nullptr);
        EXPECT_EQ(ac.eraseFlag, row.eraseFlag);
        if (row.staticOnA1) EXPECT_EQ(g_staticAircraft[0].lifeState, removingfromsim);
        // A newcomer refused for its neighbours must not have removed the occupant first.
        if (row.parkedOnA1) EXPECT_EQ(g_liveRecords.back().lifeState, row.found ? removingfromsim : active);
        if (!row.found) continue;
        EXPECT_EQ(ac.stream.front().stationary, 1);
        EXPECT_EQ(ac.stream.front().gs, 0.0);
    }
}

// A spawn standing still 70 m from a stand that knows it takes that stand; one still rolling
// does not.
TEST_F(StandChoiceTest, StandAtSpawnPrefersAKnownStandOnlyStandingStill) {
    for (const bool standing : {true, false}) {
        SCOPED_TRACE(standing);
        freshCase();
        tst_addStands({{"KNOWN", 0, 0, 30}});
        g_stands[0].options.push_back(tst_realOption("SWR12", 1, 0));
        LiveAircraft ac = liveAc(30001, "SWR12", "B738");
        ac.stream.resize(2);
        for (PosSample& p : ac.stream) {
            p.lat = tst_offsetM(70, 0).lat;
            p.lon = kStandOrigin.lon;
            p.stationary = standing;
            p.gs = standing ? 0 : 3;
        }
        EXPECT_EQ(lf_standAtSpawn(ac, site_), standing ? &g_stands[0] : nullptr);
    }
}

TEST_F(StandChoiceTest, CandidatesOfTheKindOfStandTheAircraftUses) {
    struct Row {
        const char *what, *callsign, *type;
        uint8_t isCargo;
        const char *airline, *bookedStand /* a stand with an option at Wednesday 10:00 */, *expected;
    };
    const Row rows[] = {
        {"airliner at a US airport: gate by size", "SWR12", "B738", 0, "SWR", "", "G1"},
        {"heavy needs the large gate", "SWR12", "B744", 0, "SWR", "", "G2"},
        {"a booked gate is skipped", "SWR12", "B738", 0, "SWR", "G1", "G2"},
        {"cargo aircraft", "FDX1", "B738", 1, "FDX", "", "C1"},
        {"light aircraft", "HBABC", "C172", 0, "", "", "R1"},
        {"private jet", "HBXYZ", "B738", 0, "PVT", "", "R1"},
        {"helicopter", "REGA1", "EC35", 0, "", "", "H1"},
        {"helicopter when the helipad is booked", "REGA1", "EC35", 0, "", "H1", "R1"},
    };
    const uint64_t wednesday10 = gf_packSlot(20, 3);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshCase();
        tst_addStands({{"G1", 0, 0, 25},
                       {"G2", 0, 100, 40},
                       {"R1", 100, 0, 25, false, true},
                       {"C1", 100, 100, 45, true},
                       {"H1", 200, 0, 10, false, false, true}});
        if (*row.bookedStand)
            gf_findStandById(row.bookedStand)->options.push_back(tst_realOption("X", 3, 20));
        LiveAircraft ac = liveAc(30001, row.callsign, row.type);
        ac.isCargo = row.isCargo;
        ac.airline = row.airline;
        ParkSite site = site_;
        site.code = "KJFK";
        const Stand* s = lf_standCandidates(wednesday10, ac, false, site);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->name, row.expected);
    }
}

// Among the stands that fit by size, one whose options know the aircraft (here at another hour)
// comes before a closer fit; between stands alike in that the closer fit wins.
TEST_F(StandChoiceTest, AStandThatKnowsTheAircraftComesBeforeACloserFit) {
    struct Row {
        const char* what;
        bool largeKnows, closeKnows;
        const char* expected;
    };
    const Row rows[] = {{"the large stand knows it", true, false, "L1"},
                        {"neither knows it", false, false, "C1"},
                        {"both know it", true, true, "C1"},
                        {"the close fit knows it", false, true, "C1"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshCase();
        tst_addStands({{"L1", 0, 0, 40}, {"C1", 0, 100, 25}});
        if (row.largeKnows) g_stands[0].options.push_back(tst_realOption("SWR12", 3, 30));
        if (row.closeKnows) g_stands[1].options.push_back(tst_realOption("SWR12", 3, 30));
        ParkSite site = site_;
        site.code = "KJFK";
        const Stand* s = lf_standCandidates(gf_packSlot(20, 3), liveAc(30001, "SWR12", "B738"), false, site);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->name, row.expected);
    }
}

TEST_F(StandChoiceTest, SmallAirportTriesTheNextHalfHourOnce) {
    struct Row {
        const char* what;
        uint64_t now;
        bool retry;
        int standCount;
        std::vector<std::pair<int, int>> booked;  // weekday and half-hour of each stay on G1
        bool found;
    };
    const std::vector<std::pair<int, int>> sundayNight = {{7, 46}, {7, 47}};  // 23:00 and 23:30
    const Row rows[] = {
        {"retry over the week's end", gf_packSlot(47, 7), true, 1, sundayNight, true},
        {"no retry asked", gf_packSlot(47, 7), false, 1, sundayNight, false},
        {"more than ten stands", gf_packSlot(47, 7), true, 11, sundayNight, false},
        {"the next half-hour is booked too", gf_packSlot(46, 7), true, 1, sundayNight, false},
        {"Monday 00:00 is booked too", gf_packSlot(47, 7), true, 1, {{7, 47}, {1, 0}}, false},
        {"Thursday 00:00 is booked too", gf_packSlot(47, 3), true, 1, {{3, 47}, {4, 0}}, false},
        {"Thursday 00:00 is free", gf_packSlot(47, 3), true, 1, {{3, 47}, {3, 0}, {2, 0}}, true},
        {"the next half-hour the same day", gf_packSlot(45, 3), true, 1, {{3, 45}, {3, 47}}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshCase();
        tst_addStands({{"G1", 0, 0, 25}});
        for (int i = 1; i < row.standCount; ++i) tst_addStands({{"H", 0, 100.0 * i, 10, false, false, true}});
        for (const auto& [day, slot] : row.booked)
            g_stands[0].options.push_back(tst_realOption("X", static_cast<uint32_t>(day), slot));
        const Stand* s = lf_standCandidates(row.now, liveAc(30001, "SWR12", "B738"), row.retry, site_);
        EXPECT_EQ(s, row.found ? &g_stands[0] : nullptr);
    }
}

TEST_F(StandChoiceTest, DepartureBookingLearnsSoftOptions) {
    static std::atomic<int64_t> clockSeconds;
    clockSeconds = 1704276300;  // 2024-01-03, a Wednesday
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(clockSeconds.load())); });
    tst_addStands({{"G1", 0, 0, 25}});
    LEARN_SOFT.set(true);
    const auto departing = [](uint32_t hexid) {
        LiveAircraft ac = liveAc(hexid, "SWR" + std::to_string(hexid), "B738", 0, active, taxi);
        ac.lat = kStandOrigin.lat;
        ac.lon = kStandOrigin.lon;
        return ac;
    };
    LiveAircraft ac = departing(30001);  // Wednesday 10:05: booked at 10:00
    lf_bookDepartureStand(ac, true, site_);
    ASSERT_EQ(g_stands[0].options.size(), 1u);
    EXPECT_EQ(g_stands[0].options[0].reg, "HB-30001");
    EXPECT_EQ(g_stands[0].options[0].hh, uint64_t{1} << 20);
    EXPECT_EQ(g_stands[0].options[0].real, 0u) << "a soft option";
    clockSeconds += 3600;  // 11:05, slot 22: the known stand carries the stay on
    lf_bookDepartureStand(ac, true, site_);
    ASSERT_EQ(g_stands[0].options.size(), 1u);
    EXPECT_EQ(g_stands[0].options[0].hh, uint64_t{7} << 20);
    EXPECT_EQ(gf_findHexidSlot(30001)->slot, 22);
    // Not booked: flying high, holding a stand, 6 nm away, or with soft learning off.
    for (int refused = 0; refused < 4; ++refused) {
        SCOPED_TRACE(refused);
        LiveAircraft other = departing(30002);
        other.agl = refused == 0 ? 3000 : 0;
        other.standId = refused == 1 ? 1 : 0;
        other.lat += refused == 2 ? 0.1 : 0;
        LEARN_SOFT.set(refused != 3);
        lf_bookDepartureStand(other, refused != 0, site_);
        EXPECT_EQ(gf_findHexidSlot(30002), nullptr);
        EXPECT_EQ(g_stands[0].options.size(), 1u);
    }
}

// A departure is booked at the first and last half-hour of the week; with no readable time
// (before 1970) nothing is.
TEST_F(StandChoiceTest, DepartureBookingAtTheWeeksEdges) {
    static std::atomic<int64_t> clockSeconds;
    const struct Row {
        const char* what;
        int64_t seconds;
        std::optional<std::pair<uint32_t, uint64_t>> booked;  // weekday, half-hours
    } rows[] = {
        {"Monday 00:05", 1704067500, std::pair{1u, uint64_t{1}}},
        {"Sunday 23:55", 1704671700, std::pair{7u, uint64_t{1} << 47}},
        {"before 1970", -100, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshCase();
        clockSeconds = row.seconds;
        gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(clockSeconds.load())); });
        tst_addStands({{"G1", 0, 0, 25}});
        LEARN_SOFT.set(true);
        LiveAircraft ac = liveAc(30001, "SWR12", "B738", 0, active, taxi);
        ac.lat = kStandOrigin.lat;
        ac.lon = kStandOrigin.lon;
        lf_bookDepartureStand(ac, true, site_);
        ASSERT_EQ(g_stands[0].options.size(), row.booked ? 1u : 0u);
        EXPECT_EQ(gf_findHexidSlot(30001) != nullptr, row.booked.has_value());
        if (!row.booked) continue;
        const StandOption& o = g_stands[0].options[0];
        EXPECT_EQ(std::make_pair(o.day, o.hh), *row.booked);
    }
}

// A departing aircraft whose registration has a stay on some stand within half an hour of now
// books nothing more; another one is booked.
TEST_F(StandChoiceTest, DepartureOfARegistrationSeenNearNowBooksNothing) {
    static std::atomic<int64_t> clockSeconds;
    clockSeconds = 1704276300;  // 2024-01-03, a Wednesday, 10:05
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(clockSeconds.load())); });
    tst_addStands({{"G1", 0, 0, 25}, {"G2", 0, 100, 25}});
    g_stands[1].options.push_back(
        StandOption("EZY1", "", "EZY", "A320", "HB-30003", uint64_t{1} << 21, 1, 3, 1, 1));
    LEARN_SOFT.set(true);
    for (const auto& [hexid, booked] : {std::pair{30003u, false}, std::pair{30004u, true}}) {
        SCOPED_TRACE(hexid);
        LiveAircraft ac = liveAc(hexid, "SWR" + std::to_string(hexid), "B738", 0, active, taxi);
        ac.lat = kStandOrigin.lat;
        ac.lon = kStandOrigin.lon;
        lf_bookDepartureStand(ac, true, site_);
        EXPECT_EQ(g_stands[0].options.size() + g_stands[1].options.size(), booked ? 2u : 1u);
    }
}

// An aircraft is booked on departure at most once in three half-hours, also over midnight.
TEST_F(StandChoiceTest, DepartureBookedAtMostOnceInThreeHalfHours) {
    struct Row {
        int lastSlot;  // -1: never booked
        bool booked;
    } rows[] = {{-1, true}, {18, false}, {17, true}, {21, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.lastSlot);
        freshCase();
        // 2024-01-03, a Wednesday, 10:05: half-hour 20.
        gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1704276300)); });
        tst_addStands({{"G1", 0, 0, 25}});
        LEARN_SOFT.set(true);
        if (r.lastSlot >= 0) gf_setHexidSlot(30001, r.lastSlot);
        LiveAircraft ac = liveAc(30001, "SWR12", "B738", 0, active, taxi);
        ac.lat = kStandOrigin.lat;
        ac.lon = kStandOrigin.lon;
        lf_bookDepartureStand(ac, true, site_);
        EXPECT_EQ(g_stands[0].options.size(), r.booked ? 1u : 0u);
        ASSERT_NE(gf_findHexidSlot(30001), nullptr);
        EXPECT_EQ(gf_findHexidSlot(30001)->slot, r.booked ? 20 : r.lastSlot);
    }
}

// The user's stand is looked up on the simulator thread in the stands the run thread last
// published: never a cached name after the list changed, never a half-published list.
TEST_F(StandChoiceTest, NearestStandNameFollowsTheRepublishedStands) {
    tst_addStands({{"A1", 0, 0, 30}, {"A2", 0, 100, 30}});
    const LatLon nearA1 = tst_offsetM(40, 0);
    EXPECT_EQ(gf_nearestStandName(nearA1), "") << "the user is not on the ground";
    g_userOnGround = true;
    EXPECT_EQ(gf_nearestStandName(nearA1), "A1");
    EXPECT_EQ(gf_nearestStandName(tst_offsetM(56, 0)), "") << "beyond 55 m";
    g_stands[0].name = "B7";
    EXPECT_EQ(gf_nearestStandName(nearA1), "A1") << "nothing published yet";
    gf_publishStands();
    EXPECT_EQ(gf_nearestStandName(nearA1), "B7");

    std::atomic<bool> done{false};
    std::string last;
    std::thread simThread([&] {
        do last = gf_nearestStandName(nearA1);
        while (!done.load() || last != "FINAL");
    });
    for (int i = 0; i < 200; ++i) {
        g_stands[0].name = i % 2 ? "ODD" : "EVEN";
        gf_publishStands();
    }
    g_stands[0].name = "FINAL";
    gf_publishStands();
    done = true;
    simThread.join();
    EXPECT_EQ(last, "FINAL");
    gf_clearStands();
    EXPECT_EQ(gf_nearestStandName(nearA1), "");
}

// Each kind of stand is tried by size first, then at any size, before the next kind: a stand of
// the aircraft's own kind that is too small still comes before another kind that fits. A
// helicopter takes a helipad or a ramp by size before either at any size.
TEST_F(StandChoiceTest, EachKindOfStandIsTriedBySizeThenAtAnySize) {
    struct Row {
        const char* what;
        std::vector<TestStand> stands;
        const char *type, *airline;
        uint8_t isCargo;
        const char* expected;  // "" none
    };
    const Row rows[] = {
        {"helicopter: a ramp that fits before a small helipad",
         {{"H1", 0, 0, 2, false, false, true}, {"R1", 100, 0, 25, false, true}},
         "EC35",
         "",
         0,
         "R1"},
        {"helicopter: a small helipad before a small ramp",
         {{"R1", 0, 0, 2, false, true}, {"H1", 100, 0, 2, false, false, true}},
         "EC35",
         "",
         0,
         "H1"},
        {"helicopter: a small ramp when nothing else",
         {{"R1", 0, 0, 2, false, true}, {"G1", 100, 0, 25}},
         "EC35",
         "",
         0,
         "R1"},
        {"cargo: a small cargo stand before a gate that fits",
         {{"G1", 0, 0, 25}, {"C1", 100, 0, 10, true}},
         "B738",
         "FDX",
         1,
         "C1"},
        {"cargo: without cargo stands a gate by size",
         {{"G1", 0, 0, 10}, {"G2", 100, 0, 30}},
         "B738",
         "FDX",
         1,
         "G2"},
        {"cargo: without cargo stands a small gate",
         {{"G1", 0, 0, 10}, {"H1", 100, 0, 25, false, false, true}},
         "B738",
         "FDX",
         1,
         "G1"},
        {"light aircraft: a small ramp",
         {{"G1", 0, 0, 25}, {"R1", 100, 0, 2, false, true}},
         "C172",
         "",
         0,
         "R1"},
        {"light aircraft: never a gate", {{"G1", 0, 0, 25}}, "C172", "", 0, ""},
        {"airliner: a small gate before a ramp that fits",
         {{"R1", 0, 0, 25, false, true}, {"G1", 100, 0, 10}},
         "B738",
         "SWR",
         0,
         "G1"},
    };
    const uint64_t wednesday10 = gf_packSlot(20, 3);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freshCase();
        for (const TestStand& t : row.stands) tst_addStands({t});
        LiveAircraft ac = liveAc(30001, std::string(row.airline) + "12", row.type);
        ac.isCargo = row.isCargo;
        ac.airline = row.airline;
        ParkSite site = site_;
        site.code = "KJFK";  // airliners at the gates first
        const Stand* s = lf_standCandidates(wednesday10, ac, false, site);
        EXPECT_EQ(s ? s->name : std::string(), row.expected);
    }
}

}  // namespace
