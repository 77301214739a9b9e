// Makes scenery (.BGL) airport files from a readable description, for the demo's add-on
// scenery and the fuzz seeds. Usage: trelvo_make_bgl <description.json> <output folder>
//
// The description: {"files": [{"path": "ORBX/LOWI/scenery/LOWI.bgl", "sections": 0,
//   "airports": [{"id": 60 or 171, "icao": "LOWI", "altitude_m": 581.0, "names": ["Innsbruck"],
//     "helipads": [{"lat": 47.26, "lon": 11.34, "width": 20, "heading": 0}],
//     "parkings": [{"code": 10, "type": 4, "number": 1, "radius": 20, "heading": 90,
//                   "lat": 47.26, "lon": 11.35, "airlines": 0}],
//     "grid": {"count": 120, "lat": 47.26, "lon": 11.35, "code": 10, "type": 4, "radius": 22}}]}]}
// A file without airports gets a section table without an airport section.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "support/bgl_builder.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

BglParkingSpec lf_parking(const json& j) {
    BglParkingSpec p{j.value("code", 10u), j.value("type", 4u), j.value("number", 1u), j.value("radius", 20.0f),
                     j.value("heading", 90.0f), j.at("lat").get<double>(), j.at("lon").get<double>(), {}};
    p.airlines.assign(j.value("airlines", 0u), 0x41414100u);
    return p;
}

// Stands in rows of ten, 60 m apart, numbered from 1.
void lf_grid(const json& g, std::vector<BglParkingSpec>& out) {
    const double lat0 = g.at("lat").get<double>(), lon0 = g.at("lon").get<double>();
    const double degPerM = 1.0 / 111120.0;
    for (uint32_t i = 0; i < g.at("count").get<uint32_t>(); ++i) {
        const double lat = lat0 + (i / 10) * 60.0 * degPerM;
        const double lon = lon0 + (i % 10) * 60.0 * degPerM / std::cos(lat0 * M_PI / 180.0);
        out.push_back({g.value("code", 10u), g.value("type", 4u), i + 1, g.value("radius", 22.0f), 180.0f, lat, lon, {}});
    }
}

BglAirportSpec lf_airport(const json& j) {
    BglAirportSpec a;
    a.id = j.value("id", 0x3C);
    a.icaoPacked = tst_packIcao(j.at("icao").get<std::string>());
    a.altitudeMm = static_cast<int32_t>(std::lround(j.value("altitude_m", 0.0) * 1000.0));
    a.names = j.value("names", std::vector<std::string>{});
    for (const json& h : j.value("helipads", json::array()))
        a.helipads.push_back({h.at("lat").get<double>(), h.at("lon").get<double>(), h.value("width", 20.0f), h.value("heading", 0.0f)});
    for (const json& p : j.value("parkings", json::array())) a.parkings.push_back(lf_parking(p));
    if (j.contains("grid")) lf_grid(j.at("grid"), a.parkings);
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: trelvo_make_bgl <description.json> <output folder>\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1]);
        const json description = json::parse(in);
        for (const json& f : description.at("files")) {
            std::vector<BglAirportSpec> airports;
            for (const json& a : f.value("airports", json::array())) airports.push_back(lf_airport(a));
            std::string bytes = tst_bglFile(airports, f.value("sections", 0));
            if (airports.empty()) bytes[0x38] = 0x65;  // no airport section at all
            const fs::path target = fs::path(argv[2]) / f.at("path").get<std::string>();
            fs::create_directories(target.parent_path());
            std::ofstream(target, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trelvo_make_bgl: %s\n", e.what());
        return 1;
    }
    return 0;
}
