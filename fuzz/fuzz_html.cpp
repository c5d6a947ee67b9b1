// The web page reader on any bytes, recognised or not. The page is read whole and read in
// pieces of a few dozen bytes, which must give the same sheet: a cut that changed how a row
// parses is a fault, and the target stops there.
#include "sheet/html/HtmlFormat.h"
#include "sheet/html/PageReader.h"
#include "sheet/html/PageText.h"
#include "sheet/html/TableLayout.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "tests/support/SheetText.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QString sheetInPieces(const PageText &page, std::size_t pieceBytes)
{
    try {
        Workbook book;
        TableLayout layout(book, book.addWorksheet(QStringLiteral("Sheet1")));
        PageReader(page.utf8(), page.isInput(), layout, ReadControl(), pieceBytes).read();
        book.finish();
        return sheetText(book);
    } catch (const WorkbookError &error) {
        return error.message();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const PageText page(bytes);
    const QString whole = sheetInPieces(page, SIZE_MAX);
    if (sheetInPieces(page, 48) != whole) {
        std::fprintf(stderr, "the page read in pieces differs from the page read whole\n");
        std::abort();
    }
    try {
        HtmlFormat.read(bytes, ReadControl());
    } catch (const WorkbookError &) {
    }
    return 0;
}
