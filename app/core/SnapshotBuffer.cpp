#include "app/core/SnapshotBuffer.h"

#include "platform/MemoryPages.h"

#include <algorithm>
#include <cassert>
#include <new>

SnapshotBuffer::SnapshotBuffer()
    : m_data(InitialCapacity)
    , m_capacity(InitialCapacity)
    , m_allocations(1)
{
}

char *SnapshotBuffer::roomFor(std::int64_t size)
{
    if (size < 0 || size > CapacityLimit)
        return nullptr;
    m_hasSnapshot = false;
    m_size = 0;
    if (size > m_capacity) {
        const std::int64_t capacity = std::max(size, std::min(2 * m_capacity, CapacityLimit));
        // Uninitialised: the pages are touched only by the read that fills them.
        try {
            m_data = LargeBlock(static_cast<std::size_t>(capacity));
        } catch (const std::bad_alloc &) {
            return nullptr;
        }
        m_capacity = capacity;
        ++m_allocations;
    }
    return m_data.get();
}

void SnapshotBuffer::commit(std::int64_t size, const FileIdentity &identity)
{
    assert(size >= 0 && size <= m_capacity);
    m_size = static_cast<std::int32_t>(size);
    m_identity = identity;
    m_hasSnapshot = true;
}

void SnapshotBuffer::release() noexcept
{
    m_size = 0;
    m_hasSnapshot = false;
    // The whole room, not just the last snapshot: a copy refused half way touched pages too.
    // Only whole pages inside the block can go; the block itself belongs to the allocator.
    const auto *start = reinterpret_cast<const std::uint8_t *>(m_data.get());
    releasePages(start, start + m_capacity);
}
