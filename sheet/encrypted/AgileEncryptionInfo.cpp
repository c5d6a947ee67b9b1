#include "sheet/encrypted/AgileEncryptionInfo.h"

#include "sheet/model/WorkbookError.h"
#include "sheet/xml/ExpatParser.h"

#include <QByteArray>
#include <charconv>

namespace {

constexpr std::string_view PasswordEncryptor =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/password";

[[noreturn]] void refuse(const QString &what)
{
    throw WorkbookError::damaged(QStringLiteral("its encryption descriptor %1").arg(what));
}

std::string_view required(std::span<const XmlAttribute> attributes, std::string_view name)
{
    const XmlAttribute *attribute = findAttribute(attributes, name);
    if (!attribute)
        refuse(QStringLiteral("has no %1").arg(QLatin1StringView(name)));
    return attribute->value;
}

std::uint64_t Number(std::span<const XmlAttribute> attributes, std::string_view name)
{
    const std::string_view text = required(attributes, name);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        refuse(QStringLiteral("has a %1 that is no number").arg(QLatin1StringView(name)));
    return value;
}

// Sizes stated in the descriptor; none of the format's exceeds 64 Ki.
std::size_t sizeAttribute(std::span<const XmlAttribute> attributes, std::string_view name)
{
    const std::uint64_t size = Number(attributes, name);
    if (size > 0xFFFF)
        refuse(QStringLiteral("states a %1 too large").arg(QLatin1StringView(name)));
    return std::size_t(size);
}

Bytes base64(std::span<const XmlAttribute> attributes, std::string_view name)
{
    const std::string_view text = required(attributes, name);
    const auto decoded = QByteArray::fromBase64Encoding(
        QByteArray(text.data(), qsizetype(text.size())), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        refuse(QStringLiteral("has a %1 that is not base64").arg(QLatin1StringView(name)));
    return Bytes(decoded.decoded.begin(), decoded.decoded.end());
}

AgileEncryptionInfo::CipherParameters cipher(std::span<const XmlAttribute> attributes)
{
    AgileEncryptionInfo::CipherParameters cipher;
    cipher.saltSize = sizeAttribute(attributes, "saltSize");
    cipher.blockSize = sizeAttribute(attributes, "blockSize");
    cipher.keyBits = sizeAttribute(attributes, "keyBits");
    cipher.hashSize = sizeAttribute(attributes, "hashSize");
    cipher.cipherAlgorithm = required(attributes, "cipherAlgorithm");
    cipher.cipherChaining = required(attributes, "cipherChaining");
    cipher.hashAlgorithm = required(attributes, "hashAlgorithm");
    cipher.salt = base64(attributes, "saltValue");
    if (cipher.salt.size() != cipher.saltSize)
        refuse(QStringLiteral("has a salt of another size than it states"));
    return cipher;
}

class DescriptorHandler : public XmlHandler
{
public:
    explicit DescriptorHandler(AgileEncryptionInfo &info)
        : m_info(info)
    {
    }

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override
    {
        if (name.is("keyData")) {
            m_info.keyData = cipher(attributes);
            m_keyData = true;
        } else if (name.is("dataIntegrity")) {
            m_info.encryptedHmacKey = base64(attributes, "encryptedHmacKey");
            m_info.encryptedHmacValue = base64(attributes, "encryptedHmacValue");
            m_info.hasIntegrity = true;
        } else if (name.is("keyEncryptor")) {
            const XmlAttribute *uri = findAttribute(attributes, "uri");
            m_inPasswordEncryptor = uri && uri->value == PasswordEncryptor;
        } else if (name.is("encryptedKey") && m_inPasswordEncryptor && !m_password) {
            m_info.password = cipher(attributes);
            m_info.spinCount = Number(attributes, "spinCount");
            m_info.encryptedVerifierHashInput = base64(attributes, "encryptedVerifierHashInput");
            m_info.encryptedVerifierHashValue = base64(attributes, "encryptedVerifierHashValue");
            m_info.encryptedKeyValue = base64(attributes, "encryptedKeyValue");
            m_password = true;
        }
    }
    void endElement(const XmlName &name) override
    {
        if (name.is("keyEncryptor"))
            m_inPasswordEncryptor = false;
    }
    void characters(std::string_view) override {}

    void checkComplete() const
    {
        if (!m_keyData)
            refuse(QStringLiteral("has no keyData"));
        if (!m_password)
            refuse(QStringLiteral("has no password key encryptor"));
    }

private:
    AgileEncryptionInfo &m_info;
    bool m_keyData = false;
    bool m_password = false;
    bool m_inPasswordEncryptor = false;
};

} // namespace

AgileEncryptionInfo AgileEncryptionInfo::parse(std::span<const std::uint8_t> xml)
{
    AgileEncryptionInfo info;
    DescriptorHandler handler(info);
    ExpatParser parser(handler, QStringLiteral("EncryptionInfo"));
    parser.feed(std::span(reinterpret_cast<const char *>(xml.data()), xml.size()));
    parser.finish();
    handler.checkComplete();
    return info;
}
