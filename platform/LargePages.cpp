#include "platform/LargePages.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>

namespace {

constexpr std::size_t HugePage = LargeBlockBytes;

// Blocks from this size on get their own mapping. Setting it also fixes it: the C library no
// longer moves it up by itself. At 256 KiB the table's 512 KiB chunks came as fresh pages on
// every refresh, which doubled its CPU time for 1 MiB less resident memory; at 4 MiB the
// refresh costs what it does without the setting, and the big blocks still go back.
constexpr int MappedBlockBytes = 4 * 1024 * 1024;

std::size_t roundUp(std::size_t bytes)
{
    return (bytes + HugePage - 1) / HugePage * HugePage;
}

} // namespace

void *allocateLarge(std::size_t bytes)
{
    if (bytes < LargeBlockBytes) {
        if (void *block = std::malloc(bytes == 0 ? 1 : bytes))
            return block;
        throw std::bad_alloc();
    }
    if (bytes > std::size_t(-1) - 2 * HugePage)
        throw std::bad_alloc();
    // A mapping starts on a 4 KiB boundary only: take a huge page more and trim it, so that
    // the block begins on a huge-page boundary and every part of it can be a huge page.
    const std::size_t size = roundUp(bytes);
    void *mapped = ::mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + HugePage - 1) / HugePage * HugePage;
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    if (const std::size_t tail = start + HugePage - aligned)
        ::munmap(reinterpret_cast<void *>(aligned + size), tail);
    // A request only: without huge pages the block simply has ordinary ones.
    ::madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void *>(aligned);
}

void *allocateLargeZeroed(std::size_t bytes)
{
    if (bytes >= LargeBlockBytes)
        return allocateLarge(bytes);
    if (void *block = std::calloc(bytes == 0 ? 1 : bytes, 1))
        return block;
    throw std::bad_alloc();
}

void freeLarge(void *block, std::size_t bytes) noexcept
{
    if (!block)
        return;
    if (bytes < LargeBlockBytes)
        std::free(block);
    else
        ::munmap(block, roundUp(bytes));
}

void returnLargeBlocksWhenFreed()
{
    ::mallopt(M_MMAP_THRESHOLD, MappedBlockBytes);
}

void returnFreedMemory()
{
    ::malloc_trim(0);
}
