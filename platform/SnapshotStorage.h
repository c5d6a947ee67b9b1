#pragma once

#include "platform/FileIdentity.h"

#include <cstdint>

// Where a snapshot is copied to. The reader asks for room once it knows the file's size,
// copies straight into it and commits only a complete, consistent copy.
class SnapshotStorage
{
public:
    virtual ~SnapshotStorage() = default;

    // The largest file that may be copied; larger ones are refused before any byte is read.
    virtual std::int64_t limit() const = 0;
    // Room for `size` bytes (0 <= size <= limit()), or nullptr when it cannot be had. Asking
    // for room gives up the snapshot held so far: its bytes are about to be overwritten.
    virtual char *roomFor(std::int64_t size) = 0;
    // The first `size` bytes of the room are now a whole copy of the file version `identity`.
    virtual void commit(std::int64_t size, const FileIdentity &identity) = 0;
};
