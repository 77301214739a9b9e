// The parking-file readers: parameters, stands and options, and the learned changes of a stand,
// on any bytes. Oracle: every stand that reaches g_stands has a finite position in range and a
// finite, non-negative radius, whatever the file said; a parameter row is the one the XPath
// query of its name selects.
#include <cmath>
#include <string>

#include <pugixml.hpp>

#include "airports/apf_file.h"
#include "airports/learned.h"
#include "airports/stand.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ApfSource source{"fuzz.xml", std::string(gf_fuzzText(data, size))};
    pugi::xml_document doc;
    if (!doc.load_buffer(source.text.data(), source.text.size())) return 0;
    for (const char* name : {"altitude", "publisher", "handmade", "Qf_real"}) {
        const std::string query = std::string("/parameters/parameter[@name='") + name + "']";
        gf_fuzzCheck(gf_apfParameterRow(doc, name) == doc.select_node(query.c_str()).node(),
                     "the parameter row the query finds");
        (void)lf_apfParameterInt(doc, name);
        (void)lf_apfParameterBool(doc, name);
        (void)lf_apfParameterString(doc, name);
    }
    g_stands.clear();
    for (pugi::xml_node pos : doc.child("parkpositions").children("parkpos")) {
        std::string id = pos.attribute("id").value();
        if (!g_stands.empty()) (void)lf_applyLearnedChanges(id, pos, g_stands.back(), source);
        lf_readParkpos(pos, id, 1, source);
    }
    for (const Stand& s : g_stands) {
        gf_fuzzCheck(std::isfinite(s.latitude) && std::abs(s.latitude) <= 90, "latitude in range");
        gf_fuzzCheck(std::isfinite(s.longitude) && std::abs(s.longitude) <= 180, "longitude in range");
        gf_fuzzCheck(std::isfinite(s.radius) && s.radius >= 0, "radius finite");
        gf_fuzzCheck(std::isfinite(s.heading), "heading finite");
        for (const StandOption& o : s.options) gf_fuzzCheck(o.day <= 7 && o.hh < (1ull << 48), "option in range");
    }
    g_stands.clear();
    return 0;
}
