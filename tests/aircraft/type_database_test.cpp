#include "aircraft/type_database.h"

#include "core/errors.h"
#include "core/log.h"
#include "support/work_folder.h"

namespace {

constexpr const char* kSmallDb = R"(<?xml version="1.0" encoding="utf-8"?><dbase><types>
  <type icao="A320" cat="Large" span="34.10"/> <type icao="A20N" cat="Large" span="35.80"/> <type icao="B739" cat="Large"
  span="35.79"/> <type icao="BCS3" cat="Large" span="35.10"/> <type icao="B77W" cat="Heavy" span="64.80"/> <type icao=
  "A388" cat="Heavy" span="79.75"/> <type icao="B748" cat="Heavy"/> <type icao="C172" cat="Light" span="11"/> <type icao=
  "DA40" cat="Light" span=" 12.00 "/> <type icao="P28A" cat="Light"/> <type icao="PC24" cat="Buzjets" span="17.00"/>
  <type icao="F16" cat="HighPerf" span="9.96"/> <type icao="EC45" cat="Rotorcraft"/></types>
  <similars><group types="A320, A20N,,A320"/><group types="B77W,B748,A388"/></similars><registrations>
  <reg id="HB-JCA" airl="SWR" type="BCS3"/> <reg id="HB-JCB" airl="SWR" type="BCS3"/> <reg id="HBJCB" airl="XXX" type=
  "BCS3"/> <reg id="N899DN" airl="DAL" type="B739"/> <reg id="HB-AZF" airl="SWR" type="A20N" opr="OAW"/> <reg id=
  "LX-VCA" airl="CLX" type="B748" cargo="true"/> <reg id="HB-ZQA" airl="SAZ"/> <reg id="N1" airl="NAS"/></registrations>
  <publishers><pub names="FlyTampa,Fly Tampa"/><pub names=" Aerosoft "/></publishers>
  <simaddonsP3D><simaddonP3D arpts="LSZH,LSGG"/><simaddonP3D arpts="LSZB,LSZH"/></simaddonsP3D><thirdpartiesP3D>
  <thirdpartieP3D pub="FlyTampa" arpts="EHAM221, LOWW154"/><thirdpartieP3D pub="Aerosoft" arpts="EDDF212"/>
</thirdpartiesP3D></dbase>)";

using TypeDatabaseTest = LoggedTest;

TEST_F(TypeDatabaseTest, CategoriesSpansSectionsAndSummary) {
    EXPECT_EQ(gf_halfWingspan("A320"), 0) << "nothing loaded";
    gf_loadTypeDatabaseText(kSmallDb, "dbase.xml");
    // A type without a span takes its category's average.
    const double light = (5.5 + 6.0) / 2, heavy = (32.4 + 39.875) / 2;
    const struct { const char* type; AircraftCategory category; double halfSpanM; bool known; } rows[] = {
        {"A320", AircraftCategory::Large, 17.05, true},     {"B77W", AircraftCategory::Heavy, 32.4, true},
        {"B748", AircraftCategory::Heavy, heavy, true},     {"C172", AircraftCategory::Light, 5.5, true},
        {"DA40", AircraftCategory::Light, 6.0, true},       {"P28A", AircraftCategory::Light, light, true},
        {"PC24", AircraftCategory::Buzjets, 8.5, true},     {"F16", AircraftCategory::HighPerf, 4.98, true},
        {"EC45", AircraftCategory::Rotorcraft, 0, true},    {"ZZZZ", AircraftCategory::Light, light, false},
        {"a320", AircraftCategory::Light, light, false},    {"", AircraftCategory::Light, light, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(std::tie(row.category, row.known), std::make_tuple(gf_aircraftCategory(row.type), gf_isKnownType(row.type)));
        EXPECT_NEAR(gf_halfWingspan(row.type), row.halfSpanM / 1852.0, 1e-12) << row.type;
    }
    using Groups = std::vector<std::vector<std::string>>;
    EXPECT_EQ(gf_similarTypeGroups(), (Groups{{"A320", "A20N"}, {"B77W", "B748", "A388"}}));
    EXPECT_EQ(g_publishers, (Groups{{"FlyTampa", "Fly Tampa"}, {"Aerosoft"}}));
    EXPECT_EQ(g_simAddonAirports, (std::set<std::string>{"LSGG", "LSZB", "LSZH"}));
    ASSERT_EQ(g_thirdPartyPublishers.size(), 2u);
    EXPECT_EQ(g_thirdPartyPublishers[0].publisher + " " + g_thirdPartyPublishers[0].airports[1], "FlyTampa LOWW154");
    EXPECT_EQ(gf_capturedLog(),
              "Type database dbase.xml: 13 types, 2 similar-type groups, 8 registrations, 2 publishers, "
              "3 simaddon airports, 2 third-party publishers\n");
}

// The first candidate key that matches wins (HB-JCB and HBJCB are both in the file).
TEST_F(TypeDatabaseTest, RegistrationLookup) {
    gf_loadTypeDatabaseText(kSmallDb, "dbase.xml");
    const struct { const char *reg, *airline, *type, *opr; bool cargo;
    } rows[] = {
        {"hbjca", "SWR", "BCS3", "", false},
        {"hb-jcb", "SWR", "BCS3", "", false},
        {"HBJCB", "XXX", "BCS3", "", false},
        {"hbjcb", "XXX", "BCS3", "", false},
        {"n-899dn", "DAL", "B739", "", false},
        {"HBAZF", "SWR", "A20N", "OAW", false},
        {"LXVCA", "CLX", "B748", "", true},
        {"HB-ZQA", "SAZ", "", "", false},
        {"HB-JCZ", nullptr},
        {" HB-JCA", nullptr},
        {"N1", "NAS", "", "", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reg);
        const auto record = gf_findDbRecord(row.reg);
        ASSERT_EQ(record.has_value(), row.airline != nullptr);
        EXPECT_EQ(gf_dbAirlineOfReg(row.reg), row.airline ? row.airline : "");
        if (record) EXPECT_EQ(std::tie(record->type, record->opr, record->cargo), std::tie(row.type, row.opr, row.cargo));
        if (record) EXPECT_EQ(gf_dbOperatorOfReg(row.reg), row.opr);
    }
    EXPECT_EQ(gf_airlineTypeId(*gf_findDbRecord("HB-ZQA")) + gf_airlineTypeId(*gf_findDbRecord("LX-VCA")), "SAZ     CLX B748");
    // The keys tried: as written, upper-cased, then with or without the dash after the country prefix.
    for (const auto& [reg, keys] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"hb-jca", {"hb-jca", "HB-JCA", "HBJCA"}}, {"N-899DN", {"N-899DN", "N899DN"}}, {"JA801A", {"JA801A"}},
             {"DAIZA", {"DAIZA", "D-AIZA"}}, {"DQFJA", {"DQFJA", "DQ-FJA"}}, {"D2TEF", {"D2TEF", "D2-TEF"}},
             {"CFITL", {"CFITL", "C-FITL"}}, {"CSTNG", {"CSTNG", "CS-TNG"}}, {"A4OSA", {"A4OSA", "A4O-SA"}},
             {"A9CTA", {"A9CTA", "A9C-TA"}}, {"GEUPA", {"GEUPA", "G-EUPA"}}, {"9HVJA", {"9HVJA", "9H-VJA"}},
             {"HB", {"HB"}}, {"", {}}})
        EXPECT_EQ(gf_registrationCandidates(reg), keys) << reg;
}

TEST_F(TypeDatabaseTest, BadEntriesAreDroppedAndReportedOnce) {
    gf_loadTypeDatabaseText(
        "<dbase><types><type icao=\"A320\" cat=\"Large\" span=\"34.1\"/></types>\n"
        "<similars><group types=\"A320,XXXX\"/><group types=\"A320,A320\"/></similars>\n"
        "<registrations><reg id=\"HB-IJD\" airl=\"SWR\" type=\"A320\"/>\n"
        "<reg id=\"HB-IJD\" airl=\"EDW\" type=\"A320\"/>\n"
        "<reg id=\"HB-IJE\" airl=\"SWR\" type=\"Q400\"/>\n"
        "<reg id=\"HB-IJF\" airl=\"SWR\" type=\"A320\" cargo=\"yes\"/>\n"
        "<reg id=\"HB IJG\" airl=\"SWR\"/><reg airl=\"SWR\"/>\n"
        "<reg id=\"HB-IJH\" type=\"A320\"/></registrations>\n"
        "<publishers><pub names=\" , \"/></publishers><simaddonsP3D><simaddonP3D/></simaddonsP3D>\n"
        "<thirdpartiesP3D><thirdpartieP3D arpts=\"EDDF212\"/><thirdpartieP3D pub=\"DD\"/></thirdpartiesP3D></dbase>",
        "input/dbase.xml");
    const std::string at = "          element ";
    EXPECT_EQ(gf_capturedLog(),
              "===> input/dbase.xml: 12 bad entries dropped\n" + at +
                  "\"group\" at line 2, offset 77: unknown type \"XXXX\" in a similar-type group\n" + at +
                  "\"group\" at line 2, offset 77: similar-type group with fewer than two known types\n" + at +
                  "\"group\" at line 2, offset 103: similar-type group with fewer than two known types\n" + at +
                  "\"reg\" at line 4, offset 198: registration \"HB-IJD\" given twice\n" + at +
                  "\"reg\" at line 5, offset 240: unknown type \"Q400\" of registration \"HB-IJE\"\n" + at +
                  "\"reg\" at line 6, offset 282: invalid cargo flag \"yes\" of registration \"HB-IJF\"\n" + at +
                  "\"reg\" at line 7, offset 336: invalid registration \"HB IJG\"\n" + at +
                  "\"reg\" at line 7, offset 365: invalid registration \"\"\n" + at +
                  "\"pub\" at line 9, offset 442: publisher without names\n" + at +
                  "\"simaddonP3D\" at line 9, offset 487: no airports\n"
                  "          and 2 more\n"
                  "Type database input/dbase.xml: 1 types, 0 similar-type groups, 2 registrations, 0 publishers, "
                  "0 simaddon airports, 0 third-party publishers\n");
    EXPECT_EQ(gf_dbAirlineOfReg("HB-IJD"), "SWR");  // the first of two entries stays
    EXPECT_TRUE(gf_findDbRecord("HB-IJH") && !gf_findDbRecord("HB-IJE") && !gf_findDbRecord("HB-IJF"));
}

// A refused file names the place and keeps the tables loaded before; a good one replaces them.
TEST_F(TypeDatabaseTest, BrokenFilesAreRefusedWithThePlace) {
    const std::string ns = "db.xml: not an XML file: ", types = "db.xml: section \"types\" missing or without \"type\"";
    const std::string at1 = "db.xml: element \"type\" at line 1, offset 15: ";
    std::vector<std::pair<std::string, std::string>> rows = {
        {"", ns + "No document element found at line 1, offset 0"},
        {"<dbase>\n<types></dbase>", ns + "Start-end tags mismatch at line 2, offset 17"},
        {"<database/>", "db.xml: root element \"dbase\" missing"}, {"<dbase><types/></dbase>", types},
        {"<dbase><types>\n<type icao=\"A320\" cat=\"large\"/></types></dbase>",
         "db.xml: element \"type\" at line 2, offset 16: invalid category \"large\" of type \"A320\""},
        {"<dbase><types><type icao=\"a320\" cat=\"Large\"/></types></dbase>", at1 + "invalid type code \"a320\""},
        {"<dbase><types><type icao=\"A3200\" cat=\"Large\"/></types></dbase>", at1 + "invalid type code \"A3200\""},
        {"<dbase><types><type icao=\"A320\" cat=\"Large\"/>\n<type icao=\"A320\" cat=\"Heavy\"/></types></dbase>",
         "db.xml: element \"type\" at line 2, offset 47: type \"A320\" given twice"},
    };
    for (const char* span : {"nan", "0", "120.5", "34m"})
        rows.push_back({fmt::format("<dbase><types><type icao=\"A320\" cat=\"Large\" span=\"{}\"/></types></dbase>", span),
                        at1 + fmt::format("invalid wing span \"{}\" of type \"A320\"", span)});
    rows.push_back({"", ""});  // the file name only: a missing file
    gf_loadTypeDatabaseText(kSmallDb, "dbase.xml");
    for (const auto& [xml, message] : rows) {
        SCOPED_TRACE(xml);
        try {
            if (message.empty()) gf_loadTypeDatabaseFile("input/missing.xml");
            else gf_loadTypeDatabaseText(xml, "db.xml");
            ADD_FAILURE() << "no error";
        } catch (const qtk::UserErrorException& e) {
            EXPECT_EQ(e.code(), 99);
            EXPECT_EQ(std::string(e.what()),
                      message.empty() ? "input/missing.xml: cannot be read: No such file or directory" : message);
        }
    }
    EXPECT_EQ(gf_dbAirlineOfReg("N899DN"), "DAL");  // the loaded tables stay
    tst_writeFile("input/dbase.xml", "<dbase><types><type icao=\"B744\" cat=\"Heavy\" span=\"64.44\"/></types>"
                                     "<publishers><pub names=\"UK2000\"/></publishers></dbase>");
    gf_loadTypeDatabaseFile("input/dbase.xml");
    EXPECT_FALSE(gf_isKnownType("A320") || !gf_isKnownType("B744"));
    EXPECT_EQ(gf_halfWingspan("B77W"), 0);  // Light now has no spans
    EXPECT_EQ(gf_dbAirlineOfReg("N899DN"), "");
    EXPECT_TRUE(gf_similarTypeGroups().empty() && g_simAddonAirports.empty() && g_thirdPartyPublishers.empty());
    EXPECT_EQ(g_publishers, (std::vector<std::vector<std::string>>{{"UK2000"}}));
}

}  // namespace
