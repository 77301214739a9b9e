// Made-up parked traffic: with PARK_FAKE on, every stand of the park airport gets one soft
// option invented for the current weekday and half-hour, so that the static parking fit finds
// something to park where no observed traffic covers a stand. Called by the park airport's
// reader on the run thread, after the learned merge and before the stands are numbered.
#pragma once
#include <string_view>
#include <vector>

#include "airports/stand.h"

// Whether a type of that half wing span (nautical miles) suits the stand: the stand may be up
// to 1.8 m too small, and less than half a step larger than the type needs (the step is 14 m
// for half spans up to 17.8 m, else 21 m).
bool gf_typeFitsStandSize(const Stand& stand, double halfSpanNm);

// Appends one made-up option to each stand that a type of its row fits: helipads (PVT, EC35);
// cargo stands FDX/UPS/DHK freighters; ramp stands private aircraft; other stands airliners of
// the region of the code's first letter (C, E, K, R, Z; any other (ZZZ, B738)). Registrations
// REGFAKE<n> and callsigns FAKE<n>, n counting the stands that got one; the current weekday,
// the current half-hour only, origin 1, soft, marked invented. A time that cannot be read
// raises std::out_of_range("invalid bitset position").
void lf_addFakeParkedTraffic(std::string_view icao, std::vector<Stand>& stands);
