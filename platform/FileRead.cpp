#include "platform/FileRead.h"

#include "platform/SystemError.h"
#include "util/InOutError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<FileDescriptor> openRegularFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking so that a FIFO of that name cannot hang the caller; a regular file reads
    // the same either way.
    FileDescriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isOpen()) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        raiseSystemError(errno);
    }
    struct stat info
    {
    };
    if (::fstat(file.get(), &info) != 0)
        raiseSystemError(errno);
    if (!S_ISREG(info.st_mode))
        return std::nullopt;
    return file;
}

void readExactly(int fd, void *data, std::size_t size)
{
    auto *bytes = static_cast<char *>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            raiseSystemError(errno);
        }
        if (n == 0)
            throw InOutError(InOutError::ReadBeyondEnd);
        done += static_cast<std::size_t>(n);
    }
}
