#pragma once

#include "sheet/model/TextDecoder.h"
#include "sheet/xml/XmlHandler.h"

#include <QString>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct XML_ParserStruct;

// A streaming, namespace-aware XML parser over expat: the document is fed in pieces of any
// size and its elements and text go to a handler as they are read. A document type
// declaration is refused before anything in it is read, so no entity is ever expanded, and
// neither is any external file looked at. Malformed XML raises WorkbookError (Damaged),
// naming `part` and the line.
//
// The document is read in the encoding its declaration names: expat's own (UTF-8, UTF-16,
// ISO-8859-1, US-ASCII) by expat, the other single-byte ones through expat's handler of
// unknown encodings with TextDecoder's table, and the multi-byte ones (Shift_JIS, GB18030,
// ...) turned into UTF-8 by TextDecoder, piece by piece, before expat reads them. White space
// and byte-order marks before the declaration are passed over, as spreadsheet programs do.
class ExpatParser
{
public:
    ExpatParser(XmlHandler &handler, QString part);
    ~ExpatParser();
    ExpatParser(const ExpatParser &) = delete;
    ExpatParser &operator=(const ExpatParser &) = delete;

    void feed(std::span<const char> piece);
    // After the last piece: checks that the document is complete.
    void finish();

    // Stops the parse from inside a handler: the feed() under way raises `error`, whatever
    // it is, instead of going on. For a handler's own refusals.
    void abort(std::exception_ptr error);

private:
    static void onStart(void *self, const char *name, const char **attributes);
    static void onEnd(void *self, const char *name);
    static void onText(void *self, const char *text, int length);
    static void onDoctype(void *self, const char *name, const char *system, const char *pub,
                          int internal);
    static void onEntity(void *self, const char *name, int parameter, const char *value, int length,
                         const char *base, const char *system, const char *pub,
                         const char *notation);
    void start(std::span<const char> &piece);
    void parse(const char *data, std::size_t size, bool last);
    void stop(std::exception_ptr error);
    static XmlName split(const char *name);

    std::unique_ptr<XML_ParserStruct, void (*)(XML_ParserStruct *)> m_parser;
    XmlHandler &m_handler;
    QString m_part;
    std::exception_ptr m_error;
    std::vector<XmlAttribute> m_attributes;
    bool m_started = false;
    std::optional<TextDecoder> m_transcoder; // for multi-byte encodings
    StringTable::Buffer m_units;
};
