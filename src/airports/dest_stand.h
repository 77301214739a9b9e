// The nearest stand of an airport to a position, from the stand positions of its parking file
// alone (no Stand records, the park airport's stands untouched). The closest-airport search asks
// it when two airports lie within 5 nm of the user aircraft. Run thread.
#pragma once
#include <string>

#include "airports/airport_list.h"
#include "core/geo.h"

// Answer when no stand is known: no parking file, no stand, or an error.
inline constexpr double kNoStandNm = 100.0;
// Where a parking file from the download site is put while it is read.
inline constexpr const char* kDownloadedApf = "airport.xml";

// Distance in nm from the position to the nearest stand (the first of equals in file order) of
// the airport's parking file; its name goes into standName only when one nearer than 100 nm is
// found. 100 when the airport has no parking file, it cannot be had or read, or has no stands.
// A file of the download site is fetched into "airport.xml" and removed once read; while the
// site has not answered the result is 100 and gf_siteWaits (airports/stock.h) has moved on. A
// stand without coordinates stands at 0, 0.
double gf_readDestApfForClosestStand(const Airport& airport, LatLon position, std::string& standName);
