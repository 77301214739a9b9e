// The encrypted data files. Oracle: any bytes encrypt and decrypt back to themselves.
#include <stdexcept>
#include <string>

#include "core/crypto.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = gf_fuzzText(data, size);
    try {
        (void)gf_decryptBytes(bytes);
    } catch (const std::runtime_error&) {
    }
    gf_fuzzCheck(gf_decryptBytes(gf_encryptBytes(bytes)) == bytes, "encrypted bytes decrypt back");
    return 0;
}
