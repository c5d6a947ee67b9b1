#pragma once

#include <cstdint>

// The clock file timestamps are taken from (CLOCK_REALTIME), in nanoseconds since the epoch:
// for comparing "now" with a file's change time.
std::int64_t WallClockNs();
