#include "core/text.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

using Fields = std::vector<std::string>;

TEST(Text, PluralEnding) {
    const struct {
        long long count;
        const char* ending;
    } rows[] = {{-5, ""}, {-1, ""}, {0, "s"}, {1, ""}, {2, "s"}, {3001, "s"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.count);
        EXPECT_EQ(gf_plural(r.count), r.ending);
    }
}

TEST(Text, FloatTextShowsOneDecimalOnlyWhenNeeded) {
    const struct {
        float value;
        const char* text;
    } rows[] = {{21.0f, "21"}, {0.5f, "0.5"},  {4.5f, "4.5"}, {-3.0f, "-3"},
                {0.0f, "0"},   {1.25f, "1.2"}, {2.96f, "3.0"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(gf_floatText(r.value), r.text);
    }
}

TEST(Text, PercentageRoundsAndGuardsTheTotal) {
    const struct {
        double part, total;
        int percent;
    } rows[] = {{1, 3, 33},
                {2, 3, 67},
                {1, 8, 13},
                {0, 5, 0},
                {5, 0, 0},
                {5, -2, 0},
                {5, 0.5, 0},
                {7, 7, 100},
                {12, 10, 120},
                {1, std::nan(""), 0},
                {std::nan(""), 4, 0},
                {1e300, 1, std::numeric_limits<int>::max()}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.part << "/" << r.total);
        EXPECT_EQ(gf_percentage(r.part, r.total), r.percent);
    }
}

TEST(Text, Trim) {
    const struct {
        const char* in;
        const char* out;
    } rows[] = {{"", ""},       {" \t\r\n", ""},           {"EGLL", "EGLL"}, {"\t EGLL, 12 \r\n", "EGLL, 12"},
                {"a b", "a b"}, {"\xC2\xA0x", "\xC2\xA0x"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.in);
        EXPECT_EQ(gf_trim(r.in), r.out);
    }
}

TEST(Text, SplitTrimsEveryField) {
    const struct {
        const char* in;
        Fields fields;
    } rows[] = {
        {"", {}},
        {" \t\r", {}},
        {"EGLL", {"EGLL"}},
        {"EGLL , 512 \r", {"EGLL", "512"}},
        {"a,,b", {"a", "", "b"}},
        {",a", {"", "a"}},
        {"a,", {"a", ""}},
        {"a, b ,c", {"a", "b", "c"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.in);
        EXPECT_EQ(gf_split(r.in, ','), r.fields);
    }
    EXPECT_EQ(gf_split("1;2", ';'), (Fields{"1", "2"}));
}

TEST(Text, ExtractPath) {
    const struct {
        const char* line;
        const char* path;
    } rows[] = {
        {"    <Path>D:\\Scenery\\EGLL</Path>", "D:\\Scenery\\EGLL"},
        {"<Path></Path>", ""},
        {"<Path>a</Path><Path>b</Path>", "a"},
        {"<Path>no end", ""},
        {"no start</Path>", ""},
        {"</Path><Path>x</Path>", ""},
        {"<Path></Path", ""},
        {"<path>lower</path>", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line);
        EXPECT_EQ(gf_extractPath(r.line), r.path);
    }
}

TEST(Text, StarBannerWidths) {
    const struct {
        int a, b;
        bool leading, trailing;
        const char* title;
        const char* banner;
    } rows[] = {
        {3, 4, false, false, "", "********"},  // 7 rounds up to 8
        {4, 4, true, true, "", "\n********\n"},
        {0, 0, true, false, "", "\n"},
        {-5, 2, false, true, "", "\n"},                              // a negative width has no stars
        {5, 5, false, false, "LIVERIES", "LIVERIES"},                // 8 is not shorter than 10 - 2
        {5, 6, true, true, "LIVERIES", "\n***** LIVERIES *****\n"},  // 11 -> 12
        {10, 10, false, false, "OK", "********* OK *********"},
        {2, 1, false, false, "A", "* A *"},  // w 4: the title of 1 just fits
        {1, 1, true, true, "A", "A\n"},      // too long: no leading newline
        {0, 0, false, false, "X", "X"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.a << "+" << r.b << " '" << r.title << "'");
        EXPECT_EQ(gf_starBanner(r.a, r.b, r.leading, r.trailing, r.title), r.banner);
    }
}

}  // namespace
