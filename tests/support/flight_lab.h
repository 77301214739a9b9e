// The flight lab: truth trajectories turned into feed streams, played through the real intake,
// tick and playback against the stand-in simulator, with invariants checked every tick for every
// live aircraft. Built on the tick harness; the air and ground labs add their own invariants
// (through lab_defaultInvariants) and trajectory builders.
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

// Builders, each continuing from the last point every stepSec seconds: along the great circle
// (climbing or descending at vrateFpm); a level turn (degrees, positive right); a 3-degree approach
// to the ground at fieldFt and the roll to taxi speed; a stop on the ground. lab_gap leaves out
// the reports between from and to.
Truth lab_start(double lat, double lon, double altFt, double gsKt, double trackDeg, bool onGround = false);
void lab_straight(Truth& t, double seconds, double stepSec = 2, double vrateFpm = 0);
void lab_turn(Truth& t, double degrees, double degPerSec = 3, double stepSec = 2);
void lab_approach(Truth& t, double fieldFt, double stepSec = 2);
void lab_stop(Truth& t, double seconds, double stepSec = 2);
Truth lab_gap(const Truth& t, double from, double to);

// What the lab remembers of an aircraft from one tick to the next.
struct LabSnapshot {
    uint32_t lifeState = 0, flightState = 0, previousFlightState = 0;
    double lat = 0, lon = 0, heading = 0;
    bool curve = false;
    size_t streamSize = 0;
    int32_t frontDue = 0, backDue = 0;
};
// An invariant: empty passes, else what broke. before is empty on the first tick of the aircraft.
struct LabInvariant {
    std::string name;
    std::function<std::optional<std::string>(const std::optional<LabSnapshot>& before, const LiveAircraft& ac)>
        check;
};
// An invariant of the whole world (the stands against the live set), checked once per tick.
struct LabWorldInvariant {
    std::string name;
    std::function<std::optional<std::string>()> check;
};
// Finite positions in range, steps of the leg, due ticks, state changes; the air and ground labs'.
std::vector<LabInvariant> lab_defaultInvariants();
std::vector<LabWorldInvariant> lab_defaultWorldInvariants();

class FlightLab : public TickHarness {
  protected:
    void SetUp() override;
    void TearDown() override;  // a failed case also shows the end of the log
    // A world around (lat, lon) with the airports for terrain; the user follows the first stream.
    void startWorld(double lat, double lon, std::vector<ScenarioAirport> airports = {});
    virtual void shapeWorld(Scenario&) {}  // last touches before the world is loaded
    // One aircraft's stream: each 2-second poll hands over the newest point since the last.
    void addStream(uint32_t hexid, const std::string& callsign, const std::string& airline,
                   const std::string& type, const Truth& truth);
    // Runs the ticks, polling the streams and checking every invariant; the first broken one
    // fails the case with the tick.
    void run(double seconds);
    // The aircraft is gone within budgetSeconds after its last report was due; else a failure.
    bool goneWithin(uint32_t hexid, double budgetSeconds);

    std::vector<LabInvariant> invariants = lab_defaultInvariants();
    std::vector<LabWorldInvariant> worldInvariants = lab_defaultWorldInvariants();
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
    double labSeconds_ = 0, nextPoll_ = 0;
    size_t logSeen_ = 0;
};
