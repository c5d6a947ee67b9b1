#pragma once

#include "sheet/xml/XmlHandler.h"

#include <QString>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct XML_ParserStruct;

// A streaming, namespace-aware XML parser over expat: the document is fed in pieces of any
// size and its elements and text go to a handler as they are read. A document type
// declaration is refused before anything in it is read, so no entity is ever expanded, and
// neither is any external file looked at. Malformed XML raises WorkbookError (Damaged),
// naming `part` and the line.
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
    static void onEntity(void *self, const char *name, int parameter, const char *value,
                         int length, const char *base, const char *system, const char *pub,
                         const char *notation);
    void parse(const char *data, std::size_t size, bool last);
    void stop(std::exception_ptr error);
    static XmlName split(const char *name);

    std::unique_ptr<XML_ParserStruct, void (*)(XML_ParserStruct *)> m_parser;
    XmlHandler &m_handler;
    QString m_part;
    std::exception_ptr m_error;
    std::vector<XmlAttribute> m_attributes;
};
