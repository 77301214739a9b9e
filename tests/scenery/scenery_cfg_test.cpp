#include "scenery/scenery_cfg.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "support/work_folder.h"

namespace {

class SceneryCfgTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        setenv("TRELVO_PROGRAMDATA", (folder_ / "pd").c_str(), 1);
        SIM_INSTALL_PATH.set("C:\\P3D v6");
        g_stockAirportsPath = "C:\\P3D v6\\Scenery";
        gf_setLogCapture(true);
    }
};

std::string lf_utf16(std::string_view text) {
    std::string out = "\xff\xfe";
    for (char c : text) out += {c, '\0'};
    return out;
}

constexpr char kSceneryCfg[] =
    "[General]\r\nTitle=Scenery\r\n[Area.001]\r\nTitle=Terrain\r\nLocal=Scenery\\World\r\nActive=TRUE\r\n"
    "[Area.002]\r\nLocal=Scenery\\0601\r\nActive=TRUE\r\n"  // stock airports
    "[Area.003]\r\nLocal=addon\\myairport\r\nLocal= \r\nActive=true\r\nLocal = D:\\Scenery\\X \r\nLayer=3\r\n"
    "[Area.004]\r\nActive=FALSE\r\nLocal=D:\\Off\r\n"
    "[Area.005]\r\nLocal=D:\\NoActive\r\n"
    "[Area.006]\r\nActive=True\r\nLocal=Scenery\\Areas\\X\r\nLocal=Y\r\nActive=True\r\nLocal-missing\r\n"
    "[Area.007]\r\nActive=TRUE\r\nLocal=D:\\Nul\0Cut\r\n";  // a NUL would name D:\Nul
constexpr char kAddOns[] =
    "<?xml version=\"1.0\"?>\n<A>\n<Path>E:\\Addon One</Path>\n<Path></Path>\n<Name>x</Name>\n"
    "<Path>E:\\Two</Path><Layer>2</Layer>\n<Path> </Path>\n<Path>E:\\Nul\0Cut</Path>\n</A>\n";

TEST_F(SceneryCfgTest, FoldersOfBothFilesInOrder) {
    const std::string sceneryCfg(kSceneryCfg, sizeof(kSceneryCfg) - 1), addOns(kAddOns, sizeof(kAddOns) - 1);
    for (bool utf16 : {false, true}) {
        SCOPED_TRACE(utf16);
        tst_writeFile("pd/Lockheed Martin/Prepar3D v6/scenery.cfg",
                      utf16 ? lf_utf16(sceneryCfg) : sceneryCfg);
        tst_writeFile("pd/Lockheed Martin/Prepar3D v6/SCENERY_ADD-ONS.XML",
                      utf16 ? lf_utf16(addOns) : addOns);
        std::vector<std::string> folders;
        lf_readSceneryCfg(folders);
        lf_readSceneryAddOns(folders);
        EXPECT_EQ(folders, (std::vector<std::string>{"C:\\P3D v6\\addon\\myairport", "D:\\Scenery\\X",
                                                     "C:\\P3D v6\\Y", "E:\\Addon One", "E:\\Two"}));
    }
    EXPECT_NE(gf_capturedLog().find(
                  "\\nReading: C:\\ProgramData\\Lockheed Martin\\Prepar3D v6\\scenery.cfg for airport "
                  "add-ons ...\n      found:C:\\P3D v6\\addon\\myairport\n"),
              std::string::npos);
    EXPECT_NE(gf_capturedLog().find("found path:E:\\Two\na path holding a NUL character is skipped\n"
                                    "2 scenery add-on paths found\n"),
              std::string::npos);
    // Without a known stock airports folder nothing counts as stock airports.
    tst_writeFile("pd/Lockheed Martin/Prepar3D v6/scenery.cfg",
                  "[Area.1]\nActive=TRUE\nLocal=Scenery\\Addon\n");
    std::filesystem::remove("pd/Lockheed Martin/Prepar3D v6/SCENERY_ADD-ONS.XML");
    g_stockAirportsPath.clear();
    std::vector<std::string> folders;
    lf_readSceneryCfg(folders);
    lf_readSceneryAddOns(folders);
    EXPECT_EQ(folders, std::vector<std::string>{"C:\\P3D v6\\Scenery\\Addon"});
    EXPECT_NE(gf_capturedLog().find(
                  "C:\\ProgramData\\Lockheed Martin\\Prepar3D v6\\scenery_add-ons.xml not found!"),
              std::string::npos);
}

}  // namespace
