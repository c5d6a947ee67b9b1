#include "sheet/biff/BiffDecryption.h"

#include "sheet/biff/BiffRecords.h"
#include "sheet/biff/Rc4CryptoApiDecryption.h"
#include "sheet/biff/Rc4Md5Decryption.h"
#include "sheet/biff/XorObfuscation.h"
#include "sheet/model/WorkbookError.h"
#include "util/LittleEndian.h"

#include <algorithm>

namespace {

// The records the reader needs before it has a key, and those a shared workbook keeps readable
// for whoever has it open.
bool staysClear(std::uint16_t id)
{
    switch (id) {
    case BiffRecord::Bof:
    case BiffRecord::Bof4:
    case BiffRecord::Bof3:
    case BiffRecord::Bof2:
    case BiffRecord::FilePass:
    case BiffRecord::InterfaceHdr:
    case BiffRecord::UsrExcl:
    case BiffRecord::FileLock:
    case BiffRecord::RrdInfo:
    case BiffRecord::RrdHead:
        return true;
    default:
        return false;
    }
}

} // namespace

std::unique_ptr<BiffDecryption> BiffDecryption::fromFilePass(std::span<const std::uint8_t> data,
                                                             int biff, QStringView password)
{
    // Before BIFF8 the record holds nothing but the XOR key and the password's verifier.
    if (biff < 8) {
        if (data.size() < 4)
            refuseHeader("the encryption header is too short");
        return std::make_unique<XorObfuscation>(loadU16(data.data()), loadU16(data.data() + 2),
                                                password);
    }
    if (data.size() < 2)
        refuseHeader("the encryption header is too short");
    const std::uint16_t type = loadU16(data.data());
    const auto info = data.subspan(2);
    if (type == 0) {
        if (info.size() < 4)
            refuseHeader("the encryption header is too short");
        return std::make_unique<XorObfuscation>(loadU16(info.data()), loadU16(info.data() + 2),
                                                password);
    }
    if (type != 1)
        refuseHeader("the encryption header names an unknown scheme");
    if (info.size() < 4)
        refuseHeader("the encryption header is too short");
    const std::uint16_t major = loadU16(info.data());
    const std::uint16_t minor = loadU16(info.data() + 2);
    if (major == 1 && minor == 1)
        return Rc4Md5Decryption::fromHeader(info.subspan(4), password);
    if (major >= 2 && major <= 4 && minor == 2)
        return Rc4CryptoApiDecryption::fromHeader(info.subspan(4), password);
    refuseHeader("the encryption header is of an unknown version");
}

void BiffDecryption::refuseHeader(const char *what)
{
    throw WorkbookError::damaged(QString::fromLatin1(what));
}

void BiffDecryption::decryptRecords(std::span<std::uint8_t> stream, std::size_t from)
{
    std::size_t pos = from;
    while (pos < stream.size() && stream.size() - pos >= 4) {
        const std::uint16_t id = loadU16(stream.data() + pos);
        const std::size_t size = loadU16(stream.data() + pos + 2);
        const std::size_t data = pos + 4;
        const std::size_t end = std::min(data + size, stream.size());
        // The sheet offsets are read before the sheets, and Excel keeps them in the clear.
        const std::size_t clear = id == BiffRecord::BoundSheet ? 4 : 0;
        if (!staysClear(id) && data + clear < end)
            decrypt(stream.subspan(data + clear, end - data - clear), data + clear, size);
        pos = data + size;
    }
}
