#include "aircraft/type_database.h"

#include <cmath>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "core/errors.h"
#include "core/log.h"
#include "support/work_folder.h"

namespace {

constexpr const char* kSmallDb = R"(<?xml version="1.0" encoding="utf-8"?>
<dbase>
  <meta><info name="version" value="7"/></meta>
  <types>
    <type icao="A320" cat="Large" span="34.10"/>
    <type icao="A20N" cat="Large" span="35.80"/>
    <type icao="B739" cat="Large" span="35.79"/>
    <type icao="BCS3" cat="Large" span="35.10"/>
    <type icao="B77W" cat="Heavy" span="64.80"/>
    <type icao="A388" cat="Heavy" span="79.75"/>
    <type icao="B748" cat="Heavy"/>
    <type icao="C172" cat="Light" span="11"/>
    <type icao="DA40" cat="Light" span=" 12.00 "/>
    <type icao="P28A" cat="Light"/>
    <type icao="PC24" cat="Buzjets" span="17.00"/>
    <type icao="F16" cat="HighPerf" span="9.96"/>
    <type icao="EC45" cat="Rotorcraft"/>
  </types>
  <similars>
    <group types="A320, A20N,,A320"/>
    <group types="B77W,B748,A388"/>
  </similars>
  <registrations>
    <reg id="HB-JCA" airl="SWR" type="BCS3"/>
    <reg id="HB-JCB" airl="SWR" type="BCS3"/>
    <reg id="HBJCB" airl="XXX" type="BCS3"/>
    <reg id="N899DN" airl="DAL" type="B739"/>
    <reg id="HB-AZF" airl="SWR" type="A20N" opr="OAW"/>
    <reg id="LX-VCA" airl="CLX" type="B748" cargo="true"/>
    <reg id="HB-ZQA" airl="SAZ"/>
  </registrations>
  <publishers>
    <pub names="FlyTampa,Fly Tampa"/>
    <pub names=" Aerosoft "/>
  </publishers>
  <simaddonsP3D>
    <simaddonP3D arpts="LSZH,LSGG"/>
    <simaddonP3D arpts="LSZB,LSZH"/>
  </simaddonsP3D>
  <thirdpartiesP3D>
    <thirdpartieP3D pub="FlyTampa" arpts="EHAM221, LOWW154"/>
    <thirdpartieP3D pub="Aerosoft" arpts="EDDF212"/>
  </thirdpartiesP3D>
</dbase>
)";

class TypeDatabaseTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_setLogCapture(true);
    }
};

constexpr double kNmPerMeter = 1.0 / 1852.0;

TEST_F(TypeDatabaseTest, CategoriesAndHalfSpans) {
    gf_loadTypeDatabaseText(kSmallDb, "dbase.xml");
    struct Row {
        const char* type;
        AircraftCategory category;
        double halfSpanM;
        bool known;
    };
    const double lightAverage = (5.5 + 6.0) / 2;
    const double heavyAverage = (32.4 + 39.875) / 2;
    const Row rows[] = {
        {"A320", AircraftCategory::Large, 17.05, true},
        {"B77W", AircraftCategory::Heavy, 32.4, true},
        {"B748", AircraftCategory::Heavy, heavyAverage, true},  // no span: its category's average
        {"C172", AircraftCategory::Light, 5.5, true},
        {"DA40", AircraftCategory::Light, 6.0, true},
        {"P28A", AircraftCategory::Light, lightAverage, true},
        {"PC24", AircraftCategory::Buzjets, 8.5, true},
        {"F16", AircraftCategory::HighPerf, 4.98, true},
        {"EC45", AircraftCategory::Rotorcraft, 0, true},  // no rotorcraft has a span
        {"ZZZZ", AircraftCategory::Light, lightAverage, false},
        {"a320", AircraftCategory::Light, lightAverage, false},
        {"", AircraftCategory::Light, lightAverage, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(gf_aircraftCategory(row.type), row.category);
        EXPECT_NEAR(gf_halfWingspan(row.type), row.halfSpanM * kNmPerMeter, 1e-12);
        EXPECT_EQ(gf_isKnownType(row.type), row.known);
    }
}

TEST_F(TypeDatabaseTest, EmptyDatabaseKnowsNothing) {
    EXPECT_EQ(gf_aircraftCategory("A320"), AircraftCategory::Light);
    EXPECT_EQ(gf_halfWingspan("A320"), 0);
    EXPECT_FALSE(gf_isKnownType("A320"));
    EXPECT_FALSE(gf_findDbRecord("HB-JCA"));
    EXPECT_TRUE(gf_similarTypeGroups().empty());
}

TEST_F(TypeDatabaseTest, CategoryNames) {
    const char* names[] = {"Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft", ""};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(gf_categoryName(static_cast<AircraftCategory>(i)), names[i]);
    }
    EXPECT_EQ(gf_categoryName(static_cast<AircraftCategory>(-1)), "");
}

TEST_F(TypeDatabaseTest, RegistrationCandidateKeysInOrder) {
    struct Row {
        const char* reg;
        std::vector<std::string> keys;
    };
    const Row rows[] = {
        {"HB-JCA", {"HB-JCA", "HBJCA"}},
        {"hb-jca", {"hb-jca", "HB-JCA", "HBJCA"}},
        {"HBJCA", {"HBJCA", "HB-JCA"}},
        {"hbjca", {"hbjca", "HBJCA", "HB-JCA"}},
        {"N899DN", {"N899DN"}},  // N-numbers carry no dash
        {"n899dn", {"n899dn", "N899DN"}},
        {"N-899DN", {"N-899DN", "N899DN"}},
        {"JA801A", {"JA801A"}},
        {"HL7782", {"HL7782"}},
        {"DAIZA", {"DAIZA", "D-AIZA"}},
        {"DQFJA", {"DQFJA", "DQ-FJA"}},
        {"D2TEF", {"D2TEF", "D2-TEF"}},
        {"CFITL", {"CFITL", "C-FITL"}},
        {"CSTNG", {"CSTNG", "CS-TNG"}},
        {"GEUPA", {"GEUPA", "G-EUPA"}},
        {"FGKXA", {"FGKXA", "F-GKXA"}},
        {"IADJK", {"IADJK", "I-ADJK"}},
        {"MALEX", {"MALEX", "M-ALEX"}},
        {"BKPA", {"BKPA", "B-KPA"}},
        {"9HVJA", {"9HVJA", "9H-VJA"}},
        {"A4OSA", {"A4OSA", "A4O-SA"}},
        {"A9CTA", {"A9CTA", "A9C-TA"}},
        {"T7AAA", {"T7AAA", "T7-AAA"}},
        {"OELBA", {"OELBA", "OE-LBA"}},
        {"HB", {"HB"}},  // nothing after the prefix: no dash
        {"", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reg);
        EXPECT_EQ(gf_registrationCandidates(row.reg), row.keys);
    }
}

TEST_F(TypeDatabaseTest, RegistrationLookupTriesKeysInOrder) {
    gf_loadTypeDatabaseText(kSmallDb, "dbase.xml");
    struct Row {
        const char* reg;
        const char* airline;  // nullptr: no record
    };
    // HB-JCB and HBJCB are both in the file: the first candidate that matches wins.
    const Row rows[] = {
        {"HB-JCA", "SWR"},   {"hb-jca", "SWR"}, {"HBJCA", "SWR"},     {"hbjca", "SWR"},  {"HB-JCB", "SWR"},
        {"hb-jcb", "SWR"},   {"HBJCB", "XXX"},  {"hbjcb", "XXX"},     {"N899DN", "DAL"}, {"n-899dn", "DAL"},
        {"HB-JCZ", nullptr}, {"", nullptr},     {" HB-JCA", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reg);
        auto record = gf_findDbRecord(row.reg);
        ASSERT_EQ(record.has_value(), row.airline != nullptr);
        if (record) EXPECT_EQ(record->airl, row.airline);
        EXPECT_EQ(gf_dbAirlineOfReg(row.reg), row.airline ? row.airline : "");
    }
}

TEST_F(TypeDatabaseTest, RecordFields) {
    gf_loadTypeDatabaseText(kSmallDb, "dbase.xml");
    auto helvetic = gf_findDbRecord("hb-azf");
    ASSERT_TRUE(helvetic);
    EXPECT_EQ(helvetic->airl, "SWR");
    EXPECT_EQ(helvetic->type, "A20N");
    EXPECT_EQ(helvetic->opr, "OAW");
    EXPECT_FALSE(helvetic->cargo);
    EXPECT_EQ(gf_dbOperatorOfReg("HBAZF"), "OAW");
    EXPECT_EQ(gf_dbOperatorOfReg("HB-JCA"), "");
    EXPECT_EQ(gf_dbOperatorOfReg("HB-XXX"), "");
    EXPECT_EQ(gf_dbOperatorOfReg(""), "");

    auto cargolux = gf_findDbRecord("LXVCA");
    ASSERT_TRUE(cargolux);
    EXPECT_EQ(gf_airlineTypeId(*cargolux), "CLX B748");
    EXPECT_TRUE(cargolux->cargo);

    auto rega = gf_findDbRecord("HB-ZQA");
    ASSERT_TRUE(rega);
    EXPECT_EQ(rega->type, "");
    EXPECT_EQ(gf_airlineTypeId(*rega), "SAZ     ");
}

TEST_F(TypeDatabaseTest, SectionsAndSummary) {
    gf_loadTypeDatabaseText(kSmallDb, "dbase.xml");
    using Groups = std::vector<std::vector<std::string>>;
    EXPECT_EQ(gf_similarTypeGroups(), (Groups{{"A320", "A20N"}, {"B77W", "B748", "A388"}}));
    EXPECT_EQ(g_publishers, (Groups{{"FlyTampa", "Fly Tampa"}, {"Aerosoft"}}));
    EXPECT_EQ(g_simAddonAirports, (std::set<std::string>{"LSGG", "LSZB", "LSZH"}));
    ASSERT_EQ(g_thirdPartyPublishers.size(), 2u);
    EXPECT_EQ(g_thirdPartyPublishers[0].publisher, "FlyTampa");
    EXPECT_EQ(g_thirdPartyPublishers[0].airports, (std::vector<std::string>{"EHAM221", "LOWW154"}));
    EXPECT_EQ(g_thirdPartyPublishers[1].publisher, "Aerosoft");
    EXPECT_EQ(g_thirdPartyPublishers[1].airports, (std::vector<std::string>{"EDDF212"}));
    EXPECT_EQ(gf_capturedLog(),
              "Type database dbase.xml: 13 types, 2 similar-type groups, 7 registrations, 2 publishers, "
              "3 simaddon airports, 2 third-party publishers\n");
}

TEST_F(TypeDatabaseTest, BadEntriesAreDroppedAndReportedOnce) {
    const char* xml =
        "<dbase><types><type icao=\"A320\" cat=\"Large\" span=\"34.1\"/></types>\n"
        "<similars><group types=\"A320,XXXX\"/><group types=\"A320,A320\"/></similars>\n"
        "<registrations><reg id=\"HB-IJD\" airl=\"SWR\" type=\"A320\"/>\n"
        "<reg id=\"HB-IJD\" airl=\"EDW\" type=\"A320\"/>\n"
        "<reg id=\"HB-IJE\" airl=\"SWR\" type=\"Q400\"/>\n"
        "<reg id=\"HB-IJF\" airl=\"SWR\" type=\"A320\" cargo=\"yes\"/>\n"
        "<reg id=\"HB IJG\" airl=\"SWR\"/><reg airl=\"SWR\"/>\n"
        "<reg id=\"HB-IJH\" type=\"A320\"/></registrations>\n"
        "<publishers><pub names=\" , \"/></publishers><simaddonsP3D><simaddonP3D/></simaddonsP3D>\n"
        "<thirdpartiesP3D><thirdpartieP3D arpts=\"EDDF212\"/><thirdpartieP3D "
        "pub=\"DD\"/></thirdpartiesP3D></dbase>";
    gf_loadTypeDatabaseText(xml, "input/dbase.xml");
    EXPECT_EQ(
        gf_capturedLog(),
        "===> input/dbase.xml: 12 bad entries dropped\n"
        "          element \"group\" at line 2, offset 77: unknown type \"XXXX\" in a similar-type group\n"
        "          element \"group\" at line 2, offset 77: similar-type group with fewer than two known "
        "types\n"
        "          element \"group\" at line 2, offset 103: similar-type group with fewer than two known "
        "types\n"
        "          element \"reg\" at line 4, offset 198: registration \"HB-IJD\" given twice\n"
        "          element \"reg\" at line 5, offset 240: unknown type \"Q400\" of registration \"HB-IJE\"\n"
        "          element \"reg\" at line 6, offset 282: invalid cargo flag \"yes\" of registration "
        "\"HB-IJF\"\n"
        "          element \"reg\" at line 7, offset 336: invalid registration \"HB IJG\"\n"
        "          element \"reg\" at line 7, offset 365: invalid registration \"\"\n"
        "          element \"pub\" at line 9, offset 442: publisher without names\n"
        "          element \"simaddonP3D\" at line 9, offset 487: no airports\n"
        "          and 2 more\n"
        "Type database input/dbase.xml: 1 types, 0 similar-type groups, 2 registrations, 0 publishers, "
        "0 simaddon airports, 0 third-party publishers\n");
    EXPECT_EQ(gf_dbAirlineOfReg("HB-IJD"), "SWR");  // the first of two entries stays
    EXPECT_EQ(gf_dbAirlineOfReg("HB-IJH"), "");     // kept, without airline
    EXPECT_TRUE(gf_findDbRecord("HB-IJH"));
    EXPECT_FALSE(gf_findDbRecord("HB-IJE"));
    EXPECT_FALSE(gf_findDbRecord("HB-IJF"));
}

TEST_F(TypeDatabaseTest, BrokenFilesAreRefusedWithThePlace) {
    struct Row {
        const char* xml;
        const char* message;
    };
    const Row rows[] = {
        {"", "db.xml: not an XML file: No document element found at line 1, offset 0"},
        {"hello", "db.xml: not an XML file: No document element found at line 1, offset 5"},
        {"<dbase>\n<types></dbase>", "db.xml: not an XML file: Start-end tags mismatch at line 2, offset 17"},
        {"<database><types><type icao=\"A320\" cat=\"Large\"/></types></database>",
         "db.xml: root element \"dbase\" missing"},
        {"<dbase><registrations/></dbase>", "db.xml: section \"types\" missing or without \"type\""},
        {"<dbase><types/></dbase>", "db.xml: section \"types\" missing or without \"type\""},
        {"<dbase><types>\n<type icao=\"A320\"/></types></dbase>",
         "db.xml: element \"type\" at line 2, offset 16: invalid category \"\" of type \"A320\""},
        {"<dbase><types>\n<type icao=\"A320\" cat=\"large\"/></types></dbase>",
         "db.xml: element \"type\" at line 2, offset 16: invalid category \"large\" of type \"A320\""},
        {"<dbase><types><type icao=\"A320\" cat=\"Large\" span=\"nan\"/></types></dbase>",
         "db.xml: element \"type\" at line 1, offset 15: invalid wing span \"nan\" of type \"A320\""},
        {"<dbase><types><type icao=\"A320\" cat=\"Large\" span=\"inf\"/></types></dbase>",
         "db.xml: element \"type\" at line 1, offset 15: invalid wing span \"inf\" of type \"A320\""},
        {"<dbase><types><type icao=\"A320\" cat=\"Large\" span=\"-34.1\"/></types></dbase>",
         "db.xml: element \"type\" at line 1, offset 15: invalid wing span \"-34.1\" of type \"A320\""},
        {"<dbase><types><type icao=\"A320\" cat=\"Large\" span=\"0\"/></types></dbase>",
         "db.xml: element \"type\" at line 1, offset 15: invalid wing span \"0\" of type \"A320\""},
        {"<dbase><types><type icao=\"A320\" cat=\"Large\" span=\"120.5\"/></types></dbase>",
         "db.xml: element \"type\" at line 1, offset 15: invalid wing span \"120.5\" of type \"A320\""},
        {"<dbase><types><type icao=\"A320\" cat=\"Large\" span=\"34m\"/></types></dbase>",
         "db.xml: element \"type\" at line 1, offset 15: invalid wing span \"34m\" of type \"A320\""},
        {"<dbase><types><type icao=\"A320\" cat=\"Large\" span=\"\"/></types></dbase>",
         "db.xml: element \"type\" at line 1, offset 15: invalid wing span \"\" of type \"A320\""},
        {"<dbase><types><type cat=\"Large\"/></types></dbase>",
         "db.xml: element \"type\" at line 1, offset 15: invalid type code \"\""},
        {"<dbase><types><type icao=\"a320\" cat=\"Large\"/></types></dbase>",
         "db.xml: element \"type\" at line 1, offset 15: invalid type code \"a320\""},
        {"<dbase><types><type icao=\"A3200\" cat=\"Large\"/></types></dbase>",
         "db.xml: element \"type\" at line 1, offset 15: invalid type code \"A3200\""},
        {"<dbase><types><type icao=\"A320\" cat=\"Large\"/>\n<type icao=\"A320\" "
         "cat=\"Heavy\"/></types></dbase>",
         "db.xml: element \"type\" at line 2, offset 47: type \"A320\" given twice"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.xml);
        try {
            gf_loadTypeDatabaseText(row.xml, "db.xml");
            ADD_FAILURE() << "no error";
        } catch (const qtk::UserErrorException& e) {
            EXPECT_EQ(e.code(), 99);
            EXPECT_EQ(std::string(e.what()), row.message);
        }
    }
}

TEST_F(TypeDatabaseTest, RefusedFileKeepsTheLoadedTablesAndNewFileReplacesThem) {
    gf_loadTypeDatabaseText(kSmallDb, "dbase.xml");
    EXPECT_THROW(
        gf_loadTypeDatabaseText("<dbase><types><type icao=\"A320\" cat=\"Big\"/></types></dbase>", "x"),
        qtk::UserErrorException);
    EXPECT_EQ(gf_dbAirlineOfReg("N899DN"), "DAL");
    EXPECT_EQ(g_publishers.size(), 2u);

    gf_loadTypeDatabaseText(
        "<dbase><types><type icao=\"B744\" cat=\"Heavy\" span=\"64.44\"/></types>"
        "<publishers><pub names=\"UK2000\"/></publishers></dbase>",
        "second.xml");
    EXPECT_FALSE(gf_isKnownType("A320"));
    EXPECT_TRUE(gf_isKnownType("B744"));
    EXPECT_EQ(gf_halfWingspan("B77W"), 0);  // Light now has no spans
    EXPECT_EQ(gf_dbAirlineOfReg("N899DN"), "");
    EXPECT_TRUE(gf_similarTypeGroups().empty());
    EXPECT_EQ(g_publishers, (std::vector<std::vector<std::string>>{{"UK2000"}}));
    EXPECT_TRUE(g_simAddonAirports.empty());
    EXPECT_TRUE(g_thirdPartyPublishers.empty());
}

TEST_F(TypeDatabaseTest, ResetEmptiesEverything) {
    gf_loadTypeDatabaseText(kSmallDb, "dbase.xml");
    gf_resetTypeDatabase();
    EXPECT_FALSE(gf_isKnownType("A320"));
    EXPECT_EQ(gf_halfWingspan("C172"), 0);
    EXPECT_FALSE(gf_findDbRecord("HB-JCA"));
    EXPECT_TRUE(g_publishers.empty());
    EXPECT_TRUE(g_simAddonAirports.empty());
    EXPECT_TRUE(g_thirdPartyPublishers.empty());
}

TEST_F(TypeDatabaseTest, LoadsPlainFile) {
    tst_writeFile("input/dbase.xml", kSmallDb);
    gf_loadTypeDatabaseFile("input/dbase.xml");
    EXPECT_EQ(gf_dbAirlineOfReg("HB-JCA"), "SWR");
    try {
        gf_loadTypeDatabaseFile("input/missing.xml");
        ADD_FAILURE() << "no error";
    } catch (const qtk::UserErrorException& e) {
        EXPECT_EQ(e.code(), 99);
        EXPECT_EQ(std::string(e.what()), "input/missing.xml: cannot be read: No such file or directory");
    }
}

struct Livery {
    std::string airline;
    std::string type;
};

TEST_F(TypeDatabaseTest, AirlineTypeLabelsAndComparison) {
    DbRecord record{"SWR", "BCS3", "OAW", false};
    EXPECT_EQ(gf_airlineTypeId(record), "SWR BCS3");
    EXPECT_EQ(gf_airlineTypeId(Livery{"", "C172"}), "    C172");
    EXPECT_EQ(gf_airlineTypeId(Livery{"PVT", "F16"}), "PVT F16 ");
    EXPECT_EQ(gf_airlineTypeId(Livery{"SWISS", "B77W"}), "SWISS B77W");
    EXPECT_TRUE(gf_sameAirlineType(record, Livery{"SWR", "BCS3"}));
    EXPECT_FALSE(gf_sameAirlineType(record, Livery{"OAW", "BCS3"}));  // the operator is not the airline
    EXPECT_FALSE(gf_sameAirlineType(Livery{"SWR", "BCS1"}, record));
    EXPECT_TRUE(gf_sameAirlineType(Livery{"", ""}, Livery{"", ""}));
}

TEST_F(TypeDatabaseTest, OneTypeListCallsOnce) {
    int calls = 0;
    auto list = lf_oneTypeList([&] {
        ++calls;
        return std::string("C172");
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(list, std::vector<std::string>{"C172"});
    EXPECT_TRUE(lf_oneTypeList([&] {
                    ++calls;
                    return std::string();
                }).empty());
    EXPECT_EQ(calls, 2);
}

TEST_F(TypeDatabaseTest, DemoDatabaseLoads) {
    auto path = tst_sourceDir() / "data" / "dbase.xml";
    gf_loadTypeDatabaseFile(path);
    EXPECT_EQ(gf_capturedLog().find("===>"), std::string::npos) << gf_capturedLog();

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(path.c_str()));
    int types = 0;
    for (auto node : doc.child("dbase").child("types").children("type")) {
        std::string icao = node.attribute("icao").as_string();
        SCOPED_TRACE(icao);
        ++types;
        EXPECT_TRUE(gf_isKnownType(icao));
        EXPECT_EQ(gf_categoryName(gf_aircraftCategory(icao)), node.attribute("cat").as_string());
        EXPECT_NEAR(gf_halfWingspan(icao), node.attribute("span").as_double() / 2 / 1852, 1e-12);
    }
    EXPECT_GE(types, 60);

    struct Row {
        const char* reg;
        const char* airline;
        const char* type;
        bool cargo;
    };
    const Row rows[] = {
        {"N899DN", "DAL", "B739", false}, {"HB-JCA", "SWR", "BCS3", false}, {"HBJNA", "SWR", "B77W", false},
        {"hb-zqa", "SAZ", "EC45", false}, {"LX-VCA", "CLX", "B748", true},  {"N601FE", "FDX", "MD11", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reg);
        auto record = gf_findDbRecord(row.reg);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->airl, row.airline);
        EXPECT_EQ(record->type, row.type);
        EXPECT_EQ(record->cargo, row.cargo);
    }
    EXPECT_EQ(gf_aircraftCategory("F16"), AircraftCategory::HighPerf);
    EXPECT_EQ(gf_aircraftCategory("GLF6"), AircraftCategory::Buzjets);
    EXPECT_EQ(gf_aircraftCategory("A388"), AircraftCategory::Heavy);
    EXPECT_EQ(gf_aircraftCategory("R44"), AircraftCategory::Rotorcraft);
    EXPECT_FALSE(g_publishers.empty());
    EXPECT_TRUE(g_simAddonAirports.contains("LSZH"));
    EXPECT_FALSE(g_thirdPartyPublishers.empty());
}

}  // namespace
