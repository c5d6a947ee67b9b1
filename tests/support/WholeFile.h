#pragma once

// Whole files written and read back by tests, in one call each.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace testfiles {

// Whether `bytes` could be written as the whole of the file at `path`.
inline bool writeWhole(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

// The file's bytes; empty when it cannot be read.
inline QByteArray readWhole(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// `bytes` written as the file `name` in `dir`, for a test that cannot go on without it.
inline QString writeInto(const QDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    if (!writeWhole(path, bytes))
        qFatal("cannot write the test file %s", qPrintable(path));
    return path;
}

} // namespace testfiles
