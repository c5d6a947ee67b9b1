#include "sheet/encrypted/PackageDecryption.h"

#include "sheet/encrypted/AgileEncryption.h"
#include "sheet/encrypted/StandardEncryption.h"
#include "sheet/model/WorkbookError.h"
#include "util/LittleEndian.h"

namespace {

constexpr std::size_t BlockSize = 16;
constexpr std::size_t SizeField = 8;

} // namespace

std::unique_ptr<PackageDecryption> PackageDecryption::fromInfo(std::span<const std::uint8_t> info,
                                                               std::u16string_view password)
{
    if (info.size() < 8)
        refuse("its encryption header is too short");
    const std::uint16_t major = loadU16(info.data());
    const std::uint16_t minor = loadU16(info.data() + 2);
    if (major == 4 && minor == 4)
        return AgileEncryption::fromInfo(info.subspan(8), password);
    if (major >= 2 && major <= 4 && minor == 2)
        return StandardEncryption::fromInfo(info.subspan(4), password);
    refuse("its encryption is of an unknown version");
}

void PackageDecryption::refuse(const char *what)
{
    throw WorkbookError::damaged(QString::fromLatin1(what));
}

std::span<const std::uint8_t>
PackageDecryption::encryptedBlocks(std::span<const std::uint8_t> stream)
{
    const std::size_t size = statedSize(stream);
    return stream.subspan(SizeField, (size + BlockSize - 1) / BlockSize * BlockSize);
}

std::size_t PackageDecryption::statedSize(std::span<const std::uint8_t> stream)
{
    if (stream.size() < SizeField)
        refuse("its encrypted package is too short");
    const std::uint64_t size = loadU64(stream.data());
    // Writers pad the last block; what follows it is left alone.
    if (size > stream.size() - SizeField ||
        (size + BlockSize - 1) / BlockSize * BlockSize > stream.size() - SizeField)
        refuse("its encrypted package is cut short");
    return std::size_t(size);
}
