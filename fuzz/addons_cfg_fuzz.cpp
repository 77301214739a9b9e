// The simulator's add-ons.cfg in any character set, as the livery scan reads it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "aircraft/addon_discovery.h"
#include "core/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    gf_splitLines(gf_decodeToUtf8({reinterpret_cast<const char*>(data), size}), lines);
    // A package folder comes from a line of its own.
    if (gf_addOnsCfgPackages(lines).size() > lines.size()) __builtin_trap();
    return 0;
}
