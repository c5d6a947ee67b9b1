#pragma once

#include <cstdint>

// The record numbers of the BIFF workbook stream that the reader knows. The BIFF2-4 variants
// of a record carry the older number.
namespace BiffRecord {
enum : std::uint16_t {
    Blank2 = 0x0001,
    Integer2 = 0x0002,
    Number2 = 0x0003,
    Label2 = 0x0004,
    BoolErr2 = 0x0005,
    Formula = 0x0006,
    String2 = 0x0007,
    Bof2 = 0x0009,
    Eof = 0x000A,
    Format2 = 0x001E,
    Array2 = 0x0021,
    DateMode = 0x0022,
    FilePass = 0x002F,
    Continue = 0x003C,
    CodePage = 0x0042,
    Xf2 = 0x0043,
    BoundSheet = 0x0085,
    MulRk = 0x00BD,
    MulBlank = 0x00BE,
    RString = 0x00D6,
    Xf = 0x00E0,
    InterfaceHdr = 0x00E1,
    Sst = 0x00FC,
    LabelSst = 0x00FD,
    RrdHead = 0x0138,
    UsrExcl = 0x0194,
    FileLock = 0x0195,
    RrdInfo = 0x0196,
    Dimensions = 0x0200,
    Blank = 0x0201,
    Number = 0x0203,
    Label = 0x0204,
    BoolErr = 0x0205,
    Formula3 = 0x0206,
    String = 0x0207,
    Bof3 = 0x0209,
    Array = 0x0221,
    Table = 0x0236,
    Xf3 = 0x0243,
    Rk = 0x027E,
    Formula4 = 0x0406,
    Bof4 = 0x0409,
    Format = 0x041E,
    Xf4 = 0x0443,
    SharedFormula = 0x04BC,
    Bof = 0x0809,
};
} // namespace BiffRecord

// The substream types a beginning-of-file record names.
namespace BiffSubstream {
enum : std::uint16_t {
    Globals = 0x0005,
    Worksheet = 0x0010,
    Workspace = 0x0100,
};
} // namespace BiffSubstream
