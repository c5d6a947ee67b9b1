#include "sheet/encrypted/EncryptedPackageFormat.h"

#include "sheet/biff/BiffDecryption.h"
#include "sheet/biff/CompoundFile.h"
#include "sheet/encrypted/PackageDecryption.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/ooxml/OoxmlReader.h"
#include "sheet/xlsb/XlsbFormat.h"

namespace {

bool recognizes(std::span<const std::uint8_t> bytes)
{
    if (!CompoundFile::hasSignature(bytes))
        return false;
    try {
        CompoundFile container(bytes);
        return container.rootStream(u"EncryptedPackage").has_value() &&
               container.rootStream(u"EncryptionInfo").has_value();
    } catch (const WorkbookError &) {
        // A compound file too damaged to list its streams is left to the legacy reader, which
        // says what is wrong with it.
        return false;
    }
}

std::shared_ptr<Workbook> readBytes(std::span<const std::uint8_t> bytes, const ReadControl &control)
{
    const QString &password = control.password();
    return readEncryptedPackage(
        bytes, password.isEmpty() ? BiffDecryption::DefaultPassword : QStringView(password),
        control);
}

} // namespace

const WorkbookFormat EncryptedPackageFormat{"encrypted OOXML", recognizes, readBytes};

std::shared_ptr<Workbook> readEncryptedPackage(std::span<const std::uint8_t> bytes,
                                               QStringView password, const ReadControl &control)
{
    CompoundFile container(bytes);
    const std::optional<CompoundFile::Stream> info = container.rootStream(u"EncryptionInfo");
    const std::optional<CompoundFile::Stream> package = container.rootStream(u"EncryptedPackage");
    if (!info || !package)
        throw WorkbookError::notWorkbook();
    const auto decryption = PackageDecryption::fromInfo(
        info->bytes(), std::u16string_view(reinterpret_cast<const char16_t *>(password.utf16()),
                                           std::size_t(password.size())));
    const Bytes plain = decryption->decrypt(package->bytes(), control);
    if (OoxmlReader::recognizes(plain))
        return OoxmlReader::read(plain, control);
    if (XlsbFormat.recognizes(plain))
        return XlsbFormat.read(plain, control);
    throw WorkbookError::damaged(QStringLiteral("its encrypted package holds no workbook"));
}
