#pragma once

#include "sheet/model/ReadControl.h"
#include "sheet/model/Worksheet.h"
#include "sheet/package/ZipPackage.h"
#include "sheet/xlsb/XlsbRecordStream.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class Workbook;
class PackageRelationships;

// Reads a binary workbook package (.xlsb) into a Workbook: the workbook part (sheet list, date
// system), the styles (number formats of the cell styles), the shared strings, then the cells
// of every worksheet, each part found through the relationships and streamed. Every record's
// length is checked against what it must hold; damage raises WorkbookError (Damaged).
class XlsbReader
{
public:
    XlsbReader(std::span<const std::uint8_t> bytes, Workbook &book, const ReadControl &control);

    void read();

private:
    using Data = std::span<const std::uint8_t>;
    struct SheetPart
    {
        QString name;
        std::string part;
    };

    [[noreturn]] void damaged(const char *what) const;
    // Streams the records of `part` to `consumer`.
    void readRecords(const std::string &part, const XlsbRecordStream::Consumer &consumer);

    void readWorkbookPart(const std::string &part);
    void readBundleSheet(Data data, const PackageRelationships &relationships);
    void readWorkbookProperties(Data data);

    void readStyles(const std::string &part);
    void readFormat(Data data);
    void readXf(Data data);

    void readSharedStrings(const std::string &part);
    void readSharedString(Data data);

    // The cell records of a worksheet part, one function each.
    void readSheet(const std::string &part, Worksheet &sheet);
    void sheetRecord(std::uint16_t id, Data data, Worksheet &sheet);
    void readRowHeader(Data data);
    // Each cell record's function gets the size of its column and style fields: 8 bytes, or 4
    // for a short record.
    void readBlank(Data data, std::size_t head);
    void readRk(Data data, std::size_t head, Worksheet &sheet);
    void readReal(Data data, std::size_t head, Worksheet &sheet);
    void readBoolean(Data data, std::size_t head, Worksheet &sheet);
    void readError(Data data, std::size_t head, Worksheet &sheet);
    void readSharedStringCell(Data data, std::size_t head, Worksheet &sheet);
    void readInlineString(Data data, std::size_t head, std::size_t flags, Worksheet &sheet);
    void readFormulaString(Data data, Worksheet &sheet);
    // The column (when `head` holds one; the one after the previous cell's otherwise) and the
    // style every cell record starts with, in the current row; raises WorkbookError when the
    // record is shorter than `recordSize`.
    Worksheet::Cell cellHeader(Data data, std::size_t head, std::size_t recordSize,
                               Worksheet::Kind kind);

    // Appends a text stored as a 32-bit character count and UTF-16 characters at `offset` to
    // the string table's buffer; returns the offset past it.
    std::size_t appendWideString(Data data, std::size_t offset);

    ZipPackage m_package;
    Workbook &m_book;
    const ReadControl &m_control;
    QString m_part; // the part being read, for messages
    std::vector<SheetPart> m_sheets;
    QHash<int, QString> m_formats;
    std::vector<int> m_xfFormat;
    bool m_inCellXfs = false;
    std::uint32_t m_sharedCount = 0;
    std::uint32_t m_row = 0;
    std::uint32_t m_nextColumn = 0;
    bool m_inRow = false;
};
