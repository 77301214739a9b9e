// Values the traffic feed shares with live traffic and static parking: the feed's traffic time,
// callsign gathering, the park airport's elevation and the QNH. Written and read from the
// reader threads and the run thread, so every value here is atomic or locked.
#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

// The data time the feed last reported (UTC seconds); 0 when the last poll brought no record.
double gf_trafficTime();
void gf_setTrafficTime(double utcSeconds);

// Callsign gathering: while switched on, the decoder adds the callsign and hexid of every live
// record it delivers. Taking the sets over switches gathering off in the same locked step, so
// nothing gathered after the take-over can leak into the next gathering.
struct GatheredCallsigns {
    std::unordered_set<std::string> callsigns;  // non-empty callsigns of the live records
    std::unordered_set<uint32_t> hexids;
};
void gf_startCallsignGathering();
bool gf_callsignGatheringOn();
// Called by the decoder for every delivered record; does nothing while gathering is off.
void gf_gatherCallsign(std::string_view callsign, uint32_t hexid);
// Moves both sets out, leaves them empty and switches gathering off.
GatheredCallsigns gf_takeGatheredCallsigns();

// The park airport as the decoder knows it: whether one is set and its field elevation (feet,
// from the parking file's "altitude" when it has one).
void gf_setParkAirportSet(bool set);
void gf_setParkAirportElevation(std::optional<double> elevationFt);
// Forgets the park airport: flag off, no elevation.
void gf_clearParkAirport();
bool gf_parkAirportSet();
std::optional<double> gf_parkAirportElevationFt();

inline constexpr double kStandardQnhHpa = 1013;
inline constexpr double kMinQnhHpa = 900;
inline constexpr double kMaxQnhHpa = 1100;
// Stores a QNH (hPa) from the weather feed clamped to 900..1100; a value that is not finite is
// ignored.
void gf_setQnh(double hPa);

// Per-run reset (closing down): traffic time 0, gathering off with empty sets, no park airport,
// QNH 1013.
void gf_resetFeedState();
// Whole-process reset: the feed state holds nothing that outlives a run, so the same as above.
void gf_resetFeedStateProcess();

// QNH in hectopascals from the nearest METAR; 1013 until one is read.
extern std::atomic<double> g_qnh;
