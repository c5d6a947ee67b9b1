#include "sheet/biff/Rc4CryptoApiDecryption.h"

#include "sheet/model/WorkbookError.h"
#include "util/LittleEndian.h"

#include <nettle/sha1.h>

#include <algorithm>

namespace {

constexpr std::uint32_t AlgorithmRc4 = 0x6801;
constexpr std::uint32_t AlgorithmSha1 = 0x8004;
constexpr std::size_t SaltSize = 16;
constexpr std::size_t VerifierSize = 16;
// Flags, size of the extra data, algorithm, hash algorithm, key size, provider type and two
// reserved fields come before the provider's name.
constexpr std::size_t FixedHeaderSize = 32;

std::array<std::uint8_t, SHA1_DIGEST_SIZE> sha1(std::span<const std::uint8_t> first,
                                                std::span<const std::uint8_t> second = {})
{
    sha1_ctx context;
    sha1_init(&context);
    sha1_update(&context, first.size(), first.data());
    sha1_update(&context, second.size(), second.data());
    std::array<std::uint8_t, SHA1_DIGEST_SIZE> digest;
    sha1_digest(&context, digest.size(), digest.data());
    return digest;
}

} // namespace

std::unique_ptr<Rc4CryptoApiDecryption>
Rc4CryptoApiDecryption::fromHeader(std::span<const std::uint8_t> header, QStringView password)
{
    if (header.size() < 8)
        refuseHeader("the encryption header is too short");
    const std::uint32_t headerSize = loadU32(header.data() + 4);
    if (headerSize < FixedHeaderSize || headerSize > header.size() - 8)
        refuseHeader("the encryption header's size does not fit its record");
    const std::uint8_t *fields = header.data() + 8;
    const std::uint32_t algorithm = loadU32(fields + 8);
    const std::uint32_t hashAlgorithm = loadU32(fields + 12);
    std::uint32_t keyBits = loadU32(fields + 16);
    // The provider's name that follows may be anything: only the algorithms matter.
    if ((algorithm != 0 && algorithm != AlgorithmRc4) ||
        (hashAlgorithm != 0 && hashAlgorithm != AlgorithmSha1))
        refuseHeader("the encryption header names a cipher other than RC4 with SHA-1");
    if (keyBits == 0)
        keyBits = 40;
    if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0)
        refuseHeader("the encryption header's key size is not one RC4 takes");

    const auto verifier = header.subspan(8 + headerSize);
    if (verifier.size() < 4 + SaltSize + VerifierSize + 4 + SHA1_DIGEST_SIZE)
        refuseHeader("the password verifier is too short");
    if (loadU32(verifier.data()) != SaltSize)
        refuseHeader("the password verifier's salt is not 16 bytes");
    if (loadU32(verifier.data() + 4 + SaltSize + VerifierSize) != SHA1_DIGEST_SIZE)
        refuseHeader("the password verifier's hash is not a SHA-1 hash");

    std::unique_ptr<Rc4CryptoApiDecryption> scheme(
        new Rc4CryptoApiDecryption(verifier.subspan(4, SaltSize), keyBits, password));
    // The verifier and its hash are one run of block 0, with the hash's size in between.
    std::vector<std::uint8_t> encrypted(verifier.begin() + 4 + SaltSize,
                                        verifier.begin() + 4 + SaltSize + VerifierSize);
    const auto hashBytes = verifier.subspan(4 + SaltSize + VerifierSize + 4, SHA1_DIGEST_SIZE);
    encrypted.insert(encrypted.end(), hashBytes.begin(), hashBytes.end());
    const std::vector<std::uint8_t> plain = scheme->decryptAsBlock(0, encrypted);
    const auto hash = sha1(std::span(plain).first(VerifierSize));
    if (!std::equal(hash.begin(), hash.end(), plain.begin() + VerifierSize))
        throw WorkbookError::encrypted();
    return scheme;
}

Rc4CryptoApiDecryption::Rc4CryptoApiDecryption(std::span<const std::uint8_t> salt,
                                               std::size_t keyBits, QStringView password)
    : m_passwordHash(sha1(salt, passwordUtf16(password)))
    , m_keyBytes(keyBits / 8)
{
}

std::vector<std::uint8_t> Rc4CryptoApiDecryption::blockKey(std::uint32_t block) const
{
    std::array<std::uint8_t, 4> blockBytes;
    for (int i = 0; i < 4; ++i)
        blockBytes[i] = std::uint8_t(block >> (8 * i));
    const auto hash = sha1(m_passwordHash, blockBytes);
    std::vector<std::uint8_t> key(hash.begin(), hash.begin() + m_keyBytes);
    // CryptoAPI keys a 40-bit RC4 with 128 bits, the rest of them zero.
    if (m_keyBytes == 5)
        key.resize(16, 0);
    return key;
}
