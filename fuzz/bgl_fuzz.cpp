// Scenery airport decoding on arbitrary bytes: any input ends with airports or an out-of-range
// error, never a crash or a read outside the file.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "scenery/bgl_file.h"
#include "scenery/scan_messages.h"

namespace {
struct CountingSink : BglAirportSink {
    std::size_t stands = 0;
    BglLink link(const std::string&, std::string_view) override { return {}; }
    void finish(BglAirport& airport, const BglLink&) override { stands += airport.stands.size(); }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CountingSink sink;
    try {
        gf_decodeBgl(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.bgl", sink);
    } catch (const std::out_of_range&) {
    }
    gf_resetScanMessages();
    return 0;
}
