#include "core/text.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <fmt/format.h>

namespace {
constexpr std::string_view kBlanks = " \t\r\n";
constexpr std::string_view kPathOpen = "<Path>";
constexpr std::string_view kPathClose = "</Path>";
}  // namespace

std::string gf_plural(long long count) {
    return count == 1 || count < 0 ? "" : "s";
}

std::string gf_floatText(float value) {
    if (value == std::floor(value)) return fmt::format("{:.0f}", value);
    return fmt::format("{:.1f}", value);
}

int gf_percentage(double part, double total) {
    if (!(total >= 1)) return 0;
    const double p = std::round(part * 100.0 / total);
    if (std::isnan(p)) return 0;
    if (p >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (p <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(p);
}

std::string_view gf_trimView(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string gf_trim(std::string_view text) {
    return std::string(gf_trimView(text));
}

std::vector<std::string> gf_split(std::string_view text, char delimiter) {
    std::vector<std::string> fields;
    // A blank line of a user's list is no entry at all, not one empty entry.
    if (text.find_first_not_of(kBlanks) == std::string_view::npos) return fields;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(delimiter, start);
        fields.push_back(gf_trim(text.substr(start, end == std::string_view::npos ? end : end - start)));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

bool gf_containsNoCase(std::string_view text, std::string_view fragment) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const auto hit = std::search(text.begin(), text.end(), fragment.begin(), fragment.end(),
                                 [&](char a, char b) { return lower(a) == lower(b); });
    return fragment.empty() || hit != text.end();
}

std::string gf_extractPath(std::string_view line) {
    const size_t open = line.find(kPathOpen);
    const size_t close = line.find(kPathClose);
    if (open == std::string_view::npos || close == std::string_view::npos) return {};
    const size_t begin = open + kPathOpen.size();
    if (close < begin) return {};
    return std::string(line.substr(begin, close - begin));
}

std::string gf_starBanner(int a, int b, bool leadingNewline, bool trailingNewline, std::string_view title) {
    long long w = static_cast<long long>(a) + b;
    if (w < 0) w = 0;
    w += w % 2;
    std::string out;
    if (title.empty()) {
        if (leadingNewline) out += '\n';
        out.append(static_cast<size_t>(w), '*');
    } else if (static_cast<long long>(title.size()) < w - 2) {
        const std::string stars(static_cast<size_t>(w / 2 - 1), '*');
        if (leadingNewline) out += '\n';
        out += stars;
        out += ' ';
        out += title;
        out += ' ';
        out += stars;
    } else {
        out = title;
    }
    if (trailingNewline) out += '\n';
    return out;
}
