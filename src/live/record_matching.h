// The matching ladder (aircraft/matching.h) for the records of live traffic and static parking:
// the record's fields go in, the title and the flags the ladder sets come back. Run thread only.
#pragma once
#include <string_view>

#include "live/aircraft.h"

struct Stand;

// Gives a live aircraft a title (empty: no match); counts and logs the step that found it
// and sets its FSLTL flag.
void gf_matchLiveAc(AircraftRec& ac);
// Gives a parked aircraft on a stand a title; true when it has one (found now or before). The
// stand gives the aircraft its cargo flag and its name to the no-match line.
bool gf_matchParkedAc(AircraftRec& ac, bool standIsCargo, std::string_view standName);
bool gf_matchParkedAc(AircraftRec& ac, const Stand& stand);
