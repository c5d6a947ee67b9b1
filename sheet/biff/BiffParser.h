#pragma once

#include "sheet/biff/BiffDecryption.h"
#include "sheet/model/ReadControl.h"
#include "sheet/model/TextDecoder.h"
#include "sheet/model/Worksheet.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

class Workbook;

// Reads the records of a workbook stream (BIFF2 to BIFF8) into a Workbook: the global records
// (code page, date system, formats, cell styles, sheet list, shared strings) and then the
// cells of every worksheet. Every length and offset is checked against the stream; the work
// is bounded by the stream's size.
class BiffParser
{
public:
    // `control` learns every 256 KiB or so how far the records have been read. An encrypted
    // stream is read with `password`, or refused as password-protected when that is not its
    // password.
    BiffParser(std::span<const std::uint8_t> stream, Workbook &book,
               const ReadControl &control = {},
               QStringView password = BiffDecryption::DefaultPassword);

    // Whether the bytes begin with a beginning-of-file record, as plain BIFF2-4 files do.
    static bool startsWithBof(std::span<const std::uint8_t> data);

    void parse();

private:
    struct Record
    {
        std::uint16_t id = 0;
        std::span<const std::uint8_t> data;
    };

    bool next(std::size_t &pos, Record &record) const;
    // Reports `pos` to the read control once it has moved on far enough.
    void passed(std::size_t pos);
    std::vector<std::span<const std::uint8_t>> withContinues(const Record &first,
                                                             std::size_t &pos) const;
    void readBof(const Record &record);
    // Decrypts the rest of the stream into a copy of it, which the parse goes on in.
    void readFilePass(const Record &record, std::size_t pos);
    void parseGlobals(std::size_t &pos);
    // Reads one sheet's records from a BOF at `pos` to its EOF (or the end of the stream).
    void parseSheet(std::size_t pos, Worksheet &sheet, bool withGlobals);
    bool globalRecord(const Record &record, std::size_t &pos);
    void readSharedStrings(const Record &record, std::size_t &pos);
    void readFormat(const Record &record);
    void readXf(const Record &record);
    void readSheetEntry(const Record &record);
    void finishFormats();

    // The cell records, one function each.
    void cellRecord(const Record &record, std::size_t &pos, Worksheet &sheet);
    void readDimensions(const Record &record, std::size_t pos, Worksheet &sheet);
    void readNumber(const Record &record, Worksheet &sheet);
    void readInteger(const Record &record, Worksheet &sheet);
    void readRk(const Record &record, Worksheet &sheet);
    void readMulRk(const Record &record, Worksheet &sheet);
    void readBoolErr(const Record &record, Worksheet &sheet);
    void readLabelSst(const Record &record, Worksheet &sheet);
    void readLabel(const Record &record, Worksheet &sheet);
    void readFormula(const Record &record, Worksheet &sheet);
    void readFormulaString(const Record &record, std::size_t &pos, Worksheet &sheet);
    // The row, column and style every cell record starts with; raises WorkbookError when the
    // record is shorter than `recordSize`.
    Worksheet::Cell cellHeader(const Record &record, std::size_t recordSize,
                               Worksheet::Kind kind) const;
    std::size_t cellHeaderSize() const;

    std::uint32_t appendText8(const std::uint8_t *text, std::size_t size);
    // A cell's own text at `offset`: BIFF8's with its option byte, or 8-bit text in the code
    // page with a length of `lengthSize` bytes in front. Returns the string's number.
    std::uint32_t appendRecordText(std::span<const std::uint8_t> data, std::size_t offset,
                                   std::size_t lengthSize);

    std::span<const std::uint8_t> m_stream;
    // The stream as given: progress is reported in it, even once the parse reads a decrypted
    // copy.
    std::span<const std::uint8_t> m_input;
    QString m_password;
    std::vector<std::uint8_t> m_decrypted;
    Workbook &m_book;
    const ReadControl &m_control;
    std::size_t m_reportAt = 0;
    int m_biff = 8;
    int m_codePage = 1252;
    TextDecoder m_decoder;
    std::uint32_t m_sharedCount = 0;
    QHash<int, QString> m_formats;
    int m_nextFormat = 0; // BIFF2-4 number their formats in order
    std::vector<int> m_xfFormat;
    struct SheetEntry
    {
        std::uint32_t offset;
        QString name;
    };
    std::vector<SheetEntry> m_entries;
    std::size_t m_sheetBytes = 0;
    std::size_t m_pendingFormula = SIZE_MAX;
};
