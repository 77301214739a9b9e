#include "airports/airport_list.h"

#include <algorithm>
#include <filesystem>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/log.h"
#include "core/text.h"
#include "support/airport_builders.h"

namespace fs = std::filesystem;

namespace {

class AirportListTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_setLogCapture(true);
    }
    static std::string closest(LatLon p) {
        auto found = gf_findClosestAirport(p);
        return found ? found->get().code : "-";
    }
    static void restartLog() {
        gf_setLogCapture(false);
        gf_setLogCapture(true);
    }
};

// Zurich and Dubendorf lie 5.65 nm apart; the pole and the antimeridian must not fool the search.
TEST_F(AirportListTest, RealListReadOnceAndClosestAirport) {
    tst_installRealAirports();
    ASSERT_TRUE(gf_readAirports());
    EXPECT_EQ(g_airports.size(), 28278u);
    EXPECT_FALSE(fs::exists(g_airportsXmlPath));
    const Airport* zrh = gf_findAirport("LSZH");
    ASSERT_NE(zrh, nullptr);
    EXPECT_EQ(gf_airportLabel(*zrh), "LSZH (ZRH)");
    EXPECT_EQ(zrh->lat, 47.4647);
    EXPECT_EQ(zrh->lon, 8.54917);
    EXPECT_EQ(gf_findAirport("EHLE")->alt, -13);
    EXPECT_EQ(gf_findAirport("LSZ"), nullptr);
    fs::remove(g_airportsEncPath);
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(g_airports.size(), 28278u);
    struct Row {
        const char* what;
        LatLon position;
        const char* code;
    } rows[] = {
        {"on Zurich's reference point", {47.4647, 8.54917}, "LSZH"},
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

// A later code displaces an earlier one only when strictly nearer; the displaced one is the neighbour.
TEST_F(AirportListTest, NeighbourIsTheAirportTheWinnerDisplaced) {
    auto list = [](std::initializer_list<std::pair<const char*, double>> codeNm) {
        std::string xml = "<airports>";
        for (auto [code, nm] : codeNm)
            xml += fmt::format(R"(<airport code="{}" lat="{}" lon="20" alt="0"/>)", code, 10.0 + nm / 60.0);
        return xml + "</airports>";
    };
    struct Row {
        const char* what;
        std::string xml;
        const char* code;
        const char* log;
    } rows[] = {
        {"nearest first: no neighbour", list({{"AAAA", 1}, {"BBBB", 2}, {"CCCC", 3}}), "AAAA", ""},
        {"codes the other way", list({{"AAAA", 3}, {"BBBB", 2}, {"CCCC", 1}}), "CCCC",
         "Airport CCCC is closest, neighbour is BBBB\n"},
        {"a tie keeps the earlier code", list({{"BBBB", 2}, {"AAAA", 2}}), "AAAA", ""},
        {"5.0 nm counts, more does not", list({{"AAAA", 5.0000001}, {"BBBB", 4.99}}), "BBBB", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        gf_resetAirports();
        gf_readAirportsText(row.xml, "test");
        std::sort(g_airports.begin(), g_airports.end(), [](auto& a, auto& b) { return a.code < b.code; });
        restartLog();
        EXPECT_EQ(closest({10.0, 20.0}), row.code);
        EXPECT_EQ(gf_capturedLog(), row.log);
    }
}

TEST_F(AirportListTest, BadListsEndWithError88AndLeaveNoPlainFile) {
    struct Row {
        const char* xml;  // nullptr: no airports.enc at all
        const char* error;
    } rows[] = {
        {nullptr, "88: input/airports.xml not loaded: File was not found"},
        {"<airports><airport", "88: input/airports.xml not loaded: Error parsing start element tag"},
        {R"(<airport code="LSZH" lat="1" lon="2" alt="3"/>)",
         "88: Missing <airports> root in: input/airports.xml"},
        {R"(<airports><airport code="A" lat="1" lon="2" alt=""/></airports>)", "88: invalid stod argument"},
        {R"(<airports><airport code="A" lat="1e999" lon="2" alt="3"/></airports>)",
         "88: stod argument out of range"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
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
    // The list was not marked read: the next call reads again, skipping what has no position.
    tst_installAirportsXml(R"(<airports>
      <airport code="ZZZZ" lat=" 1.5xyz" lon="-2" alt="30ft" iata="ZZZ" name="ignored"/>
      <airport code="NOAL" lat="1" lon="2"/> <airport code="POLE" lat="91" lon="0" alt="0"/>
      <airport code="NANL" lat="nan" lon="0" alt="0"/> <airport lat="3" lon="4" alt="5"/>
      <other code="XXXX" lat="1" lon="2" alt="3"/> <airport code="AAAA" lat="3" lon="4" alt="5"/>
      <airport code="EDGE" lat="-90" lon="180" alt="0"/> <airport code="EDGF" lat="90" lon="-180" alt="0"/></airports>)");
    restartLog();
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(gf_capturedLog(),
              "Missing lat/lon/alt for airport 'NOAL'\nInvalid lat/lon/alt for airport 'POLE'\n"
              "Invalid lat/lon/alt for airport 'NANL'\n5 airports read\n");
    ASSERT_EQ(g_airports.size(), 5u);
    EXPECT_EQ(gf_airportLabel(g_airports[0]), "?");
    EXPECT_EQ(g_airports[1].code, "AAAA");
    const Airport& z = g_airports[4];
    EXPECT_EQ(fmt::format("{} {} {} {}", gf_airportLabel(z), z.lat, z.lon, z.alt), "ZZZZ (ZZZ) 1.5 -2 30");
    EXPECT_EQ(gf_airportLabel(Airport{"", "XYZ"}), "? (XYZ)");
}

TEST_F(AirportListTest, PublisherEntryAndContainsNoCase) {
    struct Row {
        const char* entry;
        bool matches;
        int number;
        bool warned;
    } rows[] = {
        {"EGLL2", true, 2, false}, {"EGLL09xyz", true, 9, false}, {"EGLL-3", true, -3, false},
        {"EGLL", true, 7, true},   {"EGLL 5", true, 7, true},        {"EGLL99999999999", true, 7, true},
        {"EGL", false, 7, false},  {"LEGLL2", false, 7, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entry);
        restartLog();
        int number = 7;
        EXPECT_EQ((lf_numberAfterPrefix{"FlyTampa", "EGLL", number}(row.entry)), row.matches);
        EXPECT_EQ(number, row.number);
        EXPECT_EQ(gf_capturedLog(),
                  row.warned ? fmt::format("===> FlyTampa EGLL {} invalid number\n", row.entry) : "");
    }
    EXPECT_TRUE(gf_containsNoCase("D:\\Addons\\ABC Scenery\\scenery", "abc scenery"));
    EXPECT_TRUE(gf_containsNoCase("", ""));
    EXPECT_FALSE(gf_containsNoCase("abc", "abcd"));
    EXPECT_FALSE(gf_containsNoCase("Orbx EGLL", "orbx egll "));
}

}  // namespace
