#include "core/paths.h"

std::string g_simulatorName = "MSFS";
std::string g_stockAirportsPath;

void gf_resetPaths() {
    g_simulatorName = "MSFS";
    g_stockAirportsPath.clear();
}
