#pragma once

#include "sheet/model/ReadControl.h"

#include <cstdint>
#include <span>

class ExpatParser;

// Feeds a whole XML document held in memory to a parser in pieces, telling `control` after each
// how far it has come and asking it whether to go on, then finishes the parse.
void FeedDocument(ExpatParser &parser, std::span<const std::uint8_t> document,
                  const ReadControl &control);
