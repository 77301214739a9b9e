#include "airports/park_airports.h"

#include <fmt/format.h>

#include "airports/airport_list.h"
#include "airports/apf_read.h"
#include "airports/stand.h"
#include "airports/stand_options.h"
#include "core/display.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "core/slots.h"
#include "feed/feed_state.h"
#include "live/live_set.h"
#include "live/stand_choice.h"
#include "platform/window_model.h"
#include "sim/sim_state.h"
#include "static/park_watch.h"
#include "support/park_airports_fixture.h"

namespace fs = std::filesystem;

namespace {

// The nearest listed airport in range is chosen and loaded at the next watch; out of sight it is dropped
// and what was learned is saved; a new flight forgets the list; the next visit reads the option back.
TEST_F(ParkAirportsTest, AFlightInAndOutSavesWhatWasLearnedForTheNextVisit) {
    tst_writeFile(kMyParkAirportsFile, "EDDF\nLSZH\n");
    lf_readMyParkAirports();
    g_currentSlot = gf_packSlot(20, 3);  // static parking computes at once and unlocks the controls
    restartLog();
    userAt(northOf(kZurich, 10), 5000, false);
    gf_watchParkAirport(false);
    EXPECT_EQ(gf_parkSite().code, "LSZH");
    EXPECT_TRUE(g_parkLoadPending && g_parkingControlsLocked && g_stands.empty());
    EXPECT_FALSE(gf_controlState(ctl::kRereadParkAirports).enabled || gf_controlState(ctl::kSimTime).enabled);
    EXPECT_EQ(gf_capturedLog(), "\nThe park airport is LSZH (ZRH)\nLSZH in sight at 10.0 nm\n");
    gf_watchParkAirport(false);
    EXPECT_FALSE(g_parkingControlsLocked);
    EXPECT_TRUE(gf_controlState(ctl::kRereadParkAirports).enabled && gf_controlState(ctl::kSimTime).enabled);
    ASSERT_EQ(g_stands.size(), 2u);
    EXPECT_TRUE(gf_parkSite().parkedFileRead);  // two stands: live traffic learns soft options
    EXPECT_TRUE(gf_controlState(ctl::kLearnSoft).enabled);
    EXPECT_EQ(gf_windowStats().loadedText1, "Zurich");
    AircraftRec ac;
    ac.airline = "SWR", ac.type = "A320";
    gf_newOption(g_stands[1].options, ac, 1, gf_packSlot(20, 3), "SWR12", "HB-JLT");
    gf_countParkFileUpdate();
    restartLog();
    userAt(northOf(kZurich, 21), 5000, false);
    gf_watchParkAirport(false);
    const std::string log = gf_capturedLog();
    EXPECT_EQ(log.substr(log.find(' ', 1) + 1),
              "LSZH (ZRH) is out of sight (21.0 nm), parked aircraft will be removed\n"
              "16:00:00 'airports/learned/thirdparty/Pub/LSZH.xml' saved with 1 update \n");
    EXPECT_EQ(gf_parkSite().code + gf_windowStats().loadedText1 + std::to_string(g_stands.size()), "0");
    gf_resetParkingForNewFlight();
    EXPECT_EQ(listed(), "");
    ASSERT_TRUE(lf_setParkAirport("LSZH"));
    lf_loadParkAirport(true);
    ASSERT_EQ(g_stands.size(), 2u);
    const StandOption& o = g_stands[1].options.at(0);
    EXPECT_EQ(std::make_tuple(o.callsign, o.reg, o.day, o.hh, o.origin),
              std::make_tuple("SWR12", "HB-JLT", 3u, 1ull << 20, 0u));
    // At most 20 nm away and 18000 ft high.
    for (const auto& [distanceNm, altitudeFt, chosen] :
         {std::tuple{20.0, 18000, true}, {20.0001, 5000, false}, {5.0, 18001, false}}) {
        lf_resetStaticParking();
        g_parkAirports = {{"LSZH", "", kZurich, distanceNm}};
        userAt(northOf(kZurich, 30), altitudeFt, false);
        lf_findParkAirportInSight(g_lastWatchPosition, false);
        EXPECT_EQ(g_parkAirport.code, chosen ? "LSZH" : "") << distanceNm << " nm " << altitudeFt << " ft";
    }
}

// A nearer listed airport in sight takes the loaded one's place; the loaded one at the front stays.
// A park airport without a parking file anywhere is given up, and the message line says why.
TEST_F(ParkAirportsTest, AParkAirportWithoutAFileIsGivenUp) {
    ASSERT_TRUE(lf_setParkAirport("LSMD"));
    lf_loadParkAirport(true);
    EXPECT_TRUE(g_parkLoadPending && g_parkAirport.code == "LSMD");  // the site has not answered yet
    tst_awaitSite();
    gf_watchParkAirport(false);
    EXPECT_EQ(gf_messageText(), "lf_readParkedFile LSMD not found");
    EXPECT_NE(gf_capturedLog().find("lf_readParkedFile LSMD not found\n"), std::string::npos);
    EXPECT_EQ(g_parkAirport.code, "");
    EXPECT_TRUE(gf_controlState(ctl::kDestination).enabled);
}

TEST_F(ParkAirportsTest, ANearerListedAirportInSightTakesOver) {
    ASSERT_TRUE(lf_setParkAirport("LSZH"));
    for (const std::string front : {"LSZH", "LSMD"}) {
        g_parkAirports = {{front, "", kZurich, 3.0}};
        lf_checkParkAirportInSight(northOf(kZurich, 10));
        EXPECT_EQ(g_parkAirport.code, front == "LSZH" ? "LSZH" : "") << front;
    }
}

// Airports at equal distances keep their order, so the front entry does not flip at every watch;
// a move of less than 1e-8 degrees is no move.
TEST_F(ParkAirportsTest, SortIsStableAndOnlyAfterAMove) {
    const LatLon east{10, 20.6}, west{10, 19.4}, far{10, 22};
    userAt({10, 20}, 30000, false);
    g_parkAirports = {{"WEST", "", west, 0}, {"FAR", "", far, 0}, {"EAST", "", east, 0}};
    gf_watchParkAirport(false);
    EXPECT_EQ(listed(), "WEST, EAST, FAR,");
    g_parkAirports.reverse();
    userAt({10.0000001, 20}, 30000, false);
    gf_watchParkAirport(false);
    EXPECT_EQ(listed(), "EAST, WEST, FAR,");
    const std::pair<LatLon, bool> moves[] = {{{0, 20}, true}, {{0.5e-8, 20}, false}, {{1e-8, 20}, true},
                                             {{10, 0}, true}, {{10, 0.5e-8}, false}, {{10, 1e-8}, true}};
    for (const auto& [user, moved] : moves) {
        g_parkAirports = {{"FAR", "", {0, 30}, 0}, {"NEAR", "", {0, 21}, 0}};
        userAt(user, 30000, false);
        gf_watchParkAirport(false);
        EXPECT_EQ(listed(), moved ? "NEAR, FAR," : "FAR, NEAR,") << user.lat << " " << user.lon;
    }
}

// On the ground at a stand the closest airport is loaded at once: the stand is remembered in
// my_park_airports.txt and reserved for the user. Flown out of sight the airport goes with all of
// it: stands, the reservation, the window's marks and the flush control; with nothing learned no
// learned file is written. Back in the air the destination can be set again.
TEST_F(ParkAirportsTest, TheUsersStandIsRememberedAndEverythingGoesWithTheAirport) {
    g_currentSlot = gf_packSlot(20, 3);
    userAt(kStandZ1, 1416, true);
    gf_watchParkAirport(true);
    ASSERT_EQ(g_parkAirport.code, "LSZH");
    ASSERT_EQ(g_stands.size(), 2u);
    EXPECT_EQ(tst_readFile(kMyParkAirportsFile), "LSZH,Z1\n");
    EXPECT_EQ(listed(), "LSZH,Z1");
    EXPECT_EQ(gf_parkSite().reservedStand, "Z1");
    EXPECT_TRUE(gf_findStandById("Z1")->reserved);
    EXPECT_FALSE(gf_findStandById("Z2")->reserved);
    EXPECT_TRUE(gf_windowStats().reservedMark && gf_windowStats().loadedMark);
    EXPECT_FALSE(g_parkingControlsLocked) << "nothing to place";
    EXPECT_TRUE(gf_controlState(ctl::kFlushStatic).enabled &&
                gf_controlState(ctl::kParkingPercentage).enabled);

    gf_setEnabled(ctl::kDestination, false);
    restartLog();
    userAt(northOf(kZurich, 21), 5000, false);
    gf_watchParkAirport(false);
    EXPECT_EQ(g_parkAirport.code, "");
    EXPECT_TRUE(g_stands.empty());
    EXPECT_EQ(gf_parkSite().code + gf_parkSite().reservedStand, "");
    EXPECT_FALSE(gf_windowStats().reservedMark || gf_windowStats().loadedMark);
    EXPECT_EQ(gf_windowStats().parkAirportLabel, "");
    EXPECT_FALSE(gf_controlState(ctl::kFlushStatic).enabled ||
                 gf_controlState(ctl::kParkingPercentage).enabled);
    EXPECT_EQ(gf_capturedLog().find("saved"), std::string::npos) << gf_capturedLog();
    EXPECT_FALSE(fs::exists("airports/learned"));
    gf_watchParkAirport(false);
    EXPECT_TRUE(gf_controlState(ctl::kDestination).enabled);
    EXPECT_EQ(tst_readFile(kMyParkAirportsFile), "LSZH,Z1\n") << "the remembered stand stays";
}

// Reading the list again (the window's button) moves the reservation to the stand the list now
// names for the park airport, while the user is on the ground away from any stand and static
// parking is not busy; a list that does not read says so and changes nothing.
TEST_F(ParkAirportsTest, ReadingTheListAgainMovesTheReservedStand) {
    struct Row {
        const char* name;
        const char* list;
        bool checkStand, locked;
        LatLon user;
        bool read;
        const char* reserved;
    };
    const Row rows[] = {
        {"moved", "LSZH,Z2\n", true, false, kZurich, true, "Z2"},
        {"no stand check", "LSZH,Z2\n", false, false, kZurich, true, "Z1"},
        {"static parking busy", "LSZH,Z2\n", true, true, kZurich, true, "Z1"},
        {"the user on a stand", "LSZH,Z2\n", true, false, kStandZ1, true, "Z1"},
        {"the same stand", "LSZH,Z1\n", true, false, kZurich, true, "Z1"},
        {"a list that does not read", "LSZH,Z2\nQQQQ\n", true, false, kZurich, false, "Z1"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        gf_resetParkingForNewFlight();
        tst_writeFile(kMyParkAirportsFile, "LSZH,Z1\n");
        ASSERT_TRUE(lf_readMyParkAirports());
        userAt(kZurich, 1416, true);
        ASSERT_TRUE(lf_setParkAirport("LSZH"));
        EXPECT_TRUE(gf_parkAirportSet()) << "live traffic knows it";
        g_currentSlot = gf_packSlot(20, 3);
        lf_loadParkAirport(true);
        gf_watchParkAirport(false);  // nothing to place: static parking settles
        ASSERT_FALSE(g_parkingControlsLocked);
        ASSERT_EQ(gf_parkSite().reservedStand, "Z1");
        tst_writeFile(kMyParkAirportsFile, r.list);
        userAt(r.user, 1416, true);
        if (r.locked) gf_lockParkingControls();
        std::string out;
        EXPECT_EQ(gf_checkParkAirports(r.checkStand, out), r.read);
        const bool moved = std::string(r.reserved) == "Z2";
        EXPECT_EQ(out, moved    ? "reserved stand changed from 'Z1' to 'Z2'"
                       : r.read ? "park airports and stands are okay"
                                : "");
        EXPECT_EQ(gf_parkSite().reservedStand, r.reserved);
        EXPECT_TRUE(gf_windowStats().reservedMark);
        EXPECT_EQ(gf_findStandById("Z1")->reserved, !moved);
        EXPECT_EQ(gf_findStandById("Z2")->reserved, moved);
        if (r.locked) gf_unlockParkingControls();
    }
    lf_resetStaticParking();
    EXPECT_FALSE(gf_parkAirportSet());
}

// The simulator thread finds the stand the user stands still on and hands it over; the run
// thread remembers it as the park airport's stand. Moving, or away from the stands, nothing.
TEST_F(ParkAirportsTest, TheStandTheUserStandsOnIsHandedOverAndRemembered) {
    struct Row {
        LatLon at;
        double gsKt;
        const char* listed;
    };
    const Row rows[] = {{kStandZ2, 0, "LSZH,Z2\n"}, {kStandZ2, 2.5, "LSZH\n"}, {kZurich, 0, "LSZH\n"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.at.lon << " " << r.gsKt);
        gf_resetParkingForNewFlight();
        tst_writeFile(kMyParkAirportsFile, "LSZH\n");
        ASSERT_TRUE(lf_readMyParkAirports());
        userAt(kZurich, 1416, true);
        ASSERT_TRUE(lf_setParkAirport("LSZH"));
        lf_loadParkAirport(true);
        userAt(r.at, 1416, true, r.gsKt);
        gf_rememberUserStand();
        const bool handed = gf_takeRunRequest(RunRequest::RememberUserStand);
        EXPECT_EQ(handed, std::string(r.listed) != "LSZH\n");
        if (handed) lf_storeRememberedStand();
        EXPECT_EQ(tst_readFile(kMyParkAirportsFile), r.listed);
    }
}

// A park airport chosen in the air is read at the next watch; only a file of the download site
// is asked for now, never a file of the airports folder.
TEST_F(ParkAirportsTest, ChosenInTheAirOnlyASiteFileIsAskedForAhead) {
    const LatLon dubendorf = gf_findAirport("LSMD")->position();
    for (const auto& [code, position, asked] : {std::tuple{"LSZH", kZurich, 0}, {"LSMD", dubendorf, 1}}) {
        SCOPED_TRACE(code);
        gf_resetParkingForNewFlight();
        g_parkAirports = {{code, "", position, 0}};
        userAt(northOf(position, 10), 5000, false);
        gf_watchParkAirport(false);
        ASSERT_EQ(g_parkAirport.code, code);
        tst_awaitSite();
        EXPECT_EQ(server_.requestCount(fmt::format("/P3D/archive/stock/{}.xml", code)), asked);
        EXPECT_EQ(server_.requestCount(), asked) << "nothing else (the rows ask in turn)";
    }
}

// Loading the park airport on the ground the stand the user stands on replaces the one the list
// remembered; the same stand leaves the file as it was.
TEST_F(ParkAirportsTest, LoadedOnTheGroundTheUsersStandReplacesTheRememberedOne) {
    for (const auto& [at, listed, logged] :
         {std::tuple{kStandZ2, "LSZH,Z2\n", true}, {kStandZ1, "LSZH,Z1\n", false}}) {
        SCOPED_TRACE(listed);
        gf_resetParkingForNewFlight();
        tst_writeFile(kMyParkAirportsFile, "LSZH,Z1\n");
        ASSERT_TRUE(lf_readMyParkAirports());
        userAt(at, 1416, true);
        restartLog();
        ASSERT_TRUE(lf_setParkAirport("LSZH"));
        lf_loadParkAirport(true);
        EXPECT_EQ(tst_readFile(kMyParkAirportsFile), listed);
        EXPECT_EQ(gf_capturedLog().find("updated stand") != std::string::npos, logged) << gf_capturedLog();
    }
}

// The front entry's distance is measured again at every watch: when the user has not moved, and
// while a destination keeps the list's order, it alone. A stale distance must not choose it.
TEST_F(ParkAirportsTest, TheFrontEntrysDistanceIsMeasuredAtEveryWatch) {
    struct Row {
        const char* name;
        double northNm;
        bool moved;
        const char* destination;
        const char* chosen;
    };
    const Row rows[] = {
        {"not moved, far", 30, false, "", ""},
        {"not moved, near", 10, false, "", "LSZH"},
        {"moved with a destination, far", 30, true, "LSZH", ""},
        {"moved with a destination, near", 10, true, "LSZH", "LSZH"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        gf_resetParkingForNewFlight();
        DESTINATION.set(r.destination);
        const LatLon user = northOf(kZurich, r.northNm);
        g_parkAirports = {{"LSZH", "", kZurich, 0}};  // not measured yet
        userAt(user, 5000, false);
        g_lastWatchPosition = r.moved ? LatLon{} : user;
        restartLog();
        gf_watchParkAirport(false);
        EXPECT_EQ(g_parkAirport.code, r.chosen);
        EXPECT_NEAR(g_parkAirports.front().distance, r.northNm, 0.05);
        EXPECT_EQ(gf_capturedLog().find("in sight at") != std::string::npos, *r.chosen != '\0')
            << gf_capturedLog();
    }
}

// On the ground the closest airport whose file cannot be read is given up once and not read again
// at every watch; reading the list again gives it another chance.
TEST_F(ParkAirportsTest, OnTheGroundAnAirportWhoseFileFailedIsNotReadAgain) {
    tst_writeFile("airports/my_thirdparty/LSMD.xml", "no parking file");
    const LatLon dubendorf = gf_findAirport("LSMD")->position();
    userAt(dubendorf, 1400, true);
    const auto chosen = [] {
        const std::string log = gf_capturedLog();
        size_t n = 0;
        for (size_t at = log.find("The park airport is LSMD"); at != std::string::npos;
             at = log.find("The park airport is LSMD", at + 1))
            ++n;
        return n;
    };
    gf_watchParkAirport(true);
    EXPECT_EQ(chosen(), 1u) << gf_capturedLog();
    EXPECT_EQ(g_parkAirport.code, "");
    EXPECT_TRUE(g_failedParkAirports.contains("LSMD"));
    for (int i = 0; i < 3; ++i) gf_watchParkAirport(true);
    EXPECT_EQ(chosen(), 1u) << gf_capturedLog();
    lf_readMyParkAirports();
    gf_watchParkAirport(true);
    EXPECT_EQ(chosen(), 2u) << gf_capturedLog();
}

// A new flight leaves nothing of the last: no park site for live traffic (also when static
// parking never started there), and the learned updates are counted from the first again.
TEST_F(ParkAirportsTest, ANewFlightForgetsTheParkSiteAndTheCountOfUpdates) {
    g_parkAirports = {{"LSZH", "", kZurich, 0}};
    userAt(northOf(kZurich, 10), 5000, false);
    gf_watchParkAirport(false);
    ASSERT_TRUE(g_parkLoadPending);
    ASSERT_EQ(gf_parkSite().code, "LSZH");
    gf_countParkFileUpdate();
    gf_countParkFileUpdate();
    gf_resetParkingForNewFlight();
    EXPECT_EQ(gf_parkSite().code, "");
    EXPECT_FALSE(gf_parkAirportSet());
    gf_countParkFileUpdate();
    EXPECT_EQ(gf_windowStats().parkFileUpdates, 1);
}

// On the ground the closest airport is chosen only with a parking file; until the site has
// answered nothing is decided, and the message line says why none was chosen.
TEST_F(ParkAirportsTest, OnTheGroundOnlyAnAirportWithAFileIsChosen) {
    struct Row {
        const char* name;
        LatLon at;
        bool siteFails;
        const char* message;
        const char* chosen;
    };
    const LatLon dubendorf = gf_findAirport("LSMD")->position(),
                 frankfurt = gf_findAirport("EDDF")->position();
    const Row rows[] = {
        {"no airport near", {0, -30}, false, "User aircraft on the ground, no airport in sight", ""},
        {"no file anywhere", dubendorf, false, "User aircraft on the ground at LSMD, no airport file found",
         ""},
        {"the site fails", frankfurt, true,
         "User aircraft on the ground at EDDF, airport file not available: the site answered HTTP 500", ""},
        {"a file of its own", kStandZ1, false, "", "LSZH"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        gf_resetParkingForNewFlight();
        if (r.siteFails) server_.setFault("/P3D/archive/stock/EDDF.xml", HttpFault::ServerError);
        userAt(r.at, 1400, true);
        gf_clearMessage();
        gf_watchParkAirport(true);
        tst_awaitSite();
        gf_watchParkAirport(true);
        EXPECT_EQ(gf_messageText(), r.message);
        EXPECT_EQ(g_parkAirport.code, r.chosen);
        EXPECT_EQ(g_stands.size(), *r.chosen ? 2u : 0u);
    }
}

// Static parking ends: the learned file is written when options were learned or the parking
// settings changed, else left alone; either way the park airport and its values go.
TEST_F(ParkAirportsTest, EndingStaticParkingSavesOnlyWhatChanged) {
    for (const auto& [paramsChanged, updates, saved] :
         {std::tuple{false, 0, false}, {true, 0, true}, {false, 1, true}, {true, 2, true}}) {
        SCOPED_TRACE(fmt::format("{} {}", paramsChanged, updates));
        fs::remove_all("airports/learned");
        gf_resetParkingForNewFlight();
        userAt(kStandZ1, 1416, true);
        ASSERT_TRUE(lf_setParkAirport("LSZH"));
        lf_loadParkAirport(true);
        ASSERT_TRUE(g_staticParkingOn);
        g_parkParamsChanged = paramsChanged;
        for (int i = 0; i < updates; ++i) gf_countParkFileUpdate();
        lf_resetStaticParking();
        EXPECT_EQ(fs::exists("airports/learned/thirdparty/Pub/LSZH.xml"), saved);
        EXPECT_FALSE(g_staticParkingOn);
        EXPECT_EQ(g_parkAirport.code + gf_parkSite().code, "");
        EXPECT_FALSE(gf_controlState(ctl::kFlushStatic).enabled ||
                     gf_controlState(ctl::kParkingPercentage).enabled);
    }
}

}  // namespace
