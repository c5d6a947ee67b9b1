#include "sheet/biff/BiffFormat.h"

#include "sheet/biff/BiffParser.h"
#include "sheet/biff/CompoundFile.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"

namespace {

bool Recognizes(std::span<const std::uint8_t> bytes)
{
    return CompoundFile::hasSignature(bytes) || BiffParser::startsWithBof(bytes);
}

std::shared_ptr<Workbook> Read(std::span<const std::uint8_t> bytes, const ReadControl &control)
{
    const QString &password = control.password();
    return ReadBiffWorkbook(
        bytes, password.isEmpty() ? BiffDecryption::DefaultPassword : QStringView(password),
        control);
}

} // namespace

const WorkbookFormat BiffFormat{"BIFF", Recognizes, Read};

std::shared_ptr<Workbook> ReadBiffWorkbook(std::span<const std::uint8_t> bytes,
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
