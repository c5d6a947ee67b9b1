#pragma once

#include "platform/LargePages.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

// All the texts of a workbook's cells in one UTF-16 buffer: the shared string table first,
// then the texts that cells hold themselves. While the workbook is read a string is known by
// its number; once it is read, by its place, and the numbers' index goes. One allocation for
// all of them instead of one per string; a QString is made only when a cell is read.
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
    std::size_t charCount() const { return m_chars.size(); }

    struct Place
    {
        std::uint32_t begin;
        std::uint32_t length;
    };
    // Where string `index` is in chars(); {0, 0} for a number the table does not have.
    Place place(std::uint32_t index) const
    {
        if (index >= m_ends.size())
            return {0, 0};
        const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
        return {std::uint32_t(begin), std::uint32_t(m_ends[index] - begin)};
    }
    QStringView chars(Place place) const
    {
        return QStringView(m_chars.data() + place.begin, qsizetype(place.length));
    }
    // The numbers are not needed once every cell knows its place: their memory goes.
    void dropIndex() { m_ends = decltype(m_ends)(); }

private:
    Buffer m_chars;
    std::vector<std::size_t, LargePageAllocator<std::size_t>> m_ends;
};
