// The meta block of our XML files, as the readers look it up.
#include <pugixml.hpp>

#include "core/params.h"
#include "core/xml_meta.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pugi::xml_document doc;
    if (!doc.load_buffer(data, size)) return 0;
    TextParameter record("version", "", 0, false);
    try {
        (void)gf_readMetaInfo(doc, record);
    } catch (const pugi::xpath_exception&) {
    }
    return 0;
}
