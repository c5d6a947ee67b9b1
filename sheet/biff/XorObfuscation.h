#pragma once

#include "sheet/biff/BiffDecryption.h"

#include <array>
#include <cstdint>
#include <vector>

// Excel's XOR obfuscation (BIFF5, and BIFF8 files saved with it): each byte of record data is
// XORed with one of 16 bytes made from the password and rotated. The 16-bit verifier stored
// beside the key tells whether a password is the right one.
class XorObfuscation : public BiffDecryption
{
public:
    // Raises WorkbookError (Encrypted) when `password` does not give `verifier`.
    XorObfuscation(std::uint16_t key, std::uint16_t verifier, QStringView password);

    // The password as the scheme takes it: one byte a character (its low byte, or its high
    // byte when the low one is 0), at most 15 of them.
    static std::vector<std::uint8_t> passwordBytes(QStringView password);
    static std::uint16_t passwordVerifier(const std::vector<std::uint8_t> &password);
    static std::uint16_t xorKey(const std::vector<std::uint8_t> &password);

protected:
    void decrypt(std::span<std::uint8_t> bytes, std::size_t position,
                 std::size_t recordSize) override;

private:
    std::array<std::uint8_t, 16> m_array{};
};
