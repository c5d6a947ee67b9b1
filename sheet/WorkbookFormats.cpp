#include "sheet/WorkbookFormats.h"

#include "sheet/biff/BiffFormat.h"
#include "sheet/encrypted/EncryptedPackageFormat.h"
#include "sheet/html/HtmlFormat.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/ods/OdsFormat.h"
#include "sheet/ooxml/OoxmlFormat.h"
#include "sheet/text/TextFormat.h"
#include "sheet/xlsb/XlsbFormat.h"
#include "sheet/xml2003/Xml2003Format.h"

namespace {

// In the order they are tried: the binary containers first, text formats last, since almost
// anything can be read as text.
// One line a format, so that adding one is one line.
// clang-format off
const WorkbookFormat *const Formats[] = {
    &EncryptedPackageFormat,
    &BiffFormat,
    &OoxmlFormat,
    &XlsbFormat,
    &OdsFormat,
    &FodsFormat,
    &Xml2003Format,
    &HtmlFormat,
    &DelimitedTextFormat,
};
// clang-format on

} // namespace

std::shared_ptr<Workbook> readWorkbook(std::span<const std::uint8_t> bytes,
                                       const ReadControl &control)
{
    for (const WorkbookFormat *format : Formats) {
        if (format->recognizes(bytes))
            return format->read(bytes, control);
    }
    throw WorkbookError::notWorkbook();
}

std::shared_ptr<Workbook> readWorkbook(QByteArrayView bytes, const ReadControl &control)
{
    return readWorkbook(std::span<const std::uint8_t>(
                            reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size()),
                        control);
}
