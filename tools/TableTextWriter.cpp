#include "tools/TableTextWriter.h"

#include <QIODevice>
#include <algorithm>

namespace {

// Records are gathered up to about this many bytes before they are written: big enough that a
// write is not made per record, small enough to stay in the cache.
constexpr qsizetype BatchBytes = 64 * 1024;

} // namespace

TableTextWriter::TableTextWriter(TableTextFormat format, QIODevice &out)
    : m_format(format)
    , m_out(out)
    , m_batch(std::make_unique_for_overwrite<char[]>(2 * BatchBytes))
    , m_capacity(2 * BatchBytes)
{
}

void TableTextWriter::ClearGrid()
{
    m_used = 0;
    m_row = m_col = 0;
    m_complete = false;
}

void TableTextWriter::SetColCount(int count)
{
    m_colCount = std::max(count, 1);
}

void TableTextWriter::SetRowCount(int count)
{
    m_rowCount = std::max(count, 1);
}

void TableTextWriter::beginFill()
{
    if (m_depth++ == 0) {
        m_row = m_col = 0;
        m_complete = false;
    }
}

void TableTextWriter::endFill()
{
    if (m_depth == 0 || --m_depth > 0)
        return;
    while (m_row < m_rowCount)
        writeField(QStringView());
    flush();
    m_complete = true;
}

void TableTextWriter::SetCells(int col, int row, QStringView text)
{
    // The import's case: the very next cell.
    if (col == m_col && row == m_row && m_depth > 0 && row < m_rowCount) {
        writeField(text);
        return;
    }
    if (m_depth == 0 || col < 0 || col >= m_colCount || row < 0 || row >= m_rowCount)
        return;
    if (row < m_row || (row == m_row && col < m_col))
        return;
    while (m_row < row || m_col < col)
        writeField(QStringView());
    writeField(text);
}

char *TableTextWriter::room(qsizetype bytes)
{
    if (m_capacity - m_used < bytes) {
        flush();
        // Only a field longer than a batch needs more.
        if (m_capacity < bytes) {
            m_batch = std::make_unique_for_overwrite<char[]>(size_t(bytes));
            m_capacity = bytes;
        }
    }
    return m_batch.get() + m_used;
}

void TableTextWriter::writeField(QStringView text)
{
    const bool csv = m_format == TableTextFormat::Csv;
    // A separator before, a record end (at most two bytes) after.
    const qsizetype most = maxFieldBytes(text.size()) + 3;
    // Checked here first: room() is a call, and this runs for every cell.
    char *to = m_capacity - m_used >= most ? m_batch.get() + m_used : room(most);
    if (m_col > 0)
        *to++ = csv ? ',' : '\t';
    to = encodeField(to, text, m_format);
    if (++m_col == m_colCount) {
        if (csv)
            *to++ = '\r';
        *to++ = '\n';
        m_col = 0;
        ++m_row;
        m_used = to - m_batch.get();
        if (m_used >= BatchBytes)
            flush();
        return;
    }
    m_used = to - m_batch.get();
}

void TableTextWriter::flush()
{
    if (!m_failed && m_used > 0 && m_out.write(m_batch.get(), m_used) != m_used)
        m_failed = true;
    m_used = 0;
}
