#include <cstdlib>
#include <filesystem>

#include <fmt/format.h>

#include "airports/apf_fixture.h"
#include "airports/park_airports.h"
#include "airports/stand.h"
#include "core/params.h"
#include "live/live_set.h"
#include "live/stand_choice.h"
#include "platform/window_model.h"
#include "shell/requests.h"
#include "sim/sim_state.h"
#include "support/airport_builders.h"

namespace fs = std::filesystem;

namespace {

// Zurich's parking file: stands a few hundred metres east of the reference point, 1 kt apart.
constexpr LatLon kZurich{47.4647, 8.54917};
constexpr LatLon kStandZ1{47.4647, 8.5600};
constexpr LatLon kStandZ2{47.4647, 8.5620};

class ParkWatchTest : public ApfTest {
  protected:
    void SetUp() override {
        ApfTest::SetUp();
        tst_installRealAirports();
        gf_readAirports();
        tst_writeFile(
            "airports/my_thirdparty/LSZH.xml",
            tst_apfXml(
                R"(<parameter name="altitude" value="1416"/><parameter name="airport_name" value="Zurich"/>)",
                fmt::format(R"(<parkpos id="Z1" latitude="{}" longitude="{}" radius="30"/>
<parkpos id="Z2" latitude="{}" longitude="{}" radius="30"/>)",
                            kStandZ1.lat, kStandZ1.lon, kStandZ2.lat, kStandZ2.lon)));
        restartLog();
    }
    static void restartLog() {
        gf_setLogCapture(false);
        gf_setLogCapture(true);
    }
    // The user aircraft somewhere, in the air at altitudeFt or on the ground.
    static void userAt(LatLon p, double altitudeFt, bool onGround, double gsKt = 0) {
        UserSnapshot u;
        u.lat = p.lat, u.lon = p.lon, u.altitudeFt = altitudeFt, u.onGround = onGround,
        u.groundSpeedKt = gsKt;
        gf_storeUserSnapshot(u);
        g_userPosition = u;
    }
    static LatLon northOf(LatLon p, double nm) { return {p.lat + nm / 60.0, p.lon}; }
    static void list(const char* text) {
        tst_writeFile(kMyParkAirportsFile, text);
        lf_readMyParkAirports();
    }
};

TEST_F(ParkWatchTest, InTheAirTheNearestListedAirportIsChosenAndLoadedAtTheNextWatch) {
    list("EDDF\nLSZH\n");  // EDDF first in the file, LSZH nearer
    restartLog();
    userAt(northOf(kZurich, 10), 5000, false);
    gf_watchParkAirport(false);
    EXPECT_EQ(g_parkAirports.front().code, "LSZH");
    EXPECT_EQ(gf_parkSite().code, "LSZH");
    EXPECT_TRUE(g_parkLoadPending);
    EXPECT_TRUE(g_parkingControlsLocked);
    EXPECT_TRUE(g_stands.empty());
    EXPECT_EQ(gf_capturedLog(), "\nThe park airport is LSZH (ZRH)\nLSZH in sight at 10.0 nm\n");
    gf_watchParkAirport(false);
    EXPECT_FALSE(g_parkLoadPending);
    EXPECT_FALSE(g_parkingControlsLocked);
    EXPECT_EQ(g_stands.size(), 2u);
    EXPECT_TRUE(gf_parkSite().parkedFileRead);  // two stands: live traffic learns soft options
    EXPECT_EQ(g_parkAirport.alt, 1416);
    EXPECT_TRUE(gf_windowStats().loadedMark);
    // In the air no stand is remembered; the entry moves to the front of the file as it is.
    EXPECT_EQ(tst_readFile(kMyParkAirportsFile), "EDDF\nLSZH\n");
}

TEST_F(ParkWatchTest, InSightUpToRangeAndHeightInclusive) {
    struct Row {
        double distanceNm, altitudeFt;
        bool chosen;
    } rows[] = {{20.0, 18000, true}, {20.0001, 5000, false}, {5, 18001, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(fmt::format("{} nm {} ft", row.distanceNm, row.altitudeFt));
        lf_resetStaticParking();
        g_parkLoadPending = false;
        g_parkAirports = {{"LSZH", "", kZurich, row.distanceNm}};
        userAt(northOf(kZurich, 30), row.altitudeFt, false);
        lf_findParkAirportInSight(g_lastWatchPosition, false);
        EXPECT_EQ(g_parkAirport.code, row.chosen ? "LSZH" : "");
        EXPECT_EQ(g_parkLoadPending, row.chosen);
    }
}

TEST_F(ParkWatchTest, ParkAirportIsDroppedOutOfSightOrForANearerListedOne) {
    struct Row {
        const char* what;
        LatLon user;
        double altitudeFt;
        const char* log;
        const char* parkAirport;
    } rows[] = {
        {"still in sight", northOf(kZurich, 19), 5000, "", "LSZH"},
        {"too far", northOf(kZurich, 21), 5000,
         "LSZH (ZRH) is out of sight (21.0 nm), parked aircraft will be removed", ""},
        {"too high", northOf(kZurich, 2), 18500,
         "LSZH (ZRH) is out of sight (2.0 nm), parked aircraft will be removed", ""},
        {"Dubendorf nearer",
         {47.3986, 8.64823},
         5000,
         "LSMD is in sight (0.0 nm), parked aircraft at LSZH (ZRH) will be removed first",
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        list("LSZH\nLSMD\n");
        userAt(kZurich, 3000, false);
        g_lastWatchPosition = {};
        ASSERT_TRUE(lf_setParkAirport("LSZH"));
        lf_loadParkAirport(true);
        ASSERT_EQ(g_stands.size(), 2u);
        restartLog();
        userAt(row.user, row.altitudeFt, false);
        gf_watchParkAirport(false);
        const std::string log = gf_capturedLog();
        EXPECT_EQ(log.empty() ? "" : log.substr(log.find(' ', 1) + 1),
                  std::string(row.log) + (*row.log ? "\n" : ""));
        EXPECT_EQ(g_parkAirport.code, row.parkAirport);
        EXPECT_EQ(gf_parkSite().code, row.parkAirport);
        EXPECT_EQ(g_stands.empty(), !*row.parkAirport);
    }
}

// Airports at equal distances keep their order, so the front entry does not flip at every watch;
// with a destination the list keeps its order and only the front entry's distance is new.
TEST_F(ParkWatchTest, SortIsStableAndADestinationKeepsTheOrder) {
    const LatLon user{10, 20};
    const LatLon east{10, 20.6}, west{10, 19.4}, far{10, 22};
    userAt(user, 30000, false);
    g_parkAirports = {{"WEST", "", west, 0}, {"FAR", "", far, 0}, {"EAST", "", east, 0}};
    gf_watchParkAirport(false);
    EXPECT_EQ(g_parkAirports.front().code, "WEST");
    g_parkAirports.reverse();
    userAt({10.0000001, 20}, 30000, false);
    gf_watchParkAirport(false);
    EXPECT_EQ(g_parkAirports.front().code, "EAST");
    EXPECT_EQ(std::next(g_parkAirports.begin())->code, "WEST");

    DESTINATION.set("FAR");
    g_parkAirports = {{"FAR", "", far, 0}, {"EAST", "", east, 0}};
    userAt({10.0000002, 20}, 30000, false);
    gf_watchParkAirport(false);
    EXPECT_EQ(g_parkAirports.front().code, "FAR");
    EXPECT_NEAR(g_parkAirports.front().distance, gf_haversineNm(g_lastWatchPosition, far), 1e-9);
    EXPECT_EQ(g_parkAirports.back().distance, 0);
}

TEST_F(ParkWatchTest, OnTheGroundTheClosestAirportWithAParkingFileIsLoadedAtOnce) {
    userAt(kStandZ2, 1416, true);
    g_userOnGroundKnown = true;
    gf_watchParkAirport(true);
    // The stand the user stands on is remembered for Zurich and kept free for the user.
    EXPECT_EQ(g_stands.size(), 2u);
    EXPECT_EQ(tst_readFile(kMyParkAirportsFile), "LSZH,Z2\n");
    EXPECT_EQ(g_reservedStand, "Z2");
    EXPECT_EQ(gf_parkSite().reservedStand, "Z2");
    EXPECT_TRUE(gf_findStandById("Z2")->reserved);
    EXPECT_TRUE(gf_capturedLog().starts_with(
        "User aircraft on the ground at LSZH\n\nThe park airport is LSZH (ZRH)\n"));
    struct Row {
        const char* what;
        LatLon user;
        const char* message;  // shown, and logged
    } rows[] = {
        {"at Dubendorf, no file",
         {47.3986, 8.64823},
         "User aircraft on the ground at LSMD, no airport file found"},
        {"on a field far from any airport",
         {53.0, -15.0},
         "User aircraft on the ground, no airport in sight"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        lf_resetStaticParking();
        restartLog();
        userAt(row.user, 1416, true);
        gf_watchParkAirport(true);
        EXPECT_EQ(g_parkAirport.code, "");
        EXPECT_EQ(gf_messageText(), row.message);
        EXPECT_EQ(gf_capturedLog(), std::string(row.message) + "\n");
    }
}

// A remembered stand that is not the one the user parks on becomes the reserved stand when the
// file is loaded; a listed airport is moved to the front, never added twice, and keeps its stand.
TEST_F(ParkWatchTest, LoadingKeepsTheListedEntryAndItsStand) {
    list("EDDF\nLSZH,Z1\n");
    userAt(northOf(kZurich, 3), 3000, false);
    ASSERT_TRUE(lf_setParkAirport("LSZH"));
    lf_loadParkAirport(true);
    EXPECT_EQ(g_parkAirports.size(), 2u);
    EXPECT_EQ(g_parkAirports.front().code, "LSZH");
    EXPECT_EQ(g_parkAirports.front().stand, "Z1");
    EXPECT_EQ(g_reservedStand, "Z1");
    EXPECT_EQ(tst_readFile(kMyParkAirportsFile), "EDDF\nLSZH,Z1\n");
}

TEST_F(ParkWatchTest, AParkingFileThatFailsGivesTheParkAirportUp) {
    tst_writeFile("airports/my_thirdparty/LSZH.xml",
                  tst_apfXml("", "", R"(<info name="author" value="a"/>)"));
    userAt(kStandZ1, 1416, true);
    g_userOnGroundKnown = true;
    gf_watchParkAirport(true);
    EXPECT_EQ(g_parkAirport.code, "");
    EXPECT_EQ(gf_parkSite().code, "");
    EXPECT_EQ(gf_messageText(), "airports/my_thirdparty/LSZH.xml: refused to load (copyright)");
}

// The simulator thread only hands the stand over; the run thread writes it.
TEST_F(ParkWatchTest, RememberedUserStandIsStoredByTheRunThread) {
    list("LSZH\n");
    userAt(kStandZ1, 1416, true);
    g_userOnGroundKnown = true;
    gf_watchParkAirport(true);
    EXPECT_EQ(tst_readFile(kMyParkAirportsFile), "LSZH,Z1\n");
    struct Row {
        LatLon user;
        double gsKt;
        bool posted;
        const char* file;
    } rows[] = {{kStandZ2, 3, false, "LSZH,Z1\n"},
                {kStandZ2, 2, true, "LSZH,Z2\n"},
                {{47.47, 8.55}, 0, false, "LSZH,Z2\n"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.gsKt);
        gf_storeUserSnapshot({row.user.lat, row.user.lon, 0, 0, 0, 1416, 0, row.gsKt, true, 0});
        gf_rememberUserStand();
        EXPECT_EQ(gf_takeRunRequest(RunRequest::RememberUserStand), row.posted);
        if (row.posted) lf_storeRememberedStand();
        EXPECT_EQ(tst_readFile(kMyParkAirportsFile), row.file);
    }
}

TEST_F(ParkWatchTest, RereadMakesTheRememberedStandTheReservedOne) {
    list("LSZH,Z1\n");
    userAt(northOf(kZurich, 3), 3000, false);
    lf_setParkAirport("LSZH");
    lf_loadParkAirport(true);
    ASSERT_EQ(g_reservedStand, "Z1");
    g_userOnGroundKnown = true;
    std::string out;
    EXPECT_TRUE(gf_checkParkAirports(true, out));
    EXPECT_EQ(out, "park airports and stands are okay");
    tst_writeFile(kMyParkAirportsFile, "LSZH,Z2\n");
    out.clear();
    EXPECT_TRUE(gf_checkParkAirports(true, out));
    EXPECT_EQ(out, "reserved stand changed from 'Z1' to 'Z2'");
    EXPECT_FALSE(gf_findStandById("Z1")->reserved);
    EXPECT_TRUE(gf_findStandById("Z2")->reserved);
    EXPECT_EQ(gf_parkSite().reservedStand, "Z2");
    tst_writeFile(kMyParkAirportsFile, "XXXX\n");
    EXPECT_FALSE(gf_checkParkAirports(true, out));
}

}  // namespace
