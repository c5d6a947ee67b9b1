#pragma once

#include <QByteArray>
#include <sys/stat.h>

// stat() that asks the file system for the file's present attributes instead of what the
// kernel has cached (statx with AT_STATX_FORCE_SYNC). A client mount of a share, or a FUSE
// mount, keeps reporting the size and change time it last saw for a while, however often the
// file is rewritten on the other side; a local file system always answers fresh anyway.
// The answer is given as a struct stat; false with errno set when there is none.
bool freshStat(int fd, struct stat &st);
bool freshStat(const QByteArray &path, struct stat &st);
