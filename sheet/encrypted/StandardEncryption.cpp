#include "sheet/encrypted/StandardEncryption.h"

#include "sheet/model/WorkbookError.h"
#include "util/LittleEndian.h"

#include <nettle/nettle-meta.h>

#include <algorithm>

namespace {

constexpr std::uint32_t FlagCryptoApi = 0x04;
constexpr std::uint32_t FlagAes = 0x20;
constexpr std::uint32_t AlgorithmAes128 = 0x660E;
constexpr std::uint32_t AlgorithmAes256 = 0x6610;
constexpr std::uint32_t HashSha1 = 0x8004;
constexpr std::size_t HeaderFixedSize = 32;
constexpr std::size_t SaltSize = 16;
constexpr std::size_t VerifierSize = 16;
constexpr std::size_t VerifierHashSize = 20;
constexpr std::size_t EncryptedVerifierHashSize = 32;
constexpr std::uint32_t SpinCount = 50000;
constexpr std::size_t Segment = std::size_t(1) << 20;

Bytes passwordKey(std::span<const std::uint8_t> salt, std::u16string_view password,
                  std::size_t keyBytes)
{
    const HashFunction sha1(&nettle_sha1);
    Bytes hash = sha1.digest({salt, passwordBytes(password)});
    for (std::uint32_t i = 0; i < SpinCount; ++i)
        hash = sha1.digest({littleEndian32(i), hash});
    const Bytes final = sha1.digest({hash, littleEndian32(0)});
    // The key is taken from the hashes of the final hash XORed into two 64-byte pads.
    Bytes inner(64, 0x36), outer(64, 0x5C);
    for (std::size_t i = 0; i < final.size(); ++i) {
        inner[i] ^= final[i];
        outer[i] ^= final[i];
    }
    Bytes key = sha1.digest({inner});
    const Bytes second = sha1.digest({outer});
    key.insert(key.end(), second.begin(), second.end());
    key.resize(keyBytes);
    return key;
}

} // namespace

std::unique_ptr<PackageDecryption> StandardEncryption::fromInfo(std::span<const std::uint8_t> info,
                                                                std::u16string_view password)
{
    if (info.size() < 8)
        refuse("its encryption header is too short");
    const std::uint32_t flags = loadU32(info.data());
    const std::uint32_t headerSize = loadU32(info.data() + 4);
    if (headerSize < HeaderFixedSize || headerSize > info.size() - 8)
        refuse("its encryption header is too short");
    const std::uint8_t *header = info.data() + 8;
    const std::uint32_t algorithm = loadU32(header + 8);
    const std::uint32_t hash = loadU32(header + 12);
    const std::uint32_t keyBits = loadU32(header + 16);
    if (!(flags & FlagCryptoApi) || !(flags & FlagAes) || algorithm < AlgorithmAes128 ||
        algorithm > AlgorithmAes256 || (hash != HashSha1 && hash != 0) ||
        keyBits != 128 + 64 * (algorithm - AlgorithmAes128))
        refuse("its encryption is not AES with SHA-1");

    const std::span<const std::uint8_t> verifier = info.subspan(8 + headerSize);
    constexpr std::size_t VerifierFields = 4 + SaltSize + VerifierSize + 4;
    if (verifier.size() < VerifierFields + EncryptedVerifierHashSize ||
        loadU32(verifier.data()) != SaltSize ||
        loadU32(verifier.data() + 4 + SaltSize + VerifierSize) != VerifierHashSize)
        refuse("its password verifier is damaged");
    Bytes key = passwordKey(verifier.subspan(4, SaltSize), password, keyBits / 8);

    const AesDecryptor aes(key);
    Bytes plainVerifier(verifier.begin() + 4 + SaltSize,
                        verifier.begin() + 4 + SaltSize + VerifierSize);
    aes.decryptEcb(plainVerifier);
    Bytes plainHash(verifier.begin() + VerifierFields,
                    verifier.begin() + VerifierFields + EncryptedVerifierHashSize);
    aes.decryptEcb(plainHash);
    const Bytes expected = HashFunction(&nettle_sha1).digest({plainVerifier});
    if (!std::equal(expected.begin(), expected.end(), plainHash.begin()))
        throw WorkbookError::encrypted();
    return std::unique_ptr<PackageDecryption>(new StandardEncryption(std::move(key)));
}

StandardEncryption::StandardEncryption(Bytes key)
    : m_key(std::move(key))
{
}

Bytes StandardEncryption::decrypt(std::span<const std::uint8_t> stream,
                                  const ReadControl &control) const
{
    const std::span<const std::uint8_t> blocks = encryptedBlocks(stream);
    Bytes plain(blocks.begin(), blocks.end());
    const AesDecryptor aes(m_key);
    for (std::size_t at = 0; at < plain.size(); at += Segment) {
        control.stillWanted();
        aes.decryptEcb(std::span(plain).subspan(at, std::min(Segment, plain.size() - at)));
    }
    plain.resize(statedSize(stream));
    return plain;
}
