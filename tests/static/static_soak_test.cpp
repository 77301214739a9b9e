// Half a simulated day of static parking against the stand-in simulator: renewals every 20
// minutes through the main loop's two phases, live aircraft arriving on stands (driving statics
// off) and leaving after their maximum parked time, planned aircraft turning live. After every
// renewal no stand holds two aircraft and no object is unowned; from the second quarter on no list grows.
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

constexpr int kStands = 16, kRenewals = 36, kTicksPerRenewal = 4000;

TEST_F(StaticTest, SoakOfRenewalsWithLiveArrivalsAndDepartures) {
    static int64_t minutesNow;  // outlives the case: the clocks are reset after it
    minutesNow = 0;
    gf_setUtcClock([] { return UtcTimePoint(sys_days{year{2026} / 12 / 7}) + minutes(minutesNow); });  // a Monday
    gf_setClock100ns([] { return minutesNow * 600'000'000; });
    g_currentSlot = gf_slotAndWeekday();
    WEEK.set(true);
    CUSTOM_PARKING_PERCENTAGE.set(75);
    for (int i = 0; i < kStands; ++i) {  // on the harness airport, where the object scans find the statics
        const LatLon p = tst_offsetM(0, 100.0 * i);
        Stand& s = g_stands.emplace_back("S" + std::to_string(i), std::vector<StandOption>{},
                                         p.lat + kHarnessLat - kStandOrigin.lat, p.lon + kHarnessLon - kStandOrigin.lon,
                                         0.0, 30, false, false, false);
        for (uint32_t k = 0; k < 3; ++k) {
            const int first = (i * 3 + static_cast<int>(k) * 16) % 40;
            const std::string cs = (k == 1 ? "BAW" : "DLH") + std::to_string(100 * i + static_cast<int>(k));
            s.options.push_back(opt(cs, k == 0 ? cs + "X" : "", k == 1 ? "A320" : "B738", "R-" + cs,
                                    tst_range(first, first + 8), k + 1));
        }
    }
    gf_numberStands();
    gf_setParkSite({"EDDF", {kHarnessLat, kHarnessLon}, "", false, 0});
    const auto capacities = [] {
        return std::vector<size_t>{g_staticAircraft.capacity(), g_liveRecords.capacity(), g_ptList.capacity(),
                                   g_staticCheckList.capacity(), g_staticRemovalQueue.capacity(), g_liveOnStand.capacity(), g_waitingEvents.capacity()};
    };
    startFlight();
    lf_computeStaticParking();
    tick(kTicksPerRenewal);
    std::vector<size_t> steady;
    size_t mostStatics = 0;
    for (int r = 1; r <= kRenewals; ++r) {
        SCOPED_TRACE(r);
        minutesNow += 20;
        // A live aircraft created parked on a stand, as the simulator events would report it.
        LiveAircraft ac = liveParkedOn(static_cast<uint32_t>(r * 5 % kStands + 1), 0x500000 + static_cast<uint32_t>(r),
                                       "SWR" + std::to_string(r), "B738");
        ac.objectId = 900000 + static_cast<uint32_t>(r), ac.steadySince = gf_clock100ns();
        ac.stream.front().stationary = 1, ac.stream.front().dueTick = 0x7fffffff, ac.onGround = 1;
        gf_takeStand(ac);
        lf_parksOnCreate(ac);
        g_liveRecords.push_back(std::move(ac));
        g_renewalRequested = true;
        tick(1500);
        if (r % 4 == 0) gf_gatherCallsign(g_stands[static_cast<size_t>(r % kStands)].options[0].callsign, 0x600000);
        tick(kTicksPerRenewal - 1500);
        // The simulator's answer for the live objects it does not model.
        for (size_t i = g_liveRecords.size(); i-- > 0;)
            if (g_liveRecords[i].lifeState == removingfromsim) lf_onObjectRemoved(g_liveRecords[i].objectId);
        ASSERT_FALSE(g_renewalRequested) << "the renewal ran";
        std::map<uint32_t, int> holders;  // stands holding more than one aircraft
        for (const AircraftRec& st : g_staticAircraft) holders[st.standId] += st.lifeState <= active;
        for (const LiveAircraft& live : g_liveRecords) holders[live.standId] += live.lifeState == active;
        for (const auto& [id, n] : holders) ASSERT_LE(n, 1) << gf_standNameOfId(id);
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
