#include "aircraft/regcodes.h"

#include <gtest/gtest.h>

#include "aircraft/livery_fixture.h"
#include "aircraft/regcode_files.h"
#include "core/crypto.h"
#include "platform/window_model.h"

namespace {

namespace fs = std::filesystem;

class RegcodesTest : public LiveryTest {
  protected:
    void writeAig(std::string_view xml) { tst_writeFile(g_aigRegcodesEnc, gf_encryptBytes(xml)); }
};

const std::vector<Liv> kInstalled = {
    {"SWR", "A320", "A320 Swiss A", false, "HB-IJA"}, {"SWR", "A320", "A320 Swiss B", false, "HB-IJA"},
    {"SWR", "A321", "A321 Swiss Special"}, {"DLH", "A320", "A320 Lufthansa", false, "D-AIZA"},
};

TEST_F(RegcodesTest, LinesAndDocumentsWithErrorsKeepTheGoodEntries) {
    std::vector<RegcodeEntry> entries;
    EXPECT_FALSE(gf_parseRegcodeLines({"A320 Swiss A", "", "  A320 Swiss B ; HB-IJB, HB-IJC ", "A321 Swiss Special;HB-JMA;#",
                                       ";HB-X", "T;A,,B", "T;A;B", "Dont use;#"}, "my.txt", entries));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_TRUE(entries[0].title == "A320 Swiss A" && entries[0].registrations.empty());
    EXPECT_EQ(entries[1].title, "A320 Swiss B");
    EXPECT_EQ(entries[1].registrations, (std::vector<std::string>{"HB-IJB", "HB-IJC"}));
    EXPECT_TRUE(entries[2].special);
    EXPECT_EQ(entries[2].registrations, (std::vector<std::string>{"HB-JMA"}));
    EXPECT_TRUE(entries[3].special && entries[3].registrations.empty());
    entries.clear();
    EXPECT_FALSE(gf_parseAigRegcodes("<AIG-regcodes>\n<livery title=\"A\" reg=\"X1\" special=\"yes\"/>\n"
                                     "<livery reg=\"X2\"/>\n<livery title=\"B\"/>\n</AIG-regcodes>", "aig.xml", entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[0].special);
    EXPECT_TRUE(entries[1].registrations.empty());
    EXPECT_FALSE(gf_parseAigRegcodes("<other/>", "aig.xml", entries));
    EXPECT_EQ(newLog(), "===> my.txt(5): line without a title\n===> my.txt(6): bad registration list\n"
                        "===> my.txt(7): bad registration list\n===> aig.xml(3): livery without a title\n"
                        "===> aig.xml(1): no <AIG-regcodes> element\n");
}

TEST_F(RegcodesTest, SourcesOverrideInlineAndResultsAreWritten) {
    writeAig("<AIG-regcodes><livery title=\"A320 Swiss B\" reg=\"HB-IJA,HB-IJZ\"/>"
             "<livery title=\"Not installed\" reg=\"HB-XXX\" special=\"true\"/>"
             "<livery title=\"A321 Swiss Special\" special=\"true\"/></AIG-regcodes>");
    tst_writeFile("input/my_regcodes/mine.TXT", "A320 Lufthansa;HB-IJZ\nA320 Swiss A;D-AIZA\n");
    build(kInstalled);
    EXPECT_EQ(std::tuple(g_regToLivery.at("HB-IJA"), g_regToLivery.at("HB-IJZ"), g_regToLivery.at("D-AIZA")),
              std::tuple("A320 Swiss B", "A320 Lufthansa", "A320 Swiss A"));
    EXPECT_FALSE(g_regToLivery.contains("HB-XXX"));
    EXPECT_EQ(g_specialTitleList, (std::vector<std::string_view>{"A321 Swiss Special"}));
    EXPECT_EQ(tst_readFile(g_inlineRegcodesFile), "HB-IJA 'A320 Swiss B' => already in use by 'A320 Swiss A'\n");
    EXPECT_EQ(tst_readFile(g_offlineRegcodesFile),
              "Processing file input/AIG-regcodes.xml\n"
              "   regcode HB-IJA for 'A320 Swiss B', instead of the same for 'A320 Swiss A'\n"
              "1 new regcode added, 1 regcode replaced, 1 regcode defined as special\n"
              "Processing files in input/my_regcodes\n"
              "   regcode HB-IJZ for 'A320 Lufthansa', instead of the same for 'A320 Swiss B'\n"
              "   regcode D-AIZA for 'A320 Swiss A', instead of the same for 'A320 Lufthansa'\n"
              "0 new regcodes added, 2 regcodes replaced\n");
    const std::string log = newLog();
    EXPECT_NE(log.find("1 in-line regcode clashes, see 'output/errors/InlineRegcodes.txt'\n"
                       "Offline regcode files processed, results can be found in 'output/info/OfflineRegcodes.txt'\n"
                       "1 special liveries\n3 registration codes\n"),
              std::string::npos) << log;
    EXPECT_FALSE(fs::exists(g_aigRegcodesXml));
}

TEST_F(RegcodesTest, DontUseTitlesBeforeAScan) {
    writeAig("<AIG-regcodes><livery title=\"Skip me\"/><livery title=\"Keep\" reg=\"A\"/></AIG-regcodes>");
    tst_writeFile("input/my_regcodes/a.txt", "Skip too\nSkip me\n");
    lf_processRegcodeSources();
    EXPECT_EQ(g_dontUseTitles, (std::vector<std::string>{"Skip me", "Skip too", "Skip me"}));
    EXPECT_TRUE(lf_isDontUseTitle("Skip too") && !lf_isDontUseTitle("Keep"));
    EXPECT_EQ(newLog(), "1 don't use title read\n2 don't use titles read from files in input/my_regcodes\n");
    EXPECT_FALSE(fs::exists(g_aigRegcodesXml));
}

}  // namespace
