#pragma once

#include "sheet/model/StringTable.h"
#include "sheet/model/Worksheet.h"
#include "sheet/ooxml/PlainCellMarkup.h"
#include "sheet/ooxml/RichTextReader.h"
#include "sheet/xml/XmlHandler.h"

#include <QString>
#include <string>

// Reads the cells of a worksheet part (<sheetData>) into a Worksheet: rows and cells with or
// without their r attributes, every cell type (n, s, str, inlineStr, b, e, d) and formulas by
// their cached values. A shared string cell keeps the string's number; the texts cells hold
// themselves go to a table of the sheet's own, their numbers marked with OwnText, because the
// shared strings may still be being read meanwhile. A place outside the sheet or a value its type
// cannot have raises WorkbookError (Damaged).
class WorksheetReader : public XmlHandler
{
public:
    static constexpr std::uint32_t OwnText = 0x80000000u;

    WorksheetReader(Worksheet &sheet, StringTable &ownTexts, bool date1904, QString part);

    // Forgets the cells read so far, for a part read again from its start.
    void restart();

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override;
    void endElement(const XmlName &name) override;
    void characters(std::string_view text) override;
    std::size_t plainElement(const char *from, std::string_view defaultSpace) override;

private:
    enum class Place : std::uint8_t { Outside, SheetData, Row, Cell, Value, InlineString };
    enum class Type : std::uint8_t {
        Number,
        Shared,
        FormulaText,
        InlineText,
        Boolean,
        Error,
        Date
    };

    void startRow(std::span<const XmlAttribute> attributes);
    void startCell(std::span<const XmlAttribute> attributes);
    void finishCell();
    void addText(std::string_view utf8);
    void addNumber();
    void addShared();
    void addBoolean();
    void addErrorOrText();
    void addDate();
    bool inSpreadsheetNamespace(std::string_view space);
    [[noreturn]] void damaged(const QString &what) const;
    QString cellName() const;

    Worksheet &m_sheet;
    StringTable &m_texts;
    bool m_date1904;
    QString m_part;
    std::string_view m_knownSpace; // the last namespace found to be SpreadsheetML

    Place m_place = Place::Outside;
    std::uint32_t m_nextRow = 0; // 0-based
    std::uint32_t m_row = 0;
    std::uint32_t m_nextColumn = 0;

    // The cell being read.
    std::uint32_t m_cellRow = 0;
    std::uint32_t m_cellColumn = 0;
    std::uint16_t m_style = 0;
    Type m_type = Type::Number;
    bool m_formula = false;
    bool m_hasValue = false;
    bool m_hasInline = false;
    std::string m_value;
    RichTextReader m_inline;
    PlainCellMarkup m_plain;
};
