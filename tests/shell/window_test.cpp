#include "shell/window.h"

#include <thread>
#include <vector>

#include "core/log.h"
#include "live/live_set.h"
#include "platform/window_model.h"
#include "shell/requests.h"
#include "shell/run_control.h"
#include "shell/run_thread.h"
#include "sim/sim_state.h"
#include "support/work_folder.h"

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
    for (auto [onGround, nearPark, altitudeFt, range] :
         {std::tuple{true, true, 300.0, 10}, {true, false, 30000.0, 10}, {false, true, 17999.0, 20},
          {false, true, 18000.0, 40}, {false, false, 9999.0, 25}, {false, false, 10000.0, 40},
          {false, false, 24999.0, 40}, {false, false, 25000.0, 65}, {false, false, 41000.0, 65},
          {false, true, 40000.0, 65}})
        EXPECT_EQ(gf_autoRangeNm(onGround, nearPark, altitudeFt), range) << onGround << nearPark << altitudeFt;
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
    SCAN_LIVERIES.set(false);
    lf_handleCheckBoxes(ctl::kScanLiveries, true);
    EXPECT_FALSE(gf_runRequestPending(RunRequest::NewLiveryScan)) << "not waiting for the simulator";
    EXPECT_EQ(gf_messageText(), "");
    lf_handleCheckBoxes(ctl::kScanLiveries, false);
    g_waitingForSim = true;
    lf_handleCheckBoxes(ctl::kScanLiveries, true);
    EXPECT_TRUE(SCAN_LIVERIES.value());
    EXPECT_EQ(gf_messageText(), "Your liveries will be scanned");
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
    EXPECT_EQ(gf_statusLine(),
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
