#include "sheet/xml/ExpatParser.h"

#include "sheet/model/EncodingLabels.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/xml/XmlDeclaration.h"

#include <climits>
#include <cstring>
#include <expat.h>
#include <string>

namespace {

// Expat joins a namespace URI and a local name with this; no URI holds it.
constexpr char NamespaceSeparator = '\x01';

constexpr int Utf8 = 65001;

// The encodings expat reads itself.
bool isExpatEncoding(std::string_view label)
{
    std::string lower(label);
    for (char &c : lower)
        c = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    return lower == "utf-8" || lower == "utf-16" || lower == "iso-8859-1" || lower == "us-ascii";
}

// Expat's table of a single-byte encoding it does not know itself, from TextDecoder.
int onUnknownEncoding(void *, const char *name, XML_Encoding *info)
{
    // Only single-byte encodings come here: start() turns the others into UTF-8.
    const TextDecoder decoder = TextDecoder::forLabel(name);
    if (!decoder.isValid() || !EncodingLabels::isSingleByte(decoder.codePage()))
        return XML_STATUS_ERROR;
    StringTable::Buffer units;
    for (int byte = 0; byte < 256; ++byte) {
        units.clear();
        const auto b = std::uint8_t(byte);
        decoder.append(units, &b, 1);
        info->map[byte] =
            units.size() == 1 && (units[0] < 0xD800 || units[0] > 0xDFFF) ? int(units[0]) : 0xFFFD;
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

} // namespace

ExpatParser::ExpatParser(XmlHandler &handler, QString part)
    : m_parser(XML_ParserCreateNS(nullptr, NamespaceSeparator), XML_ParserFree)
    , m_handler(handler)
    , m_part(std::move(part))
{
    if (!m_parser)
        throw std::bad_alloc();
    XML_SetUserData(m_parser.get(), this);
    XML_SetElementHandler(m_parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(m_parser.get(), onText);
    XML_SetStartDoctypeDeclHandler(m_parser.get(), onDoctype);
    XML_SetEntityDeclHandler(m_parser.get(), onEntity);
    XML_SetUnknownEncodingHandler(m_parser.get(), onUnknownEncoding, nullptr);
    // Parameter entities, and with them any external subset, are never read.
    XML_SetParamEntityParsing(m_parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
}

ExpatParser::~ExpatParser() = default;

XmlName ExpatParser::split(const char *name)
{
    const char *separator = std::strchr(name, NamespaceSeparator);
    if (!separator)
        return {{}, name};
    return {std::string_view(name, std::size_t(separator - name)), separator + 1};
}

void ExpatParser::onStart(void *data, const char *name, const char **attributes)
{
    auto *self = static_cast<ExpatParser *>(data);
    try {
        self->m_attributes.clear();
        for (const char **a = attributes; *a; a += 2)
            self->m_attributes.push_back({split(a[0]), a[1]});
        self->m_handler.startElement(split(name), self->m_attributes);
    } catch (...) {
        self->stop(std::current_exception());
    }
}

void ExpatParser::onEnd(void *data, const char *name)
{
    auto *self = static_cast<ExpatParser *>(data);
    try {
        self->m_handler.endElement(split(name));
    } catch (...) {
        self->stop(std::current_exception());
    }
}

void ExpatParser::onText(void *data, const char *text, int length)
{
    auto *self = static_cast<ExpatParser *>(data);
    try {
        self->m_handler.characters(std::string_view(text, std::size_t(length)));
    } catch (...) {
        self->stop(std::current_exception());
    }
}

void ExpatParser::onDoctype(void *data, const char *, const char *, const char *, int)
{
    auto *self = static_cast<ExpatParser *>(data);
    self->stop(std::make_exception_ptr(WorkbookError::damaged(
        QStringLiteral("%1 has a document type declaration, which is not read")
            .arg(self->m_part))));
}

void ExpatParser::onEntity(void *data, const char *, int, const char *, int, const char *,
                           const char *, const char *, const char *)
{
    auto *self = static_cast<ExpatParser *>(data);
    self->stop(std::make_exception_ptr(WorkbookError::damaged(
        QStringLiteral("%1 declares an entity, which is not expanded").arg(self->m_part))));
}

void ExpatParser::abort(std::exception_ptr error)
{
    stop(std::move(error));
}

void ExpatParser::stop(std::exception_ptr error)
{
    if (!m_error)
        m_error = std::move(error);
    XML_StopParser(m_parser.get(), XML_FALSE);
}

void ExpatParser::start(std::span<const char> &piece)
{
    const std::string_view text(piece.data(), piece.size());
    const std::size_t junk = XmlDeclaration::leadingJunk(text);
    piece = piece.subspan(junk);
    if (piece.empty())
        return; // more white space may follow in the next piece
    m_started = true;
    const std::optional<std::string_view> label = XmlDeclaration::Encoding(text.substr(junk));
    if (!label || isExpatEncoding(*label))
        return;
    TextDecoder decoder = TextDecoder::forLabel(*label);
    if (!decoder.isValid() || EncodingLabels::isSingleByte(decoder.codePage()) ||
        decoder.codePage() == Utf8)
        return;
    XML_SetEncoding(m_parser.get(), "UTF-8");
    m_transcoder = std::move(decoder);
}

void ExpatParser::feed(std::span<const char> piece)
{
    if (!m_started) {
        start(piece);
        if (piece.empty())
            return;
    }
    if (m_transcoder) {
        m_units.clear();
        m_transcoder->appendPiece(m_units, reinterpret_cast<const std::uint8_t *>(piece.data()),
                                  piece.size());
        const QByteArray utf8 = QStringView(m_units.data(), qsizetype(m_units.size())).toUtf8();
        parse(utf8.constData(), std::size_t(utf8.size()), false);
        return;
    }
    // Expat takes an int length: a piece larger than that goes in parts.
    while (piece.size() > std::size_t(INT_MAX / 2)) {
        parse(piece.data(), INT_MAX / 2, false);
        piece = piece.subspan(INT_MAX / 2);
    }
    parse(piece.data(), piece.size(), false);
}

void ExpatParser::finish()
{
    parse(nullptr, 0, true);
}

void ExpatParser::parse(const char *data, std::size_t size, bool last)
{
    const XML_Status status = XML_Parse(m_parser.get(), data, int(size), last);
    if (m_error)
        std::rethrow_exception(m_error);
    if (status != XML_STATUS_OK) {
        const XML_Error code = XML_GetErrorCode(m_parser.get());
        throw WorkbookError::damaged(QStringLiteral("%1 is not well-formed XML (line %2: %3)")
                                         .arg(m_part)
                                         .arg(XML_GetCurrentLineNumber(m_parser.get()))
                                         .arg(QString::fromUtf8(XML_ErrorString(code))));
    }
}
