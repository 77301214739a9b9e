// airports.xml, the airport list: the reader may refuse a document or a number, but every
// airport it keeps lies on the earth.
#include <cmath>
#include <stdexcept>

#include "airports/airport_list.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gf_resetAirports();
    try {
        gf_readAirportsText(gf_fuzzText(data, size), "input/airports.xml");
    } catch (const std::exception&) {
    }
    for (const Airport& a : g_airports)
        gf_fuzzCheck(std::fabs(a.lat) <= 90 && std::fabs(a.lon) <= 180 && std::isfinite(a.alt),
                     "airport on earth");
    return 0;
}
