#include "app/core/SettingsFile.h"

#include "platform/FileDescriptor.h"
#include "platform/ReadExactly.h"
#include "util/InOutError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Removes a file it was given unless told the file is wanted after all.
class RemoveUnlessKept
{
public:
    explicit RemoveUnlessKept(QByteArray path)
        : m_path(std::move(path))
    {
    }
    RemoveUnlessKept(const RemoveUnlessKept &) = delete;
    RemoveUnlessKept &operator=(const RemoveUnlessKept &) = delete;
    ~RemoveUnlessKept()
    {
        if (!m_kept)
            ::unlink(m_path.constData());
    }

    void keep() noexcept { m_kept = true; }

private:
    QByteArray m_path;
    bool m_kept = false;
};

// One write that must take all of `size` bytes; a regular file takes fewer only when the disk
// or the process's file size limit is full, which users know as "Disk full".
void WriteExactly(int fd, const std::uint8_t *data, std::size_t size)
{
    ssize_t n;
    do {
        n = ::write(fd, data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        InOutError::raiseErrno(errno);
    if (static_cast<std::size_t>(n) != size)
        throw InOutError(InOutError::DiskFull);
}

QByteArray DirectoryOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// Makes the rename itself durable. Best effort: the new file is already in place when this
// runs, so a failure here is no reason to report the save as failed.
void SyncDirectory(const QByteArray &directory)
{
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    const FileDescriptor owner(fd);
    ::fsync(owner.Get());
}

} // namespace

QString SettingsFileName(const QString &appDir)
{
    return appDir + QStringLiteral("Orvandel.conf");
}

SettingsReadResult ReadSettingsFile(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    // Non-blocking so that a FIFO of that name cannot hang the start-up; a regular file reads
    // the same either way.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {SettingsReadResult::Status::NotFound, {}};
        InOutError::raiseErrno(errno);
    }
    FileDescriptor file(fd);
    struct stat info
    {
    };
    if (::fstat(file.Get(), &info) != 0)
        InOutError::raiseErrno(errno);
    if (!S_ISREG(info.st_mode))
        return {SettingsReadResult::Status::NotFound, {}};

    namespace L = WindowSettingsLayout;
    WindowSettingsRecord record{};
    ReadExactly(file.Get(), record.data(), L::BodySize);
    ReadExactly(file.Get(), record.data() + L::Checksum, 1);
    file.CloseOrThrow();

    const std::optional<WindowSettings> settings = DecodeWindowSettings(record);
    if (!settings)
        return {SettingsReadResult::Status::Damaged, {}};
    return {SettingsReadResult::Status::Loaded, *settings};
}

void WriteSettingsFile(const QString &fileName, const WindowSettings &settings)
{
    const QByteArray path = QFile::encodeName(fileName);
    // One name per process, so that two viewers closing at once in the same directory never
    // write into each other's new file; a leftover of a dead process is simply overwritten.
    const QByteArray newPath = path + '.' + QByteArray::number(::getpid()) + ".new";
    const int fd = ::open(newPath.constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        InOutError::raiseErrno(errno);
    FileDescriptor file(fd);
    RemoveUnlessKept newFile(newPath);

    namespace L = WindowSettingsLayout;
    const WindowSettingsRecord record = EncodeWindowSettings(settings);
    WriteExactly(file.Get(), record.data(), L::BodySize);
    WriteExactly(file.Get(), record.data() + L::Checksum, 1);
    if (::fsync(file.Get()) != 0)
        InOutError::raiseErrno(errno);
    file.CloseOrThrow();

    if (::rename(newPath.constData(), path.constData()) != 0)
        InOutError::raiseErrno(errno);
    newFile.keep();
    SyncDirectory(DirectoryOf(path));
}
