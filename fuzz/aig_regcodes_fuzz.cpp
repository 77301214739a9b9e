// AIG-regcodes.xml, the registration codes of the AIG liveries.
#include <vector>

#include "aircraft/livery_data.h"
#include "aircraft/regcode_files.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<RegcodeEntry> entries;
    (void)gf_parseAigRegcodes(gf_fuzzText(data, size), "input/AIG-regcodes.xml", entries);
    return 0;
}
