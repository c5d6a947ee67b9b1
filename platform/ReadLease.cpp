#include "platform/ReadLease.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>

ReadLease takeReadLease(int fd)
{
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0)
        return ReadLease::Unavailable;
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0)
        return ReadLease::Held;
    // EAGAIN: open for writing somewhere; EACCES: not our file; EINVAL: no leases here.
    return errno == EAGAIN ? ReadLease::OpenForWriting : ReadLease::Unavailable;
}

void dropReadLease(int fd)
{
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
}
