// The park airports' list beyond my_park_airports.txt: the airports of the my_thirdparty folder and
// the destination the user names.
#include <filesystem>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "core/display.h"
#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "support/airport_builders.h"
#include "support/work_folder.h"

namespace fs = std::filesystem;

namespace {

class ParkListTest : public LoggedTest {
  protected:
    void SetUp() override {
        LoggedTest::SetUp();
        tst_installAirportsXml(R"(<airports><airport code="EDDF" lat="50" lon="8.5" alt="364"/>
            <airport code="LSMD" lat="47.4" lon="8.6" alt="1470"/>
            <airport code="LSZH" lat="47.46" lon="8.55" alt="1416"/></airports>)");
        ASSERT_TRUE(gf_readAirports());
    }
    static std::string newLog() {
        const std::string log = gf_capturedLog();
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        return log;
    }
    static std::string listed() {  // "CODE,stand ..." in list order
        std::string out;
        for (const ParkAirport& p : g_parkAirports) out += (out.empty() ? "" : " ") + p.code + "," + p.stand;
        return out;
    }
};

// Only plain files named after a known airport that the list lacks are added, and only then is
// the addition logged.
TEST_F(ParkListTest, TheThirdpartyFolderAddsKnownAirportsTheListLacks) {
    struct Row {
        const char* what;
        std::vector<const char*> files;  // under my_thirdparty; a trailing '/' makes a folder
        const char* listed;
        const char* log;
    };
    const Row rows[] = {
        {"no folder", {}, "LSZH,A1", ""},
        {"nothing new", {"LSZH.xml", "XXXX.xml", "EDDF/"}, "LSZH,A1", ""},
        {"one new",
         {"LSZH.xml", "LSMD.xml"},
         "LSZH,A1 LSMD,",
         "1 park airport added from my_thirdparty folder(-s)\n"},
        {"two new",
         {"LSMD.xml", "EDDF.txt"},
         "LSZH,A1 EDDF, LSMD,",
         "2 park airports added from my_thirdparty folder(-s)\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        fs::remove_all(g_myThirdpartyFolder);
        for (const char* file : r.files) {
            const fs::path path = fs::path(g_myThirdpartyFolder) / file;
            if (path.filename().empty())
                fs::create_directories(path);
            else
                tst_writeFile(path, "<meta/>");
        }
        g_parkAirports = {{"LSZH", "A1", {47.46, 8.55}, 0}};
        newLog();
        lf_addThirdpartyParkAirports();
        g_parkAirports.sort([](const ParkAirport& a, const ParkAirport& b) {
            return a.stand > b.stand || (a.stand == b.stand && a.code < b.code);
        });
        EXPECT_EQ(listed(), r.listed);
        EXPECT_EQ(newLog(), r.log);
    }
}

// A known destination goes to the front (saved when new); an unknown one, or one that is no plain
// code, is refused and no longer kept as the destination; an empty one lets the next watch order
// the list again.
TEST_F(ParkListTest, TheDestinationGoesToTheFrontOrIsRefused) {
    struct Row {
        const char* code;
        const char* listed;
        const char* message;
        const char* destinationAfter;
    };
    const Row rows[] = {
        {"LSMD", "LSMD, LSZH,A1 EDDF,", "", "LSMD"},
        {"EDDF", "EDDF, LSZH,A1", "", "EDDF"},
        {"XXXX", "LSZH,A1 EDDF,", "airport XXXX is unknown", ""},
        {"../LSZH", "LSZH,A1 EDDF,", "airport ../LSZH is unknown", ""},
        {"", "LSZH,A1 EDDF,", "", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.code);
        fs::remove(kMyParkAirportsFile);
        g_parkAirports = {{"LSZH", "A1", {47.46, 8.55}, 0}, {"EDDF", "", {50, 8.5}, 0}};
        g_lastWatchPosition = {47, 8};
        DESTINATION.set(r.code);
        gf_clearMessage();
        newLog();
        lf_setDestination(r.code);
        EXPECT_EQ(listed(), r.listed);
        EXPECT_EQ(gf_messageText(), r.message);
        EXPECT_EQ(DESTINATION.value(), r.destinationAfter);
        const bool added = std::string_view(r.code) == "LSMD";
        EXPECT_EQ(tst_readFile(kMyParkAirportsFile), added ? "LSMD\n" : "");  // only a new entry is saved
        const bool cleared = *r.code == '\0';
        EXPECT_EQ(g_lastWatchPosition.lat, cleared ? 0 : 47);
        std::string log = cleared ? "" : fmt::format("New destination: {}\n", r.code);
        if (*r.message) log += std::string(r.message) + "\n";
        if (added) log += "my_park_airports.txt created with LSMD\n";
        EXPECT_EQ(newLog(), log);
    }
    // A refused code that is not the stored destination leaves the stored one alone.
    DESTINATION.set("LSZH");
    lf_setDestination("XXXX");
    EXPECT_EQ(DESTINATION.value(), "LSZH");
}

}  // namespace
