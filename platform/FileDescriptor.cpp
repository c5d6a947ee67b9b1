#include "platform/FileDescriptor.h"

#include "util/InOutError.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

FileDescriptor::FileDescriptor(FileDescriptor &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{
}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

int FileDescriptor::Close() noexcept
{
    if (m_fd < 0)
        return 0;
    const int fd = std::exchange(m_fd, -1);
    return ::close(fd) == 0 ? 0 : errno;
}

void FileDescriptor::CloseOrThrow()
{
    const int error = Close();
    if (error != 0 && error != EINTR)
        InOutError::raiseErrno(error);
}
