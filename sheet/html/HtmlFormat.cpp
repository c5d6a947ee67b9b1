#include "sheet/html/HtmlFormat.h"

#include "sheet/html/HtmlSignature.h"
#include "sheet/html/PageReader.h"
#include "sheet/html/PageText.h"
#include "sheet/html/TableLayout.h"
#include "sheet/model/Workbook.h"

namespace {

bool recognizes(std::span<const std::uint8_t> bytes)
{
    return HtmlSignature::matches(bytes);
}

std::shared_ptr<Workbook> readBytes(std::span<const std::uint8_t> bytes, const ReadControl &control)
{
    auto book = std::make_shared<Workbook>(control.scope());
    const PageText page(bytes);
    book->setFormat(QStringLiteral("HTML"), page.codePage());
    TableLayout layout(*book, book->addWorksheet(QStringLiteral("Sheet1")));
    PageReader(page.utf8(), page.isInput(), layout, control).read();
    book->finish();
    return book;
}

} // namespace

const WorkbookFormat HtmlFormat{"HTML", recognizes, readBytes};
