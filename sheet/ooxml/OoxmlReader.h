#pragma once

#include "sheet/model/ReadControl.h"

#include <cstdint>
#include <memory>
#include <span>

class Workbook;

// Reads an OOXML workbook package (.xlsx, .xlsm, .xltx, .xltm, .xlam; transitional or strict)
// into a Workbook: the workbook part found through the package's relationships, its
// worksheets in order (chart sheets, dialog sheets and macro sheets left out, hidden ones
// kept) through the workbook's relationships, the shared strings, the number formats of the
// cell styles and the date system. The shared strings are read on a second thread while the
// worksheets are read on the calling one.
class OoxmlReader
{
public:
    struct Options
    {
        bool fastScanner = true; // FastXmlScanner for the cells and the shared strings
        bool parallel = true;    // the shared strings on a thread of their own
    };

    // Whether the bytes are a ZIP package whose content types name a SpreadsheetML
    // workbook part, or one too damaged to open whose first entry is an OOXML package's (its
    // reading then says what is wrong).
    static bool recognizes(std::span<const std::uint8_t> bytes);

    // Raises WorkbookError: NotWorkbook for a package of another kind, Damaged for a damaged
    // one (a broken central directory, a CRC mismatch, a cut-off file, a missing part,
    // malformed XML, a document type declaration, a part inflating past its limit, a cell
    // outside the sheet); ReadCancelled when `control` calls the reading off.
    static std::shared_ptr<Workbook> read(std::span<const std::uint8_t> bytes,
                                          const ReadControl &control, Options options);
    static std::shared_ptr<Workbook> read(std::span<const std::uint8_t> bytes,
                                          const ReadControl &control);
};
