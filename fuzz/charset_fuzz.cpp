// Character-set detection and decoding of the text files the program reads, and their lines.
// Oracle: whatever the bytes, the decoded text is well-formed UTF-8 and decodes to itself.
#include <string>
#include <vector>

#include "core/charset.h"
#include "core/text.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string decoded = gf_decodeToUtf8(gf_fuzzText(data, size));
    gf_fuzzCheck(gf_isValidUtf8(decoded), "decoded text is valid UTF-8");
    if (decoded.rfind("\xEF\xBB\xBF", 0) != 0) {
        gf_fuzzCheck(gf_decodeToUtf8(decoded) == decoded, "decoded text decodes to itself");
    }
    std::vector<std::string> lines;
    gf_splitLines(decoded, lines);
    for (const std::string& line : lines) {
        (void)gf_split(line, ';');
        (void)gf_extractPath(line);
    }
    return 0;
}
