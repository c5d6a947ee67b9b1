#pragma once

#include <QByteArrayView>
#include <QString>
#include <cstddef>
#include <initializer_list>

// Writing files: every way the product writes one. Failures are thrown as InOutError.

// Writes all `size` bytes to `fd`, going on after interrupted and partial writes. A write
// that takes fewer bytes than asked is DiskFull, and so is any failure once part of the
// bytes is written, whatever the reason the rest was refused for; a failure before that is
// the InOutError of its errno.
void writeExactly(int fd, const void *data, std::size_t size);

// Creates `path` anew, readable by this user only, and writes `bytes` into it. Whatever has
// that name is unlinked first rather than truncated: a copy left behind read-only, or a link
// planted under the name, is replaced and never written through.
void writeNewFile(const QString &path, QByteArrayView bytes);

// Replaces the file `path` with one made of `pieces`, each written in one go. The pieces go to
// a new file in the same directory, which is flushed to disk and then renamed over the old
// one, and the directory is flushed too, so that a failure at any step leaves the old file as
// it was (and removes the new one) and a crash leaves the old file or the whole new one.
void replaceFile(const QString &path, std::initializer_list<QByteArrayView> pieces);

// Deletes the file `path`; a failure, a missing file included, is ignored.
void removeFile(const QString &path) noexcept;
