#include "platform/FreshStat.h"

#include <fcntl.h>
#include <sys/sysmacros.h>

namespace {

timespec timeOf(const struct statx_timestamp &stamp)
{
    return {static_cast<time_t>(stamp.tv_sec), static_cast<long>(stamp.tv_nsec)};
}

bool freshStatAt(int dirFd, const char *path, int flags, struct stat &st)
{
    struct statx sx
    {
    };
    if (::statx(dirFd, path, flags | AT_STATX_FORCE_SYNC, STATX_BASIC_STATS, &sx) != 0)
        return false;
    st = {};
    st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    st.st_ino = sx.stx_ino;
    st.st_mode = sx.stx_mode;
    st.st_nlink = sx.stx_nlink;
    st.st_uid = sx.stx_uid;
    st.st_gid = sx.stx_gid;
    st.st_rdev = makedev(sx.stx_rdev_major, sx.stx_rdev_minor);
    st.st_size = static_cast<off_t>(sx.stx_size);
    st.st_blksize = static_cast<blksize_t>(sx.stx_blksize);
    st.st_blocks = static_cast<blkcnt_t>(sx.stx_blocks);
    st.st_atim = timeOf(sx.stx_atime);
    st.st_mtim = timeOf(sx.stx_mtime);
    st.st_ctim = timeOf(sx.stx_ctime);
    return true;
}

} // namespace

bool freshStat(int fd, struct stat &st)
{
    return freshStatAt(fd, "", AT_EMPTY_PATH, st);
}

bool freshStat(const QByteArray &path, struct stat &st)
{
    return !path.isEmpty() && freshStatAt(AT_FDCWD, path.constData(), 0, st);
}
