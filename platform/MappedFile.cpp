#include "platform/MappedFile.h"

#include "platform/FileRead.h"
#include "platform/MemoryPages.h"
#include "platform/ReadLease.h"
#include "platform/SystemError.h"
#include "util/InOutError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

MappedFile::MappedFile(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty())
        throw InOutError(InOutError::FileNotFound);
    m_file = FileDescriptor(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (!m_file.isOpen())
        raiseSystemError(errno);
    // The lease first: the size read after it cannot change while the file is mapped.
    m_leased = takeReadLease(m_file.get()) == ReadLease::Held;
    struct stat info;
    if (::fstat(m_file.get(), &info) != 0) {
        const int error = errno;
        close();
        raiseSystemError(error);
    }
    if (S_ISDIR(info.st_mode)) {
        close();
        throw InOutError(InOutError::FileAccessDenied);
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size == 0)
        return;
    if (m_leased) {
        void *mapping = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, m_file.get(), 0);
        if (mapping != MAP_FAILED) {
            m_mapping = mapping;
            m_bytes = {static_cast<const std::uint8_t *>(mapping), size};
            return;
        }
        dropReadLease(m_file.get());
        m_leased = false;
    }
    try {
        m_copy = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        readExactly(m_file.get(), m_copy.get(), size);
        m_file.closeOrThrow();
    } catch (...) {
        close();
        throw;
    }
    m_bytes = {m_copy.get(), size};
}

MappedFile::~MappedFile()
{
    close();
}

void MappedFile::close() noexcept
{
    if (m_mapping)
        ::munmap(m_mapping, m_bytes.size());
    m_mapping = nullptr;
    if (m_leased && m_file.isOpen())
        dropReadLease(m_file.get());
    m_leased = false;
    m_file.close();
}

void MappedFile::releaseBefore(const std::uint8_t *position) noexcept
{
    const std::uint8_t *released = m_bytes.data() + m_released;
    if (!m_mapping || position <= released || position > m_bytes.data() + m_bytes.size())
        return;
    // The mapping starts on a page: what is handed back always ends where the next part
    // begins.
    m_released = std::size_t(releasePages(released, position) - m_bytes.data());
}

void MappedFile::releaseBetween(const std::uint8_t *from, const std::uint8_t *to) const noexcept
{
    if (!m_mapping || from < m_bytes.data() || to > m_bytes.data() + m_bytes.size() || from >= to)
        return;
    releasePages(from, to);
}
