// The game clock: milliseconds since its first reading, taken from a steady
// clock that counts from an arbitrary start and never jumps when the system
// time is set. Read on the GUI thread; tests replace the steady source to
// make runs exact, and the shell's input seam takes every reading (to record
// it, or in a replay to give the recorded one instead).
#pragma once

#include <cstdint>

using TimeSource = int64_t (*)();
int64_t steadyClockMs();                   // ms of the steady source
void setTimeSource(TimeSource source);     // null restores the system's steady clock

// ---------------------------------------------------------------------------
// Whole run
// ---------------------------------------------------------------------------
extern int64_t clockBase;                  // ms of the steady clock at the first reading; 0 before

// The reading as the steady source gives it: 0 at the first reading (which
// sets clockBase), then the low 32 bits of the milliseconds since, so it wraps
// after 2^32 ms.
int32_t steadyGameClock();

// What gameClock() returns; null: steadyGameClock.
using ClockReader = int32_t (*)();
void setClockReader(ClockReader reader);

int32_t gameClock();                       // ms; every reading the game takes
