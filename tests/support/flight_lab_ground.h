// The flight lab on the ground: stands in g_stands at a park airport, static parking on, ground
// truth builders and the invariants of the stands (one live aircraft per stand, a parked aircraft
// stays on its stand, an occupied mark always has its holder), part of every lab case's defaults.
#pragma once
#include <string>
#include <vector>

#include "support/flight_lab.h"
#include "support/stand_builders.h"

// The park airport of the ground lab: the stands' origin, its elevation in feet.
inline constexpr const char* kLabParkCode = "LSZH";
inline constexpr double kLabFieldFt = 1416;

std::vector<LabInvariant> lab_groundInvariants();
std::vector<LabWorldInvariant> lab_groundWorldInvariants();
// On the ground and active on both ticks: the heading turns by at most maxTurnFactor x the
// category's turn rate per tick (or the rate of a 45-degree turn fitted into the shortest leg),
// and the aircraft moves at most maxKt worth of distance per tick.
LabInvariant lab_groundSmoothness(double maxTurnFactor, double maxKt);

// Ground truth builders (metres north/east of the stand origin): a start standing still; a
// straight leg from the last point in steps stepSec apart at about gsKt (the last point turns to
// it); a pushback against the reported track whose track swings by swingDeg (positive: nose
// right), then standing.
Truth lab_groundStart(double northM, double eastM, double trackDeg);
void lab_taxiTo(Truth& t, double northM, double eastM, double gsKt, double stepSec = 2);
void lab_pushback(Truth& t, double metres, double gsKt, double swingDeg);

class FlightLabGround : public FlightLab {
  protected:
    void SetUp() override;
    // The park airport at the stand origin with the wanted parked count.
    static void setSite(int64_t wantedParked = 0);
    // The world around the stand origin; the user follows the first stream in the air.
    void startGround();
    // A B738 of DLH (or the type) along the truth.
    void addGround(uint32_t hexid, const std::string& callsign, const Truth& t, const std::string& type = "B738");
    // Journal lines of the aircraft's object with the event name ("ENGINE_AUTO_SHUTDOWN").
    static std::vector<std::string> eventsOf(uint32_t hexid, const std::string& event);
    // The flight states the aircraft went through, in order, without repeats.
    const std::vector<uint32_t>& statesOf(uint32_t hexid) { return states_[hexid]; }
    std::map<uint32_t, std::vector<uint32_t>> states_;
};
