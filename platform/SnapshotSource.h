#pragma once

#include "platform/SnapshotResult.h"
#include "platform/SnapshotStorage.h"

#include <QString>

// Takes snapshots of the watched file. The scan scheduler depends on this seam only, so that
// its rules can be driven by a scripted file in tests.
class SnapshotSource
{
public:
    virtual ~SnapshotSource() = default;

    // Copies the file at `path` whole into `storage` and commits it there, or says why not.
    // Never blocks on a lock or on the file's kind, never writes the file.
    virtual SnapshotResult take(const QString &path, SnapshotStorage &storage) = 0;
};
