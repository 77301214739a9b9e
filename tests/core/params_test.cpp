#include <limits>
#include <thread>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "core/log.h"
#include "core/param_rules.h"
#include "core/params.h"
#include "core/params_file.h"
#include "core/paths.h"
#include "support/work_folder.h"

namespace fs = std::filesystem;

namespace {

using ParamsTest = LoggedTest;

constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();

TEST_F(ParamsTest, SnapsAtEveryEdge) {
    for (auto [in, out] : {std::pair{kMin, 2}, {2, 2}, {3, 3}, {6, 6}, {7, 8}, {8, 8}, {9, 10}, {11, 12}, {13, 14},
                           {15, 16}, {17, 18}, {19, 20}, {22, 20}, {23, 25}, {27, 25}, {28, 30}, {32, 30}, {33, 35},
                           {37, 35}, {38, 40}, {44, 40}, {45, 50}, {56, 50}, {57, 65}, {72, 65}, {73, 80}, {89, 80},
                           {90, 100}, {kMax, 100}})
        EXPECT_EQ(gf_snapRange(in), out) << in;
    for (auto [in, out] : {std::pair{kMin, 0}, {2, 0}, {3, 5}, {7, 5}, {8, 10}, {97, 95}, {98, 100}, {kMax, 100}})
        EXPECT_EQ(gf_snapPercentage(in), out) << in;
    // Half hours to the hours the window shows, at the edge of every step.
    for (auto [halfHours, hours] :
         {std::pair{47, 24.0}, {44, 24.0}, {43, 21.0}, {38, 21.0}, {37, 18.0}, {32, 18.0}, {31, 15.0}, {26, 15.0},
          {25, 12.0}, {22, 12.0}, {21, 11.0}, {20, 11.0}, {19, 10.0}, {18, 10.0}, {17, 9.0}, {16, 9.0}, {15, 8.0},
          {14, 8.0}, {13, 7.0}, {12, 7.0}, {11, 6.0}, {10, 6.0}, {9, 5.0}, {8, 4.5}, {7, 4.0}, {6, 3.5}, {5, 3.0},
          {4, 2.5}, {3, 2.0}, {2, 1.5}, {1, 1.0}, {0, 0.5}}) {
        MAX_FIT.set(halfHours);
        EXPECT_EQ(gf_maxFitToFloat(), hours) << halfHours;
    }
}

// A stored number is taken whole or not at all; a control finds its record and its choice.
TEST_F(ParamsTest, StoredNumbersRefuseJunkAndControlsFindTheirChoice) {
    for (const char* text : {"2.5x", "x2.5", "", " ", "inf", "nan", "1e999"}) {
        EXPECT_FALSE(MAX_FIT_FL.setFromText(text)) << text;
        EXPECT_FALSE(MATCHING_DEPTH.setFromText(text)) << text;
    }
    EXPECT_FALSE(MATCHING_DEPTH.setFromText("2.5"));
    EXPECT_EQ(MAX_FIT_FL.value(), 21.0);
    EXPECT_EQ(MATCHING_DEPTH.value(), 4);
    EXPECT_TRUE(MAX_FIT_FL.setFromText(" 2.5 "));
    EXPECT_EQ(MAX_FIT_FL.value(), 2.5);
    EXPECT_TRUE(MAX_FIT_FL.setFromText(std::string_view("4.58", 3))) << "nothing past the text is read";
    EXPECT_EQ(MAX_FIT_FL.value(), 4.5);
    EXPECT_TRUE(MATCHING_DEPTH.setFromText("9"));
    EXPECT_EQ(MATCHING_DEPTH.value(), 4) << "clamped";
    EXPECT_EQ(gf_parameterOfControl(ctl::kMatchingDepth), &MATCHING_DEPTH);
    EXPECT_EQ(gf_parameterOfControl(0), nullptr);
    for (auto [value, index] : {std::pair{7, -1}, {8, 5}, {18, 10}, {65, 17}}) {
        RANGE.set(value);
        EXPECT_EQ(RANGE.choiceIndex(), index) << value;
    }
    for (auto [value, index] : {std::pair{10, 1}, {15, 2}}) {
        AIRP_RANGE.set(value);
        EXPECT_EQ(AIRP_RANGE.choiceIndex(), index) << value;
    }
    AIRP_HEIGHT.set(18000);
    EXPECT_EQ(AIRP_HEIGHT.choiceIndex(), 8);
    // The last choice of each list, the limits and the 5 % steps included.
    const struct {
        IntParameter& record;
        int value;
        int index;
    } lasts[] = {{MAX_LIVE_SEL, 500, 6},    {MAX_PARK_SEL, 500, 6},        {MAX_PARK_SEL, 75, 4},
                 {RANGE, 100, 19},          {parking_percentage, 100, 20}, {parking_percentage, 35, 7},
                 {TIME_SHIFT_MINS, 59, 59}, {TIME_SHIFT_HOURS, 23, 23},    {TIME_SHIFT_DAYS, 13, 13},
                 {AIRP_HEIGHT, 48000, 10}};
    for (const auto& r : lasts) {
        SCOPED_TRACE(fmt::format("{} {}", r.record.name(), r.value));
        r.record.set(r.value);
        EXPECT_EQ(r.record.choiceIndex(), r.index);
    }
    MAX_FIT_FL.set(4.5);
    EXPECT_EQ(MAX_FIT_FL.choiceIndex(), 8);
}

std::vector<std::string> lf_valueTexts() {
    std::vector<std::string> out;
    for (Parameter* p : gf_allParameters())
        if (p->persisted()) out.push_back(fmt::format("{}={}", p->name(), p->valueText()));
    return out;
}

// Every setting's default and range as the settings are documented, in registry order.
TEST_F(ParamsTest, EveryDefaultAsDocumented) {
    gf_resetParameters();
    std::string all;
    for (const Parameter* p : gf_allParameters()) {
        all += fmt::format("{}={}", p->name(), p->valueText());
        if (auto* ip = dynamic_cast<const IntParameter*>(p))
            all += fmt::format("({}..{})", ip->min(), ip->max());
        all += ' ';
    }
    // The entries of each combo box, in the order the window lists them.
    std::string combos;
    for (const Parameter* p : gf_allParameters()) {
        if (auto* ip = dynamic_cast<const IntParameter*>(p); ip && !ip->choices().empty())
            combos += fmt::format("{}:{} ", p->name(), fmt::join(ip->choices(), ","));
        if (auto* fp = dynamic_cast<const FloatParameter*>(p); fp && !fp->choices().empty())
            combos += fmt::format("{}:{} ", p->name(), fmt::join(fp->choices(), ","));
    }
    EXPECT_EQ(
        combos,
        "RANGE:2,3,4,5,6,8,10,12,14,16,18,20,25,30,35,40,50,65,80,100 MAX_LIVE_SEL:0,10,25,50,75,100,500 "
        "MAX_PARK_SEL:0,10,25,50,75,100,500 parking_percentage:0,5,10,15,20,25,30,35,40,45,50,55,60,65,70,75,"
        "80,85,90,95,100 MAX_FIT_FL:0.5,1,1.5,2,2.5,3,3.5,4,4.5,5,6,7,8,9,10,12,15,18,21,24 "
        "AIRP_RANGE:5,10,15,20,25,30 "
        "AIRP_HEIGHT:2000,4000,6000,8000,10000,12000,14000,16000,18000,36000,48000 "
        "MATCHING_DEPTH:1,2,3,4 TIME_SHIFT_DAYS:0,1,2,3,4,5,6,7,8,9,10,11,12,13 "
        "TIME_SHIFT_HOURS:0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23 "
        "TIME_SHIFT_MINS:0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,"
        "31,"
        "32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59 ");
    // Only the window's controls lead to a record, each to its own.
    for (Parameter* p : gf_allParameters())
        if (p->controlId() != 0) EXPECT_EQ(gf_parameterOfControl(p->controlId()), p) << p->name();
    std::string folders;
    for (const char* kind : {"l", "a"})
        for (int i = 0; i < 10; ++i) folders += fmt::format("{}folder{}= ", kind, i);
    EXPECT_EQ(
        all,
        "RANGE=40(2..100) AUTO_RANGE=true LATERAL_RANGE=40(2..100) MAX_LIVE_SEL=500(0..500) "
        "MAX_LIVE=-1(-1..300) MAX_PARK_SEL=500(0..500) CUSTOM_PARKING_PERCENTAGE=-1(-1..100) "
        "parking_percentage=0(0..100) MAX_FIT=47(0..47) MAX_FIT_FL=21 WEEK=false PARK_SOFT=true "
        "PARK_FAKE=false INITIAL_LOAD_ONLY=false RT_PARKTRAFFIC_ONLY=false LEARN_SOFT=true "
        "AIRP_RANGE=20(5..30) AIRP_HEIGHT=18000(2000..48000) DESTINATION= MATCHING_DEPTH=4(1..4) "
        "LIGHT_AIRCRAFT=true HIGH_PERF_AIRCRAFT=true HELICOPTERS=true AIRBORNE_ONLY=false "
        "GUID_CHANGES=true NAV_LIGHTS_WHILE_PARKED=true STRAIGHT_PBS_ONLY=false COLLISION_USER_AIR=true "
        "COLLISION_USER_GND=true COLLISION_LIVE_PARKED_GND=false LOG=true BLOCK_CALLSIGN= "
        "HOLDING_THRESHOLD_METERS=250(10..4000) MAX_HOLDING_MINUTES=20(1..60) SCAN_LIVERIES=true "
        "LIG_AUTOMATIC=true LIG_PRIORITIZE=false SCAN_AIRPORTS=true AFG_AUTOMATIC=true " +
            folders +
            "SIM_INSTALL_PATH= P3D_VERSION=5(5..6) SIM_TIME=false KEEP_SIM_TIME_PAR=false "
            "TIME_SHIFT_DAYS=0(0..13) TIME_SHIFT_HOURS=0(0..23) TIME_SHIFT_MINS=0(0..59) "
            "LAST_EPOCH_TIME=0 author= date= version= ");
}

// Every persisted record, set away from its default, comes back; the file holds them in order.
TEST_F(ParamsTest, EveryRecordRoundTripsInOrder) {
    int i = 0;
    for (Parameter* p : gf_allParameters()) {
        ++i;
        if (auto* ip = dynamic_cast<IntParameter*>(p)) ip->set(ip->def() == ip->max() ? ip->min() : ip->max() - i % 2);
        if (auto* fp = dynamic_cast<FloatParameter*>(p)) fp->set(fp->def() + 0.1 * i);
        if (auto* bp = dynamic_cast<BoolParameter*>(p)) bp->set(!bp->def());
        if (auto* tp = dynamic_cast<TextParameter*>(p)) tp->set(fmt::format("v{} & <\"quoted\"> 'é'", i));
    }
    const std::vector<std::string> saved = lf_valueTexts();
    ASSERT_TRUE(gf_saveParameters());
    gf_resetParameters();
    ASSERT_TRUE(gf_loadParameters());
    EXPECT_EQ(lf_valueTexts(), saved);
    EXPECT_EQ(gf_capturedLog(), "");
    const std::string text = tst_readFile(g_parametersFile);
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"RANGE\" value=\"99\" />\n", 0), 0u) << text;
    size_t at = 0;
    for (Parameter* p : gf_allParameters()) {
        const size_t found = text.find(fmt::format("<parameter name=\"{}\" ", p->name()));
        if (!p->persisted()) {
            EXPECT_EQ(found, std::string::npos) << p->name();
            continue;
        }
        EXPECT_NE(found, std::string::npos) << p->name();
        EXPECT_GT(found, at) << p->name();
        at = found;
    }
    EXPECT_FALSE(fs::exists(fmt::format("{}.tmp", g_parametersFile)));
}

// Loading starts from the defaults; each value is clamped, or refused with a warning that
// keeps the default. Unknown and read-only names are skipped.
TEST_F(ParamsTest, LoadStartsFromTheDefaultsAndClampsOrKeepsThemPerValue) {
    RANGE.set(8);
    EXPECT_FALSE(gf_loadParameters()) << "no file";
    EXPECT_EQ(RANGE.value(), 40);
    EXPECT_FALSE(fs::exists(g_parametersFile));
    WEEK.set(true);
    const struct {
        const char* name;
        const char* value;
        const char* loaded;
    } rows[] = {{"RANGE", "500", "100"}, {"MAX_LIVE", "-9", "-1"}, {"MAX_FIT", "forty", "47"},
                {"AUTO_RANGE", "maybe", "true"}, {"MAX_FIT_FL", "nan", "21"}, {"NO_SUCH", "1", nullptr},
                {"author", "sneaked in", ""}, {"P3D_VERSION", " 6 ", "6"}, {"LIG_PRIORITIZE", "1", "true"},
                {"HOLDING_THRESHOLD_METERS", "99999999999", "4000"}, {"WEEK", nullptr, "false"}};
    std::string text = "<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter value=\"1\" />\n";
    for (const auto& row : rows)
        text += row.value ? fmt::format("\t<parameter name=\"{}\" value=\"{}\" />\n", row.name, row.value)
                          : fmt::format("\t<parameter name=\"{}\" />\n", row.name);
    tst_writeFile(g_parametersFile, text + "</parameters>\n");
    ASSERT_TRUE(gf_loadParameters());
    for (const auto& row : rows)
        if (row.loaded) EXPECT_EQ(gf_findParameter(row.name)->valueText(), row.loaded) << row.name;
    EXPECT_EQ(gf_capturedLog(),
              "===> parameters.xml line 6: invalid value 'forty' for MAX_FIT, default 47 kept\n"
              "===> parameters.xml line 7: invalid value 'maybe' for AUTO_RANGE, default true kept\n"
              "===> parameters.xml line 8: invalid value 'nan' for MAX_FIT_FL, default 21 kept\n"
              "===> parameters.xml line 14: invalid value '' for WEEK, default false kept\n");
}

// A file that cannot be read is kept aside as .bad (replacing an older one) and the defaults
// are used; the warning is there for the window.
TEST_F(ParamsTest, BrokenFilesAreKeptAsideAndDefaultsUsed) {
    std::string huge = "<parameters><parameter name=\"RANGE\" value=\"12\"/></parameters>";
    huge.resize(kMaxParametersFileBytes + 1, ' ');
    const struct {
        std::string text;
        const char* why;
    } rows[] = {
        {"<parameters><parameter name='RANGE' value='8'></parameters>", "Start-end tags mismatch at offset 48"},
        {"<settings><parameter name='RANGE' value='8'/></settings>", "no <parameters> element at offset 0"},
        {huge,
         "the file could not be read (the file is 1048577 bytes, more than the limit of 1048576 bytes) at offset 0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        tst_writeFile("parameters.xml.bad", "older bad file");
        tst_writeFile(g_parametersFile, row.text);
        RANGE.set(12);
        EXPECT_FALSE(gf_loadParameters());
        EXPECT_EQ(RANGE.value(), 40);
        const std::string warning = fmt::format("Could not read parameters.xml: {}; kept as parameters.xml.bad", row.why);
        EXPECT_EQ(gf_capturedLog(), "===> " + warning + "\n");
        EXPECT_EQ(gf_takeParametersProblem(), warning);
        EXPECT_EQ(gf_takeParametersProblem(), "");
        EXPECT_FALSE(fs::exists(g_parametersFile));
        EXPECT_EQ(tst_readFile("parameters.xml.bad"), row.text);
    }
    fs::remove("parameters.xml.bad");
    fs::create_directory(g_parametersFile);
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_TRUE(fs::is_directory("parameters.xml.bad"));
    // A broken file that cannot be moved aside stays where it is, and the warning says so.
    tst_writeFile("parameters.xml.bad/keep", "");
    tst_writeFile(g_parametersFile + std::string(".new"), "<settings/>");
    fs::remove_all(g_parametersFile);
    fs::rename(g_parametersFile + std::string(".new"), g_parametersFile);
    gf_takeParametersProblem();
    EXPECT_FALSE(gf_loadParameters());
    EXPECT_EQ(gf_takeParametersProblem(),
              "Could not read parameters.xml: no <parameters> element at offset 0; could not keep it as "
              "parameters.xml.bad: Is a directory");
    EXPECT_EQ(tst_readFile(g_parametersFile), "<settings/>");
}

// A save that cannot be written leaves the old file and tells why, once.
TEST_F(ParamsTest, FailedSaveKeepsTheOldFileAndSaysWhy) {
    gf_setLogCapture(true);
    tst_writeFile(g_parametersFile, "<parameters/>");
    fs::create_directory("parameters.xml.tmp");  // where the new file would be written
    RANGE.set(12);
    EXPECT_FALSE(gf_saveParameters());
    const std::string warning =
        "Could not write parameters.xml: Is a directory; the file keeps its previous content";
    EXPECT_EQ(gf_capturedLog(), "===> " + warning + "\n");
    EXPECT_EQ(gf_takeParametersProblem(), warning);
    EXPECT_EQ(gf_takeParametersProblem(), "");
    EXPECT_EQ(tst_readFile(g_parametersFile), "<parameters/>");
    EXPECT_EQ(gf_parameterOfControl(-12345), nullptr);
    std::string folders;
    for (auto list : {gf_liveryFolderParams(), gf_airportFolderParams()})
        for (const TextParameter* p : list) folders += std::string(p->name()) + " ";
    EXPECT_EQ(folders,
              "lfolder0 lfolder1 lfolder2 lfolder3 lfolder4 lfolder5 lfolder6 lfolder7 lfolder8 lfolder9 "
              "afolder0 afolder1 afolder2 afolder3 afolder4 afolder5 afolder6 afolder7 afolder8 afolder9 ");
}

// Saving one record keeps the others, unknown ones too; over a broken file it starts anew.
TEST_F(ParamsTest, SaveOneKeepsTheOthers) {
    tst_writeFile(g_parametersFile, "<parameters>");
    LIGHT_AIRCRAFT.set(false);
    ASSERT_TRUE(gf_saveParameter(LIGHT_AIRCRAFT));
    EXPECT_EQ(tst_readFile("parameters.xml.bad"), "<parameters>");
    tst_writeFile(g_parametersFile,
                  "<parameters>\n\t<parameter name=\"RANGE\" value=\"12\" />\n"
                  "\t<parameter name=\"SCAN_LIVERIES\" value=\"true\" />\n"
                  "\t<parameter name=\"UNKNOWN\" value=\"kept\" />\n</parameters>\n");
    SCAN_LIVERIES.set(false);
    ASSERT_TRUE(gf_saveParameter(SCAN_LIVERIES));
    WEEK.set(true);
    ASSERT_TRUE(gf_saveParameter(WEEK));
    EXPECT_EQ(tst_readFile(g_parametersFile),
              "<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"RANGE\" value=\"12\" />\n"
              "\t<parameter name=\"SCAN_LIVERIES\" value=\"false\" />\n"
              "\t<parameter name=\"UNKNOWN\" value=\"kept\" />\n"
              "\t<parameter name=\"WEEK\" value=\"true\" />\n</parameters>\n");
    EXPECT_EQ(gf_capturedLog(),
              "===> Could not read parameters.xml: Start-end tags mismatch at offset 11; kept as parameters.xml.bad\n"
              "LIGHT_AIRCRAFT=false\nSCAN_LIVERIES=false\nWEEK=true\n");
}

TEST_F(ParamsTest, ConcurrentSingleSavesLoseNoEntry) {
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
    for (BoolParameter* r : records) EXPECT_TRUE(r->value()) << r->name();
}

}  // namespace
