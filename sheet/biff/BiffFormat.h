#pragma once

#include "sheet/model/WorkbookFormat.h"

// Legacy Excel workbooks (BIFF2 to BIFF8): a compound file with a "Workbook" or "Book" stream,
// or the bare records of a BIFF2-4 file. A compound file that holds an encrypted OOXML package
// instead is recognised too, and refused as password-protected.
extern const WorkbookFormat BiffFormat;
