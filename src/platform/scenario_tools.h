// Building demo scenarios: real ADS-B tracks (CSV) turned into scenario tracks on the scenario's
// clock, the airport list they are placed against, and seeded synthetic traffic around an
// airport. Used by tools/trelvo_tracks2scenario and tools/trelvo_gen_scenario, and their tests.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/geo.h"
#include "platform/scenario.h"

// The whole content of a file; std::runtime_error "{path}: cannot be read" when it cannot be.
std::string gf_readTextFile(const std::filesystem::path& path);

// Writes the scenario as JSON (gf_scenarioToJson), atomically; std::runtime_error
// "{path}: cannot be written" when it cannot be.
void gf_writeScenarioFile(const std::filesystem::path& path, const Scenario& scenario);

// Runs a command-line tool's body: its exit code, or 1 with "{tool}: {what}" on stderr when it
// throws.
int gf_runTool(std::string_view tool, int (*body)(int, char**), int argc, char** argv);

// A real track file: UTF-8 CSV with the header line
//   t,icao24,callsign,lat,lon,alt_ft,gs_kt,track_deg,vrate_fpm,on_ground
// and one row per report in time order, e.g.
//   28.0,0083c3,CAI3208,47.4758342161,8.5445990929,,104.06,137.72,-128,1
// t seconds from the file's first row; icao24 6 hex digits; alt_ft pressure altitude (feet,
// 1013.25 hPa); gs_kt knots; track_deg degrees true; vrate_fpm feet per minute; on_ground 1 or
// 0. Empty cells: the source had no value (callsign, alt_ft, gs_kt, track_deg, vrate_fpm,
// on_ground may be empty). Lines without a finite time or position, or with a bad address, are
// counted and dropped.
struct RealTrackRow {
    double t = 0;
    double lat = 0, lon = 0;
    std::optional<double> altFt, gsKt, trackDeg, vrateFpm;
    std::optional<bool> onGround;
};

struct RealTrack {
    uint32_t hexid = 0;
    std::string callsign;  // the first non-empty callsign of the file
    std::vector<RealTrackRow> rows;
    int droppedLines = 0;
};

// Parses a real track file already in memory; sourceName names it in the one warning line
// about dropped lines.
RealTrack gf_parseRealTrackCsv(std::string_view text, std::string_view sourceName);

// One CSV line into fields; a field in double quotes may hold commas and doubled quotes.
std::vector<std::string> gf_csvFields(std::string_view line);

// The airport list: UTF-8 CSV with the header line icao,iata,name,lat,lon,elevation_ft,type and
// fields quoted where they hold commas, e.g.
//   LSZH,ZRH,Zurich Airport,47.4647,8.54917,1416,large_airport
// Lines without a 4-character code or finite position and elevation are counted and dropped.
std::vector<ScenarioAirport> gf_parseAirportsCsv(std::string_view text, std::string_view sourceName);

// Rows closer than this to an airport touch it (when low enough, see gf_airportsTouched).
inline constexpr double kTouchRadiusNm = 5.0;
// An airborne row touches an airport only below this height above the airport's elevation
// (pressure altitude as given), so cruise flights over an airfield do not list it.
inline constexpr double kTouchHeightFt = 2000.0;

// The airports a track touches, in the order first met: the nearest airport of its first and
// last ground rows, and every airport that a row comes within kTouchRadiusNm of while on the
// ground or below kTouchHeightFt above the airport. Ground rows without altitude count as low.
std::vector<ScenarioAirport> gf_airportsTouched(const RealTrack& track,
                                                const std::vector<ScenarioAirport>& airports);

// The one altitude offset (feet) that puts the track's ground rows at the airport's elevation:
// elevation minus the median altitude of the ground rows that have one, the airport being the
// first touched airport within kTouchRadiusNm of the first such row. 0 when the track has no
// ground row with an altitude or no airport is near it.
double gf_groundAltitudeOffset(const RealTrack& track, const std::vector<ScenarioAirport>& touched);

// The airline code of a callsign: its first three characters when they are letters and a digit
// follows ("SWR2021" -> "SWR"); empty otherwise ("SWISS", "REGA1", "N899DN").
std::string gf_airlineFromCallsign(std::string_view callsign);

// What the demo says about a real aircraft that its track does not: type and registration, and
// an airline that replaces the one read from the callsign when it is not empty.
struct TrackIdentity {
    uint32_t hexid = 0;
    std::string type, registration, airline;
};

// The demo's identities of the ten real aircraft (types and registrations that dbase.xml and
// the installed liveries know); the identity of one hexid, empty but for the hexid when the
// demo has none.
const std::vector<TrackIdentity>& gf_demoIdentities();
TrackIdentity gf_demoIdentity(uint32_t hexid);

// Counts of what a conversion filled in or left out.
struct ConversionCounts {
    int speedsFromPositions = 0;    // rows without speed given the speed of their positions
    int droppedRows = 0;            // airborne rows before any known altitude
};

// A real track on the scenario's clock: times shifted by startSeconds, altitudes shifted by
// gf_groundAltitudeOffset, ground rows at altitude 0 as the traffic service reports them,
// airborne rows without altitude at the last one known (a ground row's pressure altitude, else
// the nearest touched airport's elevation; dropped before the first); a missing speed and track
// as the row's positions and times give them (from where its position first appeared to the
// next other position), held from the last row when the positions give none; a missing vertical
// rate held from the last row that had one (0 before), a missing air/ground state held likewise
// (airborne before the first). Repeats, spikes, stale speeds and gaps are kept as they are.
ScenarioTrack gf_convertRealTrack(const RealTrack& track, const TrackIdentity& identity, double startSeconds,
                                  const std::vector<ScenarioAirport>& touched, ConversionCounts& counts);

// Adds the airports not yet in the list (by ICAO code), keeping the order.
void gf_mergeAirports(std::vector<ScenarioAirport>& into, const std::vector<ScenarioAirport>& more);

// Installed titles, one per line (blank lines and surrounding blanks ignored).
std::vector<std::string> gf_parseTitleList(std::string_view text);

// What the generator adds and how.
struct GeneratorOptions {
    uint32_t seed = 1;
    double runLengthSeconds = 240;
    double firstSecond = -60;  // synthetic tracks start from here on
};

// The callsigns of the synthetic aircraft that are meant to fail in the demo.
inline constexpr const char* kUnknownTypeCallsign = "GTI4170";  // type BLCF is not in dbase.xml
inline constexpr const char* kRefusedTitleCallsign = "EDW18";   // HB-JMD's title is not installed
inline constexpr const char* kBlockedCallsign = "EZS1094";      // the demo's BLOCK_CALLSIGN

// The glide path of the synthetic arrivals, degrees, crossing the threshold at 50 ft.
inline constexpr double kGlidePathDeg = 3.0;

// Adds the synthetic traffic around LSZH to the scenario: tracks, parked aircraft, the airport
// (when missing), the parked user aircraft, frame rate 30, park airport "LSZH" and the run
// length. Same seed and same input, same result.
void gf_addSyntheticTraffic(Scenario& scenario, const GeneratorOptions& options);
