#include "core/params_file.h"

#include <filesystem>
#include <thread>

#include <fmt/format.h>

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "support/work_folder.h"

namespace fs = std::filesystem;

namespace {

class ParamsFileTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_setLogCapture(true);
    }
};

// A value other than the default for every persisted record, distinct per record.
void lf_setNonDefaults() {
    int i = 0;
    for (Parameter* p : gf_allParameters()) {
        ++i;
        if (auto* ip = dynamic_cast<IntParameter*>(p))
            ip->set(ip->def() == ip->max() ? ip->min() : ip->max() - i % 2);
        if (auto* fp = dynamic_cast<FloatParameter*>(p)) fp->set(fp->def() + 0.1 * i);
        if (auto* bp = dynamic_cast<BoolParameter*>(p)) bp->set(!bp->def());
        if (auto* tp = dynamic_cast<TextParameter*>(p)) tp->set(fmt::format("v{} & <\"quoted\"> 'é'", i));
    }
}

std::vector<std::string> lf_valueTexts() {
    std::vector<std::string> out;
    for (Parameter* p : gf_allParameters())
        if (p->persisted()) out.push_back(fmt::format("{}={}", p->name(), p->valueText()));
    return out;
}

TEST_F(ParamsFileTest, EveryRecordRoundTrips) {
    lf_setNonDefaults();
    std::vector<std::string> saved = lf_valueTexts();
    ASSERT_TRUE(gf_saveParameters());
    gf_resetParameters();
    ASSERT_NE(lf_valueTexts(), saved);
    ASSERT_TRUE(gf_loadParameters());
    EXPECT_EQ(lf_valueTexts(), saved);
    EXPECT_EQ(gf_capturedLog(), "");
}

TEST_F(ParamsFileTest, FileHoldsEveryPersistedRecordInOrder) {
    author.set("not stored");
    ASSERT_TRUE(gf_saveParameters());
    std::string text = tst_readFile(g_parametersFile);
    EXPECT_EQ(
        text.rfind("<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"RANGE\" value=\"40\" />\n"
                   "\t<parameter name=\"AUTO_RANGE\" value=\"true\" />\n",
                   0),
        0u)
        << text;
    size_t at = 0;
    for (Parameter* p : gf_allParameters()) {
        SCOPED_TRACE(p->name());
        size_t found = text.find(fmt::format("<parameter name=\"{}\" ", p->name()));
        if (!p->persisted()) {
            EXPECT_EQ(found, std::string::npos);
            continue;
        }
        ASSERT_NE(found, std::string::npos);
        EXPECT_GT(found, at);
        at = found;
    }
    EXPECT_FALSE(fs::exists(fmt::format("{}.tmp", g_parametersFile)));
}

TEST_F(ParamsFileTest, ValuesAreClampedOrKeptAtTheirDefault) {
    tst_writeFile(g_parametersFile,
                  "<?xml version=\"1.0\"?>\n"
                  "<parameters>\n"
                  "\t<parameter name=\"RANGE\" value=\"500\" />\n"
                  "\t<parameter name=\"MAX_LIVE\" value=\"-9\" />\n"
                  "\t<parameter name=\"MAX_FIT\" value=\"forty\" />\n"
                  "\t<parameter name=\"AUTO_RANGE\" value=\"maybe\" />\n"
                  "\t<parameter name=\"MAX_FIT_FL\" value=\"nan\" />\n"
                  "\t<parameter name=\"NO_SUCH\" value=\"1\" />\n"
                  "\t<parameter value=\"1\" />\n"
                  "\t<parameter name=\"author\" value=\"sneaked in\" />\n"
                  "\t<parameter name=\"P3D_VERSION\" value=\" 6 \" />\n"
                  "\t<parameter name=\"WEEK\" value=\"true\" />\n"
                  "\t<parameter name=\"HOLDING_THRESHOLD_METERS\" value=\"99999999999\" />\n"
                  "\t<parameter name=\"TIME_SHIFT_MINS\" />\n"
                  "</parameters>\n");
    ASSERT_TRUE(gf_loadParameters());
    EXPECT_EQ(RANGE.value(), 100);
    EXPECT_EQ(MAX_LIVE.value(), -1);
    EXPECT_EQ(MAX_FIT.value(), 47);
    EXPECT_TRUE(AUTO_RANGE.value());
    EXPECT_EQ(MAX_FIT_FL.value(), 21.0);
    EXPECT_EQ(author.value(), "");
    EXPECT_EQ(P3D_VERSION.value(), 6);
    EXPECT_TRUE(WEEK.value());
    EXPECT_EQ(HOLDING_THRESHOLD_METERS.value(), 4000);
    EXPECT_EQ(TIME_SHIFT_MINS.value(), 0);
    EXPECT_EQ(gf_capturedLog(),
              "===> parameters.xml line 5: invalid value 'forty' for MAX_FIT, default 47 kept\n"
              "===> parameters.xml line 6: invalid value 'maybe' for AUTO_RANGE, default true kept\n"
              "===> parameters.xml line 7: invalid value 'nan' for MAX_FIT_FL, default 21 kept\n"
              "===> parameters.xml line 14: invalid value '' for TIME_SHIFT_MINS, default 0 kept\n");
}

TEST_F(ParamsFileTest, LoadStartsFromTheDefaults) {
    tst_writeFile(g_parametersFile, "<parameters><parameter name='RANGE' value='8'/></parameters>");
    WEEK.set(true);
    MATCHING_DEPTH.set(1);
    ASSERT_TRUE(gf_loadParameters());
    EXPECT_EQ(RANGE.value(), 8);
    EXPECT_FALSE(WEEK.value());
    EXPECT_EQ(MATCHING_DEPTH.value(), 4);
}

TEST_F(ParamsFileTest, MissingFileMeansDefaults) {
    RANGE.set(8);
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(RANGE.value(), 40);
    EXPECT_EQ(gf_capturedLog(), "");
    EXPECT_FALSE(fs::exists(g_parametersFile));
}

TEST_F(ParamsFileTest, BrokenFilesAreKeptAsideAndDefaultsUsed) {
    struct Row {
        const char* text;
        const char* log;
    };
    const Row rows[] = {
        {"<parameters><parameter name='RANGE' value='8'></parameters>",
         "===> Could not read parameters.xml: Start-end tags mismatch at offset 48; kept as "
         "parameters.xml.bad\n"},
        {"<parameters><parameter name='RANGE' value='8'/>",
         "===> Could not read parameters.xml: Start-end tags mismatch at offset 46; kept as "
         "parameters.xml.bad\n"},
        {"<settings><parameter name='RANGE' value='8'/></settings>",
         "===> Could not read parameters.xml: no <parameters> element at offset 0; kept as "
         "parameters.xml.bad\n"},
        {"",
         "===> Could not read parameters.xml: No document element found at offset 0; kept as "
         "parameters.xml.bad\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        tst_writeFile("parameters.xml.bad", "older bad file");
        tst_writeFile(g_parametersFile, row.text);
        RANGE.set(12);
        EXPECT_FALSE(gf_loadParameters());
        EXPECT_EQ(RANGE.value(), 40);
        EXPECT_EQ(gf_capturedLog(), row.log);
        EXPECT_FALSE(fs::exists(g_parametersFile));
        EXPECT_EQ(tst_readFile("parameters.xml.bad"), row.text);
    }
}

// A huge settings file is refused before it is read, kept aside like any unreadable one, and
// the warning is there for the window.
TEST_F(ParamsFileTest, FileAboveTheLimitIsKeptAside) {
    std::string huge = "<parameters><parameter name=\"RANGE\" value=\"12\"/></parameters>";
    huge.resize(kMaxParametersFileBytes + 1, ' ');
    tst_writeFile(g_parametersFile, huge);
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(RANGE.value(), 40);
    const std::string warning =
        "Could not read parameters.xml: the file could not be read (the file is 1048577 bytes, more than the limit "
        "of 1048576 bytes) at offset 0; kept as parameters.xml.bad";
    EXPECT_EQ(gf_capturedLog(), "===> " + warning + "\n");
    EXPECT_EQ(gf_takeParametersProblem(), warning);
    EXPECT_EQ(gf_takeParametersProblem(), "");
    EXPECT_EQ(tst_readFile("parameters.xml.bad"), huge);
}

TEST_F(ParamsFileTest, UnreadableFileIsKeptAside) {
    fs::create_directory(g_parametersFile);
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(gf_capturedLog(),
              "===> Could not read parameters.xml: the file could not be read (Is a directory) at offset 0; kept as "
              "parameters.xml.bad\n");
    EXPECT_TRUE(fs::is_directory("parameters.xml.bad"));
}

TEST_F(ParamsFileTest, SaveOneKeepsTheOthers) {
    tst_writeFile(g_parametersFile,
                  "<parameters>\n"
                  "\t<parameter name=\"RANGE\" value=\"12\" />\n"
                  "\t<parameter name=\"SCAN_LIVERIES\" value=\"true\" />\n"
                  "\t<parameter name=\"UNKNOWN\" value=\"kept\" />\n"
                  "</parameters>\n");
    SCAN_LIVERIES.set(false);
    ASSERT_TRUE(gf_saveParameter(SCAN_LIVERIES));
    WEEK.set(true);
    ASSERT_TRUE(gf_saveParameter(WEEK));
    EXPECT_EQ(tst_readFile(g_parametersFile),
              "<?xml version=\"1.0\"?>\n"
              "<parameters>\n"
              "\t<parameter name=\"RANGE\" value=\"12\" />\n"
              "\t<parameter name=\"SCAN_LIVERIES\" value=\"false\" />\n"
              "\t<parameter name=\"UNKNOWN\" value=\"kept\" />\n"
              "\t<parameter name=\"WEEK\" value=\"true\" />\n"
              "</parameters>\n");
    EXPECT_EQ(gf_capturedLog(), "SCAN_LIVERIES=false\nWEEK=true\n");
}

TEST_F(ParamsFileTest, SaveOneCreatesTheFile) {
    ASSERT_TRUE(gf_saveParameter(HELICOPTERS));
    EXPECT_EQ(tst_readFile(g_parametersFile),
              "<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"HELICOPTERS\" value=\"true\" "
              "/>\n</parameters>\n");
    HELICOPTERS.set(false);
    ASSERT_TRUE(gf_loadParameters());
    EXPECT_TRUE(HELICOPTERS.value());
}

TEST_F(ParamsFileTest, SaveOneOverABrokenFileKeepsItAside) {
    tst_writeFile(g_parametersFile, "<parameters>");
    LIGHT_AIRCRAFT.set(false);
    ASSERT_TRUE(gf_saveParameter(LIGHT_AIRCRAFT));
    EXPECT_EQ(tst_readFile("parameters.xml.bad"), "<parameters>");
    EXPECT_EQ(
        tst_readFile(g_parametersFile),
        "<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"LIGHT_AIRCRAFT\" value=\"false\" />\n"
        "</parameters>\n");
    EXPECT_EQ(gf_capturedLog(),
              "===> Could not read parameters.xml: Start-end tags mismatch at offset 11; kept as "
              "parameters.xml.bad\n"
              "LIGHT_AIRCRAFT=false\n");
}

TEST_F(ParamsFileTest, ConcurrentSingleSavesLoseNoEntry) {
    BoolParameter* records[] = {&WEEK, &PARK_FAKE, &AIRBORNE_ONLY, &LIG_PRIORITIZE};
    std::vector<std::thread> threads;
    for (BoolParameter* r : records) {
        r->set(true);
        threads.emplace_back([r] {
            for (int i = 0; i < 20; ++i) gf_saveParameter(*r);
        });
    }
    for (auto& t : threads) t.join();
    for (BoolParameter* r : records) r->set(false);
    ASSERT_TRUE(gf_loadParameters());
    for (BoolParameter* r : records) {
        SCOPED_TRACE(r->name());
        EXPECT_TRUE(r->value());
    }
}

}  // namespace
