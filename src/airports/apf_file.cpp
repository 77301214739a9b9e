#include "airports/apf_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "aircraft/type_database.h"
#include "core/atomic_file.h"
#include "core/log.h"
#include "core/params.h"
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

void lf_writeStandGeometry(pugi::xml_node pos, const Stand& s) {
    lf_attr(pos, "latitude", fmt::format("{:.6f}", s.latitude));
    lf_attr(pos, "longitude", fmt::format("{:.6f}", s.longitude));
    lf_attr(pos, "heading", fmt::format("{:.1f}", gf_radToDeg(s.heading)));
    lf_attr(pos, "radius", fmt::format("{:.1f}", gf_nmToMeters(s.radius)));
    if (s.heli) lf_attr(pos, "heli", "true");
    else lf_attr(pos, "cargo", lf_boolText(s.cargo));
    lf_attr(pos, "ramp", lf_boolText(s.ramp));
    if (s.manual) lf_attr(pos, "manual", "true");
}

void lf_writeStandChanges(pugi::xml_node pos, const Stand& s) {
    if (s.radius_change) {
        lf_attr(pos, "radius_change", "true");
        lf_attr(pos, "radius", fmt::format("{:.1f}", gf_nmToMeters(s.radius)));
    }
    if (s.cargo_change) {
        lf_attr(pos, "cargo_change", "true");
        lf_attr(pos, "cargo", lf_boolText(s.cargo));
    }
}

void lf_writeOption(pugi::xml_node pos, const StandOption& o) {
    pugi::xml_node opt = pos.append_child("opt");
    lf_attr(opt, "reg", o.reg);
    if (!gf_findDbRecord(o.reg)) {
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

pugi::xml_attribute lf_parameterValue(const pugi::xml_document& doc, std::string_view name, bool& found) {
    std::string query = fmt::format("/parameters/parameter[@name='{}']", name);
    pugi::xpath_node node = doc.select_node(query.c_str());
    found = static_cast<bool>(node);
    return found ? node.node().attribute("value") : pugi::xml_attribute();
}

void lf_dropWarning(const ApfSource& source, pugi::xml_node node, std::string_view what, std::string_view id,
                    std::string_view field, std::string_view value) {
    gf_logWarning(fmt::format("{} line {}: {} '{}' dropped, bad {} '{}'", source.path,
                              source.lineOf(node), what, id, field, value));
}

// The first attribute of each of the names, found in one pass over the element's attributes;
// an empty attribute where the element has none of that name (as node.attribute(name) gives).
template <size_t N>
std::array<pugi::xml_attribute, N> lf_attributes(pugi::xml_node node, const std::array<std::string_view, N>& names) {
    std::array<pugi::xml_attribute, N> found;
    for (pugi::xml_attribute attr : node.attributes()) {
        const std::string_view name = attr.name();
        for (size_t i = 0; i < N; ++i) {
            if (name != names[i]) continue;
            if (!found[i]) found[i] = attr;
            break;
        }
    }
    return found;
}

// The attribute's value as as_double(0) reads it. A plain decimal, the whole value, is read
// without the C library's locale-aware strtod; anything else (blanks, '+', hex, a number
// out of range, trailing text) goes the strtod way.
double lf_number(pugi::xml_attribute attr) {
    const char* text = attr.value();
    const char* end = text + std::char_traits<char>::length(text);
    double v = 0;
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

}  // namespace

bool gf_apfBool(const char* text) {
    return text != nullptr && text[0] != '\0' && std::string_view("1tTyY").find(text[0]) != std::string_view::npos;
}

int ApfSource::lineOf(pugi::xml_node node) const {
    ptrdiff_t offset = node.offset_debug();
    if (offset < 0 || static_cast<size_t>(offset) > text.size()) return 0;
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
}

bool gf_loadApfDocument(const std::filesystem::path& path, ApfSource& source, pugi::xml_document& doc,
                        std::string& reason) {
    source.path = path.string();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = "File was not found";
        return false;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) {
        source.text.resize(size);
        in.read(source.text.data(), static_cast<std::streamsize>(size));
        source.text.resize(static_cast<size_t>(in.gcount()));
    }
    pugi::xml_parse_result result = doc.load_buffer(source.text.data(), source.text.size());
    if (!result) {
        reason = result.description();
        return false;
    }
    return true;
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
    gf_appendParameterNode(p, "LATERAL_RANGE", std::to_string(RANGE.value()));
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

bool gf_writeApf(const ApfContent& content, const std::filesystem::path& path, int mode) {
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
    if (gf_writeFileAtomically(path, out.str())) return true;
    gf_logWarning(fmt::format("gf_writeApf: could not write {}", path.string()));
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

// The attributes of an opt element, found in one pass (the first of each name counts).
struct OptAttributes {
    pugi::xml_attribute cs, reg, airl, type, soft, day, hh;
};

OptAttributes lf_optAttributes(pugi::xml_node opt) {
    static constexpr std::array<std::string_view, 7> kNames = {"cs", "reg", "airl", "type", "soft", "day", "hh"};
    const auto a = lf_attributes(opt, kNames);
    return {a[0], a[1], a[2], a[3], a[4], a[5], a[6]};
}

OptIdentity lf_identity(const OptAttributes& a) {
    OptIdentity id;
    std::string_view cs = a.cs.value();
    size_t colon = cs.find(':');
    id.callsign = std::string(cs.substr(0, colon));
    if (colon != std::string_view::npos) id.callsign2 = std::string(cs.substr(colon + 1));
    std::string_view reg = a.reg.value();
    if (const DbRecord* rec = gf_dbRecordOf(reg)) {
        id.airline = rec->airl;
        id.type = rec->type;
        return id;
    }
    id.airline = a.airl.value();
    id.type = a.type.value();
    return id;
}

}  // namespace

OptIdentity lf_readOptIdentity(pugi::xml_node opt) {
    return lf_identity(lf_optAttributes(opt));
}

bool gf_readApfOption(pugi::xml_node opt, const ApfSource& source, uint32_t index, uint32_t origin,
                      StandOption& option) {
    const OptAttributes a = lf_optAttributes(opt);
    int day = a.day.as_int(0);
    if (day < 0 || static_cast<uint32_t>(day) > kMaxWeekday) {
        lf_dropWarning(source, opt, "option of stand", opt.parent().attribute("id").value(), "day", a.day.value());
        return false;
    }
    OptIdentity id = lf_identity(a);
    option = StandOption(std::move(id.callsign), std::move(id.callsign2), std::move(id.airline),
                         std::move(id.type), a.reg.value(), gf_hours2bitset(a.hh.value()).to_ullong(), index,
                         static_cast<uint32_t>(day), origin, gf_apfBool(a.soft.value()) ? 0 : 1);
    return true;
}

bool lf_readParkpos(pugi::xml_node parkpos, std::string id, uint32_t origin, const ApfSource& source) {
    static constexpr std::array<std::string_view, 7> kNames = {"latitude", "longitude", "radius", "heading",
                                                               "cargo",    "ramp",      "heli"};
    static constexpr double kLimits[4][2] = {{-90, 90}, {-180, 180}, {0, kMaxStandRadiusM},
                                             {-kMaxHeadingDeg, kMaxHeadingDeg}};
    const auto attrs = lf_attributes(parkpos, kNames);
    double values[4] = {};
    for (size_t i = 0; i < 4; ++i) {
        std::optional<double> v = lf_checkedNumber(attrs[i], kLimits[i][0], kLimits[i][1]);
        if (!v) {
            lf_dropWarning(source, parkpos, "stand", id, kNames[i], attrs[i].value());
            return false;
        }
        values[i] = *v;
    }
    if (values[0] == 0 && values[1] == 0) return false;
    // Room for exactly the options of the element: one allocation, no trimming afterwards.
    std::vector<StandOption> options;
    auto opts = parkpos.children("opt");
    options.reserve(static_cast<size_t>(std::distance(opts.begin(), opts.end())));
    uint32_t index = 0;
    for (pugi::xml_node opt : opts) {
        ++index;
        if (!gf_readApfOption(opt, source, index, origin, options.emplace_back())) options.pop_back();
    }
    if (options.size() < options.capacity()) options.shrink_to_fit();
    g_stands.emplace_back(std::move(id), std::move(options), values[0], values[1], gf_degToRad(values[3]),
                          values[2], gf_apfBool(attrs[4].value()), gf_apfBool(attrs[5].value()),
                          gf_apfBool(attrs[6].value()));
    return true;
}
