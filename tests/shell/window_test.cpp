#include "shell/window.h"
#include "shell/run_thread.h"
#include "static/live_parked.h"

#include <filesystem>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "aircraft/matching.h"
#include "aircraft/type_database.h"
#include "airports/apf_read.h"
#include "airports/park_airports.h"
#include "core/display.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "core/run_state.h"
#include "core/tasks.h"
#include "core/slots.h"
#include "feed/feed_state.h"
#include "feed/traffic_reader.h"
#include "live/adding_stack.h"
#include "live/ground_motion.h"
#include "live/live_set.h"
#include "live/parking_slots.h"
#include "live/spawn.h"
#include "live/stand_choice.h"
#include "platform/sim_standin.h"
#include "platform/window_model.h"
#include "shell/ui_loop.h"
#include "shell/run_thread.h"
#include "static/live_parked.h"
#include "shell_fixture.h"
#include "sim/sim_link.h"
#include "sim/sim_state.h"
#include "sim/sim_thread.h"
#include "static/park_watch.h"
#include "static/static_place.h"

namespace fs = std::filesystem;

namespace {

class WindowTest : public WorkFolderTest {};

TEST_F(WindowTest, RangeIsClampedSelectedAndPickedByFlightState) {
    for (auto [asked, range, entry] :
         {std::tuple{10, 10, 6}, {65, 65, 17}, {1, 2, 0}, {250, 100, 19}, {7, 7, -1}, {40, 40, 15}}) {
        gf_setRange(asked);
        EXPECT_EQ(RANGE.value(), range) << asked;
        EXPECT_EQ(gf_controlState(ctl::kRange).selected, entry) << asked;
        EXPECT_DOUBLE_EQ(g_rangeNm.load(), range) << asked;
    }
    // On the ground, near the park airport below FL180, low, middle and high.
    for (auto [onGround, nearPark, altitudeFt, range] : {std::tuple{true, true, 300.0, 10},
                                                         {true, false, 30000.0, 10},
                                                         {false, true, 17999.0, 20},
                                                         {false, true, 18000.0, 40},
                                                         {false, false, 9999.0, 25},
                                                         {false, false, 10000.0, 40},
                                                         {false, false, 24999.0, 40},
                                                         {false, false, 25000.0, 65},
                                                         {false, false, 41000.0, 65},
                                                         {false, true, 40000.0, 65}})
        EXPECT_EQ(gf_autoRangeNm(onGround, nearPark, altitudeFt), range)
            << onGround << nearPark << altitudeFt;
    // Switching the automatic range on keeps the manual one; switching it off restores it.
    AUTO_RANGE.set(false);
    lf_handleCombos(ctl::kRange, 13);  // 30 nm
    EXPECT_EQ(RANGE.value(), 30);
    lf_handleCheckBoxes(ctl::kAutoRange, true);
    EXPECT_TRUE(AUTO_RANGE.value());
    EXPECT_TRUE(gf_controlState(ctl::kAutoRange).checked);
    EXPECT_EQ(g_manualRange, 30);
    gf_setRange(10);  // the main loop's automatic pick
    lf_handleCheckBoxes(ctl::kAutoRange, false);
    EXPECT_EQ(RANGE.value(), 30);
    EXPECT_EQ(gf_controlState(ctl::kRange).selected, 13);
    EXPECT_DOUBLE_EQ(g_rangeNm.load(), 30.0);
}

// The automatic range knows the user is near the park airport only when one is set and lies
// within AIRP_RANGE.
TEST_F(WindowTest, AutomaticRangeNearTheParkAirport) {
    const LatLon lszh{47.4647, 8.54917};
    const struct {
        const char* what;
        const char* code;
        double northNm, altitudeFt;
        bool onGround;
        int range;
    } rows[] = {
        {"no park airport", "", 0, 5000, false, 25},
        {"inside its range", "LSZH", 19.9, 5000, false, 20},
        {"just outside its range", "LSZH", 20.1, 5000, false, 25},
        {"above its height", "LSZH", 5, 18500, false, 40},
        {"on the ground beside it", "LSZH", 0, 1416, true, 10},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ParkSite site;
        site.code = r.code;
        site.position = lszh;
        gf_setParkSite(site);
        gf_storeUserSnapshot({.lat = lszh.lat + r.northNm / 60,
                              .lon = lszh.lon,
                              .altitudeFt = r.altitudeFt,
                              .onGround = r.onGround});
        gf_autoRange();
        EXPECT_EQ(RANGE.value(), r.range);
        EXPECT_DOUBLE_EQ(g_rangeNm.load(), r.range);
    }
}

std::thread::id g_appliedOn;
int g_appliedCount = 0;

// The UI thread only records the choice; the run thread applies it at its next tick, once.
TEST_F(WindowTest, MaxLiveChoiceIsAppliedByTheRunThreadAtItsNextTick) {
    gf_setRunRequestHandler(RunRequest::ApplyMaxLive, [] {
        g_appliedOn = std::this_thread::get_id();
        ++g_appliedCount;
    });
    for (int index : {-1, 7, 1000}) lf_handleCombos(ctl::kMaxLiveSel, index);  // no such choice
    EXPECT_EQ(MAX_LIVE_SEL.value(), 500);
    EXPECT_FALSE(gf_runRequestPending(RunRequest::ApplyMaxLive));
    std::thread ui([] { lf_handleCombos(ctl::kMaxLiveSel, 3); });  // 50
    ui.join();
    EXPECT_EQ(MAX_LIVE_SEL.value(), 50);
    EXPECT_EQ(g_maxLiveValue, 50);
    EXPECT_EQ(gf_controlState(ctl::kMaxLiveSel).selected, 3);
    EXPECT_EQ(g_appliedCount, 0) << "the UI handler must not touch the live aircraft";
    lf_tick();  // this thread stands for the run thread
    lf_tick();
    EXPECT_EQ(g_appliedCount, 1);
    EXPECT_EQ(g_appliedOn, std::this_thread::get_id());
    lf_handleCombos(ctl::kMaxFitFl, 0);
    EXPECT_DOUBLE_EQ(MAX_FIT_FL.value(), 0.5);
}

TEST_F(WindowTest, NewLiveryScanWhileWaitingForTheSimulator) {
    gf_setLogCapture(true);
    SCAN_LIVERIES.set(false);
    lf_handleCheckBoxes(ctl::kScanLiveries, true);
    EXPECT_FALSE(gf_runRequestPending(RunRequest::NewLiveryScan)) << "not waiting for the simulator";
    EXPECT_EQ(gf_messageText(), "");
    lf_handleCheckBoxes(ctl::kScanLiveries, false);
    g_waitingForSim = true;
    lf_handleCheckBoxes(ctl::kScanLiveries, true);
    EXPECT_TRUE(SCAN_LIVERIES.value());
    EXPECT_EQ(gf_messageText(), "Your liveries will be scanned");
    EXPECT_EQ(gf_capturedLog(), "Your liveries will be scanned\n");
    // It survives the end of the run and is carried out at the next start-up.
    lf_resetForRestart();
    EXPECT_TRUE(gf_runRequestPending(RunRequest::NewLiveryScan));
}

TEST_F(WindowTest, ParkingControlsFollowRtParkTrafficOnlyAndSetTheFullRenewal) {
    const int parkingControls[] = {ctl::kParkingPercentage, ctl::kMaxFitFl, ctl::kInitialLoadOnly,
                                   ctl::kParkSoft,          ctl::kParkFake, ctl::kWeek};
    lf_handleCheckBoxes(ctl::kRtParkTrafficOnly, true);
    for (int id : parkingControls) EXPECT_FALSE(gf_controlState(id).enabled) << id;
    EXPECT_TRUE(gf_controlState(ctl::kMaxParkSel).enabled);
    EXPECT_TRUE(g_fullRenewal);
    EXPECT_EQ(gf_repaintCount(Region::ParkingBand), 1);
    lf_handleCheckBoxes(ctl::kRtParkTrafficOnly, false);
    for (int id : parkingControls) EXPECT_TRUE(gf_controlState(id).enabled) << id;
    for (auto [id, full] :
         {std::pair{ctl::kWeek, true}, {ctl::kParkSoft, true}, {ctl::kParkFake, true}, {ctl::kLog, false}}) {
        g_fullRenewal = false;
        lf_handleCheckBoxes(id, true);
        EXPECT_EQ(g_fullRenewal.load(), full) << id;
    }
}

// A combo sets its record only from one of its choices; a setting the learned parking file
// keeps marks the parking parameters as changed, so that the next save takes it along.
TEST_F(WindowTest, CombosTakeOnlyTheirChoicesAndFlagLearnedParkingSettings) {
    const struct {
        const char* what;
        int controlId, index;
        const char* value;  // the record's value afterwards
        bool taken, learned;
    } rows[] = {
        {"fit hours before the first", ctl::kMaxFitFl, -1, "21", false, false},
        {"fit hours past the last", ctl::kMaxFitFl, 20, "21", false, false},
        {"fit hours, the last", ctl::kMaxFitFl, 19, "24", true, true},
        {"range", ctl::kRange, 13, "30", true, true},
        {"range past the last", ctl::kRange, 20, "30", false, false},
        {"matching depth", ctl::kMatchingDepth, 0, "1", true, false},
        {"a check box is no combo", ctl::kAutoRange, 0, "true", false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        g_parkParamsChanged = false;
        const int selectedBefore = gf_controlState(r.controlId).selected;
        lf_handleCombos(r.controlId, r.index);
        EXPECT_EQ(gf_parameterOfControl(r.controlId)->valueText(), r.value);
        EXPECT_EQ(gf_controlState(r.controlId).selected, r.taken ? r.index : selectedBefore);
        EXPECT_EQ(g_parkParamsChanged.load(), r.learned);
    }
    EXPECT_EQ(MAX_FIT.value(), 47) << "24 hours are 47 half-hours";
    for (auto [id, learned] :
         {std::pair{ctl::kLearnSoft, true}, {ctl::kInitialLoadOnly, true}, {ctl::kLog, false}}) {
        g_parkParamsChanged = false;
        lf_handleCheckBoxes(id, false);
        EXPECT_EQ(g_parkParamsChanged.load(), learned) << id;
    }
}

// The destination and block boxes take the trimmed text and hand it to the run thread; an
// unchanged destination asks for nothing, an empty block box blocks nobody.
TEST_F(WindowTest, DestinationAndBlockBoxesPostTheirTrimmedText) {
    const struct {
        void (*handle)(std::string_view);
        TextParameter& record;
        int controlId;
        RunRequest request;
        const char* typed;
        const char* value;
        bool posted;
    } rows[] = {
        {lf_handleDestination, DESTINATION, ctl::kDestination, RunRequest::NewDestination, " LSZH\t", "LSZH",
         true},
        {lf_handleDestination, DESTINATION, ctl::kDestination, RunRequest::NewDestination, "LSZH ", "LSZH",
         false},
        {lf_handleDestination, DESTINATION, ctl::kDestination, RunRequest::NewDestination, "  ", "", true},
        {lf_handleBlockCallsign, BLOCK_CALLSIGN, ctl::kBlockCallsign, RunRequest::BlockCallsign, " SWR12 ",
         "SWR12", true},
        {lf_handleBlockCallsign, BLOCK_CALLSIGN, ctl::kBlockCallsign, RunRequest::BlockCallsign, " ", "",
         false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        r.handle(r.typed);
        EXPECT_EQ(r.record.value(), r.value);
        EXPECT_EQ(gf_controlState(r.controlId).text, r.value);
        EXPECT_EQ(gf_takeRunRequest(r.request), r.posted);
    }
}

// The console shows each new message line once, and the status line after each repaint of the
// lamps (every 15 simulator seconds), not between them.
TEST_F(WindowTest, ConsoleShowsNewMessagesAndTheStatusAfterEachLampRepaint) {
    testing::internal::CaptureStdout();
    gf_showWindowOnConsole();
    gf_showMessage("Downloading airports", false);
    gf_repaint(Region::Lamps);
    gf_showWindowOnConsole();
    gf_showWindowOnConsole();
    gf_repaint(Region::Lamps);
    gf_showWindowOnConsole();
    const std::string status = gf_statusLine();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Downloading airports\n" + status + "\n" + status + "\n");
}

// The counts on the status panel are repainted when one of them changed, not every second.
TEST_F(WindowTest, CountsRepaintOnlyWhenOneChanged) {
    gf_refreshCounts();
    const int before = gf_repaintCount(Region::Status);
    g_liveRecords.emplace_back().lifeState = active;
    gf_refreshCounts();
    EXPECT_EQ(gf_windowStats().liveCount, 1);
    EXPECT_EQ(gf_repaintCount(Region::Status), before + 1);
    gf_refreshCounts();
    EXPECT_EQ(gf_repaintCount(Region::Status), before + 1);
}

TEST_F(WindowTest, StatusLineAndRepaints) {
    gf_editStats([](WindowStats& s) {
        s.liveryCount = 1234;
        s.parkAirportLabel = "EDDF Frankfurt";
        s.standCount = 312;
        s.staticParkedCount = 40;
        s.staticParkedAvgMinutes = 93.4f;
        s.liveParkedCount = 3;
        s.wantedCount = 200;
        s.wantedPercent = 65;
        s.countdownMinutes = 7;
    });
    EXPECT_EQ(
        gf_statusLine(),
        "live: 0 | # liveries: 1234 | park airport: EDDF Frankfurt | stands: 312 | static parked: 40 (avg 93 "
        "min) | live parked: 3 (avg - min) | wanted: 200 (65%) | renewal in 7 min");
    gf_editStats([](WindowStats& s) { s.statusText = "calculating"; }, Region::ParkingBand);
    EXPECT_EQ(gf_repaintCount(Region::ParkingBand), 1);
    EXPECT_TRUE(gf_statusLine().ends_with("renewal in 7 min | calculating"));
}

// The first stop wins, also among racing threads; later callers only see the flag.
TEST_F(WindowTest, ExactlyOneOfManyRacingThreadsStoresItsState) {
    std::atomic<int> winners{0}, winningState{0};
    std::vector<std::thread> threads;
    for (int s = 1; s <= 7; ++s) {
        threads.emplace_back([s, &winners, &winningState] {
            if (gf_stopRunWith(static_cast<ExitState>(s))) {
                ++winners;
                winningState = s;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(winners, 1);
    EXPECT_TRUE(g_stopRun);
    EXPECT_EQ(static_cast<int>(gf_exitState()), winningState.load());
    EXPECT_FALSE(gf_stopRunWith(ExitState::SystemError));
    EXPECT_EQ(static_cast<int>(gf_exitState()), winningState.load());
}

}  // namespace
