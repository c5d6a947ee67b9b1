#include "sheet/ods/OdsContentHandler.h"

#include "sheet/model/ValueText.h"
#include "sheet/model/Workbook.h"
#include "sheet/ods/OdsNames.h"
#include "sheet/xmldoc/XmlValues.h"

#include <QString>

namespace {

bool isIn(const XmlName &name, std::string_view space, std::string_view local)
{
    return name.local == local && name.space == space;
}

std::uint64_t repeatCount(std::string_view text)
{
    // A count that is not a number or is 0 stands for one, as spreadsheet programs read it.
    const std::optional<std::uint64_t> count = parseXmlCount(text);
    return count && *count > 0 ? *count : 1;
}

struct CellAttributes
{
    std::string_view valueType;
    std::string_view value;
    std::string_view dateValue;
    std::string_view timeValue;
    std::string_view booleanValue;
    std::string_view stringValue;
    std::string_view formula;
    std::string_view resultType; // LibreOffice's own, which names error results
    std::uint64_t repeat = 1;

    explicit CellAttributes(std::span<const XmlAttribute> attributes)
    {
        for (const XmlAttribute &attribute : attributes) {
            const XmlName &name = attribute.name;
            if (name.space == OdsNames::Office) {
                if (name.local == "value-type")
                    valueType = attribute.value;
                else if (name.local == "value")
                    value = attribute.value;
                else if (name.local == "date-value")
                    dateValue = attribute.value;
                else if (name.local == "time-value")
                    timeValue = attribute.value;
                else if (name.local == "boolean-value")
                    booleanValue = attribute.value;
                else if (name.local == "string-value")
                    stringValue = attribute.value;
            } else if (name.space == OdsNames::Table) {
                if (name.local == "number-columns-repeated")
                    repeat = repeatCount(attribute.value);
                else if (name.local == "formula")
                    formula = attribute.value;
            } else if (name.space == OdsNames::CalcExtension && name.local == "value-type") {
                resultType = attribute.value;
            }
        }
    }
};

} // namespace

OdsContentHandler::OdsContentHandler(RepeatBudget budget, ReadScope scope)
    : m_wholeBudget(budget)
    , m_scope(scope)
    , m_budget(budget)
{
    restart();
}

void OdsContentHandler::restart()
{
    m_table.reset();
    m_book = std::make_shared<Workbook>(m_scope);
    m_budget = m_wholeBudget;
    m_text.emplace(m_book->strings(), m_budget);
    m_sawSpreadsheet = false;
    m_depth = m_spreadsheetDepth = m_tableDepth = m_rowDepth = m_cellDepth = 0;
    m_paragraphDepth = m_skipDepth = 0;
    m_value = Value::None;
}

void OdsContentHandler::startElement(const XmlName &name, std::span<const XmlAttribute> attributes)
{
    ++m_depth;
    if (m_skipDepth)
        return;
    if (m_cellDepth) {
        startInCell(name, attributes);
    } else if (m_rowDepth) {
        if (name.space == OdsNames::Table &&
            (name.local == "table-cell" || name.local == "covered-table-cell"))
            startCell(attributes, name.local == "covered-table-cell");
        else
            skipElement();
    } else if (m_tableDepth) {
        // Rows count wherever they stand in the table: in header rows, groups, row lists.
        if (isIn(name, OdsNames::Table, "table-row"))
            startRow(attributes);
        else if (name.space == OdsNames::Drawing || isIn(name, OdsNames::Table, "table") ||
                 isIn(name, OdsNames::Table, "shapes") || isIn(name, OdsNames::Office, "forms"))
            skipElement();
    } else if (m_spreadsheetDepth) {
        if (m_depth == m_spreadsheetDepth + 1 && isIn(name, OdsNames::Table, "table"))
            startTable(attributes);
    } else if (isIn(name, OdsNames::Office, "spreadsheet")) {
        m_spreadsheetDepth = m_depth;
        m_sawSpreadsheet = true;
    }
}

void OdsContentHandler::endElement(const XmlName &)
{
    if (m_skipDepth) {
        if (m_skipDepth == m_depth)
            m_skipDepth = 0;
    } else if (m_cellDepth) {
        if (m_depth == m_cellDepth)
            endCell();
        else if (m_depth == m_paragraphDepth)
            endInCell();
    } else if (m_depth == m_rowDepth) {
        m_table->endRow();
        m_rowDepth = 0;
    } else if (m_depth == m_tableDepth) {
        m_table.reset();
        m_tableDepth = 0;
    } else if (m_depth == m_spreadsheetDepth) {
        m_spreadsheetDepth = 0;
    }
    --m_depth;
}

void OdsContentHandler::characters(std::string_view text)
{
    if (m_paragraphDepth && !m_skipDepth)
        m_text->characters(text);
}

void OdsContentHandler::startTable(std::span<const XmlAttribute> attributes)
{
    QString name;
    if (const XmlAttribute *attribute = findAttribute(attributes, "name", OdsNames::Table))
        name = QString::fromUtf8(attribute->value.data(), qsizetype(attribute->value.size()));
    Worksheet &sheet = m_book->addWorksheet(std::move(name));
    // All tables are in the one document: a table outside the scope is passed over, its
    // cells neither stored nor counted against the budget.
    if (!sheet.isRead()) {
        skipElement();
        return;
    }
    m_table.emplace(sheet, m_budget);
    m_tableDepth = m_depth;
}

void OdsContentHandler::startRow(std::span<const XmlAttribute> attributes)
{
    const XmlAttribute *repeat = findAttribute(attributes, "number-rows-repeated", OdsNames::Table);
    m_table->beginRow(repeat ? repeatCount(repeat->value) : 1);
    m_rowDepth = m_depth;
}

void OdsContentHandler::startCell(std::span<const XmlAttribute> attributes, bool covered)
{
    const CellAttributes cell(attributes);
    m_cellDepth = m_depth;
    m_repeat = cell.repeat;
    if (covered || !m_table->keepsColumn()) {
        // A place in a merged area, or past the columns read: whatever it holds is not shown.
        m_value = Value::None;
        return;
    }
    m_value = Value::Paragraphs;
    m_mayBeError = !cell.formula.empty() || cell.resultType == "error";
    const std::string_view type = cell.valueType;
    if (cell.resultType == "error") {
        // The value is in the text.
    } else if (type == "float" || type == "percentage" || type == "currency") {
        if (const std::optional<double> number = parseXmlNumber(cell.value)) {
            m_cell = Worksheet::Cell::numberAt(0, 0, *number);
            m_value = Value::Ready;
        }
    } else if (type == "date") {
        if (const std::optional<double> serial = parseXmlDateTime(cell.dateValue, false)) {
            m_cell = Worksheet::Cell::dateTimeAt(0, 0, *serial);
            m_value = Value::Ready;
        }
    } else if (type == "time") {
        if (const std::optional<double> days = parseXmlDuration(cell.timeValue)) {
            m_cell = Worksheet::Cell::dateTimeAt(0, 0, *days);
            m_value = Value::Ready;
        }
    } else if (type == "boolean") {
        if (cell.booleanValue == "true" || cell.booleanValue == "false") {
            m_cell = Worksheet::Cell::booleanAt(0, 0, cell.booleanValue == "true");
            m_value = Value::Ready;
        }
    } else if (type == "string" && !cell.stringValue.empty()) {
        m_text->begin();
        m_text->verbatim(cell.stringValue);
        m_cell = Worksheet::Cell::textAt(0, 0, m_text->finish());
        m_value = Value::Ready;
    }
    if (m_value == Value::Paragraphs)
        m_text->begin();
}

void OdsContentHandler::endCell()
{
    if (m_value == Value::Ready) {
        m_table->add(m_cell, m_repeat);
    } else if (m_value == Value::Paragraphs) {
        const QStringView text = m_text->view();
        std::optional<std::uint8_t> error;
        if (m_mayBeError)
            error = errorCodeFromText(text);
        if (text.isEmpty()) {
            m_text->discard();
            m_table->skip(m_repeat);
        } else if (error) {
            m_text->discard();
            m_table->add(Worksheet::Cell::errorAt(0, 0, *error), m_repeat);
        } else {
            m_table->add(Worksheet::Cell::textAt(0, 0, m_text->finish()), m_repeat);
        }
    } else {
        m_table->skip(m_repeat);
    }
    m_cellDepth = 0;
    m_paragraphDepth = 0;
    m_value = Value::None;
}

void OdsContentHandler::startInCell(const XmlName &name, std::span<const XmlAttribute> attributes)
{
    if (m_value != Value::Paragraphs) {
        skipElement();
        return;
    }
    if (name.space == OdsNames::Text) {
        if (name.local == "p" || name.local == "h") {
            if (!m_paragraphDepth) {
                m_paragraphDepth = m_depth;
                m_text->beginParagraph();
            }
        } else if (!m_paragraphDepth) {
            // Lists and sections hold paragraphs; nothing else outside one is text.
        } else if (name.local == "s") {
            const XmlAttribute *count = findAttribute(attributes, "c", OdsNames::Text);
            m_text->spaces(count ? repeatCount(count->value) : 1);
        } else if (name.local == "tab") {
            m_text->put(u'\t');
        } else if (name.local == "line-break") {
            m_text->put(u'\n');
        } else if (name.local == "note-body" || name.local == "ruby-text") {
            skipElement();
        }
    } else if (name.space == OdsNames::Drawing || name.space == OdsNames::Table ||
               isIn(name, OdsNames::Office, "annotation")) {
        // Shapes, nested tables and comments are not part of the cell's text.
        skipElement();
    }
}

void OdsContentHandler::endInCell()
{
    m_text->endParagraph();
    m_paragraphDepth = 0;
}
