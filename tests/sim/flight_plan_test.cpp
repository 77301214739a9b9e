#include "sim/flight_plan.h"

#include "sim_fixture.h"

namespace {

namespace fs = std::filesystem;

TEST_F(SimLinkTest, FlightPlanIsWrittenForSafeCodesAndTheSimulatorTakesIt) {
    const char* const bad[] = {"", "E", "EG LL", "EGLL<", "ABCDEFGHI", "EG\"L"};
    for (const char* code : bad) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(gf_writeFlightPlan("flightplans/3.pln", code, "LSZH"));
        EXPECT_FALSE(gf_writeFlightPlan("flightplans/3.pln", "LSZH", code));
    }
    EXPECT_FALSE(fs::exists("flightplans/3.pln"));
    ASSERT_TRUE(gf_writeFlightPlan(gf_flightPlanFileName(3), "EGLL", "LSZH"));
    EXPECT_NE(tst_readFile("flightplans/3.pln").find("<Title>EGLL to LSZH</Title>\n        <FPType>IFR</FPType>"),
              std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator("flightplans"), fs::directory_iterator()), 1)
        << "no temporary file left behind";
    start();
    createAndAppear("BAW123", kA320, 0x4CA123, 3083, false);
    std::lock_guard lock(g_simCommandMutex);
    EXPECT_EQ(SimConnect_AISetAircraftFlightPlan(g_hSimConnect, 3, "flightplans/3.pln", kReqFlightPlan), S_OK);
    EXPECT_EQ(gf_standinObject(3)->planDeparture, "EGLL");
    EXPECT_EQ(gf_standinObject(3)->planDestination, "LSZH");
}

TEST_F(SimLinkTest, CleaningRemovesOnlyOurPlans) {
    EXPECT_EQ(gf_cleanFlightPlans(), 0) << "no folder yet";
    for (const char* name : {"3.pln", "1234.pln", "abc.pln", "notes.txt", "7.pln.tmp"})
        tst_writeFile(fs::path("flightplans") / name, "x");
    fs::create_directories("flightplans/5.pln");
    EXPECT_EQ(gf_cleanFlightPlans(), 2);
    EXPECT_FALSE(fs::exists("flightplans/3.pln") || fs::exists("flightplans/1234.pln"));
    for (const char* name : {"abc.pln", "notes.txt", "7.pln.tmp", "5.pln"})
        EXPECT_TRUE(fs::exists(fs::path("flightplans") / name)) << name;
}

}  // namespace
