#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Reads streams out of a compound file (the OLE2 container that holds an .xls workbook) kept in
// memory. The input is untrusted: every sector number, chain and size is checked against the
// file, and anything inconsistent raises WorkbookError (Damaged). The work is bounded by the
// file's size.
class CompoundFile
{
public:
    // The content of one stream: a view into the file when its sectors follow one another,
    // otherwise a copy gathered from the chain.
    class Stream
    {
    public:
        Stream() = default;
        explicit Stream(std::span<const std::uint8_t> view)
            : m_bytes(view)
        {
        }
        explicit Stream(std::vector<std::uint8_t> copy)
            : m_copy(std::move(copy))
            , m_bytes(m_copy)
        {
        }
        Stream(Stream &&other) noexcept = default;
        Stream &operator=(Stream &&other) noexcept = default;
        Stream(const Stream &) = delete;
        Stream &operator=(const Stream &) = delete;

        std::span<const std::uint8_t> bytes() const { return m_bytes; }

    private:
        std::vector<std::uint8_t> m_copy;
        std::span<const std::uint8_t> m_bytes;
    };

    static bool hasSignature(std::span<const std::uint8_t> data);

    // Reads the header, the sector allocation table and the directory.
    explicit CompoundFile(std::span<const std::uint8_t> data);

    // The stream with this name (compared case-insensitively) directly under the root storage.
    std::optional<Stream> rootStream(QStringView name);

private:
    struct Entry
    {
        QString name;
        std::uint8_t type = 0;
        std::uint32_t left = 0;
        std::uint32_t right = 0;
        std::uint32_t child = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    std::span<const std::uint8_t> sector(std::uint32_t index) const;
    std::vector<std::uint32_t> chain(std::uint32_t start, std::uint64_t wanted,
                                     const char *what) const;
    Stream readRegular(std::uint32_t start, std::uint64_t size, const QString &name) const;
    Stream readMini(std::uint32_t start, std::uint64_t size, const QString &name);
    void readAllocationTable();
    void readDirectory();
    void readMiniAllocation();
    std::vector<std::uint32_t> rootChildren() const;

    std::span<const std::uint8_t> m_data;
    std::uint32_t m_sectorShift = 9;
    std::uint32_t m_sectorSize = 512;
    std::uint32_t m_sectorCount = 0;
    std::uint32_t m_miniCutoff = 4096;
    std::vector<std::uint32_t> m_fat;
    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_miniFat;
    std::vector<std::uint8_t> m_miniStream;
    bool m_miniRead = false;
};
