#include "sheet/biff/BiffParser.h"

#include "sheet/biff/BiffRecords.h"
#include "sheet/model/RkNumber.h"
#include "sheet/model/ValueText.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "util/LittleEndian.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t MaxSheetRows = 65536;

WorkbookError damagedRecords(const char *what)
{
    return WorkbookError::damaged(QString::fromLatin1(what));
}

bool isBofId(std::uint16_t id)
{
    return id == BiffRecord::Bof || id == BiffRecord::Bof4 || id == BiffRecord::Bof3 ||
           id == BiffRecord::Bof2;
}

// Reads a record and its CONTINUE records as one sequence. Texts that cross from one record
// into the next restart there with an option byte that says whether the rest of the characters
// are 8-bit or 16-bit; everything else simply runs on.
class ContinuedCursor
{
public:
    explicit ContinuedCursor(std::span<const std::span<const std::uint8_t>> segments)
        : m_segments(segments)
    {
    }
    explicit ContinuedCursor(std::span<const std::uint8_t> only)
        : m_only(only)
        , m_segments(&m_only, 1)
    {
    }
    ContinuedCursor(const ContinuedCursor &) = delete;
    ContinuedCursor &operator=(const ContinuedCursor &) = delete;

    bool atEnd()
    {
        skipEmpty();
        return m_segment >= m_segments.size();
    }

    std::uint8_t u8()
    {
        std::uint8_t b[1];
        read(b, 1);
        return b[0];
    }
    std::uint16_t u16()
    {
        std::uint8_t b[2];
        read(b, 2);
        return loadU16(b);
    }
    std::uint32_t u32()
    {
        std::uint8_t b[4];
        read(b, 4);
        return loadU32(b);
    }

    void read(std::uint8_t *out, std::size_t n)
    {
        while (n > 0) {
            skipEmpty();
            if (m_segment >= m_segments.size())
                throw damagedRecords("a text runs past the end of its record");
            const auto &seg = m_segments[m_segment];
            const std::size_t k = std::min(n, seg.size() - m_pos);
            if (out) {
                std::memcpy(out, seg.data() + m_pos, k);
                out += k;
            }
            m_pos += k;
            n -= k;
        }
    }

    void skip(std::size_t n) { read(nullptr, n); }

    // Appends `count` characters, 16-bit when `wide` and 8-bit (Latin-1) otherwise.
    void chars(std::size_t count, bool wide, StringTable::Buffer &out)
    {
        while (count > 0) {
            if (m_segment >= m_segments.size())
                throw damagedRecords("a text runs past the end of its record");
            const auto &seg = m_segments[m_segment];
            const std::size_t width = wide ? 2 : 1;
            const std::size_t available = (seg.size() - m_pos) / width;
            if (available == 0) {
                // The text goes on in the next record, which starts with its own option byte.
                ++m_segment;
                m_pos = 0;
                if (m_segment >= m_segments.size() || m_segments[m_segment].empty())
                    throw damagedRecords("a text runs past the end of its record");
                wide = m_segments[m_segment][0] & 1;
                m_pos = 1;
                continue;
            }
            const std::size_t n = std::min(count, available);
            const std::uint8_t *p = seg.data() + m_pos;
            const std::size_t start = out.size();
            out.resize(start + n);
            char16_t *dst = out.data() + start;
            if (wide && std::endian::native == std::endian::little) {
                // The file's UTF-16 is little-endian, as this machine's is.
                std::memcpy(dst, p, 2 * n);
            } else if (wide) {
                for (std::size_t i = 0; i < n; ++i)
                    dst[i] = char16_t(loadU16(p + 2 * i));
            } else {
                for (std::size_t i = 0; i < n; ++i)
                    dst[i] = char16_t(p[i]);
            }
            m_pos += n * width;
            count -= n;
        }
    }

    // A BIFF8 text: its length (8 or 16 bits), option byte, rich-text and phonetic headers,
    // characters, then the formatting runs and phonetic block, which are skipped.
    void unicodeText(bool shortLength, StringTable::Buffer &out)
    {
        const std::size_t count = shortLength ? u8() : u16();
        const std::uint8_t options = u8();
        const std::size_t runs = (options & 0x08) ? u16() : 0;
        const std::size_t phonetic = (options & 0x04) ? u32() : 0;
        chars(count, options & 0x01, out);
        skip(4 * runs);
        skip(phonetic);
    }

    // The same for the one text at the end of a record that is not a cell's, read as far as
    // the record goes: a writer that miscounted its length loses the characters it did not
    // write, not the workbook.
    void unicodeTextCut(bool shortLength, StringTable::Buffer &out)
    {
        const std::size_t lengthSize = shortLength ? 1 : 2;
        if (remaining() < lengthSize + 1)
            return;
        const std::size_t count = shortLength ? u8() : u16();
        const std::uint8_t options = u8();
        const std::size_t headers = ((options & 0x08) ? 2 : 0) + ((options & 0x04) ? 4 : 0);
        if (remaining() < headers)
            return;
        skip(headers);
        const bool wide = options & 0x01;
        chars(std::min(count, remaining() / (wide ? 2 : 1)), wide, out);
    }

private:
    std::size_t remaining() const
    {
        std::size_t bytes = 0;
        for (std::size_t i = m_segment; i < m_segments.size(); ++i)
            bytes += m_segments[i].size() - (i == m_segment ? m_pos : 0);
        return bytes;
    }

    void skipEmpty()
    {
        while (m_segment < m_segments.size() && m_pos >= m_segments[m_segment].size()) {
            ++m_segment;
            m_pos = 0;
        }
    }

    std::span<const std::uint8_t> m_only;
    std::span<const std::span<const std::uint8_t>> m_segments;
    std::size_t m_segment = 0;
    std::size_t m_pos = 0;
};

std::span<const std::uint8_t> from(std::span<const std::uint8_t> data, std::size_t offset)
{
    return data.subspan(std::min(offset, data.size()));
}

// An 8-bit text with its length in front (one or two bytes), checked against the record.
std::span<const std::uint8_t> text8(std::span<const std::uint8_t> data, std::size_t offset,
                                    std::size_t lengthSize)
{
    if (data.size() < offset + lengthSize)
        throw damagedRecords("a text runs past the end of its record");
    const std::size_t count = lengthSize == 1 ? data[offset] : loadU16(data.data() + offset);
    if (data.size() - offset - lengthSize < count)
        throw damagedRecords("a text runs past the end of its record");
    return data.subspan(offset + lengthSize, count);
}

// The same for a text that is not a cell's, cut at the end of its record.
std::span<const std::uint8_t> text8Cut(std::span<const std::uint8_t> data, std::size_t offset)
{
    if (data.size() <= offset)
        return {};
    const std::size_t count = data[offset];
    return data.subspan(offset + 1, std::min(count, data.size() - offset - 1));
}

} // namespace

namespace {

constexpr std::size_t ProgressStep = std::size_t(256) << 10;

bool isFormulaRecord(std::uint16_t id)
{
    return id == BiffRecord::Formula || id == BiffRecord::Formula3 || id == BiffRecord::Formula4;
}

// Records that may come between a FORMULA and the STRING that holds its text: the shared
// formula, array and table the formula belongs to.
bool mayPrecedeFormulaText(std::uint16_t id)
{
    return id == BiffRecord::SharedFormula || id == BiffRecord::Array2 || id == BiffRecord::Array ||
           id == BiffRecord::Table;
}

} // namespace

BiffParser::BiffParser(std::span<const std::uint8_t> stream, Workbook &book,
                       const ReadControl &control, QStringView password)
    : m_stream(stream)
    , m_input(stream)
    , m_password(password.toString())
    , m_book(book)
    , m_control(control)
    , m_reportAt(ProgressStep)
{
}

void BiffParser::passed(std::size_t pos)
{
    if (pos < m_reportAt)
        return;
    m_control.stillWanted();
    m_control.passed(m_input.data() + pos);
    m_reportAt = pos + ProgressStep;
}

bool BiffParser::startsWithBof(std::span<const std::uint8_t> data)
{
    if (data.size() < 8)
        return false;
    const std::uint16_t id = loadU16(data.data());
    const std::uint16_t size = loadU16(data.data() + 2);
    return isBofId(id) && size >= 4 && size <= 32;
}

bool BiffParser::next(std::size_t &pos, Record &record) const
{
    if (pos >= m_stream.size())
        return false;
    if (m_stream.size() - pos < 4)
        throw damagedRecords("a record is cut short");
    record.id = loadU16(m_stream.data() + pos);
    const std::size_t size = loadU16(m_stream.data() + pos + 2);
    if (m_stream.size() - pos - 4 < size)
        throw damagedRecords("a record runs past the end of the workbook stream");
    record.data = m_stream.subspan(pos + 4, size);
    pos += 4 + size;
    return true;
}

std::vector<std::span<const std::uint8_t>> BiffParser::withContinues(const Record &first,
                                                                     std::size_t &pos) const
{
    std::vector<std::span<const std::uint8_t>> segments{first.data};
    std::size_t ahead = pos;
    Record record;
    while (next(ahead, record) && record.id == BiffRecord::Continue) {
        segments.push_back(record.data);
        pos = ahead;
    }
    return segments;
}

void BiffParser::readBof(const Record &record)
{
    if (record.data.size() < 4)
        throw damagedRecords("the beginning-of-file record is too short");
    const std::uint16_t version = loadU16(record.data.data());
    switch (record.id) {
    case BiffRecord::Bof:
        m_biff = version >= 0x0600 ? 8 : 5;
        break;
    case BiffRecord::Bof4:
        m_biff = 4;
        break;
    case BiffRecord::Bof3:
        m_biff = 3;
        break;
    default:
        m_biff = 2;
        break;
    }
    // BIFF8 texts are UTF-16; the older formats use the code page, Windows-1252 unless a
    // CODEPAGE record says otherwise.
    m_codePage = m_biff == 8 ? 1200 : 1252;
    m_decoder = TextDecoder(1252);
}

void BiffParser::parse()
{
    std::size_t pos = 0;
    Record bof;
    if (!next(pos, bof) || !isBofId(bof.id))
        throw WorkbookError::notWorkbook();
    readBof(bof);
    const std::uint16_t type = loadU16(bof.data.data() + 2);
    if (m_biff <= 4 && type == BiffSubstream::Workspace)
        throw WorkbookError::unsupported(QStringLiteral("an Excel 4.0 workbook"));

    if (m_biff >= 5 && type == BiffSubstream::Globals) {
        parseGlobals(pos);
        for (const SheetEntry &entry : m_entries) {
            Worksheet &sheet = m_book.addWorksheet(entry.name);
            if (sheet.isRead())
                parseSheet(entry.offset, sheet, false);
        }
    } else if (type == BiffSubstream::Worksheet) {
        // A lone worksheet (BIFF2-4, or a BIFF5+ stream without workbook globals): the stream
        // holds both the global records and the cells.
        parseSheet(0, m_book.addWorksheet(QStringLiteral("Sheet1")), true);
    } else {
        throw WorkbookError::unsupported(QStringLiteral("a chart or macro sheet, not a workbook"));
    }
    finishFormats();
    m_book.setFormat(QStringLiteral("BIFF%1").arg(m_biff), m_codePage);
    m_book.finish();
}

void BiffParser::parseGlobals(std::size_t &pos)
{
    Record record;
    while (next(pos, record)) {
        if (record.id == BiffRecord::Eof)
            return;
        globalRecord(record, pos);
        passed(pos);
    }
}

bool BiffParser::globalRecord(const Record &record, std::size_t &pos)
{
    switch (record.id) {
    case BiffRecord::FilePass:
        readFilePass(record, pos);
        return true;
    case BiffRecord::CodePage:
        if (record.data.size() >= 2 && m_biff < 8) {
            m_codePage = loadU16(record.data.data());
            // UTF-16 (1200) names no code page of 8-bit texts: those read as Windows-1252.
            m_decoder = TextDecoder(m_codePage == 1200 ? 1252 : m_codePage);
        }
        return true;
    case BiffRecord::DateMode:
        if (record.data.size() >= 2)
            m_book.setDate1904(loadU16(record.data.data()) == 1);
        return true;
    case BiffRecord::Format:
    case BiffRecord::Format2:
        readFormat(record);
        return true;
    case BiffRecord::Xf:
    case BiffRecord::Xf2:
    case BiffRecord::Xf3:
    case BiffRecord::Xf4:
        readXf(record);
        return true;
    case BiffRecord::BoundSheet:
        readSheetEntry(record);
        return true;
    case BiffRecord::Sst:
        readSharedStrings(record, pos);
        return true;
    default:
        return false;
    }
}

void BiffParser::readFilePass(const Record &record, std::size_t pos)
{
    if (!m_decrypted.empty())
        throw damagedRecords("the workbook is encrypted twice");
    std::unique_ptr<BiffDecryption> scheme =
        BiffDecryption::fromFilePass(record.data, m_biff, m_password);
    m_decrypted.assign(m_stream.begin(), m_stream.end());
    scheme->decryptRecords(m_decrypted, pos);
    m_stream = m_decrypted;
}

void BiffParser::readFormat(const Record &record)
{
    const auto data = record.data;
    int index;
    std::size_t offset;
    if (record.id == BiffRecord::Format && m_biff >= 5) {
        // Without its number the format cannot be used; the cells show in General.
        if (data.size() < 2)
            return;
        index = loadU16(data.data());
        offset = 2;
    } else {
        index = m_nextFormat++;
        offset = record.id == BiffRecord::Format ? 2 : 0;
    }
    StringTable &strings = m_book.strings();
    auto &chars = strings.buffer();
    const std::size_t start = chars.size();
    if (m_biff == 8) {
        ContinuedCursor(from(data, offset)).unicodeTextCut(false, chars);
    } else {
        const auto text = text8Cut(data, offset);
        m_decoder.append(chars, text.data(), text.size());
    }
    m_formats.insert(index, QString(reinterpret_cast<const QChar *>(chars.data() + start),
                                    static_cast<qsizetype>(chars.size() - start)));
    strings.discard();
}

void BiffParser::readXf(const Record &record)
{
    // A record too short to name its number format still counts, so that the styles after it
    // keep their numbers; its cells show in General.
    const auto data = record.data;
    int format = 0;
    switch (record.id) {
    case BiffRecord::Xf:
        if (data.size() >= 4)
            format = loadU16(data.data() + 2);
        break;
    case BiffRecord::Xf2:
        if (data.size() >= 3)
            format = data[2] & 0x3F;
        break;
    default:
        if (data.size() >= 2)
            format = data[1];
        break;
    }
    m_xfFormat.push_back(format);
}

void BiffParser::readSheetEntry(const Record &record)
{
    const auto data = record.data;
    // Where the sheet is and what kind it is are needed; its name can be cut short.
    if (data.size() < 6)
        throw damagedRecords("a sheet list entry is too short");
    const std::uint32_t offset = loadU32(data.data());
    const std::uint8_t type = data[5];
    StringTable &strings = m_book.strings();
    auto &chars = strings.buffer();
    const std::size_t start = chars.size();
    if (m_biff == 8) {
        ContinuedCursor(from(data, 6)).unicodeTextCut(true, chars);
    } else {
        const auto text = text8Cut(data, 6);
        m_decoder.append(chars, text.data(), text.size());
    }
    QString name(reinterpret_cast<const QChar *>(chars.data() + start),
                 static_cast<qsizetype>(chars.size() - start));
    strings.discard();
    // Type 0 is a worksheet (hidden or not); charts, macro sheets and modules are not.
    if (type == 0)
        m_entries.push_back({offset, std::move(name)});
}

void BiffParser::readSharedStrings(const Record &record, std::size_t &pos)
{
    StringTable &strings = m_book.strings();
    if (m_sharedCount != 0 || strings.size() != 0)
        throw damagedRecords("the workbook has more than one shared string table");
    if (record.data.size() < 8)
        throw damagedRecords("the shared string table is too short");
    const std::uint32_t unique = loadU32(record.data.data() + 4);
    auto segments = withContinues(record, pos);
    std::size_t bytes = 0;
    for (const auto &s : segments)
        bytes += s.size();
    segments.front() = segments.front().subspan(8);
    // Each string takes at least three bytes, which bounds what a lying count can reserve.
    strings.reserve(std::min<std::size_t>(unique, bytes / 3), bytes);
    ContinuedCursor cursor(segments);
    auto &chars = strings.buffer();
    for (std::uint32_t i = 0; i < unique && !cursor.atEnd(); ++i) {
        cursor.unicodeText(false, chars);
        strings.finish();
    }
    m_sharedCount = static_cast<std::uint32_t>(strings.size());
}

std::uint32_t BiffParser::appendText8(const std::uint8_t *text, std::size_t size)
{
    m_decoder.append(m_book.strings().buffer(), text, size);
    return m_book.strings().finish();
}

std::uint32_t BiffParser::appendRecordText(std::span<const std::uint8_t> data, std::size_t offset,
                                           std::size_t lengthSize)
{
    if (m_biff == 8) {
        ContinuedCursor(from(data, offset)).unicodeText(lengthSize == 1, m_book.strings().buffer());
        return m_book.strings().finish();
    }
    const auto text = text8(data, offset, lengthSize);
    return appendText8(text.data(), text.size());
}

void BiffParser::parseSheet(std::size_t pos, Worksheet &sheet, bool withGlobals)
{
    const std::size_t begin = pos;
    Record record;
    if (pos >= m_stream.size() || !next(pos, record) || !isBofId(record.id))
        throw damagedRecords("a worksheet does not start where the sheet list says");
    if (withGlobals)
        readBof(record);
    m_pendingFormula = SIZE_MAX;
    int depth = 1;
    while (depth > 0 && next(pos, record)) {
        if (isBofId(record.id)) {
            ++depth; // an embedded chart, whose records are not cells
            continue;
        }
        if (record.id == BiffRecord::Eof) {
            --depth;
            continue;
        }
        if (depth != 1)
            continue;
        if (withGlobals && globalRecord(record, pos))
            continue;
        if (record.id == BiffRecord::FilePass)
            throw WorkbookError::encrypted();
        cellRecord(record, pos, sheet);
        passed(pos);
    }
    // Sheets that overlap would let a small file cost quadratic time.
    m_sheetBytes += pos - begin;
    if (m_sheetBytes > m_stream.size())
        throw damagedRecords("the worksheets overlap");
}

void BiffParser::cellRecord(const Record &record, std::size_t &pos, Worksheet &sheet)
{
    // A formula's text result is in the next STRING record, unless another record comes
    // first.
    if (!isFormulaRecord(record.id) && record.id != BiffRecord::String &&
        !(m_biff == 2 && record.id == BiffRecord::String2) && !mayPrecedeFormulaText(record.id))
        m_pendingFormula = SIZE_MAX;

    const bool biff2 = m_biff == 2;
    switch (record.id) {
    case BiffRecord::Dimensions:
        return readDimensions(record, pos, sheet);
    case BiffRecord::Number2:
        if (biff2)
            readNumber(record, sheet);
        return;
    case BiffRecord::Number:
        return readNumber(record, sheet);
    case BiffRecord::Integer2:
        if (biff2)
            readInteger(record, sheet);
        return;
    case BiffRecord::Rk:
        return readRk(record, sheet);
    case BiffRecord::MulRk:
        return readMulRk(record, sheet);
    case BiffRecord::BoolErr2:
        if (biff2)
            readBoolErr(record, sheet);
        return;
    case BiffRecord::BoolErr:
        return readBoolErr(record, sheet);
    case BiffRecord::LabelSst:
        return readLabelSst(record, sheet);
    case BiffRecord::Label2:
        if (biff2)
            readLabel(record, sheet);
        return;
    case BiffRecord::Label:
    case BiffRecord::RString:
        return readLabel(record, sheet);
    case BiffRecord::Formula:
        // Number 6 is BIFF2's formula and again BIFF5's and later; BIFF3 and 4 have their own.
        if (biff2 || m_biff >= 5)
            readFormula(record, sheet);
        return;
    case BiffRecord::Formula3:
    case BiffRecord::Formula4:
        return readFormula(record, sheet);
    case BiffRecord::String2:
        if (biff2)
            readFormulaString(record, pos, sheet);
        return;
    case BiffRecord::String:
        return readFormulaString(record, pos, sheet);
    default:
        // Blanks (BLANK, MULBLANK) have no content, so they need no cell.
        return;
    }
}

Worksheet::Cell BiffParser::cellHeader(const Record &record, std::size_t recordSize,
                                       Worksheet::Kind kind) const
{
    // BIFF2 cells carry three attribute bytes whose first six bits are the style index;
    // later formats carry the style index as a 16-bit number.
    if (record.data.size() < recordSize)
        throw damagedRecords("a cell record is too short");
    const std::uint8_t *d = record.data.data();
    const std::uint16_t xf = m_biff == 2 ? (d[4] & 0x3F) : loadU16(d + 4);
    return Worksheet::Cell::at(loadU16(d), loadU16(d + 2), kind, xf);
}

std::size_t BiffParser::cellHeaderSize() const
{
    return m_biff == 2 ? 7 : 6;
}

void BiffParser::readDimensions(const Record &record, std::size_t pos, Worksheet &sheet)
{
    // A hint only, so that the cell array grows once; capped by what the stream can hold.
    const std::uint8_t *d = record.data.data();
    if (record.data.size() < 12 || m_biff != 8)
        return;
    const std::uint32_t firstRow = loadU32(d), endRow = loadU32(d + 4);
    const std::uint16_t firstColumn = loadU16(d + 8), endColumn = loadU16(d + 10);
    const std::uint64_t rows =
        std::min<std::uint64_t>(endRow - std::min(firstRow, endRow), MaxSheetRows);
    const std::uint64_t columns = endColumn - std::min(firstColumn, endColumn);
    sheet.reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(rows * columns, (m_stream.size() - pos) / 6)));
}

void BiffParser::readNumber(const Record &record, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(record, cellHeaderSize() + 8, Worksheet::Kind::Number);
    cell.number = loadDouble(record.data.data() + cellHeaderSize());
    sheet.add(cell);
}

void BiffParser::readInteger(const Record &record, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(record, cellHeaderSize() + 2, Worksheet::Kind::Number);
    cell.number = loadU16(record.data.data() + cellHeaderSize());
    sheet.add(cell);
}

void BiffParser::readRk(const Record &record, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(record, 10, Worksheet::Kind::Number);
    cell.number = rkValue(loadU32(record.data.data() + 6));
    sheet.add(cell);
}

void BiffParser::readMulRk(const Record &record, Worksheet &sheet)
{
    const std::uint8_t *d = record.data.data();
    if (record.data.size() < 6)
        throw damagedRecords("a cell record is too short");
    const std::size_t count = (record.data.size() - 6) / 6;
    const std::uint16_t row = loadU16(d);
    const std::uint16_t first = loadU16(d + 2);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t column = first + std::uint32_t(i);
        // A run that goes past the last column of the format holds no more cells.
        if (column > 0xFFFF)
            break;
        sheet.add(Worksheet::Cell::numberAt(row, column, rkValue(loadU32(d + 6 + 6 * i)),
                                            loadU16(d + 4 + 6 * i)));
    }
}

void BiffParser::readBoolErr(const Record &record, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(record, cellHeaderSize() + 2, Worksheet::Kind::Boolean);
    const std::uint8_t *value = record.data.data() + cellHeaderSize();
    if (value[1])
        cell.kind = Worksheet::Kind::Error;
    cell.code = value[0];
    sheet.add(cell);
}

void BiffParser::readLabelSst(const Record &record, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(record, 10, Worksheet::Kind::Text);
    cell.text = loadU32(record.data.data() + 6);
    if (cell.text >= m_sharedCount)
        throw damagedRecords("a cell refers to a shared string that does not exist");
    sheet.add(cell);
}

void BiffParser::readLabel(const Record &record, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(record, cellHeaderSize(), Worksheet::Kind::Text);
    const std::size_t lengthSize = m_biff == 2 ? 1 : 2;
    cell.text = appendRecordText(record.data, cellHeaderSize(), m_biff == 8 ? 2 : lengthSize);
    sheet.add(cell);
}

void BiffParser::readFormula(const Record &record, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(record, cellHeaderSize() + 8, Worksheet::Kind::Number);
    const std::uint8_t *result = record.data.data() + cellHeaderSize();
    m_pendingFormula = SIZE_MAX;
    if (result[6] != 0xFF || result[7] != 0xFF) {
        cell.number = loadDouble(result);
        sheet.add(cell);
        return;
    }
    switch (result[0]) {
    case 0: // the text follows in a STRING record, unless the cell is dropped
        cell.kind = Worksheet::Kind::EmptyText;
        if (sheet.add(cell))
            m_pendingFormula = sheet.cellCount() - 1;
        return;
    case 1:
        cell.kind = Worksheet::Kind::Boolean;
        cell.code = result[2];
        break;
    case 2:
        cell.kind = Worksheet::Kind::Error;
        cell.code = result[2];
        break;
    default:
        cell.kind = Worksheet::Kind::EmptyText;
        break;
    }
    sheet.add(cell);
}

void BiffParser::readFormulaString(const Record &record, std::size_t &pos, Worksheet &sheet)
{
    if (m_pendingFormula == SIZE_MAX)
        return;
    Worksheet::Cell &target = sheet.addedCell(m_pendingFormula);
    m_pendingFormula = SIZE_MAX;
    StringTable &strings = m_book.strings();
    if (m_biff == 8) {
        const auto segments = withContinues(record, pos);
        ContinuedCursor(segments).unicodeText(false, strings.buffer());
        target.text = strings.finish();
    } else {
        target.text = appendRecordText(record.data, 0, m_biff == 2 ? 1 : 2);
    }
    target.kind = Worksheet::Kind::Text;
}

void BiffParser::finishFormats()
{
    std::vector<bool> isDate(m_xfFormat.size());
    for (std::size_t i = 0; i < m_xfFormat.size(); ++i) {
        const int format = m_xfFormat[i];
        // Before BIFF5 there are no built-in numbers: every format is in a FORMAT record.
        isDate[i] = isDateTimeFormat(m_biff >= 5 ? format : -1, m_formats.value(format));
    }
    m_book.setDateStyles(std::move(isDate));
}
