// The airport list reader on arbitrary bytes: it may throw std::runtime_error (a bad document
// or number) but never crash, and every airport it keeps lies on the earth.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "airports/airport_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gf_resetAirports();
    try {
        gf_readAirportsText(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
    } catch (const std::runtime_error&) {
    } catch (const std::logic_error&) {
    }
    for (const Airport& a : g_airports)
        if (!(std::fabs(a.lat) <= 90 && std::fabs(a.lon) <= 180 && std::isfinite(a.alt))) std::abort();
    if (!g_airports.empty()) gf_findClosestAirport(g_airports.front().position());
    return 0;
}
