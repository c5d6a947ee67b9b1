#include "sheet/xlsb/XlsbFormat.h"

#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/package/ZipPackage.h"
#include "sheet/xlsb/XlsbReader.h"

namespace {

constexpr std::uint64_t ContentTypesLimit = std::uint64_t(1) << 20;

bool recognizes(std::span<const std::uint8_t> bytes)
{
    if (!ZipPackage::hasSignature(bytes))
        return false;
    try {
        const ZipPackage package(bytes);
        const auto types = package.find("[Content_Types].xml");
        // The binary workbook part's type, whether the package gives it per part or for every
        // .bin part.
        return types && package.readAll(*types, ContentTypesLimit)
                            .contains("application/vnd.ms-excel.sheet.binary.macroEnabled.main");
    } catch (const WorkbookError &) {
        // A package too damaged to say what it holds is left to the formats after this one.
        return false;
    }
}

std::shared_ptr<Workbook> readBytes(std::span<const std::uint8_t> bytes, const ReadControl &control)
{
    auto book = std::make_shared<Workbook>(control.scope());
    XlsbReader(bytes, *book, control).read();
    return book;
}

} // namespace

const WorkbookFormat XlsbFormat{"XLSB", recognizes, readBytes};
