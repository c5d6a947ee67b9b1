#include "sheet/Workbook.h"

#include <algorithm>

#include "sheet/BiffParser.h"
#include "sheet/CompoundFile.h"
#include "sheet/LocaleTexts.h"
#include "sheet/TextBuilder.h"
#include "sheet/ValueText.h"
#include "sheet/WorkbookError.h"

std::shared_ptr<Workbook> Workbook::fromBytes(QByteArrayView bytes,
                                              const BiffParser::Progress &progress)
{
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                             static_cast<std::size_t>(bytes.size()));
    std::shared_ptr<Workbook> book(new Workbook());
    if (CompoundFile::hasSignature(data)) {
        CompoundFile container(data);
        std::optional<CompoundFile::Stream> stream = container.rootStream(u"Workbook");
        if (!stream)
            stream = container.rootStream(u"Book");
        if (!stream)
            throw WorkbookError::notWorkbook();
        BiffParser(stream->bytes(), *book, progress).parse();
    } else if (BiffParser::startsWithBof(data)) {
        BiffParser(data, *book, progress).parse();
    } else {
        throw WorkbookError::notWorkbook();
    }
    return book;
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
    return m_sheets[static_cast<std::size_t>(number - 1)];
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
        scratch.clear();
        if (cell->xf < m_xfIsDate.size() && m_xfIsDate[cell->xf])
            AppendDateTimeText(scratch, cell->number, m_date1904, locale);
        else
            AppendNumberText(scratch, cell->number, locale);
        return scratch.view();
    case Worksheet::Kind::Text:
        return m_strings.chars(cell->chars);
    case Worksheet::Kind::Boolean:
        return BooleanTextView(cell->code != 0);
    case Worksheet::Kind::Error:
        scratch.clear();
        scratch.append(ErrorText(cell->code));
        return scratch.view();
    case Worksheet::Kind::EmptyText:
        break;
    }
    return QStringView();
}
