#include "aircraft/addon_discovery.h"

#include <gtest/gtest.h>

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

}  // namespace
