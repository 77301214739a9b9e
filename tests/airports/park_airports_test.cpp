#include "airports/park_airports.h"

#include <filesystem>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/log.h"
#include "platform/window_model.h"
#include "support/airport_builders.h"

namespace fs = std::filesystem;

namespace {

class ParkAirportsTest : public WorkFolderTest {
protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        tst_installRealAirports();
        gf_readAirports();
        gf_setLogCapture(true);
    }
    // "CODE,stand CODE ..." of the list in its order.
    static std::string listed() {
        std::string out;
        for (const ParkAirport& p : g_parkAirports) out += (out.empty() ? "" : " ") + p.code + "," + p.stand;
        return out;
    }
    static void restartLog() {
        gf_setLogCapture(false);
        gf_setLogCapture(true);
    }
};

TEST_F(ParkAirportsTest, ReadSkipsDoublesBadSyntaxAndUnknownAirportsThenAddsThirdparty) {
    tst_writeFile(kMyParkAirportsFile, "EDDF\r\nEDDF,A12\n LSZH , B1 \nLSGG,B,C\n\n  \nXXXX\n../LSZH\nLSMD,\n");
    tst_writeFile("airports/my_thirdparty/LSGG.xml", "x");
    tst_writeFile("airports/my_thirdparty/LSZH.txt", "x");
    tst_writeFile("airports/my_thirdparty/README", "x");
    fs::create_directories("airports/my_thirdparty/EGLL");
    EXPECT_FALSE(lf_readMyParkAirports());
    EXPECT_EQ(listed(), "EDDF, LSZH,B1 LSMD, LSGG,");
    EXPECT_EQ(g_parkAirports.front().position.lat, gf_findAirport("EDDF")->lat);
    EXPECT_EQ(gf_capturedLog(),
              "===> my_park_airports.txt:EDDF double, skipped\n"
              "===> my_park_airports.txt:LSGG,B,C wrong syntax, skipped\n"
              "airport XXXX is unknown\n"
              "airport ../LSZH is unknown\n"
              "3 park airports read from 'my_park_airports.txt'\n"
              "1 park airport added from my_thirdparty folder(-s)\n");
    EXPECT_EQ(gf_messageText(), "airport ../LSZH is unknown");
}

TEST_F(ParkAirportsTest, MissingFileAndFolderAreNoError) {
    g_parkAirports.push_back({"EDDF", "", {}, 0});
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_TRUE(g_parkAirports.empty());
    EXPECT_EQ(gf_capturedLog(), "airports/my_park_airports.txt not found\n");
}

TEST_F(ParkAirportsTest, MoreThan3000AirportsGiveTheWarning) {
    for (size_t count : {3000u, 3001u}) {
        SCOPED_TRACE(count);
        std::string text;
        for (size_t i = 0; i < count; ++i) text += g_airports[i].code + "\n";
        tst_writeFile(kMyParkAirportsFile, text);
        gf_clearMessage();
        EXPECT_TRUE(lf_readMyParkAirports());
        EXPECT_EQ(g_parkAirports.size(), count);
        EXPECT_EQ(gf_messageText(),
                  count > 3000 ? "Warning: There are a lot of airports (3001), that will cost TRLV much cpu time "
                                 "and may cause stutters"
                               : "");
    }
}

TEST_F(ParkAirportsTest, SavingTheFrontEntryRoundTrips) {
    struct Row {
        const char* what;
        const char* before;  // nullptr: no file
        ParkAirport front;
        const char* after;
        const char* log;
    } rows[] = {
        {"no file", nullptr, {"LSZH", "B2"}, "LSZH,B2\n", "my_park_airports.txt created with LSZH,B2\n"},
        {"line replaced in place, sorted, duplicates dropped", "LSZH\nEDDF,A1\nEDDF,A1\n", {"LSZH", "E5"},
         "EDDF,A1\nLSZH,E5\n", "my_park_airports.txt:LSZH,E5 updated stand\n"},
        {"unchanged line still logged", "LSZH,E5\n", {"LSZH", "E5"}, "LSZH,E5\n",
         "my_park_airports.txt:LSZH,E5 updated stand\n"},
        {"new entry without a stand", "LSZH,E5\n", {"EDDF", ""}, "EDDF\nLSZH,E5\n",
         "my_park_airports.txt:EDDF new entry\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(kMyParkAirportsFile);
        if (row.before) tst_writeFile(kMyParkAirportsFile, row.before);
        restartLog();
        g_parkAirports = {row.front};
        gf_saveMyParkAirports();
        EXPECT_EQ(tst_readFile(kMyParkAirportsFile), row.after);
        EXPECT_EQ(gf_capturedLog(), row.log);
    }
    // What was saved reads back.
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_EQ(listed(), "EDDF, LSZH,E5");
}

TEST_F(ParkAirportsTest, AFileThatCannotBeReadIsNeverOverwritten) {
    fs::create_directories(kMyParkAirportsFile);
    g_parkAirports = {{"LSZH", "E5"}};
    gf_saveMyParkAirports();
    EXPECT_TRUE(fs::is_directory(kMyParkAirportsFile));
    EXPECT_EQ(gf_capturedLog(), "===> airports/my_park_airports.txt cannot be read, LSZH,E5 not saved\n");
    EXPECT_FALSE(lf_readMyParkAirports());
}

TEST_F(ParkAirportsTest, DestinationMovesAListedAirportToTheFrontOrAddsAndSavesIt) {
    tst_writeFile(kMyParkAirportsFile, "EDDF\nLSZH,E5\n");
    lf_readMyParkAirports();
    restartLog();
    lf_setDestination("LSZH");
    EXPECT_EQ(listed(), "LSZH,E5 EDDF,");
    EXPECT_EQ(tst_readFile(kMyParkAirportsFile), "EDDF\nLSZH,E5\n");
    lf_setDestination("LSGG");
    lf_setDestination("LSGG");
    lf_setDestination("..");
    EXPECT_EQ(listed(), "LSGG, LSZH,E5 EDDF,");
    EXPECT_EQ(tst_readFile(kMyParkAirportsFile), "EDDF\nLSGG\nLSZH,E5\n");
    EXPECT_EQ(gf_capturedLog(),
              "New destination: LSZH\n"
              "New destination: LSGG\n"
              "my_park_airports.txt:LSGG new entry\n"
              "New destination: LSGG\n"
              "New destination: ..\n"
              "airport .. is unknown\n");
}

}  // namespace
