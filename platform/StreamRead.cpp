#include "platform/StreamRead.h"

#include "platform/FileDescriptor.h"
#include "platform/SystemError.h"

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype ChunkSize = 1 << 16;

bool isStandardInput(const QString &path)
{
    return path == QStringLiteral("-");
}

// Appends the rest of `fd` to `data`, stopping once it holds more than `limit` bytes.
// 0 or the errno of the failed read.
int readToEnd(int fd, QByteArray &data, std::int64_t limit)
{
    for (;;) {
        const qsizetype had = data.size();
        if (data.capacity() < had + ChunkSize)
            data.reserve(std::max(2 * data.capacity(), had + ChunkSize)); // no copy per chunk
        data.resize(had + ChunkSize);
        const ssize_t n = ::read(fd, data.data() + had, ChunkSize);
        data.resize(had + std::max<ssize_t>(n, 0));
        if (n == 0 || data.size() > limit)
            return 0;
        if (n < 0 && errno != EINTR)
            return errno;
    }
}

} // namespace

bool isStreamPath(const QString &path)
{
    if (isStandardInput(path))
        return true;
    struct stat st
    {
    };
    const QByteArray name = QFile::encodeName(path);
    return !name.isEmpty() && ::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode) &&
           !S_ISDIR(st.st_mode);
}

SnapshotResult readStream(const QString &path, SnapshotStorage &storage)
{
    FileDescriptor opened;
    int fd = STDIN_FILENO;
    if (!isStandardInput(path)) {
        // A FIFO without a writer yet waits here for one, as a reader of a pipe should.
        opened = FileDescriptor(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
        if (!opened.isOpen()) {
            if (errno == ENOENT || errno == ENOTDIR)
                return SnapshotResult::of(SnapshotOutcome::Missing);
            return SnapshotResult::failed(inOutErrorCode(errno));
        }
        fd = opened.get();
    }
    QByteArray data;
    if (const int error = readToEnd(fd, data, storage.limit()); error != 0)
        return SnapshotResult::failed(inOutErrorCode(error));
    if (data.size() > storage.limit())
        return SnapshotResult::of(SnapshotOutcome::TooLarge, data.size());
    char *room = storage.roomFor(data.size());
    if (room == nullptr)
        return SnapshotResult::failed(inOutErrorCode(ENOMEM));
    if (!data.isEmpty())
        std::memcpy(room, data.constData(), std::size_t(data.size()));
    storage.commit(data.size(), FileIdentity{});
    return SnapshotResult::of(SnapshotOutcome::Taken, data.size());
}
