#include "aircraft/addon_discovery.h"

#include <gtest/gtest.h>

#include "core/params.h"
#include "support/work_folder.h"

namespace {

using Strings = std::vector<std::string>;

class AddonDiscoveryTest : public WorkFolderTest {};

TEST_F(AddonDiscoveryTest, AddOnsCfgNamesPackagesInOrder) {
    const Strings lines = {"PATH=C:\\before the first package",
                           "[Package.0]",
                           "PATH= D:\\AI\\One \t",
                           "REQUIRED=false",
                           "Path without equals",
                           "[PACKAGE.1]",
                           "title=x",
                           "path=E:\\Two=2",
                           "[package.2]",
                           "REQUIRED Path=F:\\dropped"};
    EXPECT_EQ(gf_addOnsCfgPackages(lines), (Strings{"D:\\AI\\One", "E:\\Two=2"}));
}

TEST_F(AddonDiscoveryTest, AddOnXmlGivesSimObjectsComponents) {
    const Strings lines = {"<Category>SimObjects</Category>", "<Path>SimObjects\\AI</Path>",
                           "<Category>Scenery</Category>",    "<Path>Scenery\\X</Path>",
                           "<Category>simobjects</Category>", "<Path>E:\\Lights Reborn\\Sim</Path>",
                           "<Category>SIMOBJECTS</Category>", "<Path></Path>",
                           "<Category>Simobjects</Category>", "<Path>E:\\Traffic\\Aircraft</Path>",
                           "<Category>SimObjects</Category>"};
    Strings folders = {"first"};
    gf_addOnXmlFolders(lines, "D:\\Pkg\\", folders);
    EXPECT_EQ(folders, (Strings{"first", "D:\\Pkg\\SimObjects\\AI", "E:\\Traffic\\Aircraft"}));
}

TEST_F(AddonDiscoveryTest, SimObjectsCfgSkipsDefaultCategoriesAndJoinsRelativePaths) {
    SIM_INSTALL_PATH.set("C:\\P3D v5");
    const Strings lines = {"Path=before any entry",
                           "[Entry.0]",
                           "Title=Default",
                           "Path=SimObjects\\Airplanes",
                           "Path=SimObjects\\MyAI",
                           "[Entry.1]",
                           "Title=My Entry Traffic",
                           "Path=D:\\AI\\Aircraft",
                           "PATH=D:\\AI\\SimObjects\\Other",
                           "Required Path=D:\\x"};
    Strings folders;
    gf_simObjectsCfgFolders(lines, folders);
    // "Entry" in the title opens a section of its own: its Path lines still count.
    EXPECT_EQ(folders, (Strings{"C:\\P3D v5\\SimObjects\\MyAI", "D:\\AI\\Aircraft", "D:\\AI\\SimObjects\\Other"}));
}

}  // namespace
