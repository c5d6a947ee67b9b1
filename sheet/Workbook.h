#pragma once

#include "sheet/BiffParser.h"
#include "sheet/StringTable.h"
#include "sheet/Worksheet.h"

#include <QByteArrayView>
#include <QLocale>
#include <QString>
#include <memory>
#include <vector>

class LocaleTexts;
class TextBuilder;

// A legacy Excel workbook (.xls, BIFF2 to BIFF8) parsed completely from memory: its worksheets'
// cells, their texts and what is needed to turn a cell into text (number formats, the date
// system). Raises WorkbookError for input that is not a workbook, damaged or encrypted.
class Workbook
{
public:
    // Parses a whole file's bytes. The workbook keeps nothing of `bytes`; `progress` learns
    // how far the parse has read (see BiffParser).
    static std::shared_ptr<Workbook> fromBytes(QByteArrayView bytes,
                                               const BiffParser::Progress &progress = {});

    // Worksheets only: chart sheets, macro sheets and modules are left out.
    int worksheetCount() const { return static_cast<int>(m_sheets.size()); }
    // 1-based; raises WorkbookError (NoSuchSheet) for a number it does not have.
    const Worksheet &worksheet(qint64 number) const;

    // The cell's value as text; row and column are 1-based, and a place without content
    // (outside the sheet, too) reads as empty text.
    QString cellText(const Worksheet &sheet, qint64 row, qint64 column,
                     const QLocale &locale) const;
    // The same with the locale's parts looked up already, for reading many cells.
    QString cellText(const Worksheet &sheet, qint64 row, qint64 column,
                     const LocaleTexts &locale) const;
    // The same text without a QString: a view of the workbook's own text, or of `scratch`,
    // where numbers, dates and error values are built (it is cleared first). Valid until
    // `scratch` is used again or the workbook goes.
    QStringView cellTextView(const Worksheet &sheet, qint64 row, qint64 column,
                             const LocaleTexts &locale, TextBuilder &scratch) const;

    // Drops the cells and their texts: a closed workbook keeps its sheets, without content.
    // The memory goes at once, even while references to the workbook remain.
    void close();
    bool isClosed() const { return m_closed; }

    // 2, 3, 4, 5 (Excel 5 and 95) or 8 (Excel 97 and later).
    int biffVersion() const { return m_biffVersion; }
    int codePage() const { return m_codePage; }
    bool uses1904() const { return m_date1904; }

private:
    friend class BiffParser;

    Workbook() = default;
    void prefetchTextsAfter(const Worksheet &sheet, const Worksheet::Cell *cell) const;

    StringTable m_strings;
    std::vector<Worksheet> m_sheets;
    std::vector<bool> m_xfIsDate;
    int m_biffVersion = 8;
    int m_codePage = 1200;
    bool m_date1904 = false;
    bool m_closed = false;
};
