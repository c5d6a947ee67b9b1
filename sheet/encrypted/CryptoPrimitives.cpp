#include "sheet/encrypted/CryptoPrimitives.h"

#include <nettle/aes.h>
#include <nettle/cbc.h>
#include <nettle/hmac.h>
#include <nettle/nettle-meta.h>

#include <algorithm>
#include <cstddef>

namespace {

// Storage for one of nettle's hash contexts, aligned as any.
class HashState
{
public:
    explicit HashState(const nettle_hash *hash)
        : m_storage((hash->context_size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t))
    {
    }
    void *get() { return m_storage.data(); }

private:
    std::vector<std::max_align_t> m_storage;
};

} // namespace

const nettle_hash *HashFunction::byName(std::string_view name)
{
    if (name == "SHA1" || name == "SHA-1")
        return &nettle_sha1;
    if (name == "SHA256")
        return &nettle_sha256;
    if (name == "SHA384")
        return &nettle_sha384;
    if (name == "SHA512")
        return &nettle_sha512;
    return nullptr;
}

std::size_t HashFunction::size() const
{
    return m_hash->digest_size;
}

Bytes HashFunction::digest(std::initializer_list<std::span<const std::uint8_t>> parts) const
{
    HashState state(m_hash);
    m_hash->init(state.get());
    for (const auto part : parts)
        m_hash->update(state.get(), part.size(), part.data());
    Bytes out(m_hash->digest_size);
    m_hash->digest(state.get(), out.size(), out.data());
    return out;
}

Bytes HashFunction::hmac(std::span<const std::uint8_t> key,
                         std::span<const std::uint8_t> data) const
{
    HashState outer(m_hash), inner(m_hash), state(m_hash);
    hmac_set_key(outer.get(), inner.get(), state.get(), m_hash, key.size(), key.data());
    hmac_update(state.get(), m_hash, data.size(), data.data());
    Bytes out(m_hash->digest_size);
    hmac_digest(outer.get(), inner.get(), state.get(), m_hash, out.size(), out.data());
    return out;
}

struct AesDecryptor::Context
{
    union {
        aes128_ctx aes128;
        aes192_ctx aes192;
        aes256_ctx aes256;
    };
    nettle_cipher_func *decrypt;
};

AesDecryptor::AesDecryptor(std::span<const std::uint8_t> key)
    : m_context(std::make_unique<Context>())
{
    // Through functions of nettle's cipher type, so that no call goes through a cast pointer.
    switch (key.size()) {
    case AES128_KEY_SIZE:
        aes128_set_decrypt_key(&m_context->aes128, key.data());
        m_context->decrypt = [](const void *context, std::size_t length, std::uint8_t *to,
                                const std::uint8_t *from) {
            aes128_decrypt(static_cast<const aes128_ctx *>(context), length, to, from);
        };
        break;
    case AES192_KEY_SIZE:
        aes192_set_decrypt_key(&m_context->aes192, key.data());
        m_context->decrypt = [](const void *context, std::size_t length, std::uint8_t *to,
                                const std::uint8_t *from) {
            aes192_decrypt(static_cast<const aes192_ctx *>(context), length, to, from);
        };
        break;
    default:
        aes256_set_decrypt_key(&m_context->aes256, key.data());
        m_context->decrypt = [](const void *context, std::size_t length, std::uint8_t *to,
                                const std::uint8_t *from) {
            aes256_decrypt(static_cast<const aes256_ctx *>(context), length, to, from);
        };
        break;
    }
}

AesDecryptor::~AesDecryptor() = default;

void AesDecryptor::decryptEcb(std::span<std::uint8_t> data) const
{
    m_context->decrypt(&m_context->aes128, data.size(), data.data(), data.data());
}

void AesDecryptor::decryptCbc(std::span<const std::uint8_t> iv, std::span<std::uint8_t> data) const
{
    std::uint8_t chain[AES_BLOCK_SIZE];
    std::copy_n(iv.begin(), AES_BLOCK_SIZE, chain);
    cbc_decrypt(&m_context->aes128, m_context->decrypt, AES_BLOCK_SIZE, chain, data.size(),
                data.data(), data.data());
}

Bytes fitted(Bytes bytes, std::size_t size, std::uint8_t pad)
{
    bytes.resize(size, pad);
    return bytes;
}

Bytes passwordBytes(std::u16string_view password)
{
    Bytes bytes;
    bytes.reserve(2 * password.size());
    for (const char16_t c : password) {
        bytes.push_back(std::uint8_t(c & 0xFF));
        bytes.push_back(std::uint8_t(c >> 8));
    }
    return bytes;
}

std::array<std::uint8_t, 4> littleEndian32(std::uint32_t value)
{
    return {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
            std::uint8_t(value >> 24)};
}
