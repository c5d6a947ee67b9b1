#include "platform/MappedFile.h"

#include "platform/ReadExactly.h"
#include "platform/ReadLease.h"
#include "util/InOutError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

MappedFile::MappedFile(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty())
        throw InOutError(2);
    m_file = FileDescriptor(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (!m_file.IsOpen())
        InOutError::raiseErrno(errno);
    // The lease first: the size read after it cannot change while the file is mapped.
    m_leased = TakeReadLease(m_file.Get()) == ReadLease::Held;
    struct stat info;
    if (::fstat(m_file.Get(), &info) != 0) {
        const int error = errno;
        Close();
        InOutError::raiseErrno(error);
    }
    if (S_ISDIR(info.st_mode)) {
        Close();
        throw InOutError(5);
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size == 0)
        return;
    if (m_leased) {
        void *mapping = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, m_file.Get(), 0);
        if (mapping != MAP_FAILED) {
            m_mapping = mapping;
            m_bytes = {static_cast<const std::uint8_t *>(mapping), size};
            return;
        }
        DropReadLease(m_file.Get());
        m_leased = false;
    }
    try {
        m_copy = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        ReadExactly(m_file.Get(), m_copy.get(), size);
        m_file.CloseOrThrow();
    } catch (...) {
        Close();
        throw;
    }
    m_bytes = {m_copy.get(), size};
}

MappedFile::~MappedFile()
{
    Close();
}

void MappedFile::Close() noexcept
{
    if (m_mapping)
        ::munmap(m_mapping, m_bytes.size());
    m_mapping = nullptr;
    if (m_leased && m_file.IsOpen())
        DropReadLease(m_file.Get());
    m_leased = false;
    m_file.Close();
}

void MappedFile::ReleaseBefore(const std::uint8_t *position) noexcept
{
    if (!m_mapping || position < m_bytes.data() || position > m_bytes.data() + m_bytes.size())
        return;
    static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t end = std::size_t(position - m_bytes.data()) / page * page;
    if (end <= m_released)
        return;
    // Read-only pages of a file: handed back, they are mapped again from it if read once more.
    ::madvise(static_cast<std::uint8_t *>(m_mapping) + m_released, end - m_released, MADV_DONTNEED);
    m_released = end;
}
