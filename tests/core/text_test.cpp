#include "core/text.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "core/charset.h"

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

const std::string kZurichUtf8 = "Z\xC3\xBCrich \xE2\x82\xAC";  // "Zürich €"
const std::string kFffd = "\xEF\xBF\xBD";                      // U+FFFD

TEST(Charset, DetectsAndDecodesToUtf8) {
    const struct {
        const char* name;
        std::string bytes;
        TextCharset charset;
        std::string utf8;
    } rows[] = {
        {"empty", "", TextCharset::Utf8, ""},
        {"ASCII", "EGLL\r\n", TextCharset::Utf8, "EGLL\r\n"},
        {"UTF-8 without mark", kZurichUtf8, TextCharset::Utf8, kZurichUtf8},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + kZurichUtf8, TextCharset::Utf8Bom, kZurichUtf8},
        {"UTF-8 mark only", "\xEF\xBB\xBF", TextCharset::Utf8Bom, ""},
        {"UTF-16 LE", "\xFF\xFEZ\0\xFC\0r\0i\0c\0h\0 \0\xAC\x20"s, TextCharset::Utf16Le, kZurichUtf8},
        {"UTF-16 BE", "\xFE\xFF\0Z\0\xFC\0r\0i\0c\0h\0 \x20\xAC"s, TextCharset::Utf16Be, kZurichUtf8},
        {"UTF-16 LE pair", "\xFF\xFE\x3D\xD8\x00\xDE"s, TextCharset::Utf16Le, "\xF0\x9F\x98\x80"},
        {"lone high surrogate", "\xFF\xFE\x3D\xD8" "A\0"s, TextCharset::Utf16Le, kFffd + "A"},
        {"high surrogate at the end", "\xFF\xFE" "A\0\x3D\xD8"s, TextCharset::Utf16Le, "A" + kFffd},
        {"lone low surrogate", "\xFF\xFE\x00\xDE" "B\0"s, TextCharset::Utf16Le, kFffd + "B"},
        {"two lone lows are never a pair", "\xFF\xFE\x00\xDE\x01\xDE"s, TextCharset::Utf16Le, kFffd + kFffd},
        {"two highs then a low", "\xFF\xFE\x3D\xD8\x3D\xD8\x00\xDE"s, TextCharset::Utf16Le, kFffd + "\xF0\x9F\x98\x80"},
        {"UTF-16 LE odd length", "\xFF\xFE" "A\0B"s, TextCharset::Utf16Le, "A" + kFffd},
        // D800 DC00 -> U+10000, DBFF DFFF -> U+10FFFF, a lone DFFF, then D7FF and E000 (no surrogates).
        {"surrogate edges", "\xFF\xFE\x00\xD8\x00\xDC\xFF\xDB\xFF\xDF\xFF\xDF\xFF\xD7\x00\xE0"s, TextCharset::Utf16Le,
         "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF" + kFffd + "\xED\x9F\xBF\xEE\x80\x80"},
        {"UTF-16 NUL kept", "\xFF\xFE\0\0"s, TextCharset::Utf16Le, "\0"s},
        // Windows-1252: 80 is U+20AC, 81 (unassigned) U+0081, 9F U+0178, FF U+00FF.
        {"Windows-1252", "Z\xFCrich \x80", TextCharset::Windows1252, kZurichUtf8},
        {"a lone 80", "a\x80", TextCharset::Windows1252, "a\xE2\x82\xAC"},
        {"Windows-1252 edges", "\x81\x9F\xA0\xFF", TextCharset::Windows1252, "\xC2\x81\xC5\xB8\xC2\xA0\xC3\xBF"},
        // Overlong '/', a surrogate in UTF-8, past U+10FFFF, a cut sequence: all not UTF-8.
        {"overlong", "\xC0\xAF", TextCharset::Windows1252, "\xC3\x80\xC2\xAF"},
        {"two-byte edges", "\xC2\x80\xDF\xBF", TextCharset::Utf8, "\xC2\x80\xDF\xBF"},
        {"UTF-8 surrogate", "\xED\xA0\x80", TextCharset::Windows1252, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", TextCharset::Windows1252, "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
        {"cut sequence", "ab\xE2\x82", TextCharset::Windows1252, "ab\xC3\xA2\xE2\x80\x9A"},
        {"UTF-8 mark, bad bytes", "\xEF\xBB\xBF" "a\xFF" "b\xE2\x82", TextCharset::Utf8Bom, "a" + kFffd + "b" + kFffd + kFffd},
        {"largest code point", "\xF4\x8F\xBF\xBF", TextCharset::Utf8, "\xF4\x8F\xBF\xBF"},
        {"three- and four-byte edges", "\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80", TextCharset::Utf8,
         "\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80"},
        // A lead byte whose next bytes do not continue it: every byte stands for itself.
        {"two-byte lead before ASCII", "\xC3(", TextCharset::Windows1252, "\xC3\x83("},
        {"three-byte overlong", "\xE0\x80\x80", TextCharset::Windows1252, "\xC3\xA0\xE2\x82\xAC\xE2\x82\xAC"},
        {"three-byte lead, bad last", "\xE2\x82(", TextCharset::Windows1252, "\xC3\xA2\xE2\x80\x9A("},
        {"four-byte overlong", "\xF0\x80\x80\x80", TextCharset::Windows1252, "\xC3\xB0\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"},
        {"four-byte lead, bad third", "\xF0\x9F(\x80", TextCharset::Windows1252, "\xC3\xB0\xC5\xB8(\xE2\x82\xAC"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(gf_detectCharset(r.bytes), r.charset);
        EXPECT_EQ(gf_decodeToUtf8(r.bytes), r.utf8);
        EXPECT_TRUE(gf_isValidUtf8(gf_decodeToUtf8(r.bytes)));
    }
}

// Well-formed UTF-8 at the edge of every lead byte's range and of its continuation bytes.
TEST(Charset, WellFormedUtf8AtEveryLeadEdge) {
    const struct {
        std::string bytes;
        bool valid;
    } rows[] = {
        {"\x7F", true},
        {"\x80", false},
        {"\xC1\xBF", false},
        {"\xC2\xBF", true},
        {"\xC2\xC0", false},
        {"\xDF\x80", true},
        {"\xE0\x9F\x80", false},
        {"\xE0\xA0\xBF", true},
        {"\xE1\x80\x80", true},
        {"\xEC\xBF\xBF", true},
        {"\xED\x9F\xBF", true},
        {"\xED\xA0\x80", false},
        {"\xEE\x80\x80", true},
        {"\xEF\xBF\xC0", false},
        {"\xEF\xC0\x80", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xF0\x90\x80\x80", true},
        {"\xF1\x80\x80\x80", true},
        {"\xF3\xBF\xBF\xBF", true},
        {"\xF4\x8F\xBF\xBF", true},
        {"\xF4\x90\x80\x80", false},
        {"\xF5\x80\x80\x80", false},
        {"\xF1\x80\x80\xC0", false},
        {"\xF1\x80\xC0\x80", false},
        {"\xF1\x80\x80", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.bytes));
        EXPECT_EQ(gf_isValidUtf8(r.bytes), r.valid);
        EXPECT_EQ(gf_isValidUtf8("a" + r.bytes + "b"), r.valid) << "inside a text";
    }
    // UTF-16 units at the edges of one, two and three UTF-8 bytes.
    EXPECT_EQ(gf_decodeToUtf8("\xFE\xFF\x00\x7F\x00\x80\x07\xFF\x08\x00\xFF\xFF"s),
              "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF");
}

TEST(Text, PluralFloatTextAndPercentage) {
    for (auto [count, ending] : {std::pair{-5LL, ""}, {-1LL, ""}, {0LL, "s"}, {1LL, ""}, {2LL, "s"}, {3001LL, "s"}})
        EXPECT_EQ(gf_plural(count), ending) << count;
    for (auto [value, text] : {std::pair{21.0f, "21"}, {0.5f, "0.5"}, {-3.0f, "-3"}, {0.0f, "0"}, {1.25f, "1.2"},
                               {2.96f, "3.0"}})
        EXPECT_EQ(gf_floatText(value), text) << value;
    const struct {
        double part, total;
        int percent;
    } rows[] = {{1, 3, 33},   {2, 3, 67},           {1, 8, 13},           {0, 5, 0},
                {5, 0, 0},    {5, -2, 0},           {5, 0.5, 0},          {7, 7, 100},
                {12, 10, 120}, {1, std::nan(""), 0}, {std::nan(""), 4, 0}, {1e300, 1, std::numeric_limits<int>::max()}};
    for (const auto& r : rows) EXPECT_EQ(gf_percentage(r.part, r.total), r.percent) << r.part << "/" << r.total;
}

TEST(Text, TrimSplitAndExtractPath) {
    for (auto [in, out] : {std::pair{"", ""}, {" \t\r\n", ""}, {"\t EGLL, 12 \r\n", "EGLL, 12"}, {"a b", "a b"},
                           {"\xC2\xA0x", "\xC2\xA0x"}})
        EXPECT_EQ(gf_trim(in), out) << in;
    using Fields = std::vector<std::string>;
    for (auto [in, fields] : {std::pair<const char*, Fields>{"", {}}, {" \t\r", {}}, {"EGLL , 512 \r", {"EGLL", "512"}},
                              {"a,,b", {"a", "", "b"}}, {",a", {"", "a"}}, {"a,", {"a", ""}}})
        EXPECT_EQ(gf_split(in, ','), fields) << in;
    EXPECT_EQ(gf_split("1;2", ';'), (Fields{"1", "2"}));
    for (auto [line, path] : {std::pair{"    <Path>D:\\Scenery\\EGLL</Path>", "D:\\Scenery\\EGLL"},
                              {"<Path></Path>", ""}, {"<Path>a</Path><Path>b</Path>", "a"}, {"<Path>no end", ""},
                              {"no start</Path>", ""}, {"</Path><Path>x</Path>", ""}, {"<path>lower</path>", ""}})
        EXPECT_EQ(gf_extractPath(line), path) << line;
    for (auto [text, fragment, found] :
         {std::tuple{"Prepar3D v5", "PREPAR3D", true}, {"prepar3d", "D V", false}, {"abc", "", true}, {"", "", true},
          {"", "a", false}, {"ab", "abc", false}, {"xYz", "Yz", true}, {"a[b", "[B", true}})
        EXPECT_EQ(gf_containsNoCase(text, fragment), found) << text << " / " << fragment;
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
        {-5, 2, false, true, "", "\n"},                              // a negative width has no stars
        {5, 5, false, false, "LIVERIES", "LIVERIES"},                // 8 is not shorter than 10 - 2
        {5, 6, true, true, "LIVERIES", "\n***** LIVERIES *****\n"},  // 11 -> 12
        {2, 1, false, false, "A", "* A *"},                          // w 4: the title of 1 just fits
        {1, 1, true, true, "A", "A\n"},                              // too long: no leading newline
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.a << "+" << r.b << " '" << r.title << "'");
        EXPECT_EQ(gf_starBanner(r.a, r.b, r.leading, r.trailing, r.title), r.banner);
    }
}

}  // namespace
