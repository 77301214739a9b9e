// The airport list installed as input/airports.enc: the repo's real list or a few lines of xml.
#pragma once
#include <string>
#include <string_view>

#include "core/crypto.h"
#include "core/paths.h"
#include "support/work_folder.h"

inline void tst_installAirportsXml(std::string_view xml) {
    tst_writeFile(g_airportsEncPath, gf_encryptBytes(xml));
}

inline void tst_installRealAirports() {
    tst_installAirportsXml(tst_readFile(tst_sourceDir() / "data/airports.xml"));
}
