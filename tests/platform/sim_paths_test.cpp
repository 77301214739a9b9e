#include "platform/sim_paths.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "core/params.h"
#include "core/paths.h"
#include "support/work_folder.h"

namespace fs = std::filesystem;

namespace {

class SimPathsTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        setenv("TRELVO_DRIVES", (folder_ / "drives").c_str(), 1);
        setenv("TRELVO_PROGRAMDATA", (folder_ / "pd").c_str(), 1);
        for (const char* dir : {"drives/D/AI/Aircraft", "drives/C/Program Files", "pd/Lockheed Martin/Prepar3D v5",
                                "sim/SimObjects/MyAI", "twins/Foo", "twins/foo"})
            fs::create_directories(folder_ / dir);
    }
};

TEST_F(SimPathsTest, MapsWindowsTextsOntoTheConfiguredFolders) {
    const std::string work = folder_.string();
    const struct {
        std::string text;
        std::string host;  // relative to the working folder unless absolute
    } rows[] = {
        {"D:\\ai\\AIRCRAFT", "drives/D/AI/Aircraft"},
        {"d:/AI//aircraft\\", "drives/D/AI/Aircraft"},
        {"D:\\AI\\missing\\SUB", "drives/D/AI/missing/SUB"},
        {"D:", "drives/D"},
        {"A:\\x", "drives/A/x"},
        {"C:\\PROGRAMDATA\\lockheed martin\\Prepar3D v5\\simobjects.cfg",
         "pd/Lockheed Martin/Prepar3D v5/simobjects.cfg"},
        {"c:\\program files\\x", "drives/C/Program Files/x"},
        {"C:\\ProgramDataX\\y", "drives/C/ProgramDataX/y"},
        {"E:\\ProgramData", "drives/E/ProgramData"},
        {work + "/sim\\simobjects\\myai", "sim/SimObjects/MyAI"},
        {"sim\\SIMOBJECTS\\.\\MyAI", "sim/SimObjects/MyAI"},
        {"twins\\FOO", "twins/Foo"},
        {"twins\\foo", "twins/foo"},
        {"C:relative", "C:relative"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        const fs::path expected = folder_ / r.host;
        fs::path mapped = gf_hostPath(r.text);
        if (mapped.is_relative()) mapped = folder_ / mapped;
        EXPECT_EQ(mapped.lexically_normal(), expected.lexically_normal());
    }
}

TEST_F(SimPathsTest, JoinsAndSetsTheSimulatorFolders) {
    EXPECT_EQ(gf_joinSimPath("C:\\P3D v5\\", "SimObjects\\MyAI"), "C:\\P3D v5\\SimObjects\\MyAI");
    EXPECT_EQ(gf_joinSimPath("", "x\\y"), "x\\y");
    EXPECT_EQ(gf_joinSimPath("/a/b/", ""), "/a/b");
    setenv("TRELVO_SIM_ROOT", "/opt/P3D v6", 1);
    gf_setSimulatorPaths();
    EXPECT_EQ(SIM_INSTALL_PATH.value(), "/opt/P3D v6");
    EXPECT_EQ(g_stockAirportsPath, "/opt/P3D v6\\Scenery");
}

}  // namespace
