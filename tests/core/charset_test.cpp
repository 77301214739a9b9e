#include "core/charset.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

// "Zürich €" in each character set; the expected UTF-8 is 5A C3BC 72 69 63 68 20 E282AC.
const std::string kZurichUtf8 = "Z\xC3\xBCrich \xE2\x82\xAC";

struct DecodeRow {
    const char* name;
    std::string bytes;
    TextCharset charset;
    std::string utf8;
};

const DecodeRow kRows[] = {
    {"empty", "", TextCharset::Utf8, ""},
    {"ASCII", "EGLL\r\n", TextCharset::Utf8, "EGLL\r\n"},
    {"UTF-8 without mark", kZurichUtf8, TextCharset::Utf8, kZurichUtf8},
    {"UTF-8 with mark", "\xEF\xBB\xBF" + kZurichUtf8, TextCharset::Utf8Bom, kZurichUtf8},
    {"UTF-8 mark only", "\xEF\xBB\xBF", TextCharset::Utf8Bom, ""},
    // FF FE, then 'Z' 00, U+00FC as FC 00, ..., U+20AC as AC 20.
    {"UTF-16 LE", "\xFF\xFEZ\0\xFC\0r\0i\0c\0h\0 \0\xAC\x20"s, TextCharset::Utf16Le, kZurichUtf8},
    {"UTF-16 BE", "\xFE\xFF\0Z\0\xFC\0r\0i\0c\0h\0 \x20\xAC"s, TextCharset::Utf16Be, kZurichUtf8},
    // U+1F600 as the pair D83D DE00 -> F0 9F 98 80.
    {"UTF-16 LE surrogate pair", "\xFF\xFE\x3D\xD8\x00\xDE"s, TextCharset::Utf16Le, "\xF0\x9F\x98\x80"},
    {"UTF-16 BE surrogate pair", "\xFE\xFF\xD8\x3D\xDE\x00"s, TextCharset::Utf16Be, "\xF0\x9F\x98\x80"},
    // A high surrogate followed by 'A': U+FFFD, then the 'A' itself.
    {"UTF-16 LE lone high surrogate",
     "\xFF\xFE\x3D\xD8"
     "A\0"s,
     TextCharset::Utf16Le,
     "\xEF\xBF\xBD"
     "A"},
    {"UTF-16 LE high surrogate at the end",
     "\xFF\xFE"
     "A\0\x3D\xD8"s,
     TextCharset::Utf16Le, "A\xEF\xBF\xBD"},
    {"UTF-16 LE lone low surrogate",
     "\xFF\xFE\x00\xDE"
     "B\0"s,
     TextCharset::Utf16Le,
     "\xEF\xBF\xBD"
     "B"},
    {"UTF-16 LE two high surrogates then a low", "\xFF\xFE\x3D\xD8\x3D\xD8\x00\xDE"s, TextCharset::Utf16Le,
     "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    {"UTF-16 LE odd length",
     "\xFF\xFE"
     "A\0B"s,
     TextCharset::Utf16Le, "A\xEF\xBF\xBD"},
    {"UTF-16 BE odd length", "\xFE\xFF\0A\0"s, TextCharset::Utf16Be, "A\xEF\xBF\xBD"},
    // The edges of both surrogate ranges: D800 DC00 -> U+10000, DBFF DFFF -> U+10FFFF, a lone DFFF,
    // then D7FF and E000, which are no surrogates.
    {"UTF-16 LE surrogate edges", "\xFF\xFE\x00\xD8\x00\xDC\xFF\xDB\xFF\xDF\xFF\xDF\xFF\xD7\x00\xE0"s,
     TextCharset::Utf16Le, "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xEF\xBF\xBD\xED\x9F\xBF\xEE\x80\x80"},
    {"UTF-16 LE NUL kept", "\xFF\xFE\0\0"s, TextCharset::Utf16Le, "\0"s},
    // Windows-1252: FC is U+00FC, 80 is U+20AC, 81 (unassigned) U+0081, 9F U+0178, FF U+00FF.
    {"Windows-1252", "Z\xFCrich \x80", TextCharset::Windows1252, kZurichUtf8},
    {"Windows-1252 edges", "\x81\x9F\xA0\xFF", TextCharset::Windows1252, "\xC2\x81\xC5\xB8\xC2\xA0\xC3\xBF"},
    // Overlong '/', a surrogate in UTF-8, past U+10FFFF, a cut sequence: all not UTF-8.
    {"overlong", "\xC0\xAF", TextCharset::Windows1252, "\xC3\x80\xC2\xAF"},
    {"UTF-8 surrogate", "\xED\xA0\x80", TextCharset::Windows1252, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
    {"past U+10FFFF", "\xF4\x90\x80\x80", TextCharset::Windows1252,
     "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
    {"cut sequence", "ab\xE2\x82", TextCharset::Windows1252, "ab\xC3\xA2\xE2\x80\x9A"},
    // With the UTF-8 mark a bad byte becomes U+FFFD and the good ones stay.
    {"UTF-8 mark, bad bytes",
     "\xEF\xBB\xBF"
     "a\xFF"
     "b\xE2\x82",
     TextCharset::Utf8Bom,
     "a\xEF\xBF\xBD"
     "b\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"largest code point", "\xF4\x8F\xBF\xBF", TextCharset::Utf8, "\xF4\x8F\xBF\xBF"},
};

TEST(Charset, DetectsAndDecodesToUtf8) {
    for (const DecodeRow& r : kRows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(gf_detectCharset(r.bytes), r.charset);
        EXPECT_EQ(gf_decodeToUtf8(r.bytes), r.utf8);
        EXPECT_TRUE(gf_isValidUtf8(gf_decodeToUtf8(r.bytes)));
    }
}

TEST(Charset, SplitLines) {
    const struct {
        const char* name;
        std::string text;
        Lines lines;
    } rows[] = {
        {"empty", "", {}},
        {"one line without end", "a", {"a"}},
        {"final line end opens no line", "a\n", {"a"}},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"empty lines kept", "\n\r\nx\n\n", {"", "", "x", ""}},
        {"lone CR is text", "a\rb\n", {"a\rb"}},
        {"only the CR before LF goes", "a\r\r\n", {"a\r"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Lines lines{"kept"};
        gf_splitLines(r.text, lines);
        Lines expected{"kept"};
        expected.insert(expected.end(), r.lines.begin(), r.lines.end());
        EXPECT_EQ(lines, expected);
    }
}

TEST(Charset, Utf16LinesWithCrLf) {
    // "a" CR LF "b" in UTF-16 LE.
    const std::string bytes =
        "\xFF\xFE"
        "a\0\r\0\n\0b\0"s;
    Lines lines;
    gf_splitLines(gf_decodeToUtf8(bytes), lines);
    EXPECT_EQ(lines, (Lines{"a", "b"}));
}

}  // namespace
