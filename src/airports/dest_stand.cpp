#include "airports/dest_stand.h"

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/log.h"

double gf_closestStandInFile(const std::filesystem::path& path, LatLon position, std::string& standName) {
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) return kNoStandNm;
    double best = kNoStandNm;
    for (const pugi::xml_node& pos : doc.child("parkpositions").children("parkpos")) {
        const LatLon p{pos.attribute("latitude").as_double(0), pos.attribute("longitude").as_double(0)};
        const double d = gf_haversineNm(position, p);
        if (!(d < best)) continue;
        best = d;
        standName = pos.attribute("id").value();
    }
    return best;
}

double gf_readDestApfForClosestStand(const Airport& airport, LatLon position, std::string& standName) {
    return kNoStandNm;
}
