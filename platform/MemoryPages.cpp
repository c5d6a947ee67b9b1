#include "platform/MemoryPages.h"

#include <sys/mman.h>
#include <unistd.h>

const std::uint8_t *releasePages(const std::uint8_t *begin, const std::uint8_t *end) noexcept
{
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) / page * page;
    const auto last = reinterpret_cast<std::uintptr_t>(end) / page * page;
    if (last <= first)
        return begin;
    ::madvise(reinterpret_cast<void *>(first), last - first, MADV_DONTNEED);
    return begin + (last - reinterpret_cast<std::uintptr_t>(begin));
}
