// Parking-file tests: a small type database, a fixed clock, the log captured, and a download site
// on loopback that holds the stock file of LSZH.
#pragma once
#include <chrono>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "aircraft/type_database.h"
#include "airports/apf_file.h"
#include "airports/stock.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/paths.h"
#include "support/http_server.h"
#include "support/work_folder.h"

inline constexpr const char* kApfTestDbase = R"(<dbase><types><type icao="A320" cat="Large" span="35.8"/>
    <type icao="B738" cat="Large" span="35.8"/> <type icao="B77W" cat="Heavy" span="64.8"/>
    <type icao="C208" cat="Light" span="15.9"/> <type icao="C172" cat="Light" span="11"/></types>
  <registrations><reg id="HB-JLT" airl="SWR" type="A320"/></registrations></dbase>)";

class ApfSiteTest : public WorkFolderTest {
protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_loadTypeDatabaseText(kApfTestDbase, "dbase.xml");
        // Fri Dec 06 16:00:00 2024 UTC.
        gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733500800)); });
        g_simulatorName = "P3D";
        gf_setLogCapture(true);
        tst_writeFile("site/P3D/archive/stock/LSZH.xml", "<meta/>");
        ASSERT_TRUE(server_.start());
        setenv("TRELVO_DOWNLOAD_BASE", server_.baseUrl().c_str(), 1);
    }
    static void restartLog() {
        gf_setLogCapture(false);
        gf_setLogCapture(true);
    }
    HttpServer server_{"site"};
};
using ApfTest = ApfSiteTest;

// Waits for the download site's worker to answer every question asked (a wait on the worker,
// not on time).
inline void tst_awaitSite() {
    ASSERT_TRUE(gf_waitForSiteAnswers(std::chrono::seconds(60)));
}

// A parking file of the meta block, the parameter rows and the parkpos elements.
inline std::string tst_apfXml(const std::string& parameters, const std::string& parkpositions,
                              const std::string& meta = R"(<info name="author" value="a"/>
<info name="date" value="d"/><info name="version" value="v"/>)") {
    return "<?xml version=\"1.0\"?>\n<meta>" + meta + "</meta>\n<parameters>" + parameters +
           "</parameters>\n<parkpositions>\n" + parkpositions + "</parkpositions>\n";
}
