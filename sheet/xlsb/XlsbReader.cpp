#include "sheet/xlsb/XlsbReader.h"

#include "sheet/model/RkNumber.h"
#include "sheet/model/ValueText.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/ooxml/OoxmlNames.h"
#include "sheet/ooxml/PackageRelationships.h"
#include "sheet/xlsb/XlsbRecords.h"
#include "util/LittleEndian.h"

#include <bit>
#include <cstring>
#include <set>

namespace {

// What a cell record starts with: column and style, or the style alone in a short record.
constexpr std::size_t CellSize = 8;
constexpr std::size_t ShortCellSize = 4;

} // namespace

XlsbReader::XlsbReader(std::span<const std::uint8_t> bytes, Workbook &book,
                       const ReadControl &control)
    : m_package(bytes)
    , m_book(book)
    , m_control(control)
{
}

void XlsbReader::damaged(const char *what) const
{
    throw WorkbookError::damaged(QStringLiteral("%1 in %2").arg(QLatin1StringView(what), m_part));
}

void XlsbReader::read()
{
    const PackageRelationships package = PackageRelationships::read(m_package, "");
    const PackageRelationships::Relationship *main = package.firstOfKind("officeDocument");
    if (!main || main->target.empty())
        throw WorkbookError::damaged(QStringLiteral("its package names no workbook part"));
    const std::string workbookPart = main->target;
    readWorkbookPart(workbookPart);

    const PackageRelationships workbook = PackageRelationships::read(m_package, workbookPart);
    if (const auto *styles = workbook.firstOfKind("styles"))
        readStyles(styles->target);
    std::vector<bool> isDate(m_xfFormat.size());
    for (std::size_t i = 0; i < m_xfFormat.size(); ++i)
        isDate[i] = isDateTimeFormat(m_xfFormat[i], m_formats.value(m_xfFormat[i]));
    m_book.setDateStyles(std::move(isDate));
    if (const auto *strings = workbook.firstOfKind("sharedStrings"))
        readSharedStrings(strings->target);

    for (const SheetPart &part : m_sheets) {
        // A sheet outside the scope is not looked for: damage there does not matter.
        Worksheet &sheet = m_book.addWorksheet(part.name);
        if (sheet.isRead())
            readSheet(part.part, sheet);
    }
    m_book.setFormat(QStringLiteral("XLSB"));
    m_book.finish();
}

void XlsbReader::readRecords(const std::string &part, const XlsbRecordStream::Consumer &consumer)
{
    m_part = QString::fromStdString(part);
    const auto entry = m_package.find(part);
    if (!entry)
        throw WorkbookError::damaged(QStringLiteral("its package has no part %1").arg(m_part));
    XlsbRecordStream records(m_part, consumer);
    m_package.read(
        *entry, [&records](std::span<const char> piece) { records.feed(piece); }, m_control);
    records.finish();
}

void XlsbReader::readWorkbookPart(const std::string &part)
{
    const PackageRelationships relationships = PackageRelationships::read(m_package, part);
    readRecords(part, [&](std::uint16_t id, Data data) {
        if (id == XlsbRecord::BundleSh)
            readBundleSheet(data, relationships);
        else if (id == XlsbRecord::WbProp)
            readWorkbookProperties(data);
    });
    // Two sheets in one part would let a small file cost a sheet's reading many times over.
    std::set<std::string> parts;
    for (const SheetPart &sheet : m_sheets) {
        if (!parts.insert(sheet.part).second)
            damaged("two sheets are read from one part");
    }
}

void XlsbReader::readBundleSheet(Data data, const PackageRelationships &relationships)
{
    // Visibility, tab number, then the relationship's id and the sheet's name.
    if (data.size() < 12)
        damaged("a sheet list entry is too short");
    const std::uint32_t idLength = loadU32(data.data() + 8);
    if (idLength == 0xFFFFFFFF || idLength > (data.size() - 12) / 2)
        damaged("a sheet list entry is too short");
    std::string id;
    for (std::uint32_t i = 0; i < idLength; ++i)
        id.push_back(char(loadU16(data.data() + 12 + 2 * i)));
    StringTable &strings = m_book.strings();
    auto &chars = strings.buffer();
    const std::size_t start = chars.size();
    appendWideString(data, 12 + 2 * std::size_t(idLength));
    QString name(reinterpret_cast<const QChar *>(chars.data() + start),
                 static_cast<qsizetype>(chars.size() - start));
    strings.discard();
    const PackageRelationships::Relationship *sheet = relationships.byId(id);
    if (!sheet || sheet->target.empty())
        damaged("a sheet has no part");
    // Chart sheets, macro sheets and dialog sheets are not worksheets (hidden ones are).
    if (OoxmlNames::isRelationshipType(sheet->type, "worksheet"))
        m_sheets.push_back({std::move(name), sheet->target});
}

void XlsbReader::readWorkbookProperties(Data data)
{
    if (data.size() < 4)
        damaged("the workbook properties are too short");
    m_book.setDate1904(loadU32(data.data()) & 1);
}

void XlsbReader::readStyles(const std::string &part)
{
    readRecords(part, [&](std::uint16_t id, Data data) {
        switch (id) {
        case XlsbRecord::Fmt:
            return readFormat(data);
        case XlsbRecord::BeginCellXfs:
            m_inCellXfs = true;
            return;
        case XlsbRecord::EndCellXfs:
            m_inCellXfs = false;
            return;
        case XlsbRecord::Xf:
            // The cell style XFs before the cell XFs are not what cells refer to.
            if (m_inCellXfs)
                readXf(data);
            return;
        default:
            return;
        }
    });
}

void XlsbReader::readFormat(Data data)
{
    if (data.size() < 2)
        damaged("a number format record is too short");
    StringTable &strings = m_book.strings();
    auto &chars = strings.buffer();
    const std::size_t start = chars.size();
    appendWideString(data, 2);
    m_formats.insert(loadU16(data.data()),
                     QString(reinterpret_cast<const QChar *>(chars.data() + start),
                             static_cast<qsizetype>(chars.size() - start)));
    strings.discard();
}

void XlsbReader::readXf(Data data)
{
    if (data.size() < 4)
        damaged("a cell style record is too short");
    m_xfFormat.push_back(loadU16(data.data() + 2));
}

void XlsbReader::readSharedStrings(const std::string &part)
{
    readRecords(part, [&](std::uint16_t id, Data data) {
        if (id == XlsbRecord::SstItem)
            readSharedString(data);
    });
    m_sharedCount = static_cast<std::uint32_t>(m_book.strings().size());
}

void XlsbReader::readSharedString(Data data)
{
    // The rich-text flags, the text, then its formatting runs and phonetic text, not needed.
    if (data.empty())
        damaged("a shared string record is too short");
    appendWideString(data, 1);
    m_book.strings().finish();
}

void XlsbReader::readSheet(const std::string &part, Worksheet &sheet)
{
    m_inRow = false;
    readRecords(part, [&](std::uint16_t id, Data data) { sheetRecord(id, data, sheet); });
}

void XlsbReader::sheetRecord(std::uint16_t id, Data data, Worksheet &sheet)
{
    switch (id) {
    case XlsbRecord::RowHdr:
        return readRowHeader(data);
    case XlsbRecord::CellBlank:
        return readBlank(data, CellSize);
    case XlsbRecord::ShortBlank:
        return readBlank(data, ShortCellSize);
    case XlsbRecord::CellRk:
        return readRk(data, CellSize, sheet);
    case XlsbRecord::ShortRk:
        return readRk(data, ShortCellSize, sheet);
    case XlsbRecord::CellReal:
    case XlsbRecord::FmlaNum:
        return readReal(data, CellSize, sheet);
    case XlsbRecord::ShortReal:
        return readReal(data, ShortCellSize, sheet);
    case XlsbRecord::CellBool:
    case XlsbRecord::FmlaBool:
        return readBoolean(data, CellSize, sheet);
    case XlsbRecord::ShortBool:
        return readBoolean(data, ShortCellSize, sheet);
    case XlsbRecord::CellError:
    case XlsbRecord::FmlaError:
        return readError(data, CellSize, sheet);
    case XlsbRecord::ShortError:
        return readError(data, ShortCellSize, sheet);
    case XlsbRecord::CellIsst:
        return readSharedStringCell(data, CellSize, sheet);
    case XlsbRecord::ShortIsst:
        return readSharedStringCell(data, ShortCellSize, sheet);
    case XlsbRecord::CellSt:
        return readInlineString(data, CellSize, 0, sheet);
    case XlsbRecord::ShortSt:
        return readInlineString(data, ShortCellSize, 0, sheet);
    case XlsbRecord::CellRString:
        // Rich-text flags come before the text.
        return readInlineString(data, CellSize, 1, sheet);
    case XlsbRecord::FmlaString:
        return readFormulaString(data, sheet);
    default:
        return;
    }
}

void XlsbReader::readRowHeader(Data data)
{
    if (data.size() < 4)
        damaged("a row record is too short");
    m_row = loadU32(data.data());
    if (m_row >= Worksheet::MaxRows)
        damaged("a row lies outside the sheet");
    m_inRow = true;
    m_nextColumn = 0;
}

Worksheet::Cell XlsbReader::cellHeader(Data data, std::size_t head, std::size_t recordSize,
                                       Worksheet::Kind kind)
{
    if (data.size() < recordSize)
        damaged("a cell record is too short");
    if (!m_inRow)
        damaged("a cell comes before its row");
    const std::uint8_t *d = data.data();
    const std::uint32_t column = head == CellSize ? loadU32(d) : m_nextColumn;
    if (column >= Worksheet::MaxColumns)
        damaged("a cell lies outside the sheet");
    m_nextColumn = column + 1;
    // The style is 24 bits; styles past the 16-bit ones the model keeps read as General.
    const std::uint32_t style = loadU32(d + head - 4) & 0xFFFFFF;
    return Worksheet::Cell::at(m_row, column, kind,
                               std::uint16_t(std::min<std::uint32_t>(style, 0xFFFF)));
}

void XlsbReader::readBlank(Data data, std::size_t head)
{
    // No content, so no cell; but a short cell after it takes the next column.
    cellHeader(data, head, head, Worksheet::Kind::EmptyText);
}

void XlsbReader::readRk(Data data, std::size_t head, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(data, head, head + 4, Worksheet::Kind::Number);
    cell.number = rkValue(loadU32(data.data() + head));
    sheet.add(cell);
}

void XlsbReader::readReal(Data data, std::size_t head, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(data, head, head + 8, Worksheet::Kind::Number);
    cell.number = loadDouble(data.data() + head);
    sheet.add(cell);
}

void XlsbReader::readBoolean(Data data, std::size_t head, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(data, head, head + 1, Worksheet::Kind::Boolean);
    cell.code = data[head] ? 1 : 0;
    sheet.add(cell);
}

void XlsbReader::readError(Data data, std::size_t head, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(data, head, head + 1, Worksheet::Kind::Error);
    cell.code = data[head];
    sheet.add(cell);
}

void XlsbReader::readSharedStringCell(Data data, std::size_t head, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(data, head, head + 4, Worksheet::Kind::Text);
    cell.text = loadU32(data.data() + head);
    if (cell.text >= m_sharedCount)
        damaged("a cell refers to a shared string that does not exist");
    sheet.add(cell);
}

void XlsbReader::readInlineString(Data data, std::size_t head, std::size_t flags, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(data, head, head + flags, Worksheet::Kind::Text);
    appendWideString(data, head + flags);
    cell.text = m_book.strings().finish();
    sheet.add(cell);
}

void XlsbReader::readFormulaString(Data data, Worksheet &sheet)
{
    Worksheet::Cell cell = cellHeader(data, CellSize, CellSize, Worksheet::Kind::Text);
    StringTable &strings = m_book.strings();
    const std::size_t before = strings.charCount();
    appendWideString(data, CellSize);
    if (strings.charCount() == before) {
        // A formula whose result is empty text: a cell without content.
        cell.kind = Worksheet::Kind::EmptyText;
    } else {
        cell.text = strings.finish();
    }
    sheet.add(cell);
}

std::size_t XlsbReader::appendWideString(Data data, std::size_t offset)
{
    if (data.size() < offset + 4)
        damaged("a text runs past the end of its record");
    const std::size_t count = loadU32(data.data() + offset);
    if ((data.size() - offset - 4) / 2 < count)
        damaged("a text runs past the end of its record");
    if (count == 0)
        return offset + 4; // nothing to copy, and no buffer yet to copy it to
    auto &chars = m_book.strings().buffer();
    const std::uint8_t *p = data.data() + offset + 4;
    const std::size_t start = chars.size();
    chars.resize(start + count);
    if constexpr (std::endian::native == std::endian::little) {
        // The file's UTF-16 is little-endian, as this machine's is.
        std::memcpy(chars.data() + start, p, 2 * count);
    } else {
        for (std::size_t i = 0; i < count; ++i)
            chars[start + i] = char16_t(loadU16(p + 2 * i));
    }
    return offset + 4 + 2 * count;
}
