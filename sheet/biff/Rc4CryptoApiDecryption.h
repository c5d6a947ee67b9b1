#pragma once

#include "sheet/biff/Rc4Decryption.h"

#include <array>
#include <memory>

// RC4 through the CryptoAPI (Excel 2002 and later): keys from SHA-1 hashes of a salt and the
// password, 40 to 128 bits long, whatever cryptographic provider the header names.
class Rc4CryptoApiDecryption : public Rc4Decryption
{
public:
    // Reads the header that follows the version: flags, the encryption header (algorithms,
    // key size, provider) and the verifier. Raises WorkbookError: Damaged for a header that
    // does not hold together or names another cipher, Encrypted for the wrong password.
    static std::unique_ptr<Rc4CryptoApiDecryption> fromHeader(std::span<const std::uint8_t> header,
                                                              QStringView password);

protected:
    std::vector<std::uint8_t> blockKey(std::uint32_t block) const override;

private:
    Rc4CryptoApiDecryption(std::span<const std::uint8_t> salt, std::size_t keyBits,
                           QStringView password);

    std::array<std::uint8_t, 20> m_passwordHash{};
    std::size_t m_keyBytes = 16;
};
