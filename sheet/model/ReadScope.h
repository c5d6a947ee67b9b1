#pragma once

#include <cstdint>

// What of a workbook its caller will look at: one worksheet or all of them, and of those the
// first columns or all. A reader may pass over the rest without reading it, so that damage
// there does not refuse the workbook and its cells cost no memory; the sheet list stays whole.
struct ReadScope
{
    int onlySheet = 0;   // 0: every worksheet; else the 1-based number of the one read
    int columnLimit = 0; // 0: every column; else how many columns, from the first, are read

    bool takesSheet(int number) const { return onlySheet <= 0 || number == onlySheet; }
    // The number of columns read, up to `largest`.
    std::uint32_t columnsOf(std::uint32_t largest) const
    {
        return columnLimit > 0 && std::uint32_t(columnLimit) < largest ? std::uint32_t(columnLimit)
                                                                       : largest;
    }
};
