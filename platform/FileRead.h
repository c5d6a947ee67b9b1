#pragma once

#include "platform/FileDescriptor.h"

#include <QString>
#include <cstddef>
#include <optional>

// Opens the regular file `path` for reading. Nothing when there is no regular file by that
// name (no file at all, a directory, a FIFO or another special file); the InOutError of the
// failure when one is there but cannot be opened or examined. A FIFO never blocks the call.
std::optional<FileDescriptor> openRegularFile(const QString &path);

// Reads exactly `size` bytes from `fd` into `data`, going on after interrupted and partial
// reads. An end of file before that is InOutError ReadBeyondEnd; any other failure the
// InOutError of its errno.
void readExactly(int fd, void *data, std::size_t size);
