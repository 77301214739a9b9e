// Helpers that build, copy, name and label the aircraft records of live/aircraft.h. Used by
// intake, spawn, the simulator events, static placement and almost every log line.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "feed/records.h"
#include "live/aircraft.h"

// Motion values of one aircraft category (pitches in degrees as tabled; stored in radians).
struct CategoryMotion {
    double rotationPitchDeg;  // varied 2.5 %
    double climbPitchDeg;     // varied 5 %
    double turnRateDeg;       // degrees per tick
    double maxClimbStepFt;    // feet per tick
    double slowTaxiSpeedKt;
    int32_t flareTicks, touchdownTicks, rotationTicks, climbTicks;
};
// The row of a category 0..5; any other raises std::out_of_range with kMapKeyError.
const CategoryMotion& gf_categoryMotion(int32_t category);

// A new record from a decoded traffic record: its strings and flag, the type's category, half
// span and the category's pitches (varied at random), turn rate and manoeuvre ticks. Every
// other number is 0, hexid included.
AircraftRec gf_makeAircraftRec(const LiveTrafficRecord& record);
// Copies the identity and static part (strings through touchdownSign), nothing of the
// simulator bookkeeping from objectId on.
void gf_copyAircraftRec(AircraftRec& destination, const AircraftRec& source);
// A live aircraft in life state buffer and flight state birth whose stream holds the first
// sample; lastSampleTime is the first record's time stamp.
LiveAircraft gf_constructLiveAircraft(const PosSample& firstSample, const AircraftRec& rec, double timeStamp);
// A static aircraft on the given stand (position in degrees, heading in radians).
AircraftRec gf_constructStaticAircraft(const AircraftRec& rec, uint32_t standId, double standLat,
                                       double standLon, double standHeading, bool cargoStand);

// "pushing_back" .. "birth"; a value outside the table raises std::out_of_range (kMapKeyError).
std::string_view gf_flightStateName(uint32_t state);
// A live aircraft (a real ICAO address); static parked aircraft carry numbers up to 10000.
inline bool gf_isLiveAircraft(const AircraftRec& rec) {
    return rec.hexid > kMaxStaticHexid;
}
// Every change of a live aircraft's flight state: keeps the state it leaves in
// previousFlightState and writes a detail line "{stamp} {callsign} {old} -> {new}".
void gf_setFlightState(LiveAircraft& ac, uint32_t state);
// "buffer" .. "removingfromsim"; a value outside the table raises std::out_of_range (kMapKeyError).
std::string_view gf_lifeStateName(uint32_t state);

// "{:3}->{:3}" of origin and destination; eight blanks when both are empty.
std::string gf_routeText(const AircraftRec& rec);
// "{:8}" of the callsign.
std::string gf_callsignText(const AircraftRec& rec);
// Route text, callsign text and registration, blank-separated.
std::string gf_describeAc(const AircraftRec& rec);
// gf_describeAc and the airline/type label.
std::string gf_acLabel(const AircraftRec& rec);
// Callsign text, registration and the airline/type label.
std::string gf_acShortLabel(const AircraftRec& rec);
// The airline/type label, a blank and the registration (the key of unmatched aircraft).
std::string gf_acIdWithReg(const AircraftRec& rec);

// Not empty, not "@@@@@@@@" and shorter than 9 characters.
bool gf_hasRealCallsign(std::string_view callsign);
// The first three letters in upper case of a text of at least 4 characters whose first three are
// letters and whose fourth is a digit; none otherwise.
std::optional<std::string> gf_airlineOfCallsign(std::string_view text);
// Sets the record's airline from its callsign; false (airline unchanged) when it gives none.
bool gf_airlineFromCallsign(AircraftRec& rec);
