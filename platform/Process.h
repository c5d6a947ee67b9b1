#pragma once

#include <cstdint>

// The id of this process, unique among the processes running at the same time.
std::uint64_t processId();
