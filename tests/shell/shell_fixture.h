// Fixture of the run tests: a fixed UTC clock, a captured log, the encrypted type database
// that every start-up reads and liveries scanned before.
#pragma once
#include <chrono>

#include "core/clock.h"
#include "core/crypto.h"
#include "core/log.h"
#include "support/work_folder.h"

// 2024-03-05 14:07:09 UTC, a Tuesday.
inline const UtcTimePoint kShellNow = UtcTimePoint(std::chrono::seconds(1709647629));

inline constexpr const char* kSmallTypeDatabase =
    "<dbase><types><type icao=\"B738\" cat=\"Large\" span=\"35.79\"/>"
    "<type icao=\"C172\" cat=\"Light\" span=\"11.00\"/></types></dbase>";

// The installed liveries every start-up builds its tables from.
inline constexpr const char* kSmallLiveries =
    "<?xml version=\"1.0\"?>\n<liveries>\n"
    "  <liv airl=\"SWR\" type=\"B738\" title=\"Boeing 737-800 Swiss\" atcid=\"HB-JXA\"/>\n"
    "  <liv airl=\"PVT\" type=\"C172\" title=\"Cessna 172 Skyhawk\"/>\n</liveries>\n";

// What every start-up logs with the fixture's inputs: the type database, then the livery tables.
#define TRELVO_TYPE_DATABASE_LINE                                                                      \
    "Type database input/dbase.xml: 2 types, 0 similar-type groups, 0 registrations, 0 publishers, 0 " \
    "simaddon airports, 0 third-party publishers\n"
inline constexpr const char* kTypeDatabaseLine = TRELVO_TYPE_DATABASE_LINE;
inline constexpr const char* kStartUpLog =
    TRELVO_TYPE_DATABASE_LINE
    "2 liveries read from output/LiveriesScanned.xml\n"
    "gf_streamDecrypt exception: cannot open input/AIG-regcodes.enc\n"
    "1 registration codes\n"
    "2 airlines, 2 pax aircraft models and 0 cargo aircraft models\n"
    "0 similar model definitions\n"
    "Category Light: 1 pax liverie\n  C172\n"
    "Category Buzjets: No livery found\n"
    "Category Large: 1 pax liverie\n  B738\n"
    "Category Heavy: No livery found\n"
    "Category HighPerf: No livery found\n"
    "HIGH_PERF_AIRCRAFT=false\n"
    "HIGH_PERF_AIRCRAFT temporarily switched off because you do not have High Perf aircraft installed\n"
    "Category Rotorcraft: No livery found\n"
    "HELICOPTERS=false\n"
    "HELICOPTERS temporarily switched off because you do not have Helicopters installed\n";

// A stand-in world whose simulator closes half a second into the flight.
inline constexpr const char* kShortScenario =
    R"({"run_length_s": 0.5, "airports": [{"icao": "LSZH", "lat": 47.458056, "lon": 8.548056,)"
    R"( "elevation_ft": 1416}], "user": [{"t": 0, "lat": 47.4512, "lon": 8.5616, "alt_ft": 1416}]})";

class ShellRunTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_setUtcClock([] { return kShellNow; });
        gf_setLogCapture(true);
        tst_writeFile("input/dbase.enc", gf_encryptBytes(kSmallTypeDatabase));
        tst_writeFile("output/LiveriesScanned.xml", kSmallLiveries);
        // The liveries above stand scanned: the start-up only builds the tables from them.
        tst_writeFile("parameters.xml",
                      "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\"/></parameters>\n");
    }
};
