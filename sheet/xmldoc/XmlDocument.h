#pragma once

#include "sheet/model/ReadControl.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <span>

class XmlHandler;

// Parses a whole XML document held in memory, in pieces, telling `control` after each how far
// it has come and asking it whether to go on. FastXmlScanner reads it from its root element on:
// the prologue before it (Excel's processing instruction, comments) is what the scanner leaves
// to expat, and the root's start tag has been found without it. Should the scanner give the
// document up, expat reads it once more from its very start, after `restart`, and its outcome
// is the one that counts. A document type declaration goes to expat at once, which refuses it, and
// so does a document that declares an encoding other than UTF-8.
void parseXmlDocument(std::span<const std::uint8_t> document, XmlHandler &handler,
                      const QString &part, const std::function<void()> &restart,
                      const ReadControl &control);
