#pragma once

#include <cstdint>

// Milliseconds from a monotonic clock, truncated to 32 bits: it wraps after 2^32 ms like the
// system tick counter that the scan cadence is written against.
std::uint32_t GetTickCount();
