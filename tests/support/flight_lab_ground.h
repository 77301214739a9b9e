// The flight lab on the ground: stands loaded straight into g_stands at a park airport, static
// parking on, ground truth builders (taxi legs, sharp corners, pushbacks) and the invariants of
// the stands: one live aircraft per stand, a parked aircraft stays on its stand, an occupied
// mark always has its holder. The stand invariants are part of every lab case's defaults.
#pragma once
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "support/flight_lab.h"
#include "support/stand_builders.h"

// The park airport of the ground lab: the stands' origin, its elevation in feet.
inline constexpr const char* kLabParkCode = "LSZH";
inline constexpr double kLabFieldFt = 1416;

// Per-aircraft invariants of the stands (part of lab_defaultInvariants).
std::vector<LabInvariant> lab_groundInvariants();
// World invariants of the stands against the live set (part of lab_defaultWorldInvariants).
std::vector<LabWorldInvariant> lab_groundWorldInvariants();
// On the ground and active on both ticks: the heading turns by at most maxTurnFactor x the
// category's turn rate per tick (a sharp turn fits its rate up to 3 times it), or by the rate a
// turn of up to 45 degrees fitted into the shortest leg takes, whichever is more; the aircraft
// moves at most maxKt worth of distance per tick.
LabInvariant lab_groundSmoothness(double maxTurnFactor, double maxKt);

// Ground truth builders, each continuing from the last point. A point north/east of the stand
// origin in metres, on the ground, standing still.
Truth lab_groundStart(double northM, double eastM, double trackDeg);
// The last point now reports this track and speed; the next leg follows them (a sharp corner).
void lab_corner(Truth& t, double trackDeg, double gsKt);
// Straight to the point (north, east m) in equal steps stepSec apart, at about gsKt (never
// faster), the last report on the point.
void lab_taxiTo(Truth& t, double northM, double eastM, double gsKt, double stepSec = 2);
// Rolled backwards (against the reported track) for metres at gsKt; the reported track swings
// by swingDeg over the push (positive: the nose turns right), then the aircraft stands.
void lab_pushback(Truth& t, double metres, double gsKt, double swingDeg);

class FlightLabGround : public FlightLab {
  protected:
    void SetUp() override;

    // Stands around the origin (tst_addStands), numbered, all facing headingDeg.
    static void addStands(std::initializer_list<TestStand> stands, double headingDeg = 0);
    // The park airport at the stand origin; reserved stand and wanted parked count as given.
    static void setSite(const std::string& reservedStand = "", int64_t wantedParked = 0);
    // The world around the stand origin with the park airport; the user parked on the ground at
    // userAt (metres north, east), or following the first stream in the air when not given.
    void startGround(std::optional<std::pair<double, double>> userAt = std::nullopt);
    // A taxiing B738 of DLH (hexid, callsign) along the truth.
    void addGround(uint32_t hexid, const std::string& callsign, const Truth& t,
                   const std::string& type = "B738", const std::string& airline = "DLH");
    // A static aircraft (hexid below 10000, callsign ending in "*") queued for creation on the stand.
    static void addStatic(uint32_t hexid, const std::string& callsign, uint32_t standId,
                          uint64_t parkSlot = 0);

    // Journal lines of the aircraft's object with the event name ("ENGINE_AUTO_SHUTDOWN").
    static std::vector<std::string> eventsOf(uint32_t hexid, const std::string& event);
    // Metres between the aircraft and the stand with that id.
    static double metresFromStand(uint32_t hexid, uint32_t standId);
    // Largest distance from the point the aircraft held while in one of the flight states, metres.
    double farthestIn(uint32_t hexid, LatLon from, std::initializer_list<uint32_t> states) const;
    // The flight states the aircraft went through, in order, without repeats.
    const std::vector<uint32_t>& statesOf(uint32_t hexid) { return states_[hexid]; }

    // Per-tick record of states and positions, kept by a probe invariant.
    struct Seen {
        uint32_t state;
        LatLon position;
    };
    std::map<uint32_t, std::vector<Seen>> seenOnGround_;
    std::map<uint32_t, std::vector<uint32_t>> states_;
};
