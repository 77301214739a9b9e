// The flight lab: truth trajectories turned into feed streams, played through the real intake,
// tick and playback against the stand-in simulator, with invariants checked every tick for every
// live aircraft. Built on the tick harness; later movement work adds its own invariants to the
// list (lab_defaultInvariants) and its own trajectory builders.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/geo.h"
#include "support/tick_harness.h"

// One point of a truth trajectory: what the feed reports at time t (seconds).
struct TruthPoint {
    double t = 0;
    double lat = 0, lon = 0;
    double altFt = 0, gsKt = 0, trackDeg = 0, vrateFpm = 0;
    bool onGround = false;
};
using Truth = std::vector<TruthPoint>;

// Builders. Each continues from the last point of the trajectory (or starts one) and adds points
// every stepSec seconds.
Truth lab_start(double lat, double lon, double altFt, double gsKt, double trackDeg, bool onGround = false);
// Along the great circle at the current speed and track for the duration, climbing or
// descending at vrateFpm.
void lab_straight(Truth& t, double seconds, double stepSec = 2, double vrateFpm = 0);
// A level turn of degrees (positive right) at degPerSec.
void lab_turn(Truth& t, double degrees, double degPerSec = 3, double stepSec = 2);
// A 3-degree approach down to the ground at fieldFt, then the landing roll to taxi speed.
void lab_approach(Truth& t, double fieldFt, double stepSec = 2);
// A stop on the ground for the duration (repeated positions).
void lab_stop(Truth& t, double seconds, double stepSec = 2);
// Feed faults: no reports between from and to; position noise of up to deg (seeded); every
// point repeated; every point from t on displaced.
Truth lab_gap(const Truth& t, double from, double to);
Truth lab_jitter(const Truth& t, double deg, uint32_t seed);
Truth lab_duplicates(const Truth& t);
Truth lab_jump(const Truth& t, double from, double dLat, double dLon);
// Mirrored east-west about a longitude; shifted in longitude (wrapped into [-180, 180)).
Truth lab_mirror(const Truth& t, double aboutLon);
Truth lab_shift(const Truth& t, double dLon);

// What the lab remembers of an aircraft from one tick to the next.
struct LabSnapshot {
    uint32_t lifeState = 0, flightState = 0, previousFlightState = 0;
    double lat = 0, lon = 0, heading = 0;
    bool curve = false;
    size_t streamSize = 0;
    int32_t frontDue = 0, backDue = 0;
};
// One invariant: an empty result passes, otherwise the text says what broke. before is empty on
// the first tick the lab sees the aircraft.
struct LabInvariant {
    std::string name;
    std::function<std::optional<std::string>(const std::optional<LabSnapshot>& before,
                                             const LiveAircraft& ac)>
        check;
};
// An invariant of the whole world (the stands against the live set), checked once per tick.
struct LabWorldInvariant {
    std::string name;
    std::function<std::optional<std::string>()> check;
};
// Position values, steps, due ticks, flight-state table and life-state paths, and the stands'.
std::vector<LabInvariant> lab_defaultInvariants();
std::vector<LabWorldInvariant> lab_defaultWorldInvariants();
LabSnapshot lab_snapshot(const LiveAircraft& ac);

class FlightLab : public TickHarness {
  protected:
    void SetUp() override;
    // A failed case also shows the end of the log.
    void TearDown() override;
    // A world around (lat, lon) with the airports for terrain; the user aircraft follows the
    // first stream added before.
    void startWorld(double lat, double lon, std::vector<ScenarioAirport> airports = {});
    // Last touches to the world before it is loaded (titles, a scripted user, ...).
    virtual void shapeWorld(Scenario&) {}
    // The stream of one aircraft: each 2-second poll hands over the newest point since the last.
    void addStream(uint32_t hexid, const std::string& callsign, const std::string& airline,
                   const std::string& type, const Truth& truth);
    // Runs the ticks, polling the streams and checking every invariant for every live aircraft;
    // the first broken invariant fails the case with the seed and the tick.
    void run(double seconds);
    // The aircraft whose feed ended at its last point is gone within the budget (seconds after
    // its last point was due); false with a failure otherwise.
    bool goneWithin(uint32_t hexid, double budgetSeconds);
    // Positions (lat, lon) the aircraft held after each tick while active, by tick.
    const std::map<int32_t, LatLon>& path(uint32_t hexid) { return paths_[hexid]; }

    std::vector<LabInvariant> invariants = lab_defaultInvariants();
    std::vector<LabWorldInvariant> worldInvariants = lab_defaultWorldInvariants();
    uint32_t seed = 7;
    int ticksRun = 0;

  private:
    struct Stream {
        uint32_t hexid;
        std::string callsign, airline, type;
        Truth truth;
        size_t next = 0;
    };
    void poll();
    void check();
    void checkLog();

    std::vector<Stream> streams_;
    std::map<uint32_t, LabSnapshot> seen_;
    std::map<uint32_t, std::map<int32_t, LatLon>> paths_;
    std::map<uint32_t, int> lastThrowTick_;
    double labSeconds_ = 0;
    double nextPoll_ = 0;
    size_t logSeen_ = 0;
    std::string lastLog_;
};
