// A simulated day of static parking against the stand-in simulator: 72 renewals through the main
// loop's two phases, live aircraft arriving on stands (driving statics off) and leaving after
// their maximum parked time, flights of planned aircraft turning live. After every renewal no
// stand holds two aircraft, and from the second quarter of the day on no list grows.
#include <chrono>
#include <map>

#include "core/clock.h"
#include "feed/feed_state.h"
#include "live/parking_conflicts.h"
#include "live/removal.h"
#include "live/sim_events.h"
#include "shell/requests.h"
#include "static_fixture.h"

namespace {

using namespace std::chrono;

constexpr int kStands = 16;
constexpr int kRenewals = 72;
constexpr int kTicksPerRenewal = 4000;  // both phases, the placements and the activations
constexpr int64_t kMinute100ns = 600'000'000;

class StaticSoak : public StaticTest {
  protected:
    void SetUp() override {
        StaticTest::SetUp();
        const auto monday = sys_days{year{2026} / 12 / 7};
        gf_setUtcClock([this, monday] { return UtcTimePoint(monday) + minutes(minutes_); });
        gf_setClock100ns([this] { return minutes_ * kMinute100ns; });
        g_currentSlot = gf_slotAndWeekday();
        WEEK.set(true);
        CUSTOM_PARKING_PERCENTAGE.set(75);
        for (int i = 0; i < kStands; ++i) {
            // On the harness airport, where the simulator's object scans find the statics.
            const LatLon p = tst_offsetM(0, 100.0 * i);
            Stand& s = g_stands.emplace_back(
                "S" + std::to_string(i), std::vector<StandOption>{}, p.lat + kHarnessLat - kStandOrigin.lat,
                p.lon + kHarnessLon - kStandOrigin.lon, 0.0, 30, false, false, false);
            for (uint32_t k = 0; k < 3; ++k) {
                const int first = (i * 3 + static_cast<int>(k) * 16) % 40;
                const std::string cs =
                    (k == 1 ? "BAW" : "DLH") + std::to_string(100 * i + static_cast<int>(k));
                s.options.push_back(opt(cs, k == 0 ? cs + "X" : "", k == 1 ? "A320" : "B738", "R-" + cs,
                                        tst_range(first, first + 8), k + 1));
            }
        }
        gf_numberStands();
        ParkSite site;
        site.code = "EDDF";
        site.position = {kHarnessLat, kHarnessLon};
        gf_setParkSite(site);
    }

    // A live aircraft created parked on the stand, as the simulator events would report it.
    void liveArrives(int n, uint32_t standId) {
        LiveAircraft ac =
            liveParkedOn(standId, 0x500000 + static_cast<uint32_t>(n), "SWR" + std::to_string(n), "B738");
        ac.objectId = 900000 + static_cast<uint32_t>(n);
        ac.steadySince = gf_clock100ns();
        ac.stream.front().stationary = 1;
        ac.stream.front().dueTick = 0x7fffffff;
        ac.onGround = 1;
        gf_takeStand(ac);
        lf_parksOnCreate(ac);
        g_liveRecords.push_back(std::move(ac));
    }

    // Stands holding more than one aircraft (statics created or on their way, live parked ones).
    static std::vector<std::string> standsUsedTwice() {
        std::map<uint32_t, int> holders;
        for (const AircraftRec& st : g_staticAircraft) holders[st.standId] += st.lifeState <= active;
        for (const LiveAircraft& ac : g_liveRecords) holders[ac.standId] += ac.lifeState == active;
        std::vector<std::string> twice;
        for (const auto& [id, n] : holders)
            if (n > 1) twice.push_back(gf_standNameOfId(id));
        return twice;
    }

    static std::vector<size_t> capacities() {
        return {g_staticAircraft.capacity(),  g_liveRecords.capacity(),        g_ptList.capacity(),
                g_staticCheckList.capacity(), g_staticRemovalQueue.capacity(), g_liveOnStand.capacity(),
                g_waitingEvents.capacity()};
    }

    int64_t minutes_ = 0;
};

TEST_F(StaticSoak, ADayOfRenewalsWithLiveArrivalsAndDepartures) {
    startFlight();
    lf_computeStaticParking();
    tick(kTicksPerRenewal);
    std::vector<size_t> steady;
    size_t mostStatics = 0;
    for (int r = 1; r <= kRenewals; ++r) {
        SCOPED_TRACE(r);
        minutes_ += 20;
        liveArrives(r, static_cast<uint32_t>(r * 5 % kStands + 1));
        g_renewalRequested = true;
        tick(1500);
        if (r % 4 == 0)
            gf_gatherCallsign(g_stands[static_cast<size_t>(r % kStands)].options[0].callsign, 0x600000);
        tick(kTicksPerRenewal - 1500);
        // The simulator's answer for the live objects it does not model.
        for (size_t i = g_liveRecords.size(); i-- > 0;)
            if (g_liveRecords[i].lifeState == removingfromsim) lf_onObjectRemoved(g_liveRecords[i].objectId);
        ASSERT_FALSE(g_renewalRequested) << "the renewal ran";
        ASSERT_EQ(standsUsedTwice(), std::vector<std::string>{});
        ASSERT_EQ(unownedObjects(), std::vector<std::string>{});
        mostStatics = std::max(mostStatics, g_staticAircraft.size());
        if (r == kRenewals / 4) steady = capacities();
    }
    EXPECT_LE(g_staticAircraft.size() + g_ptList.size(), static_cast<size_t>(kStands));
    EXPECT_GE(mostStatics, 8u) << "the stands were filled";
    EXPECT_LE(g_liveRecords.size(), 6u) << "live aircraft left after their parked time";
    const std::vector<size_t> end = capacities();
    for (size_t i = 0; i < end.size(); ++i) EXPECT_LE(end[i], std::max<size_t>(steady[i], kStands)) << i;
}

}  // namespace
