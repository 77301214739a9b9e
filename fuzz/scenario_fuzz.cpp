// The scenario file (the stand-in traffic service and simulator world).
#include <stdexcept>

#include "fuzz/fuzz_input.h"
#include "platform/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        Scenario scenario = gf_parseScenario(gf_fuzzText(data, size), "scenario.json");
        (void)gf_scenarioToJson(scenario);
    } catch (const std::exception&) {
    }
    return 0;
}
