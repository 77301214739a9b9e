// The invariants of the stands in every flight lab case (part of lab_defaultInvariants): one live
// aircraft per stand, a parked aircraft stays on its stand facing its heading, and an occupied
// mark always has its holder standing on that stand.
#pragma once
#include <vector>

#include "support/flight_lab.h"

std::vector<LabInvariant> lab_groundInvariants();
std::vector<LabWorldInvariant> lab_groundWorldInvariants();
