#include "airports/airport_list.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <fmt/format.h>

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/log.h"
#include "core/text.h"
#include "support/airport_builders.h"
#include "support/http_server.h"

namespace fs = std::filesystem;

namespace {

class AirportListTest : public WorkFolderTest {
protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_setLogCapture(true);
        // Two airports within 5 nm make the search look for their parking files; no site here.
        setenv("TRELVO_DOWNLOAD_BASE", fmt::format("http://127.0.0.1:{}/", tst_deadLocalPort()).c_str(), 1);
    }
    // The code of the airport the search settles on; "-" for none.
    static std::string closest(LatLon p) {
        auto found = gf_findClosestAirport(p);
        return found ? found->get().code : "-";
    }
};

TEST_F(AirportListTest, RealListIsReadSortedOnceAndThePlainFileRemoved) {
    tst_installRealAirports();
    ASSERT_TRUE(gf_readAirports());
    EXPECT_EQ(g_airports.size(), 28278u);
    EXPECT_TRUE(std::is_sorted(g_airports.begin(), g_airports.end(),
                               [](const Airport& a, const Airport& b) { return a.code < b.code; }));
    EXPECT_EQ(gf_capturedLog(), "28278 airports read\n");
    EXPECT_FALSE(fs::exists(g_airportsXmlPath));
    const Airport* zrh = gf_findAirport("LSZH");
    ASSERT_NE(zrh, nullptr);
    EXPECT_EQ(gf_airportLabel(*zrh), "LSZH (ZRH)");
    EXPECT_DOUBLE_EQ(zrh->lat, 47.4647);
    EXPECT_DOUBLE_EQ(zrh->lon, 8.54917);
    EXPECT_DOUBLE_EQ(zrh->alt, 1416);
    EXPECT_DOUBLE_EQ(gf_findAirport("EHLE")->alt, -13);
    EXPECT_EQ(gf_findAirport("LSZ"), nullptr);
    // Read once per process: the encrypted file is no longer needed.
    fs::remove(g_airportsEncPath);
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(g_airports.size(), 28278u);
}

// Zurich and Dubendorf lie 5.65 nm apart; the pole and the antimeridian must not fool the search.
TEST_F(AirportListTest, ClosestRealAirport) {
    tst_installRealAirports();
    gf_readAirports();
    struct Row {
        const char* what;
        LatLon position;
        const char* code;
    } rows[] = {
        {"on Zurich's reference point", {47.4647, 8.54917}, "LSZH"},
        {"1 nm south of Dubendorf", {47.3820, 8.64823}, "LSMD"},
        {"Dubendorf nearer, Zurich later in code order", {47.4200, 8.6100}, "LSMD"},
        {"the South Pole at another longitude", {-89.99, 120.0}, "NZSP"},
        {"Moala across the antimeridian", {-18.5667, -179.99}, "NFMO"},
        {"open sea west of Ireland", {53.0, -15.0}, "-"},
        {"6 nm north of Zurich", {47.5647, 8.54917}, "-"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(closest(row.position), row.code);
    }
    EXPECT_EQ(gf_capturedLog(), "28278 airports read\n");
}

// Codes and distances chosen to show the neighbour rule: a later code displaces an earlier one.
TEST_F(AirportListTest, NeighbourIsTheAirportTheWinnerDisplaced) {
    const LatLon user{10.0, 20.0};
    auto north = [&](double nm) { return fmt::format("lat=\"{}\" lon=\"20\" alt=\"0\"", 10.0 + nm / 60.0); };
    struct Row {
        const char* what;
        std::string xml;
        const char* code;
        const char* log;
    } rows[] = {
        {"nearest first in code order: no neighbour",
         fmt::format("<airport code=\"AAAA\" {}/><airport code=\"BBBB\" {}/><airport code=\"CCCC\" {}/>",
                     north(1), north(2), north(3)),
         "AAAA", ""},
        {"codes the other way: the 2 nm airport is the neighbour",
         fmt::format("<airport code=\"AAAA\" {}/><airport code=\"BBBB\" {}/><airport code=\"CCCC\" {}/>",
                     north(3), north(2), north(1)),
         "CCCC", "Airport CCCC is closest, neighbour is BBBB\n"},
        {"a tie keeps the earlier code and makes no neighbour",
         fmt::format("<airport code=\"BBBB\" {}/><airport code=\"AAAA\" {}/>", north(2), north(2)), "AAAA", ""},
        {"5.0 nm counts, more does not",
         fmt::format("<airport code=\"AAAA\" {}/><airport code=\"BBBB\" {}/>", north(5.0000001), north(4.99)),
         "BBBB", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        gf_resetAirports();
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        gf_readAirportsText("<airports>" + row.xml + "</airports>", "test");
        std::sort(g_airports.begin(), g_airports.end(),
                  [](const Airport& a, const Airport& b) { return a.code < b.code; });
        EXPECT_EQ(closest(user), row.code);
        EXPECT_EQ(gf_capturedLog(), row.log);
    }
}

TEST_F(AirportListTest, BadListsEndWithError88AndLeaveNoPlainFile) {
    struct Row {
        const char* what;
        const char* xml;  // nullptr: no airports.enc at all
        const char* error;
    } rows[] = {
        {"no encrypted file", nullptr, "88: input/airports.xml not loaded: File was not found"},
        {"not XML", "<airports><airport", "88: input/airports.xml not loaded: Error parsing start element tag"},
        {"no root", "<airport code=\"LSZH\" lat=\"1\" lon=\"2\" alt=\"3\"/>",
         "88: Missing <airports> root in: input/airports.xml"},
        {"an empty alt", "<airports><airport code=\"LSZH\" lat=\"1\" lon=\"2\" alt=\"\"/></airports>",
         "88: invalid stod argument"},
        {"a latitude past the range of double", "<airports><airport code=\"LSZH\" lat=\"1e999\" lon=\"2\" alt=\"3\"/></airports>",
         "88: stod argument out of range"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(g_airportsEncPath);
        if (row.xml) tst_installAirportsXml(row.xml);
        try {
            gf_readAirports();
            ADD_FAILURE() << "no error";
        } catch (const qtk::UserErrorException& e) {
            EXPECT_EQ(e.code(), 88);
            EXPECT_STREQ(e.what(), row.error);
        }
        EXPECT_FALSE(fs::exists(g_airportsXmlPath));
        EXPECT_TRUE(g_airports.empty());
    }
    // The flag stayed clear: a good file is read at the next call.
    tst_installAirportsXml("<airports><airport code=\"LSZH\" lat=\"47.4647\" lon=\"8.54917\" alt=\"1416\"/></airports>");
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(g_airports.size(), 1u);
}

TEST_F(AirportListTest, ElementsWithoutAPositionAreSkippedAndNumbersReadAsStodDoes) {
    tst_installAirportsXml(R"(<airports>
      <airport code="ZZZZ" lat=" 1.5xyz" lon="-2" alt="30ft" iata="ZZZ" name="ignored"/>
      <airport code="NOAL" lat="1" lon="2"/>
      <airport code="POLE" lat="91" lon="0" alt="0"/>
      <airport code="NANL" lat="nan" lon="0" alt="0"/>
      <airport lat="3" lon="4" alt="5"/>
      <other code="XXXX" lat="1" lon="2" alt="3"/>
      <airport code="AAAA" lat="3" lon="4" alt="5"/>
    </airports>)");
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(gf_capturedLog(),
              "Missing lat/lon/alt for airport 'NOAL'\n"
              "Invalid lat/lon/alt for airport 'POLE'\n"
              "Invalid lat/lon/alt for airport 'NANL'\n"
              "3 airports read\n");
    ASSERT_EQ(g_airports.size(), 3u);
    EXPECT_EQ(gf_airportLabel(g_airports[0]), "?");
    EXPECT_EQ(g_airports[1].code, "AAAA");
    const Airport& z = g_airports[2];
    EXPECT_EQ(gf_airportLabel(z), "ZZZZ (ZZZ)");
    EXPECT_EQ(z.lat, 1.5);
    EXPECT_EQ(z.lon, -2);
    EXPECT_EQ(z.alt, 30);
    EXPECT_EQ(gf_airportLabel(Airport{"", "XYZ"}), "? (XYZ)");
}

TEST_F(AirportListTest, PublisherEntryTest) {
    struct Row {
        const char* entry;
        bool matches;
        int number;
        const char* log;
    } rows[] = {
        {"EGLL2", true, 2, ""},
        {"EGLL154xyz", true, 154, ""},
        {"EGLL-3", true, -3, ""},
        {"EGLL", true, 7, "===> FlyTampa EGLL EGLL invalid number\n"},
        {"EGLL 5", true, 7, "===> FlyTampa EGLL EGLL 5 invalid number\n"},
        {"EGLL99999999999", true, 7, "===> FlyTampa EGLL EGLL99999999999 invalid number\n"},
        {"EGL", false, 7, ""},
        {"LEGLL2", false, 7, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entry);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        int number = 7;
        EXPECT_EQ((lf_numberAfterPrefix{"FlyTampa", "EGLL", number}(row.entry)), row.matches);
        EXPECT_EQ(number, row.number);
        EXPECT_EQ(gf_capturedLog(), row.log);
    }
}

TEST_F(AirportListTest, ContainsNoCase) {
    EXPECT_TRUE(gf_containsNoCase("D:\\Addons\\ABC Scenery\\scenery", "abc scenery"));
    EXPECT_TRUE(gf_containsNoCase("D:\\Addons", ""));
    EXPECT_TRUE(gf_containsNoCase("", ""));
    EXPECT_FALSE(gf_containsNoCase("abc", "abcd"));
    EXPECT_FALSE(gf_containsNoCase("Orbx EGLL", "orbx egll "));
}

}  // namespace
