// The download site's answer: any bytes as the body of a 200 answer, through the check the
// worker makes, and written as the airport's working copy the way a download writes it, through
// the parking-file reader's load from disk. Oracle: a body is taken exactly when pugixml parses
// it as the reader does (in place) and the query "/meta" finds a top-level meta block, and
// exactly when the reader loads the written copy with one; the copy of a taken body has the
// meta rows of the body.
#include <string>

#include <pugixml.hpp>

#include "airports/apf_file.h"
#include "airports/stock.h"
#include "core/atomic_file.h"
#include "core/params.h"
#include "core/xml_meta.h"
#include "fuzz/fuzz_input.h"

namespace {

// The working folder is the run's scratch folder; flushing to the disk is not under test.
int lf_noSync(int) {
    return 0;
}

bool lf_hasMeta(const pugi::xml_document& doc) {
    return !doc.select_node("/meta").node().empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body = gf_fuzzText(data, size);
    const bool taken = gf_isParkingFile(body);
    std::string text(body);  // parsed in place: outlives the document
    pugi::xml_document answer;
    const bool parses = answer.load_buffer_inplace(text.data(), text.size());
    gf_fuzzCheck(taken == (parses && lf_hasMeta(answer)),
                 "taken exactly when it parses with a top-level meta");

    gf_setFileSync(lf_noSync);
    const char* path = "site_answer.xml";
    gf_fuzzCheck(!gf_replaceFileContent(path, body), "the working copy is written");
    ApfSource source;
    pugi::xml_document doc;
    std::string reason;
    const bool loads = gf_loadApfDocument(path, source, doc, reason);
    gf_fuzzCheck(!taken || loads, "a taken answer loads from disk");
    gf_fuzzCheck(taken == (loads && lf_hasMeta(doc)), "taken exactly when the reader finds a meta block");
    if (!taken) return 0;
    for (const char* name : {"author", "date", "version", "simulator"}) {
        TextParameter loaded(name, "", 0, false);
        TextParameter parsed(name, "", 0, false);
        gf_fuzzCheck(gf_readMetaInfo(doc, loaded) == gf_readMetaInfo(answer, parsed), "the same meta rows");
        gf_fuzzCheck(loaded.value() == parsed.value(), "the same meta values");
    }
    return 0;
}
