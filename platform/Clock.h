#pragma once

#include <cstdint>
#include <ctime>

// The system's clocks, all read and converted here.

// A time as the clocks and file timestamps give it, in nanoseconds.
std::int64_t nanosecondsOf(const timespec &time);

// The clock file timestamps are taken from (CLOCK_REALTIME), in nanoseconds since the epoch:
// for comparing "now" with a file's change time.
std::int64_t wallClockNs();
// The same clock as coarse as the timestamps themselves: a change after this moment is
// stamped no earlier than it.
std::int64_t coarseWallClockNs();

// Milliseconds from a monotonic clock, truncated to 32 bits: it wraps after 2^32 ms like the
// system tick counter that the scan cadence is written against.
std::uint32_t GetTickCount();
