// A package's add-on.xml in any character set, as the livery scan reads it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "aircraft/addon_discovery.h"
#include "core/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    gf_splitLines(gf_decodeToUtf8({reinterpret_cast<const char*>(data), size}), lines);
    std::vector<std::string> folders;
    gf_addOnXmlFolders(lines, "D:\\Package", folders);
    // Each folder takes a category line and its path line; the excluded packages never pass.
    if (folders.size() * 2 > lines.size()) __builtin_trap();
    for (const std::string& folder : folders)
        if (folder.find("Lights Reborn") != std::string::npos) __builtin_trap();
    return 0;
}
