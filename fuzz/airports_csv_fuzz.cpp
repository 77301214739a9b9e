// The airport list (CSV) the scenario tools place tracks against.
#include <stdexcept>

#include "fuzz/fuzz_input.h"
#include "platform/scenario_tools.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)gf_parseAirportsCsv(gf_fuzzText(data, size), "airports.csv");
    } catch (const std::exception&) {
    }
    return 0;
}
