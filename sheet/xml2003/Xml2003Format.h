#pragma once

#include "sheet/model/WorkbookFormat.h"

// Excel's XML Spreadsheet 2003: one XML document whose root is Workbook in the
// urn:schemas-microsoft-com:office:spreadsheet namespace.
extern const WorkbookFormat Xml2003Format;
