// The program's clocks: UTC wall time and the 100-ns counter. Both are replaceable so that
// tests can set the time; everything that needs "now" asks here.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

using UtcTimePoint = std::chrono::system_clock::time_point;

// Current UTC time (the real clock unless a test replaced it).
UtcTimePoint gf_utcNow();
// Current value of the monotonic 100-ns counter (the real steady clock unless replaced).
int64_t gf_clock100ns();

// Replace the clocks; an empty function restores the real one.
void gf_setUtcClock(std::function<UtcTimePoint()> clock);
void gf_setClock100ns(std::function<int64_t()> clock);

// Seconds since the epoch of a UTC time point.
int64_t gf_epochSeconds(UtcTimePoint t);

// The simulator's own UTC time, as the simulator thread last reported it (0: not known),
// and whether the program currently runs on it (time shift from the simulator's clock).
void gf_setSimUtcSeconds(int64_t epochSeconds);
int64_t gf_simUtcSeconds();
void gf_setSimTimeInUse(bool inUse);
bool gf_simTimeInUse();

// "{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}" (weekday, month, day, h, m, s, year) of a UTC time.
std::string gf_formatUtcTime(UtcTimePoint t);

// The stamp that begins log lines: "hh:mm:ss" of UTC now, followed by "*" while the
// simulator's time is in use.
std::string gf_logStamp();

// Restores the real clocks and forgets the simulator's time (whole-process reset).
void gf_resetClocks();
