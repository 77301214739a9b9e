// Our own writer of scenery (.BGL) airport files, field by field as the decoder reads them
// (scenery/bgl_file.h): for the decoder's tests, the scan's tests, the benchmarks and the tool
// that makes the demo's scenery. Plain C++ without the test framework.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct BglParkingSpec {
    uint32_t nameCode = 10;  // 0..63, 10 = "g"
    uint32_t type = 4;       // 1..11 taken; 5 cargo, 1..7 ramp
    uint32_t number = 1;     // 0..4095
    float radiusM = 20.0f, headingDeg = 90.0f;
    double lat = 0, lon = 0;
    std::vector<uint32_t> airlines;  // airline codes, 4 bytes each
};

struct BglHelipadSpec {
    double lat = 0, lon = 0;
    float widthM = 20.0f, headingDeg = 0.0f;
};

struct BglAirportSpec {
    uint16_t id = 0x3C;                    // 0x3C or 0xAB
    uint32_t icaoPacked = 0;               // tst_packIcao of the code, or any raw value
    int32_t altitudeMm = 0;
    std::vector<std::string> names;        // one name sub-record each, before the stands
    std::vector<BglHelipadSpec> helipads;  // before the parking list
    std::vector<BglParkingSpec> parkings;  // one parking list (none when empty)
};

// The packed form of a code of 'A'-'Z' and '0'-'9'.
uint32_t tst_packIcao(std::string_view code);

// A whole file: header, one section table entry per section (first the airport section holding
// the airports, then `otherSections` sections of type 0x65), the subsection entry, the records.
std::string tst_bglFile(const std::vector<BglAirportSpec>& airports, int otherSections = 0);
