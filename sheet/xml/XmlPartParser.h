#pragma once

#include "sheet/xml/XmlHandler.h"

#include <QString>
#include <functional>
#include <span>

// A document's bytes in order, from its start, each time it is called; a part may be read
// twice (ZipPackage::read of one entry, for instance).
using XmlSource = std::function<void(const std::function<void(std::span<const char>)> &consume)>;

// Reads a document with FastXmlScanner, and when the scanner meets something outside what it
// reads, once more from the start with ExpatParser, after `restart` has told the handler to
// forget what it was told so far. Either way the handler ends up with what expat reports, and a
// malformed document raises expat's WorkbookError (Damaged), naming `part`.
void parseXmlPart(const XmlSource &source, XmlHandler &handler, const QString &part,
                  const std::function<void()> &restart);

// The same with expat alone, for documents too small to gain from the scanner and for
// measuring what it gains.
void parseXmlPartWithExpat(const XmlSource &source, XmlHandler &handler, const QString &part);
