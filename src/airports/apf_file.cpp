#include "airports/apf_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <sstream>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/atomic_file.h"
#include "core/display.h"
#include "core/files.h"
#include "core/log.h"
#include "core/params.h"
#include "core/run_state.h"
#include "core/slots.h"
#include "core/xml_meta.h"

bool g_apfHandmade = false;

namespace {

// Stand geometry a file may carry; anything else is a broken file, not an airport.
constexpr double kMaxStandRadiusM = 2000.0;
constexpr double kMaxHeadingDeg = 360.0;
constexpr uint32_t kMaxWeekday = 7;

const char* lf_boolText(bool b) {
    return b ? "true" : "false";
}

void lf_attr(pugi::xml_node node, const char* name, const std::string& value) {
    node.append_attribute(name).set_value(value.c_str());
}

bool lf_fullStand(const Stand& s, int mode) {
    return mode == kApfModeFull || s.manual || g_apfHandmade;
}

// Metres with one decimal; a radius that would come out as 0.0 keeps six significant digits,
// since a stand without a radius is no stand to the reader of manual stands.
std::string lf_radiusText(double radiusNm) {
    const double metres = gf_nmToMeters(radiusNm);
    std::string text = fmt::format("{:.1f}", metres);
    if (metres > 0 && text == "0.0") text = fmt::format("{:.6g}", metres);
    return text;
}

void lf_writeStandGeometry(pugi::xml_node pos, const Stand& s) {
    lf_attr(pos, "latitude", fmt::format("{:.6f}", s.latitude));
    lf_attr(pos, "longitude", fmt::format("{:.6f}", s.longitude));
    lf_attr(pos, "heading", fmt::format("{:.1f}", gf_radToDeg(s.heading)));
    lf_attr(pos, "radius", lf_radiusText(s.radius));
    if (s.heli) lf_attr(pos, "heli", "true");
    else lf_attr(pos, "cargo", lf_boolText(s.cargo));
    lf_attr(pos, "ramp", lf_boolText(s.ramp));
    if (s.manual) lf_attr(pos, "manual", "true");
}

void lf_writeStandChanges(pugi::xml_node pos, const Stand& s) {
    if (s.radius_change) {
        lf_attr(pos, "radius_change", "true");
        lf_attr(pos, "radius", lf_radiusText(s.radius));
    }
    if (s.cargo_change) {
        lf_attr(pos, "cargo_change", "true");
        lf_attr(pos, "cargo", lf_boolText(s.cargo));
    }
}

void lf_writeOption(pugi::xml_node pos, const StandOption& o) {
    pugi::xml_node opt = pos.append_child("opt");
    lf_attr(opt, "reg", o.reg);
    // Left out only when the reader gives them back from the registration's record: an
    // operator flying for a brand, or a record without a type, must not change on a round trip.
    const DbRecord* record = gf_dbRecordOf(o.reg);
    if (record == nullptr || record->airl != o.airline || record->type != o.type) {
        lf_attr(opt, "airl", o.airline);
        lf_attr(opt, "type", o.type);
    }
    if (o.real == 0) lf_attr(opt, "soft", "true");
    lf_attr(opt, "day", std::to_string(o.day));
    lf_attr(opt, "hh", gf_bitset2hours(HalfHourSet(o.hh)));
    // Either callsign alone is worth keeping: ":B" reads back as an empty first and B second.
    if (!o.callsign.empty() || !o.callsign2.empty())
        lf_attr(opt, "cs", o.callsign2.empty() ? o.callsign : o.callsign + ":" + o.callsign2);
}

// The "value" of the first parameter row of that name; found tells a row without a value
// from no row.
pugi::xml_attribute lf_parameterValue(const pugi::xml_document& doc, std::string_view name, bool& found) {
    const pugi::xml_node row = gf_apfParameterRow(doc, name);
    found = !row.empty();
    return row.attribute("value");
}

void lf_dropWarning(const ApfSource& source, pugi::xml_node node, std::string_view what, std::string_view id,
                    std::string_view field, std::string_view value) {
    gf_logWarning(fmt::format("{} line {}: {} '{}' dropped, bad {} '{}'", source.path,
                              source.lineOf(node), what, id, field, value));
}

// Keeps the attribute in slot when it bears the wanted name and no earlier one did: the first
// attribute of a name counts, as node.attribute(name) finds it. True when the name is the wanted one.
template <size_t N>
bool lf_keepFirst(pugi::xml_attribute attr, const char* name, const char (&wanted)[N], pugi::xml_attribute& slot,
                  uint32_t bit, uint32_t& found) {
    if (!gf_nameIs(name, wanted)) return false;
    if ((found & bit) == 0) slot = attr;
    found |= bit;
    return true;
}

// The attribute's value as as_int(0) reads it; up to nine plain digits without the general parser.
int lf_integer(pugi::xml_attribute attr) {
    const char* text = attr.value();
    int v = 0, n = 0;
    for (; n < 9 && text[n] >= '0' && text[n] <= '9'; ++n) v = v * 10 + (text[n] - '0');
    if (n > 0 && text[n] == '\0') return v;
    return attr.as_int(0);
}

// A plain decimal ("-47.452100") of at most 15 digits: the digits make an exact integer and
// the power of ten is exact, so the one division rounds as any correct reader rounds.
bool lf_plainDecimal(const char* text, double& v) {
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const auto digit = [](char c) { return static_cast<unsigned>(c - '0'); };
    const bool negative = *text == '-';
    const char* p = text + negative;
    const char* start = p;
    // Wraps past 19 digits, but more than 15 are refused anyway.
    uint64_t digitsValue = 0;
    for (; digit(*p) < 10; ++p) digitsValue = digitsValue * 10 + digit(*p);
    std::ptrdiff_t digits = p - start, scale = 0;
    if (*p == '.') {
        const char* fraction = ++p;
        for (; digit(*p) < 10; ++p) digitsValue = digitsValue * 10 + digit(*p);
        scale = p - fraction;
        digits += scale;
    }
    if (*p != '\0' || digits == 0 || digits > 15) return false;
    v = static_cast<double>(digitsValue) / kPowersOfTen[scale];
    if (negative) v = -v;
    return true;
}

// The attribute's value as as_double(0) reads it. A plain decimal, the whole value, is read
// without the C library's locale-aware strtod; anything else (blanks, '+', hex, a number
// out of range, trailing text) goes the strtod way.
double lf_number(pugi::xml_attribute attr) {
    const char* text = attr.value();
    double v = 0;
    if (lf_plainDecimal(text, v)) return v;
    const char* end = text + std::char_traits<char>::length(text);
    auto [stop, ec] = std::from_chars(text, end, v);
    if (ec == std::errc() && stop == end) return v;
    return attr.as_double(0.0);
}

// The number; nothing when it is not finite or outside [lo, hi].
std::optional<double> lf_checkedNumber(pugi::xml_attribute attr, double lo, double hi) {
    double v = lf_number(attr);
    if (!std::isfinite(v) || v < lo || v > hi) return std::nullopt;
    return v;
}

// Parses the buffer in place; the document takes it over (freed here when empty). The in-place
// parse is stricter than a parse of a copy: a text whose parse stops at a NUL byte yet ends in
// '<' fails. So every test of whether a text is a parking file parses it this way.
bool lf_parseOwned(char* buffer, size_t length, pugi::xml_document& doc, std::string& reason) {
    pugi::xml_parse_result result =
        length > 0 ? doc.load_buffer_inplace_own(buffer, length) : doc.load_buffer("", 0);
    if (length == 0 && buffer != nullptr) pugi::get_memory_deallocation_function()(buffer);
    if (!result) {
        reason = result.description();
        return false;
    }
    return true;
}

}  // namespace

pugi::xml_node gf_apfParameterRow(const pugi::xml_document& doc, std::string_view name) {
    return gf_namedRow(doc, "parameters", "parameter", name);
}

bool gf_apfReadStopped() {
    return g_stopRun.load(std::memory_order_relaxed) || g_userClosing.load(std::memory_order_relaxed);
}

bool gf_apfBool(const char* text) {
    if (text == nullptr) return false;
    const char c = text[0];
    return c == '1' || c == 't' || c == 'T' || c == 'y' || c == 'Y';
}

int ApfSource::lineOf(pugi::xml_node node) const {
    if (textOnDisk && text.empty()) gf_readWholeFile(path, text, std::numeric_limits<std::uintmax_t>::max());
    ptrdiff_t offset = node.offset_debug();
    if (offset < 0 || static_cast<size_t>(offset) > text.size()) return 0;
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
}

bool gf_loadApfDocument(const std::filesystem::path& path, ApfSource& source, pugi::xml_document& doc,
                        std::string& reason) {
    source.path = path.string();
    source.text.clear();
    source.textOnDisk = true;
    // Asked before opening: opening a pipe would wait for a writer that never comes.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        reason = "File was not found";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        reason = "not a regular file";
        return false;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxApfFileBytes) {
        reason = fmt::format("{} bytes, more than the {} a parking file may have", size, kMaxApfFileBytes);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = "File was not found";
        return false;
    }
    // Read straight into a buffer the document takes over and parses in place: one copy of
    // the text in memory, as the library's own load makes.
    char* buffer = nullptr;
    size_t length = 0;
    if (!ec && size > 0) {
        buffer = static_cast<char*>(pugi::get_memory_allocation_function()(static_cast<size_t>(size)));
        if (buffer == nullptr) throw std::bad_alloc();
        in.read(buffer, static_cast<std::streamsize>(size));
        length = static_cast<size_t>(in.gcount());
    }
    return lf_parseOwned(buffer, length, doc, reason);
}

bool gf_parseApfText(std::string_view text, pugi::xml_document& doc, std::string& reason) {
    char* buffer = nullptr;
    if (!text.empty()) {
        buffer = static_cast<char*>(pugi::get_memory_allocation_function()(text.size()));
        if (buffer == nullptr) throw std::bad_alloc();
        std::memcpy(buffer, text.data(), text.size());
    }
    return lf_parseOwned(buffer, text.size(), doc, reason);
}

void lf_writeApfParameters(pugi::xml_document& doc, const ApfContent& c, int mode) {
    pugi::xml_node p = doc.append_child("parameters");
    const bool learned = mode == kApfModeLearned;
    gf_appendParameterNode(p, "airport_name", c.airport_name);
    gf_appendParameterNode(p, "publisher", c.publisher);
    if (g_apfHandmade) gf_appendParameterNode(p, "handmade", "true");
    if (g_apfHandmade || !learned) gf_appendParameterNode(p, "altitude", std::to_string(c.altitude));
    gf_appendParameterNode(p, "num_parkpos", std::to_string(c.stands.size()));
    if (g_apfHandmade) {
        gf_appendParameterNode(p, "Qf_real", std::to_string(c.Qf_real));
        gf_appendParameterNode(p, "Qf_soft", std::to_string(c.Qf_soft));
    }
    if (c.publisher == "unknown") gf_appendParameterNode(p, "BGLpath", c.BGLpath);
    if (!learned) return;
    // While the range follows the user's situation, RANGE holds the range picked last; the
    // file keeps the user's own, which the reader restores for when automatic range is off.
    const int range = AUTO_RANGE.value() ? g_manualRange.load() : RANGE.value();
    gf_appendParameterNode(p, "LATERAL_RANGE", std::to_string(range));
    gf_appendParameterNode(p, "AUTO_RANGE", lf_boolText(AUTO_RANGE.value()));
    gf_appendParameterNode(p, "WEEK", lf_boolText(WEEK.value()));
    gf_appendParameterNode(p, "PARK_FAKE", lf_boolText(PARK_FAKE.value()));
    gf_appendParameterNode(p, "PARK_SOFT", lf_boolText(PARK_SOFT.value()));
    gf_appendParameterNode(p, "parking_percentage", std::to_string(parking_percentage.value()));
    gf_appendParameterNode(p, "INITIAL_LOAD_ONLY", lf_boolText(INITIAL_LOAD_ONLY.value()));
    gf_appendParameterNode(p, "MAX_FIT", std::to_string(MAX_FIT.value()));
    gf_appendParameterNode(p, "RT_PARKTRAFFIC_ONLY", lf_boolText(RT_PARKTRAFFIC_ONLY.value()));
    gf_appendParameterNode(p, "MAX_LIVE", std::to_string(MAX_LIVE_SEL.value()));
    gf_appendParameterNode(p, "LEARN_SOFT", lf_boolText(LEARN_SOFT.value()));
}

bool gf_writeApf(const ApfContent& content, const std::filesystem::path& path, int mode,
                 std::string* reason) {
    pugi::xml_document doc;
    if (!gf_writeMetaInfo(doc)) return false;
    lf_writeApfParameters(doc, content, mode);
    if (!doc.child("parameters")) return false;
    pugi::xml_node positions = doc.append_child("parkpositions");
    for (const Stand& s : content.stands) {
        pugi::xml_node pos = positions.append_child("parkpos");
        lf_attr(pos, "id", s.name);
        if (lf_fullStand(s, mode)) lf_writeStandGeometry(pos, s);
        else lf_writeStandChanges(pos, s);
        if (mode != kApfModeLearned) continue;
        for (const StandOption& o : s.options)
            if (o.index != 0 && !o.invented) lf_writeOption(pos, o);
    }
    std::ostringstream out;
    doc.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
    const std::optional<std::string> why = gf_replaceFileContent(path, out.str());
    if (!why) return true;
    gf_logWarning(fmt::format("gf_writeApf: could not write {}: {}", path.string(), *why));
    if (reason != nullptr) *reason = *why;
    return false;
}

std::optional<bool> lf_apfParameterBool(const pugi::xml_document& doc, std::string_view name) {
    bool found = false;
    pugi::xml_attribute value = lf_parameterValue(doc, name, found);
    if (!found) return std::nullopt;
    return gf_apfBool(value.value());
}

std::optional<int> lf_apfParameterInt(const pugi::xml_document& doc, std::string_view name) {
    bool found = false;
    pugi::xml_attribute value = lf_parameterValue(doc, name, found);
    if (!found) return std::nullopt;
    return value.as_int(0);
}

std::optional<std::string> lf_apfParameterString(const pugi::xml_document& doc, std::string_view name) {
    bool found = false;
    pugi::xml_attribute value = lf_parameterValue(doc, name, found);
    if (!found) return std::nullopt;
    return std::string(value.value());
}

namespace {

// The attribute values of an opt element, found in one pass (the first of each name counts);
// "" for an absent one. The texts are in the order the writer puts the attributes.
struct OptAttributes {
    enum Text { kReg, kAirl, kType, kSoft, kDay, kHh, kCs, kTexts };
    const char* text[kTexts] = {"", "", "", "", "", "", ""};
    uint32_t present = 0;     // bit k: the attribute of text k is there
    pugi::xml_attribute day;  // a number, kept whole for the general reader
    bool has(Text k) const { return (present & (1u << k)) != 0; }
    const char* reg() const { return text[kReg]; }
    const char* airl() const { return text[kAirl]; }
    const char* type() const { return text[kType]; }
    const char* soft() const { return text[kSoft]; }
    const char* hh() const { return text[kHh]; }
    const char* cs() const { return text[kCs]; }
};

// Empty attributes, built once: copying them is cheaper than constructing each one anew.
const OptAttributes kNoOptAttributes{};
const ParkposAttributes kNoParkposAttributes{};

// The slot of an opt attribute's name; kTexts for a name an opt does not have.
size_t lf_optTextOf(const char* n) {
    switch (n[0]) {
        case 'r': return gf_nameIs(n, "reg") ? OptAttributes::kReg : OptAttributes::kTexts;
        case 'a': return gf_nameIs(n, "airl") ? OptAttributes::kAirl : OptAttributes::kTexts;
        case 't': return gf_nameIs(n, "type") ? OptAttributes::kType : OptAttributes::kTexts;
        case 's': return gf_nameIs(n, "soft") ? OptAttributes::kSoft : OptAttributes::kTexts;
        case 'd': return gf_nameIs(n, "day") ? OptAttributes::kDay : OptAttributes::kTexts;
        case 'h': return gf_nameIs(n, "hh") ? OptAttributes::kHh : OptAttributes::kTexts;
        case 'c': return gf_nameIs(n, "cs") ? OptAttributes::kCs : OptAttributes::kTexts;
        default: return OptAttributes::kTexts;
    }
}

OptAttributes lf_optAttributes(pugi::xml_node opt) {
    OptAttributes a = kNoOptAttributes;
    uint32_t& found = a.present;
    // Past the last attribute the name is "": the parser never makes an attribute without one.
    for (pugi::xml_attribute attr = opt.first_attribute();; attr = attr.next_attribute()) {
        const char* n = attr.name();
        if (n[0] == '\0') return a;
        const size_t k = lf_optTextOf(n);
        if (k == OptAttributes::kTexts || (found & (1u << k)) != 0) continue;
        found |= 1u << k;
        a.text[k] = attr.value();
        if (k == OptAttributes::kDay) a.day = attr;
    }
}

// A short text measured in place: attribute values are a few letters, for which a call to
// the library's strlen costs more than the loop.
std::string_view lf_shortText(const char* text) {
    size_t n = 0;
    while (text[n] != '\0') ++n;
    return {text, n};
}

// A short text into a string that may hold an earlier one: appended to the emptied string,
// which skips the overlap checks of a general assignment.
void lf_setText(std::string& out, std::string_view text) {
    out.clear();
    out.append(text.data(), text.size());
}

// A plain list of half-hours ("3,14,15": one or two digits each, below 48, single commas)
// read in place; false for anything else, which gf_hours2bitset then reads with its warnings.
bool lf_plainHalfHours(const char* p, uint64_t& bits) {
    const auto digit = [](char c) { return static_cast<unsigned>(c - '0') < 10; };
    uint64_t set = 0;
    for (;;) {
        if (!digit(*p)) return false;
        unsigned slot = static_cast<unsigned>(*p++ - '0');
        if (digit(*p)) slot = slot * 10 + static_cast<unsigned>(*p++ - '0');
        if (slot >= kSlotsPerDay) return false;
        set |= uint64_t{1} << slot;
        if (*p == '\0') break;
        if (*p++ != ',') return false;
    }
    bits = set;
    return true;
}

// Fills callsign, callsign2, airline and type of the option in place.
void lf_fillIdentity(const OptAttributes& a, std::string_view reg, StandOption& out) {
    // The callsigns split at the first ':', found while the text is measured.
    const char* cs = a.cs();
    size_t length = 0, colon = std::string_view::npos;
    for (; cs[length] != '\0'; ++length)
        if (cs[length] == ':' && colon == std::string_view::npos) colon = length;
    if (colon == std::string_view::npos) {
        lf_setText(out.callsign, {cs, length});
        out.callsign2.clear();
    } else {
        lf_setText(out.callsign, {cs, colon});
        lf_setText(out.callsign2, {cs + colon + 1, length - colon - 1});
    }
    // What the file says wins; the record stands in for what the writer left out.
    const bool airl = a.has(OptAttributes::kAirl), type = a.has(OptAttributes::kType);
    const DbRecord* rec = airl && type ? nullptr : gf_dbRecordOf(reg);
    lf_setText(out.airline, airl || rec == nullptr ? lf_shortText(a.airl()) : std::string_view(rec->airl));
    lf_setText(out.type, type || rec == nullptr ? lf_shortText(a.type()) : std::string_view(rec->type));
}

}  // namespace

ParkposAttributes gf_parkposAttributes(pugi::xml_node parkpos) {
    ParkposAttributes a = kNoParkposAttributes;
    uint32_t found = 0;
    // Past the last attribute the name is "": the parser never makes an attribute without one.
    for (pugi::xml_attribute attr = parkpos.first_attribute();; attr = attr.next_attribute()) {
        const char* n = attr.name();
        switch (n[0]) {
            case '\0': return a;
            case 'i': lf_keepFirst(attr, n, "id", a.id, 1, found); break;
            case 'l':
                lf_keepFirst(attr, n, "latitude", a.latitude, 2, found) ||
                    lf_keepFirst(attr, n, "longitude", a.longitude, 4, found);
                break;
            case 'r':
                lf_keepFirst(attr, n, "radius", a.radius, 8, found) || lf_keepFirst(attr, n, "ramp", a.ramp, 16, found) ||
                    lf_keepFirst(attr, n, "radius_change", a.radius_change, 32, found);
                break;
            case 'h':
                lf_keepFirst(attr, n, "heading", a.heading, 64, found) || lf_keepFirst(attr, n, "heli", a.heli, 128, found);
                break;
            case 'c':
                lf_keepFirst(attr, n, "cargo", a.cargo, 256, found) ||
                    lf_keepFirst(attr, n, "cargo_change", a.cargo_change, 512, found);
                break;
            case 'm': lf_keepFirst(attr, n, "manual", a.manual, 1024, found); break;
            default: break;
        }
    }
}

bool gf_readApfOption(pugi::xml_node opt, const ApfSource& source, uint32_t index, uint32_t origin,
                      StandOption& option) {
    const OptAttributes a = lf_optAttributes(opt);
    int day = lf_integer(a.day);
    if (day < 0 || static_cast<uint32_t>(day) > kMaxWeekday) {
        lf_dropWarning(source, opt, "option of stand", opt.parent().attribute("id").value(), "day", a.day.value());
        return false;
    }
    // Straight into the option's own strings: no intermediate copies.
    const std::string_view reg = lf_shortText(a.reg());
    lf_fillIdentity(a, reg, option);
    lf_setText(option.reg, reg);
    if (!lf_plainHalfHours(a.hh(), option.hh)) option.hh = gf_hours2bitset(a.hh()).to_ullong();
    option.index = index;
    option.day = static_cast<uint32_t>(day);
    option.origin = origin;
    option.real = gf_apfBool(a.soft()) ? 0 : 1;
    option.invented = false;
    return true;
}

bool gf_readParkpos(pugi::xml_node parkpos, const ParkposAttributes& a, std::string id, uint32_t origin,
                    const ApfSource& source) {
    static constexpr double kLimits[4][2] = {{-90, 90}, {-180, 180}, {0, kMaxStandRadiusM},
                                             {-kMaxHeadingDeg, kMaxHeadingDeg}};
    const std::array<std::pair<const char*, pugi::xml_attribute>, 4> numbers = {
        {{"latitude", a.latitude}, {"longitude", a.longitude}, {"radius", a.radius}, {"heading", a.heading}}};
    double values[4] = {};
    for (size_t i = 0; i < 4; ++i) {
        std::optional<double> v = lf_checkedNumber(numbers[i].second, kLimits[i][0], kLimits[i][1]);
        if (!v) {
            lf_dropWarning(source, parkpos, "stand", id, numbers[i].first, numbers[i].second.value());
            return false;
        }
        values[i] = *v;
    }
    if (values[0] == 0 && values[1] == 0) return false;
    // Room for exactly the options of the element: one allocation, no trimming afterwards.
    std::vector<StandOption> options;
    options.reserve(gf_optCount(parkpos));
    uint32_t index = 0;
    gf_forEachOpt(parkpos, [&](pugi::xml_node opt) {
        ++index;
        if (!gf_readApfOption(opt, source, index, origin, options.emplace_back())) options.pop_back();
    });
    if (options.size() < options.capacity()) options.shrink_to_fit();
    g_stands.emplace_back(std::move(id), std::move(options), values[0], values[1], gf_degToRad(values[3]),
                          values[2], gf_apfBool(a.cargo.value()), gf_apfBool(a.ramp.value()),
                          gf_apfBool(a.heli.value()));
    return true;
}

bool lf_readParkpos(pugi::xml_node parkpos, std::string id, uint32_t origin, const ApfSource& source) {
    return gf_readParkpos(parkpos, gf_parkposAttributes(parkpos), std::move(id), origin, source);
}

// At most half full, so that probes stay short.
StandIdIndex::StandIdIndex(size_t count) : slots_(std::bit_ceil(2 * count + 2)) {}

size_t StandIdIndex::slotOf(std::string_view id) const {
    // FNV-1a: ids are a few letters, and the bytes are mixed inline rather than by the
    // library's hash for long keys.
    uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : id) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    const size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>(hash ^ (hash >> 32)) & mask;
    const auto same = [&id](const Slot& slot) {
        if (slot.size != id.size()) return false;
        for (size_t k = 0; k < id.size(); ++k)
            if (slot.id[k] != id[k]) return false;
        return true;
    };
    while (slots_[i].position != kAbsent && !same(slots_[i])) i = (i + 1) & mask;
    return i;
}

uint32_t StandIdIndex::insert(std::string_view id, uint32_t position) {
    Slot& slot = slots_[slotOf(id)];
    if (slot.position != kAbsent) return slot.position;
    slot = {id.data(), static_cast<uint32_t>(id.size()), position};
    if (2 * ++used_ < slots_.size()) return kAbsent;
    std::vector<Slot> old(2 * slots_.size());
    old.swap(slots_);
    for (const Slot& s : old)
        if (s.position != kAbsent) slots_[slotOf({s.id, s.size})] = s;
    return kAbsent;
}

uint32_t StandIdIndex::find(std::string_view id) const {
    return slots_[slotOf(id)].position;
}
