// LiveriesScanned.xml, the list of installed liveries.
#include <stdexcept>

#include "aircraft/liveries_scanned.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        gf_parseLiveriesScanned(gf_fuzzText(data, size), "output/LiveriesScanned.xml");
    } catch (const std::exception&) {
    }
    gf_resetLiveryState();
    return 0;
}
