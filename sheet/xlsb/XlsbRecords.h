#pragma once

#include <cstdint>

// The record numbers of the binary workbook's parts that the reader knows.
namespace XlsbRecord {
enum : std::uint16_t {
    RowHdr = 0,
    CellBlank = 1,
    CellRk = 2,
    CellError = 3,
    CellBool = 4,
    CellReal = 5,
    CellSt = 6,
    CellIsst = 7,
    FmlaString = 8,
    FmlaNum = 9,
    FmlaBool = 10,
    FmlaError = 11,
    // The short cell records leave the column out: it is the one after the previous cell's.
    ShortBlank = 12,
    ShortRk = 13,
    ShortError = 14,
    ShortBool = 15,
    ShortReal = 16,
    ShortSt = 17,
    ShortIsst = 18,
    SstItem = 19,
    Fmt = 44,
    Xf = 47,
    CellRString = 62,
    BeginSheetData = 145,
    EndSheetData = 146,
    WbProp = 153,
    BundleSh = 156,
    BeginSst = 159,
    BeginCellXfs = 617,
    EndCellXfs = 618,
};
} // namespace XlsbRecord
