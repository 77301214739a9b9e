#include "core/charset.h"

#include <cstdint>

namespace {
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr char32_t kReplacement = 0xFFFD;

// Code points of Windows-1252 bytes 0x80..0x9F; the rest of the set equals Latin-1.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint8_t lf_byte(std::string_view s, size_t i) {
    return static_cast<uint8_t>(s[i]);
}

bool lf_inRange(std::string_view s, size_t i, uint8_t lo, uint8_t hi) {
    return i < s.size() && lf_byte(s, i) >= lo && lf_byte(s, i) <= hi;
}

// Length of the well-formed UTF-8 sequence at i (the table of well-formed byte sequences of the
// Unicode standard), 0 when there is none.
size_t lf_utf8SequenceLength(std::string_view s, size_t i) {
    const uint8_t b = lf_byte(s, i);
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) return lf_inRange(s, i + 1, 0x80, 0xBF) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        const uint8_t lo = b == 0xE0 ? 0xA0 : 0x80;
        const uint8_t hi = b == 0xED ? 0x9F : 0xBF;
        return lf_inRange(s, i + 1, lo, hi) && lf_inRange(s, i + 2, 0x80, 0xBF) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        const uint8_t lo = b == 0xF0 ? 0x90 : 0x80;
        const uint8_t hi = b == 0xF4 ? 0x8F : 0xBF;
        return lf_inRange(s, i + 1, lo, hi) && lf_inRange(s, i + 2, 0x80, 0xBF) &&
                       lf_inRange(s, i + 3, 0x80, 0xBF)
                   ? 4
                   : 0;
    }
    return 0;
}

void lf_appendUtf8(std::string& out, char32_t cp) {
    auto put = [&out](uint32_t v) { out.push_back(static_cast<char>(v)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

std::string lf_fromUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t n = lf_utf8SequenceLength(s, i);
        if (n == 0) {
            lf_appendUtf8(out, kReplacement);
            ++i;
            continue;
        }
        out.append(s.substr(i, n));
        i += n;
    }
    return out;
}

std::string lf_fromUtf16(std::string_view s, bool bigEndian) {
    auto unit = [&](size_t i) -> char32_t {
        const uint8_t a = lf_byte(s, i), b = lf_byte(s, i + 1);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::string out;
    out.reserve(s.size());
    const size_t whole = s.size() / 2 * 2;
    for (size_t i = 0; i < whole; i += 2) {
        const char32_t u = unit(i);
        const bool high = u >= 0xD800 && u <= 0xDBFF;
        const bool low = u >= 0xDC00 && u <= 0xDFFF;
        if (!high && !low) {
            lf_appendUtf8(out, u);
            continue;
        }
        const char32_t next = high && i + 2 < whole ? unit(i + 2) : 0;
        if (next < 0xDC00 || next > 0xDFFF) {
            lf_appendUtf8(out, kReplacement);  // unpaired; the next unit is read on its own
            continue;
        }
        lf_appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
        i += 2;
    }
    if (whole != s.size()) lf_appendUtf8(out, kReplacement);
    return out;
}

std::string lf_fromCp1252(std::string_view s) {
    std::string out;
    out.reserve(s.size() + s.size() / 2);
    for (size_t i = 0; i < s.size(); ++i) {
        const uint8_t b = lf_byte(s, i);
        lf_appendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char32_t{b});
    }
    return out;
}
}  // namespace

bool gf_isValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = lf_utf8SequenceLength(bytes, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

TextCharset gf_detectCharset(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Bom)) return TextCharset::Utf8Bom;
    if (bytes.starts_with(kUtf16LeBom)) return TextCharset::Utf16Le;
    if (bytes.starts_with(kUtf16BeBom)) return TextCharset::Utf16Be;
    return gf_isValidUtf8(bytes) ? TextCharset::Utf8 : TextCharset::Windows1252;
}

std::string gf_decodeToUtf8(std::string_view bytes) {
    switch (gf_detectCharset(bytes)) {
        case TextCharset::Utf8Bom:
            return lf_fromUtf8(bytes.substr(kUtf8Bom.size()));
        case TextCharset::Utf16Le:
            return lf_fromUtf16(bytes.substr(kUtf16LeBom.size()), false);
        case TextCharset::Utf16Be:
            return lf_fromUtf16(bytes.substr(kUtf16BeBom.size()), true);
        case TextCharset::Utf8:
            return std::string(bytes);
        case TextCharset::Windows1252:
            break;
    }
    return lf_fromCp1252(bytes);
}

void gf_splitLines(std::string_view text, std::vector<std::string>& lines) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (end < text.size() && line.ends_with('\r')) line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
}
