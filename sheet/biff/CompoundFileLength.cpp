#include "sheet/biff/CompoundFileLength.h"

#include "util/LittleEndian.h"

#include <vector>

namespace {

constexpr std::size_t HeaderSize = 512;
constexpr std::uint32_t MaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t FreeSector = 0xFFFFFFFF;
constexpr std::uint32_t HeaderFatEntries = 109;

// The file as sectors: sector n starts at (n + 1) sector sizes, after the header's sector.
class Sectors
{
public:
    Sectors(std::span<const std::uint8_t> data, std::uint32_t shift)
        : m_data(data)
        , m_shift(shift)
        , m_count(data.size() / (std::size_t(1) << shift) - 1)
    {
    }

    std::uint64_t count() const { return m_count; }
    std::uint32_t entriesPerSector() const { return (1u << m_shift) / 4; }
    // A special value (end of chain, free, ...) names no sector and is no length problem.
    bool inFile(std::uint32_t sector) const
    {
        return sector > MaxRegularSector || sector < m_count;
    }
    std::uint32_t entry(std::uint32_t sector, std::uint32_t index) const
    {
        return loadU32(m_data.data() + ((std::size_t(sector) + 1) << m_shift) + 4 * index);
    }

private:
    std::span<const std::uint8_t> m_data;
    std::uint32_t m_shift;
    std::uint64_t m_count;
};

// The allocation table's own sectors, from the header and the chain of extension sectors; an
// empty list with `fits` false when one of them lies beyond the end.
std::vector<std::uint32_t> fatSectors(std::span<const std::uint8_t> data, const Sectors &sectors,
                                      bool &fits)
{
    const std::uint8_t *h = data.data();
    const std::uint32_t wanted = loadU32(h + 44);
    std::vector<std::uint32_t> found;
    for (std::uint32_t i = 0; i < wanted && i < HeaderFatEntries; ++i)
        found.push_back(loadU32(h + 76 + 4 * i));
    std::uint32_t next = loadU32(h + 68);
    const std::uint32_t perSector = sectors.entriesPerSector() - 1;
    for (std::uint32_t k = 0; k < loadU32(h + 72) && next <= MaxRegularSector; ++k) {
        if (!sectors.inFile(next)) {
            fits = false;
            return {};
        }
        for (std::uint32_t i = 0; i < perSector && found.size() < wanted; ++i)
            found.push_back(sectors.entry(next, i));
        next = sectors.entry(next, perSector);
    }
    return found;
}

bool headerCountsFit(std::span<const std::uint8_t> data, const Sectors &sectors)
{
    const std::uint8_t *h = data.data();
    const std::uint64_t fat = loadU32(h + 44);
    const std::uint64_t miniFat = loadU32(h + 64);
    const std::uint64_t extension = loadU32(h + 72);
    if (fat + miniFat + extension > sectors.count())
        return false;
    return sectors.inFile(loadU32(h + 48)) && (miniFat == 0 || sectors.inFile(loadU32(h + 60))) &&
           (extension == 0 || sectors.inFile(loadU32(h + 68)));
}

// Every sector the table marks as used, and every sector a chain goes on to, is in the file.
bool usedSectorsInFile(const std::vector<std::uint32_t> &fat, const Sectors &sectors)
{
    const std::uint32_t perSector = sectors.entriesPerSector();
    for (std::size_t f = 0; f < fat.size(); ++f) {
        if (fat[f] > MaxRegularSector)
            continue; // damaged, not cut short
        if (!sectors.inFile(fat[f]))
            return false;
        for (std::uint32_t i = 0; i < perSector; ++i) {
            const std::uint32_t value = sectors.entry(fat[f], i);
            if (value != FreeSector &&
                (f * perSector + i >= sectors.count() || !sectors.inFile(value)))
                return false;
        }
    }
    return true;
}

} // namespace

bool compoundFileLengthFits(std::span<const std::uint8_t> data)
{
    if (data.size() < HeaderSize)
        return false;
    const std::uint32_t shift = loadU16(data.data() + 30);
    if (loadU16(data.data() + 28) != 0xFFFE || (shift != 9 && shift != 12))
        return true;
    if (data.size() % (std::size_t(1) << shift) != 0)
        return false;
    const Sectors sectors(data, shift);
    // More allocation table sectors than the header and its extension sectors can list is
    // damage, not a short copy.
    const std::uint64_t listable = HeaderFatEntries + std::uint64_t(loadU32(data.data() + 72)) *
                                                          (sectors.entriesPerSector() - 1);
    if (loadU32(data.data() + 44) > listable)
        return true;
    if (!headerCountsFit(data, sectors))
        return false;
    bool fits = true;
    const std::vector<std::uint32_t> fat = fatSectors(data, sectors, fits);
    return fits && usedSectorsInFile(fat, sectors);
}
