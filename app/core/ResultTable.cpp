#include "app/core/ResultTable.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>

namespace {

using Chunks = std::vector<std::unique_ptr<char[]>>;

// Offsets are 32-bit: far beyond any table a snapshot can hold, but a table that would
// overflow them is refused rather than corrupted.
constexpr std::size_t ArenaLimit = std::numeric_limits<std::uint32_t>::max();

// Calls piece(chunk, at, count) for each stretch of [offset, offset + length) bytes that lies
// in one chunk.
template<typename Piece>
void forEachPiece(std::size_t offset, std::size_t length, std::size_t shift, Piece piece)
{
    const std::size_t chunkBytes = std::size_t(1) << shift;
    while (length > 0) {
        const std::size_t at = offset & (chunkBytes - 1);
        const std::size_t count = std::min(length, chunkBytes - at);
        piece(offset >> shift, at, count);
        offset += count;
        length -= count;
    }
}

// Appends `size` bytes at `used` bytes into `chunks`, adding chunks as they fill up; a text
// may run on from one chunk into the next.
void appendBytes(Chunks &chunks, std::size_t &used, const char *from, std::size_t size,
                 std::size_t shift)
{
    forEachPiece(used, size, shift, [&](std::size_t chunk, std::size_t at, std::size_t count) {
        if (chunk == chunks.size())
            chunks.push_back(std::make_unique_for_overwrite<char[]>(std::size_t(1) << shift));
        std::memcpy(chunks[chunk].get() + at, from, count);
        from += count;
    });
    used += size;
}

void copyBytes(const Chunks &chunks, std::size_t offset, std::size_t size, char *to,
               std::size_t shift)
{
    forEachPiece(offset, size, shift, [&](std::size_t chunk, std::size_t at, std::size_t count) {
        std::memcpy(to, chunks[chunk].get() + at, count);
        to += count;
    });
}

// Writes the text one byte a character and tells whether that was all of it, that is, whether
// it is Latin-1; if not, what was written is of no use. One pass: most texts are Latin-1, and
// the test costs as much as the copy.
bool narrowIfLatin1(const char16_t *__restrict from, std::size_t length, char *__restrict to)
{
    char16_t all = 0;
    std::size_t i = 0;
    // Blocks of a fixed size, which the compiler turns into vector instructions at -O2.
    for (; i + 8 <= length; i += 8) {
        char16_t block = 0;
        for (std::size_t k = 0; k < 8; ++k) {
            block |= from[i + k];
            to[i + k] = char(from[i + k]);
        }
        all |= block;
    }
    for (; i < length; ++i) {
        all |= from[i];
        to[i] = char(from[i]);
    }
    return all < 0x100;
}

// Windows-1251 both ways: Cyrillic letters through a table of their block, the few other
// characters of the code page looked up one by one.
class Windows1251
{
public:
    Windows1251()
    {
        QStringDecoder decode("windows-1251", QStringDecoder::Flag::Stateless);
        for (int b = 0x80; b < 0x100; ++b) {
            const char byte = char(b);
            const QString one = decode(QByteArrayView(&byte, 1));
            // A byte the code page leaves unassigned stays its C1 control, as Windows has it.
            const char16_t c = one.size() == 1 && one[0] != QChar::ReplacementCharacter
                                   ? one[0].unicode()
                                   : char16_t(b);
            m_upperHalf[b - 0x80] = c;
            if (c >= CyrillicBlock && c < CyrillicBlock + 0x100)
                m_cyrillic[c - CyrillicBlock] = std::uint8_t(b);
            else
                m_others[m_otherCount++] = {c, std::uint8_t(b)};
        }
    }

    // 0 for a character the code page does not have.
    std::uint8_t byteOf(char16_t c) const
    {
        if (c < 0x80)
            return c == 0 ? 0 : std::uint8_t(c);
        if (c >= CyrillicBlock && c < CyrillicBlock + 0x100)
            return m_cyrillic[c - CyrillicBlock];
        for (int i = 0; i < m_otherCount; ++i) {
            if (m_others[i].c == c)
                return m_others[i].b;
        }
        return 0;
    }
    char16_t charOf(std::uint8_t b) const { return b < 0x80 ? b : m_upperHalf[b - 0x80]; }

private:
    static constexpr char16_t CyrillicBlock = 0x0400;
    struct Other
    {
        char16_t c;
        std::uint8_t b;
    };
    char16_t m_upperHalf[0x80] = {};
    std::uint8_t m_cyrillic[0x100] = {};
    Other m_others[0x80] = {};
    int m_otherCount = 0;
};

const Windows1251 &windows1251()
{
    static const Windows1251 codePage;
    return codePage;
}

// Writes the text in Windows-1251 and tells whether it all fits; if not, what was written is of
// no use. NUL is written as itself.
bool narrowIfWindows1251(const char16_t *__restrict from, std::size_t length, char *__restrict to)
{
    const Windows1251 &codePage = windows1251();
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = codePage.byteOf(from[i]);
        if (b == 0 && from[i] != 0)
            return false;
        to[i] = char(b);
    }
    return true;
}

// One byte a character where it can, two where it must; `to` has room for two.
ResultTable::Encoding narrowed(const char16_t *from, std::size_t length, char *to)
{
    if (narrowIfLatin1(from, length, to))
        return ResultTable::Encoding::Latin1;
    if (narrowIfWindows1251(from, length, to))
        return ResultTable::Encoding::Cyrillic;
    std::memcpy(to, from, 2 * length);
    return ResultTable::Encoding::Utf16;
}

void widen(const char *from, std::size_t length, char16_t *to, ResultTable::Encoding encoding)
{
    if (encoding == ResultTable::Encoding::Latin1) {
        for (std::size_t i = 0; i < length; ++i)
            to[i] = char16_t(static_cast<unsigned char>(from[i]));
        return;
    }
    const Windows1251 &codePage = windows1251();
    for (std::size_t i = 0; i < length; ++i)
        to[i] = codePage.charOf(static_cast<std::uint8_t>(from[i]));
}

} // namespace

ResultTable::ResultTable()
    : m_cells(static_cast<std::size_t>(m_colCount) * m_rowCount)
{
}

ResultTable::ResultTable(ResultTable &&other) noexcept
{
    *this = std::move(other);
}

ResultTable &ResultTable::operator=(ResultTable &&other) noexcept
{
    if (this == &other)
        return *this;
    m_colCount = other.m_colCount;
    m_rowCount = std::exchange(other.m_rowCount, 0);
    m_fixedRows = std::exchange(other.m_fixedRows, 0);
    m_cells = std::move(other.m_cells);
    m_chunks = std::move(other.m_chunks);
    m_arenaUsed = std::exchange(other.m_arenaUsed, 0);
    m_arenaGarbage = std::exchange(other.m_arenaGarbage, 0);
    other.m_cells.clear();
    other.m_chunks.clear();
    return *this;
}

ResultTable::~ResultTable() = default;

void ResultTable::SetColCount(int count)
{
    count = std::max(count, 1);
    if (count == m_colCount)
        return;
    // Cells are stored row by row, so a new column count means a new layout.
    ZeroedArray<Span> cells(static_cast<std::size_t>(count) * m_rowCount);
    const int kept = std::min(count, m_colCount);
    for (int row = 0; row < m_rowCount; ++row) {
        for (int col = 0; col < m_colCount; ++col) {
            const Span cell = span(col, row);
            if (col < kept)
                cells[static_cast<std::size_t>(row) * count + col] = cell;
            else
                m_arenaGarbage += cell.bytes();
        }
    }
    m_cells = std::move(cells);
    m_colCount = count;
    compactArenaIfWasteful();
}

void ResultTable::SetRowCount(int count)
{
    count = std::max(count, 1);
    if (count == m_rowCount)
        return;
    // There must always be a row that scrolls; once the header has had to give way it stays
    // an ordinary row.
    if (count <= m_fixedRows)
        m_fixedRows = count - 1;
    dropCells(static_cast<std::size_t>(m_colCount) * count);
    m_cells.resize(static_cast<std::size_t>(m_colCount) * count);
    m_rowCount = count;
    compactArenaIfWasteful();
}

void ResultTable::SetFixedRows(int rows)
{
    m_fixedRows = std::clamp(rows, 0, std::max(m_rowCount - 1, 0));
}

QString ResultTable::Cells(int col, int row) const
{
    QString text;
    if (holds(col, row) && span(col, row).length() > 0)
        cellTextInto(col, row, text);
    return text;
}

void ResultTable::cellTextInto(int col, int row, QString &text) const
{
    const Span cell = holds(col, row) ? span(col, row) : Span();
    if (cell.length() == 0) {
        if (!text.isEmpty())
            text.resize(0); // the buffer stays for the next cell
        return;
    }
    text.resize(qsizetype(cell.length()));
    auto *to = reinterpret_cast<char16_t *>(text.data());
    if (cell.wide()) {
        copyBytes(m_chunks, cell.offset, cell.bytes(), reinterpret_cast<char *>(to), ChunkShift);
        return;
    }
    forEachPiece(cell.offset, cell.bytes(), ChunkShift,
                 [&](std::size_t chunk, std::size_t at, std::size_t count) {
                     widen(m_chunks[chunk].get() + at, count, to, cell.encoding());
                     to += count;
                 });
}

void ResultTable::SetCells(int col, int row, QStringView text)
{
    if (!holds(col, row))
        return;
    // The import's case, a million times per refresh: a blank cell gets a short text that fits
    // in the chunk being filled, and nothing becomes garbage.
    Span &cell = span(col, row);
    const auto length = std::size_t(text.size());
    const std::size_t at = m_arenaUsed & (ChunkBytes - 1);
    if (cell.length() == 0 && 2 * length <= ChunkBytes - at &&
        (m_arenaUsed >> ChunkShift) < m_chunks.size() && 2 * length <= ArenaLimit - m_arenaUsed) {
        if (length == 0)
            return;
        // Room for the text as UTF-16 is there: tried one byte a character first.
        char *to = m_chunks[m_arenaUsed >> ChunkShift].get() + at;
        cell = Span::of(std::uint32_t(m_arenaUsed), length, narrowed(text.utf16(), length, to));
        m_arenaUsed += cell.bytes();
        return;
    }
    storeCell(col, row, text);
}

void ResultTable::storeCell(int col, int row, QStringView text)
{
    Span &cell = span(col, row);
    m_arenaGarbage += cell.bytes();
    cell = Span();
    if (!text.isEmpty()) {
        const auto length = std::size_t(text.size());
        std::string narrow(2 * length, '\0');
        const Encoding encoding = narrowed(text.utf16(), length, narrow.data());
        const std::size_t size = encoding == Encoding::Utf16 ? 2 * length : length;
        if (size > ArenaLimit - m_arenaUsed)
            compactArena();
        // Lengths are 31-bit.
        if (size > ArenaLimit - m_arenaUsed || length > Span::LengthMask)
            throw std::bad_alloc();
        const auto offset = std::uint32_t(m_arenaUsed);
        appendBytes(m_chunks, m_arenaUsed, narrow.data(), size, ChunkShift);
        // `cell` may have moved if compactArena ran: look it up again.
        span(col, row) = Span::of(offset, length, encoding);
    }
    compactArenaIfWasteful();
}

void ResultTable::compactArena()
{
    Chunks chunks;
    std::size_t used = 0;
    for (Span &cell : m_cells) {
        if (cell.length() == 0)
            continue;
        const auto offset = std::uint32_t(used);
        // Piece by piece: a text can run on from one chunk into the next in either arena.
        forEachPiece(cell.offset, cell.bytes(), ChunkShift,
                     [&](std::size_t chunk, std::size_t at, std::size_t count) {
                         appendBytes(chunks, used, m_chunks[chunk].get() + at, count, ChunkShift);
                     });
        cell.offset = offset;
    }
    m_chunks = std::move(chunks);
    m_arenaUsed = used;
    m_arenaGarbage = 0;
}

void ResultTable::compactArenaIfWasteful()
{
    if (m_arenaGarbage == 0)
        return;
    if (m_arenaGarbage == m_arenaUsed) {
        // Nothing is live: start again at the front and keep the chunks for the next fill.
        m_arenaUsed = 0;
        m_arenaGarbage = 0;
        return;
    }
    // Below a chunk of text the garbage is not worth a copy.
    if (m_arenaGarbage > m_arenaUsed / 2 && m_arenaUsed >= ChunkBytes)
        compactArena();
}

void ResultTable::dropCells(std::size_t from)
{
    for (std::size_t i = from; i < m_cells.size(); ++i)
        m_arenaGarbage += m_cells[i].bytes();
}

void ResultTable::ClearGrid()
{
    SetRowCount(2);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < m_colCount; ++col)
            storeCell(col, row, QStringView());
    }
}
