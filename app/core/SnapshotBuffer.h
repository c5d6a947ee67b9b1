#pragma once

#include "platform/FileIdentity.h"
#include "platform/LargePages.h"
#include "platform/SnapshotStorage.h"

#include <QByteArrayView>
#include <cstdint>

// The latest snapshot of the watched workbook (FileBuffer and FileBufferSize), owned by the
// window for the life of the process. It starts with room for 10,000,004 bytes and grows,
// never shrinks, when a larger file appears; growth at least doubles the room, so it happens
// a few times in a run at most and never on every scan. No file above 256 MiB is taken in.
// Written only by the snapshot, read only by the import, which gives the bytes' memory back
// once they are on disk: between scans the room is kept but costs no memory.
class SnapshotBuffer final : public SnapshotStorage
{
public:
    static constexpr std::int64_t InitialCapacity = 10'000'004;
    static constexpr std::int64_t CapacityLimit = std::int64_t{256} * 1024 * 1024;

    SnapshotBuffer();
    SnapshotBuffer(const SnapshotBuffer &) = delete;
    SnapshotBuffer &operator=(const SnapshotBuffer &) = delete;

    const char *FileBuffer() const noexcept { return m_data.get(); }
    // Valid bytes at the start of FileBuffer(); 0 while no snapshot is held.
    std::int32_t FileBufferSize() const noexcept { return m_size; }
    QByteArrayView bytes() const noexcept { return {m_data.get(), m_size}; }
    // False from the moment a snapshot attempt starts writing into the buffer until a whole
    // copy has been committed.
    bool hasSnapshot() const noexcept { return m_hasSnapshot; }
    // The file version the snapshot was copied from; meaningful only with hasSnapshot().
    const FileIdentity &identity() const noexcept { return m_identity; }

    std::int64_t capacity() const noexcept { return m_capacity; }
    // How many times room has been allocated, the first allocation included.
    int allocations() const noexcept { return m_allocations; }

    std::int64_t limit() const override { return CapacityLimit; }
    // Grows the buffer when `size` exceeds it (the old bytes are not kept: they are about to
    // be overwritten). nullptr when `size` is outside 0..limit() or memory is short; the
    // buffer is then left as it was.
    char *roomFor(std::int64_t size) override;
    void commit(std::int64_t size, const FileIdentity &identity) override;
    // Drops the snapshot (hasSnapshot() false, FileBufferSize() 0; identity() stays) and hands
    // its pages back to the system. The room stays allocated; the next snapshot's read takes
    // fresh pages as it fills them.
    void release() noexcept;

private:
    LargeBlock m_data;
    std::int64_t m_capacity = 0;
    int m_allocations = 0;
    std::int32_t m_size = 0;
    bool m_hasSnapshot = false;
    FileIdentity m_identity;
};
