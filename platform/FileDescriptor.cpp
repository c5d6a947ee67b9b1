#include "platform/FileDescriptor.h"

#include "platform/SystemError.h"

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
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

int FileDescriptor::close() noexcept
{
    if (m_fd < 0)
        return 0;
    const int fd = std::exchange(m_fd, -1);
    return ::close(fd) == 0 ? 0 : errno;
}

void FileDescriptor::closeOrThrow()
{
    const int error = close();
    if (error != 0 && error != EINTR)
        raiseSystemError(error);
}
