#pragma once

#include "sheet/model/ReadScope.h"
#include "sheet/model/Worksheet.h"
#include "sheet/xml/XmlHandler.h"
#include "sheet/xml2003/Xml2003Styles.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Workbook;

// Reads an XML Spreadsheet 2003 document into a workbook: its styles' number formats, then
// each Worksheet's Table in order, rows and cells at their indexes, merged cells taking their
// room, and each Data element by its type. A cell without a style of its own has its row's,
// else its column's.
class Xml2003Handler : public XmlHandler
{
public:
    explicit Xml2003Handler(ReadScope scope = {});

    // Forgets what it was told, for a parse that starts again from the document's beginning.
    void restart();
    // After the parse: the workbook, with its styles' date flags, not yet finished.
    std::shared_ptr<Workbook> workbook();

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override;
    void endElement(const XmlName &name) override;
    void characters(std::string_view text) override;

private:
    void startStyle(std::span<const XmlAttribute> attributes);
    void startWorksheet(std::span<const XmlAttribute> attributes);
    void startColumn(std::span<const XmlAttribute> attributes);
    void startRow(std::span<const XmlAttribute> attributes);
    void startCell(std::span<const XmlAttribute> attributes);
    void endCell();
    void startData(std::span<const XmlAttribute> attributes);
    void endData();
    void addTextCell(std::uint32_t string);
    std::uint16_t styleOf(std::span<const XmlAttribute> attributes, std::uint16_t otherwise);
    void skipElement() { m_skipDepth = m_depth; }

    const ReadScope m_scope;
    std::shared_ptr<Workbook> m_book;
    Xml2003Styles m_styles;
    Worksheet *m_sheet = nullptr;
    bool m_date1904 = false;

    int m_depth = 0;
    int m_stylesDepth = 0;
    int m_styleDepth = 0;
    int m_worksheetDepth = 0;
    int m_tableDepth = 0;
    int m_rowDepth = 0;
    int m_cellDepth = 0;
    int m_dataDepth = 0;
    int m_skipDepth = 0;

    std::uint16_t m_style = 0; // the Style element being read
    bool m_sheetHasTable = false;
    std::vector<std::uint16_t> m_columnStyles; // by column, 0 for none
    std::uint64_t m_nextColumnElement = 0;
    std::uint64_t m_row = 0; // the Row being read, 0-based
    std::uint64_t m_nextRow = 0;
    std::uint16_t m_rowStyle = 0;
    bool m_rowHasStyle = false;
    std::uint64_t m_column = 0; // the Cell being read, 0-based
    std::uint64_t m_merged = 0; // the columns its MergeAcross takes after it
    std::uint16_t m_cellStyle = 0;
    bool m_cellHasData = false;

    // The Data element being read: its type, and its text (UTF-8 for a value, straight into
    // the string table for a String).
    enum class DataType { String, Number, DateTime, Boolean, Error };
    DataType m_type = DataType::String;
    std::string m_value;
    std::size_t m_textStart = 0;
};
