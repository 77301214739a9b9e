#include "platform/scenario_tools.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <limits>

#include <fmt/format.h>
#include <cstdio>

#include "core/atomic_file.h"
#include "core/files.h"
#include "core/geo.h"
#include "core/log.h"
#include "core/text.h"

std::vector<std::string> gf_csvFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

namespace {

// Calls f(lineNumber, fields) for every line after the header; carriage returns are dropped.
template <typename F>
void lf_forEachCsvLine(std::string_view text, F f) {
    int lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (++lineNumber == 1 || line.empty()) continue;
        f(lineNumber, gf_csvFields(line));
    }
}

// A finite number, or nothing for an empty cell; a cell that is not a number is nothing too and
// marks the line bad through *bad.
std::optional<double> lf_cell(const std::string& cell, bool* bad) {
    if (cell.empty()) return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), v);
    if (ec != std::errc() || end != cell.data() + cell.size() || !std::isfinite(v)) {
        *bad = true;
        return std::nullopt;
    }
    return v;
}

void lf_reportDropped(std::string_view sourceName, int dropped, int firstLine) {
    if (dropped == 0) return;
    gf_logWarning(
        fmt::format("{}: dropped {} line{} (first at line {}): fields missing, not finite or out of range",
                    sourceName, dropped, gf_plural(dropped), firstLine));
}

bool lf_isHexAddress(const std::string& s) {
    return s.size() == 6 && s.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

bool lf_inRange(double lat, double lon) {
    return std::abs(lat) <= 90 && std::abs(lon) <= 180;
}

// The nearest airport within the touch radius, or nothing.
const ScenarioAirport* lf_nearest(LatLon p, const std::vector<ScenarioAirport>& airports) {
    const ScenarioAirport* best = nullptr;
    double bestNm = kTouchRadiusNm;
    for (const ScenarioAirport& a : airports) {
        if (std::abs(a.lat - p.lat) > kTouchRadiusNm / 60 + 0.01) continue;
        const double nm = gf_haversineNm(p, {a.lat, a.lon});
        if (nm <= bestNm) {
            best = &a;
            bestNm = nm;
        }
    }
    return best;
}

bool lf_isGround(const RealTrackRow& r) {
    return r.onGround.value_or(false);
}

void lf_addOnce(std::vector<ScenarioAirport>& list, const ScenarioAirport* a) {
    if (a) gf_mergeAirports(list, {*a});
}

// Speed and track of a row as its positions and times give them: from the row where its position
// first appeared to the next row with another position (the feed repeats a position until a new
// one comes), or from the position before at the end of the track.
struct Motion {
    bool known = false;
    double gsKt = 0, trackDeg = 0;
};

std::vector<Motion> lf_motionsFromPositions(const std::vector<RealTrackRow>& rows) {
    std::vector<size_t> fixes;  // rows whose position differs from the row before
    for (size_t i = 0; i < rows.size(); ++i)
        if (i == 0 || rows[i].lat != rows[i - 1].lat || rows[i].lon != rows[i - 1].lon) fixes.push_back(i);
    std::vector<Motion> out(rows.size());
    size_t f = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        while (f + 1 < fixes.size() && fixes[f + 1] <= i) ++f;
        if (fixes.size() < 2) break;
        const size_t from = f + 1 < fixes.size() ? fixes[f] : fixes[f - 1];
        const size_t to = f + 1 < fixes.size() ? fixes[f + 1] : fixes[f];
        const double seconds = rows[to].t - rows[from].t;
        if (!(seconds > 0)) continue;
        const LatLon a{rows[from].lat, rows[from].lon}, b{rows[to].lat, rows[to].lon};
        out[i] = {true, gf_haversineNm(a, b) * 3600 / seconds, gf_radToDeg(gf_wrapTwoPi(gf_bearingRad(a, b)))};
    }
    return out;
}

// What the demo makes of the ten real aircraft: types and registrations that dbase.xml and the
// installed liveries know; airlines where the callsign names none.
const std::vector<TrackIdentity> kDemoIdentities = {
    {0x3c664e, "A320", "D-AIZC", ""},     // DLH4TR, approach to runway 14
    {0x0083c3, "B738", "TC-COB", ""},     // CAI3208, landing on 14 and taxi; no CAI livery installed
    {0x3946e4, "A320", "F-GKXA", ""},     // AFR181L, taxi and take-off on 28
    {0x4b17e5, "A320", "HB-IJK", "SWR"},  // "SWISS", parked with jittering positions
    {0x4b43ac, "EC45", "HB-ZQA", "SAZ"},  // REGA1, helicopter to Dubendorf
    {0x4b1815, "A320", "HB-IJF", "SWR"},  // no callsign, cruise with a time fault
    {0x4baac6, "B38M", "TC-LCA", ""},     // THY9BP, cruise with spoofed positions
    {0xac671b, "B739", "N899DN", ""},     // the three Delta legs of one day
};

}  // namespace

const std::vector<TrackIdentity>& gf_demoIdentities() {
    return kDemoIdentities;
}

TrackIdentity gf_demoIdentity(uint32_t hexid) {
    for (const TrackIdentity& id : kDemoIdentities)
        if (id.hexid == hexid) return id;
    return {hexid, "", "", ""};
}

std::string gf_readTextFile(const std::filesystem::path& path) {
    std::string text;
    if (auto why = gf_readWholeFile(path, text))
        throw std::runtime_error(fmt::format("{}: cannot be read: {}", path.string(), *why));
    return text;
}

void gf_writeScenarioFile(const std::filesystem::path& path, const Scenario& scenario) {
    if (!gf_writeFileAtomically(path, gf_scenarioToJson(scenario)))
        throw std::runtime_error(fmt::format("{}: cannot be written", path.string()));
}

int gf_runTool(std::string_view tool, int (*body)(int, char**), int argc, char** argv) {
    try {
        return body(argc, argv);
    } catch (const std::exception& e) {
        fmt::print(stderr, "{}: {}\n", tool, e.what());
        return 1;
    }
}

RealTrack gf_parseRealTrackCsv(std::string_view text, std::string_view sourceName) {
    RealTrack track;
    int firstBad = 0;
    lf_forEachCsvLine(text, [&](int lineNumber, const std::vector<std::string>& f) {
        bool bad = f.size() != 10 || !lf_isHexAddress(f[1]);
        RealTrackRow row;
        if (!bad) {
            const auto t = lf_cell(f[0], &bad), lat = lf_cell(f[3], &bad), lon = lf_cell(f[4], &bad);
            row.altFt = lf_cell(f[5], &bad);
            row.gsKt = lf_cell(f[6], &bad);
            row.trackDeg = lf_cell(f[7], &bad);
            row.vrateFpm = lf_cell(f[8], &bad);
            if (!f[9].empty()) row.onGround = f[9] == "1";
            bad = bad || !t || !lat || !lon || !lf_inRange(*lat, *lon) ||
                  (f[9] != "" && f[9] != "0" && f[9] != "1");
            if (!bad) row.t = *t, row.lat = *lat, row.lon = *lon;
        }
        if (bad) {
            if (track.droppedLines++ == 0) firstBad = lineNumber;
            return;
        }
        if (track.rows.empty()) track.hexid = static_cast<uint32_t>(std::stoul(f[1], nullptr, 16));
        if (track.callsign.empty()) track.callsign = gf_trim(f[2]);
        track.rows.push_back(row);
    });
    lf_reportDropped(sourceName, track.droppedLines, firstBad);
    return track;
}

std::vector<ScenarioAirport> gf_parseAirportsCsv(std::string_view text, std::string_view sourceName) {
    std::vector<ScenarioAirport> airports;
    int dropped = 0, firstBad = 0;
    lf_forEachCsvLine(text, [&](int lineNumber, const std::vector<std::string>& f) {
        bool bad = f.size() < 6 || f[0].size() != 4;
        std::optional<double> lat, lon, elevation;
        if (!bad) lat = lf_cell(f[3], &bad), lon = lf_cell(f[4], &bad), elevation = lf_cell(f[5], &bad);
        if (bad || !lat || !lon || !elevation || !lf_inRange(*lat, *lon)) {
            if (dropped++ == 0) firstBad = lineNumber;
            return;
        }
        airports.push_back({f[0], *lat, *lon, *elevation});
    });
    lf_reportDropped(sourceName, dropped, firstBad);
    return airports;
}

std::vector<ScenarioAirport> gf_airportsTouched(const RealTrack& track,
                                                const std::vector<ScenarioAirport>& airports) {
    std::vector<ScenarioAirport> touched;
    const auto firstGround = std::find_if(track.rows.begin(), track.rows.end(), lf_isGround);
    const auto lastGround = std::find_if(track.rows.rbegin(), track.rows.rend(), lf_isGround);
    if (firstGround != track.rows.end()) {
        lf_addOnce(touched, lf_nearest({firstGround->lat, firstGround->lon}, airports));
        lf_addOnce(touched, lf_nearest({lastGround->lat, lastGround->lon}, airports));
    }
    for (const RealTrackRow& r : track.rows) {
        const ScenarioAirport* a = lf_nearest({r.lat, r.lon}, airports);
        if (!a) continue;
        const bool low = lf_isGround(r) || (r.altFt && *r.altFt < a->elevationFt + kTouchHeightFt);
        if (low) lf_addOnce(touched, a);
    }
    return touched;
}

double gf_groundAltitudeOffset(const RealTrack& track, const std::vector<ScenarioAirport>& touched) {
    std::vector<double> altitudes;
    const RealTrackRow* first = nullptr;
    for (const RealTrackRow& r : track.rows) {
        if (!lf_isGround(r) || !r.altFt) continue;
        if (!first) first = &r;
        altitudes.push_back(*r.altFt);
    }
    if (!first) return 0;
    const ScenarioAirport* airport = lf_nearest({first->lat, first->lon}, touched);
    if (!airport) return 0;
    const size_t mid = altitudes.size() / 2;
    std::nth_element(altitudes.begin(), altitudes.begin() + mid, altitudes.end());
    double median = altitudes[mid];
    if (altitudes.size() % 2 == 0)
        median = (median + *std::max_element(altitudes.begin(), altitudes.begin() + mid)) / 2;
    return airport->elevationFt - median;
}

std::string gf_airlineFromCallsign(std::string_view callsign) {
    if (callsign.size() < 4) return {};
    for (size_t i = 0; i < 3; ++i)
        if (!std::isupper(static_cast<unsigned char>(callsign[i]))) return {};
    if (!std::isdigit(static_cast<unsigned char>(callsign[3]))) return {};
    return std::string(callsign.substr(0, 3));
}

ScenarioTrack gf_convertRealTrack(const RealTrack& track, const TrackIdentity& identity, double startSeconds,
                                  const std::vector<ScenarioAirport>& touched, ConversionCounts& counts) {
    ScenarioTrack out;
    out.hexid = track.hexid;
    out.callsign = track.callsign;
    out.airline = identity.airline.empty() ? gf_airlineFromCallsign(track.callsign) : identity.airline;
    out.type = identity.type;
    out.registration = identity.registration;
    const double offset = gf_groundAltitudeOffset(track, touched);
    const double fallbackElevation = touched.empty() ? 0 : touched.front().elevationFt;
    const std::vector<Motion> motions = lf_motionsFromPositions(track.rows);
    std::optional<double> lastAlt;
    double gs = 0, trackDeg = 0, vrate = 0;
    bool airborne = true;
    for (size_t i = 0; i < track.rows.size(); ++i) {
        const RealTrackRow& r = track.rows[i];
        if (r.gsKt) {
            gs = *r.gsKt;
        } else if (motions[i].known) {
            gs = motions[i].gsKt;
            ++counts.speedsFromPositions;
        }
        if (r.trackDeg)
            trackDeg = *r.trackDeg;
        else if (motions[i].known && motions[i].gsKt > 0)
            trackDeg = motions[i].trackDeg;
        vrate = r.vrateFpm.value_or(vrate);
        if (r.onGround) airborne = !*r.onGround;
        std::optional<double> alt = r.altFt ? std::optional(*r.altFt + offset) : std::nullopt;
        if (!alt && lf_isGround(r)) {
            const ScenarioAirport* near = lf_nearest({r.lat, r.lon}, touched);
            alt = near ? near->elevationFt : fallbackElevation;
        }
        if (!alt) alt = lastAlt;
        if (!alt) {
            ++counts.droppedRows;
            continue;
        }
        lastAlt = alt;
        ScenarioRow row;
        row.t = r.t + startSeconds;
        row.lat = r.lat;
        row.lon = r.lon;
        row.altFt = airborne ? *alt : 0.0;  // on the ground as the service reports it
        row.gsKt = gs;
        row.trackDeg = trackDeg;
        row.vrateFpm = vrate;
        row.airborne = airborne;
        out.rows.push_back(row);
    }
    return out;
}

void gf_mergeAirports(std::vector<ScenarioAirport>& into, const std::vector<ScenarioAirport>& more) {
    for (const ScenarioAirport& a : more) {
        const bool known =
            std::any_of(into.begin(), into.end(), [&](const ScenarioAirport& b) { return b.icao == a.icao; });
        if (!known) into.push_back(a);
    }
}

std::vector<std::string> gf_parseTitleList(std::string_view text) {
    std::vector<std::string> titles;
    for (std::string& line : gf_split(text, '\n'))
        if (!line.empty()) titles.push_back(std::move(line));
    return titles;
}
