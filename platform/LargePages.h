#pragma once

#include <cstddef>
#include <memory>
#include <new>

// Memory for big arrays, in huge pages where the system hands them out on request
// (transparent huge pages in "madvise" mode, the usual setting): filling a 20 MB array then
// costs ten page faults instead of five thousand, which is a good part of an import's time.
// Blocks below LargeBlockBytes, and systems without huge pages, get ordinary pages. Either
// way, a freed block goes back to the system at once.
inline constexpr std::size_t LargeBlockBytes = std::size_t(2) << 20;

// Raises std::bad_alloc when there is no memory.
void *allocateLarge(std::size_t bytes);
// The same, all zero: a big block is a fresh mapping whose pages the system hands out, zeroed,
// only as they are first written, so that the part never written costs no memory.
void *allocateLargeZeroed(std::size_t bytes);
// `bytes` as given to allocateLarge or allocateLargeZeroed.
void freeLarge(void *block, std::size_t bytes) noexcept;

// allocateLarge as a standard allocator, for the containers of big arrays.
template<typename T>
struct LargePageAllocator
{
    using value_type = T;

    LargePageAllocator() = default;
    template<typename U>
    LargePageAllocator(const LargePageAllocator<U> &) noexcept
    {
    }

    T *allocate(std::size_t count)
    {
        if (count > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T *>(allocateLarge(count * sizeof(T)));
    }
    void deallocate(T *block, std::size_t count) noexcept { freeLarge(block, count * sizeof(T)); }

    template<typename U>
    bool operator==(const LargePageAllocator<U> &) const noexcept
    {
        return true;
    }
};

// The C library's policy for the other big blocks: each is mapped on its own and handed back
// to the system when freed. Without it the library raises its mapping threshold after the
// first big free and serves later blocks from a heap that keeps their pages, so every import
// would leave the process larger. Call once, first thing in main().
void returnLargeBlocksWhenFreed();
// Hands the free pages of every heap of the C library back to the system now. Work done on
// threads of its own leaves its garbage in those threads' heaps, which the library keeps; call
// it once such work has freed what it no longer needs.
void returnFreedMemory();

// An uninitialised byte block from allocateLarge, freed by its owner.
class LargeBlock
{
public:
    LargeBlock() = default;
    explicit LargeBlock(std::size_t bytes)
        : m_data(static_cast<char *>(allocateLarge(bytes)), Deleter{bytes})
    {
    }

    char *get() const noexcept { return m_data.get(); }
    std::size_t size() const noexcept { return m_data.get_deleter().bytes; }

private:
    struct Deleter
    {
        std::size_t bytes = 0;
        void operator()(char *block) const noexcept { freeLarge(block, bytes); }
    };
    std::unique_ptr<char, Deleter> m_data;
};
