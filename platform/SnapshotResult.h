#pragma once

#include <cstdint>

enum class SnapshotOutcome {
    Taken,    // the storage holds one whole version of the file
    Missing,  // no file at the path (nothing there, a directory, or not reachable)
    Refused,  // could not be had now: locked, open for writing elsewhere, not a regular file
    Torn,     // the file changed while it was copied; the copy was discarded
    TooLarge, // above the storage's limit; nothing was read
    Failed,   // an I/O operation on the opened file failed; see errorCode
};

// What one snapshot attempt came to.
struct SnapshotResult
{
    SnapshotOutcome outcome = SnapshotOutcome::Failed;
    std::int64_t fileSize = 0; // Taken and TooLarge: the file's size
    int errorCode = 0;         // Failed: the InOutError code

    static SnapshotResult of(SnapshotOutcome outcome, std::int64_t fileSize = 0)
    {
        return {outcome, fileSize, 0};
    }
    static SnapshotResult failed(int errorCode) { return {SnapshotOutcome::Failed, 0, errorCode}; }
};
