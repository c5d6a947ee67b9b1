#pragma once

#include "sheet/model/ReadScope.h"
#include "sheet/model/StringTable.h"
#include "sheet/model/Worksheet.h"

#include <QLocale>
#include <QString>
#include <memory>
#include <vector>

class LocaleTexts;
class TextBuilder;

// A workbook read completely into memory, whatever its format: its worksheets' cells, their
// texts and what is needed to turn a cell into text (which number styles show dates, the date
// system). Every reader fills one; reading cells back is the same for all of them.
class Workbook
{
public:
    Workbook() = default;
    // A workbook that keeps the cells of the scope only: the worksheets outside it are in the
    // list without cells, and the columns past its limit are dropped as they are added.
    explicit Workbook(ReadScope scope)
        : m_scope(scope)
    {
    }
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    // Filling, by a reader: the texts, the worksheets in order (worksheets only), the date
    // system and the number styles, then finish() once after the last cell.
    StringTable &strings() { return m_strings; }
    // The next worksheet; a reader need not read the cells of one that is not isRead().
    Worksheet &addWorksheet(QString name);
    // Room for `count` worksheets, so that the references addWorksheet gives for them stay
    // valid while the others are added.
    void reserveWorksheets(std::size_t count) { m_sheets.reserve(count); }
    void setDate1904(bool on) { m_date1904 = on; }
    // For each number style (a Cell's `style`), whether numbers of that style show as dates.
    void setDateStyles(std::vector<bool> styleIsDate) { m_styleIsDate = std::move(styleIsDate); }
    // What the workbook was read from, for tools and tests: "BIFF8", "OOXML", ...; and for
    // 8-bit formats, the code page their texts were in.
    void setFormat(QString name, int codePage = 0);
    // Sorts every worksheet's cells, gives each text cell the place of its characters and
    // drops the strings' index. Raises WorkbookError (Damaged) for texts beyond 4 Gi characters.
    void finish();

    // Worksheets only: chart sheets, macro sheets and modules are left out.
    int worksheetCount() const { return static_cast<int>(m_sheets.size()); }
    // 1-based; raises WorkbookError (NoSuchSheet) for a number it does not have, and
    // (SheetNotRead) for one outside the scope it was read in.
    const Worksheet &worksheet(qint64 number) const;
    // Whether worksheet `number` (1-based) is one whose cells were read.
    bool isRead(qint64 number) const;

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

    // Worksheet::releaseRowsBefore on one of this workbook's sheets.
    void releaseRowsBefore(const Worksheet &sheet, qint64 row);

    // Drops the cells and their texts: a closed workbook keeps its sheets, without content.
    // The memory goes at once, even while references to the workbook remain.
    void close();
    bool isClosed() const { return m_closed; }

    // Whether a cell's number reads as a date: a DateTime, or a Number of a date style.
    bool showsDate(const Worksheet::Cell &cell) const;

    const QString &formatName() const { return m_formatName; }
    int codePage() const { return m_codePage; }
    bool uses1904() const { return m_date1904; }

private:
    void prefetchTextsAfter(const Worksheet &sheet, const Worksheet::Cell *cell) const;

    ReadScope m_scope;
    StringTable m_strings;
    std::vector<Worksheet> m_sheets;
    std::vector<bool> m_styleIsDate;
    QString m_formatName;
    int m_codePage = 0;
    bool m_date1904 = false;
    bool m_closed = false;
};
