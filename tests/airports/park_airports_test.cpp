#include "airports/park_airports.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include "airports/airport_list.h"
#include "airports/apf_fixture.h"
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
#include "support/airport_builders.h"

namespace fs = std::filesystem;

namespace {

// Zurich's parking file has the stands Z1 and Z2 east of the reference point.
constexpr LatLon kZurich{47.4647, 8.54917}, kStandZ1{47.4647, 8.5600}, kStandZ2{47.4647, 8.5620};

class ParkAirportsTest : public ApfTest {
protected:
    void SetUp() override {
        ApfTest::SetUp();
        tst_installRealAirports();
        gf_readAirports();
        tst_writeFile("airports/my_thirdparty/LSZH.xml",
                      tst_apfXml(R"(<parameter name="airport_name" value="Zurich"/><parameter name="altitude" value="1416"/>
                                    <parameter name="publisher" value="Pub"/>)",
                                 fmt::format(R"(<parkpos id="Z1" latitude="{}" longitude="{}" radius="30"/>
                                                <parkpos id="Z2" latitude="{}" longitude="{}" radius="30"/>)",
                                             kStandZ1.lat, kStandZ1.lon, kStandZ2.lat, kStandZ2.lon)));
        restartLog();
    }
    static std::string listed() {  // "CODE,stand CODE,stand ..." in list order
        std::string out;
        for (const ParkAirport& p : g_parkAirports) out += (out.empty() ? "" : " ") + p.code + "," + p.stand;
        return out;
    }
    static void userAt(LatLon p, double altitudeFt, bool onGround, double gsKt = 0) {
        UserSnapshot u;
        u.lat = p.lat, u.lon = p.lon, u.altitudeFt = altitudeFt, u.onGround = onGround, u.groundSpeedKt = gsKt;
        gf_storeUserSnapshot(u);
        g_userPosition = u;
    }
    static LatLon northOf(LatLon p, double nm) { return {p.lat + nm / 60.0, p.lon}; }
};

// The list keeps the first line of a code, skips bad lines and unknown airports (the read then
// says false), and takes the airports of the my_thirdparty files it lacks.
TEST_F(ParkAirportsTest, ReadingTheListSkipsDoublesBadLinesAndUnknownAirports) {
    tst_writeFile("airports/my_thirdparty/LSMD.xml", "<meta/>");
    tst_writeFile("airports/my_thirdparty/XXXX.xml", "<meta/>");
    const std::tuple<const char*, bool, const char*, const char*> rows[] = {
        // file (nullptr: none)
        {"LSZH,A1\nEDDF\n\nLSZH,B2\nEDDF,A,B\nXXXX\n", false, "LSZH,A1 EDDF, LSMD,",
         "===> my_park_airports.txt:LSZH double, skipped\n"
         "===> my_park_airports.txt:EDDF,A,B wrong syntax, skipped\n"
         "airport XXXX is unknown\n"
         "2 park airports read from 'my_park_airports.txt'\n"
         "1 park airport added from my_thirdparty folder(-s)\n"},
        {nullptr, true, "LSMD, LSZH,",
         "airports/my_park_airports.txt not found\n2 park airports added from my_thirdparty folder(-s)\n"},
    };
    for (const auto& [file, ok, list, log] : rows) {
        SCOPED_TRACE(list);
        fs::remove(kMyParkAirportsFile);
        if (file) tst_writeFile(kMyParkAirportsFile, file);
        restartLog();
        EXPECT_EQ(lf_readMyParkAirports(), ok);
        EXPECT_EQ(listed(), list);
        EXPECT_EQ(gf_capturedLog(), log);
    }
    // More than 3000 airports cost every watch much time: the user is told.
    fs::remove_all("airports/my_thirdparty");
    std::string many;
    for (size_t i = 0; i < 3001; ++i) {
        many += g_airports[i].code + "\n";
        if (i < 2999) continue;
        tst_writeFile(kMyParkAirportsFile, many);
        gf_clearMessage();
        lf_readMyParkAirports();
        EXPECT_EQ(gf_messageText(), i == 2999 ? ""
                                              : "Warning: There are a lot of airports (3001), that will cost "
                                                "TRLV much cpu time and may cause stutters");
    }
}

TEST_F(ParkAirportsTest, SavingTheFrontEntryNeverOverwritesAnUnreadableFile) {
    const std::tuple<const char*, ParkAirport, const char*, const char*> rows[] = {
        // before (nullptr: no file)
        {nullptr, {"LSZH", "B2"}, "LSZH,B2\n", "my_park_airports.txt created with LSZH,B2\n"},
        {"LSZH\nEDDF,A1\nEDDF,A1\n",
         {"LSZH", "E5"},
         "EDDF,A1\nLSZH,E5\n",
         "my_park_airports.txt:LSZH,E5 updated stand\n"},
        {"LSZH,E5\n", {"LSZH", "E5"}, "LSZH,E5\n", "my_park_airports.txt:LSZH,E5 updated stand\n"},
        {"LSZH,E5\n", {"EDDF", ""}, "EDDF\nLSZH,E5\n", "my_park_airports.txt:EDDF new entry\n"},
        // A code listed twice keeps one line, the stand just remembered: the other would be read first.
        {"LSZH,B1\nEDDF\nLSZH,A1\n",
         {"LSZH", "C3"},
         "EDDF\nLSZH,C3\n",
         "my_park_airports.txt:LSZH,C3 updated stand\n"},
    };
    for (const auto& [before, front, after, log] : rows) {
        SCOPED_TRACE(after);
        fs::remove(kMyParkAirportsFile);
        if (before) tst_writeFile(kMyParkAirportsFile, before);
        restartLog();
        g_parkAirports = {front};
        gf_saveMyParkAirports();
        EXPECT_EQ(tst_readFile(kMyParkAirportsFile), after);
        EXPECT_EQ(gf_capturedLog(), log);
    }
    lf_readMyParkAirports();
    EXPECT_EQ(listed(), "EDDF, LSZH,C3");
    // A file that cannot be written, or read, is never overwritten, and the console says so.
    tst_writeFile(kMyParkAirportsFile + std::string(".tmp/x"), "");
    g_parkAirports = {{"LSZH", "D4"}};
    restartLog();
    gf_saveMyParkAirports();
    EXPECT_EQ(tst_readFile(kMyParkAirportsFile), "EDDF\nLSZH,C3\n");
    const std::string unwritten =
        "Warning: airports/my_park_airports.txt could not be written, LSZH,D4 not saved";
    EXPECT_EQ(std::make_pair(gf_messageText(), gf_capturedLog()),
              std::make_pair(unwritten, "my_park_airports.txt:LSZH,D4 updated stand\n" + unwritten + "\n"));
    fs::remove(kMyParkAirportsFile);
    fs::create_directories(kMyParkAirportsFile);
    restartLog();
    gf_saveMyParkAirports();
    EXPECT_TRUE(fs::is_directory(kMyParkAirportsFile));
    const std::string unread = "Warning: airports/my_park_airports.txt cannot be read, LSZH,D4 not saved";
    EXPECT_EQ(std::make_pair(gf_messageText(), gf_capturedLog()), std::make_pair(unread, unread + "\n"));
}

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
    EXPECT_EQ(gf_windowStats().loadedText1, "Zurich");
    AircraftRec ac;
    ac.airline = "SWR", ac.type = "A320";
    gf_newOption(g_stands[1].options, ac, 1, gf_packSlot(20, 3), "SWR12", "HB-JLT");
    gf_countParkFileUpdate();
    restartLog();
    userAt(northOf(kZurich, 21), 5000, false);
    gf_watchParkAirport(false);
    const std::string log = gf_capturedLog();
    EXPECT_EQ(log.substr(log.find(' ', 1) + 1), "LSZH (ZRH) is out of sight (21.0 nm), parked aircraft will be removed\n"
                                                "16:00:00 'airports/learned/thirdparty/Pub/LSZH.xml' saved with 1 update \n");
    EXPECT_EQ(gf_parkSite().code + gf_windowStats().loadedText1 + std::to_string(g_stands.size()), "0");
    gf_resetParkingForNewFlight();
    EXPECT_EQ(listed(), "");
    ASSERT_TRUE(lf_setParkAirport("LSZH"));
    lf_loadParkAirport(true);
    ASSERT_EQ(g_stands.size(), 2u);
    const StandOption& o = g_stands[1].options.at(0);
    EXPECT_EQ(std::make_tuple(o.callsign, o.reg, o.day, o.hh, o.origin), std::make_tuple("SWR12", "HB-JLT", 3u, 1ull << 20, 0u));
    // At most 20 nm away and 18000 ft high.
    for (const auto& [distanceNm, altitudeFt, chosen] : {std::tuple{20.0, 18000, true}, {20.0001, 5000, false}, {5.0, 18001, false}}) {
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
    const std::pair<LatLon, bool> moves[] = {{{0, 20}, true},  {{0.5e-8, 20}, false}, {{1e-8, 20}, true},
                                             {{10, 0}, true}, {{10, 0.5e-8}, false}, {{10, 1e-8}, true}};
    for (const auto& [user, moved] : moves) {
        g_parkAirports = {{"FAR", "", {0, 30}, 0}, {"NEAR", "", {0, 21}, 0}};
        userAt(user, 30000, false);
        gf_watchParkAirport(false);
        EXPECT_EQ(listed(), moved ? "NEAR, FAR," : "FAR, NEAR,") << user.lat << " " << user.lon;
    }
}

constexpr LatLon kUser{47.44, 8.58};  // between Zurich and Dubendorf, within 5 nm of both

std::string tst_closest(LatLon p) {
    auto found = gf_findClosestAirport(p);
    return found ? found->get().code : "-";
}

// A parking file whose one stand stands so many metres north of the user.
std::string tst_standNorth(const char* id, double northM) {
    return fmt::format(R"(<meta/><parkpositions><parkpos id="{}" latitude="{:.9f}" longitude="{}"/>)"
                       "</parkpositions>", id, kUser.lat + gf_metersToNm(northM) / 60.0, kUser.lon);
}

// Zurich and Dubendorf lie 5.65 nm apart; the pole and the antimeridian must not fool the search.
// Zurich, later in code order and nearer, displaces Dubendorf, whose stand may still be nearer.
TEST_F(ParkAirportsTest, RealListReadOnceAndTheClosestAirport) {
    EXPECT_FALSE(fs::exists(g_airportsXmlPath));
    fs::remove(g_airportsEncPath);
    EXPECT_TRUE(gf_readAirports());  // read once: the encrypted file is not needed again
    EXPECT_EQ(g_airports.size(), 28278u);
    const Airport* zrh = gf_findAirport("LSZH");
    ASSERT_NE(zrh, nullptr);
    EXPECT_EQ(fmt::format("{} {} {} {}", gf_airportLabel(*zrh), zrh->lat, zrh->lon, gf_findAirport("EHLE")->alt),
              "LSZH (ZRH) 47.4647 8.54917 -13");
    const std::pair<LatLon, const char*> rows[] = {
        {{47.4647, 8.54917}, "LSZH"}, {{47.4200, 8.6100}, "LSMD"}, {{-89.99, 120.0}, "NZSP"},
        {{-18.5667, -179.99}, "NFMO"}, {{53.0, -15.0}, "-"}, {{47.5647, 8.54917}, "-"}};
    for (const auto& [position, code] : rows) EXPECT_EQ(tst_closest(position), code) << position.lat;
    const std::tuple<double, double, const char*, const char*> stands[] = {
        // metres north; -1: no file, -2: a pipe
        {-1, -1, "LSZH", ""},
        {200, -2, "LSZH", ""},
        {200, 200, "LSZH", ""},
        {300, 200, "LSMD",
         "Airport LSZH is closest, but stand D1 at neighbouring airport LSMD is closer at 200 meters ...\n"},
        {-1, 900, "LSMD",
         "Airport LSZH is closest, but stand D1 at neighbouring airport LSMD is closer at 900 meters ...\n"},
    };
    alarm(30);  // a pipe opened for reading would wait for ever
    for (const auto& [zurichM, dubendorfM, code, log] : stands) {
        SCOPED_TRACE(fmt::format("{} {}", zurichM, dubendorfM));
        fs::remove_all("airports/my_thirdparty");
        if (zurichM >= 0) tst_writeFile("airports/my_thirdparty/LSZH.xml", tst_standNorth("Z1", zurichM));
        if (dubendorfM >= 0) tst_writeFile("airports/my_thirdparty/LSMD.xml", tst_standNorth("D1", dubendorfM));
        if (dubendorfM == -2) ASSERT_EQ(mkfifo("airports/my_thirdparty/LSMD.xml", 0600), 0);
        restartLog();
        EXPECT_EQ(tst_closest(kUser), code);
        EXPECT_EQ(gf_capturedLog(), std::string("Airport LSZH is closest, neighbour is LSMD\n") + log);
    }
    alarm(0);
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

}  // namespace
