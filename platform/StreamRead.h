#pragma once

#include "platform/SnapshotResult.h"
#include "platform/SnapshotStorage.h"

#include <QString>

// A workbook that arrives as a stream (`cat results.xls | orvandel-dump -`) rather than as a
// file that another program keeps rewriting. It can be read only once, so it is read at once,
// to its end: the locks, the lease and the before-and-after comparison of a file snapshot need a
// regular file, and a pipe would only ever be refused by them.

// Whether `path` is read as a stream: "-" (standard input), or a path to something that is
// neither a regular file nor a directory (a pipe, /dev/stdin on one, a character device).
bool isStreamPath(const QString &path);

// Reads the stream at `path` ("-": standard input, which stays open) to its end into `storage`
// and commits it. TooLarge as soon as it holds more than storage.limit() bytes; Failed with the
// InOutError code when it cannot be opened or read; Missing when nothing is at `path`.
SnapshotResult readStream(const QString &path, SnapshotStorage &storage);
