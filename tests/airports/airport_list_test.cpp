#include "airports/airport_list.h"

#include <algorithm>
#include <filesystem>

#include <fmt/format.h>

#include "airports/apf_fixture.h"
#include "airports/dest_stand.h"
#include "airports/stock.h"
#include "core/errors.h"
#include "support/airport_builders.h"

namespace fs = std::filesystem;

namespace {

constexpr LatLon kUser{47.44, 8.58};  // between Zurich and Dubendorf, within 5 nm of both

std::string tst_closest(LatLon p) {
    auto found = gf_findClosestAirport(p);
    return found ? found->get().code : "-";
}

// A parking file whose stands stand so many metres north of the user.
std::string tst_standsNorth(std::initializer_list<std::pair<const char*, double>> stands) {
    std::string text = "<meta/><parkpositions>";
    for (const auto& [id, northM] : stands)
        text += fmt::format(R"(<parkpos id="{}" latitude="{:.9f}" longitude="{}"/>)", id,
                            kUser.lat + gf_metersToNm(northM) / 60.0, kUser.lon);
    return text + "</parkpositions>";
}

// Zurich and Dubendorf lie 5.65 nm apart; the pole and the antimeridian must not fool the search.
// Zurich, later in code order and nearer, displaces Dubendorf, whose stand may still be nearer.
TEST_F(ApfSiteTest, RealListReadOnceAndTheClosestAirport) {
    tst_installRealAirports();
    ASSERT_TRUE(gf_readAirports());
    EXPECT_FALSE(fs::exists(g_airportsXmlPath));
    fs::remove(g_airportsEncPath);
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(gf_capturedLog(), "28278 airports read\n");
    const Airport* zrh = gf_findAirport("LSZH");
    ASSERT_NE(zrh, nullptr);
    EXPECT_EQ(fmt::format("{} {} {} {}", gf_airportLabel(*zrh), zrh->lat, zrh->lon, gf_findAirport("EHLE")->alt),
              "LSZH (ZRH) 47.4647 8.54917 -13");
    EXPECT_EQ(gf_findAirport("LSZ"), nullptr);
    const std::pair<LatLon, const char*> rows[] = {
        {{47.4647, 8.54917}, "LSZH"}, {{47.4200, 8.6100}, "LSMD"}, {{-89.99, 120.0}, "NZSP"},
        {{-18.5667, -179.99}, "NFMO"}, {{53.0, -15.0}, "-"}, {{47.5647, 8.54917}, "-"}};
    for (const auto& [position, code] : rows) EXPECT_EQ(tst_closest(position), code) << position.lat;
    const std::tuple<double, double, const char*, const char*> stands[] = {  // metres north, or < 0: no file
        {-1, -1, "LSZH", ""},
        {200, 200, "LSZH", ""},
        {300, 200, "LSMD", "Airport LSZH is closest, but stand D1 at neighbouring airport LSMD is closer at 200 meters ...\n"},
        {-1, 900, "LSMD", "Airport LSZH is closest, but stand D1 at neighbouring airport LSMD is closer at 900 meters ...\n"},
    };
    for (const auto& [zurichM, dubendorfM, code, log] : stands) {
        SCOPED_TRACE(fmt::format("{} {}", zurichM, dubendorfM));
        fs::remove_all("airports/my_thirdparty");
        if (zurichM >= 0) tst_writeFile("airports/my_thirdparty/LSZH.xml", tst_standsNorth({{"Z1", zurichM}}));
        if (dubendorfM >= 0) tst_writeFile("airports/my_thirdparty/LSMD.xml", tst_standsNorth({{"D1", dubendorfM}}));
        restartLog();
        EXPECT_EQ(tst_closest(kUser), code);
        EXPECT_EQ(gf_capturedLog(), std::string("Airport LSZH is closest, neighbour is LSMD\n") + log);
    }
}

// A later code displaces an earlier one only when strictly nearer; the displaced one is the neighbour.
TEST_F(ApfSiteTest, NeighbourIsTheAirportTheWinnerDisplaced) {
    auto list = [](std::initializer_list<std::pair<const char*, double>> codeNm) {
        std::string xml = "<airports>";
        for (auto [code, nm] : codeNm)
            xml += fmt::format(R"(<airport code="{}" lat="{}" lon="20" alt="0"/>)", code, 10.0 + nm / 60.0);
        return xml + "</airports>";
    };
    const std::tuple<std::string, const char*, const char*> rows[] = {
        {list({{"AAAA", 1}, {"BBBB", 2}, {"CCCC", 3}}), "AAAA", ""},
        {list({{"AAAA", 3}, {"BBBB", 2}, {"CCCC", 1}}), "CCCC", "Airport CCCC is closest, neighbour is BBBB\n"},
        {list({{"BBBB", 2}, {"AAAA", 2}}), "AAAA", ""},  // a tie keeps the earlier code
        {list({{"AAAA", 5.0000001}, {"BBBB", 4.99}}), "BBBB", ""},  // 5.0 nm counts, more does not
    };
    for (const auto& [xml, code, log] : rows) {
        SCOPED_TRACE(xml);
        gf_resetAirports();
        gf_readAirportsText(xml, "test");
        std::sort(g_airports.begin(), g_airports.end(), [](auto& a, auto& b) { return a.code < b.code; });
        restartLog();
        EXPECT_EQ(tst_closest({10.0, 20.0}), code);
        EXPECT_EQ(gf_capturedLog(), log);
    }
}

TEST_F(ApfSiteTest, BadListsEndWithError88AndLeaveNoPlainFile) {
    const std::pair<const char*, const char*> rows[] = {  // nullptr: no airports.enc at all
        {nullptr, "88: input/airports.xml not loaded: File was not found"},
        {"<airports><airport", "88: input/airports.xml not loaded: Error parsing start element tag"},
        {R"(<airport code="LSZH" lat="1" lon="2" alt="3"/>)", "88: Missing <airports> root in: input/airports.xml"},
    };
    for (const auto& [xml, error] : rows) {
        SCOPED_TRACE(error);
        fs::remove(g_airportsEncPath);
        if (xml) tst_installAirportsXml(xml);
        try {
            gf_readAirports();
            ADD_FAILURE() << "no error";
        } catch (const qtk::UserErrorException& e) {
            EXPECT_EQ(std::to_string(e.code()) + e.what(), std::string("88") + error);
        }
        EXPECT_FALSE(fs::exists(g_airportsXmlPath) || !g_airports.empty());
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
    EXPECT_EQ(gf_capturedLog(), "Missing lat/lon/alt for airport 'NOAL'\nInvalid lat/lon/alt for airport 'POLE'\n"
                                "Invalid lat/lon/alt for airport 'NANL'\n5 airports read\n");
    ASSERT_EQ(g_airports.size(), 5u);
    EXPECT_EQ(gf_airportLabel(g_airports[0]) + g_airports[1].code + gf_airportLabel(Airport{"", "XYZ"}), "?AAAA? (XYZ)");
    const Airport& z = g_airports[4];
    EXPECT_EQ(fmt::format("{} {} {} {}", gf_airportLabel(z), z.lat, z.lon, z.alt), "ZZZZ (ZZZ) 1.5 -2 30");
}

TEST_F(ApfSiteTest, DestinationStandIsTheFirstOfTheNearest) {
    const Airport lsmd{"LSMD", "", 47.3986, 8.64823, 1470};
    const std::tuple<std::string, double, const char*> rows[] = {  // my_thirdparty/LSMD.xml, nm, name
        {tst_standsNorth({{"A1", 500}, {"B2", 120}, {"C3", 120}}), gf_metersToNm(120), "B2"},
        {"", 100, "keep"},  // no parking file, none on the site
        {"<meta/>", 100, "keep"},
    };
    for (const auto& [file, nm, expected] : rows) {
        SCOPED_TRACE(file);
        fs::remove("airports/my_thirdparty/LSMD.xml");
        if (!file.empty()) tst_writeFile("airports/my_thirdparty/LSMD.xml", file);
        std::string name = "keep";
        EXPECT_NEAR(gf_readDestApfForClosestStand(lsmd, kUser, name), nm, 1e-6);
        EXPECT_EQ(name, expected);
    }
}

}  // namespace
