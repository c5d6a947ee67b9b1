#include "platform/FileWrite.h"

#include "platform/FileDescriptor.h"
#include "platform/Process.h"
#include "platform/RemovedOnSignal.h"
#include "platform/SystemError.h"
#include "util/InOutError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// Removes a file it was given unless told the file is wanted after all.
class RemoveUnlessKept
{
public:
    explicit RemoveUnlessKept(QByteArray name)
        : m_name(std::move(name))
    {
    }
    RemoveUnlessKept(const RemoveUnlessKept &) = delete;
    RemoveUnlessKept &operator=(const RemoveUnlessKept &) = delete;
    ~RemoveUnlessKept()
    {
        if (!m_kept)
            ::unlink(m_name.constData());
    }

    void keep() noexcept { m_kept = true; }

private:
    QByteArray m_name;
    bool m_kept = false;
};

QByteArray directoryOf(const QByteArray &name)
{
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : name.left(slash);
}

// Makes a rename in `directory` durable. Best effort: the new file is already in place when
// this runs, so a failure here is no reason to report the replacement as failed.
void syncDirectory(const QByteArray &directory)
{
    const FileDescriptor owner(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (owner.isOpen())
        ::fsync(owner.get());
}

} // namespace

void writeExactly(int fd, const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && done > 0)
            throw InOutError(InOutError::DiskFull);
        if (n < 0)
            raiseSystemError(errno);
        if (n == 0)
            throw InOutError(InOutError::DiskFull);
        done += static_cast<std::size_t>(n);
    }
}

void writeNewFile(const QString &path, QByteArrayView bytes)
{
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    FileDescriptor file(
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.isOpen())
        raiseSystemError(errno);
    writeExactly(file.get(), bytes.data(), static_cast<std::size_t>(bytes.size()));
    if (const int error = file.close())
        raiseSystemError(error);
}

void replaceFile(const QString &path, std::initializer_list<QByteArrayView> pieces)
{
    const QByteArray name = QFile::encodeName(path);
    // One name per process, so that two processes replacing the same file at once never
    // write into each other's new file; a leftover of a dead process is simply overwritten.
    const QByteArray newName = name + '.' + QByteArray::number(processId()) + ".new";
    // A process ended by a signal half way leaves the old file and no new one.
    const RemovedOnSignal newFileOnSignal(QFile::decodeName(newName));
    FileDescriptor file(::open(newName.constData(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                               0666));
    if (!file.isOpen())
        raiseSystemError(errno);
    RemoveUnlessKept newFile(newName);

    for (const QByteArrayView piece : pieces)
        writeExactly(file.get(), piece.data(), static_cast<std::size_t>(piece.size()));
    if (::fsync(file.get()) != 0)
        raiseSystemError(errno);
    file.closeOrThrow();

    if (::rename(newName.constData(), name.constData()) != 0)
        raiseSystemError(errno);
    newFile.keep();
    syncDirectory(directoryOf(name));
}

void removeFile(const QString &path) noexcept
{
    ::unlink(QFile::encodeName(path).constData());
}
