// The emulation's own interface: what Windows gets from outside the process (the clock's
// scale, and later devices and the desktop). Only the platform layer, machine/, host/ and
// tests use it; the system code never does.
#pragma once

#include "windef.h"

namespace emu {

// The scale applied to every Sleep, wait time-out, timer period and tick count. Read from
// VANTEL_TIME_SCALE at first use (a positive number, default 1); 0.01 runs a 700 ms pause
// in 7 ms of real time while GetTickCount still advances by 700.
double TimeScale();
void SetTimeScale(double scale);

// Converts a duration of the emulated clock in milliseconds to real nanoseconds.
long long ScaledNanoseconds(DWORD milliseconds);

// Named mutexes are shared by every process of the user, as on Windows. Processes that set
// VANTEL_OBJECT_NAMESPACE to the same text share a namespace of their own instead, so that
// tests running side by side with the system's real mutex names do not meet.

} // namespace emu
