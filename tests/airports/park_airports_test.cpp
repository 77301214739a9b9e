#include "airports/park_airports.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include "airports/airport_list.h"
#include "core/display.h"
#include "support/park_airports_fixture.h"

namespace fs = std::filesystem;

namespace {

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

constexpr LatLon kUser{47.44, 8.58};  // between Zurich and Dubendorf, within 5 nm of both

std::string tst_closest(LatLon p) {
    auto found = gf_findClosestAirport(p);
    return found ? found->get().code : "-";
}

// A parking file whose one stand stands so many metres north of the user.
std::string tst_standNorth(const char* id, double northM) {
    return fmt::format(R"(<meta/><parkpositions><parkpos id="{}" latitude="{:.9f}" longitude="{}"/>)"
                       "</parkpositions>",
                       id, kUser.lat + gf_metersToNm(northM) / 60.0, kUser.lon);
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
    EXPECT_EQ(
        fmt::format("{} {} {} {}", gf_airportLabel(*zrh), zrh->lat, zrh->lon, gf_findAirport("EHLE")->alt),
        "LSZH (ZRH) 47.4647 8.54917 -13");
    const std::pair<LatLon, const char*> rows[] = {
        {{47.4647, 8.54917}, "LSZH"},  {{47.4200, 8.6100}, "LSMD"}, {{-89.99, 120.0}, "NZSP"},
        {{-18.5667, -179.99}, "NFMO"}, {{53.0, -15.0}, "-"},        {{47.5647, 8.54917}, "-"}};
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
        if (dubendorfM >= 0)
            tst_writeFile("airports/my_thirdparty/LSMD.xml", tst_standNorth("D1", dubendorfM));
        if (dubendorfM == -2) ASSERT_EQ(mkfifo("airports/my_thirdparty/LSMD.xml", 0600), 0);
        restartLog();
        EXPECT_EQ(tst_closest(kUser), code);
        EXPECT_EQ(gf_capturedLog(), std::string("Airport LSZH is closest, neighbour is LSMD\n") + log);
    }
    alarm(0);
}

}  // namespace
