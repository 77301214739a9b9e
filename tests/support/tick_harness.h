// The tick harness: the real main-loop tick against the stand-in simulator, frame by frame with
// the 10 ms ticks, at one airport with built liveries. The teardown finds no object unowned.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "feed/records.h"
#include "live/aircraft.h"
#include "platform/scenario.h"
#include "platform/sim_standin.h"
#include "support/work_folder.h"

// The harness's airport (EDDF) and its liveries; the last three are not installed.
inline constexpr double kHarnessLat = 50.0379, kHarnessLon = 8.5622, kHarnessElevFt = 364;
inline constexpr const char* kTitleDlh738 = "Boeing 737-800 Lufthansa";
inline constexpr const char* kTitleBaw320 = "Airbus A320 British Airways";
inline constexpr const char* kTitlePvt172 = "Cessna 172 Private";
inline constexpr const char* kTitleDlh744 = "Boeing 747-400 Lufthansa";
inline constexpr const char* kTitleDal739 = "Boeing 737-900 Delta";
inline constexpr const char* kTitleThy38m = "Boeing 737 MAX 8 Turkish";
inline constexpr const char* kTitleSazEc45 = "Eurocopter EC145 Rega";

// One traffic record; airborne when altFt is above the airport's elevation + 50.
struct TrackPoint {
    double lat = kHarnessLat, lon = kHarnessLon;
    double altFt = 12000, gsKt = 250, trackDeg = 180, vrateFpm = 0;
};
LiveTrafficRecord tst_trafficRecord(uint32_t hexid, const std::string& callsign, const std::string& airline,
                                    const std::string& type, const TrackPoint& p, double timeStamp);
// A point `nm` north (negative: south) and `eastNm` east of the airport.
TrackPoint tst_pointNear(double nm, double eastNm = 0, double altFt = 12000);
// Three points 6 s apart of an aircraft flying south at 250 kt, from 10 nm north of the airport.
std::vector<TrackPoint> tst_inbound();

class TickHarness : public WorkFolderTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // The user parked at the airport, the first four titles installed.
    static Scenario baseScenario();
    void startFlight(const Scenario& s = baseScenario());  // the run's start: link, first frame, adding
    // n main-loop passes, each followed by the simulator frames that fall into its 10 ms.
    void tick(int n = 1);
    // Ticks until done() holds: the ticks run, or -1 (a failure) after maxTicks.
    int tickUntil(const std::function<bool()>& done, int maxTicks = 5000);
    void feed(std::vector<LiveTrafficRecord> batch, int delaySeconds);
    // The points as buffered snapshots 6 s apart: point i is due 600 x (i + 1) ticks from now.
    void feedTrack(uint32_t hexid, const std::string& callsign, const std::string& airline,
                   const std::string& type, const std::vector<TrackPoint>& points);
    std::string newLog();  // the log lines written since the last call

  public:
    static LiveAircraft* live(uint32_t hexid);
    static std::vector<std::string> journalLines(const std::string& prefix);
    static std::vector<std::string> unownedObjects();  // stand-in objects no record owns

  private:
    double worldSeconds_ = 0;
    size_t logSeen_ = 0;
    bool flying_ = false;
};
