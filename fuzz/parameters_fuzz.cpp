// parameters.xml. Oracle: whatever a file sets is saved and read back to the same values.
#include <string>
#include <vector>

#include "core/params.h"
#include "core/params_file.h"
#include "core/paths.h"
#include "fuzz/fuzz_input.h"

namespace {
std::vector<std::string> lf_values() {
    std::vector<std::string> values;
    for (const Parameter* record : gf_allParameters()) values.push_back(record->valueText());
    return values;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (gf_applyParameters(gf_fuzzText(data, size), "parameters.xml")) return 0;
    const std::vector<std::string> applied = lf_values();
    gf_fuzzCheck(gf_saveParameters(), "parameters.xml is saved");
    gf_resetParameters();
    gf_fuzzCheck(gf_loadParameters(), "the saved parameters.xml reads back");
    gf_fuzzCheck(lf_values() == applied, "every value reads back as saved");
    gf_resetParameters();
    return 0;
}
