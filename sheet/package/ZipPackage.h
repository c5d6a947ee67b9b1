#pragma once

#include "sheet/model/ReadControl.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct zip;

// A ZIP package held in memory (the container of OOXML, XLSB and OpenDocument workbooks), read
// through libzip; deflated entries are inflated with ISA-L. Its parts are read as streams and never
// need to be held whole. The input is untrusted: a damaged directory, a CRC mismatch, a truncated
// file and a part that inflates past its limit raise WorkbookError (Damaged).
//
// One package is for one thread at a time; to read two parts at once, open the bytes twice.
class ZipPackage
{
public:
    // Local file header or end of central directory at the start: what every ZIP file begins
    // with.
    static bool hasSignature(std::span<const std::uint8_t> bytes);

    // Reads the central directory; the bytes must outlive the package.
    explicit ZipPackage(std::span<const std::uint8_t> bytes);
    ~ZipPackage();
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    // The entry names, with backslashes read as slashes.
    const std::vector<std::string> &names() const { return m_names; }
    // An entry by its name, compared without regard to ASCII case (part names in a package
    // are case-insensitive); nothing when there is none.
    std::optional<std::uint64_t> find(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name).has_value(); }

    // The most an entry may inflate to: 256 MiB, or 250 times its compressed size when that is
    // more, and never more than 4 GiB. Real parts compress 5 to 30 times; a ZIP bomb 1000.
    std::uint64_t inflateLimit(std::uint64_t entry) const;

    // The size the central directory gives for an entry inflated, 0 when it gives none: a
    // hint for reserving memory, never trusted further than the inflate limit.
    std::uint64_t inflatedSize(std::uint64_t entry) const;

    // Inflates an entry and hands it to `consume` in pieces of up to 256 KiB, in order. Stops
    // with WorkbookError (Damaged) past `limit` bytes (inflateLimit() when 0), on a CRC
    // mismatch or any other damage; `control` is asked between pieces whether to go on, and
    // told every megabyte or so which of the entry's stored bytes it has gone past: never a
    // byte outside the entry, so that parts read at once on other threads keep theirs.
    void read(std::uint64_t entry, const std::function<void(std::span<const char>)> &consume,
              const ReadControl &control = {}, std::uint64_t limit = 0) const;
    // A whole entry at once, for the small parts (relationships, content types, styles).
    QByteArray readAll(std::uint64_t entry, std::uint64_t limit = 0) const;

private:
    [[noreturn]] void raise(const std::string &what) const;
    void inflate(std::uint64_t entry, std::uint64_t size, std::uint32_t crc,
                 const std::string &part, const std::function<void(std::span<const char>)> &consume,
                 const ReadControl &control, std::uint64_t limit) const;

    void indexNames();
    // Tells `control` that the entry's stored bytes up to `consumed` of them are read.
    void passed(std::uint64_t entry, std::uint64_t consumed, const ReadControl &control) const;

    struct StoredData
    {
        std::uint64_t begin;
        std::uint64_t end;
    };

    std::span<const std::uint8_t> m_bytes;
    // Each entry's stored data in m_bytes, in the order of the entries.
    std::vector<StoredData> m_stored;
    std::unique_ptr<zip, void (*)(zip *)> m_zip;
    std::vector<std::string> m_names;
    // Each name in ASCII lower case, to its entry.
    std::unordered_map<std::string, std::uint64_t> m_index;
};
