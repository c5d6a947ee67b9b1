#include "sheet/package/ZipPackage.h"

#include "sheet/model/WorkbookError.h"
#include "sheet/package/ZipLayout.h"

#include <algorithm>
#include <cstring>
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <limits>
#include <zip.h>

namespace {

constexpr std::size_t PieceSize = std::size_t(256) << 10;
constexpr std::uint64_t SmallestLimit = std::uint64_t(256) << 20;
constexpr std::uint64_t LargestLimit = std::uint64_t(4) << 30;
constexpr std::uint64_t LargestRatio = 250;
// How far a reading goes between its hand-backs of what it has passed.
constexpr std::uint64_t PassedStep = std::uint64_t(1) << 20;

void Discard(zip *archive)
{
    if (archive)
        zip_discard(archive);
}

struct FileCloser
{
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

void AsciiLower(std::string &text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
}

WorkbookError Damaged(const std::string &what)
{
    return WorkbookError::damaged(QString::fromStdString(what));
}

} // namespace

bool ZipPackage::hasSignature(std::span<const std::uint8_t> bytes)
{
    static constexpr std::uint8_t LocalHeader[] = {'P', 'K', 3, 4};
    static constexpr std::uint8_t EmptyArchive[] = {'P', 'K', 5, 6};
    return bytes.size() >= 4 && (std::memcmp(bytes.data(), LocalHeader, 4) == 0 ||
                                 std::memcmp(bytes.data(), EmptyArchive, 4) == 0);
}

ZipPackage::ZipPackage(std::span<const std::uint8_t> bytes)
    : m_bytes(bytes)
    , m_zip(nullptr, Discard)
{
    // libzip's own consistency check would refuse sizes and CRC left to a data descriptor;
    // the layout makes the same checks without that.
    const ZipLayout layout(bytes);
    m_stored.reserve(layout.entries().size());
    for (const ZipLayout::Entry &entry : layout.entries())
        m_stored.push_back({entry.dataStart, entry.dataEnd});
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (!source) {
        const std::string what = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw Damaged("its package cannot be read (" + what + ")");
    }
    m_zip.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
    if (!m_zip) {
        zip_source_free(source);
        std::string what = zip_error_strerror(&error);
        zip_error_fini(&error);
        std::transform(what.begin(), what.end(), what.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        throw Damaged("its package cannot be read (" + what + ")");
    }
    zip_error_fini(&error);
    if (zip_get_num_entries(m_zip.get(), 0) != zip_int64_t(layout.entries().size()))
        raise("its package cannot be read (zip archive inconsistent)");
    indexNames();
}

ZipPackage::~ZipPackage() = default;

void ZipPackage::indexNames()
{
    const zip_int64_t count = zip_get_num_entries(m_zip.get(), 0);
    m_names.reserve(std::size_t(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *stored = zip_get_name(m_zip.get(), zip_uint64_t(i), ZIP_FL_ENC_RAW);
        std::string name = stored ? stored : "";
        std::ranges::replace(name, '\\', '/');
        std::string key = name;
        AsciiLower(key);
        // Part names differ by more than ASCII case, but a package that holds one name twice
        // has no one part of that name to read.
        const auto [place, added] = m_index.emplace(std::move(key), std::uint64_t(i));
        if (!added && m_names[std::size_t(place->second)] == name)
            raise("its package holds two entries named " + name);
        m_names.push_back(std::move(name));
    }
}

void ZipPackage::raise(const std::string &what) const
{
    throw Damaged(what);
}

std::optional<std::uint64_t> ZipPackage::find(std::string_view name) const
{
    std::string key(name);
    AsciiLower(key);
    const auto found = m_index.find(key);
    if (found == m_index.end())
        return std::nullopt;
    return found->second;
}

std::uint64_t ZipPackage::inflateLimit(std::uint64_t entry) const
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip.get(), entry, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_COMP_SIZE))
        return SmallestLimit;
    return std::min(LargestLimit, std::max(SmallestLimit, stat.comp_size * LargestRatio));
}

std::uint64_t ZipPackage::inflatedSize(std::uint64_t entry) const
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip.get(), entry, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
        return 0;
    return stat.size;
}

void ZipPackage::read(std::uint64_t entry,
                      const std::function<void(std::span<const char>)> &consume,
                      const ReadControl &control, std::uint64_t limit) const
{
    if (limit == 0)
        limit = inflateLimit(entry);
    const std::string part = entry < m_names.size() ? m_names[std::size_t(entry)] : "?";
    zip_stat_t stat;
    zip_stat_init(&stat);
    constexpr zip_uint64_t Needed =
        ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD | ZIP_STAT_SIZE | ZIP_STAT_CRC;
    if (zip_stat_index(m_zip.get(), entry, 0, &stat) == 0 && (stat.valid & Needed) == Needed &&
        stat.comp_method == ZIP_CM_DEFLATE && stat.encryption_method == ZIP_EM_NONE) {
        inflate(entry, stat.size, stat.crc, part, consume, control, limit);
        return;
    }
    std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(m_zip.get(), entry, 0));
    if (!file)
        raise("its part " + part + " cannot be read (" + zip_strerror(m_zip.get()) + ")");
    std::vector<char> piece(PieceSize);
    std::uint64_t total = 0;
    for (;;) {
        control.stillWanted();
        const zip_int64_t n = zip_fread(file.get(), piece.data(), piece.size());
        if (n < 0) {
            const std::string what = zip_file_strerror(file.get());
            raise("its part " + part + " cannot be read (" + what + ")");
        }
        if (n == 0)
            break;
        total += std::uint64_t(n);
        if (total > limit)
            raise("its part " + part + " inflates to more than " + std::to_string(limit >> 20) +
                  " MiB");
        consume(std::span<const char>(piece.data(), std::size_t(n)));
    }
    // Entries read this way (stored, or compressed in a rarer way) are passed once read whole.
    passed(entry, std::numeric_limits<std::uint64_t>::max(), control);
}

void ZipPackage::inflate(std::uint64_t entry, std::uint64_t size, std::uint32_t crc,
                         const std::string &part,
                         const std::function<void(std::span<const char>)> &consume,
                         const ReadControl &control, std::uint64_t limit) const
{
    // libzip hands over the entry's deflate stream as stored, and ISA-L inflates it three to
    // four times as fast as zlib, which libzip uses (bench/README.md): the checks libzip would
    // make, the size, the CRC and the limit, are made here.
    std::unique_ptr<zip_file_t, FileCloser> file(
        zip_fopen_index(m_zip.get(), entry, ZIP_FL_COMPRESSED));
    if (!file)
        raise("its part " + part + " cannot be read (" + zip_strerror(m_zip.get()) + ")");
    std::vector<std::uint8_t> compressed(PieceSize);
    std::vector<char> piece(PieceSize);
    auto state = std::make_unique<inflate_state>();
    isal_inflate_init(state.get());
    state->crc_flag = ISAL_DEFLATE;
    bool endOfInput = false;
    std::uint64_t total = 0;
    std::uint64_t fed = 0;
    std::uint64_t handedBack = 0;
    std::uint32_t sum = 0;
    while (state->block_state != ISAL_BLOCK_FINISH) {
        control.stillWanted();
        if (state->avail_in == 0 && !endOfInput) {
            // All that was fed is inflated: what lies before it is never read again.
            if (fed - handedBack >= PassedStep) {
                passed(entry, fed, control);
                handedBack = fed;
            }
            const zip_int64_t n = zip_fread(file.get(), compressed.data(), compressed.size());
            if (n < 0)
                raise("its part " + part + " cannot be read (" + zip_file_strerror(file.get()) +
                      ")");
            endOfInput = n == 0;
            fed += std::uint64_t(n);
            state->next_in = compressed.data();
            state->avail_in = std::uint32_t(n);
        }
        state->next_out = reinterpret_cast<std::uint8_t *>(piece.data());
        state->avail_out = std::uint32_t(piece.size());
        if (isal_inflate(state.get()) < 0)
            raise("its part " + part + " cannot be read (its compressed data is damaged)");
        const std::size_t produced = piece.size() - state->avail_out;
        if (produced == 0 && endOfInput && state->block_state != ISAL_BLOCK_FINISH)
            raise("its part " + part + " cannot be read (its compressed data is cut short)");
        total += produced;
        if (total > limit)
            raise("its part " + part + " inflates to more than " + std::to_string(limit >> 20) +
                  " MiB");
        if (produced == 0)
            continue;
        sum = crc32_gzip_refl(sum, reinterpret_cast<const std::uint8_t *>(piece.data()), produced);
        consume(std::span<const char>(piece.data(), produced));
    }
    if (total != size || sum != crc)
        raise("its part " + part + " cannot be read (CRC error)");
    passed(entry, fed, control);
}

void ZipPackage::passed(std::uint64_t entry, std::uint64_t consumed,
                        const ReadControl &control) const
{
    if (entry >= m_stored.size())
        return;
    const StoredData &stored = m_stored[std::size_t(entry)];
    const std::uint64_t upTo = stored.begin + std::min(consumed, stored.end - stored.begin);
    control.passed(m_bytes.data() + stored.begin, m_bytes.data() + upTo);
}

QByteArray ZipPackage::readAll(std::uint64_t entry, std::uint64_t limit) const
{
    QByteArray bytes;
    read(
        entry,
        [&bytes](std::span<const char> piece) {
            bytes.append(piece.data(), qsizetype(piece.size()));
        },
        {}, limit);
    return bytes;
}
