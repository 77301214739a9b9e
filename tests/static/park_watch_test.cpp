#include <fmt/format.h>

#include "airports/airport_list.h"
#include "airports/apf_fixture.h"
#include "airports/park_airports.h"
#include "airports/stand.h"
#include "core/display.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "core/slots.h"
#include "feed/feed_state.h"
#include "live/live_set.h"
#include "platform/window_model.h"
#include "shell/window.h"
#include "sim/sim_state.h"
#include "static/park_watch.h"
#include "static/static_fit.h"
#include "static/static_place.h"
#include "support/airport_builders.h"
#include "support/park_airports_fixture.h"
#include "support/parked_source.h"

namespace {

// Zurich's file: Z1 where HBVSA stands at this half-hour, Z2 where SWR12 does.
const uint64_t kFriday16 = gf_packSlot(32, 5);  // the fixture's clock

constexpr int kTimeControls[] = {ctl::kSimTime, ctl::kKeepSimTimePar, ctl::kTimeShiftDays,
                                 ctl::kTimeShiftHours, ctl::kTimeShiftMins};

class ParkWatchTest : public ApfTest {
  protected:
    void SetUp() override {
        ApfTest::SetUp();
        tst_installRealAirports();
        gf_readAirports();
        tst_writeFile(
            "airports/my_thirdparty/LSZH.xml",
            tst_apfXml(
                R"(<parameter name="airport_name" value="Zurich"/><parameter name="publisher" value="Pub"/>
                                    <parameter name="altitude" value="1416"/>)",
                fmt::format(R"(<parkpos id="Z1" latitude="{}" longitude="{}" radius="30">
                                                  <opt reg="HB-VSA" airl="PVT" type="C172" day="5" hh="32" cs="HBVSA"/></parkpos>
                                                <parkpos id="Z2" latitude="{}" longitude="{}" radius="30">
                                                  <opt reg="HB-JLT" airl="SWR" type="A320" day="5" hh="32" cs="SWR12"/></parkpos>)",
                            kStandZ1.lat, kStandZ1.lon, kStandZ2.lat, kStandZ2.lon)));
        g_currentSlot = kFriday16;
        CUSTOM_PARKING_PERCENTAGE.set(100);
        restartLog();
    }
    static void userAt(LatLon p, double altitudeFt, bool onGround) {
        UserSnapshot u;
        u.lat = p.lat, u.lon = p.lon, u.altitudeFt = altitudeFt, u.onGround = onGround;
        gf_storeUserSnapshot(u);
        g_userPosition = u;
    }
    static std::string timeControls() {  // "1" enabled, "0" disabled, in the order above
        std::string out;
        for (int id : kTimeControls) out += gf_controlState(id).enabled ? '1' : '0';
        return out;
    }
    static size_t count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
};

// However often static parking locks the controls, the time controls come back as they were,
// also when the run ends while they are locked.
TEST_F(ParkWatchTest, TheTimeControlsComeBackAfterEveryLock) {
    for (int locks = 1; locks <= 3; ++locks) {
        for (const bool viaReset : {false, true}) {
            SCOPED_TRACE(fmt::format("{} {}", locks, viaReset));
            gf_setEnabled(ctl::kSimTime, true);
            gf_setEnabled(ctl::kTimeShiftDays, false);
            for (int i = 0; i < locks; ++i) gf_lockParkingControls();
            EXPECT_EQ(timeControls(), "00000");
            if (viaReset)
                gf_resetParkingForNewFlight();
            else
                gf_unlockParkingControls();
            EXPECT_FALSE(g_parkingControlsLocked);
            EXPECT_EQ(timeControls(), "11011");
        }
    }
    // The band is painted again at once when the controls lock, and when a new run unlocks them.
    for (const bool locked : {true, false}) {
        SCOPED_TRACE(locked);
        if (locked) gf_lockParkingControls();
        const int before = gf_repaintCount(Region::ParkingBand);
        gf_resetParkingForNewFlight();
        EXPECT_EQ(gf_repaintCount(Region::ParkingBand) - before, locked ? 1 : 0);
        gf_lockParkingControls();
        EXPECT_EQ(gf_repaintCount(Region::ParkingBand) - before, locked ? 2 : 1);
        gf_unlockParkingControls();
    }
    // The other parking controls are all off while locked and come back with the unlock.
    constexpr int kParkingControls[] = {ctl::kParkingPercentage, ctl::kInitialLoadOnly,   ctl::kParkFake,
                                        ctl::kParkSoft,          ctl::kMaxParkSel,        ctl::kMaxLiveSel,
                                        ctl::kRtParkTrafficOnly, ctl::kMaxFitFl,          ctl::kWeek,
                                        ctl::kFlushStatic,       ctl::kRereadParkAirports};
    for (const bool locked : {true, false}) {
        if (locked)
            gf_lockParkingControls();
        else
            gf_unlockParkingControls();
        for (int id : kParkingControls) {
            SCOPED_TRACE(id);
            EXPECT_EQ(gf_controlState(id).enabled, !locked);
        }
    }
}

// The watch unlocks the controls only when no planned aircraft waits and no computation waits
// for its parked traffic; unlocking, it shows the average parked times.
TEST_F(ParkWatchTest, TheWatchUnlocksOnlyWhenStaticParkingIsSettled) {
    ASSERT_TRUE(lf_setParkAirport("LSZH"));
    ASSERT_EQ(lf_readParkedFile(), "");
    ASSERT_TRUE(tst_startParkedReader());
    gf_lockParkingControls();
    g_ptList = {PtEntry{}};
    gf_watchParkAirport(false);
    EXPECT_TRUE(g_parkingControlsLocked) << "a planned aircraft waits";
    g_ptList.clear();
    lf_computeStaticParking();
    ASSERT_TRUE(gf_staticParkingPending());
    gf_watchParkAirport(false);
    EXPECT_TRUE(g_parkingControlsLocked) << "the computation waits for its parked traffic";
    ASSERT_TRUE(tst_awaitParkedAnswer());
    gf_staticParkingCycle();
    ASSERT_EQ(g_ptList.size(), 2u);
    g_ptList.clear();
    AircraftRec st;
    st.hexid = 7, st.callsign = "SWR12*", st.lifeState = active, st.parkSlot = gf_slotMinus(kFriday16, 1);
    g_staticAircraft = {st};
    LiveAircraft ac;
    ac.hexid = 0x4b0001, ac.callsign = "SWR77", ac.lifeState = active, ac.flightState = parked;
    ac.parkSlot = gf_slotMinus(kFriday16, 2);
    g_liveRecords.push_back(ac);
    gf_watchParkAirport(false);
    EXPECT_FALSE(g_parkingControlsLocked);
    EXPECT_EQ(gf_windowStats().countdownMinutes, 19) << "the countdown to the renewal starts again";
    EXPECT_NE(gf_statusLine().find("static parked: 1 (avg 60 min) | live parked: 1 (avg 90 min)"),
              std::string::npos)
        << gf_statusLine();
}

// Loaded at once (the user on the ground), the first plan knows the live aircraft the feed
// reports meanwhile and books no stand for them.
TEST_F(ParkWatchTest, LoadedAtOnceThePlanLeavesOutLiveAircraft) {
    ASSERT_TRUE(tst_startParkedReader());
    ASSERT_TRUE(lf_setParkAirport("LSZH"));
    lf_loadParkAirport(true);
    ASSERT_TRUE(gf_staticParkingPending());
    gf_gatherCallsign("HBVSA", 0x4b0002);  // the decoder delivers the live HBVSA
    ASSERT_TRUE(tst_awaitParkedAnswer());
    gf_staticParkingCycle();
    ASSERT_EQ(g_ptList.size(), 1u);
    EXPECT_EQ(g_ptList[0].callsign, "SWR12");
    EXPECT_TRUE(g_parkingControlsLocked);
}

// A listed airport whose parking file is missing is chosen once and given up; it is chosen
// again only when the list is read again.
TEST_F(ParkWatchTest, AParkAirportWhoseFileFailedWaitsForTheListToBeReadAgain) {
    tst_writeFile(kMyParkAirportsFile, "LSMD\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    const LatLon dubendorf = gf_findAirport("LSMD")->position();
    userAt({dubendorf.lat - 5 / 60.0, dubendorf.lon}, 3000, false);  // Zurich lies farther north
    gf_watchParkAirport(false);
    tst_awaitSite();  // the site does not hold the file either
    for (int i = 0; i < 5; ++i) gf_watchParkAirport(false);
    std::string log = gf_capturedLog();
    EXPECT_EQ(count(log, "The park airport is LSMD"), 1u) << log;
    EXPECT_EQ(count(log, "lf_readParkedFile LSMD not found"), 1u);
    EXPECT_FALSE(g_parkingControlsLocked);
    EXPECT_FALSE(gf_callsignGatheringOn()) << "nothing takes the callsigns over";
    ASSERT_TRUE(lf_readMyParkAirports());
    gf_watchParkAirport(false);
    EXPECT_EQ(count(gf_capturedLog(), "The park airport is LSMD"), 2u);
}

// A transfer of the download site that failed is held back by the site's own back-off, not
// remembered until the list is read again.
TEST_F(ParkWatchTest, AFailedTransferOfTheSiteIsNotRememberedHere) {
    server_.setFault("/P3D/archive/stock/LSMD.xml", HttpFault::ServerError);
    tst_writeFile(kMyParkAirportsFile, "LSMD\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    const LatLon dubendorf = gf_findAirport("LSMD")->position();
    userAt({dubendorf.lat - 5 / 60.0, dubendorf.lon}, 3000, false);
    gf_watchParkAirport(false);
    tst_awaitSite();
    gf_watchParkAirport(false);
    EXPECT_NE(gf_capturedLog().find("lf_readParkedFile LSMD: airport file not available"), std::string::npos);
    EXPECT_EQ(g_parkAirport.code, "");
    EXPECT_FALSE(g_failedParkAirports.contains("LSMD"));
    // While the back-off runs the airport in sight is not chosen (and given up) again.
    gf_watchParkAirport(false);
    EXPECT_EQ(g_parkAirport.code, "");
}

// A destination the airport list does not know is not kept, and an empty entry clears the
// destination: either way the watch orders the list nearest first again.
TEST_F(ParkWatchTest, ARefusedOrClearedDestinationGivesTheNearestFirstOrderBack) {
    const LatLon dubendorf = gf_findAirport("LSMD")->position();
    for (const bool refused : {true, false}) {
        SCOPED_TRACE(refused);
        g_parkAirports = {{"LSZH", "", kZurich, 0}, {"LSMD", "", dubendorf, 0}};
        userAt(dubendorf, 30000, false);
        g_lastWatchPosition = dubendorf;  // no move since the last watch
        lf_handleDestination(refused ? "QQQQ" : "LSZH");
        ASSERT_TRUE(gf_takeRunRequest(RunRequest::NewDestination));
        lf_setDestination(DESTINATION.value());
        if (refused) {
            g_lastWatchPosition = {};  // the user moves on
        } else {
            EXPECT_EQ(DESTINATION.value(), "LSZH");
            lf_handleDestination(" ");
            ASSERT_TRUE(gf_takeRunRequest(RunRequest::NewDestination));
            lf_setDestination(DESTINATION.value());
        }
        EXPECT_EQ(DESTINATION.value() + gf_controlState(ctl::kDestination).text, "");
        gf_watchParkAirport(false);
        EXPECT_EQ(g_parkAirports.front().code, "LSMD");
    }
}

}  // namespace
