// The simulator's simobjects.cfg in any character set, as the livery scan reads it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "aircraft/addon_discovery.h"
#include "core/charset.h"
#include "core/params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SIM_INSTALL_PATH.set("C:\\P3D v5");
    std::vector<std::string> lines;
    gf_splitLines(gf_decodeToUtf8({reinterpret_cast<const char*>(data), size}), lines);
    std::vector<std::string> folders;
    gf_simObjectsCfgFolders(lines, folders);
    if (folders.size() > lines.size()) __builtin_trap();
    return 0;
}
