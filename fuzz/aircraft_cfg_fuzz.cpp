// The aircraft.cfg of an AI aircraft, decoded as the livery scan reads it, against a small type
// database so that sections can become liveries.
#include <cstddef>
#include <cstdint>
#include <string>

#include "aircraft/aircraft_cfg.h"
#include "aircraft/type_database.h"
#include "core/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool loaded = [] {
        gf_loadTypeDatabaseText("<dbase><types><type icao=\"A320\" cat=\"Large\"/><type icao=\"A306\" cat=\"Heavy\"/>"
                                "<type icao=\"A321\" cat=\"Large\"/><type icao=\"C172\" cat=\"Light\"/></types></dbase>",
                                "fuzz");
        return true;
    }();
    (void)loaded;
    const std::string text = gf_decodeToUtf8({reinterpret_cast<const char*>(data), size});
    const CfgFindings findings = gf_parseAircraftCfg(text);
    // Every livery is complete and valid; a file that is no text gives nothing else.
    for (const LiveryData& livery : findings.liveries)
        if (livery.title.empty() || livery.airline.size() != 3 || !gf_isKnownType(livery.type)) __builtin_trap();
    if (findings.invalid && (!findings.liveries.empty() || findings.noFltsimSection)) __builtin_trap();
    return 0;
}
