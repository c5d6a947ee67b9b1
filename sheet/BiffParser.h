#pragma once

#include "sheet/CodePageDecoder.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class Workbook;
class Worksheet;

// Reads the records of a workbook stream (BIFF2 to BIFF8) into a Workbook: the global records
// (code page, date system, formats, cell styles, sheet list, shared strings) and then the
// cells of every worksheet. Every length and offset is checked against the stream; the work
// is bounded by the stream's size.
class BiffParser
{
public:
    // Told, every 256 KiB or so, how far the records have been read: the place in `stream`
    // before which nothing is needed again (a hostile file may still make the parser look
    // back, so the bytes must stay readable).
    using Progress = std::function<void(const std::uint8_t *readUpTo)>;

    BiffParser(std::span<const std::uint8_t> stream, Workbook &book, Progress progress = {});

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
    // Reports `pos` to the progress callback once it has moved on far enough.
    void passed(std::size_t pos);
    std::vector<std::span<const std::uint8_t>> withContinues(const Record &first,
                                                             std::size_t &pos) const;
    void readBof(const Record &record);
    void parseGlobals(std::size_t &pos);
    // Reads one sheet's records from a BOF at `pos` to its EOF (or the end of the stream).
    void parseSheet(std::size_t pos, Worksheet *sheet, bool withGlobals);
    bool globalRecord(const Record &record, std::size_t &pos);
    void cellRecord(const Record &record, std::size_t &pos, Worksheet &sheet);
    void readSharedStrings(const Record &record, std::size_t &pos);
    void readFormat(const Record &record);
    void readXf(const Record &record);
    void readSheetEntry(const Record &record);
    void finishFormats();

    std::uint32_t appendText8(const std::uint8_t *text, std::size_t size);

    std::span<const std::uint8_t> m_stream;
    Workbook &m_book;
    Progress m_progress;
    std::size_t m_reportAt = 0;
    int m_biff = 8;
    CodePageDecoder m_decoder;
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
