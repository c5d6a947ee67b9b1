#pragma once

#include <QByteArrayView>
#include <cstdint>

// Tells two snapshots of the watched workbook apart by their bytes: a 128-bit xxHash (XXH3) of
// all of them, with their count. File times play no part, since a writer can change a file
// within one tick of its timestamp without changing its size.
class SnapshotDigest
{
public:
    // Matches no snapshot's digest.
    SnapshotDigest() = default;
    static SnapshotDigest of(QByteArrayView bytes);

    friend bool operator==(const SnapshotDigest &, const SnapshotDigest &) = default;

private:
    std::uint64_t m_low = 0;
    std::uint64_t m_high = 0;
    std::int64_t m_size = -1;
};
