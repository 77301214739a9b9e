// Shared set-up of the livery tests: a small type database, LiveriesScanned.xml written from
// rows, the table build, and aircraft records to match.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/liveries_scanned.h"
#include "aircraft/type_database.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/random.h"
#include "live/aircraft.h"
#include "support/work_folder.h"

// Types of every category, two similar groups and three registrations.
inline constexpr const char* kTestDbase = R"(<dbase><types>
  <type icao="A320" cat="Large" span="35.8"/> <type icao="A321" cat="Large" span="35.8"/>
  <type icao="A20N" cat="Large" span="35.8"/> <type icao="B738" cat="Large" span="35.8"/>
  <type icao="B77W" cat="Heavy" span="64.8"/> <type icao="B744" cat="Heavy" span="64.4"/>
  <type icao="C172" cat="Light" span="11"/>   <type icao="PA28" cat="Light" span="10.7"/>
  <type icao="DA42" cat="Light" span="13.4"/> <type icao="C208" cat="Light" span="15.9"/>
  <type icao="C56X" cat="Buzjets" span="16"/> <type icao="CL60" cat="Buzjets" span="19.6"/>
  <type icao="EC35" cat="Rotorcraft" span="10.2"/> <type icao="F16" cat="HighPerf" span="9.9"/>
</types><similars><group types="A320,A321,A20N"/><group types="C172,PA28"/></similars><registrations>
  <reg id="HB-JVA" airl="EDW" type="A320" opr="OAW"/> <reg id="HB-JXB" airl="EDW" type="A321"/>
  <reg id="D-ALFA" airl="DLH" type="B744" opr="GEC" cargo="true"/>
</registrations></dbase>)";

struct Liv {
    const char *airline, *type, *title;
    bool cargo = false;
    const char* atcid = "";
};

// The text of LiveriesScanned.xml for the rows, with a meta block.
inline std::string tst_liveriesXml(const std::vector<Liv>& rows) {
    std::string xml =
        "<?xml version=\"1.0\"?>\n<meta>\n  <info name=\"author\" value=\"Trelvo\"/>\n</meta>\n<liveries>\n";
    for (const Liv& r : rows)
        xml += fmt::format("  <liv airl=\"{}\" type=\"{}\"{} title=\"{}\"{}/>\n", r.airline, r.type,
                           r.cargo ? " cargo=\"true\"" : "", r.title, *r.atcid ? fmt::format(" atcid=\"{}\"", r.atcid) : "");
    return xml + "</liveries>\n";
}

class LiveryTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_loadTypeDatabaseText(kTestDbase, "dbase.xml");
        gf_setLogCapture(true);
        gf_seedRandom(7);
    }
    // Writes LiveriesScanned.xml and builds the tables; the log captured so far is dropped.
    void build(const std::vector<Liv>& rows) {
        tst_writeFile(g_liveriesScannedFile, tst_liveriesXml(rows));
        lf_processScannedLiveries();
    }
    // The lines logged since the last call.
    std::string newLog() {
        const std::string all = gf_capturedLog();
        return all.substr(std::min(std::exchange(seen_, all.size()), all.size()));
    }
    static AircraftRec aircraft(std::string airline, std::string type, std::string reg = "", bool cargo = false) {
        AircraftRec ac;
        ac.airline = std::move(airline), ac.type = std::move(type), ac.regcode = std::move(reg), ac.callsign = "TST123";
        ac.category = static_cast<int32_t>(gf_aircraftCategory(ac.type)), ac.isCargo = cargo ? 1 : 0;
        return ac;
    }

  private:
    std::size_t seen_ = 0;
};
