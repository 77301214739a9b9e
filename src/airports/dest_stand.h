// The nearest stand of an airport to a position, from the stand positions of its parking file
// alone (no Stand records, the park airport's stands untouched). The closest-airport search asks
// it when two airports lie within 5 nm of the user aircraft. Run thread.
#pragma once
#include <filesystem>
#include <string>

#include "airports/airport_list.h"
#include "core/geo.h"

// Answer when no stand is known: no parking file, no stand, or an error.
inline constexpr double kNoStandNm = 100.0;

// Distance in nm from the position to the nearest stand of the airport's parking file; the stand
// name goes into standName only when a stand nearer than 100 nm is found. 100 when the airport
// has no parking file, it cannot be had or read, or it has no stands. A stock file is downloaded
// to "airport.xml" in the working folder and removed after reading.
double gf_readDestApfForClosestStand(const Airport& airport, LatLon position, std::string& standName);
// The same for a parking file on disk: the first nearest parkpos of its parkpositions (a stand
// without coordinates counts as standing at 0, 0). 100 when the file does not load.
double gf_closestStandInFile(const std::filesystem::path& path, LatLon position, std::string& standName);
