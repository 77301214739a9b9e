// Stand choice for live aircraft at the park airport: the nearest free stand that fits, the stand
// of an aircraft that appears on the ground, the ranked candidates of the kind of stand an
// aircraft uses, the departure booking and the cargo-mark check. Run thread, except
// gf_nearestStandName, which the simulator thread calls too.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "airports/stand.h"
#include "core/geo.h"
#include "live/aircraft.h"

// What stand choice and max park need of the park airport and of static parking.
struct ParkSite {
    std::string code;             // ICAO code of the park airport; empty: none set
    LatLon position;              // degrees
    std::string reservedStand;    // name of the stand kept for the user's aircraft; empty: none
    bool parkedFileRead = false;  // the park airport's parking file is read and may learn soft options
    int64_t wantedParked = 0;     // wanted number of parked aircraft; below 1: no max park
};

// Distances of the stand choice, nautical miles.
inline constexpr double kStandFitToleranceNm = 0.0009719222462203025;  // 1.8 m
inline constexpr double kSpawnSearchNm = gf_metersToNm(55);
inline constexpr double kTooSmallAcceptedNm = gf_metersToNm(20);
inline constexpr double kPreferredStandNm = gf_metersToNm(85);
inline constexpr double kNearestStandNameNm = gf_metersToNm(55);
inline constexpr double kSmallAircraftHalfSpanNm = 0.009611230689557531;  // 17.8 m
inline constexpr double kParkAirportNearNm = 5.0;

// A stand the departure booking may book (at most 256 per search).
struct StandCandidate {
    std::string name;         // stand name
    int32_t score = 0;        // smaller is better
    bool optionsFit = false;  // a real option of the stand fits the aircraft
};

// The park airport as stand choice sees it. Until one is set (gf_setParkSite) it reports no
// park airport (empty code), no reserved stand, no parking file read and no wanted parked
// count, so spawn finds no stand, the departure booking does nothing and max park stays off.
// Every function below that needs the site takes it as a defaulted argument.
const ParkSite& gf_parkSite();
// Sets the park airport that live traffic parks at (run thread; the reset clears it).
void gf_setParkSite(ParkSite site);

// A stand fits an aircraft whose half span exceeds the stand's radius by at most 1.8 m.
bool gf_standFits(double halfWingSpanNm, const Stand& stand);
// The first stand of that name; nullptr when none.
Stand* gf_findStandById(std::string_view name);
// Name of the nearest stand within 55 m of the position, from the published copy of the stands;
// empty when none, when no stands are published or while the user aircraft is not on the
// ground. The last answer is cached (positions equal within 1e-8 degrees, same copy). Any thread.
std::string gf_nearestStandName(LatLon position);
// The nearest free stand within radiusNm that fits the aircraft (one too small by more than
// 1.8 m only within 20 m, and then enlarged to half span - 1 m); with prefer, and nothing within
// radius, a fitting stand within 85 m whose options know the aircraft. Helipads only for
// rotorcraft and rotorcraft only on helipads. nullptr when none.
Stand* gf_nearestFreeStand(LatLon position, const AircraftRec& ac, double radiusNm, bool prefer);
// The stand for an aircraft whose front sample is on the ground at its spawn; nullptr when none.
// Sets eraseFlag (the aircraft is not spawned) when its stand is held by an aircraft that keeps
// it or a parked neighbour is too close. Static occupants make way for a found stand.
Stand* lf_standAtSpawn(LiveAircraft& ac, const ParkSite& site = gf_parkSite());
// The best stand of the kind the aircraft uses that has no option at that weekday and half-hour
// (slot value as g_currentSlot holds it); with retry and at most 10 stands the next half-hour is
// tried once. nullptr when none.
Stand* lf_standCandidates(uint64_t slotValue, const AircraftRec& ac, bool retry,
                          const ParkSite& site = gf_parkSite());
// Books the stand a departing aircraft without a stand most likely came from into the soft
// options (at most once per three half-hours per aircraft).
void lf_bookDepartureStand(LiveAircraft& ac, bool notFlying, const ParkSite& site = gf_parkSite());
// A cargo aircraft (isCargo) holding its stand with cargoStand 0 while the stand carries the
// cargo mark clears that mark, sets cargo_change and counts a parking file update.
void lf_clearCargoMark(const AircraftRec& ac, const ParkSite& site = gf_parkSite());

// Whole-process and per-run reset: the nearest-stand cache forgotten.
void gf_resetStandChoice();
