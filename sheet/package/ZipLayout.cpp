#include "sheet/package/ZipLayout.h"

#include "sheet/model/WorkbookError.h"
#include "util/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t EndSize = 22;
constexpr std::size_t MostCommentBytes = 0xFFFF;
constexpr std::size_t Zip64LocatorSize = 20;
constexpr std::size_t Zip64EndSize = 56;
constexpr std::size_t CentralSize = 46;
constexpr std::size_t LocalSize = 30;
constexpr std::uint16_t Zip64ExtraId = 1;

[[noreturn]] void Damaged(const char *what)
{
    throw WorkbookError::damaged(
        QStringLiteral("its package cannot be read (%1)").arg(QLatin1StringView(what)));
}

bool HasSignature(std::span<const std::uint8_t> bytes, std::uint64_t at, const char *signature)
{
    return at <= bytes.size() && bytes.size() - at >= 4 &&
           std::memcmp(bytes.data() + at, signature, 4) == 0;
}

// The values a central directory entry leaves to its ZIP64 extra field, in the field's order.
struct Wide
{
    std::uint64_t *value;
    bool inExtra;
};

void ReadZip64Extra(const std::uint8_t *extra, std::size_t size, std::span<Wide> wide)
{
    while (size >= 4) {
        const std::uint16_t id = LoadU16(extra);
        const std::size_t length = LoadU16(extra + 2);
        if (length > size - 4)
            Damaged("zip archive inconsistent");
        if (id == Zip64ExtraId) {
            std::size_t at = 0;
            for (const Wide &field : wide) {
                if (!field.inExtra)
                    continue;
                if (length - at < 8)
                    Damaged("zip archive inconsistent");
                *field.value = LoadU64(extra + 4 + at);
                at += 8;
            }
            return;
        }
        extra += 4 + length;
        size -= 4 + length;
    }
    for (const Wide &field : wide) {
        if (field.inExtra)
            Damaged("zip archive inconsistent");
    }
}

} // namespace

ZipLayout::ZipLayout(std::span<const std::uint8_t> bytes)
    : m_bytes(bytes)
{
    if (bytes.size() < EndSize)
        Damaged("not a zip archive");
    // The end record nearest the end whose comment reaches the end of the file or stops short
    // of it: a comment longer than what is left is no end record.
    const std::uint64_t lowest =
        bytes.size() > EndSize + MostCommentBytes ? bytes.size() - EndSize - MostCommentBytes : 0;
    std::uint64_t end = bytes.size() - EndSize;
    while (!HasSignature(bytes, end, "PK\5\6") ||
           LoadU16(bytes.data() + end + 20) > bytes.size() - end - EndSize) {
        if (end == lowest)
            Damaged("not a zip archive");
        --end;
    }
    const std::uint8_t *record = bytes.data() + end;
    std::uint64_t count = LoadU16(record + 10);
    std::uint64_t size = LoadU32(record + 12);
    std::uint64_t offset = LoadU32(record + 16);
    if (end >= Zip64LocatorSize && HasSignature(bytes, end - Zip64LocatorSize, "PK\6\7")) {
        const std::uint64_t at = LoadU64(bytes.data() + end - Zip64LocatorSize + 8);
        if (at > bytes.size() || bytes.size() - at < Zip64EndSize ||
            !HasSignature(bytes, at, "PK\6\6"))
            Damaged("zip archive inconsistent");
        count = LoadU64(bytes.data() + at + 32);
        size = LoadU64(bytes.data() + at + 40);
        offset = LoadU64(bytes.data() + at + 48);
    }
    if (offset > bytes.size() || size > bytes.size() - offset)
        Damaged("zip archive inconsistent");
    readDirectory(offset, size, count);
    checkOverlaps();
}

void ZipLayout::readDirectory(std::uint64_t offset, std::uint64_t size, std::uint64_t count)
{
    m_directoryOffset = offset;
    // Every entry takes at least its fixed part: a count the directory cannot hold is damage,
    // not a reason to reserve memory.
    if (count > size / CentralSize)
        Damaged("zip archive inconsistent");
    m_entries.reserve(std::size_t(count));
    const std::uint8_t *p = m_bytes.data() + offset;
    std::size_t left = std::size_t(size);
    for (std::uint64_t i = 0; i < count; ++i) {
        if (left < CentralSize || std::memcmp(p, "PK\1\2", 4) != 0)
            Damaged("zip archive inconsistent");
        const std::size_t nameLength = LoadU16(p + 28);
        const std::size_t extraLength = LoadU16(p + 30);
        const std::size_t commentLength = LoadU16(p + 32);
        const std::size_t total = CentralSize + nameLength + extraLength + commentLength;
        if (total > left)
            Damaged("zip archive inconsistent");
        std::uint64_t inflated = LoadU32(p + 24);
        std::uint64_t compressed = LoadU32(p + 20);
        std::uint64_t headerOffset = LoadU32(p + 42);
        Wide wide[] = {{&inflated, inflated == 0xFFFFFFFF},
                       {&compressed, compressed == 0xFFFFFFFF},
                       {&headerOffset, headerOffset == 0xFFFFFFFF}};
        ReadZip64Extra(p + CentralSize + nameLength, extraLength, wide);
        Entry entry{std::string(reinterpret_cast<const char *>(p + CentralSize), nameLength),
                    headerOffset, 0, 0};
        checkLocalHeader(entry, LoadU16(p + 10));
        const std::uint8_t *local = m_bytes.data() + headerOffset;
        const std::uint64_t dataStart =
            headerOffset + LocalSize + LoadU16(local + 26) + LoadU16(local + 28);
        if (compressed > m_directoryOffset || dataStart > m_directoryOffset - compressed)
            Damaged("zip archive inconsistent");
        entry.dataStart = dataStart;
        entry.dataEnd = dataStart + compressed;
        m_entries.push_back(std::move(entry));
        p += total;
        left -= total;
    }
}

void ZipLayout::checkLocalHeader(const Entry &entry, std::uint16_t method) const
{
    const std::uint64_t at = entry.headerOffset;
    if (at > m_directoryOffset || m_directoryOffset - at < LocalSize ||
        !HasSignature(m_bytes, at, "PK\3\4"))
        Damaged("zip archive inconsistent");
    const std::uint8_t *local = m_bytes.data() + at;
    const std::size_t nameLength = LoadU16(local + 26);
    if (LoadU16(local + 8) != method || nameLength != entry.name.size() ||
        m_directoryOffset - at - LocalSize < nameLength ||
        std::memcmp(local + LocalSize, entry.name.data(), nameLength) != 0)
        Damaged("zip archive inconsistent");
}

void ZipLayout::checkOverlaps() const
{
    std::vector<const Entry *> order;
    order.reserve(m_entries.size());
    for (const Entry &entry : m_entries)
        order.push_back(&entry);
    std::ranges::sort(order, {}, &Entry::headerOffset);
    for (std::size_t i = 1; i < order.size(); ++i) {
        if (order[i]->headerOffset < order[i - 1]->dataEnd)
            Damaged("its entries overlap");
    }
}
