#pragma once

#include "sheet/model/WorkbookFormat.h"

// Delimited text (comma-, semicolon- or tab-separated) whatever its name: anything that is text
// and no other format, read as one worksheet of text cells. Text is UTF-8 or UTF-16 with a
// byte-order mark, and without one what TextEncoding::undeclaredCodePage finds. Bytes that
// hold a NUL outside UTF-16 are binary, not text.
extern const WorkbookFormat DelimitedTextFormat;
