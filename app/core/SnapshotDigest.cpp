#include "app/core/SnapshotDigest.h"

#include <xxhash.h>

SnapshotDigest SnapshotDigest::of(QByteArrayView bytes)
{
    const XXH128_hash_t hash = XXH3_128bits(bytes.data(), std::size_t(bytes.size()));
    SnapshotDigest digest;
    digest.m_low = hash.low64;
    digest.m_high = hash.high64;
    digest.m_size = bytes.size();
    return digest;
}
