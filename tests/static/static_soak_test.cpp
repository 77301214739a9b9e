#include <atomic>
#include <chrono>
#include <functional>

#include <fmt/format.h>

#include "airports/park_airports.h"
#include "airports/stand.h"
#include "core/clock.h"
#include "core/params.h"
#include "core/run_requests.h"
#include "feed/feed_state.h"
#include "live/live_set.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "platform/window_model.h"
#include "static/live_parked.h"
#include "static/static_fit.h"
#include "static/static_place.h"
#include "static/static_renewal.h"
#include "support/flight_lab.h"
#include "support/parked_source.h"
#include "support/slot_builders.h"
#include "support/stand_builders.h"

namespace {

// A day of renewals 20 minutes apart; between two of them the clocks jump 20 minutes and the
// main loop runs 80 lab seconds: both phases, the placements and a watch (at most 32 s apart).
constexpr int kStands = 16, kRenewals = 72;
constexpr double kCycleSeconds = 80;
constexpr int64_t kClockPerMinute = 600'000'000, kClockPerTick = 100'000;
// The mix of aircraft changes from renewal to renewal; a leak of one item per renewal does not
// hide in this.
constexpr size_t kFootprintSlack = 3;

std::atomic<int64_t> g_minutesNow{0};  // the reader thread reads the clocks too

// Parked traffic P0..P5 on the stands S0..S7; fitted options on S8..S15.
constexpr uint32_t kP0 = 0x4b6000, kTwin = 0x4b6004;

class StaticSoak : public FlightLab {
  protected:
    void SetUp() override {
        FlightLab::SetUp();
        g_minutesNow = 0;
        gf_setUtcClock([] {  // Monday 00:00 and on
            return UtcTimePoint(std::chrono::sys_days{std::chrono::year{2026} / 12 / 7}) +
                   std::chrono::minutes(g_minutesNow.load()) +
                   std::chrono::milliseconds(10 * g_tickCounter.load());
        });
        gf_setClock100ns(
            [] { return g_minutesNow.load() * kClockPerMinute + g_tickCounter.load() * kClockPerTick; });
        WEEK.set(true);
        CUSTOM_PARKING_PERCENTAGE.set(75);
        for (LabWorldInvariant& inv : lab_staticWorldInvariants()) worldInvariants.push_back(std::move(inv));
    }
    // A kilometre north of the user, whose nearest stand would be kept free.
    static void layStands() {
        for (int i = 0; i < kStands; ++i) {
            const LatLon p = tst_offsetM(1000, 150.0 * i);
            Stand& s = g_stands.emplace_back(
                "S" + std::to_string(i), std::vector<StandOption>{}, p.lat + kHarnessLat - kStandOrigin.lat,
                p.lon + kHarnessLon - kStandOrigin.lon, 0.0, 30, false, false, false);
            if (i < 8) continue;
            for (uint32_t k = 0; k < 3; ++k) {
                const int first = (i * 3 + static_cast<int>(k) * 16) % 40;
                const std::string cs =
                    (k == 1 ? "BAW" : "DLH") + std::to_string(100 * i + static_cast<int>(k));
                const std::string airline = cs.substr(0, 3);
                s.options.emplace_back(cs, k == 0 ? cs + "X" : "", airline, k == 1 ? "A320" : "B738",
                                       "R-" + cs, tst_range(first, first + 8), k + 1, 1, 1, 1);
            }
        }
        gf_numberStands();
    }
    static ParkedTrafficRecord at(uint32_t hexid, const std::string& cs, const std::string& type, int stand,
                                  int age) {
        return tst_parked(hexid, cs, type, "R-" + cs, g_stands[static_cast<size_t>(stand)].position(), age);
    }
    // The parked traffic the feed reports at renewal r: one aircraft always on its stand, one
    // moving between two stands, one leaving and coming back, one driven off by a newer record
    // and back later, one whose aircraft turns live now and then, one the feed dates ahead.
    static std::vector<ParkedTrafficRecord> parkedAt(int r) {
        std::vector<ParkedTrafficRecord> list = {at(kP0, "DLH600", "B738", 0, 2),
                                                 at(kP0 + 1, "BAW601", "A320", (r / 3) % 2 ? 3 : 1, 1)};
        if (r % 6 < 4) list.push_back(at(kP0 + 2, "DLH602", "B738", 5, r % 4));
        list.push_back(r % 5 == 0 ? at(kP0 + 13, "BAW613", "A320", 6, 0)
                                  : at(kP0 + 3, "DLH603", "B738", 6, 3));
        list.push_back(at(kTwin, "BAW604", "A320", 7, 1));
        if (r % 2) list.push_back(at(kP0 + 5, "DLH605", "B738", 2, -1));
        return list;
    }
    // A live aircraft that appears standing on a stand and whose reports end after a while.
    void liveStandingFrom(double labSec, int r) {
        const int n = (r / 3) % 6;
        const LatLon p = g_stands[static_cast<size_t>(r * 5 % kStands)].position();
        Truth t;
        for (double s = labSec; s <= labSec + 100; s += 2)
            t.push_back({s, p.lat, p.lon, 0, 0, 0, 0, true});  // the feed reports 0 ft on the ground
        addStream(0x4b7000 + static_cast<uint32_t>(n), "DLH" + std::to_string(700 + n), "DLH", "B738", t);
    }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) {
        for (double s = 0; s < maxSeconds && !HasFailure(); s += 0.01) {
            if (done()) return true;
            run(0.01);
        }
        return done();
    }
    // What the run keeps between renewals (the options live traffic learns are data, not
    // upkeep); it must not grow over the day.
    static size_t footprint() {
        return g_staticAircraft.size() + g_liveRecords.size() + g_ptList.size() + g_staticCheckList.size() +
               g_staticRemovalQueue.size() + g_liveOnStand.size() + g_liveCallsigns.size() +
               g_liveHexids.size() + g_removeDeque.size() + g_createDeque.size() +
               g_createDequeStatic.size() + g_waitingEvents.size() + g_hexidStack.size() +
               gf_standinObjects().size();
    }
};

TEST_F(StaticSoak, ADayOfRenewalsWithParkedTrafficComingAndGoing) {
    lab_setParkAirport("EDDF", kHarnessLat, kHarnessLon, kHarnessElevFt);
    layStands();
    startFlight();
    ASSERT_TRUE(tst_startParkedReader());
    tst_setParked(parkedAt(0));
    lf_computeStaticParking();
    ASSERT_TRUE(tst_awaitParkedAnswer());
    ASSERT_TRUE(runUntil([] { return !gf_staticParkingPending() && g_ptList.empty(); }, kCycleSeconds));
    std::vector<size_t> footprints;
    size_t mostStatics = 0;
    for (int r = 1; r <= kRenewals && !HasFailure(); ++r) {
        SCOPED_TRACE(r);
        g_minutesNow += 20;
        tst_setParked(parkedAt(r));
        const double start = ticksRun / 100.0;
        if (r % 3 == 0) liveStandingFrom(start, r);
        g_renewalRequested = true;
        ASSERT_TRUE(runUntil([] { return g_parkingCalculating.load(); }, 20));
        if (r % 6 == 3) gf_gatherCallsign("BAW604", kTwin);  // its aircraft shows up live
        ASSERT_TRUE(tst_awaitParkedAnswer());
        ASSERT_TRUE(runUntil([] { return !g_renewalRequested; }, 20));
        ASSERT_TRUE(runUntil([] { return g_ptList.empty() && !g_parkingControlsLocked; }, 40))
            << g_ptList.size() << " planned aircraft left";
        for (int id : {ctl::kSimTime, ctl::kKeepSimTimePar, ctl::kTimeShiftDays, ctl::kTimeShiftHours,
                       ctl::kTimeShiftMins})
            ASSERT_TRUE(gf_controlState(id).enabled) << "time control " << id << " left disabled";
        ASSERT_FALSE(gf_callsignGatheringOn());
        run(start + kCycleSeconds - ticksRun / 100.0);
        footprints.push_back(footprint());
        mostStatics = std::max(mostStatics, g_staticAircraft.size());
    }
    ASSERT_EQ(footprints.size(), static_cast<size_t>(kRenewals));
    const size_t firstHalf = *std::max_element(footprints.begin(), footprints.begin() + kRenewals / 2);
    const size_t secondHalf = *std::max_element(footprints.begin() + kRenewals / 2, footprints.end());
    EXPECT_LE(secondHalf, firstHalf + kFootprintSlack) << "what the run keeps grew over the day";
    EXPECT_GE(mostStatics, 8u) << "the stands were filled";
}

}  // namespace
