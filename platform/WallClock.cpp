#include "platform/WallClock.h"

#include <ctime>

std::int64_t WallClockNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}
