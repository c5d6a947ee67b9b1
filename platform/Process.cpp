#include "platform/Process.h"

#include <unistd.h>

std::uint64_t processId()
{
    return static_cast<std::uint64_t>(::getpid());
}
