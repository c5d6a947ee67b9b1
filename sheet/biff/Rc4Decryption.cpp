#include "sheet/biff/Rc4Decryption.h"

#include <nettle/arcfour.h>

#include <algorithm>

std::vector<std::uint8_t> Rc4Decryption::passwordUtf16(QStringView password)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * std::size_t(password.size()));
    for (const QChar c : password) {
        bytes.push_back(std::uint8_t(c.unicode() & 0xFF));
        bytes.push_back(std::uint8_t(c.unicode() >> 8));
    }
    return bytes;
}

std::vector<std::uint8_t> Rc4Decryption::decryptAsBlock(std::uint32_t block,
                                                        std::span<const std::uint8_t> bytes) const
{
    const std::vector<std::uint8_t> key = blockKey(block);
    arcfour_ctx cipher;
    arcfour_set_key(&cipher, key.size(), key.data());
    std::vector<std::uint8_t> plain(bytes.size());
    arcfour_crypt(&cipher, bytes.size(), plain.data(), bytes.data());
    return plain;
}

void Rc4Decryption::decrypt(std::span<std::uint8_t> bytes, std::size_t position, std::size_t)
{
    while (!bytes.empty()) {
        const std::size_t block = position / BlockSize;
        if (block != m_block) {
            // The whole block's key stream at once: the records come in stream order.
            const std::vector<std::uint8_t> key = blockKey(std::uint32_t(block));
            arcfour_ctx cipher;
            arcfour_set_key(&cipher, key.size(), key.data());
            m_keyStream.fill(0);
            arcfour_crypt(&cipher, BlockSize, m_keyStream.data(), m_keyStream.data());
            m_block = block;
        }
        const std::size_t offset = position % BlockSize;
        const std::size_t n = std::min(bytes.size(), BlockSize - offset);
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] ^= m_keyStream[offset + i];
        bytes = bytes.subspan(n);
        position += n;
    }
}
