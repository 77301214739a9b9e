// What live traffic asks of static parking, which sits above it: static parking installs its
// functions here (gf_connectStaticParking, static/static_place.h), which the shell does at
// start-up; a call not installed does nothing. Run thread only.
#pragma once
#include <cstdint>

struct StaticParkingCalls {
    // A create slot that no live create took: one planned static aircraft is placed.
    void (*placePlanned)() = nullptr;
    // A live aircraft was created parked on the stand: its planned static aircraft are dropped.
    void (*dropPlannedOnStand)(uint32_t standId) = nullptr;
    // The time shift changed: every static aircraft leaves.
    void (*flushStatic)() = nullptr;
};

inline StaticParkingCalls g_staticParkingCalls;
