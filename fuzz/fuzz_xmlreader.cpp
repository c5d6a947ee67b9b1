// One XML-based workbook reader on any bytes, without the recognition that would turn most of
// them away: the flat OpenDocument reader (whose body handler also reads a package's
// content.xml) or the XML Spreadsheet 2003 reader, chosen when the target is built. Every cell
// of the sheets it reads is turned into text, as the workbook operations would.
#include "sheet/model/LocaleTexts.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/model/WorkbookFormat.h"

#include <QLocale>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

extern const WorkbookFormat ORVANDEL_FUZZ_FORMAT;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const LocaleTexts locale(QLocale::c());
    std::shared_ptr<Workbook> book;
    try {
        book = ORVANDEL_FUZZ_FORMAT.read(std::span(data, size), ReadControl());
    } catch (const WorkbookError &) {
        return 0;
    }
    for (int number = 1; number <= book->worksheetCount(); ++number) {
        const Worksheet &sheet = book->worksheet(number);
        // A sheet of repeated cells can reach the last row and column: a corner is enough.
        for (int row = 1; row <= std::min(sheet.rowCount(), 300); ++row) {
            for (int column = 1; column <= std::min(sheet.columnCount(), 40); ++column)
                (void)book->cellText(sheet, row, column, locale);
        }
    }
    return 0;
}
