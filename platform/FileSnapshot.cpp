#include "platform/FileSnapshot.h"

#include "platform/Clock.h"
#include "platform/FileDescriptor.h"
#include "platform/FreshStat.h"
#include "platform/LocalFileSystem.h"
#include "platform/ReadLease.h"
#include "platform/SystemError.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using LockQuery = struct flock;

using StatBuffer = struct stat;

// Without a lease, a file changed less than this long before the copy began is not taken: a
// writer that rewrites in place passes through states that are no version of the file (just
// truncated, half written), and such a state is only ever seen if the writer paused in it.
constexpr std::int64_t QuietNs = 100'000'000;

// A file server's clock can be ahead of ours: a change stamped up to this far after the copy
// is taken for one made while it was read. A stamp further ahead says nothing about when the
// change was made, and a rule that waited for it could keep the file out for good.
constexpr std::int64_t ServerAheadNs = 2'000'000'000;

// Linux transfers at most this much in one read().
constexpr std::int64_t LargestRead = 0x7ffff000;

FileIdentity identityOf(const StatBuffer &st)
{
    return {static_cast<std::int64_t>(st.st_size), nanosecondsOf(st.st_mtim),
            nanosecondsOf(st.st_ctim), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_dev)};
}

bool statPath(const QString &path, StatBuffer &st)
{
    return freshStat(QFile::encodeName(path), st);
}

// Whether another process holds a write lock (classic POSIX or OFD) on any part of the file.
// Asking about a read lock finds exactly those.
bool writeLockedElsewhere(int fd)
{
    // Open file description locks need Linux 3.15; older kernels know only the classic ones.
    for (const int command : {F_OFD_GETLK, F_GETLK}) {
        LockQuery query{};
        query.l_type = F_RDLCK;
        query.l_whence = SEEK_SET;
        if (::fcntl(fd, command, &query) == 0)
            return query.l_type != F_UNLCK;
    }
    return false; // no lock manager to ask (some network file systems)
}

// The opened file with what we hold on it; everything is given back, the lease and the lock
// before the descriptor, on every path.
class HeldFile
{
public:
    explicit HeldFile(int fd)
        : m_fd(fd)
    {
    }
    ~HeldFile() { release(); }
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;

    int fd() const { return m_fd.get(); }

    // false when another process holds flock() on the file. A file system that cannot flock
    // a read-only descriptor (NFS emulates it with POSIX locks) is read without the lock.
    bool lock()
    {
        if (::flock(fd(), LOCK_EX | LOCK_NB) == 0) {
            m_locked = true;
            return true;
        }
        return errno != EWOULDBLOCK && errno != EINTR;
    }

    // A lease is only worth something where every writer shares our kernel: through a FUSE
    // or network mount, a writer on the other side neither refuses it nor breaks it.
    ReadLease takeLease(FileSnapshot::Leases leases)
    {
        if (leases == FileSnapshot::Leases::Never || !onLocalFileSystem(fd()))
            return ReadLease::Unavailable;
        const ReadLease lease = takeReadLease(fd());
        m_leased = lease == ReadLease::Held;
        return lease;
    }

    // Returns 0 or the errno of close().
    int release()
    {
        if (m_leased)
            dropReadLease(fd());
        if (m_locked)
            ::flock(fd(), LOCK_UN);
        m_leased = m_locked = false;
        return m_fd.close();
    }

private:
    FileDescriptor m_fd;
    bool m_locked = false;
    bool m_leased = false;
};

// Reads exactly `size` bytes from the start of the file. Torn when the file ends early.
SnapshotResult readWhole(int fd, char *room, std::int64_t size)
{
    std::int64_t done = 0;
    while (done < size) {
        const auto want = static_cast<size_t>(std::min(size - done, LargestRead));
        const ssize_t n = ::pread(fd, room + done, want, done);
        if (n > 0) {
            done += n;
        } else if (n == 0) {
            return SnapshotResult::of(SnapshotOutcome::Torn);
        } else if (errno == EAGAIN) {
            return SnapshotResult::of(SnapshotOutcome::Refused);
        } else if (errno != EINTR) {
            return SnapshotResult::failed(inOutErrorCode(errno));
        }
    }
    return SnapshotResult::of(SnapshotOutcome::Taken, size);
}

// Everything done while the file is open. `identity` gets the version that was copied.
SnapshotResult copyHeld(HeldFile &file, const QString &path, FileSnapshot::Leases leases,
                        SnapshotStorage &storage, FileIdentity &identity)
{
    if (!file.lock() || writeLockedElsewhere(file.fd()))
        return SnapshotResult::of(SnapshotOutcome::Refused);
    const ReadLease lease = file.takeLease(leases);
    if (lease == ReadLease::OpenForWriting)
        return SnapshotResult::of(SnapshotOutcome::Refused);

    // File timestamps come from the coarse clock: a change after this moment is stamped no
    // earlier than it.
    const std::int64_t windowStart = coarseWallClockNs();
    StatBuffer before{};
    if (!freshStat(file.fd(), before))
        return SnapshotResult::failed(inOutErrorCode(errno));
    if (S_ISDIR(before.st_mode))
        return SnapshotResult::of(SnapshotOutcome::Missing);
    if (!S_ISREG(before.st_mode))
        return SnapshotResult::of(SnapshotOutcome::Refused);
    identity = identityOf(before);
    if (identity.size > storage.limit())
        return SnapshotResult::of(SnapshotOutcome::TooLarge, identity.size);
    char *room = storage.roomFor(identity.size);
    if (room == nullptr)
        return SnapshotResult::failed(inOutErrorCode(ENOMEM));

    const SnapshotResult read = readWhole(file.fd(), room, identity.size);
    if (read.outcome != SnapshotOutcome::Taken)
        return read;

    StatBuffer after{};
    if (!freshStat(file.fd(), after))
        return SnapshotResult::failed(inOutErrorCode(errno));
    StatBuffer atPath{};
    const bool pathSame =
        statPath(path, atPath) && atPath.st_ino == after.st_ino && atPath.st_dev == after.st_dev;
    const std::int64_t windowEnd = wallClockNs();
    if (!pathSame || identityOf(after) != identity)
        return SnapshotResult::of(SnapshotOutcome::Torn);
    if (lease == ReadLease::Unavailable &&
        changedTooRecently(identity.changedNs, windowStart, windowEnd))
        return SnapshotResult::of(SnapshotOutcome::Torn);
    return read;
}

} // namespace

bool changedTooRecently(std::int64_t changedNs, std::int64_t windowStartNs,
                        std::int64_t windowEndNs)
{
    // A file system that keeps whole seconds only stamps a change inside the window with the
    // window's second.
    const std::int64_t start = changedNs % 1'000'000'000 == 0
                                   ? windowStartNs - windowStartNs % 1'000'000'000
                                   : windowStartNs;
    return changedNs >= start - QuietNs && changedNs <= windowEndNs + ServerAheadNs;
}

SnapshotResult FileSnapshot::take(const QString &path, SnapshotStorage &storage)
{
    // Look first: a device is never opened (opening one can act on the hardware), and a
    // directory is no file.
    StatBuffer st{};
    if (!statPath(path, st) || S_ISDIR(st.st_mode))
        return SnapshotResult::of(SnapshotOutcome::Missing);
    if (!S_ISREG(st.st_mode))
        return SnapshotResult::of(SnapshotOutcome::Refused);

    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        // Vanished since the look, or replaced by something that is not there for us.
        if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)
            return SnapshotResult::of(SnapshotOutcome::Missing);
        return SnapshotResult::of(SnapshotOutcome::Refused);
    }
    HeldFile file(fd);
    FileIdentity identity;
    SnapshotResult result = copyHeld(file, path, m_leases, storage, identity);
    if (const int closeError = file.release(); closeError != 0)
        return SnapshotResult::failed(inOutErrorCode(closeError));
    if (result.outcome == SnapshotOutcome::Taken)
        storage.commit(result.fileSize, identity);
    return result;
}

bool fileExists(const QString &path)
{
    StatBuffer st{};
    return statPath(path, st) && !S_ISDIR(st.st_mode);
}

bool fileChangedSince(const QString &path, const FileIdentity &snapshotIdentity)
{
    StatBuffer st{};
    return !statPath(path, st) || identityOf(st) != snapshotIdentity;
}
