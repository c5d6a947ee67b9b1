#pragma once

#include "sheet/biff/BiffDecryption.h"

#include <array>
#include <cstdint>
#include <vector>

// RC4 over a workbook stream, keyed afresh for every 1,024 bytes: the key of block n (the
// stream's bytes from 1,024 n on) comes from the password's hash and n, and every byte of the
// block, record headers and records left in the clear too, uses up its byte of the key stream.
// The schemes differ in how they make a block's key.
class Rc4Decryption : public BiffDecryption
{
public:
    static constexpr std::size_t BlockSize = 1024;

protected:
    Rc4Decryption() = default;

    // The password as the key derivations hash it: UTF-16, little-endian.
    static std::vector<std::uint8_t> passwordUtf16(QStringView password);

    // The RC4 key of block `block`.
    virtual std::vector<std::uint8_t> blockKey(std::uint32_t block) const = 0;
    // `bytes` decrypted as the first bytes of block `block`: what the password verifier is.
    std::vector<std::uint8_t> decryptAsBlock(std::uint32_t block,
                                             std::span<const std::uint8_t> bytes) const;

    void decrypt(std::span<std::uint8_t> bytes, std::size_t position,
                 std::size_t recordSize) override;

private:
    std::array<std::uint8_t, BlockSize> m_keyStream{};
    std::size_t m_block = SIZE_MAX;
};
