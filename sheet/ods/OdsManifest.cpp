#include "sheet/ods/OdsManifest.h"

#include "sheet/ods/OdsNames.h"
#include "sheet/xml/ExpatParser.h"

OdsManifest OdsManifest::read(const QByteArray &manifest)
{
    OdsManifest handler;
    ExpatParser parser(handler, QStringLiteral("META-INF/manifest.xml"));
    parser.feed(std::span(manifest.constData(), std::size_t(manifest.size())));
    parser.finish();
    return handler;
}

void OdsManifest::startElement(const XmlName &name, std::span<const XmlAttribute> attributes)
{
    if (name.space != OdsNames::Manifest)
        return;
    if (name.local == "file-entry") {
        const XmlAttribute *path = findAttribute(attributes, "full-path", OdsNames::Manifest);
        const XmlAttribute *type = findAttribute(attributes, "media-type", OdsNames::Manifest);
        if (path && path->value == "/" && type)
            m_mediaType = type->value;
        m_inContentEntry = path && path->value == "content.xml";
    } else if (name.local == "encryption-data" && m_inContentEntry) {
        m_contentEncrypted = true;
    }
}

void OdsManifest::endElement(const XmlName &name)
{
    if (name.space == OdsNames::Manifest && name.local == "file-entry")
        m_inContentEntry = false;
}
