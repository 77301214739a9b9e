// Small text helpers shared by every subsystem: plural endings, number texts, trimming and
// splitting, the <Path> tag of scenery lines and the star banners of the scan reports.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// "" for 1 and for negative counts, else "s".
std::string gf_plural(long long count);
// "{:.0f}" when the value is whole, else "{:.1f}".
std::string gf_floatText(float value);
// round(part * 100 / total); 0 when total < 1 (or the result is not a number).
int gf_percentage(double part, double total);
// The text without leading and trailing blanks, tabs, carriage returns and line feeds.
std::string gf_trim(std::string_view text);
// The same as a view into the text.
std::string_view gf_trimView(std::string_view text);
// The trimmed fields between delimiters; a text that is empty after trimming gives no field.
std::vector<std::string> gf_split(std::string_view text, char delimiter);
// True when the fragment is empty or occurs in the text, both lower-cased byte by byte.
bool gf_containsNoCase(std::string_view text, std::string_view fragment);
// The text between the first "<Path>" and the first "</Path>"; empty when either is missing or
// the closing tag comes first.
std::string gf_extractPath(std::string_view line);
// One banner line of stars, w = a + b rounded up to even: "*" x w without a title;
// "*" x (w/2 - 1), " title ", "*" x (w/2 - 1) when the title is shorter than w - 2; else the
// title alone, without the leading newline. The newlines are added as the flags ask.
std::string gf_starBanner(int a, int b, bool leadingNewline, bool trailingNewline, std::string_view title);
