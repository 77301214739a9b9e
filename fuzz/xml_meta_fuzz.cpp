// The meta block of our XML files, as the readers look it up. Oracle: the lookup finds what
// the XPath query "/meta/info[@name='...']" selects.
#include <string>

#include <pugixml.hpp>

#include "core/params.h"
#include "core/xml_meta.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pugi::xml_document doc;
    if (!doc.load_buffer(data, size)) return 0;
    for (const char* name : {"version", "author", "date"}) {
        TextParameter record(name, "", 0, false);
        const bool found = gf_readMetaInfo(doc, record);
        const pugi::xml_node expected =
            doc.select_node((std::string("/meta/info[@name='") + name + "']").c_str()).node();
        gf_fuzzCheck(found == !expected.empty(), "found as the query finds it");
        gf_fuzzCheck(record.value() == std::string(expected.attribute("value").value()),
                     "the value of the row the query finds");
    }
    return 0;
}
