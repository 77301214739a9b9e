// Names of the program's files and folders, relative to the working folder, and the
// simulator label written into generated XML files.
#pragma once
#include <string>

// Simulator label of the meta block of generated XML files: "MSFS" at program start; the
// livery scan and the writers of airport parking files set it to "P3D" before writing.
// Run thread only.
extern std::string g_simulatorName;

// The simulator's stock airports folder as a path text (platform/sim_paths.h), set at start-up
// before any scan; "" until then. Run thread only.
extern std::string g_stockAirportsPath;

inline constexpr const char* g_liveriesScannedFile = "output/LiveriesScanned.xml";
inline constexpr const char* g_airportsEncPath = "input/airports.enc";
inline constexpr const char* g_airportsXmlPath = "input/airports.xml";
inline constexpr const char* g_dbaseEncPath = "input/dbase.enc";
inline constexpr const char* g_dbaseXmlPath = "input/dbase.xml";
inline constexpr const char* g_myOrbxFolder = "airports/my_ORBX";
inline constexpr const char* g_myThirdpartyFolder = "airports/my_thirdparty";
inline constexpr const char* g_tbloFolderName = "TBLO";
inline constexpr const char* g_outputInfoFolder = "output/info";
inline constexpr const char* g_outputErrorsFolder = "output/errors";
inline constexpr const char* g_parametersFile = "parameters.xml";

// Restores g_simulatorName to "MSFS" and empties g_stockAirportsPath (whole-process reset).
void gf_resetPaths();
