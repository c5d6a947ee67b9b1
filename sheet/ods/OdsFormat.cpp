#include "sheet/ods/OdsFormat.h"

#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/ods/OdsContentHandler.h"
#include "sheet/ods/OdsManifest.h"
#include "sheet/ods/OdsNames.h"
#include "sheet/package/InflateAhead.h"
#include "sheet/package/ZipPackage.h"
#include "sheet/xml/XmlPartParser.h"
#include "sheet/xmldoc/XmlDocument.h"
#include "sheet/xmldoc/XmlRootElement.h"
#include "util/LittleEndian.h"

#include <cstring>

namespace {

constexpr std::uint64_t SmallPartLimit = std::uint64_t(1) << 20;

bool IsSpreadsheetType(std::string_view type)
{
    while (!type.empty() && (type.back() == '\n' || type.back() == '\r' || type.back() == ' '))
        type.remove_suffix(1);
    return type == OdsNames::SpreadsheetType ||
           (type.starts_with(OdsNames::SpreadsheetType) &&
            type.substr(OdsNames::SpreadsheetType.size()) == "-template");
}

// OpenDocument packages begin with their "mimetype" entry, stored: its name and its content
// stand at fixed places of the first local header. Nothing when the file does not begin so.
std::optional<std::string_view> LeadingMimetype(std::span<const std::uint8_t> bytes)
{
    constexpr std::size_t NameAt = 30;
    if (bytes.size() < NameAt + 8 || std::memcmp(bytes.data() + NameAt, "mimetype", 8) != 0)
        return std::nullopt;
    const std::uint16_t method = LoadU16(bytes.data() + 8);
    const std::uint32_t size = LoadU32(bytes.data() + 18);
    const std::size_t at = NameAt + LoadU16(bytes.data() + 26) + LoadU16(bytes.data() + 28);
    if (method != 0 || size > 256 || at + size > bytes.size())
        return std::nullopt;
    return std::string_view(reinterpret_cast<const char *>(bytes.data() + at), size);
}

std::string_view View(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), std::size_t(bytes.size()));
}

// Whether a package is an OpenDocument spreadsheet by its directory and small parts; a
// package with a content.xml and nothing that says what it is may be one.
bool IsSpreadsheetPackage(const ZipPackage &package)
{
    if (const std::optional<std::uint64_t> mimetype = package.find("mimetype"))
        return IsSpreadsheetType(View(package.readAll(*mimetype, 256)));
    if (const std::optional<std::uint64_t> manifest = package.find("META-INF/manifest.xml")) {
        const OdsManifest about = OdsManifest::read(package.readAll(*manifest, SmallPartLimit));
        if (!about.mediaType().empty())
            return IsSpreadsheetType(about.mediaType());
    }
    return package.contains("content.xml") && !package.contains("[Content_Types].xml");
}

bool RecognizesPackage(std::span<const std::uint8_t> bytes)
{
    if (!ZipPackage::hasSignature(bytes))
        return false;
    if (const std::optional<std::string_view> mimetype = LeadingMimetype(bytes))
        return IsSpreadsheetType(*mimetype);
    try {
        return IsSpreadsheetPackage(ZipPackage(bytes));
    } catch (...) {
        return false;
    }
}

std::shared_ptr<Workbook> Finished(const OdsContentHandler &content, const char *format)
{
    // A text document or a drawing is OpenDocument too, but no workbook.
    if (!content.sawSpreadsheet())
        throw WorkbookError::notWorkbook();
    const std::shared_ptr<Workbook> book = content.workbook();
    book->setFormat(QString::fromLatin1(format));
    book->finish();
    return book;
}

std::shared_ptr<Workbook> ReadPackage(std::span<const std::uint8_t> bytes,
                                      const ReadControl &control)
{
    const ZipPackage package(bytes);
    if (const std::optional<std::uint64_t> manifest = package.find("META-INF/manifest.xml")) {
        if (OdsManifest::read(package.readAll(*manifest, SmallPartLimit)).contentEncrypted())
            throw WorkbookError::encrypted();
    }
    const std::optional<std::uint64_t> content = package.find("content.xml");
    if (!content)
        throw WorkbookError::damaged(QStringLiteral("its package has no content.xml"));
    OdsContentHandler handler(RepeatBudget(), control.scope());
    // Inflated on a thread of its own while it is scanned, each reading anew: with no second
    // reader beside it, that took 217 ms against 226 ms (bench/README.md, "InflateAhead").
    ParseXmlPart([&](const auto &consume) { InflateAhead(bytes, *content, control).read(consume); },
                 handler, QStringLiteral("content.xml"), [&handler] { handler.restart(); });
    return Finished(handler, "ODS");
}

bool RecognizesFlat(std::span<const std::uint8_t> bytes)
{
    const std::optional<XmlRootElement> root = XmlRootElement::read(bytes);
    if (!root || !root->is(OdsNames::Office, "document"))
        return false;
    const std::optional<std::string_view> type = root->attribute(OdsNames::Office, "mimetype");
    return !type || IsSpreadsheetType(*type);
}

std::shared_ptr<Workbook> ReadFlat(std::span<const std::uint8_t> bytes, const ReadControl &control)
{
    OdsContentHandler handler(RepeatBudget(), control.scope());
    ParseXmlDocument(
        bytes, handler, QStringLiteral("the document"), [&handler] { handler.restart(); }, control);
    return Finished(handler, "FODS");
}

} // namespace

const WorkbookFormat OdsFormat{"ODS", RecognizesPackage, ReadPackage};
const WorkbookFormat FodsFormat{"FODS", RecognizesFlat, ReadFlat};
