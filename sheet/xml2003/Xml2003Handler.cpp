#include "sheet/xml2003/Xml2003Handler.h"

#include "sheet/model/ValueText.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/xml/Utf8Text.h"
#include "sheet/xml2003/Xml2003Names.h"
#include "sheet/xmldoc/XmlValues.h"

#include <QString>
#include <algorithm>
#include <limits>

namespace {

bool isIn(const XmlName &name, std::string_view local)
{
    return name.local == local && name.space == Xml2003Names::Spreadsheet;
}

// The ss: attributes by their local name; writers other than Excel leave the prefix off.
std::string_view Attribute(std::span<const XmlAttribute> attributes, std::string_view local)
{
    const XmlAttribute *attribute = findAttribute(attributes, local);
    return attribute ? attribute->value : std::string_view();
}

std::uint64_t countAttribute(std::span<const XmlAttribute> attributes, std::string_view local)
{
    const XmlAttribute *attribute = findAttribute(attributes, local);
    if (!attribute)
        return 0;
    const std::optional<std::uint64_t> count = parseXmlCount(attribute->value);
    if (!count)
        throw WorkbookError::damaged(
            QStringLiteral("its ss:%1 \"%2\" is not a count")
                .arg(QString::fromUtf8(local.data(), qsizetype(local.size())),
                     QString::fromUtf8(attribute->value.data(),
                                       qsizetype(attribute->value.size()))));
    return *count;
}

// A 1-based ss:Index as a 0-based place; `otherwise` without one.
std::uint64_t indexAttribute(std::span<const XmlAttribute> attributes, std::uint64_t otherwise)
{
    if (!findAttribute(attributes, "Index"))
        return otherwise;
    const std::uint64_t index = countAttribute(attributes, "Index");
    if (index == 0)
        throw WorkbookError::damaged(QStringLiteral("it has an ss:Index of 0"));
    return index - 1;
}

std::uint64_t advanced(std::uint64_t place, std::uint64_t count)
{
    return count > std::numeric_limits<std::uint64_t>::max() - place
               ? std::numeric_limits<std::uint64_t>::max()
               : place + count;
}

std::optional<bool> truthValue(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n'))
        text.remove_suffix(1);
    if (text == "1" || text == "true" || text == "TRUE")
        return true;
    if (text == "0" || text == "false" || text == "FALSE")
        return false;
    return std::nullopt;
}

} // namespace

Xml2003Handler::Xml2003Handler(ReadScope scope)
    : m_scope(scope)
{
    restart();
}

void Xml2003Handler::restart()
{
    m_book = std::make_shared<Workbook>(m_scope);
    m_styles = Xml2003Styles();
    m_sheet = nullptr;
    m_date1904 = false;
    m_depth = m_stylesDepth = m_styleDepth = m_worksheetDepth = m_tableDepth = 0;
    m_rowDepth = m_cellDepth = m_dataDepth = m_skipDepth = 0;
}

std::shared_ptr<Workbook> Xml2003Handler::workbook()
{
    m_book->setDateStyles(m_styles.dateStyles());
    return m_book;
}

void Xml2003Handler::startElement(const XmlName &name, std::span<const XmlAttribute> attributes)
{
    ++m_depth;
    // Inside Data, rich text's markup only carries its text.
    if (m_skipDepth || m_dataDepth)
        return;
    if (m_cellDepth) {
        if (isIn(name, "Data") && !m_cellHasData)
            startData(attributes);
        else
            skipElement(); // comments, named cells, phonetic text
    } else if (m_rowDepth) {
        if (isIn(name, "Cell"))
            startCell(attributes);
        else
            skipElement();
    } else if (m_tableDepth) {
        if (isIn(name, "Row"))
            startRow(attributes);
        else if (isIn(name, "Column"))
            startColumn(attributes);
        else
            skipElement();
    } else if (m_worksheetDepth) {
        if (isIn(name, "Table") && !m_sheetHasTable) {
            m_tableDepth = m_depth;
            m_sheetHasTable = true;
        } else {
            skipElement(); // worksheet options, conditional formats, ...
        }
    } else if (m_styleDepth) {
        if (isIn(name, "NumberFormat"))
            m_styles.setFormat(m_style, Attribute(attributes, "Format"));
    } else if (m_stylesDepth) {
        if (isIn(name, "Style"))
            startStyle(attributes);
    } else if (m_depth == 2 && isIn(name, "Worksheet")) {
        startWorksheet(attributes);
    } else if (m_depth == 2 && isIn(name, "Styles")) {
        m_stylesDepth = m_depth;
    } else if (name.local == "Date1904" && name.space == Xml2003Names::Excel) {
        m_date1904 = true;
        m_book->setDate1904(true);
    }
}

void Xml2003Handler::endElement(const XmlName &)
{
    if (m_skipDepth) {
        if (m_skipDepth == m_depth)
            m_skipDepth = 0;
    } else if (m_depth == m_dataDepth) {
        endData();
    } else if (m_depth == m_cellDepth) {
        endCell();
    } else if (m_depth == m_rowDepth) {
        m_rowDepth = 0;
    } else if (m_depth == m_tableDepth) {
        m_tableDepth = 0;
    } else if (m_depth == m_worksheetDepth) {
        m_worksheetDepth = 0;
        m_sheet = nullptr;
    } else if (m_depth == m_styleDepth) {
        m_styleDepth = 0;
    } else if (m_depth == m_stylesDepth) {
        m_stylesDepth = 0;
    }
    --m_depth;
}

void Xml2003Handler::characters(std::string_view text)
{
    if (!m_dataDepth || m_skipDepth)
        return;
    if (m_type == DataType::String)
        appendUtf8(m_book->strings().buffer(), text);
    else
        m_value.append(text);
}

void Xml2003Handler::startStyle(std::span<const XmlAttribute> attributes)
{
    m_style = m_styles.number(Attribute(attributes, "ID"));
    if (const XmlAttribute *parent = findAttribute(attributes, "Parent"))
        m_styles.setParent(m_style, parent->value);
    m_styleDepth = m_depth;
}

void Xml2003Handler::startWorksheet(std::span<const XmlAttribute> attributes)
{
    const std::string_view name = Attribute(attributes, "Name");
    m_sheet = &m_book->addWorksheet(QString::fromUtf8(name.data(), qsizetype(name.size())));
    m_worksheetDepth = m_depth;
    m_sheetHasTable = false;
    m_columnStyles.clear();
    m_nextColumnElement = 0;
    m_nextRow = 0;
}

std::uint16_t Xml2003Handler::styleOf(std::span<const XmlAttribute> attributes,
                                      std::uint16_t otherwise)
{
    const XmlAttribute *style = findAttribute(attributes, "StyleID");
    return style ? m_styles.number(style->value) : otherwise;
}

void Xml2003Handler::startColumn(std::span<const XmlAttribute> attributes)
{
    const std::uint64_t first = indexAttribute(attributes, m_nextColumnElement);
    // Excel writes columns in order, each after the last; holding them to that keeps the
    // work of a column's span to one pass over the sheet's columns.
    if (first < m_nextColumnElement)
        throw WorkbookError::damaged(QStringLiteral("its columns overlap"));
    const std::uint64_t end = advanced(advanced(first, countAttribute(attributes, "Span")), 1);
    m_nextColumnElement = end;
    const std::uint16_t style = styleOf(attributes, 0);
    if (style == 0 || first >= Worksheet::MaxColumns)
        return;
    const std::uint64_t last = std::min<std::uint64_t>(end, Worksheet::MaxColumns);
    if (m_columnStyles.size() < last)
        m_columnStyles.resize(last, 0);
    std::fill(m_columnStyles.begin() + std::ptrdiff_t(first),
              m_columnStyles.begin() + std::ptrdiff_t(last), style);
}

void Xml2003Handler::startRow(std::span<const XmlAttribute> attributes)
{
    m_row = indexAttribute(attributes, m_nextRow);
    // A span is that many more rows like this one, without cells.
    m_nextRow = advanced(advanced(m_row, countAttribute(attributes, "Span")), 1);
    m_rowHasStyle = findAttribute(attributes, "StyleID") != nullptr;
    m_rowStyle = styleOf(attributes, 0);
    m_column = 0;
    m_rowDepth = m_depth;
}

void Xml2003Handler::startCell(std::span<const XmlAttribute> attributes)
{
    m_column = indexAttribute(attributes, m_column);
    m_merged = countAttribute(attributes, "MergeAcross");
    std::uint16_t otherwise = 0;
    if (m_rowHasStyle)
        otherwise = m_rowStyle;
    else if (m_column < m_columnStyles.size())
        otherwise = m_columnStyles[std::size_t(m_column)];
    m_cellStyle = styleOf(attributes, otherwise);
    m_cellHasData = false;
    m_cellDepth = m_depth;
}

void Xml2003Handler::endCell()
{
    // The cells a merge takes after the first are empty.
    m_column = advanced(advanced(m_column, m_merged), 1);
    m_cellDepth = 0;
}

void Xml2003Handler::startData(std::span<const XmlAttribute> attributes)
{
    const std::string_view type = Attribute(attributes, "Type");
    if (type == "Number")
        m_type = DataType::Number;
    else if (type == "DateTime")
        m_type = DataType::DateTime;
    else if (type == "Boolean")
        m_type = DataType::Boolean;
    else if (type == "Error")
        m_type = DataType::Error;
    else
        m_type = DataType::String;
    m_value.clear();
    m_textStart = m_book->strings().buffer().size();
    m_dataDepth = m_depth;
}

void Xml2003Handler::addTextCell(std::uint32_t string)
{
    m_sheet->add(Worksheet::Cell::textAt(std::uint32_t(m_row), std::uint32_t(m_column), string,
                                         m_cellStyle));
}

void Xml2003Handler::endData()
{
    m_dataDepth = 0;
    m_cellHasData = true;
    StringTable &strings = m_book->strings();
    if (!Worksheet::holds(m_row, m_column))
        throw WorkbookError::damaged(QStringLiteral("it has a cell beyond the last row or column"));
    const auto row = std::uint32_t(m_row);
    const auto column = std::uint32_t(m_column);
    std::optional<Worksheet::Cell> cell;
    switch (m_type) {
    case DataType::String:
        if (strings.buffer().size() == m_textStart)
            return; // an empty text is an empty cell
        addTextCell(strings.finish());
        return;
    case DataType::Number:
        if (const std::optional<double> number = parseXmlNumber(m_value))
            cell = Worksheet::Cell::numberAt(row, column, *number, m_cellStyle);
        break;
    case DataType::DateTime:
        // A date is its serial number, which only a date style shows as a date.
        if (const std::optional<double> serial = parseXmlDateTime(m_value, m_date1904))
            cell = Worksheet::Cell::numberAt(row, column, *serial, m_cellStyle);
        break;
    case DataType::Boolean:
        if (const std::optional<bool> truth = truthValue(m_value))
            cell = Worksheet::Cell::booleanAt(row, column, *truth);
        break;
    case DataType::Error:
        if (const std::optional<std::uint8_t> code = errorCodeFromText(
                QString::fromUtf8(m_value.data(), qsizetype(m_value.size())).trimmed()))
            cell = Worksheet::Cell::errorAt(row, column, *code);
        break;
    }
    if (cell) {
        m_sheet->add(*cell);
    } else if (!m_value.empty()) {
        // A value of another form than its type's reads as the text it is.
        appendUtf8(strings.buffer(), m_value);
        addTextCell(strings.finish());
    }
}
