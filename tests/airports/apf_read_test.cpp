// The park airport's reader: the quality factors at the edge of their rounding, and what a read
// leaves of the airport read before.
#include <gtest/gtest.h>

#include "airports/apf_fixture.h"
#include "airports/apf_read.h"
#include "airports/learned.h"
#include "airports/stand.h"
#include "support/stand_builders.h"

namespace {

// One option of a stand: weekday and number of half-hours from 0:00.
struct TestOption {
    uint32_t day;
    int halfHours;
};

void tst_addOptions(Stand& stand, std::initializer_list<TestOption> options, uint32_t real) {
    for (const TestOption& o : options)
        stand.options.emplace_back("", "", "SWR", "A320", "HB-JLT", (1ull << o.halfHours) - 1,
                                   static_cast<uint32_t>(stand.options.size() + 1), o.day, 1, real);
}

// Two stands of one weight; each score is 20 per option + 10000 + 100 per weekday 1..7 + 2 per
// half-hour, and the factor the rounded mean x 0.00625: a mean of 10159 is 63.49 and of 10160
// 63.5, so one point more or less in a score shows.
TEST(ApfQualityTest, FactorsAtTheEdgeOfTheirRounding) {
    struct Row {
        const char* what;
        std::initializer_list<TestOption> real1, soft1, real2, soft2;
        QualityPair expected;
    };
    const Row rows[] = {
        // Real: 10158 and 10160. Soft: 2 options, Monday only, 24 half-hours: 10188; and 10130.
        {"both means a point below the half", {{1, 19}}, {{0, 23}, {1, 1}}, {{1, 20}}, {{1, 5}}, {63, 63}},
        // 10120 and 10200: Monday counts as a weekday.
        {"a Monday counts", {}, {{1, 0}}, {}, {{1, 40}}, {0, 64}},
        // 10120 and 10140: day 0 (no weekday) adds its option but no day.
        {"day 0 is no weekday", {}, {{2, 0}}, {}, {{2, 0}, {0, 0}}, {0, 63}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        gf_resetStands();
        tst_addStands({{"A1", 0, 0, 20}, {"A2", 100, 0, 20}});
        tst_addOptions(g_stands[0], row.real1, 1);
        tst_addOptions(g_stands[0], row.soft1, 0);
        tst_addOptions(g_stands[1], row.real2, 1);
        tst_addOptions(g_stands[1], row.soft2, 0);
        const QualityPair q = gf_qualityFactors();
        EXPECT_EQ(std::make_pair(q.Qf_real, q.Qf_soft),
                  std::make_pair(row.expected.Qf_real, row.expected.Qf_soft));
    }
    gf_resetStands();
}

// The learned stands of one airport that its stands lack must not stay for the next airport
// read, which has no learned file: its save would write them into that airport's file.
TEST_F(ApfTest, LearnedStandsOfTheAirportBeforeAreGoneAfterTheNextRead) {
    const std::string header =
        R"(<parameter name="airport_name" value="Zurich"/><parameter name="altitude" value="1416"/>)";
    const std::string stands = R"(<parkpos id="A1" latitude="47.45" longitude="8.55" radius="20"/>)";
    tst_writeFile("airports/my_ORBX/LSZH.xml", tst_apfXml(header, stands));
    tst_writeFile("airports/learned/simaddon/LSZH.xml",
                  tst_apfXml(R"(<parameter name="airport_name" value="Zurich"/>)",
                             R"(<parkpos id="GONE" radius_change="true" radius="40"/>)"));
    tst_writeFile("airports/my_ORBX/EDDF.xml", tst_apfXml(header, stands));
    std::string error;
    ParkFileHeader h;
    QualityPair q;
    gf_readApf("LSZH", "airports/my_ORBX/LSZH.xml", error, h, q);
    ASSERT_EQ(error, "");
    ASSERT_EQ(g_learnedOrphans.size(), 1u);
    gf_clearStands();
    gf_readApf("EDDF", "airports/my_ORBX/EDDF.xml", error, h, q);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(g_learnedOrphans.empty());
}

// A score of 0 is a score: only two negative factors (none known) show as blank.
TEST(ApfQualityTest, LabelOfZeroFactors) {
    EXPECT_EQ(gf_qualityLabel({0, 0}) + "|" + gf_qualityLabel({-1, 0}) + "|" + gf_qualityLabel({0, -1}),
              " 0/ 0|-1/ 0| 0/-1");
}

// Each of the three meta entries is needed on its own: a file that lacks any one is refused.
TEST_F(ApfTest, AFileLackingAnyOneMetaEntryIsRefused) {
    const std::string header =
        R"(<parameter name="airport_name" value="Zurich"/><parameter name="altitude" value="1416"/>)";
    const std::string stands = R"(<parkpos id="A1" latitude="47.45" longitude="8.55" radius="20"/>)";
    const std::pair<const char*, const char*> rows[] = {
        {"author", R"(<info name="date" value="d"/><info name="version" value="v"/>)"},
        {"date", R"(<info name="author" value="a"/><info name="version" value="v"/>)"},
        {"version", R"(<info name="author" value="a"/><info name="date" value="d"/>)"},
    };
    for (const auto& [missing, meta] : rows) {
        SCOPED_TRACE(missing);
        tst_writeFile("airports/my_ORBX/LSZH.xml", tst_apfXml(header, stands, meta));
        gf_clearStands();
        std::string error;
        ParkFileHeader h;
        QualityPair q;
        gf_readApf("LSZH", "airports/my_ORBX/LSZH.xml", error, h, q);
        EXPECT_EQ(error, "airports/my_ORBX/LSZH.xml: refused to load (copyright)");
    }
}

}  // namespace
