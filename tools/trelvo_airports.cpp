// trelvo_airports <airports.csv> <airports.xml>: turns the airport table (header line
// "icao,iata,name,lat,lon,elevation_ft,type", fields quoted where needed) into the airport list
// the program reads (airports/airport_list.h). Numbers are copied as the table writes them.
// Rows without a four-character code or with a number that does not read are reported on
// stderr and left out.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "platform/scenario_tools.h"

namespace {

enum Column { kIcao, kIata, kName, kLat, kLon, kElevation, kType, kColumns };

bool lf_isNumber(const std::string& text, double low, double high) {
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    return ec == std::errc() && end == text.data() + text.size() && v >= low && v <= high;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: trelvo_airports <airports.csv> <airports.xml>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "trelvo_airports: cannot read %s\n", argv[1]);
        return 1;
    }
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("airports");
    std::string line;
    std::getline(in, line);  // header
    int lineNumber = 1, written = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> f = gf_csvFields(line);
        if (f.size() != kColumns || f[kIcao].size() != 4 || !lf_isNumber(f[kLat], -90, 90) ||
            !lf_isNumber(f[kLon], -180, 180) || !lf_isNumber(f[kElevation], -2000, 30000)) {
            std::fprintf(stderr, "%s:%d: row left out: %s\n", argv[1], lineNumber, line.c_str());
            continue;
        }
        pugi::xml_node a = root.append_child("airport");
        a.append_attribute("code") = f[kIcao].c_str();
        if (!f[kIata].empty()) a.append_attribute("iata") = f[kIata].c_str();
        a.append_attribute("lat") = f[kLat].c_str();
        a.append_attribute("lon") = f[kLon].c_str();
        a.append_attribute("alt") = f[kElevation].c_str();
        ++written;
    }
    if (!doc.save_file(argv[2], "  ", pugi::format_indent)) {
        std::fprintf(stderr, "trelvo_airports: cannot write %s\n", argv[2]);
        return 1;
    }
    std::fprintf(stderr, "trelvo_airports: %d airports written\n", written);
    return 0;
}
