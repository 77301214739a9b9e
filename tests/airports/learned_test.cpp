// The learned merge: which learned options join a stand, where repeated and unknown stands go,
// hand-made files, and the learned files that cannot be used (set aside, never waited on).
#include "airports/learned.h"

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include "airports/apf_fixture.h"
#include "airports/apf_read.h"
#include "airports/park_airports.h"
#include "core/display.h"
#include "core/params.h"
#include "core/run_state.h"
#include "core/slots.h"
#include "live/ground_motion.h"
#include "platform/window_model.h"
#include "support/stand_builders.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kLearned = "airports/learned/stock/LSZH.xml";
constexpr const char* kCopy = "airports/learned/stock/LSZH0.xml";

// A1 with the archived option of HB-JLT on day 3 in half-hours 1 and 2; A2 without options.
class MergeTest : public ApfTest {
  protected:
    void SetUp() override {
        ApfTest::SetUp();
        tst_addStands({{"A1", 0, 0, 20}, {"A2", 100, 0, 20}}, false);
        g_stands[0].options.emplace_back("", "", "SWR", "A320", "HB-JLT", 0b0110, 1, 3, 1, 1);
    }
    void merge(const std::string& parkpositions, const std::string& parameters = "") {
        tst_writeFile(kLearned, tst_apfXml(R"(<parameter name="airport_name" value="Zurich"/>)" + parameters,
                                           parkpositions));
        restartLog();
        lf_readLearned(kLearned, "Zurich");
    }
    // "name half-hours:index:origin:real ..." of every stand, then of the orphans after a '|'.
    static std::string described() {
        const auto describe = [](const std::vector<Stand>& stands) {
            std::string out;
            for (const Stand& s : stands) {
                out += (out.empty() ? "" : " ") + s.name;
                if (s.radius_change) out += fmt::format("(r{:.1f})", gf_nmToMeters(s.radius));
                if (s.cargo_change) out += s.cargo ? "(cargo)" : "(no cargo)";
                for (const StandOption& o : s.options)
                    out += fmt::format(" {}:{}:{}:{}", gf_bitset2hours(HalfHourSet(o.hh)), o.index, o.origin,
                                       o.real);
            }
            return out;
        };
        return describe(g_stands) + " | " + describe(g_learnedOrphans);
    }
    const std::string read_ = std::string("Read from learned airport file: '") + kLearned + "'\n";
};

std::string tst_opt(const char* hh, const char* more = "") {
    return fmt::format(R"(<opt reg="HB-JLT" day="3" hh="{}"{}/>)", hh, more);
}

TEST_F(MergeTest, LearnedOptionsJoinUnlessAKnownOneHoldsAllTheirHalfHours) {
    const std::tuple<const char*, std::string, const char*> rows[] = {
        {"inside the known half-hours", tst_opt("1"), "A1 1,2:1:1:1 A2 | "},
        {"the known half-hours", tst_opt("1,2"), "A1 1,2:1:1:1 A2 | "},
        {"another callsign changes nothing", tst_opt("2", R"( cs="SWR9")"), "A1 1,2:1:1:1 A2 | "},
        // A daily rotation: one half-hour in common, the others are new.
        {"one in common, one more", tst_opt("2,3"), "A1 1,2:1:1:1 2,3:2:0:1 A2 | "},
        {"none in common", tst_opt("5"), "A1 1,2:1:1:1 5:2:0:1 A2 | "},
        {"another weekday", R"(<opt reg="HB-JLT" day="4" hh="1"/>)", "A1 1,2:1:1:1 1:2:0:1 A2 | "},
        {"soft", tst_opt("1", R"( soft="true")"), "A1 1,2:1:1:1 1:2:0:0 A2 | "},
        {"another type", R"(<opt reg="HB-JLT" airl="SWR" type="A321" day="3" hh="1"/>)",
         "A1 1,2:1:1:1 1:2:0:1 A2 | "},
        // Options of the same file count as known once appended.
        {"twice in the file", tst_opt("7") + tst_opt("7"), "A1 1,2:1:1:1 7:2:0:1 A2 | "},
        {"inside an earlier one of the file", tst_opt("7,8") + tst_opt("8"), "A1 1,2:1:1:1 7,8:2:0:1 A2 | "},
        {"wider than an earlier one of the file", tst_opt("8") + tst_opt("7,8"),
         "A1 1,2:1:1:1 8:2:0:1 7,8:3:0:1 A2 | "},
    };
    for (const auto& [what, opts, after] : rows) {
        SCOPED_TRACE(what);
        g_stands[0].options.resize(1);
        merge("<parkpos id=\"A1\">" + opts + "</parkpos>");
        EXPECT_EQ(described(), after);
    }
}

// Past a few options a stand's options are looked up by aircraft: a file that repeats forty
// aircraft, each on a weekday of its own, adds them once.
TEST_F(MergeTest, ManyOptionsOfOneStandAreLookedUpByAircraft) {
    std::string opts;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 40; ++i)
            opts += fmt::format(R"(<opt reg="HB-J{:02}" airl="SWR" type="A320" day="{}" hh="{}"/>)", i,
                                1 + i % 7, round == 0 ? "10,11" : (i % 2 == 0 ? "11" : "11,12"));
    merge("<parkpos id=\"A2\">" + opts + "</parkpos>");
    const std::vector<StandOption>& options = g_stands[1].options;
    ASSERT_EQ(options.size(), 60u);  // 40, then the 20 that add half-hour 12
    for (size_t i = 0; i < options.size(); ++i) {
        const int aircraft = i < 40 ? static_cast<int>(i) : 1 + 2 * static_cast<int>(i - 40);
        EXPECT_EQ(std::make_tuple(options[i].reg, options[i].index, options[i].hh),
                  std::make_tuple(fmt::format("HB-J{:02}", aircraft), i + 1,
                                  i < 40 ? 0b110000000000ull : 0b1100000000000ull));
    }
}

TEST_F(MergeTest, RepeatedStandsMergeAndUnknownOnesAreKeptForTheNextSave) {
    const std::tuple<const char*, std::string, const char*, std::string> rows[] = {
        {"a repeated stand goes to the first of its name",
         R"(<parkpos id="A2" cargo_change="true" cargo="true">)" + tst_opt("5") + "</parkpos>" +
             R"(<parkpos id="A2" radius_change="true" radius="31.5">)" + tst_opt("5") + tst_opt("6") +
             "</parkpos>",
         "A1 1,2:1:1:1 A2(r31.5)(cargo) 5:1:0:1 6:2:0:1 | ", ""},
        {"a stand the stands lack keeps its changes and options",
         R"(<parkpos id="GONE" radius_change="true" radius="40"><opt reg="D-AIAB" day="6" hh="9" soft="1"/></parkpos>)",
         "A1 1,2:1:1:1 A2 | GONE(r40.0) 9:1:0:0",
         "learned stand GONE in airports/learned/stock/LSZH.xml not found?\n"},
        {"and gathers its repeats",
         R"(<parkpos id="GONE">)" + tst_opt("9") + R"(</parkpos><parkpos id="GONE" cargo_change="1">)" +
             tst_opt("9,10") + "</parkpos>",
         "A1 1,2:1:1:1 A2 | GONE(no cargo) 9:1:0:1 9,10:2:0:1",
         "learned stand GONE in airports/learned/stock/LSZH.xml not found?\n"},
        {"a stand added by hand takes the options of a later stand of its name",
         R"(<parkpos id="M1" manual="true" latitude="47.1" longitude="8.2" radius="30">)" + tst_opt("4") +
             R"(</parkpos><parkpos id="M1">)" + tst_opt("4") + tst_opt("6") + "</parkpos>",
         "A1 1,2:1:1:1 A2 M1 4:1:0:1 6:2:0:1 | ", ""},
        {"a stand added by hand twice: the first counts, the file is kept",
         R"(<parkpos id="M1" manual="true" latitude="47.1" longitude="8.2" radius="30"/>)"
         R"(<parkpos id="M1" manual="true" latitude="47.2" longitude="8.2" radius="30">)" +
             tst_opt("4") + "</parkpos>",
         "A1 1,2:1:1:1 A2 M1 | ",
         "===> Parking position M1 appears more than once in airports/learned/stock/LSZH.xml line 6, kept a "
         "copy as airports/learned/stock/LSZH0.xml\n"},
    };
    for (const auto& [what, parkpositions, after, log] : rows) {
        SCOPED_TRACE(what);
        g_stands.erase(g_stands.begin() + 2, g_stands.end());
        g_stands[1] =
            Stand("A2", {}, g_stands[1].latitude, g_stands[1].longitude, 0, 20, false, false, false);
        fs::remove(kCopy);
        merge(parkpositions);
        EXPECT_EQ(described(), after);
        EXPECT_EQ(gf_capturedLog(), read_ + log);
        EXPECT_EQ(fs::exists(kCopy), !log.empty() && log.find("kept a copy") != std::string::npos);
    }
}

// A learned radius must be a stand's: a bad one is dropped with file and line, the stand keeps
// its own.
TEST_F(MergeTest, BadLearnedRadiusIsDropped) {
    for (const auto& [radius, taken] :
         {std::pair{"2000", true}, {"2000.1", false}, {"-1", false}, {"nan", false}}) {
        SCOPED_TRACE(radius);
        g_stands[1] =
            Stand("A2", {}, g_stands[1].latitude, g_stands[1].longitude, 0, 20, false, false, false);
        merge(fmt::format(R"(<parkpos id="A2" radius_change="true" radius="{}"/>)", radius));
        EXPECT_EQ(described(), taken ? "A1 1,2:1:1:1 A2(r2000.0) | " : "A1 1,2:1:1:1 A2 | ");
        EXPECT_NEAR(gf_nmToMeters(g_stands[1].radius), taken ? 2000 : 20, 1e-9);
        const std::string dropped = fmt::format(
            "===> {} line 6: radius change of stand 'A2' dropped, bad radius '{}'\n", kLearned, radius);
        EXPECT_EQ(gf_capturedLog(), read_ + (taken ? "" : dropped));
    }
}

// The search predicate over the stands: only the stand of that name takes the changes.
TEST_F(MergeTest, LearnedChangesApplyToTheStandOfThatNameOnly) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<parkpos id="A1" cargo_change="1" cargo="1"><opt reg="X" day="2" hh="5"/>
        <opt reg="HB-JLT" day="3" hh="1"/></parkpos>)"));
    const ApfSource source{"f.xml", ""};
    EXPECT_FALSE(lf_applyLearnedChanges("A1", doc.first_child(), g_stands[1], source));
    EXPECT_TRUE(lf_applyLearnedChanges("A1", doc.first_child(), g_stands[0], source));
    EXPECT_EQ(described(), "A1(cargo) 1,2:1:1:1 5:2:0:1 A2 | ");
}

TEST_F(MergeTest, HandmadeFileReplacesEveryStandEvenWhenFalse) {
    merge(R"(<parkpos id="H1" latitude="1" longitude="2" manual="true"><opt reg="Q" day="1" hh="1"/></parkpos>
<parkpos id="H1" latitude="3" longitude="4"/>
<parkpos id="H2" latitude="5" longitude="6"/>
<parkpos id="H2" latitude="7" longitude="8"/>)",
          R"(<parameter name="handmade" value="false"/>)");
    EXPECT_TRUE(g_apfHandmade);
    EXPECT_EQ(described(), "H1 1:1:1:1 H2 | ");
    EXPECT_TRUE(g_stands[0].manual && !g_stands[1].manual);
    EXPECT_EQ(tst_readFile(kCopy), tst_readFile(kLearned));
    EXPECT_EQ(gf_capturedLog(), read_ + "===> Parking position H1 appears more than once in " + kLearned +
                                    " line 7, kept a copy as " + kCopy +
                                    "\n===> Parking position H2 appears more " + "than once in " + kLearned +
                                    " line 9\n          handmade                : false\n");
}

// A file without its meta entries is merged all the same, and kept as a copy: the next save
// writes a file of its own over it.
TEST_F(MergeTest, FileWithoutItsMetaEntriesIsKeptAsACopy) {
    tst_writeFile(kLearned, tst_apfXml(R"(<parameter name="airport_name" value="Zurich"/>)",
                                       "<parkpos id=\"A2\">" + tst_opt("5") + "</parkpos>",
                                       R"(<info name="author" value="a"/><info name="date" value="d"/>)"));
    restartLog();
    lf_readLearned(kLearned, "Zurich");
    EXPECT_EQ(described(), "A1 1,2:1:1:1 A2 5:1:0:1 | ");
    EXPECT_EQ(tst_readFile(kCopy), tst_readFile(kLearned));
    EXPECT_EQ(gf_capturedLog(),
              read_ + "===> " + kLearned + " misses its meta entries, kept a copy as " + kCopy + "\n");
}

// A learned file that cannot be used is set aside as a copy (when it is a file) with a warning the
// message line shows, and nothing is merged; a pipe or a folder is never opened.
TEST_F(MergeTest, UnusableLearnedFilesAreSetAsideWithAWarning) {
    const auto fifo = [] { ASSERT_EQ(mkfifo(kLearned, 0600), 0); };
    const auto folder = [] { fs::create_directories(kLearned); };
    const auto huge = [] {
        tst_writeFile(kLearned, "<meta/>");
        fs::resize_file(kLearned, kMaxApfFileBytes + 1);
    };
    const auto broken = [] { tst_writeFile(kLearned, "<meta>"); };
    const std::tuple<const char*, std::function<void()>, bool, const char*> rows[] = {
        {"broken XML", broken, true, "Start-end tags mismatch"},
        {"a pipe", fifo, false, "not a regular file"},
        {"a folder", folder, false, "not a regular file"},
        {"too large", huge, true, "33554433 bytes, more than the 33554432 a parking file may have"},
    };
    alarm(30);  // a pipe opened for reading would wait for ever
    for (const auto& [what, make, copied, reason] : rows) {
        SCOPED_TRACE(what);
        fs::remove_all("airports/learned");
        fs::create_directories("airports/learned/stock");
        make();
        restartLog();
        lf_readLearned(kLearned, "Zurich");
        const std::string text =
            fmt::format("{} found, but could not be loaded, saved as *.0.xml: {}", kLearned, reason);
        EXPECT_EQ(std::make_pair(gf_capturedLog(), gf_messageText()),
                  std::make_pair("===> " + text + "\n", text));
        EXPECT_EQ(fs::exists(kCopy), copied);
        EXPECT_EQ(described(), "A1 1,2:1:1:1 A2 | ");
    }
    alarm(0);
}

// A stop request ends a read: the merge leaves the stands, and the park airport's reader gives
// its file up rather than take half of it for the airport.
TEST_F(MergeTest, StopRequestEndsTheRead) {
    tst_writeOrbxZurich();
    g_stopRun = true;
    merge(R"(<parkpos id="A1">)" + tst_opt("5") + "</parkpos>");
    EXPECT_EQ(described(), "A1 1,2:1:1:1 A2 | ");
    EXPECT_EQ(tst_readOrbxZurich(), "airports/my_ORBX/LSZH.xml: reading stopped");
    EXPECT_FALSE(g_staticParkingOn);
    g_stopRun = false;
}

// The learned file's range settings: with AUTO_RANGE on, the rule the run thread installed picks
// the range at once and the file's range is kept as the user's own; with it off, or without a
// rule, the file's range stands.
int g_autoRangePicks = 0;

void tst_pickRange65() {
    ++g_autoRangePicks;
    gf_setRange(65);
}

TEST_F(MergeTest, AutoRangeOfTheLearnedFileAppliesTheInstalledRule) {
    struct Row {
        const char* what;
        const char* autoRange;  // the file's AUTO_RANGE
        AutoRangeRule rule;
        int picks, range;
        bool rangeEnabled;
    } rows[] = {
        {"automatic range picked by the rule", "true", tst_pickRange65, 1, 65, false},
        {"automatic range without a rule", "true", nullptr, 0, 30, false},
        {"manual range", "false", tst_pickRange65, 0, 30, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        g_autoRangePicks = 0;
        g_manualRange = 40;
        gf_setRange(40);
        gf_setAutoRangeRule(r.rule);
        merge("", fmt::format(R"(<parameter name="LATERAL_RANGE" value="30"/>)"
                              R"(<parameter name="AUTO_RANGE" value="{}"/>)",
                              r.autoRange));
        EXPECT_EQ(g_autoRangePicks, r.picks);
        EXPECT_EQ(RANGE.value(), r.range);
        EXPECT_EQ(g_rangeNm.load(), r.range);
        EXPECT_EQ(g_manualRange.load(), 30);
        EXPECT_EQ(gf_controlState(ctl::kRange).enabled, r.rangeEnabled);
    }
}

// The range settings of a learned file: its range (snapped to the window's steps) can be changed
// by hand again; automatic range takes the control from the user; without automatic range and
// without a range of its own the range chosen earlier in this run comes back.
TEST_F(MergeTest, TheRangeSettingsComeBackFromTheFile) {
    struct Row {
        const char* parameters;
        int range;
        bool autoRange, rangeEnabled;
        int manualRange;  // the range the user chose by hand, after the merge
    };
    const Row rows[] = {
        {R"(<parameter name="LATERAL_RANGE" value="65"/>)", 65, false, true, 25},
        {R"(<parameter name="LATERAL_RANGE" value="1"/>)", 2, false, true, 25},
        {R"(<parameter name="AUTO_RANGE" value="false"/>)", 25, false, true, 25},
        {R"(<parameter name="LATERAL_RANGE" value="65"/><parameter name="AUTO_RANGE" value="false"/>)", 65,
         false, true, 65},
        {R"(<parameter name="LATERAL_RANGE" value="65"/><parameter name="AUTO_RANGE" value="true"/>)", -1,
         true, false, 65}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.parameters);
        AUTO_RANGE.set(false);
        RANGE.set(40);
        g_manualRange = 25;  // chosen earlier in this run, before an automatic range set 40
        gf_setEnabled(ctl::kRange, false);
        merge("", r.parameters);
        EXPECT_EQ(g_manualRange.load(), r.manualRange);
        if (r.range >= 0)
            EXPECT_EQ(std::make_pair(RANGE.value(), g_rangeNm.load()),
                      std::make_pair(r.range, static_cast<double>(r.range)));
        EXPECT_EQ(AUTO_RANGE.value(), r.autoRange);
        EXPECT_EQ(gf_controlState(ctl::kAutoRange).checked, r.autoRange);
        EXPECT_EQ(gf_controlState(ctl::kRange).enabled, r.rangeEnabled);
    }
}

}  // namespace
