#include "platform/Clock.h"

namespace {

std::int64_t now(clockid_t clock)
{
    timespec time{};
    ::clock_gettime(clock, &time);
    return nanosecondsOf(time);
}

} // namespace

std::int64_t nanosecondsOf(const timespec &time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

std::int64_t wallClockNs()
{
    return now(CLOCK_REALTIME);
}

std::int64_t coarseWallClockNs()
{
    return now(CLOCK_REALTIME_COARSE);
}

std::uint32_t GetTickCount()
{
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now(CLOCK_MONOTONIC)) /
                                      1'000'000u);
}
