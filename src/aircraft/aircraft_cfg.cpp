#include "aircraft/aircraft_cfg.h"

#include <algorithm>
#include <optional>

#include <fmt/format.h>

#include "aircraft/regcodes.h"
#include "aircraft/type_database.h"
#include "core/text.h"

namespace {

char lf_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char lf_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool lf_equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lf_lower(x) == lf_lower(y); });
}

bool lf_containsNoCase(std::string_view text, std::string_view word) {
    return std::search(text.begin(), text.end(), word.begin(), word.end(),
                       [](char x, char y) { return lf_lower(x) == lf_lower(y); }) != text.end();
}

// The section's values as views into the text; unset until the section gives them.
struct RawSection {
    int number = 0;
    std::optional<std::string_view> title, registration, airline, type, parkingTypes;
};

// [fltsim.12]  ->  12; nothing for any other section name.
std::optional<int> lf_fltsimNumber(std::string_view line) {
    if (line.size() < 2 || line.back() != ']') return std::nullopt;
    const std::string_view name = gf_trimView(line.substr(1, line.size() - 2));
    constexpr std::string_view kPrefix = "fltsim.";
    if (name.size() <= kPrefix.size() || !lf_equalNoCase(name.substr(0, kPrefix.size()), kPrefix))
        return std::nullopt;
    int number = 0;
    for (const char c : name.substr(kPrefix.size())) {
        if (c < '0' || c > '9') return std::nullopt;
        number = std::min(number * 10 + (c - '0'), 1'000'000);
    }
    return number;
}

// The text up to a ";" or "//" comment, blanks around it dropped.
std::string_view lf_beforeComment(std::string_view text) {
    return gf_trimView(text.substr(0, std::min(text.find(';'), text.find("//"))));
}

bool lf_isCommentOrBlank(std::string_view rest) {
    rest = gf_trimView(rest);
    return rest.empty() || rest.front() == ';' || rest.starts_with("//");
}

// "Swiss A320" ; x  ->  Swiss A320: a quoted value ends at the first quote that only blanks or a
// comment follow, so quotes and comment marks inside it stay. Anything else is read up to its
// comment, a lone quote kept.
std::string_view lf_value(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"') {
        for (std::size_t q = text.find('"', 1); q != std::string_view::npos; q = text.find('"', q + 1))
            if (lf_isCommentOrBlank(text.substr(q + 1))) return text.substr(1, q - 1);
    }
    return lf_beforeComment(text);
}

// title="Airbus A320 Swiss HB-IJB"  ->  the slot of the key gets the value, unless it has one.
void lf_readKeyLine(std::string_view line, RawSection& section) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view key = gf_trimView(line.substr(0, equals));
    const std::string_view value = lf_value(gf_trimView(line.substr(equals + 1)));
    std::optional<std::string_view>* slot = nullptr;
    if (lf_equalNoCase(key, "title")) slot = &section.title;
    else if (lf_equalNoCase(key, "atc_id")) slot = &section.registration;
    else if (lf_equalNoCase(key, "icao_airline")) slot = &section.airline;
    else if (lf_equalNoCase(key, "icao_type_designator")) slot = &section.type;
    else if (lf_equalNoCase(key, "atc_parking_types")) slot = &section.parkingTypes;
    if (slot != nullptr && !slot->has_value()) *slot = value;
}

// The code upper-cased; a change is noted as a fix of the key.
std::string lf_fixedCode(std::string_view code, int number, std::string_view key, CfgFindings& findings) {
    std::string fixed(code);
    std::transform(fixed.begin(), fixed.end(), fixed.begin(), lf_upper);
    if (fixed != code) findings.fixes.push_back(fmt::format("[fltsim.{}] {} {} => {}", number, key, code, fixed));
    return fixed;
}

bool lf_isAirlineCode(std::string_view code) {
    return code.size() == 3 && std::all_of(code.begin(), code.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

bool lf_blank(const std::optional<std::string_view>& value) { return !value || value->empty(); }

void lf_closeSection(const RawSection& s, CfgFindings& findings) {
    if (lf_blank(s.title) || lf_blank(s.airline) || lf_blank(s.type)) {
        ++findings.incompleteSections;
        return;
    }
    std::string airline = lf_fixedCode(*s.airline, s.number, "icao_airline", findings);
    std::string type = lf_fixedCode(*s.type, s.number, "icao_type_designator", findings);
    bool valid = true;
    if (!lf_isAirlineCode(airline)) {
        findings.invalidAirlines.emplace_back(*s.airline);
        valid = false;
    }
    if (!gf_isKnownType(type)) {
        findings.invalidModels.push_back(type);
        valid = false;
    }
    if (!valid || lf_isDontUseTitle(*s.title)) return;
    findings.liveries.push_back({std::move(airline), std::move(type), std::string(*s.title),
                                 std::string(s.registration.value_or("")), 0,
                                 s.parkingTypes && lf_containsNoCase(*s.parkingTypes, "CARGO")});
}

}  // namespace

CfgFindings gf_parseAircraftCfg(std::string_view text) {
    CfgFindings findings;
    if (text.find('\0') != std::string_view::npos) {
        findings.invalid = true;
        return findings;
    }
    std::optional<RawSection> section;
    bool anySection = false;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = gf_trimView(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            if (section) lf_closeSection(*section, findings);
            section.reset();
            if (const std::optional<int> number = lf_fltsimNumber(lf_beforeComment(line))) {
                section.emplace().number = *number;
                anySection = true;
            }
            continue;
        }
        if (section) lf_readKeyLine(line, *section);
    }
    if (section) lf_closeSection(*section, findings);
    findings.noFltsimSection = !anySection;
    return findings;
}

std::string gf_aircraftCfgSection(int number, const LiveryData& livery) {
    std::string text = fmt::format("[fltsim.{}]\ntitle={}\n", number, livery.title);
    if (!livery.registration.empty()) text += fmt::format("atc_id={}\n", livery.registration);
    text += fmt::format("icao_airline={}\nicao_type_designator={}\n", livery.airline, livery.type);
    text += livery.cargo ? "atc_parking_types=CARGO\n" : "atc_parking_types=GATE\n";
    return text + "\n";
}
