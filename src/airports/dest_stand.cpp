#include "airports/dest_stand.h"

#include <filesystem>
#include <optional>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/apf_lookup.h"
#include "airports/stock.h"
#include "core/log.h"

namespace fs = std::filesystem;

namespace {

// The distance to the nearest stand of a parking file (100 without stands); nothing when the
// file does not load.
std::optional<double> lf_closestStandInFile(const fs::path& path, LatLon position, std::string& standName) {
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) return std::nullopt;
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

}  // namespace

double gf_readDestApfForClosestStand(const Airport& airport, LatLon position, std::string& standName) {
    try {
        const std::string location = gf_findApf(airport.code);
        if (location.empty()) return kNoStandNm;
        if (location.starts_with("airports"))
            return lf_closestStandInFile(location, position, standName).value_or(kNoStandNm);
        // Not yet answered: the caller learns it from gf_siteWaits and asks again. A failure of
        // the site has been logged where its answer came in.
        const std::optional<std::string> error = lf_downloadFile(location, kDownloadedApf);
        if (!error || !error->empty()) return kNoStandNm;
        const std::optional<double> best = lf_closestStandInFile(kDownloadedApf, position, standName);
        // A copy that does not load stays; the next download overwrites it.
        if (best) fs::remove(kDownloadedApf);
        return best.value_or(kNoStandNm);
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("{}: {}", "gf_readDestApfForClosestStand", e.what()));
        return kNoStandNm;
    }
}
