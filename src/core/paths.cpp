#include "core/paths.h"

std::string g_simulatorName = "MSFS";

void gf_resetPaths() { g_simulatorName = "MSFS"; }
