#pragma once

#include "sheet/xml/XmlHandler.h"

#include <QByteArray>
#include <string>

// What a package's META-INF/manifest.xml says about it: the media type of the package as a
// whole (the entry for "/"), and whether content.xml is encrypted.
class OdsManifest : public XmlHandler
{
public:
    // Raises WorkbookError (Damaged) for a manifest that is not well-formed XML.
    static OdsManifest read(const QByteArray &manifest);

    const std::string &mediaType() const { return m_mediaType; }
    bool contentEncrypted() const { return m_contentEncrypted; }

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override;
    void endElement(const XmlName &name) override;
    void characters(std::string_view) override {}

private:
    std::string m_mediaType;
    bool m_contentEncrypted = false;
    bool m_inContentEntry = false;
};
