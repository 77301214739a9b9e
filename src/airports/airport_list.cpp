#include "airports/airport_list.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/dest_stand.h"
#include "core/crypto.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"

std::vector<Airport> g_airports;

namespace {

constexpr size_t kAirportsReserve = 40000;
constexpr int kAirportListError = 88;
// The search starts from this distance; only airports within kClosestAirportNm can win.
constexpr double kClosestStartNm = 100.0;
// One degree of latitude is 60 nm on the program's sphere; the margin covers rounding.
constexpr double kNmPerDegreeLat = 60.0;
constexpr double kLatBandMarginNm = 1e-6;

bool g_airportsLoaded = false;

// The standard string-to-double conversion: leading blanks skipped, the longest numeric
// prefix taken, the rest ignored; its failures carry the texts the log has always shown.
double lf_stod(const char* text) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (end == text) throw std::invalid_argument(kStodError);
    if (errno == ERANGE) throw std::out_of_range("stod argument out of range");
    return value;
}

void lf_readAirport(const pugi::xml_node& node, std::string code) {
    const pugi::xml_attribute lat = node.attribute("lat");
    const pugi::xml_attribute lon = node.attribute("lon");
    const pugi::xml_attribute alt = node.attribute("alt");
    if (!lat || !lon || !alt) {
        gf_logLine(fmt::format("Missing lat/lon/alt for airport '{}'", code));
        return;
    }
    Airport a;
    a.alt = lf_stod(alt.value());
    a.lat = lf_stod(lat.value());
    a.lon = lf_stod(lon.value());
    // "nan" and "inf" are numbers to the conversion, but no place on earth.
    if (!(std::fabs(a.lat) <= 90 && std::fabs(a.lon) <= 180 && std::isfinite(a.alt))) {
        gf_logLine(fmt::format("Invalid lat/lon/alt for airport '{}'", code));
        return;
    }
    a.code = std::move(code);
    a.iata = node.attribute("iata").value();
    g_airports.push_back(std::move(a));
}

// Only airports whose latitude lies within the best distance can be nearer; the band test
// keeps the code order of the walk and skips nearly every haversine.
bool lf_outsideLatBand(const Airport& a, LatLon position, double bestNm) {
    return std::fabs(a.lat - position.lat) * kNmPerDegreeLat > bestNm + kLatBandMarginNm;
}

void lf_readAirportsDocument(const pugi::xml_document& doc, const pugi::xml_parse_result& loaded,
                             std::string_view sourceName) {
    if (!loaded) throw std::runtime_error(fmt::format("{} not loaded: {}", sourceName, loaded.description()));
    const pugi::xml_node root = doc.child("airports");
    if (!root) throw std::runtime_error(fmt::format("Missing <airports> root in: {}", sourceName));
    for (const pugi::xml_node& node : root.children("airport"))
        lf_readAirport(node, node.attribute("code").value());
}

}  // namespace

void gf_readAirportsText(std::string_view xml, std::string_view sourceName) {
    pugi::xml_document doc;
    lf_readAirportsDocument(doc, doc.load_buffer(xml.data(), xml.size()), sourceName);
}

bool gf_readAirports() {
    if (g_airportsLoaded) return !g_airports.empty();
    try {
        // The file that failed and why: a missing plain file would only hide it.
        if (std::string why = gf_decryptFile(g_airportsEncPath, g_airportsXmlPath); !why.empty())
            throw qtk::UserErrorException(kAirportListError, why);
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("gf_readAirports exception : {}", e.what()));
        throw;
    }
    if (g_airports.capacity() < kAirportsReserve) g_airports.reserve(kAirportsReserve);
    try {
        pugi::xml_document doc;
        lf_readAirportsDocument(doc, doc.load_file(g_airportsXmlPath), g_airportsXmlPath);
        // Stable: of two entries with one code the first in the file is the one lookups find.
        std::stable_sort(g_airports.begin(), g_airports.end(),
                         [](const Airport& a, const Airport& b) { return a.code < b.code; });
        gf_logLine(fmt::format("{} airports read", g_airports.size()));
    } catch (const std::exception& e) {
        gf_removeFileIfExists(g_airportsXmlPath);
        // A later call reads again from nothing, not on top of half a list.
        g_airports.clear();
        throw qtk::UserErrorException(kAirportListError, e.what());
    }
    gf_removeFileIfExists(g_airportsXmlPath);
    g_airports.shrink_to_fit();
    g_airportsLoaded = true;
    return !g_airports.empty();
}

const Airport* gf_findAirport(std::string_view code) {
    auto it = std::lower_bound(g_airports.begin(), g_airports.end(), code,
                               [](const Airport& a, std::string_view c) { return a.code < c; });
    return it != g_airports.end() && it->code == code ? &*it : nullptr;
}

std::optional<std::reference_wrapper<const Airport>> gf_findClosestAirport(LatLon position) {
    const Airport* best = nullptr;
    const Airport* neighbour = nullptr;
    double bestNm = kClosestStartNm;
    for (const Airport& a : g_airports) {
        if (lf_outsideLatBand(a, position, std::min(bestNm, kClosestAirportNm))) continue;
        const double d = gf_haversineNm(position, a.position());
        if (d > kClosestAirportNm || d >= bestNm) continue;
        if (best) neighbour = best;
        best = &a;
        bestNm = d;
    }
    if (!best) return std::nullopt;
    if (!neighbour) return std::cref(*best);
    gf_logLine(fmt::format("Airport {} is closest, neighbour is {}", best->code, neighbour->code));
    std::string bestStand, neighbourStand;
    const double bestStandNm = gf_readDestApfForClosestStand(*best, position, bestStand);
    const double neighbourStandNm = gf_readDestApfForClosestStand(*neighbour, position, neighbourStand);
    if (neighbourStandNm >= bestStandNm) return std::cref(*best);
    gf_logLine(fmt::format(
        "Airport {} is closest, but stand {} at neighbouring airport {} is closer at {:.0F} meters ...",
        best->code, neighbourStand, neighbour->code, gf_nmToMeters(neighbourStandNm)));
    return std::cref(*neighbour);
}

std::string gf_airportLabel(const Airport& airport) {
    const std::string_view code =
        airport.code.empty() ? std::string_view("?") : std::string_view(airport.code);
    if (airport.iata.empty()) return std::string(code);
    return fmt::format("{} ({})", code, airport.iata);
}

bool lf_numberAfterPrefix::operator()(std::string_view entry) const {
    if (!entry.starts_with(code)) return false;
    // The number follows the four-letter code: from the fifth character on.
    const std::string rest(entry.size() > 4 ? entry.substr(4) : std::string_view());
    const char* p = rest.c_str();
    const char* digits = p + (*p == '-' ? 1 : 0);
    if (*digits < '0' || *digits > '9') {
        gf_logWarning(fmt::format("{} {} {} {}", publisher, code, entry, "invalid number"));
        return true;
    }
    errno = 0;
    const long value = std::strtol(p, nullptr, 10);
    if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
        gf_logWarning(fmt::format("{} {} {} {}", publisher, code, entry, "invalid number"));
        return true;
    }
    number = static_cast<int>(value);
    return true;
}

void gf_resetAirports() {
    g_airports.clear();
    g_airports.shrink_to_fit();
    g_airportsLoaded = false;
}
