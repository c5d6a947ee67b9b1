#pragma once

#include "sheet/model/StringTable.h"

#include <cstdint>
#include <vector>

// Turns 8-bit text of the old workbook formats into UTF-16 with the workbook's code page (the
// CODEPAGE record) or of a text file. Windows-1251 and -1252, IBM 866, KOI8-R and -U, ISO 8859-5,
// Mac Cyrillic and Mac Roman have tables of their own; UTF-8 is decoded as such; any other code
// page reads as Latin-1, which keeps ASCII right and never fails.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(int codePage = 1252);

    int codePage() const { return m_codePage; }
    // Characters 0x80..0xFF of a code page with a table of its own; null for any other.
    static const char16_t *upperHalf(int codePage);
    void append(StringTable::Buffer &out, const std::uint8_t *text, std::size_t size) const;

private:
    int m_codePage;
    const char16_t *m_upperHalf; // characters 0x80..0xFF, or null for Latin-1
};
