#include "sheet/BiffParser.h"

#include "sheet/LittleEndian.h"
#include "sheet/ValueText.h"
#include "sheet/Workbook.h"
#include "sheet/WorkbookError.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace {

// Record identifiers; the BIFF2-4 variants of a record carry the older number.
enum : std::uint16_t {
    RecBlank2 = 0x0001,
    RecInteger2 = 0x0002,
    RecNumber2 = 0x0003,
    RecLabel2 = 0x0004,
    RecBoolErr2 = 0x0005,
    RecFormula = 0x0006,
    RecString2 = 0x0007,
    RecBof2 = 0x0009,
    RecEof = 0x000A,
    RecFormat2 = 0x001E,
    RecDateMode = 0x0022,
    RecFilePass = 0x002F,
    RecContinue = 0x003C,
    RecCodePage = 0x0042,
    RecXf2 = 0x0043,
    RecBoundSheet = 0x0085,
    RecMulRk = 0x00BD,
    RecMulBlank = 0x00BE,
    RecRString = 0x00D6,
    RecXf = 0x00E0,
    RecSst = 0x00FC,
    RecLabelSst = 0x00FD,
    RecDimensions = 0x0200,
    RecNumber = 0x0203,
    RecLabel = 0x0204,
    RecBoolErr = 0x0205,
    RecFormula3 = 0x0206,
    RecString = 0x0207,
    RecBof3 = 0x0209,
    RecXf3 = 0x0243,
    RecRk = 0x027E,
    RecFormat = 0x041E,
    RecFormula4 = 0x0406,
    RecBof4 = 0x0409,
    RecXf4 = 0x0443,
    RecBof = 0x0809,
};

enum : std::uint16_t {
    BofGlobals = 0x0005,
    BofWorksheet = 0x0010,
    BofWorkspace = 0x0100,
};

constexpr std::size_t MaxSheetRows = 65536;

WorkbookError damagedRecords(const char *what)
{
    return WorkbookError::damaged(QString::fromLatin1(what));
}

bool isBofId(std::uint16_t id)
{
    return id == RecBof || id == RecBof4 || id == RecBof3 || id == RecBof2;
}

double rkValue(std::uint32_t rk)
{
    double value;
    if (rk & 2) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100 : value;
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
        return LoadU16(b);
    }
    std::uint32_t u32()
    {
        std::uint8_t b[4];
        read(b, 4);
        return LoadU32(b);
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
                    dst[i] = char16_t(LoadU16(p + 2 * i));
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

private:
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
    const std::size_t count = lengthSize == 1 ? data[offset] : LoadU16(data.data() + offset);
    if (data.size() - offset - lengthSize < count)
        throw damagedRecords("a text runs past the end of its record");
    return data.subspan(offset + lengthSize, count);
}

} // namespace

namespace {

constexpr std::size_t ProgressStep = std::size_t(256) << 10;

} // namespace

BiffParser::BiffParser(std::span<const std::uint8_t> stream, Workbook &book, Progress progress)
    : m_stream(stream)
    , m_book(book)
    , m_progress(std::move(progress))
    , m_reportAt(m_progress ? ProgressStep : SIZE_MAX)
{
}

void BiffParser::passed(std::size_t pos)
{
    if (pos < m_reportAt)
        return;
    m_progress(m_stream.data() + pos);
    m_reportAt = pos + ProgressStep;
}

bool BiffParser::startsWithBof(std::span<const std::uint8_t> data)
{
    if (data.size() < 8)
        return false;
    const std::uint16_t id = LoadU16(data.data());
    const std::uint16_t size = LoadU16(data.data() + 2);
    return isBofId(id) && size >= 4 && size <= 32;
}

bool BiffParser::next(std::size_t &pos, Record &record) const
{
    if (pos >= m_stream.size())
        return false;
    if (m_stream.size() - pos < 4)
        throw damagedRecords("a record is cut short");
    record.id = LoadU16(m_stream.data() + pos);
    const std::size_t size = LoadU16(m_stream.data() + pos + 2);
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
    while (next(ahead, record) && record.id == RecContinue) {
        segments.push_back(record.data);
        pos = ahead;
    }
    return segments;
}

void BiffParser::readBof(const Record &record)
{
    if (record.data.size() < 4)
        throw damagedRecords("the beginning-of-file record is too short");
    const std::uint16_t version = LoadU16(record.data.data());
    switch (record.id) {
    case RecBof:
        m_biff = version >= 0x0600 ? 8 : 5;
        break;
    case RecBof4:
        m_biff = 4;
        break;
    case RecBof3:
        m_biff = 3;
        break;
    default:
        m_biff = 2;
        break;
    }
    // BIFF8 texts are UTF-16; the older formats use the code page, Windows-1252 unless a
    // CODEPAGE record says otherwise.
    m_book.m_codePage = m_biff == 8 ? 1200 : 1252;
    m_decoder = CodePageDecoder(m_book.m_codePage);
    m_book.m_biffVersion = m_biff;
}

void BiffParser::parse()
{
    std::size_t pos = 0;
    Record bof;
    if (!next(pos, bof) || !isBofId(bof.id))
        throw WorkbookError::notWorkbook();
    readBof(bof);
    const std::uint16_t type = LoadU16(bof.data.data() + 2);
    if (m_biff <= 4 && type == BofWorkspace)
        throw WorkbookError::unsupported(QStringLiteral("an Excel 4.0 workbook"));

    if (m_biff >= 5 && type == BofGlobals) {
        parseGlobals(pos);
        for (const SheetEntry &entry : m_entries) {
            m_book.m_sheets.emplace_back(entry.name);
            parseSheet(entry.offset, &m_book.m_sheets.back(), false);
        }
    } else if (type == BofWorksheet) {
        // A lone worksheet (BIFF2-4, or a BIFF5+ stream without workbook globals): the stream
        // holds both the global records and the cells.
        m_book.m_sheets.emplace_back(QStringLiteral("Sheet1"));
        parseSheet(0, &m_book.m_sheets.back(), true);
    } else {
        throw WorkbookError::unsupported(QStringLiteral("a chart or macro sheet, not a workbook"));
    }
    finishFormats();
    // Places in the string table are 32-bit; a stream has fewer bytes than that, and each
    // character takes at least one of them, but a table this size is refused, not cut off.
    if (m_book.m_strings.charCount() > std::numeric_limits<std::uint32_t>::max())
        throw damagedRecords("the workbook's texts are too long");
    for (Worksheet &sheet : m_book.m_sheets) {
        sheet.finish();
        sheet.resolveTexts(m_book.m_strings);
    }
    m_book.m_strings.dropIndex();
}

void BiffParser::parseGlobals(std::size_t &pos)
{
    Record record;
    while (next(pos, record)) {
        if (record.id == RecEof)
            return;
        globalRecord(record, pos);
        passed(pos);
    }
}

bool BiffParser::globalRecord(const Record &record, std::size_t &pos)
{
    switch (record.id) {
    case RecFilePass:
        throw WorkbookError::encrypted();
    case RecCodePage:
        if (record.data.size() >= 2 && m_biff < 8) {
            m_book.m_codePage = LoadU16(record.data.data());
            m_decoder = CodePageDecoder(m_book.m_codePage);
        }
        return true;
    case RecDateMode:
        if (record.data.size() >= 2)
            m_book.m_date1904 = LoadU16(record.data.data()) == 1;
        return true;
    case RecFormat:
    case RecFormat2:
        readFormat(record);
        return true;
    case RecXf:
    case RecXf2:
    case RecXf3:
    case RecXf4:
        readXf(record);
        return true;
    case RecBoundSheet:
        readSheetEntry(record);
        return true;
    case RecSst:
        readSharedStrings(record, pos);
        return true;
    default:
        return false;
    }
}

void BiffParser::readFormat(const Record &record)
{
    const auto data = record.data;
    int index;
    std::size_t offset;
    if (record.id == RecFormat && m_biff >= 5) {
        if (data.size() < 2)
            throw damagedRecords("a number format record is too short");
        index = LoadU16(data.data());
        offset = 2;
    } else {
        index = m_nextFormat++;
        offset = record.id == RecFormat ? 2 : 0;
    }
    auto &chars = m_book.m_strings.buffer();
    const std::size_t start = chars.size();
    if (m_biff == 8) {
        ContinuedCursor(from(data, offset)).unicodeText(false, chars);
    } else {
        const auto text = text8(data, offset, 1);
        m_decoder.append(chars, text.data(), text.size());
    }
    m_formats.insert(index, QString(reinterpret_cast<const QChar *>(chars.data() + start),
                                    static_cast<qsizetype>(chars.size() - start)));
    m_book.m_strings.discard();
}

void BiffParser::readXf(const Record &record)
{
    const auto data = record.data;
    switch (record.id) {
    case RecXf:
        if (data.size() < 4)
            throw damagedRecords("a cell style record is too short");
        m_xfFormat.push_back(LoadU16(data.data() + 2));
        break;
    case RecXf2:
        if (data.size() < 3)
            throw damagedRecords("a cell style record is too short");
        m_xfFormat.push_back(data[2] & 0x3F);
        break;
    default:
        if (data.size() < 2)
            throw damagedRecords("a cell style record is too short");
        m_xfFormat.push_back(data[1]);
        break;
    }
}

void BiffParser::readSheetEntry(const Record &record)
{
    const auto data = record.data;
    if (data.size() < 7)
        throw damagedRecords("a sheet list entry is too short");
    const std::uint32_t offset = LoadU32(data.data());
    const std::uint8_t type = data[5];
    auto &chars = m_book.m_strings.buffer();
    const std::size_t start = chars.size();
    if (m_biff == 8) {
        ContinuedCursor(from(data, 6)).unicodeText(true, chars);
    } else {
        const auto text = text8(data, 6, 1);
        m_decoder.append(chars, text.data(), text.size());
    }
    QString name(reinterpret_cast<const QChar *>(chars.data() + start),
                 static_cast<qsizetype>(chars.size() - start));
    m_book.m_strings.discard();
    // Type 0 is a worksheet (hidden or not); charts, macro sheets and modules are not.
    if (type == 0)
        m_entries.push_back({offset, std::move(name)});
}

void BiffParser::readSharedStrings(const Record &record, std::size_t &pos)
{
    if (m_sharedCount != 0 || m_book.m_strings.size() != 0)
        throw damagedRecords("the workbook has more than one shared string table");
    if (record.data.size() < 8)
        throw damagedRecords("the shared string table is too short");
    const std::uint32_t unique = LoadU32(record.data.data() + 4);
    auto segments = withContinues(record, pos);
    std::size_t bytes = 0;
    for (const auto &s : segments)
        bytes += s.size();
    segments.front() = segments.front().subspan(8);
    // Each string takes at least three bytes, which bounds what a lying count can reserve.
    m_book.m_strings.reserve(std::min<std::size_t>(unique, bytes / 3), bytes);
    ContinuedCursor cursor(segments);
    auto &chars = m_book.m_strings.buffer();
    for (std::uint32_t i = 0; i < unique && !cursor.atEnd(); ++i) {
        cursor.unicodeText(false, chars);
        m_book.m_strings.finish();
    }
    m_sharedCount = static_cast<std::uint32_t>(m_book.m_strings.size());
}

std::uint32_t BiffParser::appendText8(const std::uint8_t *text, std::size_t size)
{
    m_decoder.append(m_book.m_strings.buffer(), text, size);
    return m_book.m_strings.finish();
}

void BiffParser::parseSheet(std::size_t pos, Worksheet *sheet, bool withGlobals)
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
        if (record.id == RecEof) {
            --depth;
            continue;
        }
        if (depth != 1)
            continue;
        if (withGlobals && globalRecord(record, pos))
            continue;
        if (record.id == RecFilePass)
            throw WorkbookError::encrypted();
        cellRecord(record, pos, *sheet);
        passed(pos);
    }
    // Sheets that overlap would let a small file cost quadratic time.
    m_sheetBytes += pos - begin;
    if (m_sheetBytes > m_stream.size())
        throw damagedRecords("the worksheets overlap");
}

void BiffParser::cellRecord(const Record &record, std::size_t &pos, Worksheet &sheet)
{
    const auto data = record.data;
    const std::uint8_t *d = data.data();
    const std::size_t size = data.size();
    // BIFF2 cells carry three attribute bytes whose first six bits are the style index;
    // later formats carry the style index as a 16-bit number.
    const bool biff2 = m_biff == 2;
    const std::size_t head = biff2 ? 7 : 6;
    auto need = [&](std::size_t n) {
        if (size < n)
            throw damagedRecords("a cell record is too short");
    };
    auto cell = [&](Worksheet::Kind kind) {
        Worksheet::Cell c{};
        c.row = LoadU16(d);
        c.column = LoadU16(d + 2);
        c.xf = biff2 ? (d[4] & 0x3F) : LoadU16(d + 4);
        c.kind = kind;
        return c;
    };
    const bool isFormula =
        record.id == RecFormula || record.id == RecFormula3 || record.id == RecFormula4;
    const bool isString = record.id == RecString || (biff2 && record.id == RecString2);
    // Shared formulas, arrays and tables may come between a FORMULA and its STRING.
    const bool betweenFormulaAndText =
        record.id == 0x04BC || record.id == 0x0021 || record.id == 0x0221 || record.id == 0x0236;
    if (!isFormula && !isString && !betweenFormulaAndText)
        m_pendingFormula = SIZE_MAX;

    switch (record.id) {
    case RecDimensions:
        // A hint only, so that the cell array grows once; capped by what the stream can hold.
        if (size >= 12 && m_biff == 8) {
            const std::uint32_t firstRow = LoadU32(d), endRow = LoadU32(d + 4);
            const std::uint16_t firstColumn = LoadU16(d + 8), endColumn = LoadU16(d + 10);
            const std::uint64_t rows =
                std::min<std::uint64_t>(endRow - std::min(firstRow, endRow), MaxSheetRows);
            const std::uint64_t columns = endColumn - std::min(firstColumn, endColumn);
            sheet.reserve(static_cast<std::size_t>(
                std::min<std::uint64_t>(rows * columns, (m_stream.size() - pos) / 6)));
        }
        return;
    case RecNumber:
    case RecNumber2: {
        if (record.id == RecNumber2 && !biff2)
            return;
        need(head + 8);
        Worksheet::Cell c = cell(Worksheet::Kind::Number);
        c.number = LoadDouble(d + head);
        sheet.add(c);
        return;
    }
    case RecInteger2: {
        if (!biff2)
            return;
        need(head + 2);
        Worksheet::Cell c = cell(Worksheet::Kind::Number);
        c.number = LoadU16(d + head);
        sheet.add(c);
        return;
    }
    case RecRk: {
        need(10);
        Worksheet::Cell c = cell(Worksheet::Kind::Number);
        c.number = rkValue(LoadU32(d + 6));
        sheet.add(c);
        return;
    }
    case RecMulRk: {
        need(6);
        const std::size_t count = (size - 6) / 6;
        const std::uint16_t row = LoadU16(d);
        const std::uint16_t first = LoadU16(d + 2);
        for (std::size_t i = 0; i < count; ++i) {
            Worksheet::Cell c{};
            c.row = row;
            c.column = static_cast<std::uint16_t>(first + i);
            c.xf = LoadU16(d + 4 + 6 * i);
            c.kind = Worksheet::Kind::Number;
            c.number = rkValue(LoadU32(d + 6 + 6 * i));
            sheet.add(c);
        }
        return;
    }
    case RecBoolErr:
    case RecBoolErr2: {
        if (record.id == RecBoolErr2 && !biff2)
            return;
        need(head + 2);
        Worksheet::Cell c = cell(d[head + 1] ? Worksheet::Kind::Error : Worksheet::Kind::Boolean);
        c.code = d[head];
        sheet.add(c);
        return;
    }
    case RecLabelSst: {
        need(10);
        Worksheet::Cell c = cell(Worksheet::Kind::Text);
        c.text = LoadU32(d + 6);
        if (c.text >= m_sharedCount)
            throw damagedRecords("a cell refers to a shared string that does not exist");
        sheet.add(c);
        return;
    }
    case RecLabel:
    case RecRString:
    case RecLabel2: {
        if (record.id == RecLabel2 && !biff2)
            return;
        need(head);
        Worksheet::Cell c = cell(Worksheet::Kind::Text);
        if (m_biff == 8) {
            ContinuedCursor(from(data, head)).unicodeText(false, m_book.m_strings.buffer());
            c.text = m_book.m_strings.finish();
        } else {
            const auto text = text8(data, head, biff2 ? 1 : 2);
            c.text = appendText8(text.data(), text.size());
        }
        sheet.add(c);
        return;
    }
    case RecFormula:
    case RecFormula3:
    case RecFormula4: {
        if (record.id == RecFormula && m_biff != 2 && m_biff < 5)
            return;
        need(head + 8);
        const std::uint8_t *result = d + head;
        Worksheet::Cell c = cell(Worksheet::Kind::Number);
        m_pendingFormula = SIZE_MAX;
        if (result[6] == 0xFF && result[7] == 0xFF) {
            switch (result[0]) {
            case 0: // the text follows in a STRING record
                c.kind = Worksheet::Kind::EmptyText;
                m_pendingFormula = sheet.cellCount();
                break;
            case 1:
                c.kind = Worksheet::Kind::Boolean;
                c.code = result[2];
                break;
            case 2:
                c.kind = Worksheet::Kind::Error;
                c.code = result[2];
                break;
            default:
                c.kind = Worksheet::Kind::EmptyText;
                break;
            }
        } else {
            c.number = LoadDouble(result);
        }
        sheet.add(c);
        return;
    }
    case RecString:
    case RecString2: {
        if (!isString || m_pendingFormula == SIZE_MAX)
            return;
        Worksheet::Cell &target = sheet.addedCell(m_pendingFormula);
        m_pendingFormula = SIZE_MAX;
        if (m_biff == 8) {
            const auto segments = withContinues(record, pos);
            ContinuedCursor(segments).unicodeText(false, m_book.m_strings.buffer());
            target.text = m_book.m_strings.finish();
        } else {
            const auto text = text8(data, 0, biff2 ? 1 : 2);
            target.text = appendText8(text.data(), text.size());
        }
        target.kind = Worksheet::Kind::Text;
        return;
    }
    default:
        // Blanks (BLANK, MULBLANK) have no content, so they need no cell.
        return;
    }
}

void BiffParser::finishFormats()
{
    auto &isDate = m_book.m_xfIsDate;
    isDate.resize(m_xfFormat.size());
    for (std::size_t i = 0; i < m_xfFormat.size(); ++i) {
        const int format = m_xfFormat[i];
        // Before BIFF5 there are no built-in numbers: every format is in a FORMAT record.
        isDate[i] = IsDateTimeFormat(m_biff >= 5 ? format : -1, m_formats.value(format));
    }
}
