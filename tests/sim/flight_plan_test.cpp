#include "sim/flight_plan.h"

#include "sim_fixture.h"

namespace {

namespace fs = std::filesystem;

const char* const kPlan =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<SimBase.Document Type=\"AceXML\" version=\"1,0\">\n"
    "    <Descr>AceXML Document</Descr>\n"
    "    <FlightPlan.FlightPlan>\n"
    "        <Title>EGLL to LSZH</Title>\n"
    "        <FPType>IFR</FPType>\n"
    "        <DepartureID>EGLL</DepartureID>\n"
    "        <DestinationID>LSZH</DestinationID>\n"
    "        <ATCWaypoint id=\"EGLL\">\n"
    "            <ATCWaypointType>Airport</ATCWaypointType>\n"
    "            <ICAO>\n"
    "                <ICAOIdent>EGLL</ICAOIdent>\n"
    "            </ICAO>\n"
    "        </ATCWaypoint>\n"
    "        <ATCWaypoint id=\"LSZH\">\n"
    "            <ATCWaypointType>Airport</ATCWaypointType>\n"
    "            <ICAO>\n"
    "                <ICAOIdent>LSZH</ICAOIdent>\n"
    "            </ICAO>\n"
    "        </ATCWaypoint>\n"
    "    </FlightPlan.FlightPlan>\n"
    "</SimBase.Document>\n";

class FlightPlanTest : public SimLinkTest {
  protected:
    HRESULT assign(uint32_t objectId, const fs::path& path) {
        std::lock_guard lock(g_simCommandMutex);
        return SimConnect_AISetAircraftFlightPlan(g_hSimConnect, objectId, path.string().c_str(),
                                                  kReqFlightPlan);
    }
};

TEST_F(FlightPlanTest, WritesTheDocument) {
    ASSERT_TRUE(gf_writeFlightPlan(gf_flightPlanFileName(3), "EGLL", "LSZH"));
    EXPECT_EQ(tst_readFile("flightplans/3.pln"), kPlan);
    EXPECT_EQ(std::distance(fs::directory_iterator("flightplans"), fs::directory_iterator()), 1)
        << "no temporary file left behind";
}

TEST_F(FlightPlanTest, BadAirportCodesWriteNothing) {
    const char* const codes[] = {"", "E", "EG LL", "EGLL<", "ABCDEFGHI", "EG\"L"};
    for (const char* code : codes) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(gf_writeFlightPlan("flightplans/3.pln", code, "LSZH"));
        EXPECT_FALSE(gf_writeFlightPlan("flightplans/3.pln", "LSZH", code));
    }
    EXPECT_FALSE(fs::exists("flightplans/3.pln"));
}

TEST_F(FlightPlanTest, SimulatorAcceptsOurPlanAndRefusesOthers) {
    start();
    createAndAppear("BAW123", kA320, 0x4CA123, 3083, false);
    ASSERT_TRUE(gf_writeFlightPlan(gf_flightPlanFileName(3), "EGLL", "LSZH"));
    EXPECT_EQ(assign(3, gf_flightPlanFileName(3)), S_OK);
    auto obj = *gf_standinObject(3);
    EXPECT_EQ(obj.planDeparture, "EGLL");
    EXPECT_EQ(obj.planDestination, "LSZH");

    struct Row {
        const char* what;
        std::string content;
        uint32_t objectId;
    };
    std::string noDestination = kPlan;
    noDestination.replace(noDestination.find("LSZH</DestinationID>"), 4, "");
    std::string wrongEnd = kPlan;
    wrongEnd.replace(wrongEnd.rfind("LSZH</ICAOIdent>"), 4, "EDDF");
    std::string notAce = kPlan;
    notAce.replace(notAce.find("AceXML\""), 6, "Other");
    const Row rows[] = {
        {"unknown object", kPlan, 9},
        {"malformed", std::string(kPlan).substr(0, 200), 3},
        {"no destination", noDestination, 3},
        {"last waypoint not the destination", wrongEnd, 3},
        {"not AceXML", notAce, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        tst_writeFile("flightplans/x.pln", row.content);
        EXPECT_LT(assign(row.objectId, "flightplans/x.pln"), 0);
    }
    EXPECT_LT(assign(3, "flightplans/missing.pln"), 0);
}

TEST_F(FlightPlanTest, CleaningRemovesOnlyOurPlans) {
    EXPECT_EQ(gf_cleanFlightPlans(), 0) << "no folder yet";
    for (const char* name : {"flightplans/3.pln", "flightplans/1234.pln", "flightplans/abc.pln",
                             "flightplans/notes.txt", "flightplans/7.pln.tmp"}) {
        tst_writeFile(name, "x");
    }
    EXPECT_EQ(gf_cleanFlightPlans(), 2);
    EXPECT_FALSE(fs::exists("flightplans/3.pln"));
    EXPECT_FALSE(fs::exists("flightplans/1234.pln"));
    EXPECT_TRUE(fs::exists("flightplans/abc.pln"));
    EXPECT_TRUE(fs::exists("flightplans/notes.txt"));
    EXPECT_TRUE(fs::exists("flightplans/7.pln.tmp"));
}

}  // namespace
