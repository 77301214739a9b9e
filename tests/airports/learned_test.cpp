#include "airports/learned.h"

#include "airports/apf_fixture.h"
#include "core/params.h"
#include "platform/window_model.h"
#include "support/stand_builders.h"

namespace {

constexpr const char* kPath = "airports/learned/stock/LSZH.xml";
constexpr const char* kRead = "Read from learned airport file: 'airports/learned/stock/LSZH.xml'\n";

class LearnedTest : public ApfTest {
protected:
    void SetUp() override {
        ApfTest::SetUp();
        tst_addStands({{"A1", 0, 0, 20}, {"A2", 100, 0, 20}, {"A1", 200, 0, 20}}, false);
        g_stands[0].options.emplace_back("", "", "SWR", "A320", "HB-JLT", 0b0110, 1, 3, 1, 1);
    }
    void merge(const std::string& parameters, const std::string& parkpositions) {
        tst_writeFile(kPath, tst_apfXml(R"(<parameter name="airport_name" value="Zurich"/>)" + parameters, parkpositions));
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        lf_readLearned(kPath, "Zurich");
    }
};

TEST_F(LearnedTest, SettingsComeBackFromTheFile) {
    struct Row {
        const char* parameters;
        int maxLiveSel, percentage;
        const char* log;
    } rows[] = {
        {"", 75, 30, ""},  // no MAX_LIVE: the user's choice stands
        {R"(<parameter name="MAX_LIVE" value="-1"/>)", 500, 30, "MAX_LIVE                : 500\n"},
        {R"(<parameter name="MAX_LIVE" value="17"/>)", 10, 30, "MAX_LIVE                : 10\n"},
        {R"(<parameter name="MAX_LIVE" value="18"/>)", 25, 30, "MAX_LIVE                : 25\n"},
        {R"(<parameter name="MAX_LIVE" value="62"/>)", 50, 30, "MAX_LIVE                : 50\n"},
        {R"(<parameter name="parking_percentage" value="42"/>)", 75, 40, "parking_percentage      : 42\n"},
        {R"(<parameter name="WEEK" value="yes"/><parameter name="LATERAL_RANGE" value="41"/>
            <parameter name="MAX_FIT" value="12"/>)", 75, 30,
         "LATERAL_RANGE           : 40\n          WEEK                    : true\n"
         "          MAX_FIT                 : 12 (max number of half hours, is 7 hrs decimal)\n"},
    };
    gf_setEnabled(ctl::kRange, false);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.parameters);
        MAX_LIVE_SEL.set(75);
        merge(r.parameters, "");
        EXPECT_EQ(MAX_LIVE_SEL.value(), r.maxLiveSel);
        EXPECT_EQ(gf_controlState(ctl::kParkingPercentage).selected * 5, r.percentage);
        EXPECT_EQ(gf_capturedLog(), kRead + (*r.log ? std::string(10, ' ') + r.log : ""));
    }
    EXPECT_TRUE(gf_controlState(ctl::kWeek).checked && gf_controlState(ctl::kRange).enabled);
    EXPECT_EQ(std::make_tuple(RANGE.value(), MAX_FIT_FL.value()), std::make_tuple(40, 7.0));
}

TEST_F(LearnedTest, ChangesAndNewOptionsGoToTheFirstStandOfThatName) {
    merge("", R"(<parkpos id="A1" radius_change="true" cargo_change="true" cargo="t">
  <opt reg="HB-JLT" day="3" hh="3,4" cs="SWR1"/><opt reg="HB-JLT" day="3" hh="2,9"/>
  <opt reg="HB-JLT" day="3" hh="7"/><opt reg="HB-JLT" day="3" hh="7" cs="other"/>
  <opt reg="HB-JLT" day="3" hh="2" soft="1"/></parkpos>
<parkpos id="NOPE"/>
<parkpos id="A2" manual="true" latitude="1" longitude="1" radius="9"/>
<parkpos id="M1" manual="true" latitude="0.00001" longitude="0" radius="9"/>
<parkpos id="M2" manual="true" latitude="1" longitude="1"/>
<parkpos id="M3" manual="true" latitude="47.1" longitude="8.2" radius="30"><opt reg="Q" day="1" hh="1"/></parkpos>)");
    const Stand& a = g_stands[0];
    EXPECT_EQ(a.radius, 0.0);  // radius_change without a radius
    EXPECT_TRUE(a.radius_change && a.cargo_change && a.cargo);
    // Known: HB-JLT on day 3 in 1,2. 3,4 is new; 2,9 shares 2; the second 7 repeats the first.
    std::vector<std::tuple<uint64_t, uint32_t, uint32_t, uint32_t>> options;
    for (const StandOption& o : a.options) options.emplace_back(o.hh, o.index, o.origin, o.real);
    EXPECT_EQ(options, (decltype(options){{0b110, 1, 1, 1}, {0b11000, 2, 0, 1}, {1 << 7, 3, 0, 1}, {0b100, 4, 0, 0}}));
    EXPECT_FALSE(g_stands[2].radius_change || g_stands[2].cargo_change);
    ASSERT_EQ(g_stands.size(), 4u);
    EXPECT_TRUE(g_stands[3].manual && g_stands[3].options.at(0).origin == 0);
    EXPECT_EQ(gf_capturedLog(), std::string(kRead) +
                                    "learned stand NOPE in airports/learned/stock/LSZH.xml not found?\n"
                                    "===> manually created standid A2 already exists in " + kPath + "\n"
                                    "===> manually created standid M1 misses correct attributes in " + kPath + "\n"
                                    "===> manually created standid M2 misses correct attributes in " + kPath + "\n");
    EXPECT_FALSE(g_apfHandmade);
}

TEST_F(LearnedTest, HandmadeFileReplacesEveryStandEvenWhenFalse) {
    merge(R"(<parameter name="handmade" value="false"/>)", R"(<parkpos id="H1" latitude="1" longitude="2">
  <opt reg="Q" day="1" hh="1"/></parkpos>
<parkpos id="H1" latitude="3" longitude="4"/>
<parkpos id="H2" latitude="5" longitude="6"/>)");
    EXPECT_TRUE(g_apfHandmade);
    ASSERT_EQ(g_stands.size(), 2u);
    EXPECT_EQ(g_stands[0].name + g_stands[1].name, "H1H2");
    EXPECT_EQ(g_stands[0].options.at(0).origin, 1u);
    EXPECT_EQ(tst_readFile("airports/learned/stock/LSZH0.xml"), tst_readFile(kPath));
    EXPECT_EQ(gf_capturedLog(), std::string(kRead) +
                                    "===> Parking position H1 appears more than once in " + kPath +
                                    " line 8, kept a copy as airports/learned/stock/LSZH0.xml\n"
                                    "          handmade                : false\n");
}

TEST_F(LearnedTest, BrokenFilesAreKeptAsACopy) {
    tst_writeFile(kPath, "<meta>");
    lf_readLearned(kPath, "Zurich");
    EXPECT_EQ(tst_readFile("airports/learned/stock/LSZH0.xml"), "<meta>");
    tst_writeFile(kPath, tst_apfXml(R"(<parameter name="airport_name" value="Zürich"/>)",
                                    R"(<parkpos id="A2" cargo_change="1" cargo="1"/>)", ""));
    lf_readLearned(kPath, "Zurich");
    EXPECT_EQ(tst_readFile("airports/learned/stock/LSZH0.xml"), tst_readFile(kPath));
    EXPECT_TRUE(g_stands[1].cargo);  // merged all the same
    const std::string differs =
        "Warning: learned file airport name: 'Zürich' differs from archived file airport name: 'Zurich'";
    EXPECT_EQ(gf_messageText(), differs);
    EXPECT_EQ(gf_capturedLog(), std::string(kPath) +
                                    " found, but could not be loaded, saved as *.0.xml: Start-end tags mismatch\n" +
                                    kRead + "===> " + kPath + " misses its meta entries, kept a copy as " +
                                    "airports/learned/stock/LSZH0.xml\n" + differs + "\n");
}

}  // namespace
