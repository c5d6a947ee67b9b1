#include "sheet/ooxml/WorksheetReader.h"

#include "sheet/model/DateSerial.h"
#include "sheet/model/ValueText.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/ooxml/OoxmlNames.h"
#include "sheet/xml/Utf8Text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

enum class Reference { Good, Malformed, OutsideSheet };

// "B7" -> row 6, column 1 (0-based).
Reference parseReference(std::string_view text, std::uint32_t &row, std::uint32_t &column)
{
    std::size_t i = 0;
    std::uint64_t letters = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            break;
        if (i >= 4)
            return Reference::OutsideSheet;
        letters = letters * 26 + std::uint64_t(c - 'A' + 1);
    }
    const std::size_t digits = text.size() - i;
    if (letters == 0 || digits == 0)
        return Reference::Malformed;
    std::uint64_t number = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return Reference::Malformed;
        if (number > Worksheet::MaxRows)
            return Reference::OutsideSheet;
        number = number * 10 + std::uint64_t(c - '0');
    }
    if (number == 0)
        return Reference::Malformed;
    if (!Worksheet::holds(number - 1, letters - 1))
        return Reference::OutsideSheet;
    row = std::uint32_t(number - 1);
    column = std::uint32_t(letters - 1);
    return Reference::Good;
}

bool parseUnsigned(std::string_view text, std::uint64_t &value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::string_view trimmed(std::string_view text)
{
    const auto space = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r';
    };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

QString Utf16(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

WorksheetReader::WorksheetReader(Worksheet &sheet, StringTable &ownTexts, bool date1904,
                                 QString part)
    : m_sheet(sheet)
    , m_texts(ownTexts)
    , m_date1904(date1904)
    , m_part(std::move(part))
    , m_inline(ownTexts.buffer())
{
}

void WorksheetReader::restart()
{
    m_sheet.release();
    m_texts = StringTable();
    m_place = Place::Outside;
    m_nextRow = 0;
    m_row = 0;
    m_nextColumn = 0;
}

bool WorksheetReader::inSpreadsheetNamespace(std::string_view space)
{
    // Names come with the same namespace view element after element: one comparison of the
    // pointer instead of the whole URI. No namespace is never SpreadsheetML, however a parser
    // gives the empty view.
    if (space.empty())
        return false;
    if (space.data() == m_knownSpace.data() && space.size() == m_knownSpace.size())
        return true;
    if (!OoxmlNames::isSpreadsheetNamespace(space))
        return false;
    m_knownSpace = space;
    return true;
}

void WorksheetReader::damaged(const QString &what) const
{
    throw WorkbookError::damaged(QStringLiteral("%1 %2").arg(m_part, what));
}

QString WorksheetReader::cellName() const
{
    QString letters;
    for (std::uint32_t column = m_cellColumn + 1; column > 0; column = (column - 1) / 26)
        letters.prepend(QChar(u'A' + (column - 1) % 26));
    return letters + QString::number(m_cellRow + 1);
}

void WorksheetReader::startElement(const XmlName &name, std::span<const XmlAttribute> attributes)
{
    if (!inSpreadsheetNamespace(name.space))
        return;
    switch (m_place) {
    case Place::Outside:
        if (name.is("sheetData"))
            m_place = Place::SheetData;
        break;
    case Place::SheetData:
        if (name.is("row"))
            startRow(attributes);
        break;
    case Place::Row:
        if (name.is("c"))
            startCell(attributes);
        break;
    case Place::Cell:
        if (name.is("v")) {
            m_place = Place::Value;
            m_value.clear();
            m_hasValue = true;
        } else if (name.is("f")) {
            m_formula = true;
        } else if (name.is("is")) {
            m_place = Place::InlineString;
            if (m_hasInline)
                m_texts.discard(); // a second <is>: the last counts
            m_hasInline = true;
            m_inline.reset();
        }
        break;
    case Place::InlineString:
        m_inline.startElement(name);
        break;
    case Place::Value:
        break;
    }
}

void WorksheetReader::endElement(const XmlName &name)
{
    if (!inSpreadsheetNamespace(name.space))
        return;
    switch (m_place) {
    case Place::Value:
        if (name.is("v"))
            m_place = Place::Cell;
        break;
    case Place::InlineString:
        if (name.is("is"))
            m_place = Place::Cell;
        else
            m_inline.endElement(name);
        break;
    case Place::Cell:
        if (name.is("c")) {
            finishCell();
            m_place = Place::Row;
        }
        break;
    case Place::Row:
        if (name.is("row"))
            m_place = Place::SheetData;
        break;
    case Place::SheetData:
        if (name.is("sheetData"))
            m_place = Place::Outside;
        break;
    case Place::Outside:
        break;
    }
}

void WorksheetReader::characters(std::string_view text)
{
    if (m_place == Place::Value)
        m_value.append(text);
    else if (m_place == Place::InlineString)
        m_inline.characters(text);
}

std::size_t WorksheetReader::plainElement(const char *from, std::string_view defaultSpace)
{
    if (m_place != Place::Row || !inSpreadsheetNamespace(defaultSpace))
        return 0;
    const std::size_t taken = m_plain.read(from);
    if (taken == 0)
        return 0;
    startCell(m_plain.attributes());
    m_formula = m_plain.hasFormula();
    m_hasValue = m_plain.hasValue();
    m_value.assign(m_plain.value());
    finishCell();
    m_place = Place::Row;
    return taken;
}

void WorksheetReader::startRow(std::span<const XmlAttribute> attributes)
{
    std::uint32_t row = m_nextRow;
    if (const XmlAttribute *number = findAttribute(attributes, "r")) {
        std::uint64_t value = 0;
        if (!parseUnsigned(number->value, value) || value == 0 || value > Worksheet::MaxRows)
            damaged(QStringLiteral("has a row numbered %1, outside the sheet")
                        .arg(Utf16(number->value)));
        row = std::uint32_t(value - 1);
    } else if (row >= Worksheet::MaxRows) {
        damaged(QStringLiteral("has more rows than a sheet holds"));
    }
    m_row = row;
    m_nextRow = row + 1;
    m_nextColumn = 0;
    m_place = Place::Row;
}

void WorksheetReader::startCell(std::span<const XmlAttribute> attributes)
{
    m_cellRow = m_row;
    m_cellColumn = m_nextColumn;
    m_style = 0;
    m_type = Type::Number;
    bool placed = false;
    for (const XmlAttribute &attribute : attributes) {
        const std::string_view local = attribute.name.local;
        if (local.size() != 1 || !attribute.name.space.empty())
            continue;
        const std::string_view value = attribute.value;
        switch (local[0]) {
        case 'r':
            switch (parseReference(value, m_cellRow, m_cellColumn)) {
            case Reference::Good:
                placed = true;
                break;
            case Reference::Malformed:
                damaged(QStringLiteral("has a cell reference \"%1\" that names no cell")
                            .arg(Utf16(value)));
            case Reference::OutsideSheet:
                damaged(QStringLiteral("has a cell at %1, outside the sheet").arg(Utf16(value)));
            }
            break;
        case 's': {
            std::uint64_t style = 0;
            if (parseUnsigned(value, style))
                m_style = std::uint16_t(std::min<std::uint64_t>(style, 0xFFFF));
            break;
        }
        case 't':
            if (value == "s")
                m_type = Type::Shared;
            else if (value == "str")
                m_type = Type::FormulaText;
            else if (value == "inlineStr")
                m_type = Type::InlineText;
            else if (value == "b")
                m_type = Type::Boolean;
            else if (value == "e")
                m_type = Type::Error;
            else if (value == "d")
                m_type = Type::Date;
            else if (value != "n")
                damaged(QStringLiteral("has a cell of the unknown type \"%1\"").arg(Utf16(value)));
            break;
        default:
            break;
        }
    }
    if (!placed && m_cellColumn >= Worksheet::MaxColumns)
        damaged(QStringLiteral("has more cells in row %1 than a sheet holds").arg(m_row + 1));
    m_nextColumn = m_cellColumn + 1;
    m_formula = false;
    m_hasValue = false;
    m_hasInline = false;
    m_place = Place::Cell;
}

void WorksheetReader::finishCell()
{
    if (!m_sheet.keepsColumn(m_cellColumn)) {
        // Past the columns read: the value is neither checked nor kept.
        if (m_hasInline)
            m_texts.discard();
        return;
    }
    if (m_type == Type::InlineText && m_hasInline) {
        const std::uint32_t text = m_texts.finish();
        m_sheet.add(Worksheet::Cell::textAt(m_cellRow, m_cellColumn, text | OwnText, m_style));
        return;
    }
    if (m_hasInline)
        m_texts.discard();
    if (!m_hasValue || (m_value.empty() && m_type != Type::FormulaText)) {
        // A formula whose result was never stored reads as empty text; a cell with neither is
        // only formatting.
        if (m_formula)
            m_sheet.add(Worksheet::Cell::at(m_cellRow, m_cellColumn, Worksheet::Kind::EmptyText));
        return;
    }
    switch (m_type) {
    case Type::Number:
        addNumber();
        break;
    case Type::Shared:
        addShared();
        break;
    case Type::FormulaText:
    case Type::InlineText:
        addText(m_value);
        break;
    case Type::Boolean:
        addBoolean();
        break;
    case Type::Error:
        addErrorOrText();
        break;
    case Type::Date:
        addDate();
        break;
    }
}

void WorksheetReader::addText(std::string_view utf8)
{
    if (utf8.empty()) {
        m_sheet.add(Worksheet::Cell::at(m_cellRow, m_cellColumn, Worksheet::Kind::EmptyText));
        return;
    }
    const std::size_t start = m_texts.buffer().size();
    appendUtf8(m_texts.buffer(), utf8);
    if (utf8.find('_') != std::string_view::npos)
        decodeCharacterEscapes(m_texts.buffer(), start);
    const std::uint32_t text = m_texts.finish();
    m_sheet.add(Worksheet::Cell::textAt(m_cellRow, m_cellColumn, text | OwnText, m_style));
}

void WorksheetReader::addNumber()
{
    const std::string_view text = trimmed(m_value);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
        !std::isfinite(value))
        damaged(
            QStringLiteral("has \"%1\" for the number in cell %2").arg(Utf16(m_value), cellName()));
    m_sheet.add(Worksheet::Cell::numberAt(m_cellRow, m_cellColumn, value, m_style));
}

void WorksheetReader::addShared()
{
    std::uint64_t index = 0;
    if (!parseUnsigned(trimmed(m_value), index) || index >= OwnText)
        damaged(QStringLiteral("has \"%1\" for the shared string of cell %2")
                    .arg(Utf16(m_value), cellName()));
    m_sheet.add(Worksheet::Cell::textAt(m_cellRow, m_cellColumn, std::uint32_t(index), m_style));
}

void WorksheetReader::addBoolean()
{
    const std::string_view text = trimmed(m_value);
    if (text != "0" && text != "1" && text != "true" && text != "false")
        damaged(QStringLiteral("has \"%1\" for the boolean in cell %2")
                    .arg(Utf16(m_value), cellName()));
    m_sheet.add(Worksheet::Cell::booleanAt(m_cellRow, m_cellColumn, text == "1" || text == "true"));
}

void WorksheetReader::addErrorOrText()
{
    // An error text no format has a code for stays what it says.
    if (const std::optional<std::uint8_t> code = errorCodeFromText(Utf16(trimmed(m_value))))
        m_sheet.add(Worksheet::Cell::errorAt(m_cellRow, m_cellColumn, *code));
    else
        addText(m_value);
}

void WorksheetReader::addDate()
{
    if (const std::optional<double> serial =
            DateSerial::fromIso8601(Utf16(trimmed(m_value)), m_date1904))
        m_sheet.add(Worksheet::Cell::dateTimeAt(m_cellRow, m_cellColumn, *serial));
    else
        addText(m_value);
}
