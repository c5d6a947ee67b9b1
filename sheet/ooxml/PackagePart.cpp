#include "sheet/ooxml/PackagePart.h"

#include "sheet/package/ZipPackage.h"
#include "sheet/xml/XmlPartParser.h"

#include <QString>

namespace {

XmlSource EntrySource(const ZipPackage &package, std::uint64_t entry, const ReadControl &control,
                      const std::function<void()> &goOn)
{
    return [&package, entry, &control, &goOn](const auto &consume) {
        package.read(
            entry,
            [&consume, &goOn](std::span<const char> piece) {
                if (goOn)
                    goOn();
                consume(piece);
            },
            control);
    };
}

} // namespace

void PackagePart::ParseWithExpat(const ZipPackage &package, std::uint64_t entry,
                                 const std::string &name, XmlHandler &handler,
                                 const ReadControl &control)
{
    ParseXmlPartWithExpat(EntrySource(package, entry, control, {}), handler,
                          QString::fromStdString(name));
}

void PackagePart::ParseFast(const ZipPackage &package, std::uint64_t entry, const std::string &name,
                            XmlHandler &handler, const std::function<void()> &restart,
                            const ReadControl &control, const std::function<void()> &goOn)
{
    ParseXmlPart(EntrySource(package, entry, control, goOn), handler, QString::fromStdString(name),
                 restart);
}
