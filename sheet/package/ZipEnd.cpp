#include "sheet/package/ZipEnd.h"

#include "util/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t EndRecordSize = 22;
constexpr std::size_t LongestComment = 0xFFFF;
constexpr std::size_t Zip64LocatorSize = 20;
constexpr std::uint8_t EndSignature[] = {'P', 'K', 5, 6};
constexpr std::uint8_t Zip64LocatorSignature[] = {'P', 'K', 6, 7};

// The record at `at` closes the file: its comment runs exactly to the end, and its directory
// (or, with ZIP64 markers, the ZIP64 locator) lies before it.
bool closesFile(std::span<const std::uint8_t> bytes, std::size_t at)
{
    const std::uint8_t *record = bytes.data() + at;
    if (std::memcmp(record, EndSignature, 4) != 0 ||
        at + EndRecordSize + loadU16(record + 20) != bytes.size())
        return false;
    const std::uint64_t size = loadU32(record + 12);
    const std::uint64_t offset = loadU32(record + 16);
    if (size == 0xFFFFFFFF || offset == 0xFFFFFFFF)
        return at >= Zip64LocatorSize &&
               std::memcmp(record - Zip64LocatorSize, Zip64LocatorSignature, 4) == 0;
    return offset + size <= at;
}

} // namespace

bool zipEndsWithDirectory(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < EndRecordSize)
        return false;
    const std::size_t last = bytes.size() - EndRecordSize;
    const std::size_t first = last - std::min(last, LongestComment);
    for (std::size_t at = last + 1; at-- > first;) {
        if (closesFile(bytes, at))
            return true;
    }
    return false;
}
