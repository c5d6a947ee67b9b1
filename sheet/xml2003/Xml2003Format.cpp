#include "sheet/xml2003/Xml2003Format.h"

#include "sheet/model/Workbook.h"
#include "sheet/xml2003/Xml2003Handler.h"
#include "sheet/xml2003/Xml2003Names.h"
#include "sheet/xmldoc/XmlDocument.h"
#include "sheet/xmldoc/XmlRootElement.h"

namespace {

bool recognizes(std::span<const std::uint8_t> bytes)
{
    const std::optional<XmlRootElement> root = XmlRootElement::read(bytes);
    return root && root->is(Xml2003Names::Spreadsheet, "Workbook");
}

std::shared_ptr<Workbook> readBytes(std::span<const std::uint8_t> bytes, const ReadControl &control)
{
    Xml2003Handler handler(control.scope());
    parseXmlDocument(
        bytes, handler, QStringLiteral("the document"), [&handler] { handler.restart(); }, control);
    const std::shared_ptr<Workbook> book = handler.workbook();
    book->setFormat(QStringLiteral("XML Spreadsheet 2003"));
    book->finish();
    return book;
}

} // namespace

const WorkbookFormat Xml2003Format{"XML Spreadsheet 2003", recognizes, readBytes};
