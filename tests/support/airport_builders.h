// The airport list for tests: installed as input/airports.enc in the working folder, from the
// repo's real list or from a few lines of airports.xml.
#pragma once
#include <string>
#include <string_view>

#include "core/crypto.h"
#include "core/paths.h"
#include "support/work_folder.h"

// Writes input/airports.enc holding the xml text.
inline void tst_installAirportsXml(std::string_view xml) {
    tst_writeFile(g_airportsEncPath, gf_encryptBytes(xml));
}

// Writes input/airports.enc holding the real list of data/airports.xml.
inline void tst_installRealAirports() {
    tst_installAirportsXml(tst_readFile(tst_sourceDir() / "data/airports.xml"));
}
