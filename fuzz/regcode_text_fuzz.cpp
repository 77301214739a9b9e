// The user's registration-code text files (input/my_regcodes/*.txt), decoded as they are read.
#include <string>
#include <vector>

#include "aircraft/livery_data.h"
#include "aircraft/regcode_files.h"
#include "core/charset.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    gf_splitLines(gf_decodeToUtf8(gf_fuzzText(data, size)), lines);
    std::vector<RegcodeEntry> entries;
    (void)gf_parseRegcodeLines(lines, "input/my_regcodes/fuzz.txt", entries);
    return 0;
}
