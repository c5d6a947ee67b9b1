#pragma once

#include "sheet/model/ReadControl.h"
#include "sheet/model/TextDecoder.h"
#include "sheet/model/Workbook.h"

#include <cstdint>
#include <type_traits>

// Turns the fields of delimited text into text cells of one worksheet, as they are written: no
// field is taken for a number or a date. An empty field is an empty cell; fields beyond the
// sheet's last column are dropped, and the reading stops at its last row; ="..." reads as the
// text in quotes. Bytes are decoded
// with the file's code page (UTF-8 or an 8-bit one), UTF-16 units taken as they are. A line end
// inside a quoted field is a line feed, as in the other formats' cells.
template<typename Unit>
class FieldCells
{
public:
    FieldCells(Workbook &book, Worksheet &sheet, const ReadControl &control,
               const TextDecoder &decoder)
        : m_strings(book.strings())
        , m_sheet(sheet)
        , m_control(control)
        , m_decoder(decoder)
    {
    }

    void piece(const Unit *begin, std::size_t count)
    {
        if (!m_sheet.keepsColumn(m_column))
            return;
        StringTable::Buffer &buffer = m_strings.buffer();
        if (!m_hasText)
            m_fieldStart = buffer.size();
        if constexpr (std::is_same_v<Unit, char16_t>)
            buffer.insert(buffer.end(), begin, begin + count);
        else
            m_decoder.append(buffer, begin, count);
        m_hasText = true;
    }

    void lineBreak()
    {
        if (!m_sheet.keepsColumn(m_column))
            return;
        if (!m_hasText)
            m_fieldStart = m_strings.buffer().size();
        m_strings.buffer().push_back(u'\n');
        m_hasText = true;
    }

    void endField()
    {
        if (!m_sheet.keepsColumn(m_column))
            return;
        if (m_hasText) {
            unwrapFormulaText(m_strings.buffer(), m_fieldStart);
            m_sheet.add(Worksheet::Cell::textAt(m_row, m_column, m_strings.finish()));
        }
        m_hasText = false;
        ++m_column;
    }

    bool endRecord(const Unit *next)
    {
        m_column = 0;
        ++m_row;
        if (m_row % 4096 == 0) {
            m_control.stillWanted();
            // Bytes are split where they lie in the input; UTF-16 is split from a copy.
            if constexpr (std::is_same_v<Unit, std::uint8_t>)
                m_control.passed(next);
        }
        return m_row < Worksheet::MaxRows;
    }

private:
    // ="0012", the way files written for spreadsheet programs keep a text from being read as a
    // number, is a formula whose value is the text: the field reads as that text, its doubled
    // quotes single. Anything else after "=" stays as written.
    static void unwrapFormulaText(StringTable::Buffer &buffer, std::size_t start)
    {
        const std::size_t end = buffer.size();
        if (end - start < 3 || buffer[start] != u'=' || buffer[start + 1] != u'"' ||
            buffer[end - 1] != u'"')
            return;
        for (std::size_t i = start + 2; i + 1 < end; ++i) {
            if (buffer[i] == u'"' && (i + 2 >= end || buffer[++i] != u'"'))
                return;
        }
        std::size_t to = start;
        for (std::size_t i = start + 2; i + 1 < end; ++i) {
            buffer[to++] = buffer[i];
            i += buffer[i] == u'"';
        }
        buffer.resize(to);
    }

    StringTable &m_strings;
    Worksheet &m_sheet;
    const ReadControl &m_control;
    const TextDecoder &m_decoder;
    std::uint32_t m_row = 0;
    std::uint32_t m_column = 0;
    std::size_t m_fieldStart = 0;
    bool m_hasText = false;
};
