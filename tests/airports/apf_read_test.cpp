// The park airport's reader: the quality factors at the edge of their rounding, and what a read
// leaves of the airport read before.
#include <cstdlib>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "airports/apf_fixture.h"
#include "airports/apf_read.h"
#include "airports/learned.h"
#include "airports/stand.h"
#include "core/slots.h"
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

// Reads one parkpos element with the given attributes and children into g_stands (emptied first).
bool tst_readParkpos(const std::string& attributes, const std::string& children = "") {
    g_stands.clear();
    const std::string text =
        "<parkpositions><parkpos id=\"Q\" " + attributes + ">" + children + "</parkpos></parkpositions>";
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(text.c_str()));
    return lf_readParkpos(doc.first_child().first_child(), "Q", 0, ApfSource{"f.xml", text});
}

// A coordinate reads as the C library reads it, to the last bit: every number of decimals a plain
// decimal may have, and the texts that are no plain decimal.
TEST_F(ApfTest, CoordinatesReadToTheLastBit) {
    std::vector<std::string> texts = {"-0.5",
                                      "5.",
                                      ".5",
                                      "-.5",
                                      "+1.5",
                                      " 1.5",
                                      "1e1",
                                      "47.45x",
                                      "0x10",
                                      "123456789012345",
                                      "1234567890123456",
                                      ".123456789012345",
                                      "1.2345678901234567",
                                      "-",
                                      ".",
                                      "0.7"};
    const std::string digits = "12345678901234";
    for (size_t decimals = 0; decimals <= digits.size(); ++decimals)
        texts.push_back("1." + digits.substr(0, decimals));
    texts.push_back("47.45210000");
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const double expected = std::strtod(text.c_str(), nullptr);
        const bool inRange = expected >= -180 && expected <= 180;
        ASSERT_EQ(tst_readParkpos(fmt::format(R"(latitude="0.25" longitude="{}")", text)), inRange);
        if (inRange) EXPECT_EQ(g_stands[0].longitude, expected);
    }
}

// Half-hours in the plain form read as the general reader reads them, and anything else (a slot
// past 47, blanks, doubled commas) goes to the general reader with its warnings. Days 0..7 only.
TEST_F(ApfTest, HalfHoursAndDaysOfAnOption) {
    const char* lists[] = {"3,14,15",
                           "0",
                           "47",
                           "48",
                           "3,48",
                           "47,0",
                           "3,,4",
                           "3,",
                           ",3",
                           "3;4",
                           "",
                           "a",
                           "123",
                           "04",
                           " 4",
                           "4 ",
                           "1,2,3,4,5,6,7,8,9,10,11,12"};
    for (const char* hh : lists) {
        SCOPED_TRACE(hh);
        restartLog();
        const uint64_t expected = gf_hours2bitset(hh).to_ullong();
        const std::string warnings = gf_capturedLog();
        restartLog();
        ASSERT_TRUE(tst_readParkpos(R"(latitude="1" longitude="2")", fmt::format(R"(<opt hh="{}"/>)", hh)));
        ASSERT_EQ(g_stands[0].options.size(), 1u);
        EXPECT_EQ(g_stands[0].options[0].hh, expected);
        EXPECT_EQ(gf_capturedLog(), warnings);
    }
    EXPECT_EQ(gf_hours2bitset("3,14,15").to_ullong(), (1ull << 3) | (1ull << 14) | (1ull << 15));
    const std::pair<const char*, int> days[] = {{"0", 0},   {"7", 7},          {"8", -1},
                                                {"-1", -1}, {"", 0},           {"+5", 5},
                                                {" 2", 2},  {"123456789", -1}, {"4294967297", -1}};
    for (const auto& [day, expected] : days) {
        SCOPED_TRACE(day);
        ASSERT_TRUE(tst_readParkpos(R"(latitude="1" longitude="2")",
                                    fmt::format(R"(<opt day="{}" cs="A"/><opt cs="B"/>)", day)));
        const std::vector<StandOption>& options = g_stands[0].options;
        if (expected < 0) {
            ASSERT_EQ(options.size(), 1u);  // dropped, but counted in the numbering
            EXPECT_EQ(std::make_pair(options[0].callsign, options[0].index),
                      std::make_pair(std::string("B"), 2u));
        } else {
            ASSERT_EQ(options.size(), 2u);
            EXPECT_EQ(options[0].day, static_cast<uint32_t>(expected));
        }
    }
}

}  // namespace
