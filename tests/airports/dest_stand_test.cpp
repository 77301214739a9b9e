#include "airports/dest_stand.h"

#include <filesystem>

#include <fmt/format.h>

#include "airports/apf_fixture.h"
#include "airports/stock.h"
#include "support/airport_builders.h"

namespace fs = std::filesystem;

namespace {

constexpr LatLon kUser{47.44, 8.58};  // between Zurich and Dubendorf, within 5 nm of both

// A parking file whose stands stand so many metres north of the user.
std::string tst_standsNorth(std::initializer_list<std::pair<const char*, double>> stands) {
    std::string text = "<meta/><parkpositions>";
    for (const auto& [id, northM] : stands)
        text += fmt::format(R"(<parkpos id="{}" latitude="{:.9f}" longitude="{}"/>)", id,
                            kUser.lat + gf_metersToNm(northM) / 60.0, kUser.lon);
    return text + "</parkpositions>";
}

class DestStandTest : public ApfSiteTest {
  protected:
    const Airport lsmd_{"LSMD", "", 47.3986, 8.64823, 1470};
};

TEST_F(DestStandTest, NearestStandFirstOfEqualsOr100) {
    struct Row {
        const char* what;
        std::string file;  // my_thirdparty/LSMD.xml; empty: none
        double nm;
        const char* name;
    } rows[] = {
        {"first of the nearest", tst_standsNorth({{"A1", 500}, {"B2", 120}, {"C3", 120}}), gf_metersToNm(120),
         "B2"},
        {"no parking file, none on the site", "", 100, "keep"},
        {"not XML", "<parkpositions><parkpos", 100, "keep"},
        {"no parkpositions", "<meta/>", 100, "keep"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove("airports/my_thirdparty/LSMD.xml");
        if (!row.file.empty()) tst_writeFile("airports/my_thirdparty/LSMD.xml", row.file);
        std::string name = "keep";
        EXPECT_NEAR(gf_readDestApfForClosestStand(lsmd_, kUser, name), row.nm, 1e-6);
        EXPECT_EQ(name, row.name);
    }
    // A stand without coordinates stands at 0, 0.
    tst_writeFile("airports/my_thirdparty/LSMD.xml", R"(<parkpositions><parkpos id="Z"/></parkpositions>)");
    std::string name;
    EXPECT_NEAR(gf_readDestApfForClosestStand(lsmd_, {0.01, 0}, name), 0.6, 1e-9);
    EXPECT_EQ(name, "Z");
}

// The site answers once per run; every lookup gets its own copy and removes it.
TEST_F(DestStandTest, StockFileIsDownloadedReadAndRemovedEachTime) {
    tst_writeFile("site/P3D/archive/stock/LSMD.xml", tst_standsNorth({{"S1", 50}}));
    for (int i = 1; i <= 2; ++i) {
        std::string name;
        EXPECT_NEAR(gf_readDestApfForClosestStand(lsmd_, kUser, name), gf_metersToNm(50), 1e-6);
        EXPECT_EQ(name, "S1");
        EXPECT_FALSE(fs::exists(kDownloadedApf));
    }
    EXPECT_EQ(server_.requestCount("/P3D/archive/stock/LSMD.xml"), 1);
    // A copy that does not load stays for the next download to overwrite.
    tst_writeFile("site/P3D/archive/stock/LSMD.xml", "<parkpositions");
    gf_resetSiteCache();
    std::string name = "keep";
    EXPECT_EQ(gf_readDestApfForClosestStand(lsmd_, kUser, name), kNoStandNm);
    EXPECT_TRUE(fs::exists(kDownloadedApf));
}

// Zurich, later in code order and nearer, displaces Dubendorf, whose stand may still be nearer.
TEST_F(DestStandTest, NeighbourWinsWhenItsStandIsNearer) {
    tst_installRealAirports();
    gf_readAirports();
    struct Row {
        double zurichStandM, dubendorfStandM;  // < 0: no file
        const char* code;
        const char* log;
    } rows[] = {
        {-1, -1, "LSZH", ""},
        {200, 200, "LSZH", ""},
        {300, 200, "LSMD",
         "Airport LSZH is closest, but stand D1 at neighbouring airport LSMD is closer at 200 meters ...\n"},
        {-1, 900, "LSMD",
         "Airport LSZH is closest, but stand D1 at neighbouring airport LSMD is closer at 900 meters ...\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code + std::to_string(row.dubendorfStandM));
        fs::remove_all("airports/my_thirdparty");
        if (row.zurichStandM >= 0)
            tst_writeFile("airports/my_thirdparty/LSZH.xml", tst_standsNorth({{"Z1", row.zurichStandM}}));
        if (row.dubendorfStandM >= 0)
            tst_writeFile("airports/my_thirdparty/LSMD.xml", tst_standsNorth({{"D1", row.dubendorfStandM}}));
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        auto found = gf_findClosestAirport(kUser);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->get().code, row.code);
        EXPECT_EQ(gf_capturedLog(), std::string("Airport LSZH is closest, neighbour is LSMD\n") + row.log);
    }
}

}  // namespace
