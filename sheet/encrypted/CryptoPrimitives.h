#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct nettle_hash;

using Bytes = std::vector<std::uint8_t>;

// The hash functions an encrypted workbook may name, over nettle.
class HashFunction
{
public:
    // SHA-1, SHA-256, SHA-384 or SHA-512 by the names the encryption descriptor uses ("SHA1",
    // "SHA256", ...); null for any other.
    static const nettle_hash *byName(std::string_view name);

    explicit HashFunction(const nettle_hash *hash)
        : m_hash(hash)
    {
    }
    std::size_t size() const;
    // The digest of the parts one after the other.
    Bytes digest(std::initializer_list<std::span<const std::uint8_t>> parts) const;
    // HMAC of `data` under `key`.
    Bytes hmac(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) const;

private:
    const nettle_hash *m_hash;
};

// An AES key set up for decrypting, over nettle.
class AesDecryptor
{
public:
    static bool isKeySize(std::size_t bytes) { return bytes == 16 || bytes == 24 || bytes == 32; }

    // `key` must be 16, 24 or 32 bytes long.
    explicit AesDecryptor(std::span<const std::uint8_t> key);
    ~AesDecryptor();
    AesDecryptor(const AesDecryptor &) = delete;
    AesDecryptor &operator=(const AesDecryptor &) = delete;

    // Each 16-byte block on its own; `data` is a whole number of blocks, decrypted in place.
    void decryptEcb(std::span<std::uint8_t> data) const;
    // Chained from `iv` (16 bytes); `data` is a whole number of blocks, decrypted in place.
    void decryptCbc(std::span<const std::uint8_t> iv, std::span<std::uint8_t> data) const;

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

// `bytes` cut or padded with `pad` to `size`: how keys and IVs are fitted from hashes.
Bytes fitted(Bytes bytes, std::size_t size, std::uint8_t pad);

// A password as the encryption hashes it: UTF-16, little-endian.
Bytes passwordBytes(std::u16string_view password);

// A 32-bit number as the encryption hashes it: little-endian.
std::array<std::uint8_t, 4> littleEndian32(std::uint32_t value);
