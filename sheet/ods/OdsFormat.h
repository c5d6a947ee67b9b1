#pragma once

#include "sheet/model/WorkbookFormat.h"

// OpenDocument spreadsheets packaged as a ZIP file (.ods, and templates): a "mimetype" entry
// that names a spreadsheet, or without one, a manifest that does, or a content.xml alone.
extern const WorkbookFormat OdsFormat;

// Flat OpenDocument spreadsheets (.fods): one XML document whose root is office:document with
// a spreadsheet's media type.
extern const WorkbookFormat FodsFormat;
