#pragma once

#include <cstdint>

// Which version of a file a snapshot holds: two stats of the same unchanged file give equal
// identities, and any write, truncation, replacement or attribute change gives another one.
struct FileIdentity
{
    std::int64_t size = -1;
    std::int64_t modifiedNs = 0; // st_mtim in nanoseconds since the epoch
    std::int64_t changedNs = 0;  // st_ctim: also moves on writes that keep the mtime
    std::uint64_t inode = 0;
    std::uint64_t device = 0;

    bool operator==(const FileIdentity &) const = default;
};
