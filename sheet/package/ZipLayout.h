#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Where a ZIP file's entries lie, from its central directory, checked against each entry's
// local header: what libzip's strict consistency check would refuse but for the sizes and CRC
// that streaming writers leave out of the local header (they follow the data in a descriptor,
// and the directory's are used). An entry whose local header is missing or names another part
// or method, entries that overlap or run into the directory, and a directory that does not
// parse raise WorkbookError (Damaged): a file cut short or patched together is refused here
// rather than half read.
class ZipLayout
{
public:
    struct Entry
    {
        std::string name; // as stored
        std::uint64_t headerOffset;
        std::uint64_t dataStart; // the stored data, after the local header
        std::uint64_t dataEnd;
    };

    explicit ZipLayout(std::span<const std::uint8_t> bytes);

    const std::vector<Entry> &entries() const { return m_entries; }

private:
    void readDirectory(std::uint64_t offset, std::uint64_t size, std::uint64_t count);
    void checkLocalHeader(const Entry &entry, std::uint16_t method) const;
    void checkOverlaps() const;

    std::span<const std::uint8_t> m_bytes;
    std::uint64_t m_directoryOffset = 0;
    std::vector<Entry> m_entries;
};
