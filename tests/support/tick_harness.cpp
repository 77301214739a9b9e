#include "support/tick_harness.h"

#include <cmath>

#include <fmt/format.h>

#include "aircraft/liveries_scanned.h"
#include "aircraft/type_database.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/random.h"
#include "core/run_state.h"
#include "live/adding_stack.h"
#include "live/intake.h"
#include "live/live_set.h"
#include "shell/run_thread.h"
#include "sim/sim_thread.h"

LiveTrafficRecord tst_trafficRecord(uint32_t hexid, const std::string& callsign, const std::string& airline,
                                    const std::string& type, const TrackPoint& p, double timeStamp) {
    LiveTrafficRecord r;
    r.airline = airline;
    r.type = type;
    r.origin = "EGLL";
    r.destination = "EDDF";
    r.callsign = callsign;
    r.sample = {.lat = p.lat, .lon = p.lon, .alt = p.altFt, .gs = p.gsKt, .track = p.trackDeg, .vrate = p.vrateFpm,
                .airspeed = p.gsKt, .airborne = uint8_t(p.altFt > kHarnessElevFt + 50)};
    r.timeStamp = timeStamp;
    r.hexid = hexid;
    return r;
}

TrackPoint tst_pointNear(double nm, double eastNm, double altFt) {
    return {kHarnessLat + nm / 60.0, kHarnessLon + eastNm / (60.0 * std::cos(kHarnessLat * 3.141592653589793 / 180.0)),
            altFt};
}

std::vector<TrackPoint> tst_inbound() { return {tst_pointNear(10), tst_pointNear(9.5833), tst_pointNear(9.1666)}; }

void TickHarness::SetUp() {
    WorkFolderTest::SetUp();
    gf_setLogCapture(true);
    gf_seedRandom(7);
    gf_loadTypeDatabaseText(R"(<dbase><types>
<type icao="C172" cat="Light" span="11"/><type icao="A320" cat="Large" span="35.8"/>
<type icao="B738" cat="Large" span="35.8"/><type icao="B744" cat="Heavy" span="64.4"/>
<type icao="B739" cat="Large" span="35.8"/><type icao="B38M" cat="Large" span="35.9"/>
<type icao="EC45" cat="Rotorcraft" span="11"/>
</types><registrations><reg id="D-ABCD" airl="DLH" type="B738"/></registrations></dbase>)",
                            "harness dbase.xml");
    std::string xml = "<?xml version=\"1.0\"?>\n<liveries>\n";
    const char* rows[][3] = {{"DLH", "B738", kTitleDlh738}, {"BAW", "A320", kTitleBaw320},
                             {"PVT", "C172", kTitlePvt172}, {"DLH", "B744", kTitleDlh744},
                             {"DAL", "B739", kTitleDal739}, {"THY", "B38M", kTitleThy38m},
                             {"SAZ", "EC45", kTitleSazEc45}};
    for (const auto& r : rows) xml += fmt::format("<liv airl=\"{}\" type=\"{}\" title=\"{}\"/>\n", r[0], r[1], r[2]);
    tst_writeFile(g_liveriesScannedFile, xml + "</liveries>\n");
    lf_processScannedLiveries();
    newLog();
}

void TickHarness::TearDown() {
    if (flying_ && !HasFatalFailure()) {
        // A create sent in the last ticks is still to be found; 300 ticks let it be reported first.
        for (int i = 0; i < 300 && !unownedObjects().empty() && !g_stopRun; ++i) tick();
        EXPECT_EQ(unownedObjects(), std::vector<std::string>{}) << "objects in the simulator that no record owns";
    }
    WorkFolderTest::TearDown();
}

Scenario TickHarness::baseScenario() {
    Scenario s;
    s.airports = {{"EDDF", kHarnessLat, kHarnessLon, kHarnessElevFt}};
    s.user = {{0, kHarnessLat, kHarnessLon, kHarnessElevFt, 250, 0, true}};
    s.installedTitles = {kTitleDlh738, kTitleBaw320, kTitlePvt172, kTitleDlh744};
    return s;
}

void TickHarness::startFlight(const Scenario& s) {
    gf_standinLoad(s);
    ASSERT_TRUE(gf_simOpen());
    ASSERT_TRUE(gf_simFrame());
    worldSeconds_ = gf_standinTime();
    gf_reserveLiveLists();
    gf_setAddingAllowed(true);
    flying_ = true;
}

void TickHarness::tick(int n) {
    for (int i = 0; i < n; ++i) {
        lf_tick();
        worldSeconds_ += 0.01;  // one tick
        while (gf_standinTime() + gf_standinFrameSeconds() <= worldSeconds_ + 1e-9)
            if (!gf_simFrame()) return;
    }
}

int TickHarness::tickUntil(const std::function<bool()>& done, int maxTicks) {
    for (int i = 0; i <= maxTicks; ++i) {
        if (done()) return i;
        if (i < maxTicks) tick();
    }
    ADD_FAILURE() << "not reached in " << maxTicks << " ticks";
    return -1;
}

void TickHarness::feed(std::vector<LiveTrafficRecord> batch, int delaySeconds) { gf_addTrafficBatch(batch, delaySeconds); }

void TickHarness::feedTrack(uint32_t hexid, const std::string& callsign, const std::string& airline,
                            const std::string& type, const std::vector<TrackPoint>& points) {
    for (size_t i = 0; i < points.size(); ++i)
        feed({tst_trafficRecord(hexid, callsign, airline, type, points[i], 1000.0 + 6.0 * static_cast<double>(i))},
             6 * static_cast<int>(i + 1));
}

LiveAircraft* TickHarness::live(uint32_t hexid) { return gf_findLiveByHexid(hexid); }

std::vector<std::string> TickHarness::journalLines(const std::string& prefix) {
    std::vector<std::string> lines;
    for (const std::string& line : gf_standinJournal())
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

std::string TickHarness::newLog() {
    const std::string all = gf_capturedLog();
    std::string fresh = all.substr(std::min(logSeen_, all.size()));
    logSeen_ = all.size();
    return fresh;
}

std::vector<std::string> TickHarness::unownedObjects() {
    std::vector<std::string> unowned;
    for (const StandinObject& o : gf_standinObjects())
        if (!gf_findLiveByObjectId(o.id) && !gf_findStaticByObjectId(o.id))
            unowned.push_back(fmt::format("{} {} {}", o.id, o.atcId, o.title));
    return unowned;
}
