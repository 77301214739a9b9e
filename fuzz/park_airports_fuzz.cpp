// airports/my_park_airports.txt, the user's park airports: whatever the file holds, the list keeps
// only known airports, each once, and saving its front entry writes a file that reads it back
// with its stand.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unordered_set>

#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "fuzz/fuzz_input.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every input is written as the file in a folder of this run's own.
    char folder[] = "/tmp/park_airports_fuzz_XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    fs::current_path(folder);
    fs::create_directories("airports");
    gf_readAirportsText(R"(<airports><airport code="LSZH" lat="47.4647" lon="8.54917" alt="1416"/>
        <airport code="EDDF" lat="50.0333" lon="8.5706" alt="364"/></airports>)",
                        "fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fs::remove_all(kMyParkAirportsFile);
    std::ofstream(kMyParkAirportsFile, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
    lf_readMyParkAirports();
    std::unordered_set<std::string> seen;
    for (const ParkAirport& p : g_parkAirports) {
        gf_fuzzCheck(gf_findAirport(p.code) != nullptr, "only known airports");
        gf_fuzzCheck(seen.insert(p.code).second, "each airport once");
    }
    if (g_parkAirports.empty()) return 0;
    const ParkAirport front = g_parkAirports.front();
    gf_saveMyParkAirports();
    lf_readMyParkAirports();
    const bool found = std::any_of(g_parkAirports.begin(), g_parkAirports.end(), [&](const ParkAirport& p) {
        return p.code == front.code && p.stand == front.stand;
    });
    gf_fuzzCheck(found, "the saved entry reads back with its stand");
    return 0;
}
