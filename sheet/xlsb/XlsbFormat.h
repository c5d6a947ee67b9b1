#pragma once

#include "sheet/model/WorkbookFormat.h"

// Binary OOXML workbooks (.xlsb): a ZIP package whose content types name the binary workbook
// part.
extern const WorkbookFormat XlsbFormat;
