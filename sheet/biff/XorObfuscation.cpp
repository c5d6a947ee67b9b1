#include "sheet/biff/XorObfuscation.h"

#include "sheet/model/WorkbookError.h"

namespace {

constexpr std::size_t MaxPasswordLength = 15;

// The bytes that fill the array past the password's own.
constexpr std::uint8_t PadArray[MaxPasswordLength] = {
    0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80, 0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

// The key's starting value for each password length.
constexpr std::uint16_t InitialCode[MaxPasswordLength] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C,
                                                          0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
                                                          0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};

// What each of the 7 low bits of each character position adds to the key.
constexpr std::uint16_t XorMatrix[7 * MaxPasswordLength] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

std::uint8_t rotateRight(std::uint8_t value, int bits)
{
    return std::uint8_t((value >> bits) | (value << (8 - bits)));
}

std::uint8_t xorRor(std::uint8_t a, std::uint8_t b)
{
    return rotateRight(a ^ b, 1);
}

// The 16 bytes every record is XORed with: the password's characters and then the pad bytes,
// each mixed with the key's high or low byte in turn.
std::array<std::uint8_t, 16> xorArray(const std::vector<std::uint8_t> &password)
{
    const std::uint16_t key = XorObfuscation::xorKey(password);
    const auto high = std::uint8_t(key >> 8);
    const auto low = std::uint8_t(key & 0xFF);
    std::array<std::uint8_t, 16> array{};
    std::size_t index = password.size();
    if (index % 2 == 1) {
        array[index] = xorRor(PadArray[0], high);
        --index;
        array[index] = xorRor(password.back(), low);
    }
    while (index > 0) {
        --index;
        array[index] = xorRor(password[index], high);
        --index;
        array[index] = xorRor(password[index], low);
    }
    index = 15;
    // Signed: with an even length the last pair ends at the first pad byte.
    int pad = int(MaxPasswordLength - password.size());
    while (pad > 0) {
        array[index--] = xorRor(PadArray[pad--], high);
        array[index--] = xorRor(PadArray[pad--], low);
    }
    return array;
}

} // namespace

std::vector<std::uint8_t> XorObfuscation::passwordBytes(QStringView password)
{
    std::vector<std::uint8_t> bytes;
    for (const QChar c : password.left(qsizetype(MaxPasswordLength))) {
        const std::uint16_t u = c.unicode();
        bytes.push_back(std::uint8_t((u & 0xFF) != 0 ? (u & 0xFF) : (u >> 8)));
    }
    return bytes;
}

std::uint16_t XorObfuscation::passwordVerifier(const std::vector<std::uint8_t> &password)
{
    // The characters from last to first, and the length last of all.
    std::uint16_t verifier = 0;
    const auto step = [&verifier](std::uint8_t byte) {
        const std::uint16_t carry = (verifier & 0x4000) ? 1 : 0;
        verifier = std::uint16_t((((verifier << 1) & 0x7FFF) | carry) ^ byte);
    };
    for (auto it = password.rbegin(); it != password.rend(); ++it)
        step(*it);
    step(std::uint8_t(password.size()));
    return verifier ^ 0xCE4B;
}

std::uint16_t XorObfuscation::xorKey(const std::vector<std::uint8_t> &password)
{
    if (password.empty())
        return 0;
    std::uint16_t key = InitialCode[password.size() - 1];
    std::size_t element = 7 * MaxPasswordLength - 1;
    for (auto it = password.rbegin(); it != password.rend(); ++it) {
        std::uint8_t c = *it;
        for (int bit = 0; bit < 7; ++bit, --element) {
            if (c & 0x40)
                key ^= XorMatrix[element];
            c = std::uint8_t(c << 1);
        }
    }
    return key;
}

XorObfuscation::XorObfuscation(std::uint16_t key, std::uint16_t verifier, QStringView password)
{
    // The stored key follows from the password as well; the verifier is what decides.
    Q_UNUSED(key);
    const std::vector<std::uint8_t> bytes = passwordBytes(password);
    if (bytes.empty() || passwordVerifier(bytes) != verifier)
        throw WorkbookError::encrypted();
    m_array = xorArray(bytes);
}

void XorObfuscation::decrypt(std::span<std::uint8_t> bytes, std::size_t position,
                             std::size_t recordSize)
{
    // The array's place follows the end of the record, not its start.
    std::size_t index = (position + recordSize) % 16;
    for (std::uint8_t &byte : bytes) {
        byte = rotateRight(byte ^ m_array[index], 5);
        index = (index + 1) % 16;
    }
}
