#include "aircraft/addon_discovery.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/params.h"
#include "support/work_folder.h"

namespace {

using Strings = std::vector<std::string>;
using namespace std::string_literals;

class AddonDiscoveryTest : public WorkFolderTest {};

// add-ons.cfg names packages, add-on.xml their SimObjects components, simobjects.cfg folders of
// its entries but the default ones.
TEST_F(AddonDiscoveryTest, PackagesComponentsAndEntriesInOrder) {
    // Empty paths and paths holding NUL name no package (they would name another folder).
    EXPECT_EQ(
        gf_addOnsCfgPackages({"PATH=C:\\before the first package", "[Package.0]", "PATH= D:\\AI\\One \t",
                              "REQUIRED=false", "Path without equals", "[PACKAGE.1]", "title=x",
                              "path=E:\\Two=2", "[package.2]", "REQUIRED Path=F:\\dropped", "[Package.3]",
                              "PATH=", "Path= \t", "PATH=G:\\Nul\0Cut"s}),
        (Strings{"D:\\AI\\One", "E:\\Two=2"}));
    Strings folders = {"first"};
    // A path from the root is used as written; one holding NUL names nothing.
    gf_addOnXmlFolders(
        {"<Category>SimObjects</Category>", "<Path>SimObjects\\AI</Path>", "<Category>Scenery</Category>",
         "<Path>Scenery\\X</Path>", "<Category>simobjects</Category>", "<Path>E:\\Lights Reborn\\Sim</Path>",
         "<Category>SIMOBJECTS</Category>", "<Path></Path>", "<Category>Simobjects</Category>",
         "<Path>E:\\Traffic\\Aircraft</Path>", "<Category>SimObjects</Category>", "<Path>F:</Path>",
         "<Category>SimObjects</Category>", "<Path>\\Root\\AI</Path>", "<Category>SimObjects</Category>",
         "<Path>Nul\0Cut</Path>"s, "<Category>SimObjects</Category>"},
        "D:\\Pkg\\", folders);
    EXPECT_EQ(folders,
              (Strings{"first", "D:\\Pkg\\SimObjects\\AI", "E:\\Traffic\\Aircraft", "F:", "\\Root\\AI"}));
    // The excluded packages stay out also through a relative path; NUL names nothing.
    gf_addOnXmlFolders({"<Category>SimObjects</Category>", "<Path>SimObjects</Path>",
                        "<Category>SimObjects</Category>", "<Path>Nul\0Cut</Path>"s},
                       "E:\\Lights Reborn", folders);
    gf_addOnXmlFolders({"<Category>SimObjects</Category>", "<Path>Traffic</Path>"},
                       "F:\\Aerosoft Geneva Professional", folders);
    EXPECT_EQ(folders.size(), 5u);
    SIM_INSTALL_PATH.set("C:\\P3D v5");
    folders.clear();
    // "Entry" in the title opens a section of its own: its Path lines still count.
    gf_simObjectsCfgFolders(
        {"Path=before any entry", "[Entry.0]", "Title=Default", "Path=SimObjects\\Airplanes",
         "Path=SimObjects\\MyAI", "[Entry.1]", "Title=My Entry Traffic", "Path=D:\\AI\\Aircraft",
         "PATH=D:\\AI\\SimObjects\\Other", "Required Path=D:\\x", "Path=", "Path=  ", "Path=D:\\Nul\0Cut"s},
        folders);
    EXPECT_EQ(folders,
              (Strings{"C:\\P3D v5\\SimObjects\\MyAI", "D:\\AI\\Aircraft", "D:\\AI\\SimObjects\\Other"}));
}

// The simulator's files on disk: every package's add-on.xml is read afresh (one that cannot be
// read adds nothing, not what the one before held), a package without one is passed over, and
// a simobjects.cfg that cannot be read gives nothing.
TEST_F(AddonDiscoveryTest, PackagesAndEntriesReadFromTheSimulatorsFiles) {
    setenv("TRELVO_APPDATA", (folder_ / "appdata").c_str(), 1);
    setenv("TRELVO_PROGRAMDATA", (folder_ / "programdata").c_str(), 1);
    setenv("TRELVO_DRIVES", (folder_ / "drives").c_str(), 1);
    SIM_INSTALL_PATH.set("C:\\Prepar3D v5");
    gf_setLogCapture(true);
    const char* addOnsCfg = "appdata/Lockheed Martin/Prepar3D v5/add-ons.cfg";
    tst_writeFile(
        addOnsCfg,
        "[Package.0]\nPATH=D:\\AI\\One\n[Package.1]\nPATH=D:\\AI\\Two\n[Package.2]\nPATH=D:\\AI\\Three\n");
    tst_writeFile("drives/D/AI/One/add-on.xml",
                  "<Category>SimObjects</Category>\n<Path>SimObjects\\Airliners</Path>\n");
    std::filesystem::create_directories("drives/D/AI/Two/add-on.xml");
    Strings folders;
    lf_readP3DAddOnsAircraft(folders);
    EXPECT_EQ(folders, Strings{"D:\\AI\\One\\SimObjects\\Airliners"});
    const std::string log = gf_capturedLog();
    for (const char* line : {"   exploring D:\\AI\\One\\add-on.xml\n", "D:\\AI\\Two\\add-on.xml not found!\n",
                             "1 AI add-on package found\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(log.find("exploring D:\\AI\\Three"), std::string::npos);
    std::filesystem::remove(addOnsCfg);
    lf_readP3DAddOnsAircraft(folders);
    EXPECT_EQ(folders.size(), 1u);
    EXPECT_NE(gf_capturedLog().find("add-ons.cfg not found!\n0 AI add-on packages found\n"),
              std::string::npos);

    std::filesystem::create_directories("programdata/Lockheed Martin/Prepar3D v5/simobjects.cfg");
    gf_setLogCapture(false);
    gf_setLogCapture(true);
    lf_readSimObjectsCfg(folders);
    EXPECT_EQ(folders.size(), 1u);
    EXPECT_NE(gf_capturedLog().find("simobjects.cfg not found!\n"), std::string::npos);
    EXPECT_EQ(gf_capturedLog().find("packages found"), std::string::npos);
    for (const char* name : {"TRELVO_APPDATA", "TRELVO_PROGRAMDATA", "TRELVO_DRIVES"}) unsetenv(name);
}

}  // namespace
