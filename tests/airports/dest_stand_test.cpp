#include "airports/dest_stand.h"

#include <filesystem>

#include <fmt/format.h>

#include "airports/apf_fixture.h"
#include "airports/stock.h"
#include "support/airport_builders.h"

namespace fs = std::filesystem;

namespace {

class DestStandTest : public ApfSiteTest {
protected:
    // A parking file whose stands stand so many metres north of the user.
    static std::string apf(std::initializer_list<std::pair<const char*, double>> stands) {
        std::string text = "<meta/><parkpositions>";
        for (const auto& [id, northM] : stands)
            text += fmt::format("<parkpos id=\"{}\" latitude=\"{:.9f}\" longitude=\"{}\"/>", id,
                                kUser.lat + gf_metersToNm(northM) / 60.0, kUser.lon);
        return text + "</parkpositions>";
    }
    static constexpr LatLon kUser{47.45, 8.56};
    const Airport lsmd_{"LSMD", "", 47.3986, 8.64823, 1470};
};

TEST_F(DestStandTest, NearestStandOfALocalFileFirstOfEquals) {
    tst_writeFile("airports/my_thirdparty/LSMD.xml", apf({{"A1", 500}, {"B2", 120}, {"C3", 120}, {"D4", 300}}));
    std::string name = "keep";
    EXPECT_NEAR(gf_readDestApfForClosestStand(lsmd_, kUser, name), gf_metersToNm(120), 1e-6);
    EXPECT_EQ(name, "B2");
}

TEST_F(DestStandTest, NoStandKeepsTheNameAndAnswers100) {
    struct Row {
        const char* what;
        const char* file;  // my_thirdparty/LSMD.xml; nullptr: none
    } rows[] = {
        {"no parking file, none on the site", nullptr},
        {"not XML", "<parkpositions><parkpos"},
        {"no parkpositions", "<meta/>"},
        {"no parkpos", "<parkpositions/>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove("airports/my_thirdparty/LSMD.xml");
        if (row.file) tst_writeFile("airports/my_thirdparty/LSMD.xml", row.file);
        std::string name = "keep";
        EXPECT_EQ(gf_readDestApfForClosestStand(lsmd_, kUser, name), kNoStandNm);
        EXPECT_EQ(name, "keep");
    }
}

TEST_F(DestStandTest, StandWithoutCoordinatesStandsAtZeroZero) {
    tst_writeFile("airports/my_thirdparty/LSMD.xml",
                  "<parkpositions><parkpos id=\"Z\"/><parkpos id=\"far\" latitude=\"1\" longitude=\"1\"/></parkpositions>");
    std::string name;
    EXPECT_NEAR(gf_readDestApfForClosestStand(lsmd_, {0.01, 0}, name), 0.6, 1e-9);
    EXPECT_EQ(name, "Z");
}

// The site answers once per run; every lookup gets its own copy and removes it.
TEST_F(DestStandTest, StockFileIsDownloadedReadAndRemovedEachTime) {
    tst_writeFile("site/P3D/archive/stock/LSMD.xml", apf({{"S1", 50}}));
    for (int i = 1; i <= 2; ++i) {
        std::string name;
        EXPECT_NEAR(gf_readDestApfForClosestStand(lsmd_, kUser, name), gf_metersToNm(50), 1e-6);
        EXPECT_EQ(name, "S1");
        EXPECT_FALSE(fs::exists(kDownloadedApf));
        EXPECT_EQ(server_.requestCount("/P3D/archive/stock/LSMD.xml"), 1);
    }
    // A copy that does not load stays for the next download to overwrite.
    tst_writeFile("site/P3D/archive/stock/LSMD.xml", "<parkpositions");
    gf_resetSiteCache();
    std::string name = "keep";
    EXPECT_EQ(gf_readDestApfForClosestStand(lsmd_, kUser, name), kNoStandNm);
    EXPECT_TRUE(fs::exists(kDownloadedApf));
}

// Zurich and Dubendorf are both within 5 nm of a point between them; Zurich, later in code order
// and nearer, displaces Dubendorf, whose stand may still be the nearer one.
TEST_F(DestStandTest, NeighbourWinsWhenItsStandIsNearer) {
    tst_installRealAirports();
    gf_readAirports();
    const LatLon between{47.44, 8.58};
    auto standAt = [&](const char* code, const char* id, double northM) {
        tst_writeFile(fmt::format("airports/my_thirdparty/{}.xml", code),
                      fmt::format("<parkpositions><parkpos id=\"{}\" latitude=\"{:.9f}\" longitude=\"{}\"/></parkpositions>",
                                  id, between.lat + gf_metersToNm(northM) / 60.0, between.lon));
    };
    struct Row {
        const char* what;
        double zurichStandM, dubendorfStandM;  // < 0: no file
        const char* code;
        const char* log;
    } rows[] = {
        {"no parking files", -1, -1, "LSZH", ""},
        {"same distance", 200, 200, "LSZH", ""},
        {"Dubendorf's stand nearer", 300, 200, "LSMD",
         "Airport LSZH is closest, but stand D1 at neighbouring airport LSMD is closer at 200 meters ...\n"},
        {"only Dubendorf has a file", -1, 900, "LSMD",
         "Airport LSZH is closest, but stand D1 at neighbouring airport LSMD is closer at 900 meters ...\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all("airports/my_thirdparty");
        if (row.zurichStandM >= 0) standAt("LSZH", "Z1", row.zurichStandM);
        if (row.dubendorfStandM >= 0) standAt("LSMD", "D1", row.dubendorfStandM);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        auto found = gf_findClosestAirport(between);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->get().code, row.code);
        EXPECT_EQ(gf_capturedLog(), std::string("Airport LSZH is closest, neighbour is LSMD\n") + row.log);
    }
}

}  // namespace
