#pragma once

#include "sheet/model/ReadScope.h"
#include "sheet/model/Worksheet.h"
#include "sheet/ods/ParagraphText.h"
#include "sheet/ods/RepeatBudget.h"
#include "sheet/ods/TableFiller.h"
#include "sheet/xml/XmlHandler.h"

#include <memory>
#include <optional>

class Workbook;

// Reads the body of an OpenDocument spreadsheet (content.xml of a package, or the whole flat
// document) into a workbook: each table of office:spreadsheet is a worksheet, in order; rows
// and cells with their repeat counts, in header rows, row groups and row lists alike; each
// cell by its value type, formulas by their cached result. Only the cells' values are read:
// styles, shapes, annotations and everything else pass by.
class OdsContentHandler : public XmlHandler
{
public:
    explicit OdsContentHandler(RepeatBudget budget = RepeatBudget(), ReadScope scope = {});

    // Forgets what it was told, for a parse that starts again from the document's beginning.
    void restart();
    // Whether the document had a spreadsheet body at all (a text document has none).
    bool sawSpreadsheet() const { return m_sawSpreadsheet; }
    // The workbook read, not yet finished.
    std::shared_ptr<Workbook> workbook() const { return m_book; }

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override;
    void endElement(const XmlName &name) override;
    void characters(std::string_view text) override;

private:
    // What a cell's attributes say it holds, until its end says what it is.
    enum class Value {
        None,       // empty, covered, or a text of no interest
        Ready,      // m_cell holds the value
        Paragraphs, // the text of its paragraphs
    };

    void startTable(std::span<const XmlAttribute> attributes);
    void startRow(std::span<const XmlAttribute> attributes);
    void startCell(std::span<const XmlAttribute> attributes, bool covered);
    void endCell();
    void startInCell(const XmlName &name, std::span<const XmlAttribute> attributes);
    void endInCell();
    void skipElement() { m_skipDepth = m_depth; }

    const RepeatBudget m_wholeBudget;
    const ReadScope m_scope;
    std::shared_ptr<Workbook> m_book;
    RepeatBudget m_budget;
    std::optional<ParagraphText> m_text;
    std::optional<TableFiller> m_table;
    bool m_sawSpreadsheet = false;

    // Where the parse is: the depth of the current element, and of each enclosing element
    // that matters (0 when not inside one).
    int m_depth = 0;
    int m_spreadsheetDepth = 0;
    int m_tableDepth = 0;
    int m_rowDepth = 0;
    int m_cellDepth = 0;
    int m_paragraphDepth = 0;
    int m_skipDepth = 0; // an element whose content is of no interest

    // The cell being read.
    Value m_value = Value::None;
    Worksheet::Cell m_cell{};
    std::uint64_t m_repeat = 1;
    bool m_mayBeError = false; // a formula result: a text such as "#DIV/0!" is an error value
};
