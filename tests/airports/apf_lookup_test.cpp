#include "airports/apf_lookup.h"

#include "airports/apf_fixture.h"
#include "airports/stock.h"

namespace {

using ApfLookupTest = ApfSiteTest;

TEST_F(ApfLookupTest, LinksComeBeforeFilesAndThirdpartyBeforeOrbx) {
    struct Row {
        const char* file;
        const char* content;
        const char* found;  // LSZH's location after this file is added
    } rows[] = {
        {"", "", "archive/stock/LSZH.xml"},
        {"airports/my_ORBX/LSZH.xml", "x", "airports/my_ORBX/LSZH.xml"},
        {"airports/my_ORBX/LSZH.txt", "archive/simaddon/LSZH.xml  \r\n", "archive/simaddon/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.xml", "x", "airports/my_thirdparty/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.txt", "no link here", "airports/my_thirdparty/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.txt", "archive/thirdparty/A%20B/LSZH.xml.old tail",
         "archive/thirdparty/A%20B/LSZH.xml"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.file);
        if (*r.file) tst_writeFile(r.file, r.content);
        EXPECT_EQ(gf_findApf("LSZH"), r.found);
        EXPECT_TRUE(gf_apfExists("LSZH"));
    }
    EXPECT_EQ(gf_findApf("EDDF"), "");
    EXPECT_FALSE(gf_apfExists("EDDF"));
    tst_writeFile("airports/my_ORBX/EDDF.txt", "");
    EXPECT_TRUE(gf_apfExists("EDDF"));  // a link file counts without being read
    EXPECT_EQ(gf_findApf("EDDF"), "");
}

TEST_F(ApfLookupTest, HostileLinkTargetsCountAsAbsent) {
    const char* targets[] = {"/etc/LSZH.xml", "C:\\P3D\\LSZH.xml", "archive/../../LSZH.xml",
                             "archive\\..\\LSZH.xml", "archive/%2E%2e/LSZH.xml", "../.xml"};
    for (const char* target : targets) {
        SCOPED_TRACE(target);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        tst_writeFile("airports/my_thirdparty/LSZH.txt", target);
        EXPECT_EQ(gf_findApf("LSZH"), "archive/stock/LSZH.xml");
        EXPECT_EQ(gf_capturedLog(),
                  fmt::format("===> airports/my_thirdparty/LSZH.txt: link target '{}' refused, it would "
                              "leave the airports folder\n",
                              target));
    }
}

TEST_F(ApfLookupTest, ReaderAndSaverAgreeOnTheLearnedFile) {
    struct Row {
        const char* location;
        const char* publisher;
        const char* learned;
    } rows[] = {
        {"archive/stock/LSZH.xml", "", "airports/learned/stock/LSZH.xml"},
        {"archive/simaddon/LSZH.xml", "", "airports/learned/simaddon/LSZH.xml"},
        {"airports/my_ORBX/LSZH.xml", "", "airports/learned/simaddon/LSZH.xml"},
        {"archive/thirdparty/Some%20Pub/LSZH.xml", "", "airports/learned/thirdparty/Some Pub/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.xml", "Some Pub", "airports/learned/thirdparty/Some Pub/LSZH.xml"},
        {"airports/my_thirdparty/LSZH.xml", "", ""},
        {"airports/my_thirdparty/LSZH.xml", "../../x", ""},
        {"", "stock", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.location) + " " + r.publisher);
        EXPECT_EQ(lf_migrateArchivePath(r.location, r.publisher).generic_string(), r.learned);
    }
    EXPECT_EQ(gf_learnedApfPath("../LSZH", "stock"), "");
}

}  // namespace
