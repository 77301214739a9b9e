// dbase.xml, the aircraft type database.
#include <stdexcept>

#include "aircraft/type_database_reader.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)gf_parseTypeDatabase(gf_fuzzText(data, size), "input/dbase.xml");
    } catch (const std::exception&) {
    }
    return 0;
}
