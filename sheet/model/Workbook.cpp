#include "sheet/model/Workbook.h"

#include "sheet/model/LocaleTexts.h"
#include "sheet/model/TextBuilder.h"
#include "sheet/model/ValueText.h"
#include "sheet/model/WorkbookError.h"

#include <algorithm>
#include <limits>

Worksheet &Workbook::addWorksheet(QString name)
{
    const bool inScope = m_scope.takesSheet(worksheetCount() + 1);
    return m_sheets.emplace_back(std::move(name),
                                 inScope ? m_scope.columnsOf(Worksheet::MaxColumns) : 0);
}

void Workbook::setFormat(QString name, int codePage)
{
    m_formatName = std::move(name);
    m_codePage = codePage;
}

void Workbook::finish()
{
    // Places in the string table are 32-bit. A file has fewer bytes than that, but a
    // compressed one can hold more characters: a table this size is refused, not cut off.
    if (m_strings.charCount() > std::numeric_limits<std::uint32_t>::max())
        throw WorkbookError::damaged(QStringLiteral("the workbook's texts are too long"));
    for (Worksheet &sheet : m_sheets) {
        sheet.finish();
        sheet.resolveTexts(m_strings);
    }
    m_strings.dropIndex();
}

void Workbook::releaseRowsBefore(const Worksheet &sheet, qint64 row)
{
    for (Worksheet &own : m_sheets) {
        if (&own == &sheet)
            own.releaseRowsBefore(row);
    }
}

void Workbook::close()
{
    m_strings = StringTable();
    for (Worksheet &sheet : m_sheets)
        sheet.release();
    m_closed = true;
}

const Worksheet &Workbook::worksheet(qint64 number) const
{
    if (number < 1 || number > worksheetCount())
        throw WorkbookError::noSuchSheet(number);
    const Worksheet &sheet = m_sheets[static_cast<std::size_t>(number - 1)];
    if (!sheet.isRead())
        throw WorkbookError::sheetNotRead(number);
    return sheet;
}

bool Workbook::isRead(qint64 number) const
{
    return number >= 1 && number <= worksheetCount() &&
           m_sheets[static_cast<std::size_t>(number - 1)].isRead();
}

QString Workbook::cellText(const Worksheet &sheet, qint64 row, qint64 column,
                           const QLocale &locale) const
{
    return cellText(sheet, row, column, LocaleTexts::of(locale));
}

QString Workbook::cellText(const Worksheet &sheet, qint64 row, qint64 column,
                           const LocaleTexts &locale) const
{
    TextBuilder scratch;
    return cellTextView(sheet, row, column, locale, scratch).toString();
}

bool Workbook::showsDate(const Worksheet::Cell &cell) const
{
    if (cell.kind == Worksheet::Kind::DateTime)
        return true;
    return cell.kind == Worksheet::Kind::Number && cell.style < m_styleIsDate.size() &&
           m_styleIsDate[cell.style];
}

void Workbook::prefetchTextsAfter(const Worksheet &sheet, const Worksheet::Cell *cell) const
{
    // Texts are spread over the string table, each one a likely cache miss. Cells are read a
    // row at a time, left to right: while this one is written out, the texts of the two after
    // the next are on their way.
    const Worksheet::Cell *const end = std::min(cell + 4, sheet.cellsEnd());
    for (const Worksheet::Cell *ahead = cell + 2; ahead < end; ++ahead) {
        if (ahead->kind == Worksheet::Kind::Text)
            __builtin_prefetch(m_strings.chars(ahead->chars).utf16());
    }
}

QStringView Workbook::cellTextView(const Worksheet &sheet, qint64 row, qint64 column,
                                   const LocaleTexts &locale, TextBuilder &scratch) const
{
    const Worksheet::Cell *cell = sheet.find(row - 1, column - 1);
    if (!cell)
        return QStringView();
    prefetchTextsAfter(sheet, cell);
    switch (cell->kind) {
    case Worksheet::Kind::Number:
    case Worksheet::Kind::DateTime:
        scratch.clear();
        if (showsDate(*cell))
            appendDateTimeText(scratch, cell->number, m_date1904, locale);
        else
            appendNumberText(scratch, cell->number, locale);
        return scratch.view();
    case Worksheet::Kind::Text:
        return m_strings.chars(cell->chars);
    case Worksheet::Kind::Boolean:
        return booleanTextView(cell->code != 0);
    case Worksheet::Kind::Error:
        scratch.clear();
        scratch.append(errorText(cell->code));
        return scratch.view();
    case Worksheet::Kind::EmptyText:
        break;
    }
    return QStringView();
}
