#include "sheet/biff/CompoundFile.h"

#include "sheet/model/WorkbookError.h"
#include "util/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t Signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t HeaderSize = 512;
constexpr std::uint32_t MaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t FreeSector = 0xFFFFFFFF;
constexpr std::uint32_t NoEntry = 0xFFFFFFFF;
constexpr std::uint32_t EntrySize = 128;
constexpr std::uint32_t MiniSectorSize = 64;
constexpr std::uint8_t StorageEntry = 1;
constexpr std::uint8_t StreamEntry = 2;
constexpr std::uint8_t RootEntry = 5;

WorkbookError damagedContainer(const char *what)
{
    return WorkbookError::damaged(QString::fromLatin1(what));
}

std::uint64_t sectorsFor(std::uint64_t size, std::uint32_t sectorSize)
{
    return (size + sectorSize - 1) / sectorSize;
}

} // namespace

bool CompoundFile::hasSignature(std::span<const std::uint8_t> data)
{
    return data.size() >= sizeof Signature &&
           std::memcmp(data.data(), Signature, sizeof Signature) == 0;
}

CompoundFile::CompoundFile(std::span<const std::uint8_t> data)
    : m_data(data)
{
    if (!hasSignature(data))
        throw WorkbookError::notWorkbook();
    if (data.size() < HeaderSize)
        throw damagedContainer("the container header is truncated");
    const std::uint8_t *h = data.data();
    if (loadU16(h + 28) != 0xFFFE)
        throw damagedContainer("the container header has a wrong byte order mark");
    m_sectorShift = loadU16(h + 30);
    if (m_sectorShift != 9 && m_sectorShift != 12)
        throw damagedContainer("the container's sector size is invalid");
    if (loadU16(h + 32) != 6)
        throw damagedContainer("the container's mini sector size is invalid");
    m_sectorSize = 1u << m_sectorShift;
    // Sector n starts at (n + 1) * sector size; a last sector cut short by the end of the file
    // still counts, its missing tail reads as absent.
    m_sectorCount =
        data.size() <= m_sectorSize
            ? 0
            : static_cast<std::uint32_t>(sectorsFor(data.size() - m_sectorSize, m_sectorSize));
    m_miniCutoff = loadU32(h + 56);
    readAllocationTable();
    readDirectory();
}

std::span<const std::uint8_t> CompoundFile::sector(std::uint32_t index) const
{
    if (index >= m_sectorCount)
        throw damagedContainer("a sector number points beyond the end of the file");
    const std::size_t offset = (static_cast<std::size_t>(index) + 1) << m_sectorShift;
    return m_data.subspan(offset, std::min<std::size_t>(m_sectorSize, m_data.size() - offset));
}

void CompoundFile::readAllocationTable()
{
    const std::uint8_t *h = m_data.data();
    const std::uint32_t perSector = m_sectorSize / 4;
    // Only the entries for sectors that exist in the file can ever be followed, which bounds
    // the table by the file's size whatever the header claims.
    const std::uint64_t neededFatSectors = sectorsFor(m_sectorCount, perSector);
    std::vector<std::uint32_t> fatSectors;
    auto take = [&](std::uint32_t s) {
        if (s <= MaxRegularSector && fatSectors.size() < neededFatSectors)
            fatSectors.push_back(s);
    };
    for (std::uint32_t i = 0; i < 109; ++i)
        take(loadU32(h + 76 + 4 * i));

    std::vector<bool> seen(m_sectorCount, false);
    std::uint32_t next = loadU32(h + 68);
    while (next != EndOfChain && next != FreeSector && fatSectors.size() < neededFatSectors) {
        if (next >= m_sectorCount)
            throw damagedContainer("the allocation table's extension points outside the file");
        if (seen[next])
            throw damagedContainer("the allocation table's extension chain loops");
        seen[next] = true;
        const auto bytes = sector(next);
        if (bytes.size() < m_sectorSize)
            throw damagedContainer("the allocation table's extension is truncated");
        for (std::uint32_t i = 0; i + 1 < perSector; ++i)
            take(loadU32(bytes.data() + 4 * i));
        next = loadU32(bytes.data() + 4 * (perSector - 1));
    }

    m_fat.reserve(fatSectors.size() * perSector);
    for (std::uint32_t s : fatSectors) {
        const auto bytes = sector(s);
        for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4)
            m_fat.push_back(loadU32(bytes.data() + i));
        m_fat.resize(m_fat.size() + (m_sectorSize - bytes.size()) / 4, FreeSector);
    }
}

std::vector<std::uint32_t> CompoundFile::chain(std::uint32_t start, std::uint64_t wanted,
                                               const char *what) const
{
    std::vector<std::uint32_t> sectors;
    sectors.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(wanted, m_sectorCount)));
    std::vector<bool> seen(m_sectorCount, false);
    std::uint32_t s = start;
    while (s != EndOfChain && sectors.size() < wanted) {
        if (s >= m_sectorCount || s >= m_fat.size())
            throw WorkbookError::damaged(QStringLiteral("the %1 points beyond the end of the file")
                                             .arg(QLatin1StringView(what)));
        if (seen[s])
            throw WorkbookError::damaged(
                QStringLiteral("the chain of the %1 loops").arg(QLatin1StringView(what)));
        seen[s] = true;
        sectors.push_back(s);
        s = m_fat[s];
    }
    return sectors;
}

void CompoundFile::readDirectory()
{
    const auto sectors = chain(loadU32(m_data.data() + 48), UINT64_MAX, "directory");
    if (sectors.empty())
        throw damagedContainer("the directory is missing");
    const std::uint32_t perSector = m_sectorSize / EntrySize;
    m_entries.reserve(sectors.size() * perSector);
    for (std::uint32_t s : sectors) {
        const auto bytes = sector(s);
        for (std::size_t off = 0; off + EntrySize <= bytes.size(); off += EntrySize) {
            const std::uint8_t *e = bytes.data() + off;
            Entry entry;
            const std::uint32_t nameBytes = std::min<std::uint32_t>(loadU16(e + 64), 64);
            const std::uint32_t nameChars = nameBytes >= 2 ? nameBytes / 2 - 1 : 0;
            entry.name.resize(nameChars);
            for (std::uint32_t i = 0; i < nameChars; ++i)
                entry.name[i] = QChar(loadU16(e + 2 * i));
            entry.type = e[66];
            entry.left = loadU32(e + 68);
            entry.right = loadU32(e + 72);
            entry.child = loadU32(e + 76);
            entry.start = loadU32(e + 116);
            // Version 3 files may leave garbage in the high half of the size.
            entry.size = m_sectorShift == 9 ? loadU32(e + 120) : loadU64(e + 120);
            m_entries.push_back(std::move(entry));
        }
    }
    if (m_entries.empty() || m_entries.front().type != RootEntry)
        throw damagedContainer("the directory has no root entry");
}

std::vector<std::uint32_t> CompoundFile::rootChildren() const
{
    // The children of a storage form a binary tree through the left and right links; walk it
    // with an explicit stack so that neither a deep nor a looping tree can hurt.
    std::vector<std::uint32_t> children;
    std::vector<bool> seen(m_entries.size(), false);
    std::vector<std::uint32_t> pending;
    if (m_entries.front().child != NoEntry)
        pending.push_back(m_entries.front().child);
    while (!pending.empty()) {
        const std::uint32_t i = pending.back();
        pending.pop_back();
        if (i >= m_entries.size())
            throw damagedContainer("a directory entry points outside the directory");
        if (i == 0 || seen[i])
            throw damagedContainer("the directory tree loops");
        seen[i] = true;
        children.push_back(i);
        const Entry &e = m_entries[i];
        if (e.left != NoEntry)
            pending.push_back(e.left);
        if (e.right != NoEntry)
            pending.push_back(e.right);
    }
    return children;
}

std::optional<CompoundFile::Stream> CompoundFile::rootStream(QStringView name)
{
    for (std::uint32_t i : rootChildren()) {
        const Entry &e = m_entries[i];
        if (e.type != StreamEntry || e.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (e.size > m_data.size())
            throw WorkbookError::damaged(
                QStringLiteral("the %1 stream is larger than the file").arg(e.name));
        if (e.size < m_miniCutoff)
            return readMini(e.start, e.size, e.name);
        return readRegular(e.start, e.size, e.name);
    }
    return std::nullopt;
}

CompoundFile::Stream CompoundFile::readRegular(std::uint32_t start, std::uint64_t size,
                                               const QString &name) const
{
    if (size == 0)
        return Stream();
    const auto sectors = chain(start, sectorsFor(size, m_sectorSize), "stream");
    std::uint64_t available = 0;
    for (std::size_t i = 0; i < sectors.size(); ++i)
        available += i + 1 < sectors.size() ? m_sectorSize : sector(sectors[i]).size();
    if (available < size)
        throw WorkbookError::damaged(QStringLiteral("the %1 stream is cut short").arg(name));

    bool consecutive = true;
    for (std::size_t i = 1; i < sectors.size() && consecutive; ++i)
        consecutive = sectors[i] == sectors[i - 1] + 1;
    const std::size_t first = (static_cast<std::size_t>(sectors.front()) + 1) << m_sectorShift;
    if (consecutive)
        return Stream(m_data.subspan(first, static_cast<std::size_t>(size)));

    std::vector<std::uint8_t> copy;
    copy.reserve(static_cast<std::size_t>(size));
    for (std::uint32_t s : sectors) {
        const auto bytes = sector(s);
        const std::size_t n = std::min<std::size_t>(bytes.size(), size - copy.size());
        copy.insert(copy.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return Stream(std::move(copy));
}

void CompoundFile::readMiniAllocation()
{
    m_miniRead = true;
    const std::uint8_t *h = m_data.data();
    for (std::uint32_t s : chain(loadU32(h + 60), UINT64_MAX, "mini allocation table")) {
        const auto bytes = sector(s);
        for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4)
            m_miniFat.push_back(loadU32(bytes.data() + i));
    }
    const Entry &root = m_entries.front();
    if (root.size > m_data.size())
        throw damagedContainer("the mini stream is larger than the file");
    Stream mini = readRegular(root.start, root.size, QStringLiteral("mini"));
    m_miniStream.assign(mini.bytes().begin(), mini.bytes().end());
}

CompoundFile::Stream CompoundFile::readMini(std::uint32_t start, std::uint64_t size,
                                            const QString &name)
{
    if (size == 0)
        return Stream();
    if (!m_miniRead)
        readMiniAllocation();
    const std::uint64_t miniCount = sectorsFor(m_miniStream.size(), MiniSectorSize);
    const std::uint64_t wanted = sectorsFor(size, MiniSectorSize);
    std::vector<std::uint8_t> copy;
    copy.reserve(static_cast<std::size_t>(size));
    std::vector<bool> seen(static_cast<std::size_t>(miniCount), false);
    std::uint32_t s = start;
    for (std::uint64_t n = 0; n < wanted; ++n) {
        if (s >= miniCount || s >= m_miniFat.size())
            throw WorkbookError::damaged(
                QStringLiteral("the %1 stream points beyond the mini stream").arg(name));
        if (seen[s])
            throw WorkbookError::damaged(
                QStringLiteral("the chain of the %1 stream loops").arg(name));
        seen[s] = true;
        const std::size_t offset = static_cast<std::size_t>(s) * MiniSectorSize;
        const std::size_t count = std::min<std::size_t>(
            {MiniSectorSize, m_miniStream.size() - offset, size - copy.size()});
        copy.insert(copy.end(), m_miniStream.begin() + static_cast<std::ptrdiff_t>(offset),
                    m_miniStream.begin() + static_cast<std::ptrdiff_t>(offset + count));
        s = m_miniFat[s];
    }
    if (copy.size() < size)
        throw WorkbookError::damaged(QStringLiteral("the %1 stream is cut short").arg(name));
    return Stream(std::move(copy));
}
