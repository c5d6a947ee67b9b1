#pragma once

#include "sheet/biff/Rc4Decryption.h"

#include <array>
#include <memory>

// Office 97/2000 binary encryption: RC4 with keys from MD5 hashes of the password and a
// 16-byte salt, 40 bits of them in effect.
class Rc4Md5Decryption : public Rc4Decryption
{
public:
    // Reads the header that follows the version (salt, encrypted verifier and its hash).
    // Raises WorkbookError: Damaged for a short header, Encrypted for the wrong password.
    static std::unique_ptr<Rc4Md5Decryption> fromHeader(std::span<const std::uint8_t> header,
                                                        QStringView password);

protected:
    std::vector<std::uint8_t> blockKey(std::uint32_t block) const override;

private:
    Rc4Md5Decryption(std::span<const std::uint8_t> salt, QStringView password);

    std::array<std::uint8_t, 5> m_passwordKey{};
};
