// Scenery airport decoding on arbitrary bytes. Oracle: any input ends with airports or an
// out-of-range error, never a crash or a read outside the file; every airport handed over has
// a 4-character code, finite stands with headings in 0..360 degrees and radii the parking-file
// reader takes, and a name that is valid UTF-8 without control bytes.
#include <cmath>
#include <stdexcept>

#include "core/charset.h"
#include "fuzz/fuzz_input.h"
#include "scenery/bgl_file.h"
#include "scenery/scan_messages.h"

namespace {
struct CheckingSink : BglAirportSink {
    BglLink link(ApfContent& airport, std::string_view) override {
        gf_fuzzCheck(airport.icao.size() == 4, "airport code of 4 characters");
        return {};
    }
    void finish(ApfContent& airport, const BglLink&) override {
        gf_fuzzCheck(gf_isValidUtf8(airport.airport_name), "airport name is UTF-8");
        for (char c : airport.airport_name) gf_fuzzCheck(static_cast<unsigned char>(c) >= 0x20, "no control bytes");
        for (const Stand& s : airport.stands) {
            gf_fuzzCheck(std::isfinite(s.radius) && std::isfinite(s.heading) && std::fabs(s.latitude) <= 90.0,
                         "stands are finite");
            // What the parking-file reader takes back: headings in (0, 2 pi], radii up to 2000 m.
            gf_fuzzCheck(s.heading > 0.0 && s.heading <= 2.0 * M_PI + 1e-9, "heading in 0..360 degrees");
            gf_fuzzCheck(s.radius > 0.0 && s.radius * 1852.0 <= 2000.0 + 1e-6, "radius the reader takes");
        }
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckingSink sink;
    try {
        gf_decodeBgl(gf_fuzzText(data, size), "fuzz.bgl", sink);
    } catch (const std::out_of_range&) {
    }
    gf_resetScanMessages();
    return 0;
}
