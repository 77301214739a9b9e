// Snapping rules that bring stored or learned setting values onto the choices of their combo
// boxes. Used by the learned-parking merge and the window's option handlers.
#pragma once

// The nearest RANGE choice for a distance in nautical miles: below 3 -> 2; 3..6 unchanged;
// 7..8 -> 8; 9..10 -> 10; 11..12 -> 12; 13..14 -> 14; 15..16 -> 16; 17..18 -> 18;
// 19..22 -> 20; 23..27 -> 25; 28..32 -> 30; 33..37 -> 35; 38..44 -> 40; 45..56 -> 50;
// 57..72 -> 65; 73..89 -> 80; 90 and above -> 100.
int gf_snapRange(int nm);

// (value + 2) / 5 * 5 in integer arithmetic, clamped to 0..100.
int gf_snapPercentage(int value);

// The MAX_FIT_FL choice (hours) for the current MAX_FIT (half-hours): >= 44 -> 24, >= 38 -> 21,
// >= 32 -> 18, >= 26 -> 15, >= 22 -> 12, >= 20 -> 11, >= 18 -> 10, >= 16 -> 9, >= 14 -> 8,
// >= 12 -> 7, >= 10 -> 6, 9 -> 5, 8 -> 4.5, 7 -> 4, 6 -> 3.5, 5 -> 3, 4 -> 2.5, 3 -> 2,
// 2 -> 1.5, 1 -> 1, else 0.5.
double gf_maxFitToFloat();
