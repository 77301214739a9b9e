// The flight lab: truth trajectories played as feed streams through the tick harness, with
// invariants checked every tick for every live aircraft (the flight model's in flight_lab_air.cpp).
#pragma once
#include <map>
#include <optional>

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

// Builders continuing from the last point every stepSec: straight on, a level turn (positive
// right), a 3-degree approach to fieldFt with the roll to 20 kt, a stop on the ground.
Truth lab_start(double lat, double lon, double altFt, double gsKt, double trackDeg, bool onGround = false);
void lab_straight(Truth& t, double seconds, double stepSec = 2, double vrateFpm = 0);
void lab_turn(Truth& t, double degrees, double degPerSec = 3, double stepSec = 2);
void lab_approach(Truth& t, double fieldFt, double stepSec = 2);
void lab_stop(Truth& t, double seconds, double stepSec = 2);

// What the lab remembers of an aircraft from one tick to the next.
struct LabSnapshot {
    uint32_t lifeState = 0, flightState = 0;
    double lat = 0, lon = 0;
    bool curve = false;
    size_t streamSize = 0;
    int32_t backDue = 0;
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
// Finite positions in range, steps of the leg, due ticks, state changes, the stands' and the air's.
std::vector<LabInvariant> lab_defaultInvariants();
// An occupied mark always has its holder standing on that stand.
std::vector<LabWorldInvariant> lab_defaultWorldInvariants();

// Static parking against the simulator, for soaks with static aircraft (flight_lab_static.cpp):
// "statics leave" (no static stays in removingfromsim longer than its paced removal takes),
// "objects owned" (no object of the stand-in outlives its create without a record), "one aircraft
// per stand" (statics that stay and live aircraft parked), "controls locked while planned" (the
// parking controls stay locked while the PT list holds entries). Each call starts fresh.
std::vector<LabWorldInvariant> lab_staticWorldInvariants();

// "landing" (down within 60 s of the feed, plus the sink at 600 ft/min without an approach),
// "terrain" (never below the ground), "rates" (climb step; at most 3 x the reports + 100 kt),
// "ground feed" (no climb in the air while every sample is on the ground, but for a take-off).
std::vector<LabInvariant> lab_airInvariants();

// One tick of an active aircraft (without its stream), its front sample and the fast scan.
struct LabAirTick {
    int32_t tick = 0;
    LiveAircraft ac;
    PosSample front;
    bool fastScan = false;
};
// Records every tick of the aircraft while it is active; never fails.
LabInvariant lab_airRecorder(uint32_t hexid, std::vector<LabAirTick>& trace);

// The only park airport of the airport list and my_park_airports.txt, with its elevation.
void lab_setParkAirport(const std::string& icao, double lat, double lon, double elevationFt);
// What the stand-in received for one object, in order, without the object id ("GEAR_SET 0").
std::vector<std::string> lab_commandsOf(uint32_t objectId);
// Due ticks wrap with the tick counter: differences are taken unsigned and read signed.
inline int32_t lab_diff(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

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
};
