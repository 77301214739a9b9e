// A traffic reader for the tick harness that serves parked traffic only: every ask is answered
// with the list the test set last. Static parking asks without waiting (the main loop never waits
// on the reader); a test waits for the answer with tst_awaitParkedAnswer before the tick that
// takes it, so that every run sees the same answers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/geo.h"
#include "feed/records.h"

// Starts the reader (no live reports, one poll at its start); false when one runs already.
bool tst_startParkedReader();
// The list the next answers deliver; any thread.
void tst_setParked(std::vector<ParkedTrafficRecord> parked);
// Waits for the reader's answer to the last ask (at most 10 s of wall time); true when it came.
bool tst_awaitParkedAnswer();
// A parked aircraft of the feed at a position, seen so many half-hours ago; the airline from
// the callsign.
ParkedTrafficRecord tst_parked(uint32_t hexid, const std::string& callsign, const std::string& type,
                               const std::string& reg, LatLon position, int halfHoursAgo);
