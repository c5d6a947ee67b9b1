#include "app/core/ResultTable.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace {

using Chunks = std::vector<std::unique_ptr<char[]>>;

// Calls piece(chunk, at, count) for each stretch of [offset, offset + length) bytes that lies
// in one chunk.
template<typename Piece>
void ForEachPiece(std::size_t offset, std::size_t length, std::size_t shift, Piece piece)
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
void AppendBytes(Chunks &chunks, std::size_t &used, const char *from, std::size_t size,
                 std::size_t shift)
{
    ForEachPiece(used, size, shift, [&](std::size_t chunk, std::size_t at, std::size_t count) {
        if (chunk == chunks.size())
            chunks.push_back(std::make_unique_for_overwrite<char[]>(std::size_t(1) << shift));
        std::memcpy(chunks[chunk].get() + at, from, count);
        from += count;
    });
    used += size;
}

void CopyBytes(const Chunks &chunks, std::size_t offset, std::size_t size, char *to,
               std::size_t shift)
{
    ForEachPiece(offset, size, shift, [&](std::size_t chunk, std::size_t at, std::size_t count) {
        std::memcpy(to, chunks[chunk].get() + at, count);
        to += count;
    });
}

// Writes the text one byte a character and tells whether that was all of it, that is, whether
// it is Latin-1; if not, what was written is of no use. One pass: most texts are Latin-1, and
// the test costs as much as the copy.
bool NarrowIfLatin1(const char16_t *__restrict from, std::size_t length, char *__restrict to)
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

void Widen(const char *from, std::size_t length, char16_t *to)
{
    for (std::size_t i = 0; i < length; ++i)
        to[i] = char16_t(static_cast<unsigned char>(from[i]));
}

} // namespace

ResultTable::ResultTable(QObject *parent)
    : QAbstractTableModel(parent)
    , m_cells(static_cast<std::size_t>(m_colCount) * m_rowCount)
    , m_colWidths(m_colCount, DefaultColWidth)
    , m_rowHeights(m_rowCount, DefaultRowHeight)
{
}

void ResultTable::SetColCount(int count)
{
    count = std::max(count, 1);
    if (count == m_colCount)
        return;
    if (m_col >= count)
        moveCurrent(count - 1, m_row);

    // Cells are stored row by row, so a new column count means a new layout.
    std::vector<Span> cells(static_cast<std::size_t>(count) * m_rowCount);
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

    const bool grows = count > m_colCount;
    if (grows)
        beginInsertColumns({}, m_colCount, count - 1);
    else
        beginRemoveColumns({}, count, m_colCount - 1);
    m_cells = std::move(cells);
    m_colWidths.resize(count, DefaultColWidth);
    m_colCount = count;
    compactArenaIfWasteful();
    if (grows)
        endInsertColumns();
    else
        endRemoveColumns();
}

void ResultTable::SetRowCount(int count)
{
    count = std::max(count, 1);
    if (count == m_rowCount)
        return;
    // There must always be a row that scrolls; once the header has had to give way it stays
    // an ordinary row.
    if (count <= m_fixedRows) {
        m_fixedRows = count - 1;
        Q_EMIT fixedRowsChanged(m_fixedRows);
    }
    // The current cell leaves the rows about to go before they go, so a view never has to
    // find a new one of its own.
    if (m_row >= count)
        moveCurrent(m_col, count - 1);

    const bool grows = count > m_rowCount;
    if (grows)
        beginInsertRows({}, m_rowCount, count - 1);
    else
        beginRemoveRows({}, count, m_rowCount - 1);
    dropCells(static_cast<std::size_t>(m_colCount) * count);
    m_cells.resize(static_cast<std::size_t>(m_colCount) * count);
    compactArenaIfWasteful();
    m_rowHeights.resize(count, DefaultRowHeight);
    m_rowCount = count;
    if (grows)
        endInsertRows();
    else
        endRemoveRows();
}

QString ResultTable::Cells(int col, int row) const
{
    QString text;
    if (isCell(col, row) && m_cells[static_cast<std::size_t>(row) * m_colCount + col].length() > 0)
        CellsInto(col, row, text);
    return text;
}

void ResultTable::CellsInto(int col, int row, QString &text) const
{
    const Span cell =
        isCell(col, row) ? m_cells[static_cast<std::size_t>(row) * m_colCount + col] : Span();
    if (cell.length() == 0) {
        if (!text.isEmpty())
            text.resize(0); // the buffer stays for the next cell
        return;
    }
    text.resize(qsizetype(cell.length()));
    auto *to = reinterpret_cast<char16_t *>(text.data());
    if (cell.wide()) {
        CopyBytes(m_chunks, cell.offset, cell.bytes(), reinterpret_cast<char *>(to), ChunkShift);
        return;
    }
    ForEachPiece(cell.offset, cell.bytes(), ChunkShift,
                 [&](std::size_t chunk, std::size_t at, std::size_t count) {
                     Widen(m_chunks[chunk].get() + at, count, to);
                     to += count;
                 });
}

void ResultTable::SetCells(int col, int row, const QString &text)
{
    SetCells(col, row, QStringView(text));
}

void ResultTable::SetCells(int col, int row, QString &&text)
{
    SetCells(col, row, QStringView(text));
}

void ResultTable::SetCells(int col, int row, QStringView text)
{
    if (!isCell(col, row))
        return;
    // The import's case, a million times per refresh: a blank cell of a bulk fill gets a short
    // text that fits in the chunk being filled. Nothing becomes garbage and nothing is told.
    Span &cell = span(col, row);
    const auto length = std::size_t(text.size());
    const std::size_t at = m_arenaUsed & (ChunkBytes - 1);
    if (cell.length() == 0 && m_fillDepth > 0 && 2 * length <= ChunkBytes - at &&
        (m_arenaUsed >> ChunkShift) < m_chunks.size() &&
        2 * length <= std::numeric_limits<std::uint32_t>::max() - m_arenaUsed) {
        m_filledSomething = true;
        if (length == 0)
            return;
        // Room for the text as UTF-16 is there: tried one byte a character first.
        char *to = m_chunks[m_arenaUsed >> ChunkShift].get() + at;
        const bool wide = !NarrowIfLatin1(text.utf16(), length, to);
        if (wide)
            std::memcpy(to, text.utf16(), 2 * length);
        cell = Span::of(std::uint32_t(m_arenaUsed), length, wide);
        m_arenaUsed += cell.bytes();
        return;
    }
    storeCell(col, row, text);
    cellChanged(col, row);
}

void ResultTable::storeCell(int col, int row, QStringView text)
{
    Span &cell = span(col, row);
    m_arenaGarbage += cell.bytes();
    cell = Span();
    if (!text.isEmpty()) {
        constexpr std::size_t Limit = std::numeric_limits<std::uint32_t>::max();
        const auto length = std::size_t(text.size());
        std::string narrow(length, '\0');
        const bool wide = !NarrowIfLatin1(text.utf16(), length, narrow.data());
        const std::size_t size = wide ? 2 * length : length;
        if (size > Limit - m_arenaUsed)
            compactArena();
        // Offsets are 32-bit and lengths 31-bit: far beyond any table a snapshot can hold, but
        // a table that would overflow them is refused rather than corrupted.
        if (size > Limit - m_arenaUsed || length > Span::LengthMask)
            throw std::bad_alloc();
        const auto offset = std::uint32_t(m_arenaUsed);
        AppendBytes(m_chunks, m_arenaUsed,
                    wide ? reinterpret_cast<const char *>(text.utf16()) : narrow.data(), size,
                    ChunkShift);
        // `cell` may have moved if compactArena ran: look it up again.
        span(col, row) = Span::of(offset, length, wide);
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
        ForEachPiece(cell.offset, cell.bytes(), ChunkShift,
                     [&](std::size_t chunk, std::size_t at, std::size_t count) {
                         AppendBytes(chunks, used, m_chunks[chunk].get() + at, count, ChunkShift);
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

void ResultTable::cellChanged(int col, int row)
{
    if (m_fillDepth > 0) {
        m_filledSomething = true;
        return;
    }
    const QModelIndex cell = index(row, col);
    Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole});
}

namespace {

int sizeAt(const std::vector<int> &sizes, int at)
{
    return at >= 0 && at < static_cast<int>(sizes.size()) ? sizes[at] : 0;
}

// False when `at` is out of range or the size is already `size`.
bool setSizeAt(std::vector<int> &sizes, int at, int size)
{
    if (at < 0 || at >= static_cast<int>(sizes.size()))
        return false;
    size = std::max(size, 0);
    if (sizes[at] == size)
        return false;
    sizes[at] = size;
    return true;
}

} // namespace

int ResultTable::ColWidths(int col) const
{
    return sizeAt(m_colWidths, col);
}

void ResultTable::SetColWidths(int col, int width)
{
    if (setSizeAt(m_colWidths, col, width))
        Q_EMIT colWidthChanged(col, m_colWidths[col]);
}

int ResultTable::RowHeights(int row) const
{
    return sizeAt(m_rowHeights, row);
}

void ResultTable::SetRowHeights(int row, int height)
{
    if (setSizeAt(m_rowHeights, row, height))
        Q_EMIT rowHeightChanged(row, m_rowHeights[row]);
}

void ResultTable::SetCol(int col)
{
    moveCurrent(col, m_row);
}

void ResultTable::SetRow(int row)
{
    moveCurrent(m_col, row);
}

void ResultTable::moveCurrent(int col, int row)
{
    col = std::clamp(col, 0, m_colCount - 1);
    row = std::clamp(row, m_fixedRows, m_rowCount - 1);
    if (col == m_col && row == m_row)
        return;
    m_col = col;
    m_row = row;
    Q_EMIT currentCellChanged(m_col, m_row);
}

void ResultTable::ClearGrid()
{
    SetRowCount(2);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < m_colCount; ++col)
            storeCell(col, row, QStringView());
    }
    if (m_fillDepth > 0)
        m_filledSomething = true;
    else
        emitAllChanged();
    for (int col = 0; col < m_colCount; ++col)
        SetColWidths(col, DefaultColWidth);
}

void ResultTable::ApplyHeaderHeightRule()
{
    SetRowHeights(0, RowHeights(0) * 3 / 2);
}

void ResultTable::BeginFill()
{
    ++m_fillDepth;
}

void ResultTable::EndFill()
{
    if (m_fillDepth == 0 || --m_fillDepth > 0)
        return;
    if (m_filledSomething) {
        m_filledSomething = false;
        emitAllChanged();
    }
}

void ResultTable::emitAllChanged()
{
    Q_EMIT dataChanged(index(0, 0), index(m_rowCount - 1, m_colCount - 1), {Qt::DisplayRole});
}

int ResultTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int ResultTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_colCount;
}

QVariant ResultTable::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return Cells(index.column(), index.row());
}

Qt::ItemFlags ResultTable::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Fixed cells are headings, not data: they cannot be selected or become current.
    if (index.row() < m_fixedRows)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
