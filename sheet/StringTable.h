#pragma once

#include "platform/LargePages.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

// All the texts of a workbook's cells in one UTF-16 buffer, addressed by number: the shared
// string table first, then the texts that cells hold themselves. One allocation for all of
// them instead of one per string; a QString is made only when a cell is read.
class StringTable
{
public:
    using Buffer = std::vector<char16_t, LargePageAllocator<char16_t>>;

    StringTable() { m_ends.reserve(64); }

    void reserve(std::size_t strings, std::size_t chars)
    {
        m_ends.reserve(strings);
        m_chars.reserve(chars);
    }

    // The buffer the next string is appended to; close it with finish().
    Buffer &buffer() { return m_chars; }
    // Ends the string appended since the previous finish() and returns its number.
    std::uint32_t finish()
    {
        m_ends.push_back(m_chars.size());
        return static_cast<std::uint32_t>(m_ends.size() - 1);
    }
    // Drops the characters appended since the last finish().
    void discard() { m_chars.resize(m_ends.empty() ? 0 : m_ends.back()); }

    std::size_t size() const { return m_ends.size(); }

    QString text(std::uint32_t index) const { return view(index).toString(); }

    // Valid as long as the table is not appended to.
    QStringView view(std::uint32_t index) const
    {
        if (index >= m_ends.size())
            return QStringView();
        const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
        return QStringView(m_chars.data() + begin, static_cast<qsizetype>(m_ends[index] - begin));
    }

private:
    Buffer m_chars;
    std::vector<std::size_t, LargePageAllocator<std::size_t>> m_ends;
};
