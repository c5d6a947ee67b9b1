#pragma once

#include "sheet/model/WorkbookFormat.h"

// Web pages with tables, whatever their name (spreadsheet programs save them as ".xls", and
// open them from there): the page's tables, one under the other, are worksheet 1, their cells
// text as the page shows it. Parsed as browsers parse, through gumbo.
extern const WorkbookFormat HtmlFormat;
