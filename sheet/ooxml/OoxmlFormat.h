#pragma once

#include "sheet/model/WorkbookFormat.h"

// OOXML workbooks (.xlsx, .xlsm and their templates and add-ins): a ZIP package whose content
// types name a SpreadsheetML workbook part, whatever the file is called.
extern const WorkbookFormat OoxmlFormat;
