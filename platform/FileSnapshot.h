#pragma once

#include "platform/FileIdentity.h"
#include "platform/SnapshotSource.h"

#include <QString>
#include <cstdint>

// The snapshot of the watched file on Linux. Linux has no sharing modes, so a copy counts
// only when nothing could have written the file while it was read:
//  - the file is opened read-only and non-blocking, and only a regular file is read (a
//    directory counts as no file; a FIFO, socket or device is refused without being read,
//    and a device is never even opened);
//  - a writer's flock() or POSIX/OFD write lock refuses it (never waited for);
//  - on a local file system, a read lease is taken, which the kernel grants only while no
//    process has the file open for writing, and which makes a writer's open() wait until the
//    copy is done; on a FUSE or network mount no lease is trusted (a writer on the other side
//    neither refuses nor breaks it), and the change-time rule below always applies;
//  - the whole file is read in one read() where the kernel allows it;
//  - size, mtime, ctime, inode and device must be the same before and after the read, and
//    the path must still name the same file, all asked of the file system afresh rather than
//    from attributes the kernel cached (a share's client caches them for a second or more,
//    and reads stop at the cached size). Where no lease can be had (a file owned by
//    another user without CAP_LEASE, a file system without leases), a ctime inside the
//    read's time window also counts as a change, because a write within one clock tick
//    keeps the timestamps, and so does a ctime less than 100 ms before it (a writer may be
//    between its truncation and its write).
// Locks and lease are released and the file is closed before anything is committed. The
// file is never written and no lock file is created. Without a lease, a writer that takes no
// lock and stays more than 100 ms inside one rewrite (or inside one write() call) can still
// be copied half way; with a lease it cannot.
class FileSnapshot final : public SnapshotSource
{
public:
    // Never: behave as on a file system without leases (for tests of that path).
    enum class Leases { WhenAvailable, Never };

    explicit FileSnapshot(Leases leases = Leases::WhenAvailable)
        : m_leases(leases)
    {
    }

    SnapshotResult take(const QString &path, SnapshotStorage &storage) override;

private:
    Leases m_leases;
};

// The rule for a copy taken without a trusted lease: whether the change time of the copied
// version (all CLOCK_REALTIME nanoseconds) is too close to the read, from `windowStartNs` (the
// coarse clock) to `windowEndNs`, for the copy to be trusted. A change less than 100 ms
// before the read counts, and so does one stamped up to 2 s after it (a file server's clock
// ahead of ours); a stamp further ahead says nothing and does not count.
bool changedTooRecently(std::int64_t changedNs, std::int64_t windowStartNs,
                        std::int64_t windowEndNs);

// True when `path` names something that is not a directory (following symbolic links).
// A path that cannot be examined at all (dangling or looping link, unreadable directory on
// the way) names no file.
bool fileExists(const QString &path);

// True unless `path` still names exactly the file version `snapshotIdentity` describes.
// A vanished file has changed.
bool fileChangedSince(const QString &path, const FileIdentity &snapshotIdentity);
