// The learned file's save: what it reports, what a failure leaves (the old file, a run that goes
// on closing down), the settings the user changed, and the quality of a hand-made file.
#include "airports/apf_save.h"

#include <csignal>
#include <sys/resource.h>

#include "airports/apf_fixture.h"
#include "airports/apf_read.h"
#include "airports/learned.h"
#include "airports/park_airports.h"
#include "airports/stand_options.h"
#include "core/display.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "core/run_state.h"
#include "core/text.h"
#include "live/ground_motion.h"
#include "platform/window_model.h"
#include "shell/run_thread.h"
#include "shell/ui_loop.h"
#include "shell/window.h"
#include "support/stand_builders.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPath = "airports/learned/stock/LSZH.xml";

// A1: one option of the archived file, one learned; A2: archived only; B1: radius learned.
class ApfSaveTest : public ApfTest {
  protected:
    void SetUp() override {
        ApfTest::SetUp();
        g_parkAirport.code = "LSZH";
        g_parkFileHeader = {"Zurich", "stock", 1416};
        tst_addStands({{"A1", 0, 0, 20}, {"A2", 100, 0, 20}, {"B1", 200, 0, 20}});
        g_stands[0].options.emplace_back("SWR1", "", "SWR", "A320", "HB-JLT", 0b0110, 1, 3, 1, 1);
        g_stands[0].options.emplace_back("EZY7", "EZY8", "EZY", "A320", "G-EZAA", 0b1000, 2, 5, 0, 0);
        g_stands[1].options.emplace_back("DLH3", "", "DLH", "A320", "D-AIAB", 0b1, 1, 1, 1, 1);
        g_stands[2].radius_change = true;
    }
};

TEST_F(ApfSaveTest, KeepsOnlyWhatWasLearnedAndReadsBack) {
    g_parkFileUpdates = 3;
    gf_saveApf();
    EXPECT_EQ(gf_messageText(), "16:00:00 'airports/learned/stock/LSZH.xml' saved with 3 updates ");
    EXPECT_EQ(g_stands[0].options.size(), 1u);  // the archived option left the stands too
    EXPECT_TRUE(g_stands[1].options.empty());
    EXPECT_EQ(g_parkFileUpdates, 0);
    const std::string text = tst_readFile(kPath);
    EXPECT_EQ(text.find("id=\"A2\""), std::string::npos);  // nothing learned there: not written
    EXPECT_NE(text.find("<info name=\"simulator\" value=\"P3D\" />"), std::string::npos);
    // The next run reads the archived stands again and merges the learned file on top.
    gf_clearStands();
    tst_addStands({{"A1", 0, 0, 20}, {"A2", 100, 0, 20}, {"B1", 200, 0, 20}}, false);
    const double radius = g_stands[2].radius;
    lf_readLearned(kPath, "Zurich");
    ASSERT_EQ(g_stands[0].options.size(), 1u);
    const StandOption& o = g_stands[0].options[0];
    EXPECT_EQ(std::make_tuple(o.callsign, o.callsign2, o.reg, o.hh, o.day, o.real, o.origin),
              std::make_tuple("EZY7", "EZY8", "G-EZAA", 0b1000ull, 5u, 0u, 0u));
    EXPECT_TRUE(g_stands[1].options.empty());
    EXPECT_TRUE(g_stands[2].radius_change);
    EXPECT_DOUBLE_EQ(g_stands[2].radius, radius);
}

TEST_F(ApfSaveTest, ReportsCountsHandmadeParameterChangesAndPublisherFolders) {
    const std::tuple<int32_t, bool, bool, const char*, const char*> rows[] = {
        // updates, handmade, parameters changed, publisher, message
        {2, true, false, "stock",
         "16:00:00 handmade 'airports/learned/stock/LSZH.xml' saved with 2 updates "},
        {1, false, false, "stock", "16:00:00 'airports/learned/stock/LSZH.xml' saved with 1 update "},
        {0, false, true, "stock",
         "16:00:00 'airports/learned/stock/LSZH.xml' saved with 0 updates and one or more parameter changes"},
        {0, false, false, "Fly Tampa",
         "16:00:00 'airports/learned/thirdparty/Fly Tampa/LSZH.xml' saved with 0 updates "},
        // A file of my_thirdparty that names no publisher.
        {0, false, false, "", "16:00:00 'airports/learned/thirdparty/LSZH.xml' saved with 0 updates "},
    };
    for (const auto& [updates, handmade, changed, publisher, message] : rows) {
        SCOPED_TRACE(message);
        g_parkFileUpdates = updates, g_apfHandmade = handmade, g_parkParamsChanged = changed;
        g_parkFileHeader.publisher = publisher;
        gf_saveApf();
        EXPECT_EQ(gf_messageText(), message);
        EXPECT_FALSE(g_parkParamsChanged);
        EXPECT_EQ(g_parkFileUpdates, 0);
        // Handmade: every stand with every option and the quality factors.
        const std::string text = tst_readFile(gf_parkLearnedPath());
        EXPECT_EQ(text.find("DLH3") != std::string::npos, handmade);
        EXPECT_EQ(text.find("name=\"Qf_real\"") != std::string::npos, handmade);
    }
}

TEST_F(ApfSaveTest, FailedSaveKeepsTheOldFileAndSaysWhy) {
    const std::string old = std::string("<old/>") + std::string(100, ' ');
    tst_writeFile(kPath, old);
    g_parkFileUpdates = 4;
    g_parkParamsChanged = true;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const rlimit limit{300, before.rlim_max};  // the write beyond fails
    setrlimit(RLIMIT_FSIZE, &limit);
    gf_saveApf();
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(gf_messageText(),
              "16:00:00 saving 'airports/learned/stock/LSZH.xml' did not succeed: File too large");
    EXPECT_EQ(tst_readFile(kPath), old);
    EXPECT_FALSE(fs::exists(std::string(kPath) + ".tmp"));
    EXPECT_EQ(std::make_pair(g_parkFileUpdates, g_parkParamsChanged.load()), std::make_pair(0, false));
}

// A publisher whose folder cannot be made (a file stands in the way): closing down says so and
// goes on to the end of the run.
TEST_F(ApfSaveTest, FolderFailureAtClosingDownIsReportedAndTheRunEnds) {
    g_parkFileHeader.publisher = "Pub";
    tst_writeFile("airports/learned/thirdparty", "in the way");
    g_parkFileUpdates = 1;
    g_staticParkingOn = true;
    gf_stopRunWith(ExitState::UserClosedSim);
    lf_closingDown();
    const std::string failed =
        "16:00:00 saving 'airports/learned/thirdparty/Pub/LSZH.xml' did not succeed: "
        "filesystem error: create_directories: Not a directory [airports/learned/thirdparty/Pub]";
    EXPECT_EQ(gf_capturedLog(), "Exiting: USER CLOSED SIM\n" + failed + "\n");
    EXPECT_EQ(tst_readFile("airports/learned/thirdparty"), "in the way");
    std::optional<UiMessage> m = gf_waitUiMessage(std::chrono::milliseconds(0));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->command, UiCommand::Quit);
    EXPECT_FALSE(g_staticParkingOn);
}

// Made-up options are never written, so a hand-made file's quality leaves them out.
TEST_F(ApfSaveTest, HandmadeQualityCountsOnlyWhatIsWritten) {
    g_apfHandmade = true;
    gf_saveApf();
    const std::string without = tst_readFile(kPath);
    for (Stand& s : g_stands)
        s.options.push_back(
            StandOption::madeUp("ZZZ", "A320", "REGFAKE1", "FAKE1", 0xffffffffffffu, 9, 1, 1, 1));
    gf_saveApf();
    EXPECT_EQ(tst_readFile(kPath), without);
    g_stands[0].options.clear(), g_stands[1].options.clear();  // only made-up options: no quality at all
    EXPECT_EQ(std::make_pair(gf_qualityFactors().Qf_real, gf_qualityFactors().Qf_soft),
              std::make_pair(-1, -1));
}

// A parking setting the user changes in the window is saved with the airport and comes back at
// its next read; the record's own value is checked after every setting went back to its default.
TEST_F(ApfTest, SettingsTheUserChangesAreSavedAndReadBack) {
    tst_writeOrbxZurich();
    struct Row {
        int control;
        int choice;  // check box: 0 or 1; combo: the entry's position
        const char* names;
        const char* values;
    } rows[] = {
        {ctl::kParkSoft, 0, "PARK_SOFT", "false"},
        {ctl::kWeek, 1, "WEEK", "true"},
        {ctl::kParkFake, 1, "PARK_FAKE", "true"},
        {ctl::kInitialLoadOnly, 1, "INITIAL_LOAD_ONLY", "true"},
        {ctl::kRtParkTrafficOnly, 1, "RT_PARKTRAFFIC_ONLY", "true"},
        {ctl::kLearnSoft, 0, "LEARN_SOFT", "false"},
        {ctl::kAutoRange, 0, "AUTO_RANGE", "false"},
        {ctl::kParkingPercentage, 9, "parking_percentage", "45"},
        {ctl::kMaxFitFl, 8, "MAX_FIT_FL MAX_FIT", "4.5 8"},  // 4.5 hours are half-hours 0 to 8
        {ctl::kMaxLiveSel, 2, "MAX_LIVE_SEL", "25"},
        {ctl::kRange, 17, "RANGE AUTO_RANGE", "65 false"},  // chosen by hand, automatic range off
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.names);
        const auto read = [] {
            g_parkAirport.code = "LSZH";
            ASSERT_EQ(tst_readOrbxZurich(), "");
        };
        fs::remove_all("airports/learned");
        gf_resetParameters();
        g_manualRange = RANGE.value();
        if (r.control == ctl::kRange) AUTO_RANGE.set(false);
        read();
        const bool bool_ = gf_parameterOfControl(r.control)->kind() == ParamKind::Bool;
        if (bool_)
            lf_handleCheckBoxes(r.control, r.choice != 0);
        else
            lf_handleCombos(r.control, r.choice);
        lf_resetStaticParking();
        gf_resetParameters();
        gf_showParameterControls();
        g_manualRange = RANGE.value();
        read();
        std::string values;
        for (const std::string& name : gf_split(r.names, ' '))
            values += (values.empty() ? "" : " ") + gf_findParameter(name)->valueText();
        EXPECT_EQ(values, r.values);
        const ControlState shown = gf_controlState(r.control);  // and the control shows it
        EXPECT_EQ(bool_ ? shown.checked : shown.selected == r.choice, bool_ ? r.choice != 0 : true);
    }
}

}  // namespace
