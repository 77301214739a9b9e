#include "sim/flight_plan.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/atomic_file.h"
#include "core/files.h"

namespace fs = std::filesystem;

namespace {

// Codes come from the traffic feed: only plain airport identifiers go into a file.
bool lf_isAirportCode(std::string_view code) {
    return code.size() >= 2 && code.size() <= 8 &&
           std::all_of(code.begin(), code.end(), [](unsigned char c) { return std::isalnum(c); });
}

void lf_addText(pugi::xml_node parent, const char* name, std::string_view text) {
    parent.append_child(name).text().set(std::string(text).c_str());
}

void lf_addAirportWaypoint(pugi::xml_node plan, std::string_view code) {
    auto wp = plan.append_child("ATCWaypoint");
    wp.append_attribute("id") = std::string(code).c_str();
    lf_addText(wp, "ATCWaypointType", "Airport");
    lf_addText(wp.append_child("ICAO"), "ICAOIdent", code);
}

std::string lf_planDocument(std::string_view origin, std::string_view destination) {
    pugi::xml_document doc;
    auto decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    auto root = doc.append_child("SimBase.Document");
    root.append_attribute("Type") = "AceXML";
    root.append_attribute("version") = "1,0";
    lf_addText(root, "Descr", "AceXML Document");
    auto plan = root.append_child("FlightPlan.FlightPlan");
    lf_addText(plan, "Title", fmt::format("{} to {}", origin, destination));
    lf_addText(plan, "FPType", "IFR");
    lf_addText(plan, "DepartureID", origin);
    lf_addText(plan, "DestinationID", destination);
    lf_addAirportWaypoint(plan, origin);
    lf_addAirportWaypoint(plan, destination);
    std::ostringstream out;
    doc.save(out, "    ", pugi::format_default, pugi::encoding_utf8);
    return out.str();
}

bool lf_isOurPlan(const fs::path& p) {
    auto stem = p.stem().string();
    return p.extension() == ".pln" && !stem.empty() &&
           std::all_of(stem.begin(), stem.end(), [](unsigned char c) { return std::isdigit(c); });
}

}  // namespace

fs::path gf_flightPlanFileName(uint32_t objectId) {
    return fs::path(g_flightPlanFolder) / fmt::format("{}.pln", objectId);
}

void gf_removeFlightPlan(uint32_t objectId) {
    gf_removeFileIfExists(gf_flightPlanFileName(objectId));
}

bool gf_writeFlightPlan(const fs::path& path, std::string_view origin, std::string_view destination) {
    if (!lf_isAirportCode(origin) || !lf_isAirportCode(destination)) return false;
    return gf_writeFileAtomically(path, lf_planDocument(origin, destination));
}

int gf_cleanFlightPlans() {
    std::error_code ec;
    int removed = 0;
    for (fs::directory_iterator it(g_flightPlanFolder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && lf_isOurPlan(it->path()) && fs::remove(it->path(), ec)) ++removed;
    }
    return removed;
}
