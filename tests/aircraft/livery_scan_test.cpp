#include "aircraft/livery_scan.h"

#include <cstdlib>
#include <map>

#include "aircraft/aircraft_cfg.h"
#include "aircraft/regcodes.h"
#include "aircraft/scan_reports.h"
#include "core/display.h"
#include "core/errors.h"
#include "core/params.h"
#include "core/run_state.h"
#include "core/tasks.h"
#include "livery_fixture.h"
#include "platform/window_model.h"
#include "support/demo_sim_tree.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

class LiveryScanTest : public LiveryTest {
  protected:
    void SetUp() override {
        LiveryTest::SetUp();
        for (const char* name : {"APPDATA", "PROGRAMDATA", "SIM_ROOT", "DRIVES"})
            setenv((std::string("TRELVO_") + name).c_str(), (folder_ / name).c_str(), 1);
        SIM_INSTALL_PATH.set((folder_ / "SIM_ROOT").string());
    }
    // One aircraft.cfg in folder/model with a section per livery.
    void cfg(const std::string& folder, const std::string& model, const std::vector<LiveryData>& liveries) {
        std::string text;
        for (std::size_t i = 0; i < liveries.size(); ++i) text += gf_aircraftCfgSection(int(i), liveries[i]);
        tst_writeFile(fs::path(folder) / model / "aircraft.cfg", text);
    }
    // Manual scan of the folders; the titles of LiveriesScanned.xml with their registrations.
    Strings scanManual(const Strings& folders) {
        LIG_AUTOMATIC.set(false);
        for (std::size_t i = 0; i < folders.size(); ++i) gf_liveryFolderParams()[i]->set(folders[i]);
        gf_scanLiveries();
        return written();
    }
    static Strings written() {
        Strings titles;
        gf_parseLiveriesScanned(tst_readFile(g_liveriesScannedFile), "x");
        for (const LiveryData& l : g_scannedLiveries) titles.push_back(l.title + " " + l.registration);
        return titles;
    }
};

LiveryData lf_liv(const char* airline, const char* type, const char* title, const char* reg = "") {
    return {airline, type, title, reg, 0, false};
}

TEST_F(LiveryScanTest, FolderNumbersAndPriorityKeepTheLowestFolderOfEachAirlineAndType) {
    LIG_PRIORITIZE.set(true);
    Strings folders;
    for (int i = 1; i <= 12; ++i) folders.push_back((folder_ / ("f" + std::to_string(i))).string());
    cfg(folders[0], "m", {lf_liv("AAA", "A320", "t1")});
    cfg(folders[1], "m", {lf_liv("AAA", "A320", "t2"), lf_liv("AAA", "B738", "t2b")});
    cfg(folders[2], "m", {lf_liv("AAA", "B738", "t3")});
    for (int i = 3; i < 8; ++i) cfg(folders[i], "m", {lf_liv("CCC", "C172", ("t" + std::to_string(i + 1)).c_str())});
    cfg(folders[8], "m", {lf_liv("EEE", "A320", "t9")});
    cfg(folders[9], "m", {lf_liv("EEE", "A320", "t10"), lf_liv("GGG", "A320", "t10g")});
    cfg(folders[10], "m", {lf_liv("GGG", "A320", "t11")});
    cfg(folders[11], "m", {lf_liv("GGG", "A320", "t12")});
    // Only aircraft.cfg in any letter case is read; empty ones are listed in path order.
    tst_writeFile(fs::path(folders[0]) / "x" / "aircraft.bak", gf_aircraftCfgSection(0, lf_liv("AAA", "C172", "bak")));
    tst_writeFile(fs::path(folders[1]) / "e" / "AIRCRAFT.CFG", "[General]\n");
    tst_writeFile(fs::path(folders[9]) / "e" / "aircraft.cfg", "");
    tst_writeFile(folder_ / "plain.txt", "");
    // A missing folder after the first takes no number; lfolder holds ten, so the loop is fed directly.
    folders.insert(folders.begin() + 1, (folder_ / "missing").string());
    folders.insert(folders.begin() + 3, (folder_ / "plain.txt").string());
    lf_addInvalidAirline("OLD", "a list left from before");  // the loop starts from empty lists
    g_dontUseTitles = {"t1"};
    ASSERT_EQ(lf_scanLiveryFolders(folders), ScanOutcome::Written);
    EXPECT_FALSE(fs::exists(g_invalidAirlinesFile));
    EXPECT_TRUE(g_emptyCfgFiles.lines().empty() && g_scannedLiveries.empty());  // and ends with empty ones
    EXPECT_EQ(written(), (Strings{"t1 ", "t2b ", "t4 ", "t9 ", "t10g ", "t11 ", "t12 "}));
    EXPECT_EQ(tst_readFile(g_emptyCfgFilesFile), folders[11] + "\\e\\aircraft.cfg\n" + folders[2] + "\\e\\AIRCRAFT.CFG\n");
    EXPECT_NE(gf_capturedLog().find(folders[1] + " does not exist, skipped!\n2 liveries found in " + folders[2]),
              std::string::npos);
}

TEST_F(LiveryScanTest, EqualLiveriesMeetInTheDedupeAndTheLowerPathWinsATitle) {
    const std::string a = (folder_ / "a").string(), b = (folder_ / "b").string(),
                      c = (folder_ / "c").string();
    cfg(a, "z", {lf_liv("SWR", "A320", "Swiss", "HB-1")});
    cfg(a, "y", {lf_liv("SWR", "A320", "Swiss", "HB-9")});  // same title, lower path: wins in a
    // b's file is UTF-16, as some installers write it.
    std::string utf16 = "\xff\xfe";
    for (char ch : gf_aircraftCfgSection(0, lf_liv("SWR", "A320", "Swiss", "HB-2"))) utf16 += {ch, '\0'};
    tst_writeFile(fs::path(b) / "m" / "aircraft.cfg", utf16);
    cfg(c, "m", {lf_liv("SWR", "A320", "Swiss", "HB-9")});
    fs::create_directories(folder_ / "d");
    g_hardwareConcurrency = 3;
    gf_setChecked(SCAN_LIVERIES.controlId(), true);
    EXPECT_EQ(scanManual({a, b, c, (folder_ / "d").string()}), (Strings{"Swiss HB-2", "Swiss HB-9"}));
    EXPECT_NE(gf_capturedLog().find("1 liverie found in " + c + "\nNo liveries found in " +
                                    (folder_ / "d").string() + "\n3 in total\n"),
              std::string::npos);
    EXPECT_FALSE(gf_controlState(SCAN_LIVERIES.controlId()).checked);
    EXPECT_EQ(g_runningWorkers.load(), 0);
    EXPECT_FALSE(SCAN_LIVERIES.value());
    EXPECT_TRUE(g_liveryTablesBuilt);
}

TEST_F(LiveryScanTest, CorrectionsComeFromTheDatabaseRecord) {
    // HB-JVA: opr OAW over airl EDW; D-ALFA: cargo, opr GEC, type B744.
    gf_loadTypeDatabaseText(R"(<dbase><types><type icao="A320" cat="Large"/><type icao="B744" cat="Heavy"/>
        </types><registrations><reg id="HB-JVA" airl="EDW" type="A320" opr="OAW"/>
        <reg id="D-ALFA" airl="DLH" type="B744" opr="GEC" cargo="true"/><reg id="HB-NONE" type=""/>
        </registrations></dbase>)",
                            "dbase.xml");
    const std::string f = (folder_ / "f").string();
    cfg(f, "m",
        {lf_liv("EDW", "A320", "Edelweiss", "HB-JVA"), lf_liv("DLH", "A320", "Lufthansa", "D-ALFA"),
         lf_liv("SWR", "A320", "No Record", "HB-NOPE"), lf_liv("SWR", "A320", "Empty Record", "HB-NONE")});
    scanManual({f});
    const auto line = [](const char* title, const char* rest) {
        return fmt::format("{:80} {}\n", title, rest);
    };
    EXPECT_EQ(tst_readFile(g_conversionsFile), line("Edelweiss", "HB-JVA airl EDW => OAW") +
                                                   line("Lufthansa", "D-ALFA cargo false => true") +
                                                   line("Lufthansa", "D-ALFA airl DLH => GEC") +
                                                   line("Lufthansa", "D-ALFA model A320 => B744") +
                                                   line("Empty Record", "HB-NONE airl SWR => "));
    EXPECT_EQ(written(),
              (Strings{"Empty Record HB-NONE", "Lufthansa D-ALFA", "Edelweiss HB-JVA", "No Record HB-NOPE"}));
}

// Error 48 comes before any file is touched; 53 and 43 after a scan that found nothing.
TEST_F(LiveryScanTest, ScansWithoutFoldersOrLiveriesRaiseTheirErrors) {
    tst_writeFile(g_fixesFile, "kept");
    fs::create_directories(folder_ / "empty");
    const struct {
        bool automatic;
        std::string folder;
        const char* error;
    } rows[] = {{false, "",
                 "48: Set lfolder parameter(-s) to your liveries first, see Manual 5.1 (or check "
                 "Liveries automatic)"},
                {false, (folder_ / "empty").string(), "53: no liveries found"},
                {true, "",
                 "43: Automatic scan has not found any liveries, switch off automatic and set "
                 "lfolder parameter(-s), Manual 5.1"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.error);
        LIG_AUTOMATIC.set(r.automatic);
        lfolder0.set(r.folder);
        gf_editStats([](WindowStats& s) { s.liveryCount = 7; });
        try {
            gf_scanLiveries();
            ADD_FAILURE() << "no error";
        } catch (const qtk::UserErrorException& e) {
            EXPECT_STREQ(e.what(), r.error);
        }
        EXPECT_TRUE(SCAN_LIVERIES.value());
        EXPECT_EQ(gf_windowStats().liveryCount,
                  r.folder.empty() && !r.automatic ? 7 : 0);  // a scan found none
        if (r.folder.empty() && !r.automatic) EXPECT_EQ(tst_readFile(g_fixesFile), "kept");
    }
}

TEST_F(LiveryScanTest, AFailedWriteRaisesAndASecondScanStartsFromEmptyLists) {
    const std::string f = (folder_ / "f").string();
    cfg(f, "m", {lf_liv("swr", "A320", "Fixed", "HB-JVA")});         // a fix and a conversion
    tst_writeFile(fs::path(g_liveriesScannedFile) / "blocker", "");  // a folder where the file goes
    LIG_AUTOMATIC.set(false);
    lfolder0.set(f);
    EXPECT_THROW(gf_scanLiveries(), fs::filesystem_error);
    EXPECT_TRUE(SCAN_LIVERIES.value());
    EXPECT_TRUE(g_fixLines.lines().empty());
    EXPECT_TRUE(g_scannedLiveries.empty());
    fs::remove_all(g_liveriesScannedFile);
    cfg(f, "m", {lf_liv("SWR", "A320", "Fixed", "")});
    // Reports of an earlier scan go: this scan finds nothing to report.
    for (const char* file : {g_fixesFile, g_invalidAirlinesFile, g_emptyCfgFilesFile}) tst_writeFile(file, "old");
    newLog();
    gf_scanLiveries();
    for (const char* file : {g_invalidAirlinesFile, g_emptyCfgFilesFile}) EXPECT_FALSE(fs::exists(file)) << file;
    const std::string log = newLog();
    EXPECT_NE(log.find("\nNo errors\n\nInformation:\n"), std::string::npos);
    EXPECT_EQ(log.find("in total"), std::string::npos);  // one folder
    EXPECT_EQ(log.find("code fixes"), std::string::npos);
    EXPECT_EQ(log.find("liveries updated"), std::string::npos);
    EXPECT_FALSE(fs::exists(g_fixesFile));
    EXPECT_FALSE(fs::exists(g_outputErrorsFolder));
    // Report files that cannot be written say so, Fixes.txt with the reason, and the summary
    // goes on; an errors folder holding other files stays, with the first failure logged.
    tst_writeFile(fs::path(g_outputErrorsFolder) / "other.txt", "");
    newLog();
    lf_removeOldScanFiles();
    EXPECT_EQ(
        newLog().rfind(
            "problems with removing previous files: filesystem error: cannot remove: Directory not empty", 0),
        0u);
    lf_addFixLine("[fltsim.0] icao_airline swr => SWR in x");
    for (const char* file : {g_fixesFile, g_invalidModelsFile}) tst_writeFile(fs::path(file) / "blocker", "");
    lf_writeScanReports();
    const auto full = [this](const char* file) { return (folder_ / file).string(); };
    EXPECT_EQ(newLog(), "\nErrors:\nError writing file " + full(g_fixesFile) +
                            ": Is a directory\n1 code fixes, see " + full(g_fixesFile) +
                            "\n\nInformation:\n");
    lf_addInvalidAirline("SWISS", "x");
    lf_addInvalidModel("XX99", "x");
    lf_writeScanReports();
    EXPECT_EQ(newLog(), "\nErrors:\n1 invalid airline code, see " + full(g_invalidAirlinesFile) +
                            "\n1 invalid model code, see " + full(g_invalidModelsFile) +
                            "\n===> Could not write " + full(g_invalidModelsFile) + "\nError writing file " +
                            full(g_fixesFile) + ": Is a directory\n1 code fixes, see " + full(g_fixesFile) +
                            "\n\nInformation:\n");
    lf_clearScannedLiveries();
    lf_addInvalidAirline("SWISS", "x");  // an error of one kind alone
    lf_writeScanReports();
    EXPECT_EQ(newLog(),
              "\nErrors:\n1 invalid airline code, see " + full(g_invalidAirlinesFile) + "\n\nInformation:\n");
}

TEST_F(LiveryScanTest, TheDemoTreeScansToTheLiveriesItWasBuiltFrom) {
    gf_loadTypeDatabaseFile(tst_sourceDir() / "data/dbase.xml");
    fs::copy(tst_sourceDir() / "data/demo/input", "input", fs::copy_options::recursive);
    gf_parseLiveriesScanned(tst_readFile(tst_sourceDir() / "data/LiveriesScanned.xml"), "data");
    std::map<std::string, LiveryData> source;
    for (const LiveryData& l : g_scannedLiveries) source[l.title] = l;
    gf_writeDemoSimTree(g_scannedLiveries);
    g_hardwareConcurrency = 4;  // parse tasks in parallel: the result must not depend on their timing
    newLog();
    gf_scanLiveries();
    const std::string log = newLog();
    gf_parseLiveriesScanned(tst_readFile(g_liveriesScannedFile), "out");
    std::size_t same = 0;
    for (const LiveryData& l : g_scannedLiveries) {
        const LiveryData& s = source.at(l.title);
        same += l.airline == s.airline && l.type == s.type && l.registration == s.registration && l.cargo == s.cargo;
    }
    EXPECT_EQ(g_scannedLiveries.size(), source.size());
    EXPECT_EQ(same, source.size() - 10);  // ten registrations the database corrects
    const std::string base = (folder_ / "output").string();
    const std::string summary = log.substr(log.find("\nErrors:"), log.find("SCAN_LIVERIES=false") - log.find("\nErrors:"));
    EXPECT_EQ(summary, "\nErrors:\n2 invalid airline codes, see " + base + "/errors/InvalidAirlineCodes.txt\n"
                       "2 invalid model codes, see " + base + "/errors/InvalidAircraftCodes.txt\n"
                       "2 code fixes, see " + base + "/errors/Fixes.txt\n"
                       "4 invalid aircraft.cfg files, see " + base + "/errors/InvalidAircraftCfgFiles.txt\n"
                       "2 incomplete [fltsim.x] sections, see " + base + "/errors/IncompleFltsimSections.txt\n"
                       "\nInformation:\n2 empty aircraft.cfg files, see " + base + "/info/AircraftCfgWithNoFltsimSection.txt\n"
                       "18 liveries updated with real live data from dbase, see " + base + "/info/AirlineModelConversions.txt\n");
    const std::string planted = "D:\\AI Traffic\\Demo Airlines\\SimObjects\\Liveries\\";
    EXPECT_EQ(tst_readFile(g_incompleteSectionsFile), planted + "Planted Errors\\aircraft.cfg\n");
    // The folder is found twice: its invalid files are listed twice.
    EXPECT_EQ(tst_readFile(g_invalidCfgFilesFile),
              planted + "Broken Model\\aircraft.cfg\n" + planted + "Broken Model\\aircraft.cfg\n" + planted +
                  "Lost Model\\aircraft.cfg\n" + planted + "Lost Model\\aircraft.cfg\n");
    for (const char* line : {"      Simobjects found:SimObjects\\Liveries\n", "2 AI add-on packages found\n",
                             "291 liveries found in D:\\AI Traffic\\Demo Airlines\\SimObjects\\Liveries\n",
                             "D:\\Old AI\\Aircraft does not exist, skipped!\n", "668 in total\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(LiveryScanTest, AStopWritesNothingAndLeavesTheScanDue) {
    cfg((folder_ / "f").string(), "m", {lf_liv("SWR", "A320", "New", ""), lf_liv("swr", "A320", "Fixed", "")});
    tst_writeFile(g_liveriesScannedFile, "old");
    g_stopRun = true;
    LIG_AUTOMATIC.set(false);
    lfolder0.set((folder_ / "f").string());
    gf_scanLiveries();
    EXPECT_EQ(tst_readFile(g_liveriesScannedFile), "old");
    EXPECT_TRUE(SCAN_LIVERIES.value() && !g_liveryTablesBuilt && g_fixLines.lines().empty());
    EXPECT_FALSE(fs::exists(g_fixesFile));
}

TEST_F(LiveryScanTest, SectionsGiveLiveriesProblemsAndFixes) {
    g_dontUseTitles = {"Old Trainer"};
    const struct { const char* name; std::string text; Strings liveries; bool invalid, empty; int incomplete;
                   Strings airlines, models, fixes;
    } rows[] = {
        {"two sections, keys in any case, quotes, comments, other sections",
         "[General]\ntitle=Not A Livery\n[FLTSIM.0]\n Title = \"Swiss A320\" \r\n; "
         "atc_id=HB-XXX\nATC_ID=HB-IJB\n"
         "icao_airline=SWR\nicao_type_designator=A320\natc_parking_types=GATE,Cargo\ntitle=Second Title\n"
         "[fltsim.1]\ntitle=Swiss "
         "A321\nicao_airline=SWR\nicao_type_designator=A321\n[Effects]\natc_id=HB-ZZZ\n",
         {"Swiss A320|HB-IJB|SWR|A320|cargo", "Swiss A321||SWR|A321"},
         false,
         false,
         0,
         {},
         {},
         {}},
        {"lower-case codes are fixed",
         "[fltsim.19]\ntitle=T\nicao_airline=zzz\nicao_type_designator=b738\n",
         {"T||ZZZ|B738"},
         false,
         false,
         0,
         {},
         {},
         {"[fltsim.19] icao_airline zzz => ZZZ", "[fltsim.19] icao_type_designator b738 => B738"}},
        {"incomplete, invalid codes, don't-use",
         "[fltsim.0]\ntitle=No Type\nicao_airline=SWR\n[fltsim.1]\ntitle= "
         "\nicao_airline=SWR\nicao_type_designator=A320\n"
         "[fltsim.2]\ntitle=A\nicao_airline=SWISS\nicao_type_designator=A320\n"
         "[fltsim.3]\ntitle=B\nicao_airline=SW-\nicao_type_designator=XX99\n"
         "[fltsim.4]\ntitle=Old Trainer\nicao_airline=PVT\nicao_type_designator=C172\n",
         {},
         false,
         false,
         2,
         {"SWISS", "SW-"},
         {"XX99"},
         {}},
        {"trailing comments, quotes that hold comment marks or quotes, a lone quote, codes with A and 0",
         "[fltsim.0] ; Swiss\ntitle=\"Swiss A320; HB-IJB // x\" ; x\nicao_airline=SWR ; Swiss\n"
         "icao_type_designator=A320 // Airbus\natc_parking_types=GATE ; CARGO later\natc_id=HB-IJB//reg\n"
         "[fltsim.1]//x\ntitle=\"Open ; "
         "x\nicao_airline=\"SWR\"//x\nicao_type_designator=A321;\natc_parking_types=CARGO\n"
         "[fltsim.2]\ntitle=\"Say \"Hi\" A320\" // x\nicao_airline=A0B\nicao_type_designator=A320\n",
         {"Swiss A320; HB-IJB // x|HB-IJB|SWR|A320", "\"Open||SWR|A321|cargo", "Say \"Hi\" A320||A0B|A320"},
         false,
         false,
         0,
         {},
         {},
         {}},
        {"no livery section",
         "[General]\natc_type=Airbus\n[fltsim.x]\ntitle=T\n[fltsim.]\ntitle=T\n",
         {},
         false,
         true,
         0,
         {},
         {},
         {}},
        {"empty text", "", {}, false, true, 0, {}, {}, {}},
        {"binary", std::string("[fltsim.0]\ntitle=T\0", 20), {}, true, false, 0, {}, {}, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const CfgFindings f = gf_parseAircraftCfg(r.text);
        Strings liveries;
        for (const LiveryData& l : f.liveries)
            liveries.push_back(l.title + "|" + l.registration + "|" + l.airline + "|" + l.type + (l.cargo ? "|cargo" : ""));
        EXPECT_EQ(liveries, r.liveries);
        EXPECT_EQ(std::tie(f.invalid, f.noFltsimSection, f.incompleteSections), std::tie(r.invalid, r.empty, r.incomplete));
        EXPECT_EQ(std::tie(f.invalidAirlines, f.invalidModels, f.fixes), std::tie(r.airlines, r.models, r.fixes));
    }
}

}  // namespace
