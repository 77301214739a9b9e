#include "platform/sim_paths.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "core/params.h"
#include "core/paths.h"
#include "support/work_folder.h"

namespace fs = std::filesystem;

namespace {

class SimPathsTest : public WorkFolderTest {};

// Windows texts map onto the configured drive and ProgramData folders, matching the case of
// what exists; the simulator's folders follow its root.
TEST_F(SimPathsTest, MapsWindowsTextsOntoTheConfiguredFolders) {
    setenv("TRELVO_DRIVES", (folder_ / "drives").c_str(), 1);
    setenv("TRELVO_PROGRAMDATA", (folder_ / "pd").c_str(), 1);
    for (const char* dir : {"drives/D/AI/Aircraft", "drives/C/Program Files", "pd/Lockheed Martin/Prepar3D v5",
                            "sim/SimObjects/MyAI", "twins/Foo", "twins/foo"})
        fs::create_directories(folder_ / dir);
    const std::pair<std::string, std::string> rows[] = {
        {"D:\\ai\\AIRCRAFT", "drives/D/AI/Aircraft"},
        {"d:/AI//aircraft\\", "drives/D/AI/Aircraft"},
        {"D:\\AI\\missing\\SUB", "drives/D/AI/missing/SUB"},
        {"D:", "drives/D"},
        {"C:\\PROGRAMDATA\\lockheed martin\\Prepar3D v5\\simobjects.cfg",
         "pd/Lockheed Martin/Prepar3D v5/simobjects.cfg"},
        {"c:\\program files\\x", "drives/C/Program Files/x"},
        {"C:\\ProgramDataX\\y", "drives/C/ProgramDataX/y"},
        {"E:\\ProgramData", "drives/E/ProgramData"},
        {folder_.string() + "/sim\\simobjects\\myai", "sim/SimObjects/MyAI"},
        {"sim\\SIMOBJECTS\\.\\MyAI", "sim/SimObjects/MyAI"},
        {"twins\\FOO", "twins/Foo"},
        {"twins\\foo", "twins/foo"},
        {"C:relative", "C:relative"},
        // ".." climbs the text's own segments and stops at the drive or ProgramData folder.
        {"D:\\..\\..\\etc", "drives/D/etc"},
        {"D:\\ai\\..\\..\\ai\\aircraft", "drives/D/AI/Aircraft"},
        {"D:\\AI\\missing\\..\\aircraft", "drives/D/AI/Aircraft"},
        {"C:\\ProgramData\\..\\..\\lockheed martin", "pd/Lockheed Martin"},
        {"twins\\..\\twins\\FOO", "twins/Foo"},
    };
    for (const auto& [text, host] : rows) {
        fs::path mapped = gf_hostPath(text);
        if (mapped.is_relative()) mapped = folder_ / mapped;
        EXPECT_EQ(mapped.lexically_normal(), (folder_ / host).lexically_normal()) << text;
    }
    EXPECT_EQ(gf_joinSimPath("C:\\P3D v5\\", "SimObjects\\MyAI"), "C:\\P3D v5\\SimObjects\\MyAI");
    EXPECT_EQ(gf_joinSimPath("", "x\\y"), "x\\y");
    EXPECT_EQ(gf_joinSimPath("/a/b/", ""), "/a/b");
    setenv("TRELVO_SIM_ROOT", "/opt/P3D v6", 1);
    gf_setSimulatorPaths();
    EXPECT_EQ(SIM_INSTALL_PATH.value(), "/opt/P3D v6");
    EXPECT_EQ(g_stockAirportsPath, "/opt/P3D v6\\Scenery");
}

}  // namespace
