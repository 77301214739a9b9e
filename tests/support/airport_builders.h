// The airport list installed as input/airports.enc: the repo's real list or a few lines of xml.
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
