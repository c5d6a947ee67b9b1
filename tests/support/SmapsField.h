#pragma once

#include <QByteArray>
#include <QFile>

// A field ("Rss", "AnonHugePages", "THPeligible", ...) of the mapping that starts at `start`,
// from /proc/self/smaps (sizes in KiB); -1 when there is no such mapping or field.
inline qint64 smapsFieldKiB(const void *start, const QByteArray &field)
{
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray first = QByteArray::number(quintptr(start), 16) + '-';
    bool inMapping = false;
    // readAll: a file in /proc has no size, so atEnd() would hold at once.
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        if (line.startsWith(first))
            inMapping = true;
        else if (inMapping && line.startsWith(field + ':'))
            return line.simplified().split(' ').value(1).toLongLong();
    }
    return -1;
}
