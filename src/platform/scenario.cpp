#include "platform/scenario.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <sstream>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/files.h"
#include "core/geo.h"
#include "core/log.h"
#include "feed/traffic_source.h"

namespace {
using json = nlohmann::json;

constexpr double kNotFinite = std::numeric_limits<double>::quiet_NaN();
constexpr std::array<std::string_view, 11> kColumns = {"t",           "lat",       "lon",        "alt_ft",
                                                       "gs_kt",       "track_deg", "vrate_fpm",  "airborne",
                                                       "airspeed_kt", "roll_deg",  "heading_deg"};
constexpr size_t kRequiredColumns = 8;
constexpr size_t kLastNullIsNotFinite = 8;  // columns after this one take null as "not given"
// A simulator runs at a few to a few hundred frames a second; outside this a frame would last
// for ever or the world would never move.
constexpr double kMinFrameRate = 1, kMaxFrameRate = 1000;
constexpr double kMaxAirportElevationFt = 20000;
constexpr double kMinQnhHpa = 900, kMaxQnhHpa = 1100;

std::string lf_field(const std::string& path, std::string_view key) {
    return path.empty() ? std::string(key) : fmt::format("{}.{}", path, key);
}
std::string lf_item(const std::string& path, size_t index) {
    return fmt::format("{}[{}]", path, index);
}

// Times in the stand-in world: a negative time ends or restarts the run without reason.
constexpr double kMaxScenarioSeconds = 864000;  // ten days

bool lf_positionInRange(double lat, double lon) {
    return std::abs(lat) <= 90 && std::abs(lon) <= 180;
}

// Reads one document into a Scenario; every complaint names the JSON path of its field.
class ScenarioParser {
  public:
    explicit ScenarioParser(std::string_view source) : source_(source) {}
    Scenario parse(const json& doc);
    int droppedRows = 0;
    int droppedParked = 0;
    int droppedTracks = 0;
    std::string firstDroppedTrack;  // "4B1805 (tracks[3])"

  private:
    [[noreturn]] void fail(const std::string& place, std::string_view what) const {
        throw std::runtime_error(
            fmt::format("{}: {}: {}", source_, place.empty() ? "top level" : place, what));
    }
    void expectObject(const json& j, const std::string& path,
                      std::initializer_list<std::string_view> known) const;
    const json* member(const json& obj, std::string_view key) const;
    double number(const json& obj, std::string_view key, const std::string& path) const;
    double numberOr(const json& obj, std::string_view key, const std::string& path, double fallback) const;
    // The number, which must lie within [low, high]; an error naming the field otherwise.
    double within(double value, std::string_view key, const std::string& path, double low, double high) const;
    std::optional<double> optionalNumber(const json& obj, std::string_view key,
                                         const std::string& path) const;
    std::string text(const json& obj, std::string_view key, const std::string& path) const;
    const json& array(const json& obj, std::string_view key, const std::string& path) const;
    uint32_t hexid(const json& obj, const std::string& path) const;
    void parseRows(const json& rows, const std::string& path, std::vector<ScenarioRow>& out);
    ScenarioTrack parseTrack(const json& j, const std::string& path);
    std::optional<ScenarioParked> parseParked(const json& j, const std::string& path);
    ScenarioAirport parseAirport(const json& j, const std::string& path) const;
    ScenarioUserPoint parseUserPoint(const json& j, const std::string& path) const;
    ScenarioFrameDip parseFrameDip(const json& j, const std::string& path) const;
    ScenarioPause parsePause(const json& j, const std::string& path) const;
    bool overlapsEarlierTrack(const ScenarioTrack& track, const std::vector<ScenarioTrack>& kept) const;

    std::string_view source_;
};

void ScenarioParser::expectObject(const json& j, const std::string& path,
                                  std::initializer_list<std::string_view> known) const {
    if (!j.is_object()) fail(path, "expected an object");
    for (const auto& [key, value] : j.items()) {
        bool isKnown = false;
        for (std::string_view k : known) isKnown = isKnown || key == k;
        if (!isKnown) fail(lf_field(path, key), "unknown field");
    }
}

const json* ScenarioParser::member(const json& obj, std::string_view key) const {
    auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

double ScenarioParser::number(const json& obj, std::string_view key, const std::string& path) const {
    const json* v = member(obj, key);
    if (!v) fail(lf_field(path, key), "missing");
    if (!v->is_number()) fail(lf_field(path, key), "expected a number");
    return v->get<double>();
}

double ScenarioParser::numberOr(const json& obj, std::string_view key, const std::string& path,
                                double fallback) const {
    return member(obj, key) ? number(obj, key, path) : fallback;
}

double ScenarioParser::within(double value, std::string_view key, const std::string& path, double low,
                              double high) const {
    if (!(value >= low && value <= high)) fail(lf_field(path, key), fmt::format("must be between {} and {}", low, high));
    return value;
}

std::optional<double> ScenarioParser::optionalNumber(const json& obj, std::string_view key,
                                                     const std::string& path) const {
    if (!member(obj, key)) return std::nullopt;
    return number(obj, key, path);
}

std::string ScenarioParser::text(const json& obj, std::string_view key, const std::string& path) const {
    const json* v = member(obj, key);
    if (!v) return {};
    if (!v->is_string()) fail(lf_field(path, key), "expected a string");
    return v->get<std::string>();
}

const json& ScenarioParser::array(const json& obj, std::string_view key, const std::string& path) const {
    static const json kEmpty = json::array();
    const json* v = member(obj, key);
    if (!v) return kEmpty;
    if (!v->is_array()) fail(lf_field(path, key), "expected an array");
    return *v;
}

uint32_t ScenarioParser::hexid(const json& obj, const std::string& path) const {
    const std::string place = lf_field(path, "hexid");
    const json* v = member(obj, "hexid");
    if (!v) fail(place, "missing");
    const std::string* s = v->get_ptr<const std::string*>();
    if (!s || s->size() != 6 || s->find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        fail(place, "expected a 6-digit hex string");
    return static_cast<uint32_t>(std::stoul(*s, nullptr, 16));
}

void ScenarioParser::parseRows(const json& rows, const std::string& path, std::vector<ScenarioRow>& out) {
    for (size_t i = 0; i < rows.size(); ++i) {
        const json& r = rows[i];
        const std::string place = lf_item(path, i);
        if (!r.is_array() || r.size() < kRequiredColumns || r.size() > kColumns.size())
            fail(place, "expected an array of 8 to 11 numbers");
        std::array<std::optional<double>, kColumns.size()> col;
        for (size_t c = 0; c < r.size(); ++c) {
            if (r[c].is_null()) {
                if (c <= kLastNullIsNotFinite) col[c] = kNotFinite;
                continue;
            }
            if (!r[c].is_number()) fail(place, fmt::format("column {} ({}) is not a number", c, kColumns[c]));
            col[c] = r[c].get<double>();
        }
        ScenarioRow row{*col[0],      *col[1], *col[2], *col[3],
                        *col[4],      *col[5], *col[6], col[8].value_or(0),
                        *col[7] == 1, col[9],  col[10]};
        bool sound = true;
        for (const auto& v : col) sound = sound && (!v || std::isfinite(*v));
        if (sound && *col[7] != 0 && *col[7] != 1) fail(place, "airborne must be 0 or 1");
        sound = sound && gf_withinPhysicalBounds(row.altFt, row.gsKt, row.vrateFpm, row.airspeedKt, row.rollDeg);
        if (!sound || !lf_positionInRange(row.lat, row.lon) || (!out.empty() && row.t <= out.back().t)) {
            ++droppedRows;
            continue;
        }
        out.push_back(row);
    }
}

ScenarioTrack ScenarioParser::parseTrack(const json& j, const std::string& path) {
    expectObject(j, path,
                 {"hexid", "airline", "type", "origin", "destination", "callsign", "registration", "rows"});
    ScenarioTrack track;
    track.hexid = hexid(j, path);
    track.airline = text(j, "airline", path);
    track.type = text(j, "type", path);
    track.origin = text(j, "origin", path);
    track.destination = text(j, "destination", path);
    track.callsign = text(j, "callsign", path);
    track.registration = text(j, "registration", path);
    parseRows(array(j, "rows", path), lf_field(path, "rows"), track.rows);
    return track;
}

std::optional<ScenarioParked> ScenarioParser::parseParked(const json& j, const std::string& path) {
    expectObject(
        j, path,
        {"hexid", "airline", "type", "callsign", "registration", "lat", "lon", "half_hours_ago", "info"});
    ScenarioParked p;
    p.hexid = hexid(j, path);
    p.airline = text(j, "airline", path);
    p.type = text(j, "type", path);
    p.callsign = text(j, "callsign", path);
    p.registration = text(j, "registration", path);
    p.lat = number(j, "lat", path);
    p.lon = number(j, "lon", path);
    if (const json* h = member(j, "half_hours_ago")) {
        const bool fits =
            h->is_number_unsigned()
                ? h->get<uint64_t>() <= INT32_MAX
                : h->is_number_integer() && h->get<int64_t>() >= INT32_MIN && h->get<int64_t>() <= INT32_MAX;
        if (!fits) fail(lf_field(path, "half_hours_ago"), "expected a 32-bit integer");
        p.halfHoursAgo = h->get<int>();
    }
    p.info = text(j, "info", path);
    if (lf_positionInRange(p.lat, p.lon)) return p;
    ++droppedParked;
    return std::nullopt;
}

ScenarioAirport ScenarioParser::parseAirport(const json& j, const std::string& path) const {
    expectObject(j, path, {"icao", "lat", "lon", "elevation_ft"});
    ScenarioAirport a{text(j, "icao", path), number(j, "lat", path), number(j, "lon", path),
                      within(number(j, "elevation_ft", path), "elevation_ft", path, kMinAltitudeFt,
                             kMaxAirportElevationFt)};
    if (!lf_positionInRange(a.lat, a.lon)) fail(path, "position out of range");
    return a;
}

ScenarioUserPoint ScenarioParser::parseUserPoint(const json& j, const std::string& path) const {
    expectObject(j, path, {"t", "lat", "lon", "alt_ft", "heading_deg", "gs_kt", "on_ground"});
    ScenarioUserPoint u;
    u.t = number(j, "t", path);
    u.lat = number(j, "lat", path);
    u.lon = number(j, "lon", path);
    u.altFt = within(number(j, "alt_ft", path), "alt_ft", path, kMinAltitudeFt, kMaxAltitudeFt);
    u.headingDeg = gf_wrapDeg360(numberOr(j, "heading_deg", path, 0));
    u.gsKt = within(numberOr(j, "gs_kt", path, 0), "gs_kt", path, 0, kMaxSpeedKt);
    if (const json* g = member(j, "on_ground")) {
        if (!g->is_boolean()) fail(lf_field(path, "on_ground"), "expected true or false");
        u.onGround = g->get<bool>();
    }
    if (!lf_positionInRange(u.lat, u.lon)) fail(path, "position out of range");
    return u;
}

ScenarioFrameDip ScenarioParser::parseFrameDip(const json& j, const std::string& path) const {
    expectObject(j, path, {"at_s", "duration_s", "frame_rate"});
    return {within(number(j, "at_s", path), "at_s", path, 0, kMaxScenarioSeconds),
            within(number(j, "duration_s", path), "duration_s", path, 0, kMaxScenarioSeconds),
            within(number(j, "frame_rate", path), "frame_rate", path, kMinFrameRate, kMaxFrameRate)};
}

ScenarioPause ScenarioParser::parsePause(const json& j, const std::string& path) const {
    expectObject(j, path, {"at_s", "duration_s"});
    return {within(number(j, "at_s", path), "at_s", path, 0, kMaxScenarioSeconds),
            within(number(j, "duration_s", path), "duration_s", path, 0, kMaxScenarioSeconds)};
}

// One aircraft cannot be in two places at once: the feed would deliver both tracks under one
// address and live traffic could follow neither. Tracks of one address that follow each other
// in time are the same aircraft's flights and stay.
bool ScenarioParser::overlapsEarlierTrack(const ScenarioTrack& track, const std::vector<ScenarioTrack>& kept) const {
    if (track.rows.empty()) return false;
    for (const ScenarioTrack& other : kept) {
        if (other.hexid != track.hexid || other.rows.empty()) continue;
        if (track.rows.front().t <= other.rows.back().t && other.rows.front().t <= track.rows.back().t) return true;
    }
    return false;
}

Scenario ScenarioParser::parse(const json& doc) {
    expectObject(doc, "",
                 {"frame_rate", "run_length_s", "connection_loss_at_s", "park_airport", "qnh_hpa", "pauses",
                  "installed_titles", "frame_dips", "airports", "user", "tracks", "parked"});
    Scenario s;
    s.frameRate = within(numberOr(doc, "frame_rate", "", s.frameRate), "frame_rate", "", kMinFrameRate, kMaxFrameRate);
    if (const auto v = optionalNumber(doc, "run_length_s", ""))
        s.runLengthSeconds = within(*v, "run_length_s", "", 0, kMaxScenarioSeconds);
    if (const auto v = optionalNumber(doc, "connection_loss_at_s", ""))
        s.connectionLossAtSecond = within(*v, "connection_loss_at_s", "", 0, kMaxScenarioSeconds);
    s.parkAirport = text(doc, "park_airport", "");
    if (const auto qnh = optionalNumber(doc, "qnh_hpa", "")) s.qnhHpa = within(*qnh, "qnh_hpa", "", kMinQnhHpa, kMaxQnhHpa);
    const json& pauses = array(doc, "pauses", "");
    for (size_t i = 0; i < pauses.size(); ++i) s.pauses.push_back(parsePause(pauses[i], lf_item("pauses", i)));
    const json& titles = array(doc, "installed_titles", "");
    for (size_t i = 0; i < titles.size(); ++i) {
        if (!titles[i].is_string()) fail(lf_item("installed_titles", i), "expected a string");
        s.installedTitles.push_back(titles[i].get<std::string>());
    }
    const json& dips = array(doc, "frame_dips", "");
    for (size_t i = 0; i < dips.size(); ++i)
        s.frameDips.push_back(parseFrameDip(dips[i], lf_item("frame_dips", i)));
    const json& airports = array(doc, "airports", "");
    for (size_t i = 0; i < airports.size(); ++i)
        s.airports.push_back(parseAirport(airports[i], lf_item("airports", i)));
    if (!s.parkAirport.empty() &&
        std::none_of(s.airports.begin(), s.airports.end(),
                     [&](const ScenarioAirport& a) { return a.icao == s.parkAirport; }))
        fail("park_airport", "names no airport of the scenario");
    const json& user = array(doc, "user", "");
    for (size_t i = 0; i < user.size(); ++i) s.user.push_back(parseUserPoint(user[i], lf_item("user", i)));
    const json& tracks = array(doc, "tracks", "");
    for (size_t i = 0; i < tracks.size(); ++i) {
        ScenarioTrack track = parseTrack(tracks[i], lf_item("tracks", i));
        if (overlapsEarlierTrack(track, s.tracks)) {
            if (droppedTracks++ == 0) firstDroppedTrack = fmt::format("{:06X} ({})", track.hexid, lf_item("tracks", i));
            continue;
        }
        s.tracks.push_back(std::move(track));
    }
    const json& parked = array(doc, "parked", "");
    for (size_t i = 0; i < parked.size(); ++i)
        if (auto p = parseParked(parked[i], lf_item("parked", i))) s.parked.push_back(std::move(*p));
    return s;
}

// Shortest text that reads back as the same double; null for what JSON cannot hold.
std::string lf_number(double v) {
    return std::isfinite(v) ? fmt::format("{}", v) : "null";
}
std::string lf_string(std::string_view s) {
    return json(s).dump();
}

std::string lf_row(const ScenarioRow& r) {
    std::string out = fmt::format("[{}, {}, {}, {}, {}, {}, {}, {}", lf_number(r.t), lf_number(r.lat),
                                  lf_number(r.lon), lf_number(r.altFt), lf_number(r.gsKt),
                                  lf_number(r.trackDeg), lf_number(r.vrateFpm), r.airborne ? 1 : 0);
    if (r.airspeedKt != 0 || r.rollDeg || r.trueHeadingDeg) out += ", " + lf_number(r.airspeedKt);
    if (r.rollDeg || r.trueHeadingDeg) out += ", " + (r.rollDeg ? lf_number(*r.rollDeg) : "null");
    if (r.trueHeadingDeg) out += ", " + lf_number(*r.trueHeadingDeg);
    return out + "]";
}

template <typename T, typename F>
void lf_list(std::string& out, std::string_view key, const std::vector<T>& items, F itemText) {
    fmt::format_to(std::back_inserter(out), ",\n  \"{}\": [", key);
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ",\n    " : "\n    ") + itemText(items[i]);
    out += items.empty() ? "]" : "\n  ]";
}

std::string lf_track(const ScenarioTrack& t) {
    std::string out = fmt::format(
        "{{\"hexid\": \"{:06x}\", \"airline\": {}, \"type\": {}, \"origin\": {}, \"destination\": {}, "
        "\"callsign\": {}, \"registration\": {}, \"rows\": [",
        t.hexid, lf_string(t.airline), lf_string(t.type), lf_string(t.origin), lf_string(t.destination),
        lf_string(t.callsign), lf_string(t.registration));
    for (size_t i = 0; i < t.rows.size(); ++i) out += (i ? ",\n      " : "\n      ") + lf_row(t.rows[i]);
    return out + "]}";
}
}  // namespace

Scenario gf_parseScenario(std::string_view text, std::string_view sourceName) {
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        throw std::runtime_error(fmt::format("{}: byte {}: {}", sourceName, e.byte, e.what()));
    } catch (const json::exception& e) {
        throw std::runtime_error(fmt::format("{}: {}", sourceName, e.what()));
    }
    ScenarioParser parser(sourceName);
    Scenario scenario = parser.parse(doc);
    if (parser.droppedRows + parser.droppedParked > 0)
        gf_logWarning(fmt::format(
            "{}: dropped {} track row{} and {} parked aircraft (time or position not "
            "finite, out of range or out of order)",
            sourceName, parser.droppedRows, parser.droppedRows == 1 ? "" : "s", parser.droppedParked));
    if (parser.droppedTracks > 0)
        gf_logWarning(fmt::format("{}: dropped {} track{} whose hexid an earlier track has at the same time (first: {})",
                                  sourceName, parser.droppedTracks, parser.droppedTracks == 1 ? "" : "s",
                                  parser.firstDroppedTrack));
    return scenario;
}

Scenario gf_readScenarioFile(const std::filesystem::path& path) {
    std::string text;
    if (auto why = gf_readWholeFile(path, text))
        throw std::runtime_error(fmt::format("{}: cannot be read: {}", path.string(), *why));
    return gf_parseScenario(text, path.string());
}

std::string gf_scenarioToJson(const Scenario& s) {
    std::string out = fmt::format("{{\n  \"frame_rate\": {}", lf_number(s.frameRate));
    if (s.runLengthSeconds) out += ",\n  \"run_length_s\": " + lf_number(*s.runLengthSeconds);
    if (s.connectionLossAtSecond)
        out += ",\n  \"connection_loss_at_s\": " + lf_number(*s.connectionLossAtSecond);
    out += ",\n  \"park_airport\": " + lf_string(s.parkAirport);
    if (s.qnhHpa) out += ",\n  \"qnh_hpa\": " + lf_number(*s.qnhHpa);
    lf_list(out, "pauses", s.pauses, [](const ScenarioPause& p) {
        return fmt::format("{{\"at_s\": {}, \"duration_s\": {}}}", lf_number(p.atSecond), lf_number(p.durationSeconds));
    });
    lf_list(out, "installed_titles", s.installedTitles, lf_string);
    lf_list(out, "frame_dips", s.frameDips, [](const ScenarioFrameDip& d) {
        return fmt::format("{{\"at_s\": {}, \"duration_s\": {}, \"frame_rate\": {}}}", lf_number(d.atSecond),
                           lf_number(d.durationSeconds), lf_number(d.frameRate));
    });
    lf_list(out, "airports", s.airports, [](const ScenarioAirport& a) {
        return fmt::format("{{\"icao\": {}, \"lat\": {}, \"lon\": {}, \"elevation_ft\": {}}}",
                           lf_string(a.icao), lf_number(a.lat), lf_number(a.lon), lf_number(a.elevationFt));
    });
    lf_list(out, "user", s.user, [](const ScenarioUserPoint& u) {
        return fmt::format(
            "{{\"t\": {}, \"lat\": {}, \"lon\": {}, \"alt_ft\": {}, \"heading_deg\": {}, \"gs_kt\": {}, "
            "\"on_ground\": {}}}",
            lf_number(u.t), lf_number(u.lat), lf_number(u.lon), lf_number(u.altFt), lf_number(u.headingDeg),
            lf_number(u.gsKt), u.onGround);
    });
    lf_list(out, "tracks", s.tracks, lf_track);
    lf_list(out, "parked", s.parked, [](const ScenarioParked& p) {
        return fmt::format(
            "{{\"hexid\": \"{:06x}\", \"airline\": {}, \"type\": {}, \"callsign\": {}, \"registration\": {}, "
            "\"lat\": {}, \"lon\": {}, \"half_hours_ago\": {}, \"info\": {}}}",
            p.hexid, lf_string(p.airline), lf_string(p.type), lf_string(p.callsign),
            lf_string(p.registration), lf_number(p.lat), lf_number(p.lon), p.halfHoursAgo, lf_string(p.info));
    });
    return out + "\n}\n";
}
