// The simulator's scenery.cfg and scenery_add-ons.xml in any character set. Oracle: every
// folder taken is a non-empty text, and no file gives more folders than it has lines.
#include <string>
#include <vector>

#include "core/charset.h"
#include "fuzz/fuzz_input.h"
#include "scenery/scenery_cfg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    gf_splitLines(gf_decodeToUtf8(gf_fuzzText(data, size)), lines);
    std::vector<std::string> folders;
    lf_sceneryCfgFolders(lines, folders);
    lf_addOnsFolders(lines, folders);
    gf_fuzzCheck(folders.size() <= 2 * lines.size(), "at most one folder per line and file");
    for (const std::string& f : folders) gf_fuzzCheck(!f.empty(), "folders are not empty");
    return 0;
}
