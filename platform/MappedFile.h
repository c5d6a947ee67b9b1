#pragma once

#include "platform/FileDescriptor.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <span>

// A file to be read through once, from front to back, without a copy of it in memory: it is
// mapped read-only, and the pages the reader has gone past can be handed back as it goes (read
// again, they are mapped afresh from the file). So a big file costs a few pages of memory at
// a time instead of its size.
//
// While mapped, the file is held with a read lease: nobody can shorten it under the mapping,
// which would end the process with SIGBUS; another program's open for writing waits until the
// mapping is gone. Where no lease can be had (a file system without leases, another user's
// file, a file open for writing), or the file cannot be mapped, it is read into memory
// instead, and releaseBefore does nothing.
class MappedFile
{
public:
    // Raises InOutError for a file that cannot be opened or read; a directory is "File access
    // denied".
    explicit MappedFile(const QString &fileName);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    std::span<const std::uint8_t> bytes() const { return m_bytes; }
    bool isMapped() const { return m_mapping != nullptr; }

    // Hands back the whole pages that lie before `position`, a place in bytes() (any other
    // address is ignored).
    void releaseBefore(const std::uint8_t *position) noexcept;
    // Hands back the whole pages that lie in [from, to), a range of bytes() (any other is
    // ignored). Unlike releaseBefore it may be called from several threads at once, each for
    // the part of the file it reads.
    void releaseBetween(const std::uint8_t *from, const std::uint8_t *to) const noexcept;

private:
    void close() noexcept;

    FileDescriptor m_file;
    bool m_leased = false;
    void *m_mapping = nullptr;
    std::size_t m_released = 0; // bytes from the start whose pages have been handed back
    std::unique_ptr<std::uint8_t[]> m_copy;
    std::span<const std::uint8_t> m_bytes;
};
