#include "sheet/biff/BiffFormat.h"

#include "sheet/biff/BiffParser.h"
#include "sheet/biff/CompoundFile.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"

namespace {

bool recognizes(std::span<const std::uint8_t> bytes)
{
    return CompoundFile::hasSignature(bytes) || BiffParser::startsWithBof(bytes);
}

std::shared_ptr<Workbook> readBytes(std::span<const std::uint8_t> bytes, const ReadControl &control)
{
    const QString &password = control.password();
    return readBiffWorkbook(
        bytes, password.isEmpty() ? BiffDecryption::DefaultPassword : QStringView(password),
        control);
}

} // namespace

const WorkbookFormat BiffFormat{"BIFF", recognizes, readBytes};

std::shared_ptr<Workbook> readBiffWorkbook(std::span<const std::uint8_t> bytes,
                                           QStringView password, const ReadControl &control)
{
    auto book = std::make_shared<Workbook>(control.scope());
    if (!CompoundFile::hasSignature(bytes)) {
        BiffParser(bytes, *book, control, password).parse();
        return book;
    }
    CompoundFile container(bytes);
    std::optional<CompoundFile::Stream> stream = container.rootStream(u"Workbook");
    if (!stream)
        stream = container.rootStream(u"Book");
    if (!stream) {
        // Encrypted OOXML packages are stored in a compound file of their own.
        if (container.rootStream(u"EncryptedPackage"))
            throw WorkbookError::encrypted();
        throw WorkbookError::notWorkbook();
    }
    BiffParser(stream->bytes(), *book, control, password).parse();
    return book;
}
