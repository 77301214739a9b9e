// Stream playback of live aircraft: accepting new feed samples into an aircraft's stream.
// Called by the intake on the run thread for aircraft that already exist.
#pragma once
#include "live/aircraft.h"

// Largest stream accepted; a longer one removes the aircraft.
inline constexpr size_t kMaxStreamSamples = 200;

// Appends a feed sample to the aircraft's stream or drops it. A stream above 200 samples removes
// the aircraft. An aircraft not yet spawned (flight state birth) drops the sample while its
// stream is empty; otherwise the stationary test decides. Accepted samples keep the due ticks
// strictly increasing (a due tick not later than the back's becomes the back's + 1).
void decodeExisting(LiveAircraft& ac, PosSample sample);
