// Real ADS-B track files (CSV) that the scenario tools turn into scenario tracks.
#include <stdexcept>

#include "fuzz/fuzz_input.h"
#include "platform/scenario_tools.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        RealTrack track = gf_parseRealTrackCsv(gf_fuzzText(data, size), "track.csv");
        (void)track;
    } catch (const std::exception&) {
    }
    return 0;
}
