#include "sheet/biff/Rc4Md5Decryption.h"

#include "sheet/model/WorkbookError.h"

#include <nettle/md5.h>

#include <algorithm>

namespace {

constexpr std::size_t SaltSize = 16;
constexpr std::size_t VerifierSize = 16;

std::array<std::uint8_t, MD5_DIGEST_SIZE> md5(std::span<const std::uint8_t> bytes)
{
    md5_ctx context;
    md5_init(&context);
    md5_update(&context, bytes.size(), bytes.data());
    std::array<std::uint8_t, MD5_DIGEST_SIZE> digest;
    md5_digest(&context, digest.size(), digest.data());
    return digest;
}

} // namespace

std::unique_ptr<Rc4Md5Decryption> Rc4Md5Decryption::fromHeader(std::span<const std::uint8_t> header,
                                                               QStringView password)
{
    if (header.size() < SaltSize + 2 * VerifierSize)
        refuseHeader("the encryption header is too short");
    std::unique_ptr<Rc4Md5Decryption> scheme(
        new Rc4Md5Decryption(header.first(SaltSize), password));
    // The verifier and its MD5 hash, encrypted as one run of block 0.
    const std::vector<std::uint8_t> plain =
        scheme->decryptAsBlock(0, header.subspan(SaltSize, 2 * VerifierSize));
    const auto hash = md5(std::span(plain).first(VerifierSize));
    if (!std::equal(hash.begin(), hash.end(), plain.begin() + VerifierSize))
        throw WorkbookError::encrypted();
    return scheme;
}

Rc4Md5Decryption::Rc4Md5Decryption(std::span<const std::uint8_t> salt, QStringView password)
{
    const auto passwordHash = md5(passwordUtf16(password));
    // Five bytes of the password's hash and the salt, sixteen times over.
    std::vector<std::uint8_t> mixed;
    mixed.reserve(16 * (5 + SaltSize));
    for (int i = 0; i < 16; ++i) {
        mixed.insert(mixed.end(), passwordHash.begin(), passwordHash.begin() + 5);
        mixed.insert(mixed.end(), salt.begin(), salt.end());
    }
    const auto hash = md5(mixed);
    std::copy_n(hash.begin(), m_passwordKey.size(), m_passwordKey.begin());
}

std::vector<std::uint8_t> Rc4Md5Decryption::blockKey(std::uint32_t block) const
{
    std::array<std::uint8_t, 9> input;
    std::copy(m_passwordKey.begin(), m_passwordKey.end(), input.begin());
    for (int i = 0; i < 4; ++i)
        input[5 + i] = std::uint8_t(block >> (8 * i));
    const auto key = md5(input);
    return {key.begin(), key.end()};
}
