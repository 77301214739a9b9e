#include "scenery/airport_scan.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "aircraft/type_database.h"
#include "airports/apf_fixture.h"
#include "core/display.h"
#include "core/errors.h"
#include "core/params.h"
#include "core/params_file.h"
#include "core/run_state.h"
#include "core/tasks.h"
#include "scenery/scan_messages.h"
#include "scenery/scenery_apf.h"
#include "support/bgl_builder.h"

namespace fs = std::filesystem;

namespace {

class AirportScanTest : public ApfSiteTest {
protected:
    void SetUp() override {
        ApfSiteTest::SetUp();
        setenv("TRELVO_DRIVES", (folder_ / "drives").c_str(), 1);
        g_publishers = {{"Aerosoft", "Mega Airport"}, {"My Sceneries"}};
        g_simAddonAirports = {"LOWI", "EDNY"};
        g_thirdPartyPublishers = {{"Aerosoft", {"EDDM2", "EGLL"}}, {"My Sceneries", {"LOWK2"}}};
        g_stockAirportsPath = "D:\\Addons\\Stock";
        AFG_AUTOMATIC.set(false);
        afolder0.set("D:\\Addons");
        g_hardwareConcurrency = 2;
    }
    static void bgl(const std::string& path, std::vector<BglAirportSpec> airports) {
        tst_writeFile("drives/D/Addons/" + path, tst_bglFile(airports));
    }
    static std::vector<std::string> files(const char* folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

BglAirportSpec lf_airport(const char* icao, int stands, int helipads = 0) {
    BglAirportSpec a{0xAB, tst_packIcao(icao), 400000, {"Field \x01" "Caf\xe9"}, {}, {}};
    for (int i = 0; i < helipads; ++i) a.helipads.push_back({47.0 + i * 1e-3, 9.0, 20.f, 0.f});
    for (int i = 0; i < stands; ++i) a.parkings.push_back({10, 4, static_cast<uint32_t>(10 - i), 20.f, 90.f, 47.1, 9.0 + i * 1e-3, {}});
    return a;
}

const char* const kStockSuitable =
    R"(<meta/><parameters><parameter name="Qf_real" value="40"/><parameter name="RT_traffic_week" value="33"/></parameters>)";
const char* const kHandmade = R"(<meta/><parameters><parameter name="handmade" value="true"/></parameters>)";

TEST_F(AirportScanTest, LinksAndGeneratesByPublisherAndArchive) {
    // Publishers by the path in any letter case: "orbx", and the second name of Aerosoft's entry.
    bgl("orbx/a.bgl", {lf_airport("LOWI", 3), lf_airport("LOWS", 1, 1), lf_airport("EDNY", 1)});
    fs::create_directories("airports/my_ORBX/EDNY.txt");  // the link cannot be written: generated instead
    bgl("mega airport munich/b.BGL", {lf_airport("EDDM", 3), lf_airport("EGLL", 1), lf_airport("EDDF", 1)});
    bgl("My Sceneries/c.bgl", {lf_airport("LOWK", 2)});
    bgl("Other/d.bgl", {lf_airport("LOWG", 2), lf_airport("LOWL", 0), lf_airport("LOWZ", 1)});
    fs::create_directories("airports/my_thirdparty/LOWZ.xml/x");  // LOWZ.xml cannot be written
    for (const char* never : {"Other/e.Bgl", "Other/statics/f.bgl", "Other/x_heliports/g.bgl", "Stock/h.bgl"})
        bgl(never, {lf_airport("LZZZ", 1)});
    tst_writeFile("airports/my_thirdparty/LSZH.xml", R"(<parameters><parameter name="handmade" value="true"/></parameters>)");
    // What the last scan left goes: links, a half-written file.
    for (const char* old : {"airports/my_thirdparty/OLD1.txt", "airports/my_ORBX/OLD2.TXT",
                            "airports/my_thirdparty/EDDM.xml.7.part"})
        tst_writeFile(old, "archive/stock/OLD1.xml\n");
    tst_writeFile("airports/my_thirdparty/notes.md", "the user's own");  // no file of the scan's: stays
    tst_writeFile("site/P3D/archive/stock/LOWS.xml", kStockSuitable);
    tst_writeFile("site/P3D/archive/stock/EDDM.xml", kStockSuitable);
    g_apfHandmade = true;
    g_simulatorName = "MSFS";  // what a park airport's file may have left
    gf_scanMessage("a message left from before");
    gf_scanAddonAirports();

    EXPECT_EQ(files("airports/my_ORBX"), (std::vector<std::string>{"EDNY.txt", "EDNY.xml", "LOWI.txt", "LOWS.xml"}));
    EXPECT_EQ(files("airports/my_thirdparty"),
              (std::vector<std::string>{"EDDF.xml", "EDDM.txt", "EGLL.txt", "EGLL.xml", "LOWG.xml",
                                        "LOWK.txt", "LOWZ.xml", "LSZH.xml", "notes.md"}));
    EXPECT_EQ(files("TBLO"), (std::vector<std::string>{"EDDM.xml", "LOWS.xml"}));
    EXPECT_EQ(tst_readFile("airports/my_thirdparty/LOWK.txt"), "archive/thirdparty/My%20Sceneries/LOWK.xml\n");
    EXPECT_EQ(tst_readFile("airports/my_ORBX/LOWI.txt"), "archive/simaddon/LOWI.xml\n");
    const std::string log = tst_readFile(kAirportsScanLog);
    for (const char* line :
         {"Scanning for addon airports in D:\\Addons\n", "from filename => publisher simaddon\n",
          "simaddon airport LOWI linked to archive/simaddon/LOWI.xml\n", "LOWS does not exist as simaddon\n",
          "Generated LOWS.xml: 2 positions, of which 1 helipad\n",
          "===> EDDM has 3 parkpos while archived one has 2\n", "Generated EDDM.xml: 3 positions\n",
          "thirdparty Aerosoft EDDF does not exist\n",
          "===> Linking EDNY to archive/simaddon/EDNY.xml did not succeed\n",
          "===> Generating airports/my_thirdparty/LOWZ.xml did not succeed\n",
          "LSZH.xml kept: hand-made\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(log.find("LZZZ"), std::string::npos);
    EXPECT_EQ(log.find("left from before"), std::string::npos);
    EXPECT_EQ(log.find("LOWK has"), std::string::npos);  // as many stands as archived: linked only
    EXPECT_EQ(log.find("thirdparty unknown"), std::string::npos);  // an unknown publisher has no archive
    for (const char* line : {"LOWS copied to TBLO/LOWS.xml\n", "EDDM copied to TBLO/EDDM.xml\n",
                             "===> \nzip folder 'TBLO', and mail to airports@trelvo.net\n"})
        EXPECT_NE(gf_capturedLog().find(line), std::string::npos) << line;

    // The generated file reads back: stands sorted by name, the name decoded, never hand-made.
    ApfSource source;
    pugi::xml_document doc;
    std::string reason;
    ASSERT_TRUE(gf_loadApfDocument("airports/my_thirdparty/LOWG.xml", source, doc, reason)) << reason;
    EXPECT_EQ(lf_apfParameterString(doc, "airport_name"), "Field Caf\xc3\xa9");
    EXPECT_EQ(lf_apfParameterString(doc, "BGLpath"), "D:\\Addons\\Other\\d.bgl");
    EXPECT_EQ(lf_apfParameterInt(doc, "altitude"), 1312);
    EXPECT_FALSE(lf_apfParameterBool(doc, "handmade"));
    EXPECT_EQ(doc.select_node("/meta/info[@name='simulator']").node().attribute("value").as_string(), std::string("P3D"));
    std::vector<std::string> ids;
    for (auto p : doc.select_nodes("/parkpositions/parkpos")) ids.push_back(p.node().attribute("id").as_string());
    EXPECT_EQ(ids, (std::vector<std::string>{"g10", "g9"}));
    EXPECT_TRUE(g_apfHandmade);
    EXPECT_FALSE(SCAN_AIRPORTS.value());
    // Done for good: the next start does not scan again.
    EXPECT_NE(tst_readFile(g_parametersFile).find(R"(name="SCAN_AIRPORTS" value="false")"), std::string::npos);
    EXPECT_EQ(gf_messageText(), "");  // "Scanning for addon airports ..." is gone
    EXPECT_EQ(gf_windowStats().orbxAirportsDone, 1);
    EXPECT_EQ(gf_windowStats().tbloFileCount, 2);
    EXPECT_EQ(g_runningWorkers.load(), 0);
}

// A user's own parking files stay where they are and as they are, scan after scan: no
// generated file replaces them, and none goes to TBLO, which the next scan empties.
TEST_F(AirportScanTest, HandMadeFilesSurviveScans) {
    bgl("ORBX/a.bgl", {lf_airport("LOWI", 3)});      // linked
    bgl("Aerosoft/b.bgl", {lf_airport("EDDM", 3)});  // linked, and more stands than archived
    bgl("Other/d.bgl", {lf_airport("LOWG", 2)});     // generated
    const char* const kept[] = {"airports/my_ORBX/LOWI.xml", "airports/my_thirdparty/EDDM.xml",
                                "airports/my_thirdparty/LOWG.xml"};
    const std::string marked[] = {kHandmade, kHandmade,
                                  R"(<meta><info name="handmade" value="true"/></meta>)"};
    for (int i = 0; i < 3; ++i) tst_writeFile(kept[i], marked[i]);
    tst_writeFile("TBLO/LOWK.xml", kHandmade);  // where an earlier version moved it
    tst_writeFile("TBLO/STALE.xml", kStockSuitable);  // the last scan's copy: goes
    for (const char* icao : {"LOWI", "EDDM", "LOWG"})
        tst_writeFile(fmt::format("site/P3D/archive/stock/{}.xml", icao), kStockSuitable);
    for (int scan = 0; scan < 2; ++scan) {
        SCOPED_TRACE(scan);
        SCAN_AIRPORTS.set(true);
        gf_scanAddonAirports();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(tst_readFile(kept[i]), marked[i]) << kept[i];
        EXPECT_EQ(files("TBLO"), std::vector<std::string>{"LOWK.xml"});
        EXPECT_EQ(tst_readFile("TBLO/LOWK.xml"), kHandmade);
        EXPECT_NE(gf_capturedLog().find("Cleaning folder: TBLO\nTBLO/LOWK.xml kept: hand-made\n"),
                  std::string::npos);
        EXPECT_TRUE(fs::exists("airports/my_ORBX/LOWI.txt"));
        const std::string log = tst_readFile(kAirportsScanLog);
        EXPECT_EQ(log.find("Generated"), std::string::npos);
        EXPECT_NE(log.find("EDDM.xml kept: hand-made\nLOWG.xml kept: hand-made\nLOWI.xml kept: hand-made\n"),
                  std::string::npos);
        EXPECT_EQ(gf_windowStats().orbxAirportsDone, 1);
    }
}

TEST_F(AirportScanTest, ManyFilesAStopAndBadFolders) {
    for (int i = 0; i < 20; ++i)
        bgl(fmt::format("Other/s{}/f{}.bgl", i % 3, i),
            {lf_airport(fmt::format("LO{:02}", i + 10).c_str(), 1)});
    afolder1.set("D:\\Missing");
    afolder2.set("D:\\Addons\\Other\\s0\\f0.bgl");
    gf_scanAddonAirports();
    EXPECT_EQ(files("airports/my_thirdparty").size(), 20u);
    EXPECT_NE(gf_capturedLog().find("D:\\Missing does not exist, skipped!"), std::string::npos);
    EXPECT_NE(gf_capturedLog().find("D:\\Addons\\Other\\s0\\f0.bgl is not a folder name, skipped!"),
              std::string::npos);
    EXPECT_FALSE(fs::exists("TBLO"));  // nothing to learn off line
    EXPECT_EQ(gf_windowStats().tbloFileCount, 0);
    EXPECT_NE(gf_capturedLog().find("All your third party airports are done, no off line learning needed."),
              std::string::npos);

    SCAN_AIRPORTS.set(true);
    gf_editStats([](WindowStats& w) { w.tbloFileCount = 3; }, Region::Airports);  // an earlier scan's TBLO
    fs::remove(g_parametersFile);
    gf_stopRunWith(ExitState::UserClosedSim);
    gf_scanAddonAirports();
    EXPECT_TRUE(files("airports/my_thirdparty").empty());
    EXPECT_TRUE(SCAN_AIRPORTS.value());
    EXPECT_EQ(tst_readFile(g_parametersFile).find(R"(name="SCAN_AIRPORTS" value="false")"), std::string::npos);
    EXPECT_EQ(gf_windowStats().tbloFileCount, 0);  // TBLO was emptied
    EXPECT_NE(gf_capturedLog().find("Airports scan stopped before its end: SCAN_AIRPORTS stays set"),
              std::string::npos);
    // A walk asked to stop starts no task.
    lf_scanFolderTree("D:\\Addons");
    EXPECT_TRUE(files("airports/my_thirdparty").empty());
    EXPECT_EQ(g_runningWorkers.load(), 0);
}

TEST_F(AirportScanTest, FolderErrorsAndAFailingSite) {
    // A scan that ends in an error before its walk leaves the last scan's files alone.
    tst_writeFile("airports/my_thirdparty/OLD.txt", "archive/stock/OLD.xml\n");
    struct Row {
        const char* folder;
        int code;
    };
    const Row rows[] = {{"", 49}, {"D:\\Addons\\Stock\\x", 42}};
    for (const Row& r : rows) {
        afolder0.set(r.folder);
        try {
            gf_scanAddonAirports();
            ADD_FAILURE() << r.folder;
        } catch (const qtk::UserErrorException& e) {
            EXPECT_EQ(e.code(), r.code);
        }
        EXPECT_TRUE(SCAN_AIRPORTS.value());
    }
    EXPECT_TRUE(fs::exists("airports/my_thirdparty/OLD.txt"));
    fs::create_directories("drives/D/Addons/Empty");
    afolder0.set("D:\\Addons\\Empty");
    fs::create_directories(fs::path(kAirportsScanLog) / "x");  // the scan log cannot be written
    gf_scanAddonAirports();
    EXPECT_NE(gf_capturedLog().find("Warning: Scan has not found any add-on airports\n"), std::string::npos);
    EXPECT_NE(gf_capturedLog().find("===> output/info/AirportsScanLog.txt could not be written\n"),
              std::string::npos);
    EXPECT_EQ(gf_capturedLog().find("AirportsScanLog.txt written"), std::string::npos);
    fs::remove_all(kAirportsScanLog);
    SCAN_AIRPORTS.set(true);
    afolder0.set("D:\\Addons");
    // A site that fails: after the first failed transfer no airport is probed, and airports not
    // checked are not done.
    bgl("Other/d.bgl", {lf_airport("LOWG", 1), lf_airport("LOWH", 1)});
    bgl("ORBX/o.bgl", {lf_airport("LOWS", 1)});
    server_.setFault("/P3D/archive/stock/LOWG.xml", HttpFault::ServerError);
    server_.setFault("/P3D/archive/stock/LOWS.xml", HttpFault::ServerError);
    tst_writeFile("site/P3D/archive/stock/LOWH.xml", kStockSuitable);
    gf_scanAddonAirports();
    EXPECT_NE(
        gf_capturedLog().find("===> 2 airports not checked for off line learning: the download site failed"),
        std::string::npos);
    EXPECT_NE(gf_capturedLog().find("===> 1 airport not checked for off line learning"), std::string::npos);
    EXPECT_EQ(gf_capturedLog().find("no off line learning needed"), std::string::npos);
    EXPECT_EQ(gf_windowStats().orbxAirportsDone, 0);
    EXPECT_EQ(server_.requestCount("/P3D/archive/stock/LOWH.xml"), 0);
    EXPECT_FALSE(fs::exists("TBLO"));
}

}  // namespace
