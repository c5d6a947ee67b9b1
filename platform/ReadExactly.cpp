#include "platform/ReadExactly.h"

#include "util/InOutError.h"

#include <cerrno>
#include <unistd.h>

void ReadExactly(int fd, void *data, std::size_t size)
{
    auto *bytes = static_cast<char *>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            InOutError::raiseErrno(errno);
        }
        if (n == 0)
            throw InOutError(InOutError::ReadBeyondEnd);
        done += static_cast<std::size_t>(n);
    }
}
