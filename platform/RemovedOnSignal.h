#pragma once

#include <QString>

// A file that a terminating signal removes before the process ends: the private copy of the
// workbook while an import has it on disk, the new settings file until it is renamed into
// place. Registered for the life of the object; the object itself removes nothing.
// Any thread may hold one; a handful at a time (the ones over that, and names longer than
// PATH_MAX, are simply not removed by a signal).
class RemovedOnSignal
{
public:
    explicit RemovedOnSignal(const QString &path);
    ~RemovedOnSignal();
    RemovedOnSignal(const RemovedOnSignal &) = delete;
    RemovedOnSignal &operator=(const RemovedOnSignal &) = delete;

    // Removes every file registered now. Async-signal-safe: for signal handlers only.
    static void removeAll() noexcept;

private:
    int m_slot = -1;
};
