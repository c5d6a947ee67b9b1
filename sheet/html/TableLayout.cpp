#include "sheet/html/TableLayout.h"

#include "sheet/model/TextDecoder.h"

#include <algorithm>
#include <optional>

namespace {

// The rules for parsing non-negative integers: leading white space, an optional "+", digits.
std::optional<std::uint64_t> nonNegativeInteger(const char *value)
{
    if (!value)
        return std::nullopt;
    while (*value == ' ' || *value == '\t' || *value == '\n' || *value == '\r' || *value == '\f')
        ++value;
    if (*value == '+')
        ++value;
    if (*value < '0' || *value > '9')
        return std::nullopt;
    std::uint64_t number = 0;
    for (; *value >= '0' && *value <= '9'; ++value)
        number = std::min<std::uint64_t>(number * 10 + std::uint64_t(*value - '0'), UINT32_MAX);
    return number;
}

} // namespace

TableLayout::TableLayout(Workbook &book, Worksheet &sheet)
    : m_book(book)
    , m_sheet(sheet)
{
}

std::uint32_t TableLayout::colspanOf(const char *value)
{
    const std::optional<std::uint64_t> span = nonNegativeInteger(value);
    return span && *span > 0 ? std::uint32_t(std::min<std::uint64_t>(*span, 1000)) : 1;
}

std::uint32_t TableLayout::rowspanOf(const char *value)
{
    const std::optional<std::uint64_t> span = nonNegativeInteger(value);
    return span ? std::uint32_t(std::min<std::uint64_t>(*span, 65534)) : 1;
}

void TableLayout::beginRow()
{
    m_rowTaken = hasRoom();
    if (!m_rowTaken)
        return;
    m_row = m_nextRow++;
    m_column = 0;
}

void TableLayout::addCell(std::string_view text, std::uint32_t colspan, std::uint32_t rowspan)
{
    if (!m_rowTaken)
        return;
    while (m_column < m_spanEnds.size() && m_spanEnds[m_column] > m_row)
        ++m_column;
    if (m_column >= Worksheet::MaxColumns)
        return;
    if (!text.empty() && m_sheet.keepsColumn(m_column)) {
        StringTable &strings = m_book.strings();
        m_utf8.append(strings.buffer(), reinterpret_cast<const std::uint8_t *>(text.data()),
                      text.size());
        m_sheet.add(Worksheet::Cell::textAt(m_row, m_column, strings.finish()));
    }
    const std::uint32_t end = std::min<std::uint32_t>(m_column + colspan, Worksheet::MaxColumns);
    if (rowspan != 1) {
        const std::uint32_t spanEnd = rowspan == 0 ? ToGroupEnd : m_row + rowspan;
        if (m_spanEnds.size() < end)
            m_spanEnds.resize(end, 0);
        std::fill(m_spanEnds.begin() + m_column, m_spanEnds.begin() + end, spanEnd);
    }
    m_column = end;
}
