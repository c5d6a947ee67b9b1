#pragma once

#include "sheet/model/StringTable.h"

#include <string_view>

// Appends UTF-8 text that a parser has checked already (expat, FastXmlScanner) to a string
// table's UTF-16 buffer. Shared strings are most of a big workbook's text, and QString's
// decoder makes a QString of each one first; this writes straight into the table.
void appendUtf8(StringTable::Buffer &out, std::string_view text);
