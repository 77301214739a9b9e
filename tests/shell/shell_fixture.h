// Fixture of the run tests: a fixed UTC clock, a captured log, the encrypted type database
// that every start-up reads and liveries scanned before.
#pragma once
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "core/clock.h"
#include "core/crypto.h"
#include "core/log.h"
#include "support/airport_builders.h"
#include "support/work_folder.h"

// 2024-03-05 14:07:09 UTC, a Tuesday.
inline const UtcTimePoint kShellNow = UtcTimePoint(std::chrono::seconds(1709647629));

// What every start-up logs with the fixture's inputs: the type database and the airport list,
// then the livery tables.
inline constexpr const char* kStartUpLog =
    "Type database input/dbase.xml: 2 types, 0 similar-type groups, 0 registrations, 0 publishers, 0 "
    "simaddon airports, 0 third-party publishers\n"
    "1 airports read\n"
    "2 liveries read from output/LiveriesScanned.xml\n"
    "gf_streamDecrypt exception: input/AIG-regcodes.enc: cannot be read: No such file or directory\n"
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
// The add-on airport scan of a start that is not stopping: no scenery configuration is found.
inline constexpr const char* kAirportScanLog =
    "\n++++++++++++++++++++++++ airports scan automatic  starts +++++++++++++++++++++++++++++\n"
    "\\nReading: C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\scenery.cfg for airport add-ons ...\n"
    "C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\scenery.cfg not found!\n"
    "\\nReading C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\scenery_add-ons.xml for add-on airport ...\n"
    "C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\scenery_add-ons.xml not found!\n"
    "Cleaning folder: airports/my_ORBX\nCleaning folder: airports/my_thirdparty\n"
    "The scan will search 0 folders\noutput/info/AirportsScanLog.txt written\n"
    "Warning: Scan has not found any add-on airports\nSCAN_AIRPORTS=false\n"
    "-------------------------- airports scan ends    ----------------------------\n\n";
// What reading the park airports logs without my_park_airports.txt.
inline constexpr const char* kParkAirportsLog = "airports/my_park_airports.txt not found\n";

// A stand-in world whose simulator closes half a second into the flight.
inline constexpr const char* kShortScenario =
    R"({"run_length_s": 0.5, "airports": [{"icao": "LSZH", "lat": 47.458056, "lon": 8.548056,)"
    R"( "elevation_ft": 1416}], "user": [{"t": 0, "lat": 47.4512, "lon": 8.5616, "alt_ft": 1416}]})";

class ShellRunTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        arrangeInputs();
    }
    // The clock, the log capture and the input files of a run in the working folder.
    void arrangeInputs() {
        gf_setUtcClock([] { return kShellNow; });
        gf_setLogCapture(true);
        tst_writeFile("input/dbase.enc", gf_encryptBytes("<dbase><types><type icao=\"B738\" cat=\"Large\" span=\"35.79\"/>"
                                                         "<type icao=\"C172\" cat=\"Light\" span=\"11.00\"/></types></dbase>"));
        // The installed liveries stand scanned: the start-up only builds the tables from them.
        tst_writeFile("output/LiveriesScanned.xml",
                      "<?xml version=\"1.0\"?>\n<liveries>\n"
                      "  <liv airl=\"SWR\" type=\"B738\" title=\"Boeing 737-800 Swiss\" atcid=\"HB-JXA\"/>\n"
                      "  <liv airl=\"PVT\" type=\"C172\" title=\"Cessna 172 Skyhawk\"/>\n</liveries>\n");
        tst_writeFile("parameters.xml",
                      "<parameters><parameter name=\"SCAN_LIVERIES\" value=\"false\"/></parameters>\n");
        tst_installAirportsXml(
            R"(<airports><airport code="LSZH" iata="ZRH" lat="47.4647" lon="8.54917" alt="1416"/></airports>)");
        // The simulator's machine of these runs has no scenery configuration.
        setenv("TRELVO_PROGRAMDATA", (std::filesystem::current_path() / "programdata").c_str(), 1);
        setenv("TRELVO_SIM_ROOT", "/nonexistent-simulator", 1);
    }
    void TearDown() override {
        unsetenv("TRELVO_PROGRAMDATA");
        unsetenv("TRELVO_SIM_ROOT");
        WorkFolderTest::TearDown();
    }
};
